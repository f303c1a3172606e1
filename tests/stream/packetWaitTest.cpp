// The device thread sleeps in waitForNewPacket between frames: the receive thread must wake it
// for every packet handled, and nothing else may.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <string>

#include "stream/protocolBufferProcess.h"
#include "support/LoopbackServer.h"
#include "support/StreamMessages.h"
#include "support/StreamSession.h"

namespace {

using Clock = std::chrono::steady_clock;
using streamMessages::actorList;
using streamMessages::packet;

// Far above any wake-up, far below the waits' own time-out.
const std::chrono::seconds kPrompt(2);
const std::chrono::seconds kLongWait(20);

TEST(PacketWait, AWaiterWakesForEachPacketHandledAndNotBefore) {
  std::promise<void> sendFirst;
  std::promise<void> sendSecond;
  std::shared_future<void> first = sendFirst.get_future().share();
  std::shared_future<void> second = sendSecond.get_future().share();
  StreamSession session([first, second](LoopbackServer::Connection& client) {
    if (first.wait_for(kLongWait) != std::future_status::ready) return;
    if (!client.send(packet(actorList({})))) return;
    if (second.wait_for(kLongWait) != std::future_status::ready) return;
    // Two packets at once: one wake-up may see both.
    if (!client.send(packet(actorList({})) + packet(actorList({})))) return;
    client.waitForClose();
  });
  ASSERT_TRUE(session.connected);
  protocolBufferProcess& process = session.process;
  EXPECT_EQ(process.waitForNewPacket(0, std::chrono::milliseconds(20)), 0u);

  auto waiter =
      std::async(std::launch::async, [&] { return process.waitForNewPacket(0, kLongWait); });
  EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  const auto sent = Clock::now();
  sendFirst.set_value();
  ASSERT_EQ(waiter.wait_for(kPrompt), std::future_status::ready);
  EXPECT_EQ(waiter.get(), 1u);
  EXPECT_LT(Clock::now() - sent, kPrompt);

  // A count that differs already returns at once.
  const auto before = Clock::now();
  EXPECT_EQ(process.waitForNewPacket(0, kLongWait), 1u);
  EXPECT_LT(Clock::now() - before, kPrompt);

  waiter = std::async(std::launch::async, [&] { return process.waitForNewPacket(1, kLongWait); });
  sendSecond.set_value();
  ASSERT_EQ(waiter.wait_for(kPrompt), std::future_status::ready);
  const std::uint64_t woken = waiter.get();
  EXPECT_GE(woken, 2u);
  EXPECT_EQ(process.waitForNewPacket(2, kLongWait), 3u);
}

TEST(PacketWait, WakeWaitersEndsAWaitInProgressWithTheCountUnchanged) {
  protocolBufferProcess process;
  auto waiter =
      std::async(std::launch::async, [&] { return process.waitForNewPacket(0, kLongWait); });
  EXPECT_EQ(waiter.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  // Until the waiter is woken; each call wakes the waits then in progress.
  std::future_status status = std::future_status::timeout;
  for (int call = 0; call < 100 && status != std::future_status::ready; ++call) {
    process.wakeWaiters();
    status = waiter.wait_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(status, std::future_status::ready);
  EXPECT_EQ(waiter.get(), 0u);
  // A wake before the wait does not end it.
  process.wakeWaiters();
  const auto before = Clock::now();
  EXPECT_EQ(process.waitForNewPacket(0, std::chrono::milliseconds(30)), 0u);
  EXPECT_GE(Clock::now() - before, std::chrono::milliseconds(30));
}

TEST(PacketWait, TimesOutWithTheSameCountWhenNothingArrives) {
  protocolBufferProcess process;
  const auto before = Clock::now();
  EXPECT_EQ(process.waitForNewPacket(0, std::chrono::milliseconds(30)), 0u);
  EXPECT_GE(Clock::now() - before, std::chrono::milliseconds(30));
  const auto deadline = Clock::now() + std::chrono::milliseconds(30);
  EXPECT_EQ(process.waitForNewPacketUntil(0, deadline), 0u);
  EXPECT_GE(Clock::now(), deadline);
  // A count from elsewhere (not yet reached) is no count the processor has.
  EXPECT_EQ(process.waitForNewPacket(7, std::chrono::milliseconds(0)), 0u);
}

}  // namespace
