#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "stream/protocolBufferProcess.h"
#include "support/LoopbackServer.h"

// A fresh protocolBufferProcess connected to a LoopbackServer that runs script, with the
// receive thread started. The destructor disconnects and joins the server.
class StreamSession {
 public:
  explicit StreamSession(std::function<void(LoopbackServer::Connection&)> script);
  ~StreamSession();

  // True once count packets were handled, false after a 5 s time-out.
  bool waitForPackets(std::uint64_t count);
  // The 360 floats of a slot's frame store.
  std::vector<float> frame(int slot);

  // Server side: reads count header queries and returns their actor tags in arrival order;
  // an unreadable or malformed query gives a tag of 0xffffffff.
  static std::vector<std::uint32_t> readQueryTags(LoopbackServer::Connection& connection,
                                                  int count);

  LoopbackServer server;
  protocolBufferProcess process;
  bool connected = false;
};

// The header texts of process once it holds count of them (or more), however many frames come
// first; what it holds after timeout otherwise.
std::vector<std::string> waitForHeaderTexts(
    protocolBufferProcess& process, std::size_t count,
    std::chrono::milliseconds timeout = std::chrono::seconds(10));
