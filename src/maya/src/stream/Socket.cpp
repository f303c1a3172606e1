#include "stream/Socket.h"

#include <cerrno>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
using NativeHandle = SOCKET;
const NativeHandle kNullHandle = INVALID_SOCKET;

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
int closeHandle(NativeHandle handle) { return closesocket(handle); }
const int kShutdownBoth = SD_BOTH;
const int kSendFlags = 0;

void setTimeouts(NativeHandle handle) {
  DWORD milliseconds = 3000;
  setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&milliseconds),
             sizeof(milliseconds));
  setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&milliseconds),
             sizeof(milliseconds));
}
#else
using NativeHandle = int;
const NativeHandle kNullHandle = -1;

bool startSocketLibrary() { return true; }
void releaseSocketLibrary() {}
int lastSocketError() { return errno; }
bool isTimeout(int error) { return error == EAGAIN || error == EWOULDBLOCK; }
bool isInterrupted(int error) { return error == EINTR; }
int closeHandle(NativeHandle handle) { return ::close(handle); }
const int kShutdownBoth = SHUT_RDWR;
#ifdef MSG_NOSIGNAL
// A send to a closed peer must fail, not raise SIGPIPE and end the host.
const int kSendFlags = MSG_NOSIGNAL;
#else
const int kSendFlags = 0;
#endif

void setTimeouts(NativeHandle handle) {
  timeval timeout{};
  timeout.tv_sec = 3;
  setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
}
#endif

}  // namespace

struct Socket::Shared {
  NativeHandle handle;
  int owners;
};

Socket::Socket() : shared(new Shared{kNullHandle, 1}) {
  if (!startSocketLibrary()) {
    delete shared;
    throw "Could not start WSA";
  }
  shared->handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  setTimeouts(shared->handle);
  if (shared->handle == kNullHandle) {
    releaseSocketLibrary();
    delete shared;
    throw "INVALID_SOCKET";
  }
  // Header queries are small and each waits for its answer: never hold one back for an ACK.
  int noDelay = 1;
  setsockopt(shared->handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
             sizeof(noDelay));
#if defined(__APPLE__)
  int noSigPipe = 1;
  setsockopt(shared->handle, SOL_SOCKET, SO_NOSIGPIPE, &noSigPipe, sizeof(noSigPipe));
#endif
}

Socket::Socket(const Socket& other) : shared(other.shared) {
  startSocketLibrary();
  ++shared->owners;
}

Socket::~Socket() {
  if (--shared->owners == 0) {
    if (shared->handle != kNullHandle) closeHandle(shared->handle);
    delete shared;
  }
  releaseSocketLibrary();
}

Socket::Handle Socket::nativeHandle() const { return static_cast<Handle>(shared->handle); }

int Socket::receive(char* buffer, int size) {
  if (buffer == nullptr) return -1;
  for (;;) {
    int received = static_cast<int>(::recv(shared->handle, buffer, size, 0));
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
    int result = static_cast<int>(::send(shared->handle, data + sent, length - sent, kSendFlags));
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
  if (shared->handle == kNullHandle) return -1;
  // Never retried: the handle is gone whatever the close call returns.
  int result = closeHandle(shared->handle);
  shared->handle = kNullHandle;
  return result;
}

void Socket::shutdown() {
  if (shared->handle != kNullHandle) ::shutdown(shared->handle, kShutdownBoth);
}
