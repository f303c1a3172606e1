#pragma once

#include <cstdint>
#include <string>

#include "stream/Socket.h"

// A Socket connected once, at construction, to host:port.
class SocketClient : public Socket {
 public:
  // host: name or dotted IPv4 address. Throws a std::string holding the system's error text
  // when the host cannot be resolved; a refused connect is no error (see isConnected).
  SocketClient(const std::string& host, std::uint16_t port);

  bool isConnected() const { return connected; }

 private:
  bool connected = false;
};
