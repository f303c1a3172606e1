// A performer whose joints each turn in their own order, with position channels below the root,
// streamed through the module loaded into the host: the live outputs on the skeleton
// "createMarvikSkeleton" builds, the take "marvikMocapRecord" builds and the take's BVH file
// imported all stand, frame for frame, where the tests' own forward kinematics of the file puts
// them. The stand-in server's reader turns the file into the stream.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "BvhActor.h"
#include "host/HostScene.h"
#include "host/Plugins.h"
#include "plugin/ModuleTest.h"
#include "support/BvhReference.h"
#include "support/JointPoses.h"
#include "support/LoopbackServer.h"
#include "support/StreamMessages.h"
#include "support/StreamSession.h"
#include "support/TempDirectory.h"
#include "support/TextFiles.h"

namespace {

using Clock = std::chrono::steady_clock;
using moduletest::Vector;
using streamMessages::actorList;
using streamMessages::frame;
using streamMessages::header;
using streamMessages::joint;
using streamMessages::packet;
using streamMessages::withEndSite;
using ::testing::ElementsAre;

const std::chrono::seconds kTimeout(10);
constexpr int kFrames = 8;
constexpr double kTolerance = 1e-3;

// Rotations first on the root, positions on Hips, Head (stretching) and Arm (positions only,
// turning as Spine does), and every rotation order but one used.
const char kHierarchy[] =
    "HIERARCHY\n"
    "ROOT Root\n{\n  OFFSET 0 0 0\n"
    "  CHANNELS 6 Zrotation Xrotation Yrotation Xposition Yposition Zposition\n"
    "  JOINT Hips\n  {\n    OFFSET 0 5 0\n"
    "    CHANNELS 6 Xposition Yposition Zposition Yrotation Zrotation Xrotation\n"
    "    JOINT Spine\n    {\n      OFFSET 0 10 1\n      CHANNELS 3 Xrotation Yrotation Zrotation\n"
    "      JOINT Head\n      {\n        OFFSET 0 12 0\n"
    "        CHANNELS 6 Yrotation Xrotation Zrotation Xposition Yposition Zposition\n"
    "        End Site\n        {\n          OFFSET 0 6 0\n        }\n      }\n"
    "      JOINT Arm\n      {\n        OFFSET 8 9 0\n"
    "        CHANNELS 3 Xposition Yposition Zposition\n"
    "        JOINT Hand\n        {\n          OFFSET 9 0 0\n"
    "          CHANNELS 3 Zrotation Yrotation Xrotation\n"
    "          End Site\n          {\n            OFFSET 5 0 0\n          }\n        }\n      }\n"
    "    }\n"
    "    JOINT Leg\n    {\n      OFFSET 4 -3 0\n      CHANNELS 3 Yrotation Xrotation Zrotation\n"
    "      JOINT Foot\n      {\n        OFFSET 0 -20 2\n"
    "        CHANNELS 3 Zrotation Xrotation Yrotation\n"
    "        End Site\n        {\n          OFFSET 0 -2 6\n        }\n      }\n    }\n"
    "  }\n}\n";

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

// kFrames frames of large random turns; the root travels, Hips sways about its offset, Head
// stretches away from Spine and Arm slides.
std::string motionText() {
  std::mt19937 random(35035);
  std::uniform_real_distribution<double> angle(-170, 170);
  std::string text = "MOTION\nFrames: " + std::to_string(kFrames) + "\nFrame Time: 0.04\n";
  for (int f = 0; f < kFrames; ++f) {
    std::vector<double> values;
    auto turns = [&](int count) {
      for (int i = 0; i < count; ++i) values.push_back(angle(random));
    };
    turns(3);
    for (double v : {20.0 + 3 * f, 90.0 - f, -10.0 + 2 * f}) values.push_back(v);
    for (double v : {0.5 * f, 5.0 + 0.25 * f, -0.5 * f}) values.push_back(v);
    turns(3 + 3);
    turns(3);
    for (double v : {0.0, 12.0 + f, 0.0}) values.push_back(v);
    for (double v : {8.0 + f, 9.0, -f * 1.0}) values.push_back(v);
    turns(3 + 3 + 3);
    std::string line;
    for (double value : values) line += (line.empty() ? "" : " ") + number(value);
    text += line + "\n";
  }
  return text;
}

// Waits for the gate, false after the time-out.
bool passed(const std::shared_future<void>& gate) {
  return gate.wait_for(kTimeout) == std::future_status::ready;
}

void release(std::promise<void>& gate) {
  try {
    gate.set_value();
  } catch (const std::future_error&) {
  }
}

double largestDistance(const std::vector<bvhref::Vector>& expected,
                       const std::vector<jointposes::Vector>& actual) {
  if (expected.size() != actual.size()) return 1e9;
  double largest = 0;
  for (std::size_t j = 0; j < expected.size(); ++j) {
    double squared = 0;
    for (std::size_t a = 0; a < 3; ++a) {
      squared += (expected[j][a] - actual[j][a]) * (expected[j][a] - actual[j][a]);
    }
    largest = std::max(largest, std::sqrt(squared));
  }
  return largest;
}

class LiveLayout : public moduletest::ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    ASSERT_NE(temp.path(), "");
    ASSERT_TRUE(host::createNode("netDevice", "device"));
    ASSERT_TRUE(host::setAttribute("device.inputPort", std::to_string(server.port())));
    ASSERT_TRUE(host::setAttribute("device.live", true));
  }
  void TearDown() override {
    for (std::promise<void>& gate : gates) release(gate);
    if (host::runCommand("marvikMocapRecord", {"-query"}) && host::lastCommandResult() != "idle") {
      host::runCommand("marvikMocapRecord", {"-cancel"});
    }
    ModuleTest::TearDown();
    server.join();
  }

  // Every joint of the scene's skeleton under `top` against the file's own forward kinematics at
  // each of its key times, one frame after another; the largest distance.
  double takeDistance(const std::string& top) {
    const std::vector<std::string> joints = jointposes::jointPaths(top);
    const std::vector<double> times = jointposes::keyTimes(joints);
    EXPECT_EQ(times.size(), static_cast<std::size_t>(kFrames)) << top;
    if (times.size() != static_cast<std::size_t>(kFrames)) return 1e9;
    double largest = 0;
    for (int f = 0; f < kFrames; ++f) {
      largest = std::max(largest, largestDistance(bvhref::worldPositions(motion, f),
                                                  jointposes::worldPositions(joints, times[f])));
    }
    return largest;
  }

  TempDirectory temp{::testing::TempDir(), "liveLayout"};
  LoopbackServer server{kTimeout};
  bvhref::Motion motion;
  StreamServer::Actor actor;
  // Gate f lets the server send frame f.
  std::vector<std::promise<void>> gates = std::vector<std::promise<void>>(kFrames);
};

TEST_F(LiveLayout, OutputsSkeletonAndTakeShowTheFilesMotion) {
  const std::string text = std::string(kHierarchy) + motionText();
  std::string error;
  ASSERT_TRUE(bvhref::read(text, motion, error)) << error;
  const std::string file = temp.path() + "/performer.bvh";
  { std::ofstream(std::filesystem::u8path(file), std::ios::binary) << text; }
  ASSERT_TRUE(BvhActor::load(file, actor, error)) << error;
  ASSERT_EQ(actor.frames.size(), static_cast<std::size_t>(kFrames));

  std::vector<std::shared_future<void>> opened;
  for (std::promise<void>& gate : gates) opened.push_back(gate.get_future().share());
  server.serve([this, opened](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{7, "performer"}})))) return;
    StreamSession::readQueryTags(connection, 1);
    if (!connection.send(packet(header(7, actor.root)))) return;
    for (int f = 0; f < kFrames; ++f) {
      if (!passed(opened[static_cast<std::size_t>(f)])) return;
      if (!connection.send(packet(frame(7, actor.frames[static_cast<std::size_t>(f)])))) return;
    }
    connection.waitForClose();
  });
  ASSERT_TRUE(host::runCommand("connectMarvikMocap"));
  // The header has arrived once Hips' record shows its offset.
  ASSERT_TRUE(moduletest::waitForVector("device.outputTranslate02", Vector{0, 5, 0}));
  ASSERT_TRUE(host::runCommand("createMarvikSkeleton"));
  const std::vector<std::string> live = jointposes::jointPaths("|Marvik0");
  ASSERT_EQ(live.size(), motion.joints.size());
  ASSERT_TRUE(host::runCommand("marvikMocapRecord", {"-start", "-fps", "25"}));

  // Joint record g (the g-th joint that is not an End Site) drives output slot g + 1.
  std::vector<std::string> plugs;
  std::vector<std::string> driven;
  for (std::size_t j = 0; j < live.size(); ++j) {
    if (motion.joints[j].endSite) continue;
    const std::string slot = std::to_string(driven.size() + 1);
    plugs.push_back("device.outputTranslate0" + slot);
    plugs.push_back("device.outputRotate0" + slot);
    driven.push_back(live[j]);
  }
  double liveLargest = 0;
  for (int f = 0; f < kFrames; ++f) {
    gates[static_cast<std::size_t>(f)].set_value();
    // The frame has arrived once the root's outputs show its values, as floats.
    const std::vector<float>& values = actor.frames[static_cast<std::size_t>(f)];
    const Vector rootRotate{values[1], values[2], values[0]};
    ASSERT_TRUE(moduletest::waitForVector("device.outputRotate01", rootRotate)) << f;
    std::vector<host::Value> read;
    ASSERT_TRUE(host::getAttributes(plugs, read));
    jointposes::Values given;
    for (std::size_t g = 0; g < driven.size(); ++g) {
      const Vector translate = std::get<Vector>(read[2 * g]);
      const Vector rotate = std::get<Vector>(read[2 * g + 1]);
      given[driven[g]] = {translate[0], translate[1], translate[2],
                          rotate[0],    rotate[1],    rotate[2]};
    }
    liveLargest =
        std::max(liveLargest, largestDistance(bvhref::worldPositions(motion, f),
                                              jointposes::worldPositions(live, 0, given)));
  }
  EXPECT_LE(liveLargest, kTolerance);

  ASSERT_TRUE(host::runCommand("marvikMocapRecord", {"-query"}));
  const auto deadline = Clock::now() + kTimeout;
  while (host::lastCommandResult().rfind("recording frames=" + std::to_string(kFrames), 0) != 0 &&
         Clock::now() < deadline) {
    std::this_thread::yield();
    ASSERT_TRUE(host::runCommand("marvikMocapRecord", {"-query"}));
  }
  const std::string files = temp.path() + "/takes";
  ASSERT_TRUE(host::runCommand("marvikMocapRecord", {"-stop", "-file", files}));
  EXPECT_THAT(host::lastCommandResults(),
              ElementsAre("|performer_take1|Root", files + "/performer.bvh"));
  const double takeLargest = takeDistance("|performer_take1");
  EXPECT_LE(takeLargest, kTolerance);

  // The take's file lists each joint's channels as the stream did, which is as the file did.
  const std::string written = readFile(files + "/performer.bvh");
  std::vector<std::string> channelLines;
  std::vector<std::string> writtenLines;
  for (const std::string& line : lines(kHierarchy)) {
    if (line.find("CHANNELS") != std::string::npos)
      channelLines.push_back(line.substr(line.find("C")));
  }
  for (const std::string& line : lines(written)) {
    if (line.find("CHANNELS") != std::string::npos)
      writtenLines.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
  }
  EXPECT_EQ(writtenLines, channelLines);
  ASSERT_TRUE(host::importFile(files + "/performer.bvh", "BVH"));
  const double importLargest = takeDistance("|performer");
  EXPECT_LE(importLargest, kTolerance);
  std::printf("live outputs %g, take %g, take file imported %g\n", liveLargest, takeLargest,
              importLargest);
  EXPECT_THAT(host::errors(), ::testing::IsEmpty());
}

// Names holding a brace, a line break or the grammar's words, and two that become the same, reach
// the live skeleton, the take and the take's file alike, made safe and told apart.
TEST_F(LiveLayout, StreamedNamesThatBreakBvhTextAreMadeSafeAlike) {
  using J = BrexPlugs::BVH_JOIN;
  const std::vector<J::Channel> turns = {J::Zrotation, J::Xrotation, J::Yrotation};
  const J root =
      joint("Hips{1}", 0, 1, 0,
            {J::Xposition, J::Yposition, J::Zposition, J::Zrotation, J::Xrotation, J::Yrotation},
            {joint("Spine\nMOTION", 0, 2, 0, turns,
                   {withEndSite(joint("Frames: 9", 0, 3, 0, turns), 0, 1, 0)}),
             withEndSite(joint("Frames__9", 1, 0, 0, turns), 1, 0, 0)});
  const std::vector<float> values = {1, 2, 3, 10, 20, 30, 40, 50, 60, 70, 80, 90, 5, 6, 7};
  const std::shared_future<void> opened = gates[0].get_future().share();
  server.serve([root, values, opened](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{7, "performer"}})))) return;
    StreamSession::readQueryTags(connection, 1);
    if (!connection.send(packet(header(7, root)))) return;
    if (!passed(opened)) return;
    for (int f = 0; f < 2; ++f) {
      if (!connection.send(packet(frame(7, values)))) return;
    }
    connection.waitForClose();
  });
  ASSERT_TRUE(host::runCommand("connectMarvikMocap"));
  ASSERT_TRUE(moduletest::waitForVector("device.outputTranslate04", Vector{1, 0, 0}));
  ASSERT_TRUE(host::runCommand("createMarvikSkeleton"));
  const std::string spine = "|Marvik0|Hips_1_0|Spine_MOTION0";
  EXPECT_THAT(
      jointposes::jointPaths("|Marvik0"),
      ElementsAre("|Marvik0|Hips_1_0", spine, spine + "|Frames__90",
                  spine + "|Frames__90|Frames__90_Effector", "|Marvik0|Hips_1_0|Frames__9_20",
                  "|Marvik0|Hips_1_0|Frames__9_20|Frames__9_20_Effector"));
  ASSERT_TRUE(host::runCommand("marvikMocapRecord", {"-start", "-fps", "30"}));
  gates[0].set_value();
  ASSERT_TRUE(moduletest::waitForVector("device.outputRotate04", Vector{6, 7, 5}));

  ASSERT_TRUE(host::runCommand("marvikMocapRecord", {"-query"}));
  const auto deadline = Clock::now() + kTimeout;
  while (host::lastCommandResult().rfind("recording frames=2", 0) != 0 && Clock::now() < deadline) {
    std::this_thread::yield();
    ASSERT_TRUE(host::runCommand("marvikMocapRecord", {"-query"}));
  }
  const std::string files = temp.path() + "/takes";
  ASSERT_TRUE(host::runCommand("marvikMocapRecord", {"-stop", "-file", files}));
  EXPECT_THAT(host::lastCommandResults(),
              ElementsAre("|performer_take1|Hips_1_", files + "/performer.bvh"));
  const std::vector<std::string> taken = jointposes::jointPaths("|performer_take1");
  ASSERT_EQ(taken.size(), 6u);
  EXPECT_EQ(taken[2], "|performer_take1|Hips_1_|Spine_MOTION|Frames__9");
  EXPECT_EQ(taken[4], "|performer_take1|Hips_1_|Frames__9_2");
  ASSERT_TRUE(host::importFile(files + "/performer.bvh", "BVH"));
  std::vector<std::string> imported = jointposes::jointPaths("|performer");
  for (std::string& path : imported) path.replace(0, 10, "|performer_take1");
  EXPECT_EQ(imported, taken);
  EXPECT_THAT(host::errors(), ::testing::IsEmpty());
}

// A build that makes nothing says why and fails.
TEST_F(LiveLayout, BuildingSkeletonsWithoutHeadersFails) {
  // The list is handled once its header query has come.
  auto queried = std::make_shared<std::promise<void>>();
  std::shared_future<void> listed = queried->get_future().share();
  server.serve([queried](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{7, "performer"}})))) return;
    StreamSession::readQueryTags(connection, 1);
    release(*queried);
    connection.waitForClose();
  });
  ASSERT_TRUE(host::runCommand("connectMarvikMocap"));
  ASSERT_TRUE(passed(listed));
  EXPECT_EQ(host::runCommand("createMarvikSkeleton"), MS::kFailure);
  EXPECT_THAT(host::errors(), ElementsAre("createMarvikSkeleton: no skeleton header has arrived "
                                          "from the stream since its last actor list"));
  EXPECT_THAT(host::listNodes("transform"), ::testing::IsEmpty());
}

// The device thread dirties the refresh attribute after every frame and nothing here reads it:
// the next frame's dirtying reaches the outputs only because compute cleans it, since dirtying
// stops at a plug that is dirty already.
TEST_F(LiveLayout, EveryFrameReachesTheOutputsWithNothingReadingTheRefreshPlug) {
  using J = BrexPlugs::BVH_JOIN;
  constexpr int kTurns = 40;
  ASSERT_TRUE(host::setAttribute("device.frameRate", 240.0));
  std::vector<std::promise<void>> sent(kTurns);
  std::vector<std::shared_future<void>> opened;
  for (std::promise<void>& gate : sent) opened.push_back(gate.get_future().share());
  server.serve([opened](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{3, "turning"}})))) return;
    StreamSession::readQueryTags(connection, 1);
    const J root = joint("R", 0, 0, 0, {J::Xrotation, J::Yrotation, J::Zrotation});
    if (!connection.send(packet(header(3, root)))) return;
    for (int f = 0; f < kTurns; ++f) {
      const float turn = static_cast<float>(f + 1);
      if (!passed(opened[static_cast<std::size_t>(f)]) ||
          !connection.send(packet(frame(3, {turn, 2 * turn, 3 * turn})))) {
        return;
      }
    }
    connection.waitForClose();
  });
  ASSERT_TRUE(host::runCommand("connectMarvikMocap"));
  for (int f = 0; f < kTurns; ++f) {
    sent[static_cast<std::size_t>(f)].set_value();
    const double turn = f + 1;
    ASSERT_TRUE(
        moduletest::waitForVector("device.outputRotate01", Vector{turn, 2 * turn, 3 * turn}))
        << f;
  }
  EXPECT_THAT(host::errors(), ::testing::IsEmpty());
}

}  // namespace
