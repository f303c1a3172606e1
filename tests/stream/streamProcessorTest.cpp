#include <google/protobuf/stubs/logging.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "stream/protocolBufferProcess.h"
#include "support/LoopbackServer.h"
#include "support/StreamMessages.h"
#include "support/StreamSession.h"

namespace {

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

std::vector<std::uint32_t> sorted(std::vector<std::uint32_t> tags) {
  std::sort(tags.begin(), tags.end());
  return tags;
}

std::uint16_t portWithoutListener() {
  const int handle = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  ::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(handle);
  return ntohs(address.sin_port);
}

J hipsAndSpine() {
  return joint("Hips", 1, 2, 3,
               {J::Xposition, J::Yposition, J::Zposition, J::Zrotation, J::Xrotation, J::Yrotation},
               {joint("Spine", 4, 5, 6, {J::Zrotation, J::Xrotation, J::Yrotation})});
}

TEST(StreamProcessor, ActorListQueriesEachActorAndHeaderTextCarriesItsSlot) {
  std::vector<std::uint32_t> tags;
  StreamSession session([&](LoopbackServer::Connection& client) {
    client.send(packet(actorList({{10, "a"}, {20, "b"}})));
    tags = StreamSession::readQueryTags(client, 2);
    client.send(packet(header(20, joint("Hips", 0, 0, 0, {J::Xrotation}))));
  });
  ASSERT_TRUE(session.connected);
  ASSERT_TRUE(session.waitForPackets(2));
  session.server.join();
  ASSERT_EQ(sorted(tags), (std::vector<std::uint32_t>{10, 20}));
  const std::string slot = tags[0] == 20 ? "0" : "1";
  const auto texts = session.process.copyHeaderTexts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find("ROOT Hips" + slot + "\n"), std::string::npos) << texts[0];
}

TEST(StreamProcessor, HeadersOutsideTheActorListAreIgnored) {
  StreamSession session([](LoopbackServer::Connection& client) {
    client.send(packet(header(10, hipsAndSpine())));
    client.send(packet(actorList({{10, "a"}})));
    StreamSession::readQueryTags(client, 1);
    client.send(packet(header(30, hipsAndSpine())));
    client.send(packet(frame(30, {1, 2, 3})));
    // Content not matching the message type reads as an empty header or frame.
    BrexPlugs::BREX_PLUGIN_MESSAGE mismatched = frame(10, {1, 2, 3});
    mismatched.set_message(BrexPlugs::BREX_PLUGIN_MESSAGE::HEADER_DATA);
    client.send(packet(mismatched));
    mismatched = header(10, hipsAndSpine());
    mismatched.set_message(BrexPlugs::BREX_PLUGIN_MESSAGE::FRAME_DATA);
    client.send(packet(mismatched));
  });
  ASSERT_TRUE(session.waitForPackets(6));
  EXPECT_TRUE(session.process.copyHeaderTexts().empty());
  for (int slot = 0; slot < protocolBufferProcess::kSlotCount; ++slot) {
    EXPECT_EQ(session.frame(slot), withPrefix({})) << slot;
  }
}

TEST(StreamProcessor, NewActorListClearsTextsAndQueriesAgainButKeepsFrames) {
  std::vector<std::uint32_t> secondTags;
  std::promise<void> checked;
  StreamSession session([&](LoopbackServer::Connection& client) {
    client.send(packet(actorList({{10, "a"}})));
    StreamSession::readQueryTags(client, 1);
    client.send(packet(header(10, hipsAndSpine())));
    client.send(packet(frame(10, {7})));
    checked.get_future().wait_for(kTimeout);
    client.send(packet(actorList({{10, "a"}, {20, "b"}})));
    secondTags = StreamSession::readQueryTags(client, 2);
  });
  ASSERT_TRUE(session.waitForPackets(3));
  EXPECT_EQ(session.process.copyHeaderTexts().size(), 1u);
  const auto values = session.frame(0);
  checked.set_value();
  ASSERT_TRUE(session.waitForPackets(4));
  session.server.join();
  EXPECT_TRUE(session.process.copyHeaderTexts().empty());
  EXPECT_EQ(sorted(secondTags), (std::vector<std::uint32_t>{10, 20}));
  EXPECT_EQ(session.frame(0), values);
  EXPECT_EQ(values[0], 7.0f);
}

TEST(StreamProcessor, SixAndThreeChannelsMapToTheirRecordFloats) {
  std::promise<void> checked;
  StreamSession session([&](LoopbackServer::Connection& client) {
    client.send(packet(actorList({{5, "a"}})));
    StreamSession::readQueryTags(client, 1);
    client.send(packet(header(5, hipsAndSpine())));
    checked.get_future().wait_for(kTimeout);
    client.send(packet(frame(5, {10, 11, 12, 13, 14, 15, 16, 17, 18})));
  });
  ASSERT_TRUE(session.waitForPackets(2));
  EXPECT_EQ(session.frame(0), withPrefix({1, 2, 3, 0, 0, 0, 4, 5, 6, 0, 0, 0}));
  checked.set_value();
  ASSERT_TRUE(session.waitForPackets(3));
  EXPECT_EQ(session.frame(0), withPrefix({10, 11, 12, 14, 15, 13, 4, 5, 6, 17, 18, 16}));
}

TEST(StreamProcessor, RotationOnlyRootKeepsOffsetAndFillsRotationsInChannelOrder) {
  StreamSession session([](LoopbackServer::Connection& client) {
    client.send(packet(actorList({{5, "a"}})));
    StreamSession::readQueryTags(client, 1);
    client.send(
        packet(header(5, joint("Hips", 1, 2, 3, {J::Zrotation, J::Xrotation, J::Yrotation}))));
    client.send(packet(frame(5, {7, 8, 9})));
  });
  ASSERT_TRUE(session.waitForPackets(3));
  EXPECT_EQ(session.frame(0), withPrefix({1, 2, 3, 8, 9, 7}));

  unsigned char small[1439];
  std::memset(small, 0xab, sizeof(small));
  session.process.copyFrame(small, sizeof(small), 0);
  EXPECT_TRUE(
      std::all_of(std::begin(small), std::end(small), [](unsigned char b) { return b == 0xab; }));

  unsigned char large[3072];
  std::memset(large, 0xab, sizeof(large));
  session.process.copyFrame(large, sizeof(large), 0);
  const auto expected = withPrefix({1, 2, 3, 8, 9, 7});
  EXPECT_EQ(std::memcmp(large, expected.data(), 1440), 0);
  EXPECT_TRUE(
      std::all_of(large + 1440, std::end(large), [](unsigned char b) { return b == 0xab; }));
}

TEST(StreamProcessor, UnmappedFrameValuesChangeNothing) {
  std::promise<void> checked;
  StreamSession session([&](LoopbackServer::Connection& client) {
    client.send(packet(actorList({{5, "a"}})));
    StreamSession::readQueryTags(client, 1);
    client.send(packet(frame(5, {1, 2, 3})));
    client.send(
        packet(header(5, joint("Hips", 1, 2, 3, {J::Zrotation, J::Xrotation, J::Yrotation}))));
    client.send(packet(frame(5, {7, 8, 9, 100, 200})));
    checked.get_future().wait_for(kTimeout);
    // Tag 5's header has not arrived since this list: its frames map nowhere.
    client.send(packet(actorList({{5, "a"}, {6, "b"}})));
    StreamSession::readQueryTags(client, 2);
    client.send(packet(frame(5, {50, 51, 52})));
    client.send(packet(frame(6, {60, 61, 62})));
  });
  ASSERT_TRUE(session.waitForPackets(4));
  EXPECT_EQ(session.frame(0), withPrefix({1, 2, 3, 8, 9, 7}));
  EXPECT_EQ(session.frame(1), withPrefix({}));
  checked.set_value();
  ASSERT_TRUE(session.waitForPackets(7));
  EXPECT_EQ(session.frame(0), withPrefix({1, 2, 3, 8, 9, 7}));
  EXPECT_EQ(session.frame(1), withPrefix({}));
}

TEST(StreamProcessor, SixthActorGetsNoSlot) {
  const std::vector<std::uint32_t> all = {11, 12, 13, 14, 15, 16};
  std::vector<std::uint32_t> tags;
  StreamSession session([&](LoopbackServer::Connection& client) {
    client.send(
        packet(actorList({{11, "a"}, {12, "b"}, {13, "c"}, {14, "d"}, {15, "e"}, {16, "f"}})));
    tags = StreamSession::readQueryTags(client, 5);
    for (std::uint32_t tag : all)
      client.send(packet(header(tag, joint("Hips", 0, 0, 0, {J::Xrotation}))));
    for (std::uint32_t tag : all) client.send(packet(frame(tag, {static_cast<float>(tag)})));
    // No sixth query follows.
    EXPECT_TRUE(client.waitForClose());
  });
  ASSERT_TRUE(session.waitForPackets(13));
  EXPECT_EQ(session.process.copyHeaderTexts().size(), 5u);
  session.process.stopReceiveThread();
  session.process.closeSocket();
  session.server.join();
  ASSERT_EQ(tags.size(), 5u);
  for (int slot = 0; slot < 5; ++slot) {
    EXPECT_EQ(session.frame(slot), withPrefix({0, 0, 0, static_cast<float>(tags[slot])})) << slot;
  }
}

TEST(StreamProcessor, JointsAndChannelsBeyondTheSlotAreNotMapped) {
  std::vector<std::uint32_t> tags;
  StreamSession session([&](LoopbackServer::Connection& client) {
    client.send(packet(actorList({{1, "big"}, {2, "next"}})));
    tags = StreamSession::readQueryTags(client, 2);
    client.send(packet(header(tags[1], joint("Other", 9, 9, 9, {J::Xrotation}))));
    // 61 joints: 6 + 60 * 3 = 186 channels; 60 records hold the first 183.
    client.send(packet(header(tags[0], streamMessages::chain(61))));
    std::vector<float> values(186);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>(i + 1);
    client.send(packet(frame(tags[0], values)));
  });
  ASSERT_TRUE(session.waitForPackets(4));
  const auto texts = session.process.copyHeaderTexts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[1].find("JOINT J600\n"), std::string::npos);

  std::vector<float> expected = {1, 2, 3, 5, 6, 4};
  for (int record = 1; record < 60; ++record) {
    const float base = static_cast<float>(6 + 3 * (record - 1));
    expected.insert(expected.end(),
                    {0, static_cast<float>(record), 0, base + 2, base + 3, base + 1});
  }
  EXPECT_EQ(session.frame(0), expected);
  EXPECT_EQ(session.frame(1), withPrefix({9, 9, 9}));
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

TEST(StreamProcessor, StopWithoutThreadReturnsAtOnce) {
  protocolBufferProcess process;
  process.stopReceiveThread();
  process.closeSocket();
  process.startReceiveThread();
  process.stopReceiveThread();
  SUCCEED();
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

TEST(StreamProcessor, StopUnblocksAWaitingReceive) {
  StreamSession session([](LoopbackServer::Connection& client) { client.waitForClose(); });
  ASSERT_TRUE(session.connected);
  const auto start = std::chrono::steady_clock::now();
  session.process.stopReceiveThread();
  session.process.closeSocket();
  // Far below the socket's 3 s receive time-out, which would otherwise hold the stop.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
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

TEST(StreamProcessor, UnresolvableHostThrowsAndHoldsNoSocket) {
  protocolBufferProcess process;
  EXPECT_THROW(process.connectToServer("no-such-host.invalid", 7005), std::string);
  EXPECT_FALSE(process.connectToServer("127.0.0.1", portWithoutListener()));
  process.closeSocket();
}

}  // namespace
