#include "ServerSockets.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#endif

namespace serverSockets {

namespace {

#ifdef _WIN32

SOCKET native(Handle handle) { return static_cast<SOCKET>(handle); }

// Winsock's SO_REUSEADDR would let this listener take a port another one holds: left off.
void allowRestart(Handle) {}

#else

int native(Handle handle) { return static_cast<int>(handle); }

// A restarted server may bind its port while connections of the last run linger in TIME_WAIT.
void allowRestart(Handle handle) {
  const int reuse = 1;
  ::setsockopt(native(handle), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse));
}

#endif

}  // namespace

#ifdef _WIN32

bool waitReadable(Handle handle, int milliseconds) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(native(handle), &readable);
  timeval timeout{};
  timeout.tv_sec = milliseconds / 1000;
  timeout.tv_usec = milliseconds % 1000 * 1000;
  return ::select(0, &readable, nullptr, nullptr, &timeout) > 0;
}

bool isPeerGone(int error) { return error == WSAECONNRESET || error == WSAECONNABORTED; }

#else

bool waitReadable(Handle handle, int milliseconds) {
  pollfd entry{native(handle), POLLIN, 0};
  return ::poll(&entry, 1, milliseconds) > 0;
}

bool isPeerGone(int error) { return error == EPIPE || error == ECONNRESET; }

#endif

bool parseIPv4(const std::string& text, std::uint32_t& address) {
  in_addr parsed{};
  if (::inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
  address = parsed.s_addr;
  return true;
}

Handle listen(std::uint32_t address, std::uint16_t& port, std::string& error) {
  const Handle handle = socketPlatform::openTcp();
  if (handle == socketPlatform::kInvalidHandle) {
    error = socketPlatform::errorText(socketPlatform::lastError());
    return handle;
  }
  allowRestart(handle);
  sockaddr_in bound{};
  bound.sin_family = AF_INET;
  bound.sin_addr.s_addr = address;
  bound.sin_port = htons(port);
  socklen_t length = sizeof(bound);
  if (::bind(native(handle), reinterpret_cast<sockaddr*>(&bound), sizeof(bound)) != 0 ||
      ::listen(native(handle), 8) != 0 ||
      ::getsockname(native(handle), reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
    error = socketPlatform::errorText(socketPlatform::lastError());
    socketPlatform::close(handle);
    return socketPlatform::kInvalidHandle;
  }
  port = ntohs(bound.sin_port);
  return handle;
}

Handle accept(Handle listener) {
  return static_cast<Handle>(::accept(native(listener), nullptr, nullptr));
}

std::string peerText(Handle handle) {
  sockaddr_in address{};
  socklen_t length = sizeof(address);
  if (::getpeername(native(handle), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return "?";
  }
  char text[INET_ADDRSTRLEN] = "?";
  ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

}  // namespace serverSockets
