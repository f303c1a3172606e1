#include "support/LoopbackServer.h"

#include <algorithm>
#include <stdexcept>

bool LoopbackServer::Connection::send(const std::string& bytes, std::size_t chunk) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const std::size_t piece =
        chunk == 0 ? bytes.size() - sent : std::min(chunk, bytes.size() - sent);
    const long long result = testSockets::send(handle, bytes.data() + sent, piece);
    if (result <= 0) return false;
    sent += static_cast<std::size_t>(result);
  }
  return true;
}

bool LoopbackServer::Connection::receive(std::size_t count, std::string& bytes) {
  bytes.assign(count, '\0');
  std::size_t received = 0;
  while (received < count) {
    const long long result = testSockets::receive(handle, &bytes[received], count - received);
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
  return testSockets::receive(handle, &byte, 1) == 0;
}

LoopbackServer::LoopbackServer(std::chrono::milliseconds ioTimeout, std::uint16_t port)
    : listenPort(port), timeout(ioTimeout) {
  listener = testSockets::listenLoopback(listenPort, 4);
  if (listener == testSockets::kInvalid) throw std::runtime_error("bind");
}

LoopbackServer::~LoopbackServer() {
  join();
  testSockets::close(listener);
}

void LoopbackServer::limitReceiveBuffer(int bytes) {
  testSockets::setReceiveBuffer(listener, bytes);
}

void LoopbackServer::limitClientSendBuffer(int bytes) {
  for (testSockets::Handle handle : testSockets::connectedTo(listenPort)) {
    testSockets::setSendBuffer(handle, bytes);
  }
}

void LoopbackServer::serve(std::function<void(Connection&)> script) {
  join();
  thread = std::thread([this, script = std::move(script)] {
    const testSockets::Handle client = testSockets::accept(listener, timeout);
    if (client == testSockets::kInvalid) return;
    clientAccepted = true;
    testSockets::setTimeouts(client, timeout);
    testSockets::setNoDelay(client);
    Connection connection(client);
    script(connection);
    testSockets::close(client);
  });
}

void LoopbackServer::join() {
  if (thread.joinable()) thread.join();
}
