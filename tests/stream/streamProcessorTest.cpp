#include <google/protobuf/stubs/logging.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "stream/PacketCodec.h"
#include "stream/protocolBufferProcess.h"
#include "support/LoopbackServer.h"
#include "support/StreamMessages.h"
#include "support/StreamSession.h"
#include "support/TestSockets.h"

namespace {

using Clock = std::chrono::steady_clock;
using J = BrexPlugs::BVH_JOIN;
using streamMessages::actorList;
using streamMessages::frame;
using streamMessages::header;
using streamMessages::joint;
using streamMessages::packet;

const std::chrono::seconds kTimeout(5);

std::vector<float> withPrefix(std::vector<float> prefix) {
  prefix.resize(protocolBufferProcess::kSlotFloats, 0.0f);
  return prefix;
}

std::uint16_t portWithoutListener() {
  std::uint16_t port = 0;
  testSockets::close(testSockets::listenLoopback(port, 1));
  return port;
}

J hipsAndSpine() {
  return joint("Hips", 1, 2, 3,
               {J::Xposition, J::Yposition, J::Zposition, J::Zrotation, J::Xrotation, J::Yrotation},
               {joint("Spine", 4, 5, 6, {J::Zrotation, J::Xrotation, J::Yrotation})});
}

std::string queryPacket(std::uint32_t tag) {
  char block[PacketCodec::kQueryBlockSize];
  const int size = PacketCodec::encodeQuery(tag, block);
  return std::string(block, static_cast<std::size_t>(size));
}

// Milliseconds the action takes.
double timeOf(const std::function<void()>& action) {
  const auto start = Clock::now();
  action();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TEST(StreamProcessor, ActorListSendsOneQueryPacketPerActorAndNothingElse) {
  std::vector<std::string> received(3);
  bool closedAfterQueries = false;
  StreamSession session([&](LoopbackServer::Connection& client) {
    client.send(packet(actorList({{10, "a"}, {20, "b"}})));
    client.receivePacket(received[0]);
    client.receivePacket(received[1]);
    client.send(packet(header(20, hipsAndSpine())));
    closedAfterQueries = client.waitForClose();
  });
  ASSERT_TRUE(session.connected);
  ASSERT_TRUE(session.waitForPackets(2));
  EXPECT_EQ(session.process.copyHeaderTexts().size(), 1u);
  session.process.stopReceiveThread();
  session.process.closeSocket();
  session.server.join();
  received.pop_back();
  std::sort(received.begin(), received.end());
  std::vector<std::string> expected = {queryPacket(10), queryPacket(20)};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(received, expected);
  EXPECT_TRUE(closedAfterQueries);
}

TEST(StreamProcessor, SplitAndMalformedInputLosesNoPacket) {
  using Compression = PacketCodec::Compression;
  for (std::size_t chunk : {1, 2, 3, 5, 7, 13, 0}) {
    SCOPED_TRACE(chunk);
    google::protobuf::LogHandler* previous = google::protobuf::SetLogHandler(nullptr);
    StreamSession session([chunk](LoopbackServer::Connection& client) {
      client.send("junk" + packet(actorList({{5, "a"}}), Compression::kZlib), chunk);
      StreamSession::readQueryTags(client, 1);
      client.send(packet(header(5, hipsAndSpine()), Compression::kGzip) + "\x01\x02\x03\x04" +
                      streamMessages::rawPacket("AAAA", -1, "") +
                      streamMessages::rawPacket("CCCC", 184321, "AAAA"),
                  chunk);
      client.send(std::string(184321 - 4, 'A'));
      client.send(streamMessages::rawPacket("AAAA", 3, "bad") +
                      packet(frame(5, {10, 11, 12, 13, 14, 15, 16, 17, 18})) +
                      packet(frame(5, {20, 21}), Compression::kZlib),
                  chunk);
    });
    ASSERT_TRUE(session.waitForPackets(5));
    EXPECT_EQ(session.process.copyHeaderTexts().size(), 1u);
    EXPECT_EQ(session.frame(0), withPrefix({20, 21, 12, 14, 15, 13, 4, 5, 6, 17, 18, 16}));
    google::protobuf::SetLogHandler(previous);
  }
}

TEST(StreamProcessor, StopReturnsAtOnceWithoutThreadAndWithAWaitingReceive) {
  // Milliseconds, far below the socket's 3 s time-outs, which would otherwise hold the stop.
  const double kAtOnce = 1000;
  protocolBufferProcess idle;
  EXPECT_LT(timeOf([&] {
              idle.stopReceiveThread();
              idle.closeSocket();
              idle.startReceiveThread();
              idle.stopReceiveThread();
            }),
            kAtOnce);

  StreamSession session([](LoopbackServer::Connection& client) { client.waitForClose(); });
  ASSERT_TRUE(session.connected);
  EXPECT_LT(timeOf([&] {
              session.process.stopReceiveThread();
              session.process.closeSocket();
            }),
            kAtOnce);
}

TEST(StreamProcessor, StopAndCopyFrameDoNotWaitForAPeerThatNeverReads) {
  // A send that waits this long tells the server that the client no longer reads.
  LoopbackServer server(std::chrono::milliseconds(300));
  server.limitReceiveBuffer(4096);
  std::promise<void> stalled;
  std::promise<void> stopped;
  server.serve([&](LoopbackServer::Connection& client) {
    std::string lists;
    const std::string list = packet(actorList({{1, "a"}, {2, "b"}, {3, "c"}, {4, "d"}, {5, "e"}}));
    for (int i = 0; i < 100; ++i) lists += list;
    for (int i = 0; i < 10000 && client.send(lists); ++i) {
    }
    stalled.set_value();
    // Closing now would end the client's blocked send: hold on until it has stopped.
    stopped.get_future().wait_for(kTimeout);
  });
  protocolBufferProcess process;
  ASSERT_TRUE(process.connectToServer("127.0.0.1", server.port()));
  server.limitClientSendBuffer(4096);
  process.startReceiveThread();
  ASSERT_EQ(stalled.get_future().wait_for(kTimeout), std::future_status::ready);
  float values[protocolBufferProcess::kSlotFloats];
  const auto copy = timeOf([&] { process.copyFrame(values, sizeof(values), 0); });
  const auto stop = timeOf([&] {
    process.stopReceiveThread();
    process.closeSocket();
  });
  stopped.set_value();
  server.join();
  RecordProperty("stopMicroseconds", static_cast<int>(stop * 1000));
  // The blocked send gives up only after its 3 s time-out.
  EXPECT_LT(copy, 1000);
  EXPECT_LT(stop, 1000);
}

TEST(StreamProcessor, CopyFrameWaitsForAtMostOneMessageUnderAFlood) {
  std::atomic<bool> enough{false};
  StreamSession session([&](LoopbackServer::Connection& client) {
    client.send(packet(actorList({{5, "a"}})));
    StreamSession::readQueryTags(client, 1);
    client.send(packet(header(5, hipsAndSpine())));
    std::string frames;
    for (int i = 0; i < 1000; ++i) frames += packet(frame(5, {static_cast<float>(i)}));
    for (int i = 0; i < 5000 && !enough && client.send(frames); ++i) {
    }
  });
  ASSERT_TRUE(session.waitForPackets(3));
  float values[protocolBufferProcess::kSlotFloats];
  double longest = 0;
  int copies = 0;
  for (const auto end = Clock::now() + std::chrono::seconds(1); Clock::now() < end; ++copies) {
    longest =
        std::max(longest, timeOf([&] { session.process.copyFrame(values, sizeof(values), 0); }));
  }
  enough = true;
  const auto packets = session.process.packetCount();
  RecordProperty("longestCopyFrameWaitMicroseconds", static_cast<int>(longest * 1000));
  // Milliseconds. One message takes well under one; an unfair lock kept readers out for seconds.
  EXPECT_LT(longest, 250) << copies << " copies while " << packets << " packets arrived";
}

TEST(StreamProcessor, ClosedPeerKeepsLoopAliveUntilStopped) {
  StreamSession session([](LoopbackServer::Connection& client) {
    client.send(packet(actorList({{5, "a"}})));
    StreamSession::readQueryTags(client, 1);
    client.send(packet(header(5, hipsAndSpine())));
  });
  ASSERT_TRUE(session.waitForPackets(2));
  session.server.join();
  // The thread now sees a closed peer on every read; state stays as it was.
  EXPECT_FALSE(session.process.waitForPackets(3, std::chrono::milliseconds(250)));
  EXPECT_EQ(session.process.copyHeaderTexts().size(), 1u);
  session.process.stopReceiveThread();
  session.process.closeSocket();
}

TEST(StreamProcessor, DestroyingWhileReceivingStopsTheThreadFirst) {
  LoopbackServer server;
  server.serve([](LoopbackServer::Connection& client) {
    client.send(packet(actorList({{5, "a"}})));
    StreamSession::readQueryTags(client, 1);
    client.send(packet(header(5, hipsAndSpine())));
    const std::string bytes = packet(frame(5, {1, 2, 3, 4, 5, 6, 7, 8, 9}));
    for (int i = 0; i < 100000 && client.send(bytes); ++i) {
    }
  });
  auto process = std::make_unique<protocolBufferProcess>();
  ASSERT_TRUE(process->connectToServer("127.0.0.1", server.port()));
  process->startReceiveThread();
  ASSERT_TRUE(process->waitForPackets(50, kTimeout));
  process.reset();
  server.join();
}

TEST(StreamProcessor, RefusedConnectKeepsClientUntilClosed) {
  protocolBufferProcess process;
  EXPECT_FALSE(process.connectToServer("127.0.0.1", portWithoutListener()));
  // The failed client is still held.
  EXPECT_TRUE(process.connectToServer("127.0.0.1", portWithoutListener()));
  process.closeSocket();

  LoopbackServer server;
  server.serve([](LoopbackServer::Connection& client) { client.waitForClose(); });
  EXPECT_TRUE(process.connectToServer("127.0.0.1", server.port()));
  process.closeSocket();
}

TEST(StreamProcessor, UnresolvableHostThrowsItsTextAndHoldsNoSocket) {
  protocolBufferProcess process;
  try {
    process.connectToServer("no-such-host.invalid", 7005);
    ADD_FAILURE() << "no exception";
  } catch (const std::string& text) {
    EXPECT_EQ(text.rfind("cannot resolve \"no-such-host.invalid\": ", 0), 0u) << text;
  }
  EXPECT_FALSE(process.connectToServer("127.0.0.1", portWithoutListener()));
  process.closeSocket();
}

}  // namespace
