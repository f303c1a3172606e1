#include "stream/RedialSocket.h"

#include <chrono>

#include "stream/SocketClient.h"
#include "stream/SocketPlatform.h"

bool RedialSocket::connect(const std::string& host, std::uint16_t port,
                           const std::atomic<bool>& stop) {
  std::uint32_t address = 0;
  std::string reason;
  if (!socketPlatform::resolveIPv4(host, address, reason)) return false;
  const socketPlatform::Handle handle = nativeHandle();
  if (!socketPlatform::setBlocking(handle, false)) return false;
  const int error = socketPlatform::startConnect(handle, address, port);
  if (error != 0) {
    if (!socketPlatform::isConnectPending(error)) return false;
    // Waited for in slices: one wait for the whole time-out would hold a disconnect as long.
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(SocketClient::kConnectTimeoutMs);
    int ready = 0;
    while (ready == 0 && !stop && std::chrono::steady_clock::now() < deadline) {
      ready = socketPlatform::waitConnect(handle, kStopCheckMs);
    }
    if (ready <= 0 || stop || socketPlatform::connectError(handle) != 0) return false;
  }
  // Receives and sends rely on the blocking mode and its time-outs.
  return socketPlatform::setBlocking(handle, true);
}
