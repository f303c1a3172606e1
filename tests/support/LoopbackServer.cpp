#include "support/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

void setTimeouts(int handle, std::chrono::milliseconds timeout) {
  timeval value{};
  value.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  value.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
  setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof(value));
  setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, &value, sizeof(value));
}

}  // namespace

bool LoopbackServer::Connection::send(const std::string& bytes, std::size_t chunk) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const std::size_t piece =
        chunk == 0 ? bytes.size() - sent : std::min(chunk, bytes.size() - sent);
    const ssize_t result = ::send(handle, bytes.data() + sent, piece, MSG_NOSIGNAL);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) return false;
    sent += static_cast<std::size_t>(result);
  }
  return true;
}

bool LoopbackServer::Connection::receive(std::size_t count, std::string& bytes) {
  bytes.assign(count, '\0');
  std::size_t received = 0;
  while (received < count) {
    const ssize_t result = ::recv(handle, &bytes[received], count - received, 0);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) return false;
    received += static_cast<std::size_t>(result);
  }
  return true;
}

bool LoopbackServer::Connection::receivePacket(std::string& packet) {
  std::string head;
  if (!receive(8, head)) return false;
  std::uint32_t length = 0;
  for (int i = 3; i >= 0; --i) length = length << 8 | static_cast<unsigned char>(head[4 + i]);
  std::string payload;
  if (length > (1u << 20) || !receive(length, payload)) return false;
  packet = head + payload;
  return true;
}

bool LoopbackServer::Connection::waitForClose() {
  char byte;
  for (;;) {
    const ssize_t result = ::recv(handle, &byte, 1, 0);
    if (result == 0) return true;
    if (result > 0 || errno != EINTR) return false;
  }
}

LoopbackServer::LoopbackServer(std::chrono::milliseconds timeout, std::uint16_t port)
    : timeout(timeout) {
  listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener < 0) throw std::runtime_error("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  socklen_t length = sizeof(address);
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(listener, 4) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listener);
    throw std::runtime_error("bind");
  }
  listenPort = ntohs(address.sin_port);
  // Bounds accept as well.
  setTimeouts(listener, timeout);
}

LoopbackServer::~LoopbackServer() {
  join();
  ::close(listener);
}

void LoopbackServer::limitReceiveBuffer(int bytes) {
  setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof(bytes));
}

void LoopbackServer::limitClientSendBuffer(int bytes) {
  for (int handle = 0; handle < 1024; ++handle) {
    sockaddr_in peer{};
    socklen_t length = sizeof(peer);
    if (::getpeername(handle, reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
        peer.sin_family == AF_INET && ntohs(peer.sin_port) == listenPort) {
      setsockopt(handle, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof(bytes));
    }
  }
}

void LoopbackServer::serve(std::function<void(Connection&)> script) {
  join();
  thread = std::thread([this, script = std::move(script)] {
    int client;
    do {
      client = ::accept(listener, nullptr, nullptr);
    } while (client < 0 && errno == EINTR);
    if (client < 0) return;
    clientAccepted = true;
    setTimeouts(client, timeout);
    int noDelay = 1;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof(noDelay));
    Connection connection(client);
    script(connection);
    ::close(client);
  });
}

void LoopbackServer::join() {
  if (thread.joinable()) thread.join();
}
