#include "stream/Socket.h"

#include <cerrno>

#ifdef _WIN32
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
const Socket::Handle kNullHandle = INVALID_SOCKET;

// Sockets are created and destroyed on the host's main thread only.
int wsaUsers = 0;

bool startSocketLibrary() {
  if (wsaUsers == 0) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 0), &data) != 0) return false;
  }
  ++wsaUsers;
  return true;
}

void releaseSocketLibrary() {
  if (--wsaUsers == 0) WSACleanup();
}

int lastSocketError() { return WSAGetLastError(); }
bool isTimeout(int error) { return error == WSAETIMEDOUT || error == WSAEWOULDBLOCK; }
bool isInterrupted(int error) { return error == WSAEINTR; }
int closeHandle(Socket::Handle handle) { return closesocket(handle); }
const int kReadShutdown = SD_RECEIVE;
const int kSendFlags = 0;

void setTimeouts(Socket::Handle handle) {
  DWORD milliseconds = 3000;
  setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&milliseconds),
             sizeof(milliseconds));
  setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&milliseconds),
             sizeof(milliseconds));
}
#else
const Socket::Handle kNullHandle = -1;

bool startSocketLibrary() { return true; }
void releaseSocketLibrary() {}
int lastSocketError() { return errno; }
bool isTimeout(int error) { return error == EAGAIN || error == EWOULDBLOCK; }
bool isInterrupted(int error) { return error == EINTR; }
int closeHandle(Socket::Handle handle) { return ::close(handle); }
const int kReadShutdown = SHUT_RD;
#ifdef MSG_NOSIGNAL
// A send to a closed peer must fail, not raise SIGPIPE and end the host.
const int kSendFlags = MSG_NOSIGNAL;
#else
const int kSendFlags = 0;
#endif

void setTimeouts(Socket::Handle handle) {
  timeval timeout{};
  timeout.tv_sec = 3;
  setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
}
#endif

}  // namespace

Socket::Socket() : handle(kNullHandle) {
  if (!startSocketLibrary()) throw "Could not start WSA";
  handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  setTimeouts(handle);
  if (handle == kNullHandle) {
    releaseSocketLibrary();
    throw "INVALID_SOCKET";
  }
#if defined(__APPLE__)
  int noSigPipe = 1;
  setsockopt(handle, SOL_SOCKET, SO_NOSIGPIPE, &noSigPipe, sizeof(noSigPipe));
#endif
  useCount = new int(1);
}

Socket::Socket(const Socket& other) : handle(other.handle), useCount(other.useCount) {
  startSocketLibrary();
  ++*useCount;
}

Socket::~Socket() {
  if (--*useCount == 0) {
    if (handle != kNullHandle) closeHandle(handle);
    handle = kNullHandle;
    delete useCount;
  }
  releaseSocketLibrary();
}

int Socket::receive(char* buffer, int size) {
  if (buffer == nullptr) return -1;
  for (;;) {
    int received = static_cast<int>(::recv(handle, buffer, size, 0));
    if (received > 0) return received;
    if (received == 0) return -1;
    errorNumber = lastSocketError();
    if (isInterrupted(errorNumber)) continue;
    return isTimeout(errorNumber) ? -2 : -1;
  }
}

int Socket::send(const char* data, int length) {
  if (length <= 0) return -1;
  int sent = 0;
  while (sent < length) {
    int result = static_cast<int>(::send(handle, data + sent, length - sent, kSendFlags));
    if (result > 0) {
      sent += result;
      continue;
    }
    if (result == 0) return sent;
    errorNumber = lastSocketError();
    if (isInterrupted(errorNumber)) continue;
    return isTimeout(errorNumber) ? -2 : -1;
  }
  return sent;
}

int Socket::close() {
  if (handle == kNullHandle) return -1;
  // Never retried: the handle is gone whatever the close call returns.
  int result = closeHandle(handle);
  handle = kNullHandle;
  return result;
}

void Socket::shutdownRead() {
  if (handle != kNullHandle) ::shutdown(handle, kReadShutdown);
}
