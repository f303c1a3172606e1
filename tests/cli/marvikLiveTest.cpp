#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "support/TempDirectory.h"
#include "support/TestSockets.h"
#include "support/TextFiles.h"

namespace {

using std::chrono::seconds;

std::string sample(const std::string& name) { return std::string(EXAMPLES_DIR) + "/" + name; }

// Whether the .ma text connects the curve to the plug, directly or through the unitConversion
// Maya puts between a curve and a plug of another unit type.
bool drives(const std::string& scene, const std::string& curve, const std::string& plug) {
  const std::string from = "connectAttr \"" + curve + ".o\" \"";
  const std::size_t at = scene.find(from);
  if (at == std::string::npos) return false;
  const std::size_t start = at + from.size();
  const std::string destination = scene.substr(start, scene.find('"', start) - start);
  if (destination == plug) return true;
  const std::size_t dot = destination.rfind(".i");
  if (dot == std::string::npos || dot + 2 != destination.size()) return false;
  const std::string conversion = destination.substr(0, dot);
  return scene.find("createNode unitConversion -n \"" + conversion + "\";\n") !=
             std::string::npos &&
         scene.find("connectAttr \"" + conversion + ".o\" \"" + plug + "\";\n") !=
             std::string::npos;
}

// A socket on 127.0.0.1 at a port chosen by the system, listening or not. Connects to a
// listening one succeed through the backlog without an accept, and nothing is ever sent.
class QuietSocket {
 public:
  explicit QuietSocket(bool listening) {
    std::uint16_t bound = 0;
    handle = listening ? testSockets::listenLoopback(bound, 4) : testSockets::bindLoopback(bound);
    if (handle != testSockets::kInvalid) port = std::to_string(bound);
  }
  ~QuietSocket() {
    if (handle != testSockets::kInvalid) testSockets::close(handle);
  }

  testSockets::Handle handle;
  std::string port;
};

TEST(MarvikLive, ServeAndLiveBuildTheSkeletonAndRecordKeys) {
  ChildProcess serve;
  ASSERT_TRUE(serve.start({MARVIK, "serve", sample("humanoid.bvh"), "--port", "0"}));
  std::string line;
  const std::string prefix = "marvik serve: listening on 127.0.0.1:";
  ASSERT_TRUE(serve.waitForLine(prefix, line, seconds(10))) << serve.err;
  const std::string port = std::to_string(std::atoi(line.c_str() + prefix.size()));

  TempDirectory temp(::testing::TempDir(), "marvikLive");
  ASSERT_NE(temp.path(), "");
  const std::string ma = temp.path() + "/live.ma";
  std::string out;
  std::string err;
  ASSERT_EQ(ChildProcess::run({MARVIK, "live", "--port", port, "--seconds", "1.5", "--ma", ma},
                              seconds(30), out, err),
            0)
      << out << err;
  EXPECT_EQ(out.substr(0, out.find('\n')), "marvik live: connected to 127.0.0.1:" + port);
  EXPECT_NE(out.find("\nmarvik live: built Marvik0, 25 joints linked to the device outputs\n"),
            std::string::npos)
      << out;
  const auto summary = out.find("evaluations in ");
  ASSERT_NE(summary, std::string::npos) << out;
  const int newFrames = std::atoi(out.c_str() + out.find(", ", summary) + 2);
  EXPECT_GT(newFrames, 10) << out;
  EXPECT_NE(out.find("\nmarvik live: wrote " + ma + "\n"), std::string::npos) << out;
  EXPECT_EQ(err, "");

  // The skeleton from the stream, keyed at the scene's rate as it was linked.
  const std::string scene = readFile(ma);
  EXPECT_NE(scene.find("currentUnit -l centimeter -a degree -t film;\n"), std::string::npos);
  EXPECT_NE(scene.find("createNode joint -n \"Hips0\" -p \"Marvik0\";\n"), std::string::npos);
  EXPECT_NE(scene.find("connectAttr \"Hips0_translateY.o\" \"Hips0.ty\";\n"), std::string::npos);
  EXPECT_TRUE(drives(scene, "RightToeBase0_rotateZ", "RightToeBase0.rz")) << scene;
  EXPECT_NE(scene.find("connectAttr \"Spine0_translateY.o\" \"Spine0.ty\";\n"), std::string::npos);
  EXPECT_EQ(scene.find("netDevice"), std::string::npos);
  // The first key is the first frame streamed, never the zeros the outputs held before it.
  const std::size_t curve = scene.find("\tsetAttr -s ", scene.find("-n \"Hips0_translateY\";\n"));
  ASSERT_NE(curve, std::string::npos);
  double frame = -1;
  double value = 0;
  ASSERT_EQ(std::sscanf(scene.c_str() + scene.find("]\" ", curve) + 2, " %lf %lf", &frame, &value),
            2);
  EXPECT_EQ(frame, 0);
  EXPECT_GT(value, 50) << scene.substr(curve, 200);

  serve.interrupt();
  EXPECT_EQ(serve.wait(seconds(10)), 0);
  EXPECT_NE(serve.out.find("client 1 asked for the header of humanoid (tag 1001)\n"),
            std::string::npos);
}

TEST(MarvikLive, EveryActorGetsItsSkeletonOnItsOwnBlockAndTheStatusShows) {
  ChildProcess serve;
  ASSERT_TRUE(serve.start(
      {MARVIK, "serve", sample("humanoid.bvh"), sample("syntax/lowerCase.bvh"), "--port", "0"}));
  std::string line;
  const std::string prefix = "marvik serve: listening on 127.0.0.1:";
  ASSERT_TRUE(serve.waitForLine(prefix, line, seconds(10))) << serve.err;
  const std::string port = std::to_string(std::atoi(line.c_str() + prefix.size()));

  TempDirectory temp(::testing::TempDir(), "marvikLiveActors");
  ASSERT_NE(temp.path(), "");
  const std::string ma = temp.path() + "/live.ma";
  std::string out;
  std::string err;
  ASSERT_EQ(ChildProcess::run({MARVIK, "live", "--port", port, "--seconds", "1.5", "--ma", ma},
                              seconds(30), out, err),
            0)
      << out << err;
  EXPECT_NE(out.find("\nmarvik live: built Marvik0, 25 joints linked to the device outputs\n"
                     "marvik live: built Marvik1, 3 joints linked to the device outputs\n"),
            std::string::npos)
      << out;
  const std::string status = "\nmarvik live: connected 127.0.0.1:" + port + " actors=2 frames=";
  const auto at = out.find(status);
  ASSERT_NE(at, std::string::npos) << out;
  EXPECT_GT(std::atoi(out.c_str() + at + status.size()), 0) << out;
  EXPECT_EQ(err, "");

  // The second file's root is driven by block 1 and keyed with the values it streamed.
  const std::string scene = readFile(ma);
  EXPECT_NE(scene.find("createNode joint -n \"Hips1\" -p \"Marvik1\";\n"), std::string::npos);
  EXPECT_NE(scene.find("connectAttr \"Hips1_translateY.o\" \"Hips1.ty\";\n"), std::string::npos);
  EXPECT_TRUE(drives(scene, "Left_Up_Leg1_rotateZ", "Left_Up_Leg1.rz")) << scene;
  serve.interrupt();
  EXPECT_EQ(serve.wait(seconds(10)), 0);
}

TEST(MarvikLive, NothingListeningIsAClearError) {
  QuietSocket closed(false);
  ASSERT_FALSE(closed.port.empty());
  std::string out;
  std::string err;
  EXPECT_EQ(ChildProcess::run({MARVIK, "live", "--port", closed.port, "--seconds", "1"},
                              seconds(30), out, err),
            1);
  EXPECT_EQ(err.substr(err.rfind('\n', err.size() - 2) + 1),
            "marvik live: nothing listens on 127.0.0.1:" + closed.port +
                " (start one with: marvik serve)\n");
}

TEST(MarvikLive, NoHeaderIsAClearErrorAfterTheWait) {
  QuietSocket silent(true);
  ASSERT_FALSE(silent.port.empty());
  std::string out;
  std::string err;
  EXPECT_EQ(ChildProcess::run({MARVIK, "live", "--port", silent.port, "--seconds", "1"},
                              seconds(30), out, err),
            1);
  EXPECT_EQ(out, "marvik live: connected to 127.0.0.1:" + silent.port + "\n");
  EXPECT_EQ(err, "marvik live: no skeleton header arrived from 127.0.0.1:" + silent.port +
                     " within 5 s\n");
}

// Frames whose rotations are all zero (a stream of positions only) are keyed from the first one
// received; a leaf with channels whose name holds "_Effector" is a joint, linked like the rest.
TEST(MarvikLive, FramesWithoutRotationsAreKeyedAndOnlyEndSitesGoUnlinked) {
  TempDirectory temp(::testing::TempDir(), "marvikLiveStill");
  ASSERT_NE(temp.path(), "");
  std::string text =
      "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\n"
      "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
      "JOINT Chest\n{\nOFFSET 0 5 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n"
      "End Site\n{\nOFFSET 0 2 0\n}\n}\n"
      "JOINT Hips_Effector\n{\nOFFSET 1 0 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n}\n}\n"
      "MOTION\nFrames: 20\nFrame Time: 0.04\n";
  for (int f = 0; f < 20; ++f) {
    text += "0 " + std::to_string(100 + f) + " 0 0 0 0 0 0 0 0 0 0\n";
  }
  const std::string file = temp.path() + "/still.bvh";
  { std::ofstream(std::filesystem::u8path(file), std::ios::binary) << text; }

  ChildProcess serve;
  ASSERT_TRUE(serve.start({MARVIK, "serve", file, "--port", "0"}));
  std::string line;
  const std::string prefix = "marvik serve: listening on 127.0.0.1:";
  ASSERT_TRUE(serve.waitForLine(prefix, line, seconds(10))) << serve.err;
  const std::string port = std::to_string(std::atoi(line.c_str() + prefix.size()));
  const std::string ma = temp.path() + "/live.ma";
  std::string out;
  std::string err;
  ASSERT_EQ(ChildProcess::run({MARVIK, "live", "--port", port, "--seconds", "1.5", "--ma", ma},
                              seconds(30), out, err),
            0)
      << out << err;
  EXPECT_NE(out.find("\nmarvik live: built Marvik0, 3 joints linked to the device outputs\n"),
            std::string::npos)
      << out;
  const auto keyed = out.find("\nmarvik live: keyed ");
  ASSERT_NE(keyed, std::string::npos) << out;
  EXPECT_GT(std::atoi(out.c_str() + keyed + 20), 10) << out;
  EXPECT_NE(out.find(" frames on 3 joints\n", keyed), std::string::npos) << out;

  const std::string scene = readFile(ma);
  EXPECT_NE(scene.find("connectAttr \"Hips_Effector0_rotateZ.o\" \"Hips_Effector0.rz\";\n"),
            std::string::npos);
  EXPECT_EQ(scene.find("Chest0_Effector_rotateZ"), std::string::npos);
  const std::size_t curve = scene.find("\tsetAttr -s ", scene.find("-n \"Hips0_translateY\";\n"));
  ASSERT_NE(curve, std::string::npos) << scene;
  double frame = -1;
  double value = 0;
  ASSERT_EQ(std::sscanf(scene.c_str() + scene.find("]\" ", curve) + 2, " %lf %lf", &frame, &value),
            2);
  EXPECT_EQ(frame, 0);
  EXPECT_GE(value, 100) << scene.substr(curve, 200);
  serve.interrupt();
  EXPECT_EQ(serve.wait(seconds(10)), 0);
}

}  // namespace
