#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "stream/Socket.h"

// A Socket that the receive thread connects again to the address of a connection that ended.
// Unlike SocketClient's, its connect gives up as soon as a stop flag is set, so that a
// disconnect never waits for an address that does not answer.
class RedialSocket : public Socket {
 public:
  // How often a pending connect looks at the stop flag.
  static constexpr int kStopCheckMs = 20;

  // Throws like Socket().
  RedialSocket() = default;

  // Resolves host (a name or dotted IPv4 address) and connects within
  // SocketClient::kConnectTimeoutMs. False when the host cannot be resolved, the connect is
  // refused, fails or times out, or stop is set meanwhile. Call once.
  bool connect(const std::string& host, std::uint16_t port, const std::atomic<bool>& stop);
};
