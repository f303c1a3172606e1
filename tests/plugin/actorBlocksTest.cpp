// Every actor of the stream on its own block of the node's outputs, through the module loaded
// into the host. The packets are built here with the message classes, beside the module's own
// copy of them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <utility>
#include <vector>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "plugin/ModuleTest.h"
#include "support/LoopbackServer.h"
#include "support/StreamMessages.h"
#include "support/StreamSession.h"

namespace {

using moduletest::Vector;
using moduletest::vector;
using moduletest::waitForVector;
using streamMessages::actorList;
using streamMessages::chain;
using streamMessages::frame;
using streamMessages::header;
using streamMessages::packet;

// Actor tags in the order the list names them, and the order of their slots.
const std::vector<std::pair<std::uint32_t, std::string>> kFive = {
    {27, "c"}, {9, "a"}, {45, "e"}, {18, "b"}, {36, "d"}};
const std::uint32_t kSlotTags[] = {9, 18, 27, 36, 45};

int jointsOf(std::uint32_t tag) { return 3 + static_cast<int>(tag) / 9 * 2; }

// Value i of frame number f of actor tag: unique across actors and frames, exact as a float.
float value(std::uint32_t tag, int f, int i) {
  return static_cast<float>(static_cast<int>(tag) * 10000 + f * 1000 + i);
}

std::string framePacket(std::uint32_t tag, int f) {
  std::vector<float> values(static_cast<std::size_t>(6 + 3 * (jointsOf(tag) - 1)));
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = value(tag, f, static_cast<int>(i));
  return packet(frame(tag, values));
}

std::string plug(const char* output, int block, int slot) {
  return std::string("device.") + output + std::to_string(block) + std::to_string(slot);
}

// The outputs of joint g (record g) of a chain actor after frame f: the root's channels are
// X Y Z position, Z X Y rotation, the others' Z X Y rotation at offset (0, g, 0).
Vector translation(std::uint32_t tag, int f, int g) {
  if (g == 0) return {value(tag, f, 0), value(tag, f, 1), value(tag, f, 2)};
  return {0, static_cast<double>(g), 0};
}

Vector rotation(std::uint32_t tag, int f, int g) {
  const int z = g == 0 ? 3 : 6 + 3 * (g - 1);
  return {value(tag, f, z + 1), value(tag, f, z + 2), value(tag, f, z)};
}

// Checks block against frame f of tag: every joint record on slots 1 up, zeros beyond.
void expectBlock(int block, std::uint32_t tag, int f) {
  SCOPED_TRACE("block " + std::to_string(block));
  EXPECT_EQ(vector(plug("outputTranslate", block, 0)), (Vector{0, 0, 0}));
  EXPECT_EQ(vector(plug("outputRotate", block, 0)), (Vector{0, 0, 0}));
  const int joints = jointsOf(tag);
  for (int g : {0, 1, joints - 1}) {
    EXPECT_EQ(vector(plug("outputTranslate", block, g + 1)), translation(tag, f, g)) << g;
    EXPECT_EQ(vector(plug("outputRotate", block, g + 1)), rotation(tag, f, g)) << g;
  }
  EXPECT_EQ(vector(plug("outputTranslate", block, joints + 1)), (Vector{0, 0, 0}));
  EXPECT_EQ(vector(plug("outputRotate", block, 59)), (Vector{0, 0, 0}));
}

void expectZeroBlock(int block) {
  SCOPED_TRACE("block " + std::to_string(block));
  for (int slot : {1, 2, 59}) {
    EXPECT_EQ(vector(plug("outputTranslate", block, slot)), (Vector{0, 0, 0}));
    EXPECT_EQ(vector(plug("outputRotate", block, slot)), (Vector{0, 0, 0}));
  }
}

class ActorBlocks : public moduletest::ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    ASSERT_TRUE(host::createNode("netDevice", "device"));
    ASSERT_TRUE(host::setAttribute("device.inputPort", std::to_string(server.port())));
    ASSERT_TRUE(host::setAttribute("device.frameRate", 240.0));
    ASSERT_TRUE(host::setAttribute("device.live", true));
  }
  void TearDown() override {
    try {
      gate.set_value();
    } catch (const std::future_error&) {
    }
    ModuleTest::TearDown();
    server.join();
  }

  static bool passed(const std::shared_future<void>& gate) {
    return gate.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  }

  LoopbackServer server{std::chrono::seconds(10)};
  std::promise<void> gate;
  std::shared_future<void> gateOpen = gate.get_future().share();
  std::vector<std::uint32_t> queried;
};

TEST_F(ActorBlocks, FiveActorsDriveTheirOwnBlocksInAscendingTagOrder) {
  server.serve([this](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList(kFive)))) return;
    queried = StreamSession::readQueryTags(connection, 5);
    std::string bytes;
    // Answered out of order: the slots do not follow the answers.
    for (std::uint32_t tag : {45u, 9u, 36u, 18u, 27u})
      bytes += packet(header(tag, chain(jointsOf(tag))));
    for (std::uint32_t tag : kSlotTags) bytes += framePacket(tag, 1);
    if (!connection.send(bytes) || !passed(gateOpen)) return;
    // Only two actors move on: each block keeps its own actor's newest frame.
    if (!connection.send(framePacket(18, 2) + framePacket(45, 2))) return;
    connection.waitForClose();
  });
  ASSERT_TRUE(host::runCommand("connectMarvikMocap"));
  ASSERT_TRUE(waitForVector(plug("outputTranslate", 4, 1), translation(45, 1, 0)));
  for (int block = 0; block < 5; ++block) expectBlock(block, kSlotTags[block], 1);

  gate.set_value();
  ASSERT_TRUE(waitForVector(plug("outputTranslate", 4, 1), translation(45, 2, 0)));
  for (int block = 0; block < 5; ++block) {
    const std::uint32_t tag = kSlotTags[block];
    expectBlock(block, tag, tag == 18 || tag == 45 ? 2 : 1);
  }

  ASSERT_TRUE(host::runCommand("createMarvikSkeleton"));
  EXPECT_THAT(host::listNodes("transform"),
              ::testing::ElementsAre("|Marvik0", "|Marvik1", "|Marvik2", "|Marvik3", "|Marvik4"));
  for (int block = 0; block < 5; ++block) {
    const std::string k = std::to_string(block);
    const int last = jointsOf(kSlotTags[block]) - 1;
    std::string path = "|Marvik" + k;
    for (int g = 0; g <= last; ++g) path += "|J" + std::to_string(g) + k;
    EXPECT_TRUE(host::findNode(path).hasFn(MFn::kJoint)) << path;
  }
  ASSERT_TRUE(host::runCommand("disconnectMarvikMocap"));
  server.join();
  EXPECT_EQ(queried, (std::vector<std::uint32_t>{9, 18, 27, 36, 45}));
  EXPECT_TRUE(host::errors().empty());
}

TEST_F(ActorBlocks, AShrunkListZeroesBlocksLeftAndARepeatedHeaderReplacesTheSkeleton) {
  using J = BrexPlugs::BVH_JOIN;
  const auto replacement = streamMessages::joint(
      "K", 1, 2, 3,
      {J::Xposition, J::Yposition, J::Zposition, J::Zrotation, J::Xrotation, J::Yrotation});
  server.serve([this, replacement](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{9, "a"}, {18, "b"}, {27, "c"}})))) return;
    StreamSession::readQueryTags(connection, 3);
    std::string bytes;
    for (std::uint32_t tag : {9u, 18u, 27u}) {
      bytes += packet(header(tag, chain(jointsOf(tag)))) + framePacket(tag, 1);
    }
    if (!connection.send(bytes) || !passed(gateOpen)) return;
    // 27 moves from slot 2 to slot 1; 18 leaves.
    if (!connection.send(packet(actorList({{27, "c"}, {9, "a"}})))) return;
    queried = StreamSession::readQueryTags(connection, 2);
    if (!connection.send(packet(header(9, chain(jointsOf(9)))) + framePacket(9, 3) +
                         packet(header(27, chain(jointsOf(27)))) + packet(header(27, replacement)) +
                         packet(frame(27, {7, 8, 9, 10, 11, 12})))) {
      return;
    }
    connection.waitForClose();
  });
  ASSERT_TRUE(host::runCommand("connectMarvikMocap"));
  ASSERT_TRUE(waitForVector(plug("outputTranslate", 2, 1), translation(27, 1, 0)));
  expectBlock(1, 18, 1);

  gate.set_value();
  ASSERT_TRUE(waitForVector(plug("outputTranslate", 1, 1), Vector{7, 8, 9}));
  EXPECT_EQ(vector(plug("outputRotate", 1, 1)), (Vector{11, 12, 10}));
  EXPECT_EQ(vector(plug("outputTranslate", 1, 2)), (Vector{0, 0, 0}));
  expectBlock(0, 9, 3);
  expectZeroBlock(2);

  ASSERT_TRUE(host::runCommand("createMarvikSkeleton"));
  EXPECT_THAT(host::listNodes("joint"),
              ::testing::ElementsAre("|Marvik0|J00", "|Marvik0|J00|J10", "|Marvik0|J00|J10|J20",
                                     "|Marvik0|J00|J10|J20|J30", "|Marvik0|J00|J10|J20|J30|J40",
                                     "|Marvik1|K1"));
  ASSERT_TRUE(host::runCommand("disconnectMarvikMocap"));
  server.join();
  EXPECT_EQ(queried, (std::vector<std::uint32_t>{9, 27}));
}

}  // namespace
