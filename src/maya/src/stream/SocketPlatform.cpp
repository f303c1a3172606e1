#include "stream/SocketPlatform.h"

#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#endif

namespace socketPlatform {

#ifdef _WIN32

namespace {

SOCKET native(Handle handle) { return static_cast<SOCKET>(handle); }

std::string resolverText(int code) { return errorText(code); }

}  // namespace

bool startLibrary() {
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void releaseLibrary() { WSACleanup(); }

Handle openTcp() { return static_cast<Handle>(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)); }

int close(Handle handle) { return ::closesocket(native(handle)) == 0 ? 0 : -1; }

void shutdownBoth(Handle handle) { ::shutdown(native(handle), SD_BOTH); }

void setTimeouts(Handle handle, int milliseconds) {
  // A DWORD of milliseconds: a timeval here would be read as its seconds field in milliseconds.
  const DWORD value = static_cast<DWORD>(milliseconds);
  ::setsockopt(native(handle), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value),
               sizeof(value));
  ::setsockopt(native(handle), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&value),
               sizeof(value));
}

int receive(Handle handle, char* buffer, int size, int& error) {
  const int result = ::recv(native(handle), buffer, size, 0);
  if (result < 0) error = WSAGetLastError();
  return result;
}

int send(Handle handle, const char* data, int length, int& error) {
  const int result = ::send(native(handle), data, length, 0);
  if (result < 0) error = WSAGetLastError();
  return result;
}

bool isInterrupted(int error) { return error == WSAEINTR; }

// A receive or send that runs out of its SO_RCVTIMEO or SO_SNDTIMEO fails with WSAETIMEDOUT.
bool isTimeout(int error) { return error == WSAETIMEDOUT || error == WSAEWOULDBLOCK; }

int lastError() { return WSAGetLastError(); }

std::string errorText(int error) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = length > 0 ? std::string(text, length) : "error " + std::to_string(error);
  if (text != nullptr) LocalFree(text);
  // The system's texts end in a line break.
  result.erase(result.find_last_not_of(" \r\n") + 1);
  return result;
}

bool setBlocking(Handle handle, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  return ::ioctlsocket(native(handle), FIONBIO, &nonBlocking) == 0;
}

bool isConnectPending(int error) { return error == WSAEWOULDBLOCK; }

int waitConnect(Handle handle, int milliseconds) {
  // Winsock reports a refused connect in the except set only, never as writable.
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(native(handle), &writable);
  FD_SET(native(handle), &failed);
  timeval timeout{};
  timeout.tv_sec = milliseconds / 1000;
  timeout.tv_usec = (milliseconds % 1000) * 1000;
  const int ready = ::select(0, nullptr, &writable, &failed, &timeout);
  return ready > 0 ? 1 : ready;
}

#else

namespace {

int native(Handle handle) { return static_cast<int>(handle); }

std::string resolverText(int code) {
  return code == EAI_SYSTEM ? errorText(errno) : gai_strerror(code);
}

#ifdef MSG_NOSIGNAL
// A send to a closed peer must fail, not raise SIGPIPE and end the host.
constexpr int kSendFlags = MSG_NOSIGNAL;
#else
constexpr int kSendFlags = 0;
#endif

}  // namespace

bool startLibrary() { return true; }

void releaseLibrary() {}

Handle openTcp() {
  const int handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
#if defined(__APPLE__)
  int noSigPipe = 1;
  if (handle >= 0) setsockopt(handle, SOL_SOCKET, SO_NOSIGPIPE, &noSigPipe, sizeof(noSigPipe));
#endif
  return static_cast<Handle>(handle);
}

int close(Handle handle) { return ::close(native(handle)) == 0 ? 0 : -1; }

void shutdownBoth(Handle handle) { ::shutdown(native(handle), SHUT_RDWR); }

void setTimeouts(Handle handle, int milliseconds) {
  timeval value{};
  value.tv_sec = milliseconds / 1000;
  value.tv_usec = (milliseconds % 1000) * 1000;
  ::setsockopt(native(handle), SOL_SOCKET, SO_RCVTIMEO, &value, sizeof(value));
  ::setsockopt(native(handle), SOL_SOCKET, SO_SNDTIMEO, &value, sizeof(value));
}

int receive(Handle handle, char* buffer, int size, int& error) {
  const auto result = ::recv(native(handle), buffer, static_cast<std::size_t>(size), 0);
  if (result < 0) error = errno;
  return static_cast<int>(result);
}

int send(Handle handle, const char* data, int length, int& error) {
  const auto result = ::send(native(handle), data, static_cast<std::size_t>(length), kSendFlags);
  if (result < 0) error = errno;
  return static_cast<int>(result);
}

bool isInterrupted(int error) { return error == EINTR; }

bool isTimeout(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

int lastError() { return errno; }

std::string errorText(int error) { return std::strerror(error); }

bool setBlocking(Handle handle, bool blocking) {
  const int flags = fcntl(native(handle), F_GETFL, 0);
  if (flags < 0) return false;
  return fcntl(native(handle), F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

bool isConnectPending(int error) { return error == EINPROGRESS; }

int waitConnect(Handle handle, int milliseconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd entry{native(handle), POLLOUT, 0};
    const int ready = ::poll(&entry, 1, left > 0 ? static_cast<int>(left) : 0);
    if (ready >= 0 || errno != EINTR) return ready > 0 ? 1 : ready;
  }
}

#endif

void setNoDelay(Handle handle) {
  const int noDelay = 1;
  ::setsockopt(native(handle), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof(noDelay));
}

bool resolveIPv4(const std::string& host, std::uint32_t& address, std::string& reason) {
  addrinfo hints;
  std::memset(&hints, 0, sizeof(hints));
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const int resolved = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (resolved != 0 || found == nullptr) {
    reason = resolverText(resolved);
    return false;
  }
  sockaddr_in entry;
  std::memcpy(&entry, found->ai_addr, sizeof(entry));
  ::freeaddrinfo(found);
  address = entry.sin_addr.s_addr;
  return true;
}

int startConnect(Handle handle, std::uint32_t address, std::uint16_t port) {
  sockaddr_in target;
  std::memset(&target, 0, sizeof(target));
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = address;
  target.sin_port = htons(port);
  if (::connect(native(handle), reinterpret_cast<const sockaddr*>(&target), sizeof(target)) == 0) {
    return 0;
  }
  return lastError();
}

int connectError(Handle handle) {
  int error = 0;
  socklen_t size = sizeof(error);
  if (::getsockopt(native(handle), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) !=
      0) {
    return lastError();
  }
  return error;
}

}  // namespace socketPlatform
