#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "support/LoopbackServer.h"
#include "support/StreamMessages.h"
#include "support/StreamSession.h"
#include "support/TempDirectory.h"
#include "support/TextFiles.h"

namespace {

using std::chrono::seconds;

std::string sample(const std::string& name) { return std::string(EXAMPLES_DIR) + "/" + name; }

// The motion section of a BVH text: its counts and every frame's values as floats.
struct Motion {
  bool valid = false;
  long frames = -1;
  double frameTime = 0;
  std::vector<std::vector<float>> rows;
};

Motion motionOf(const std::string& text) {
  Motion motion;
  const auto at = text.find("\nMOTION\nFrames: ");
  if (at == std::string::npos) return motion;
  std::istringstream lines(text.substr(at + 8));
  std::string line;
  std::getline(lines, line);
  motion.frames = std::atol(line.c_str() + 7);
  std::getline(lines, line);
  if (line.rfind("Frame Time: ", 0) != 0) return motion;
  motion.frameTime = std::strtod(line.c_str() + 12, nullptr);
  while (std::getline(lines, line)) {
    std::vector<float> row;
    std::istringstream words(line);
    std::string word;
    while (words >> word) row.push_back(std::strtof(word.c_str(), nullptr));
    motion.rows.push_back(row);
  }
  motion.valid = true;
  return motion;
}

// The port a "marvik serve" child printed; empty when it did not start.
std::string servedPort(ChildProcess& serve) {
  std::string line;
  const std::string prefix = "marvik serve: listening on 127.0.0.1:";
  if (!serve.waitForLine(prefix, line, seconds(10))) return std::string();
  return std::to_string(std::atoi(line.c_str() + prefix.size()));
}

TEST(MarvikRecord, ATakeOfTheSampleReadsBackFrameForFrame) {
  ChildProcess serve;
  ASSERT_TRUE(serve.start({MARVIK, "serve", sample("humanoid.bvh"), "--once", "--port", "0"}));
  const std::string port = servedPort(serve);
  ASSERT_NE(port, "") << serve.err;
  TempDirectory temp(::testing::TempDir(), "marvikRecord");
  ASSERT_NE(temp.path(), "");
  const std::string out = temp.path() + "/take";

  ChildProcess record;
  ASSERT_TRUE(record.start({MARVIK, "record", "--port", port, "--out", out}));
  EXPECT_EQ(serve.wait(seconds(30)), 0) << serve.out << serve.err;
  // Once every frame is in, Ctrl-C ends the take.
  std::string line;
  ASSERT_TRUE(record.waitForLine(" 360 frames; ", line, seconds(30))) << record.out << record.err;
  record.interrupt();
  ASSERT_EQ(record.wait(seconds(30)), 0) << record.out << record.err;
  EXPECT_NE(
      record.out.find("\nmarvik record: wrote " + out + "/humanoid.bvh (humanoid, 360 frames)\n"),
      std::string::npos)
      << record.out;
  EXPECT_EQ(record.err, "");

  const std::string recorded = readFile(out + "/humanoid.bvh");
  // The joints are named as the server names them, without the slot the client gave the actor.
  EXPECT_EQ(recorded.rfind("HIERARCHY\nROOT Hips\n{\n", 0), 0u) << recorded.substr(0, 80);
  const Motion take = motionOf(recorded);
  const Motion source = motionOf(readFile(sample("humanoid.bvh")));
  ASSERT_TRUE(take.valid);
  ASSERT_TRUE(source.valid);
  EXPECT_EQ(take.frames, 360);
  // The file plays at 120 frames/s: the arrival rate, rounded (takeRecorderTest checks the
  // rounding). A loaded machine that holds up the first or last arrival by 13 ms makes it 119
  // or 121, a machine running many builds 118 and less.
  const double rate = 1.0 / take.frameTime;
  EXPECT_NEAR(rate, 120, 12) << take.frameTime;
  EXPECT_NEAR(rate, std::round(rate), 1e-9) << take.frameTime;
  ASSERT_EQ(take.rows.size(), source.rows.size());
  for (std::size_t i = 0; i < take.rows.size(); ++i) {
    ASSERT_EQ(take.rows[i], source.rows[i]) << "frame " << i;
  }
}

// Six performers, one more than the live blocks: each gets its file, numbered when names collide
// or when the folder holds the name already (a file nothing overwrites).
TEST(MarvikRecord, EveryActorGetsAFileWithASafeNameNumberedWhenNamesCollide) {
  TempDirectory temp(::testing::TempDir(), "marvikRecordActors");
  ASSERT_NE(temp.path(), "");
  namespace fs = std::filesystem;
  fs::create_directory(temp.path() + "/copy");
  fs::copy_file(sample("humanoid.bvh"), temp.path() + "/copy/humanoid.bvh");
  fs::copy_file(sample("humanoid.bvh"), temp.path() + "/odd name#.bvh");
  std::vector<std::string> served = {MARVIK, "serve", sample("humanoid.bvh"),
                                     temp.path() + "/copy/humanoid.bvh",
                                     temp.path() + "/odd name#.bvh"};
  for (const char* name : {"d", "e", "f"}) {
    fs::copy_file(sample("humanoid.bvh"), temp.path() + "/" + name + ".bvh");
    served.push_back(temp.path() + "/" + name + ".bvh");
  }
  served.insert(served.end(), {"--fps", "50", "--port", "0"});
  ChildProcess serve;
  ASSERT_TRUE(serve.start(served));
  const std::string port = servedPort(serve);
  ASSERT_NE(port, "") << serve.err;

  const std::string out = temp.path() + "/takes";
  fs::create_directory(out);
  std::ofstream(out + "/f.bvh") << "mine";
  std::string printed;
  std::string err;
  ASSERT_EQ(ChildProcess::run(
                {MARVIK, "record", "--port", port, "--seconds", "1", "--fps", "25", "--out", out},
                seconds(30), printed, err),
            0)
      << printed << err;
  serve.interrupt();
  EXPECT_EQ(serve.wait(seconds(10)), 0);
  EXPECT_EQ(err, "");

  const Motion source = motionOf(readFile(sample("humanoid.bvh")));
  ASSERT_TRUE(source.valid);
  const std::string files[] = {"humanoid.bvh", "humanoid-2.bvh", "odd_name_.bvh",
                               "d.bvh",        "e.bvh",          "f-2.bvh"};
  const std::string actors[] = {"humanoid", "humanoid", "odd name#", "d", "e", "f"};
  EXPECT_EQ(readFile(out + "/f.bvh"), "mine");
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(files[i]);
    const std::string recorded = readFile(out + "/" + files[i]);
    EXPECT_EQ(recorded.rfind("HIERARCHY\nROOT Hips\n", 0), 0u);
    const Motion take = motionOf(recorded);
    ASSERT_TRUE(take.valid);
    EXPECT_EQ(take.frameTime, 0.04);
    EXPECT_EQ(recorded.find("\nFrame Time: 0.04\n") != std::string::npos, true);
    EXPECT_GT(take.frames, 10);
    ASSERT_EQ(static_cast<long>(take.rows.size()), take.frames);
    EXPECT_NE(printed.find("wrote " + out + "/" + files[i] + " (" + actors[i] + ", " +
                           std::to_string(take.frames) + " frames)\n"),
              std::string::npos)
        << printed;
    // Every frame in the order sent: the file from its first frame on.
    for (std::size_t f = 0; f < take.rows.size(); ++f) {
      ASSERT_EQ(take.rows[f], source.rows[f % source.rows.size()]) << "frame " << f;
    }
  }
}

// Joint names that would break the file's text are written as the plug-in's take names them.
TEST(MarvikRecord, NamesThatBreakBvhTextAreWrittenSafe) {
  using J = BrexPlugs::BVH_JOIN;
  using namespace streamMessages;
  const std::vector<J::Channel> turns = {J::Zrotation, J::Xrotation, J::Yrotation};
  const J root =
      joint("Hips{1}", 0, 1, 0, turns,
            {joint("Spine\nMOTION", 0, 2, 0, turns, {joint("Frames: 9", 0, 3, 0, turns)}),
             joint("Frames__9", 1, 0, 0, turns)});
  LoopbackServer server(seconds(10));
  server.serve([root](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{7, "performer"}})))) return;
    StreamSession::readQueryTags(connection, 1);
    if (!connection.send(packet(header(7, root)))) return;
    for (int f = 0; f < 3; ++f) {
      const float v = static_cast<float>(f);
      if (!connection.send(packet(frame(7, {v, v, v, v, v, v, v, v, v, v, v, v})))) return;
    }
    connection.waitForClose();
  });
  TempDirectory temp(::testing::TempDir(), "marvikRecordNames");
  ASSERT_NE(temp.path(), "");
  const std::string out = temp.path() + "/takes";
  std::string printed;
  std::string err;
  EXPECT_EQ(ChildProcess::run({MARVIK, "record", "--port", std::to_string(server.port()),
                               "--seconds", "1", "--fps", "10", "--out", out},
                              seconds(30), printed, err),
            0)
      << printed << err;
  server.join();
  const std::string recorded = readFile(out + "/performer.bvh");
  const std::string channels = "CHANNELS 3 Zrotation Xrotation Yrotation \n";
  EXPECT_EQ(recorded.substr(0, recorded.find("\nMOTION\n") + 1),
            "HIERARCHY\nROOT Hips_1_\n{\nOFFSET 0 1 0\n" + channels +
                "JOINT Spine_MOTION\n{\nOFFSET 0 2 0\n" + channels +
                "JOINT Frames__9\n{\nOFFSET 0 3 0\n" + channels + "}\n}\n" +
                "JOINT Frames__9_2\n{\nOFFSET 1 0 0\n" + channels + "}\n}\n");
  const Motion take = motionOf(recorded);
  ASSERT_TRUE(take.valid);
  EXPECT_EQ(take.frames, 3);
}

TEST(MarvikRecord, BadUsageAndNoServerExitWithTheirCodes) {
  std::string out;
  std::string err;
  EXPECT_EQ(ChildProcess::run({MARVIK, "record", "--port", "7005"}, seconds(30), out, err), 2);
  EXPECT_EQ(err.substr(0, err.find('\n')), "marvik record: --out DIR is needed");
  EXPECT_EQ(
      ChildProcess::run({MARVIK, "record", "--fps", "0", "--out", "x"}, seconds(30), out, err), 2);
  EXPECT_EQ(err.substr(0, err.find('\n')), "marvik record: bad rate 0");

  TempDirectory temp(::testing::TempDir(), "marvikRecordRefused");
  ASSERT_NE(temp.path(), "");
  // A port that was free a moment ago: the server this test started and stopped.
  ChildProcess serve;
  ASSERT_TRUE(serve.start({MARVIK, "serve", "--port", "0"}));
  const std::string port = servedPort(serve);
  ASSERT_NE(port, "");
  serve.interrupt();
  ASSERT_EQ(serve.wait(seconds(10)), 0);
  EXPECT_EQ(ChildProcess::run({MARVIK, "record", "--port", port, "--out", temp.path() + "/t"},
                              seconds(30), out, err),
            1);
  EXPECT_EQ(err, "marvik record: nothing listens on 127.0.0.1:" + port +
                     " (start one with: marvik serve)\n");
}

}  // namespace
