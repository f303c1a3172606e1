#include "stream/SocketClient.h"

#include "stream/SocketPlatform.h"

namespace {

std::string quoted(const std::string& host) { return "\"" + host + "\""; }

}  // namespace

SocketClient::SocketClient(const std::string& host, std::uint16_t port) {
  std::uint32_t address = 0;
  std::string reason;
  if (!socketPlatform::resolveIPv4(host, address, reason)) {
    throw "cannot resolve " + quoted(host) + ": " + reason;
  }

  // A blocking connect to an address that never answers would hold the caller for the
  // system's own time-out, 20 s or more.
  const socketPlatform::Handle handle = nativeHandle();
  const std::string target = "cannot connect to " + quoted(host) + " port " + std::to_string(port);
  if (!socketPlatform::setBlocking(handle, false)) {
    failure = target + ": " + socketPlatform::errorText(socketPlatform::lastError());
    return;
  }
  const int error = socketPlatform::startConnect(handle, address, port);
  if (error != 0 && !socketPlatform::isConnectPending(error)) {
    failure = target + ": " + socketPlatform::errorText(error);
  } else if (error != 0) {
    const int ready = socketPlatform::waitConnect(handle, kConnectTimeoutMs);
    if (ready == 0) {
      failure = target + ": no answer within " + std::to_string(kConnectTimeoutMs / 1000) + " s";
    } else {
      const int outcome =
          ready < 0 ? socketPlatform::lastError() : socketPlatform::connectError(handle);
      if (outcome != 0) failure = target + ": " + socketPlatform::errorText(outcome);
    }
  }
  // Receives and sends rely on the blocking mode and its time-outs.
  if (!socketPlatform::setBlocking(handle, true) && failure.empty()) {
    failure = target + ": " + socketPlatform::errorText(socketPlatform::lastError());
  }
  connected = failure.empty();
}
