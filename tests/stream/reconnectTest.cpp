// A connection that ends is dialled again by the receive thread, at the same address, with a
// growing wait between tries, until the thread is stopped.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "stream/StreamStatus.h"
#include "stream/protocolBufferProcess.h"
#include "support/LoopbackServer.h"
#include "support/StreamMessages.h"
#include "support/StreamSession.h"

namespace {

using Clock = std::chrono::steady_clock;
using J = BrexPlugs::BVH_JOIN;
using State = StreamStatus::State;
using std::chrono::milliseconds;
using streamMessages::actorList;
using streamMessages::frame;
using streamMessages::header;
using streamMessages::joint;
using streamMessages::packet;

const std::chrono::seconds kTimeout(10);

J hipsAndSpine(const std::string& prefix) {
  return joint(prefix + "Hips", 1, 2, 3,
               {J::Xposition, J::Yposition, J::Zposition, J::Zrotation, J::Xrotation, J::Yrotation},
               {joint(prefix + "Spine", 4, 5, 6, {J::Zrotation, J::Xrotation, J::Yrotation})});
}

std::vector<float> withPrefix(std::vector<float> prefix) {
  prefix.resize(protocolBufferProcess::kSlotFloats, 0.0f);
  return prefix;
}

std::vector<float> slotOf(protocolBufferProcess& process, int slot) {
  std::vector<float> values(protocolBufferProcess::kSlotFloats);
  process.copyFrame(values.data(), protocolBufferProcess::kSlotBytes, slot);
  return values;
}

// Reads the status until it holds what holds says; false when it does not within the time-out.
bool waitForStatus(protocolBufferProcess& process,
                   const std::function<bool(const StreamStatus&)>& holds) {
  const auto deadline = Clock::now() + kTimeout;
  while (!holds(process.status())) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

bool waitForState(protocolBufferProcess& process, State state) {
  return waitForStatus(process,
                       [state](const StreamStatus& status) { return status.state == state; });
}

// Serves a peer that accepts and closes at once, connections times in a row, and returns when
// each was accepted.
std::vector<Clock::time_point> acceptAndClose(LoopbackServer& server, int connections) {
  std::vector<Clock::time_point> accepted;
  for (int i = 0; i < connections; ++i) {
    server.serve([&accepted](LoopbackServer::Connection&) { accepted.push_back(Clock::now()); });
    server.join();
  }
  return accepted;
}

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// The performer streams, the application restarts on the same port, the performer streams
// again: the second connection goes through the whole exchange, and until its frames come the
// last frame stays.
TEST(Reconnect, AnEndedConnectionIsDialledAgainAndRunsTheWholeExchange) {
  // Declared before the server, which joins its thread when it goes, so that they outlive it.
  std::promise<Clock::time_point> firstClosed;
  std::promise<void> secondGo;
  std::shared_future<void> go = secondGo.get_future().share();
  std::vector<std::uint32_t> queried;
  Clock::time_point acceptedAt;
  LoopbackServer server(kTimeout);
  server.serve([&](LoopbackServer::Connection& client) {
    if (!client.send(packet(actorList({{5, "a"}}))) ||
        StreamSession::readQueryTags(client, 1) != std::vector<std::uint32_t>{5}) {
      return;
    }
    client.send(packet(header(5, hipsAndSpine(""))) +
                packet(frame(5, {10, 11, 12, 13, 14, 15, 16, 17, 18})));
    firstClosed.set_value(Clock::now());
  });
  protocolBufferProcess process;
  ASSERT_TRUE(process.connectToServer("127.0.0.1", server.port()));
  process.startReceiveThread();
  ASSERT_TRUE(process.waitForPackets(3, kTimeout));
  const auto closedAt = firstClosed.get_future().get();
  server.join();

  server.serve([&](LoopbackServer::Connection& client) {
    acceptedAt = Clock::now();
    // Another actor list: the same performer and a new one, and another skeleton.
    if (!client.send(packet(actorList({{9, "b"}, {5, "a"}})))) return;
    queried = StreamSession::readQueryTags(client, 2);
    if (go.wait_for(kTimeout) != std::future_status::ready) return;
    client.send(packet(header(9, joint("Root", 0, 0, 0, {J::Xrotation}))) +
                packet(header(5, hipsAndSpine(""))));
    if (go.wait_for(kTimeout) != std::future_status::ready) return;
    client.send(packet(frame(5, {20})));
    client.waitForClose();
  });
  ASSERT_TRUE(process.waitForPackets(4, kTimeout));
  StreamStatus status = process.status();
  EXPECT_EQ(status.state, State::kConnected);
  EXPECT_EQ(status.reconnects, 1u);
  EXPECT_GE(millisecondsBetween(closedAt, acceptedAt), 240.0);
  // The new list gave 5 the same slot: its last frame stays; its text waits for its header.
  EXPECT_EQ(slotOf(process, 0), withPrefix({10, 11, 12, 14, 15, 13, 4, 5, 6, 17, 18, 16}));
  EXPECT_TRUE(process.copyHeaders().empty());

  secondGo.set_value();
  ASSERT_TRUE(process.waitForPackets(7, kTimeout));
  EXPECT_EQ(queried, (std::vector<std::uint32_t>{5, 9}));
  const std::vector<StreamHeader> headers = process.copyHeaders();
  ASSERT_EQ(headers.size(), 2u);
  EXPECT_EQ(headers[0].actor.tag, 5u);
  EXPECT_EQ(headers[1].actor.name, "b");
  EXPECT_EQ(headers[1].text.rfind("HIERARCHY\nROOT Root1\n", 0), 0u) << headers[1].text;
  EXPECT_EQ(slotOf(process, 0), withPrefix({20, 11, 12, 14, 15, 13, 4, 5, 6, 17, 18, 16}));
  status = process.status();
  EXPECT_EQ(status.actors, 2);
  EXPECT_EQ(status.frames, 2u);

  process.stopReceiveThread();
  process.closeSocket();
  server.join();
  EXPECT_EQ(process.status().state, State::kDisconnected);
}

// A peer that accepts and closes at once, for ever: every dial waits twice as long as the one
// before, and a stop during a wait ends it at once.
TEST(Reconnect, APeerThatClosesAtOnceIsDialledEverMoreSlowlyAndAStopEndsTheWait) {
  LoopbackServer server(kTimeout);
  protocolBufferProcess process;
  ASSERT_TRUE(process.connectToServer("127.0.0.1", server.port()));
  process.startReceiveThread();
  // The first connection, then the dials after 250, 500 and 1000 ms.
  const std::vector<Clock::time_point> accepted = acceptAndClose(server, 4);
  ASSERT_EQ(accepted.size(), 4u);
  // The server has closed the fourth connection; the client counts it once its dial returns,
  // and reconnects once it has seen the close.
  ASSERT_TRUE(waitForStatus(process, [](const StreamStatus& status) {
    return status.reconnects == 3 && status.state == State::kReconnecting;
  })) << process.status().line();
  const StreamStatus status = process.status();
  EXPECT_EQ(status.line().rfind("reconnecting 127.0.0.1:" + std::to_string(server.port()) + " ", 0),
            0u)
      << status.line();
  const double nominal[] = {250, 500, 1000};
  for (int i = 0; i < 3; ++i) {
    const double interval = millisecondsBetween(accepted[i], accepted[i + 1]);
    EXPECT_GE(interval, nominal[i] - 10) << i;
    EXPECT_LT(interval, 2 * nominal[i]) << i;
  }

  // Now the wait is 2 s long.
  const auto before = Clock::now();
  process.stopReceiveThread();
  EXPECT_LT(millisecondsBetween(before, Clock::now()), 1000.0);
  EXPECT_EQ(process.status().state, State::kDisconnected);
  process.closeSocket();
}

// The doubling stops at sixteen times the first wait (4 s); ten times faster here.
TEST(Reconnect, TheWaitBetweenDialsStopsGrowingAtSixteenTimesTheFirst) {
  LoopbackServer server(kTimeout);
  protocolBufferProcess process(10);
  ASSERT_TRUE(process.connectToServer("127.0.0.1", server.port()));
  process.startReceiveThread();
  const std::vector<Clock::time_point> accepted = acceptAndClose(server, 9);
  ASSERT_EQ(accepted.size(), 9u);
  process.stopReceiveThread();
  process.closeSocket();
  std::vector<double> intervals;
  for (std::size_t i = 1; i < accepted.size(); ++i) {
    intervals.push_back(millisecondsBetween(accepted[i - 1], accepted[i]));
  }
  const double nominal[] = {25, 50, 100, 200, 400, 400, 400, 400};
  for (std::size_t i = 0; i < intervals.size(); ++i) {
    EXPECT_GE(intervals[i], nominal[i] - 2) << i;
  }
  // A wait that went on doubling would be 800 ms and more by now; a loaded machine stretches
  // one interval now and then, never the two shortest of three.
  std::vector<double> capped(intervals.begin() + 5, intervals.end());
  std::sort(capped.begin(), capped.end());
  EXPECT_LT(capped[1], 600.0) << capped[0] << " " << capped[1] << " " << capped[2];
}

// Refused dials back off too, and only the address of a connect that worked is dialled.
TEST(Reconnect, OnlyAConnectThatWorkedIsDialledAgain) {
  std::uint16_t port = 0;
  {
    LoopbackServer gone;
    port = gone.port();
  }
  protocolBufferProcess process;
  EXPECT_FALSE(process.connectToServer("127.0.0.1", port));
  process.startReceiveThread();
  EXPECT_FALSE(process.waitForPackets(1, milliseconds(300)));
  EXPECT_EQ(process.status().state, State::kDisconnected);
  EXPECT_EQ(process.status().reconnects, 0u);
  process.stopReceiveThread();
  process.closeSocket();

  // A server that closes for good: the dials are refused and the state stays reconnecting.
  auto server = std::make_unique<LoopbackServer>(kTimeout);
  server->serve([](LoopbackServer::Connection&) {});
  ASSERT_TRUE(process.connectToServer("127.0.0.1", server->port()));
  process.startReceiveThread();
  server->join();
  server.reset();
  ASSERT_TRUE(waitForState(process, State::kReconnecting));
  EXPECT_FALSE(process.waitForPackets(1, milliseconds(600)));
  EXPECT_EQ(process.status().state, State::kReconnecting);
  EXPECT_EQ(process.status().reconnects, 0u);
  process.stopReceiveThread();
  process.closeSocket();
}

}  // namespace
