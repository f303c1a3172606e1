#include "support/TestSockets.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace testSockets {

namespace {

#ifdef _WIN32

SOCKET native(Handle handle) { return static_cast<SOCKET>(handle); }

// Started for the rest of the process, released at exit.
struct Library {
  Library() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~Library() { WSACleanup(); }
};

void startLibrary() { static Library library; }

// Socket handles are kernel handles: multiples of 4, small in a test process.
constexpr Handle kFirstHandle = 4;
constexpr Handle kHandleStep = 4;
constexpr Handle kHandleEnd = 1 << 16;

bool waitReadable(Handle handle, std::chrono::milliseconds timeout) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(native(handle), &readable);
  timeval limit{};
  limit.tv_sec = static_cast<long>(timeout.count() / 1000);
  limit.tv_usec = static_cast<long>(timeout.count() % 1000 * 1000);
  return ::select(0, &readable, nullptr, nullptr, &limit) > 0;
}

// gai_strerror is FormatMessage for any Winsock error number; its text ends in a blank.
std::string systemText(int error) {
  std::string text = gai_strerrorA(error);
  text.erase(text.find_last_not_of(" \r\n") + 1);
  return text;
}

std::string resolverText(int code) { return systemText(code); }

#else

int native(Handle handle) { return static_cast<int>(handle); }

void startLibrary() {}

constexpr Handle kFirstHandle = 0;
constexpr Handle kHandleStep = 1;
constexpr Handle kHandleEnd = 1024;

bool waitReadable(Handle handle, std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd entry{native(handle), POLLIN, 0};
    const int ready = ::poll(&entry, 1, left > 0 ? static_cast<int>(left) : 0);
    if (ready >= 0 || errno != EINTR) return ready > 0;
  }
}

std::string resolverText(int code) {
  return code == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(code);
}

#endif

sockaddr_in loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

void setInt(Handle handle, int level, int option, int value) {
  ::setsockopt(native(handle), level, option, reinterpret_cast<const char*>(&value), sizeof(value));
}

}  // namespace

#ifdef _WIN32

void close(Handle handle) { ::closesocket(native(handle)); }

void setTimeouts(Handle handle, std::chrono::milliseconds timeout) {
  const DWORD value = static_cast<DWORD>(timeout.count());
  ::setsockopt(native(handle), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value),
               sizeof(value));
  ::setsockopt(native(handle), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&value),
               sizeof(value));
}

long long send(Handle handle, const char* data, std::size_t size) {
  return ::send(native(handle), data, static_cast<int>(size), 0);
}

long long receive(Handle handle, char* buffer, std::size_t size) {
  return ::recv(native(handle), buffer, static_cast<int>(size), 0);
}

std::string refusedText() { return systemText(WSAECONNREFUSED); }

#else

void close(Handle handle) { ::close(native(handle)); }

void setTimeouts(Handle handle, std::chrono::milliseconds timeout) {
  timeval value{};
  value.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  value.tv_usec = static_cast<suseconds_t>(timeout.count() % 1000 * 1000);
  ::setsockopt(native(handle), SOL_SOCKET, SO_RCVTIMEO, &value, sizeof(value));
  ::setsockopt(native(handle), SOL_SOCKET, SO_SNDTIMEO, &value, sizeof(value));
}

long long send(Handle handle, const char* data, std::size_t size) {
  for (;;) {
    const ssize_t result = ::send(native(handle), data, size, MSG_NOSIGNAL);
    if (result >= 0 || errno != EINTR) return result;
  }
}

long long receive(Handle handle, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t result = ::recv(native(handle), buffer, size, 0);
    if (result >= 0 || errno != EINTR) return result;
  }
}

std::string refusedText() { return std::strerror(ECONNREFUSED); }

#endif

Handle open() {
  startLibrary();
  return static_cast<Handle>(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
}

namespace {

// Bound alone when not listening.
Handle listenOn(std::uint16_t& port, bool listening, int backlog, bool reuse) {
  const Handle handle = open();
  if (handle == kInvalid) return kInvalid;
#ifndef _WIN32
  const int on = 1;
  if (reuse) ::setsockopt(native(handle), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
#else
  (void)reuse;
#endif
  sockaddr_in address = loopback(port);
  socklen_t length = sizeof(address);
  if (::bind(native(handle), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      (listening && ::listen(native(handle), backlog) != 0) ||
      ::getsockname(native(handle), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(handle);
    return kInvalid;
  }
  port = ntohs(address.sin_port);
  return handle;
}

}  // namespace

Handle listenLoopback(std::uint16_t& port, int backlog) {
  return listenOn(port, true, backlog, false);
}

Handle reusableListenLoopback(std::uint16_t& port, int backlog) {
  return listenOn(port, true, backlog, true);
}

Handle bindLoopback(std::uint16_t& port) { return listenOn(port, false, 0, false); }

bool readable(Handle handle, std::chrono::milliseconds timeout) {
  return waitReadable(handle, timeout);
}

Handle accept(Handle listener, std::chrono::milliseconds timeout) {
  // Winsock's accept ignores SO_RCVTIMEO: wait for the client first.
  if (!waitReadable(listener, timeout)) return kInvalid;
  return static_cast<Handle>(::accept(native(listener), nullptr, nullptr));
}

Handle connectLoopback(std::uint16_t port) {
  const Handle handle = open();
  if (handle == kInvalid) return kInvalid;
  const sockaddr_in address = loopback(port);
  if (::connect(native(handle), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) !=
      0) {
    close(handle);
    return kInvalid;
  }
  return handle;
}

bool isOpen(Handle handle) {
  int type = 0;
  socklen_t size = sizeof(type);
  return ::getsockopt(native(handle), SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &size) ==
         0;
}

void setNoDelay(Handle handle) { setInt(handle, IPPROTO_TCP, TCP_NODELAY, 1); }

bool hasNoDelay(Handle handle) {
  int noDelay = 0;
  socklen_t size = sizeof(noDelay);
  return ::getsockopt(native(handle), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&noDelay),
                      &size) == 0 &&
         noDelay != 0;
}

void setReceiveBuffer(Handle handle, int bytes) { setInt(handle, SOL_SOCKET, SO_RCVBUF, bytes); }

void setSendBuffer(Handle handle, int bytes) { setInt(handle, SOL_SOCKET, SO_SNDBUF, bytes); }

std::vector<Handle> connectedTo(std::uint16_t port) {
  std::vector<Handle> found;
  for (Handle handle = kFirstHandle; handle < kHandleEnd; handle += kHandleStep) {
    sockaddr_in peer{};
    socklen_t length = sizeof(peer);
    if (::getpeername(native(handle), reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
        peer.sin_family == AF_INET && peer.sin_addr.s_addr == htonl(INADDR_LOOPBACK) &&
        ntohs(peer.sin_port) == port) {
      found.push_back(handle);
    }
  }
  return found;
}

std::string resolveErrorText(const std::string& host) {
  startLibrary();
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int code = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (code != 0) return resolverText(code);
  ::freeaddrinfo(found);
  return "";
}

}  // namespace testSockets
