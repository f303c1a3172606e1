#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "BvhActor.h"
#include "StreamServer.h"
#include "stream/PacketCodec.h"
#include "stream/protocolBufferProcess.h"
#include "support/LoopbackServer.h"
#include "support/StreamSession.h"
#include "support/TestSockets.h"

namespace {

using Message = BrexPlugs::BREX_PLUGIN_MESSAGE;

std::string sample(const std::string& name) { return std::string(EXAMPLES_DIR) + "/" + name; }

StreamServer::Actor loadActor(const std::string& name) {
  StreamServer::Actor actor;
  std::string error;
  EXPECT_TRUE(BvhActor::load(sample(name), actor, error)) << error;
  return actor;
}

// Collects the server's log lines.
struct LogLines {
  StreamServer::Log callback() {
    return [this](const std::string& line) {
      std::lock_guard<std::mutex> lock(linesMutex);
      lines.push_back(line);
      lineAdded.notify_all();
    };
  }
  std::vector<std::string> copy() {
    std::lock_guard<std::mutex> lock(linesMutex);
    return lines;
  }
  // Waits until a line starting with `prefix` has been logged; false after 5 s.
  bool waitFor(const std::string& prefix) {
    std::unique_lock<std::mutex> lock(linesMutex);
    return lineAdded.wait_for(lock, std::chrono::seconds(5), [&] {
      return std::any_of(lines.begin(), lines.end(),
                         [&](const std::string& line) { return line.rfind(prefix, 0) == 0; });
    });
  }
  std::mutex linesMutex;
  std::condition_variable lineAdded;
  std::vector<std::string> lines;
};

// A raw client socket with 5 s receive and send time-outs; kInvalid when it cannot connect.
testSockets::Handle connectTo(std::uint16_t port) {
  const testSockets::Handle handle = testSockets::connectLoopback(port);
  if (handle != testSockets::kInvalid) testSockets::setTimeouts(handle, std::chrono::seconds(5));
  return handle;
}

bool receiveMessage(LoopbackServer::Connection& connection, Message& message) {
  std::string packet;
  if (!connection.receivePacket(packet)) return false;
  std::uint32_t magic = 0;
  std::memcpy(&magic, packet.data(), 4);
  PacketCodec codec;
  return codec.decode(magic, packet.data() + 8, static_cast<int>(packet.size() - 8), message);
}

// Receives until a message of the type arrives; false after 50 others or a failed read.
bool receiveType(LoopbackServer::Connection& connection, Message::MessageType type,
                 Message& message) {
  for (int i = 0; i < 50; ++i) {
    if (!receiveMessage(connection, message)) return false;
    if (message.message() == type) return true;
  }
  return false;
}

std::vector<float> firstLineValues(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line) && line.rfind("Frame Time", 0) != 0) {
  }
  std::getline(in, line);
  std::istringstream values(line);
  std::vector<float> result;
  for (float value; values >> value;) result.push_back(value);
  return result;
}

TEST(StreamServer, HeaderFollowsTheFileAndFramesCarryItsValues) {
  StreamServer::Options options;
  options.compression = PacketCodec::Compression::kZlib;
  StreamServer server({loadActor("humanoid.bvh")}, options);
  std::string error;
  ASSERT_TRUE(server.start(error)) << error;
  const testSockets::Handle handle = connectTo(server.port());
  ASSERT_NE(handle, testSockets::kInvalid);
  LoopbackServer::Connection connection(handle);

  Message message;
  ASSERT_TRUE(receiveMessage(connection, message));
  ASSERT_EQ(message.command().cmdtype(), BrexPlugs::COMMAND::Notify_ActorsList);
  ASSERT_EQ(message.command().actorslist().map().size(), 1u);
  EXPECT_EQ(message.command().actorslist().map().at(1001), "humanoid");

  // Frames start with the connection. The file's channels are in the order the header lists,
  // so the first frame is the file's first line.
  ASSERT_TRUE(receiveMessage(connection, message));
  ASSERT_EQ(message.message(), Message::FRAME_DATA);
  EXPECT_EQ(message.frame().actortag(), 1001u);
  EXPECT_EQ(
      std::vector<float>(message.frame().motiondata().begin(), message.frame().motiondata().end()),
      firstLineValues(sample("humanoid.bvh")));

  char block[PacketCodec::kQueryBlockSize] = {};
  const int size = PacketCodec::encodeQuery(1001, block);
  ASSERT_TRUE(connection.send(std::string(block, static_cast<std::size_t>(size))));
  ASSERT_TRUE(receiveType(connection, Message::HEADER_DATA, message));
  const BrexPlugs::BVH_JOIN& hips = message.header().rootjoin();
  EXPECT_EQ(message.header().actortag(), 1001u);
  EXPECT_EQ(hips.joinname(), "Hips");
  using J = BrexPlugs::BVH_JOIN;
  EXPECT_EQ(std::vector<int>(hips.channels().begin(), hips.channels().end()),
            (std::vector<int>{J::Xposition, J::Yposition, J::Zposition, J::Zrotation, J::Xrotation,
                              J::Yrotation}));
  ASSERT_EQ(hips.childjoin_size(), 3);
  EXPECT_EQ(hips.childjoin(1).joinname(), "LeftUpLeg");
  EXPECT_EQ(hips.childjoin(1).channels_size(), 3);
  EXPECT_EQ(hips.childjoin(1).offset().x(), 9.0f);
  const J& head =
      hips.childjoin(0).childjoin(0).childjoin(0).childjoin(0).childjoin(0).childjoin(0);
  EXPECT_EQ(head.joinname(), "Head");
  ASSERT_TRUE(head.has_endsite());
  EXPECT_EQ(head.endsite().y(), 17.0f);
  EXPECT_EQ(head.childjoin_size(), 0);

  testSockets::close(handle);
  server.stop();
}

TEST(StreamServer, TwoClientsAreServedAndOneLeavingLeavesTheOther) {
  LogLines log;
  StreamServer::Options options;
  options.framesPerSecond = 500;
  StreamServer server({loadActor("humanoid.bvh"), loadActor("syntax/lowerCase.bvh")}, options,
                      log.callback());
  std::string error;
  ASSERT_TRUE(server.start(error)) << error;

  protocolBufferProcess first;
  protocolBufferProcess second;
  ASSERT_TRUE(first.connectToServer("127.0.0.1", server.port()));
  first.startReceiveThread();
  ASSERT_TRUE(second.connectToServer("127.0.0.1", server.port()));
  second.startReceiveThread();
  for (protocolBufferProcess* process : {&first, &second}) {
    const std::vector<std::string> texts = waitForHeaderTexts(*process, 2);
    ASSERT_EQ(texts.size(), 2u);
    // Slots follow the actor list, whose order on the wire is not fixed.
    const std::string both = texts[0] + texts[1];
    EXPECT_NE(both.find("JOINT LeftHandThumb1"), std::string::npos);
    EXPECT_NE(both.find("JOINT Left_Up_Leg"), std::string::npos);
  }

  first.stopReceiveThread();
  first.closeSocket();
  const std::uint64_t seen = second.packetCount();
  ASSERT_TRUE(second.waitForPackets(seen + 100, std::chrono::seconds(5)));
  // Hip heights: the humanoid's between 94.5 and 97.5, the other file's 90 or 91.
  float heights[2];
  for (int slot = 0; slot < 2; ++slot) {
    float values[protocolBufferProcess::kSlotFloats];
    second.copyFrame(values, sizeof(values), slot);
    heights[slot] = values[1];
  }
  EXPECT_NEAR(std::max(heights[0], heights[1]), 96.0f, 1.6f);
  EXPECT_NEAR(std::min(heights[0], heights[1]), 90.5f, 0.6f);
  // The server sees the first client leave only when a send to it fails: wait for that, so
  // the stop below cannot overtake it.
  EXPECT_TRUE(log.waitFor("client 1 disconnected after "));
  server.stop();
  second.stopReceiveThread();
  second.closeSocket();

  const std::vector<std::string> lines = log.copy();
  auto has = [&lines](const std::string& prefix) {
    for (const std::string& line : lines) {
      if (line.rfind(prefix, 0) == 0) return true;
    }
    return false;
  };
  EXPECT_TRUE(has("client 1 connected from 127.0.0.1:"));
  EXPECT_TRUE(has("client 2 connected from 127.0.0.1:"));
  EXPECT_TRUE(has("client 1 asked for the header of humanoid (tag 1001)"));
  EXPECT_TRUE(has("client 2 asked for the header of lowerCase (tag 1002)"));
  EXPECT_TRUE(has("client 1 disconnected after "));
  EXPECT_TRUE(has("client 2 closed by the server after "));
  EXPECT_EQ(lines.size(), 8u);
}

TEST(StreamServer, OnceSendsEachFrameOnceThenFinishes) {
  LogLines log;
  StreamServer::Options options;
  options.framesPerSecond = 100;
  options.once = true;
  StreamServer server({loadActor("syntax/lowerCase.bvh")}, options, log.callback());
  std::string error;
  ASSERT_TRUE(server.start(error)) << error;
  const testSockets::Handle handle = connectTo(server.port());
  ASSERT_NE(handle, testSockets::kInvalid);
  LoopbackServer::Connection connection(handle);
  Message message;
  int frames = 0;
  while (receiveMessage(connection, message)) frames += message.message() == Message::FRAME_DATA;
  testSockets::close(handle);
  EXPECT_EQ(frames, 2);
  EXPECT_TRUE(server.waitFinished(std::chrono::seconds(5)));
  EXPECT_EQ(log.copy().back(), "client 1 done after 2 frames, each actor once");
}

TEST(StreamServer, ABadAddressIsRefused) {
  StreamServer::Options options;
  options.bindAddress = "localhost";
  StreamServer server({}, options);
  std::string error;
  EXPECT_FALSE(server.start(error));
  EXPECT_EQ(error, "\"localhost\" is not an IPv4 address");
}

// Winsock's SO_REUSEADDR would let the second server share the port with the first.
TEST(StreamServer, APortInUseIsRefused) {
  StreamServer first({}, StreamServer::Options());
  std::string error;
  ASSERT_TRUE(first.start(error)) << error;
  StreamServer::Options options;
  options.port = first.port();
  StreamServer second({}, options);
  EXPECT_FALSE(second.start(error));
  EXPECT_FALSE(error.empty());
}

TEST(BvhActor, FailuresSayWhy) {
  StreamServer::Actor actor;
  std::string error;
  EXPECT_FALSE(BvhActor::load(sample("missing.bvh"), actor, error));
  EXPECT_EQ(error, sample("missing.bvh") + ": No such file or directory");
  EXPECT_FALSE(BvhActor::load(sample("syntax/hierarchyOnly.bvh"), actor, error));
  EXPECT_EQ(error, sample("syntax/hierarchyOnly.bvh") + ": no motion to stream");
  EXPECT_FALSE(BvhActor::load(sample("README.md"), actor, error));
  EXPECT_EQ(error, sample("README.md") + ": not a BVH file the parser accepts (syntax error)");
}

TEST(BvhActor, JointsWithoutPositionsInTheFileGetRotationsOnly) {
  const StreamServer::Actor actor = loadActor("syntax/channelOrders.bvh");
  EXPECT_EQ(actor.name, "channelOrders");
  EXPECT_EQ(actor.framesPerSecond, 1.0 / static_cast<double>(0.04f));
  // Slider moves along Y in the file, so it keeps its positions; all rotations are XYZ.
  ASSERT_EQ(actor.root.childjoin_size(), 1);
  EXPECT_EQ(actor.root.childjoin(0).channels_size(), 6);
  EXPECT_EQ(actor.root.childjoin(0).channels(3), BrexPlugs::BVH_JOIN::Xrotation);
  ASSERT_EQ(actor.frames.size(), 3u);
  EXPECT_EQ(actor.frames[1], (std::vector<float>{0, 0, 0, 10, 0, 0, 0, 12, 0, 0, 0, 0}));
}

}  // namespace
