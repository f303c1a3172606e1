#include "stream/StreamStatus.h"

#include <cmath>

namespace {

const char* stateName(StreamStatus::State state) {
  switch (state) {
    case StreamStatus::State::kConnecting:
      return "connecting";
    case StreamStatus::State::kConnected:
      return "connected";
    case StreamStatus::State::kReconnecting:
      return "reconnecting";
    case StreamStatus::State::kDisconnected:
      break;
  }
  return "disconnected";
}

}  // namespace

std::string StreamStatus::line() const {
  const std::string address = host.empty() ? "-:-" : host + ":" + std::to_string(port);
  // Whole tenths, so that the decimal point never follows the locale the host has set.
  const long long tenths = std::llround(framesPerSecond * 10.0);
  return std::string(stateName(state)) + " " + address + " actors=" + std::to_string(actors) +
         " frames=" + std::to_string(frames) + " fps=" + std::to_string(tenths / 10) + "." +
         std::to_string(tenths % 10) + " lastFrameMs=" + std::to_string(lastFrameMs) +
         " reconnects=" + std::to_string(reconnects);
}
