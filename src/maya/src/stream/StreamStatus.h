#pragma once

#include <cstdint>
#include <string>

// What the stream processor can tell of its connection at one moment.
struct StreamStatus {
  enum class State {
    // No connection and none sought: never connected, the connect failed, or disconnected.
    kDisconnected,
    // Connected; no actor list has come over this connection yet.
    kConnecting,
    // Connected, and the connection has delivered an actor list.
    kConnected,
    // The connection ended; the receive thread dials the same address again.
    kReconnecting
  };

  State state = State::kDisconnected;
  // The address of the last connect; empty host and port 0 when none was ever given.
  std::string host;
  std::uint16_t port = 0;
  // Actors holding a slot in the last actor list since the connect.
  int actors = 0;
  // Frames received since the connect for actors holding a slot.
  std::uint64_t frames = 0;
  // Of those, per second over the last second.
  double framesPerSecond = 0.0;
  // Milliseconds since the last of those frames; -1 when none arrived since the connect.
  long long lastFrameMs = -1;
  // Connections made again by the receive thread since the connect.
  std::uint64_t reconnects = 0;

  // One line: "<state> <host>:<port> actors=<n> frames=<n> fps=<n.n> lastFrameMs=<ms>
  // reconnects=<n>", with "-:-" for the address when none was given.
  std::string line() const;
};
