#pragma once

#include <cstdint>
#include <string>

#include "stream/Socket.h"

// A Socket connected once, at construction, to host:port.
class SocketClient : public Socket {
 public:
  // How long the connect waits for an answer.
  static constexpr int kConnectTimeoutMs = 3000;

  // host: name or dotted IPv4 address. Throws a std::string such as
  // `cannot resolve "no-such-host.invalid": Name or service not known` when the host cannot
  // be resolved. A refused or unanswered connect is no error: see isConnected, connectError.
  SocketClient(const std::string& host, std::uint16_t port);

  bool isConnected() const { return connected; }
  // Why the connect failed, e.g. `cannot connect to "10.0.0.1" port 7005: no answer within
  // 3 s`; empty when connected.
  const std::string& connectError() const { return failure; }

 private:
  bool connected = false;
  std::string failure;
};
