#include "stream/SocketClient.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#endif

namespace {

#ifdef _WIN32
using NativeHandle = SOCKET;

std::string systemText(int error) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = length > 0 ? std::string(text, length) : "error " + std::to_string(error);
  if (text != nullptr) LocalFree(text);
  // The system's texts end in a line break.
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
  return result;
}

std::string resolveErrorText(int) { return systemText(WSAGetLastError()); }

bool setBlocking(NativeHandle handle, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  return ioctlsocket(handle, FIONBIO, &nonBlocking) == 0;
}

int socketError() { return WSAGetLastError(); }
bool isConnectPending(int error) { return error == WSAEWOULDBLOCK; }

// 1 when writable (connected or failed), 0 on time-out, -1 on error.
int waitWritable(NativeHandle handle, int milliseconds) {
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(handle, &writable);
  FD_SET(handle, &failed);
  timeval timeout{};
  timeout.tv_sec = milliseconds / 1000;
  timeout.tv_usec = (milliseconds % 1000) * 1000;
  const int ready = select(0, nullptr, &writable, &failed, &timeout);
  return ready > 0 ? 1 : ready;
}
#else
using NativeHandle = int;

std::string systemText(int error) { return std::strerror(error); }

std::string resolveErrorText(int code) {
  return code == EAI_SYSTEM ? systemText(errno) : gai_strerror(code);
}

bool setBlocking(NativeHandle handle, bool blocking) {
  const int flags = fcntl(handle, F_GETFL, 0);
  if (flags < 0) return false;
  return fcntl(handle, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

int socketError() { return errno; }
bool isConnectPending(int error) { return error == EINPROGRESS; }

int waitWritable(NativeHandle handle, int milliseconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd entry{handle, POLLOUT, 0};
    const int ready = ::poll(&entry, 1, left > 0 ? static_cast<int>(left) : 0);
    if (ready >= 0 || errno != EINTR) return ready > 0 ? 1 : ready;
  }
}
#endif

std::string quoted(const std::string& host) { return "\"" + host + "\""; }

}  // namespace

SocketClient::SocketClient(const std::string& host, std::uint16_t port) {
  addrinfo hints;
  std::memset(&hints, 0, sizeof(hints));
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const int resolved = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (resolved != 0 || found == nullptr) {
    throw "cannot resolve " + quoted(host) + ": " + resolveErrorText(resolved);
  }
  sockaddr_in address;
  std::memcpy(&address, found->ai_addr, sizeof(address));
  ::freeaddrinfo(found);
  address.sin_port = htons(port);

  // A blocking connect to an address that never answers would hold the caller for the
  // system's own time-out, 20 s or more.
  const auto handle = static_cast<NativeHandle>(nativeHandle());
  const std::string target = "cannot connect to " + quoted(host) + " port " + std::to_string(port);
  if (!setBlocking(handle, false)) {
    failure = target + ": " + systemText(socketError());
    return;
  }
  int error = 0;
  if (::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    error = socketError();
    if (!isConnectPending(error)) {
      failure = target + ": " + systemText(error);
    } else {
      const int ready = waitWritable(handle, kConnectTimeoutMs);
      if (ready == 0) {
        failure = target + ": no answer within " + std::to_string(kConnectTimeoutMs / 1000) + " s";
      } else if (ready < 0) {
        failure = target + ": " + systemText(socketError());
      } else {
        socklen_t size = sizeof(error);
        if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) !=
            0) {
          error = socketError();
        }
        if (error != 0) failure = target + ": " + systemText(error);
      }
    }
  }
  // Receives and sends rely on the blocking mode and its time-outs.
  if (!setBlocking(handle, true) && failure.empty()) {
    failure = target + ": " + systemText(socketError());
  }
  connected = failure.empty();
}
