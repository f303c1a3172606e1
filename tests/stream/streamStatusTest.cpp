#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "stream/StreamStatus.h"
#include "stream/protocolBufferProcess.h"
#include "support/LoopbackServer.h"
#include "support/StreamMessages.h"
#include "support/StreamSession.h"

namespace {

using Clock = std::chrono::steady_clock;
using J = BrexPlugs::BVH_JOIN;
using State = StreamStatus::State;
using streamMessages::actorList;
using streamMessages::frame;
using streamMessages::header;
using streamMessages::joint;
using streamMessages::packet;

const std::chrono::seconds kTimeout(5);

std::string address(const StreamSession& session) {
  return "127.0.0.1:" + std::to_string(session.server.port());
}

TEST(StreamStatus, LineNamesStateAddressAndCounters) {
  EXPECT_EQ(StreamStatus().line(),
            "disconnected -:- actors=0 frames=0 fps=0.0 lastFrameMs=-1 reconnects=0");
  StreamStatus status;
  status.state = State::kReconnecting;
  status.host = "10.0.0.2";
  status.port = 7005;
  status.actors = 5;
  status.frames = 12345678901ull;
  status.framesPerSecond = 239.94;
  status.lastFrameMs = 4;
  status.reconnects = 3;
  EXPECT_EQ(status.line(),
            "reconnecting 10.0.0.2:7005 actors=5 frames=12345678901 fps=239.9 lastFrameMs=4 "
            "reconnects=3");
  status.state = State::kConnecting;
  status.framesPerSecond = 239.96;
  EXPECT_EQ(status.line().substr(0, 55), "connecting 10.0.0.2:7005 actors=5 frames=12345678901 fp");
  EXPECT_NE(status.line().find(" fps=240.0 "), std::string::npos) << status.line();
  status.state = State::kConnected;
  EXPECT_EQ(status.line().rfind("connected 10.0.0.2:7005 ", 0), 0u);
}

TEST(StreamStatus, AFreshProcessorHasNoAddress) {
  protocolBufferProcess process;
  EXPECT_EQ(process.status().line(),
            "disconnected -:- actors=0 frames=0 fps=0.0 lastFrameMs=-1 reconnects=0");
}

TEST(StreamStatus, CountsTheFramesOfListedActorsSinceTheConnect) {
  std::promise<void> checked;
  std::shared_future<void> gate = checked.get_future().share();
  StreamSession session([gate](LoopbackServer::Connection& client) {
    if (gate.wait_for(kTimeout) != std::future_status::ready) return;
    if (!client.send(packet(actorList({{5, "a"}, {6, "b"}}))) ||
        StreamSession::readQueryTags(client, 2).size() != 2) {
      return;
    }
    // Counted before the header and for an actor without one; not for an actor not listed.
    std::string bytes =
        packet(frame(5, {1})) + packet(header(5, joint("A", 0, 0, 0, {J::Xrotation})));
    for (int i = 0; i < 7; ++i) bytes += packet(frame(5, {static_cast<float>(i)}));
    bytes += packet(frame(6, {1})) + packet(frame(9, {1}));
    client.send(bytes);
    client.waitForClose();
  });
  ASSERT_TRUE(session.connected);
  EXPECT_EQ(
      session.process.status().line(),
      "connecting " + address(session) + " actors=0 frames=0 fps=0.0 lastFrameMs=-1 reconnects=0");
  // Before the gate opens: the frames may arrive before this thread runs again.
  const auto sent = Clock::now();
  checked.set_value();
  ASSERT_TRUE(session.waitForPackets(12));
  StreamStatus status = session.process.status();
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent);
  EXPECT_EQ(status.state, State::kConnected);
  EXPECT_EQ(status.actors, 2);
  EXPECT_EQ(status.frames, 9u);
  EXPECT_EQ(status.reconnects, 0u);
  EXPECT_GE(status.lastFrameMs, 0);
  EXPECT_LE(status.lastFrameMs, elapsed.count());
  // All nine within the last second, unless this thread was held up that long.
  if (elapsed < std::chrono::milliseconds(900)) {
    EXPECT_EQ(status.framesPerSecond, 9.0);
  }

  // The rate falls back to 0 a second after the last frame; the count stays.
  const auto deadline = Clock::now() + kTimeout;
  while (session.process.status().framesPerSecond != 0.0 && Clock::now() < deadline) {
    std::this_thread::yield();
  }
  status = session.process.status();
  EXPECT_EQ(status.framesPerSecond, 0.0);
  EXPECT_EQ(status.frames, 9u);
  EXPECT_GE(status.lastFrameMs, 1000);

  session.process.stopReceiveThread();
  session.process.closeSocket();
  status = session.process.status();
  EXPECT_EQ(
      status.line().rfind("disconnected " + address(session) + " actors=2 frames=9 fps=0.0 ", 0),
      0u)
      << status.line();
}

TEST(StreamStatus, ARefusedConnectLeavesItDisconnectedAtTheNewAddress) {
  LoopbackServer server;
  const std::uint16_t port = server.port();
  server.serve([](LoopbackServer::Connection& client) { client.waitForClose(); });
  protocolBufferProcess process;
  ASSERT_TRUE(process.connectToServer("127.0.0.1", port));
  process.closeSocket();
  server.join();
  std::uint16_t unused = 0;
  {
    LoopbackServer closedAgain;
    unused = closedAgain.port();
  }
  EXPECT_FALSE(process.connectToServer("127.0.0.1", unused));
  EXPECT_EQ(process.status().line(), "disconnected 127.0.0.1:" + std::to_string(unused) +
                                         " actors=0 frames=0 fps=0.0 lastFrameMs=-1 reconnects=0");
  process.closeSocket();
}

}  // namespace
