#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "cli/InterruptedChild.h"
#include "support/TempDirectory.h"
#include "support/TextFiles.h"

namespace {

using std::chrono::seconds;

std::string sample(const std::string& name) { return std::string(EXAMPLES_DIR) + "/" + name; }

class MarvikImport : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(directory, ""); }

  int run(const std::vector<std::string>& args) {
    std::vector<std::string> argv{MARVIK, "import"};
    argv.insert(argv.end(), args.begin(), args.end());
    return ChildProcess::run(argv, seconds(30), out, err);
  }

  TempDirectory temp{::testing::TempDir(), "marvikImport"};
  const std::string& directory = temp.path();
  std::string out;
  std::string err;
};

// Ctrl-C during the import is the translator's interrupt (Esc in Maya): cancelled, nothing
// written, a Ctrl-C's exit code. The signal comes before the import starts and waits for its
// first poll, the child having started with it blocked.
TEST_F(MarvikImport, CtrlCCancelsTheImport) {
  const std::string json = directory + "/walk.json";
  ChildProcess child;
  std::string failure;
#ifdef _WIN32
  GTEST_SKIP() << "a Ctrl-C cannot wait for a Windows child to take it";
#endif
  ASSERT_TRUE(
      startInterrupted(child, {MARVIK, "import", sample("humanoid.bvh"), "--json", json}, failure))
      << failure;
  EXPECT_EQ(child.wait(seconds(30)), 130) << child.err;
  const std::string cancelled =
      "Cannot import humanoid.bvh: the import was cancelled (interrupted); the scene is as it was "
      "before it";
  EXPECT_EQ(child.err, "// Error: " + cancelled + "\nmarvik import: " + sample("humanoid.bvh") +
                           ": " + cancelled + "\n");
  EXPECT_EQ(child.out, "");
  EXPECT_FALSE(std::filesystem::exists(json));
}

TEST_F(MarvikImport, SummaryAndBothSceneFiles) {
  const std::string ma = directory + "/walk.ma";
  const std::string json = directory + "/walk.json";
  ASSERT_EQ(run({sample("humanoid.bvh"), "--ma", ma, "--json", json}), 0) << err;
  const std::vector<std::string> printed = lines(out);
  ASSERT_EQ(printed.size(), 9u) << out;
  EXPECT_EQ(printed[0], "marvik import: " + sample("humanoid.bvh"));
  EXPECT_EQ(printed[1], "  top transform  |humanoid");
  // 25 joints and 5 End Sites; a curve per channel, a key per frame.
  EXPECT_EQ(printed[2], "  joints         30");
  EXPECT_EQ(printed[3], "  frames         360");
  EXPECT_EQ(printed[4], "  keys written   28080 on 78 curves");
  EXPECT_EQ(printed[5], "  time range     0 s to 2.99167 s");
  EXPECT_EQ(printed[6].substr(0, 17), "  time taken     ");
  EXPECT_EQ(printed[7], "  wrote          " + json);
  EXPECT_EQ(printed[8], "  wrote          " + ma);
  EXPECT_EQ(err, "");

  const std::vector<std::string> scene = lines(readFile(ma));
  ASSERT_GT(scene.size(), 20u);
  EXPECT_EQ(scene[1], "//Name: walk.ma");
  EXPECT_EQ(scene[4], "currentUnit -l centimeter -a degree -t 120fps;");
  EXPECT_EQ(scene[8], "createNode transform -n \"humanoid\";");
  EXPECT_EQ(scene[9], "createNode joint -n \"Hips\" -p \"humanoid\";");
  EXPECT_EQ(scene.back(), "// End of walk.ma");
  EXPECT_NE(readFile(json).find("\"path\": \"|humanoid|Hips|Spine\""), std::string::npos);
}

TEST_F(MarvikImport, OptionsReachTheTranslator) {
  ASSERT_EQ(run({sample("syntax/lowerCase.bvh"), "--options", "bonesOnly=true", "--mode", "open"}),
            0)
      << err;
  const std::vector<std::string> printed = lines(out);
  ASSERT_EQ(printed.size(), 7u) << out;
  EXPECT_EQ(printed[1], "  top transform  |lowerCase");
  EXPECT_EQ(printed[2], "  joints         5");
  EXPECT_EQ(printed[4], "  keys written   0 on 0 curves");
  EXPECT_EQ(printed[5], "  time range     (no keys)");
}

// Options not named keep the registered defaults: motion is keyed unless bonesOnly says not.
TEST_F(MarvikImport, OptionsFollowTheRegisteredDefaults) {
  ASSERT_EQ(run({sample("syntax/lowerCase.bvh"), "--options", "scale=2"}), 0) << err;
  const std::vector<std::string> printed = lines(out);
  ASSERT_EQ(printed.size(), 7u) << out;
  EXPECT_EQ(printed[4], "  keys written   24 on 12 curves");
  EXPECT_EQ(err, "");
}

TEST_F(MarvikImport, TheTranslatorsErrorIsShownAndTheExitCodeIsOne) {
  const std::string bad = directory + "/broken.bvh";
  std::ofstream(bad) << "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\nCHANNELS 4 a b c d\n}\n";
  EXPECT_EQ(run({bad}), 1);
  EXPECT_EQ(out, "");
  // The host echoes what the translator showed; the last line repeats it for this file.
  const std::vector<std::string> printed = lines(err);
  ASSERT_EQ(printed.size(), 2u) << err;
  ASSERT_EQ(printed[0].substr(0, 10), "// Error: ");
  EXPECT_EQ(printed[1], "marvik import: " + bad + ": " + printed[0].substr(10));
}

// One root with six channels, four frames declared; `frames` follows "Frame Time".
std::string rootOnly(const std::string& frames) {
  return "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\n"
         "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n}\n"
         "MOTION\nFrames: 4\nFrame Time: 0.5\n" +
         frames;
}

TEST_F(MarvikImport, WarningsArePrintedAndTheExitCodeStaysZero) {
  const std::string cut = directory + "/cut.bvh";
  std::ofstream(cut) << rootOnly("1 2 3 4 5 6\n1 2 3");
  ASSERT_EQ(run({cut}), 0) << err;
  const std::string truncated =
      "cut.bvh: the file holds 1 of the 4 frames it declares; frames 1 to 3 are keyed at zero";
  std::vector<std::string> printed = lines(out);
  ASSERT_EQ(printed.size(), 8u) << out;
  EXPECT_EQ(printed[3], "  frames         4");
  EXPECT_EQ(printed[7], "  warning        " + truncated);
  EXPECT_EQ(err, "// Warning: " + truncated + "\n");

  const std::string values = directory + "/values.bvh";
  std::ofstream(values) << rootOnly("1 2 3 4 5 6\n1 2 3 4 5 6\n1 x 3 4 5 6\n1 2 3 4 5 6\n");
  ASSERT_EQ(run({values}), 0) << err;
  printed = lines(out);
  ASSERT_EQ(printed.size(), 8u) << out;
  EXPECT_EQ(printed[7],
            "  warning        values.bvh: 1 value is not a number and was read as 0, \"x\" at "
            "line 12");
}

TEST_F(MarvikImport, MissingFilesAndBadArgumentsHaveTheirCodes) {
  EXPECT_EQ(run({directory + "/none.bvh"}), 1);
  EXPECT_EQ(err, "marvik import: " + directory + "/none.bvh: No such file or directory\n");
  EXPECT_EQ(run({sample("humanoid.bvh"), "--mode", "merge"}), 2);
  EXPECT_EQ(lines(err).at(0), "marvik import: --mode takes import or open, not merge");
  EXPECT_EQ(run({}), 2);
  EXPECT_EQ(lines(err).at(0), "marvik import: which file?");
  EXPECT_EQ(run({sample("humanoid.bvh"), "--ma", directory + "/no/such/dir.ma"}), 1);
  EXPECT_EQ(err, "marvik import: cannot write " + directory + "/no/such/dir.ma\n");
}

}  // namespace
