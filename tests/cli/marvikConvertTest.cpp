#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "cli/InterruptedChild.h"
#include "support/BvhReference.h"
#include "support/Platform.h"
#include "support/TempDirectory.h"
#include "support/TextFiles.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

const char kGood[] =
    "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\n"
    "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
    "JOINT Spine\n{\nOFFSET 0 5 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n"
    "End Site\n{\nOFFSET 0 1 0\n}\n}\n}\n"
    "MOTION\nFrames: 2\nFrame Time: 0.5\n0 1 2 3 4 5 6 7 8\n10 11 12 13 14 15 16 17 18\n";

// The summary: the lines from "marvik convert: " on.
std::vector<std::string> summary(const std::string& out) {
  std::vector<std::string> all = lines(out);
  auto first = std::find_if(all.begin(), all.end(), [](const std::string& line) {
    return line.rfind("marvik convert: ", 0) == 0;
  });
  return std::vector<std::string>(first == all.end() ? all.end() : first + 1, all.end());
}

// A file found in a folder search: the folder's path as given, then the system's separators.
std::string below(const std::string& folder, const std::string& relative) {
  return (fs::u8path(folder) / fs::u8path(relative).make_preferred()).u8string();
}

// Files below the folder, as paths relative to it, with "/".
std::set<std::string> filesBelow(const std::string& folder) {
  std::set<std::string> found;
  std::error_code error;
  for (fs::recursive_directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    if (entry->is_regular_file()) {
      found.insert(entry->path().lexically_relative(folder).generic_u8string());
    }
  }
  return found;
}

class MarvikConvert : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(directory, ""); }

  int run(const std::vector<std::string>& args) {
    std::vector<std::string> argv{MARVIK, "convert"};
    argv.insert(argv.end(), args.begin(), args.end());
    return ChildProcess::run(argv, seconds(60), out, err);
  }

  // Written an hour ago, as a library is older than its conversion: MinGW's file times count
  // whole seconds, so a file written in the second of its conversion is converted again.
  std::string write(const std::string& relative, const std::string& contents) {
    const fs::path path = fs::path(directory) / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1));
    return path.string();
  }

  TempDirectory temp{::testing::TempDir(), "marvikConvert"};
  const std::string& directory = temp.path();
  const std::string lib = directory + "/lib";
  const std::string outDir = directory + "/out";
  std::string out;
  std::string err;
};

// Ctrl-C hands out no more files; what is left is counted as not converted, and the exit code
// is a Ctrl-C's. The signal comes before the first file is handed out.
TEST_F(MarvikConvert, CtrlCStopsHandingOutFiles) {
  write("lib/a.bvh", kGood);
  write("lib/b.bvh", kGood);
  ChildProcess child;
  std::string failure;
#ifdef _WIN32
  GTEST_SKIP() << "a Ctrl-C cannot wait for a Windows child to take it";
#endif
  ASSERT_TRUE(startInterrupted(child, {MARVIK, "convert", lib, "--out", outDir}, failure))
      << failure;
  EXPECT_EQ(child.wait(seconds(60)), 130) << child.err;
  EXPECT_THAT(summary(child.out),
              ElementsAre("  converted      0", "  skipped        0", "  failed         0",
                          "  warnings       0", "  interrupted    2 not converted (Ctrl-C)"));
  EXPECT_THAT(filesBelow(outDir), ::testing::IsEmpty());
}

TEST_F(MarvikConvert, MirrorsTheTreeSkipsConvertedFilesAndListsFailures) {
  write("lib/walk/a.bvh", kGood);
  write("lib/run/deep/b.BVH", kGood);
  write("lib/bad.bvh", "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\nCHANNELS 4 a b c d\n}\n");
  write("lib/notes.txt", kGood);
  const std::string cut = std::string(kGood).substr(0, std::string(kGood).size() - 20);
  write("lib/short.bvh", cut);
  const std::string done = write("lib/done.bvh", kGood);
  const std::string doneMa = write("out/done.ma", "old");
  const std::string doneJson = write("out/done.json", "old");
  fs::last_write_time(done, fs::last_write_time(doneMa) - std::chrono::hours(1));

  EXPECT_EQ(run({lib, "--out", outDir, "--jobs", "2", "--ma", "--json"}), 1) << err;
  EXPECT_THAT(filesBelow(outDir),
              UnorderedElementsAre("done.ma", "done.json", "walk/a.ma", "walk/a.json",
                                   "run/deep/b.ma", "run/deep/b.json", "short.ma", "short.json"));
  EXPECT_EQ(readFile(doneMa), "old");
  EXPECT_EQ(lines(readFile(outDir + "/walk/a.ma")).at(1), "//Name: a.ma");
  EXPECT_THAT(
      summary(out),
      ElementsAre("  converted      3", "  skipped        1", "  failed         1",
                  "  warnings       1", "failed:",
                  "  " + below(lib, "bad.bvh") + ": Cannot import bad.bvh: syntax error at line 5",
                  "warnings:",
                  "  " + below(lib, "short.bvh") +
                      ": short.bvh: the file holds 1 of the 2 frames it declares; "
                      "frame 1 is keyed at zero"));
  // Not on a terminal: a line per file read, in the order they end.
  std::vector<std::string> progress = lines(out);
  progress.resize(4);
  for (std::string& line : progress) line = line.substr(line.find(']') + 2);
  EXPECT_THAT(progress,
              UnorderedElementsAre("failed " + below(lib, "bad.bvh"),
                                   "converted " + below(lib, "run/deep/b.BVH"),
                                   "converted " + below(lib, "short.bvh") + " (1 warning)",
                                   "converted " + below(lib, "walk/a.bvh")));

  // Converted files are skipped now; --force converts them again.
  EXPECT_EQ(run({lib, "--out", outDir, "--ma", "--json"}), 1);
  EXPECT_EQ(summary(out).at(1), "  skipped        4");
  EXPECT_EQ(run({lib, "--out", outDir, "--ma", "--json", "--force"}), 1);
  EXPECT_EQ(summary(out).at(0), "  converted      4");
  EXPECT_NE(readFile(doneMa), "old");
}

TEST_F(MarvikConvert, ShardsTogetherTakeEveryFileOnce) {
  for (const char* name : {"a.bvh", "b.bvh", "c/d.bvh", "e.bvh", "f.bvh"}) {
    write(std::string("lib/") + name, kGood);
  }
  // The sorted list is a, b, c/d, e, f whatever the order of the search or the arguments.
  ASSERT_EQ(run({lib + "/f.bvh", lib, "--out", outDir, "--shard", "1/2"}), 0) << err;
  EXPECT_THAT(filesBelow(outDir), UnorderedElementsAre("b.ma", "e.ma"));
  ASSERT_EQ(run({lib, "--out", outDir, "--shard", "0/2", "--jobs", "1"}), 0) << err;
  EXPECT_EQ(summary(out).at(0), "  converted      3");
  EXPECT_THAT(filesBelow(outDir), UnorderedElementsAre("a.ma", "b.ma", "c/d.ma", "e.ma", "f.ma"));
  ASSERT_EQ(run({lib, "--out", outDir}), 0) << err;
  EXPECT_EQ(summary(out).at(1), "  skipped        5");
}

// The worker blocks on a FIFO as on a file that never ends; killing it stands for a crash.
TEST_F(MarvikConvert, AWorkerKilledMidFileLosesOnlyThatFile) {
  write("lib/a.bvh", kGood);
  write("lib/c.bvh", kGood);
  const std::string stuck = lib + "/b.bvh";
  support::BlockingFile blocking(stuck);
  if (!blocking.made()) GTEST_SKIP() << "no file here blocks its reader";

  ChildProcess convert;
  ASSERT_TRUE(convert.start({MARVIK, "convert", lib, stuck, "--out", outDir, "--jobs", "1"}));
  ASSERT_TRUE(blocking.waitForReader(seconds(30))) << "the worker never opened the FIFO";
  const int worker = support::childProcessOf(convert.id());
  ASSERT_GT(worker, 0);
  ASSERT_TRUE(support::killProcess(worker));

  EXPECT_EQ(convert.wait(seconds(60)), 1) << convert.err;
  EXPECT_THAT(
      summary(convert.out),
      ElementsAre("  converted      2", "  skipped        0", "  failed         1",
                  "  warnings       0", "failed:", "  " + stuck + ": the converter crashed"));
  EXPECT_THAT(filesBelow(outDir), UnorderedElementsAre("a.ma", "c.ma"));
}

TEST_F(MarvikConvert, ListsMissingFilesAndBadArguments) {
  const std::string a = write("lib/a.bvh", kGood);
  const std::string list = write("files.txt", a + "\n\n" + lib + "/none.bvh\r\n");
  EXPECT_EQ(run({"--list", list}), 1);
  EXPECT_THAT(summary(out), ElementsAre("  converted      1", "  skipped        0",
                                        "  failed         1", "  warnings       0", "failed:",
                                        "  " + lib + "/none.bvh: No such file or directory"));
  // Without --out the scene goes beside its file.
  EXPECT_TRUE(fs::exists(lib + "/a.ma"));

  EXPECT_EQ(run({a, "--shard", "2/2"}), 2);
  EXPECT_EQ(lines(err).at(0), "marvik convert: --shard takes I/N with 0 <= I < N, not 2/2");
  EXPECT_EQ(run({a, "--jobs", "0"}), 2);
  EXPECT_EQ(lines(err).at(0), "marvik convert: --jobs takes a number of processes, not 0");
  EXPECT_EQ(run({}), 2);
  EXPECT_EQ(lines(err).at(0), "marvik convert: which files?");
  EXPECT_EQ(run({"--list", directory + "/none.txt"}), 1);
  EXPECT_EQ(err, "marvik convert: cannot read the list " + directory + "/none.txt\n");
}

}  // namespace

namespace {

// A library exported again as BVH: beside the other outputs under the output folder, moving
// as the inputs do; never over an input, where it would replace it.
TEST_F(MarvikConvert, ExportsBvhButNeverOverItsInput) {
  const std::string a = write("lib/walk/a.bvh", kGood);
  ASSERT_EQ(run({lib, "--out", outDir, "--bvh"}), 0) << err << out;
  EXPECT_THAT(filesBelow(outDir), UnorderedElementsAre("walk/a.bvh"));
  bvhref::Motion original;
  bvhref::Motion exported;
  std::string error;
  ASSERT_TRUE(bvhref::read(readFile(a), original, error)) << error;
  ASSERT_TRUE(bvhref::read(readFile(outDir + "/walk/a.bvh"), exported, error)) << error;
  ASSERT_EQ(exported.frames.size(), original.frames.size());
  ASSERT_EQ(exported.joints.size(), original.joints.size());
  for (std::size_t f = 0; f < original.frames.size(); ++f) {
    const auto expected = bvhref::worldPositions(original, static_cast<int>(f));
    const auto actual = bvhref::worldPositions(exported, static_cast<int>(f));
    for (std::size_t j = 0; j < expected.size(); ++j) {
      for (std::size_t k = 0; k < 3; ++k) EXPECT_NEAR(actual[j][k], expected[j][k], 1e-3);
    }
  }

  EXPECT_EQ(run({lib, "--bvh", "--ma"}), 1);
  EXPECT_NE(out.find("its BVH output would replace it (give --out DIR)"), std::string::npos) << out;
  EXPECT_EQ(readFile(a), kGood);
}

}  // namespace
