#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "support/TempDirectory.h"
#include "support/TextFiles.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

constexpr bool kPictures = MARVIK_PICTURES;

const char kTwoFrames[] =
    "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\n"
    "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
    "JOINT Spine\n{\nOFFSET 0 5 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n"
    "End Site\n{\nOFFSET 0 1 0\n}\n}\n}\n"
    "MOTION\nFrames: 2\nFrame Time: 0.5\n0 1 2 3 4 5 6 7 8\n10 11 12 13 14 15 16 17 18\n";

// A closing brace too many on line 9.
const char kMalformed[] =
    "HIERARCHY\nROOT Hips\n{\n  OFFSET 0 0 0\n  CHANNELS 3 Xposition Yposition Zposition\n"
    "  JOINT Leg\n  {\n    OFFSET 0 -4 0\n  }\n}}\nMOTION\n";

// Width and height from a PNG file's header chunk; 0 x 0 when it is no PNG.
std::pair<std::uint32_t, std::uint32_t> pngSize(const std::string& path) {
  const std::string bytes = readFile(path);
  if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
      bytes.compare(12, 4, "IHDR") != 0) {
    return {0, 0};
  }
  auto number = [&bytes](std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
      value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
  };
  return {number(16), number(20)};
}

std::string lastLines(const std::string& text, std::size_t count) {
  std::vector<std::string> all;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) all.push_back(line);
  std::string tail;
  for (std::size_t i = all.size() > count ? all.size() - count : 0; i < all.size(); ++i) {
    tail += all[i] + "\n";
  }
  return tail;
}

class MarvikPreview : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(directory, ""); }

  int run(const std::string& command, const std::vector<std::string>& args) {
    std::vector<std::string> argv{MARVIK, command};
    argv.insert(argv.end(), args.begin(), args.end());
    return ChildProcess::run(argv, seconds(60), out, err);
  }

  std::string write(const std::string& name, const std::string& text) {
    const std::string path = directory + "/" + name;
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  std::set<std::string> files() const {
    std::set<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(directory)) {
      if (entry.is_regular_file())
        found.insert(entry.path().lexically_relative(directory).string());
    }
    return found;
  }

  TempDirectory temp{::testing::TempDir(), "marvikPreview"};
  const std::string& directory = temp.path();
  std::string out;
  std::string err;
};

TEST_F(MarvikPreview, SampleBecomesASheetOfTheFramesItNames) {
  if (!kPictures) GTEST_SKIP() << "built without Cairo";
  const std::string sample = std::string(EXAMPLES_DIR) + "/humanoid.bvh";
  const std::string png = directory + "/walk.png";
  ASSERT_EQ(run("preview", {sample, "--frames", "4", "--size", "640x360", "--out", png}), 0)
      << out << err;
  EXPECT_EQ(err, "");
  EXPECT_EQ(out.rfind("marvik preview: " + sample + "\n", 0), 0u) << out;
  // 359 frames apart over 3 intervals: 119.67 each.
  EXPECT_EQ(lastLines(out, 1), "  wrote          " + png + " (frames 0, 120, 239, 359)\n");
  EXPECT_EQ(pngSize(png), std::make_pair(640u, 360u));
  EXPECT_EQ(files(), std::set<std::string>{"walk.png"});
}

TEST_F(MarvikPreview, MalformedFileFailsAsImportDoesAndLeavesNoPicture) {
  if (!kPictures) GTEST_SKIP() << "built without Cairo";
  const std::string bad = write("bad.bvh", kMalformed);
  ASSERT_EQ(run("preview", {bad, "--out", directory + "/bad.png"}), 1) << out << err;
  EXPECT_EQ(out, "");
  EXPECT_EQ(err,
            "// Error: Cannot import bad.bvh: syntax error at line 9\n"
            "marvik preview: " +
                bad + ": Cannot import bad.bvh: syntax error at line 9\n");
  EXPECT_EQ(files(), std::set<std::string>{"bad.bvh"});

  ASSERT_EQ(run("preview", {directory + "/none.bvh"}), 1);
  EXPECT_EQ(err, "marvik preview: " + directory + "/none.bvh: No such file or directory\n");
}

TEST_F(MarvikPreview, ConvertWritesThumbnailsBesideScenesAndSkipsUpToDateOnes) {
  if (!kPictures) GTEST_SKIP() << "built without Cairo";
  write("lib/a.bvh", kTwoFrames);
  write("lib/deep/b.bvh", kTwoFrames);
  const std::string scenes = directory + "/scenes";
  const std::vector<std::string> args{"--preview", "--jobs", "2",
                                      "--out",     scenes,   directory + "/lib"};
  ASSERT_EQ(run("convert", args), 0) << out << err;
  EXPECT_NE(out.find("  converted      2\n"), std::string::npos) << out;
  EXPECT_EQ(files(),
            (std::set<std::string>{"lib/a.bvh", "lib/deep/b.bvh", "scenes/a.ma", "scenes/a.png",
                                   "scenes/deep/b.ma", "scenes/deep/b.png"}));
  EXPECT_EQ(pngSize(scenes + "/a.png"), std::make_pair(480u, 160u));
  EXPECT_EQ(pngSize(scenes + "/deep/b.png"), std::make_pair(480u, 160u));

  ASSERT_EQ(run("convert", args), 0) << out << err;
  EXPECT_NE(out.find("  converted      0\n  skipped        2\n"), std::string::npos) << out;
  // A missing thumbnail is out of date, as a missing scene is.
  fs::remove(scenes + "/deep/b.png");
  ASSERT_EQ(run("convert", args), 0) << out << err;
  EXPECT_NE(out.find("  converted      1\n  skipped        1\n"), std::string::npos) << out;
  EXPECT_EQ(pngSize(scenes + "/deep/b.png"), std::make_pair(480u, 160u));
}

TEST_F(MarvikPreview, BuildWithoutCairoSaysPicturesAreNotInIt) {
  if (kPictures) GTEST_SKIP() << "built with Cairo";
  const std::string file = write("clip.bvh", kTwoFrames);
  EXPECT_EQ(run("preview", {file}), 2);
  EXPECT_EQ(err,
            "marvik preview: not in this build: pictures need Cairo, which it was built "
            "without\n");
  EXPECT_EQ(run("convert", {"--preview", file}), 2);
  EXPECT_EQ(err,
            "marvik convert: --preview is not in this build: pictures need Cairo, which it "
            "was built without\n");
  EXPECT_EQ(files(), std::set<std::string>{"clip.bvh"});
}

}  // namespace
