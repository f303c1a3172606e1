#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "ChildProcess.h"
#include "support/TempDirectory.h"
#include "support/TextFiles.h"

namespace {

TEST(MarvikDemo, ServesStreamsImportsAndWritesItsFilesInUnderAMinute) {
  TempDirectory temp(::testing::TempDir(), "marvikDemo");
  ASSERT_NE(temp.path(), "");
  const std::string out = temp.path() + "/out";
  std::string printed;
  std::string err;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(
      ChildProcess::run({MARVIK, "demo", "--out", out}, std::chrono::seconds(60), printed, err), 0)
      << printed << err;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
  EXPECT_EQ(err, "");
  EXPECT_NE(printed.find("marvik demo: 1. serving "), std::string::npos);
  EXPECT_NE(printed.find("marvik live: built Marvik0, 25 joints linked"), std::string::npos);
  EXPECT_NE(printed.find("marvik live: recording a take of every frame (marvikMocapRecord)\n"),
            std::string::npos);
  EXPECT_NE(printed.find("): |humanoid_take1|Hips\n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("  keys written   28080 on 78 curves\n"), std::string::npos);
  EXPECT_NE(printed.find("marvik demo: done. Look at " + out + "/"), std::string::npos);
  for (const char* file : {"live.ma", "humanoid.ma"}) {
    const std::string scene = readFile(out + "/" + file);
    EXPECT_EQ(scene.rfind("//Maya ASCII 2022 scene\n", 0), 0u) << file;
    EXPECT_NE(scene.find(std::string("// End of ") + file + "\n"), std::string::npos) << file;
  }
  const std::string live = readFile(out + "/live.json");
  EXPECT_NE(live.find("\"Marvik0\""), std::string::npos);
  EXPECT_NE(live.find("\"path\": \"|humanoid_take1|Hips\""), std::string::npos);
  EXPECT_NE(live.find("\"drives\": \"|humanoid_take1|Hips.translateY\", \"keys\": [[0, "),
            std::string::npos);
  EXPECT_NE(readFile(out + "/humanoid.json").find("\"humanoid\""), std::string::npos);
  if (MARVIK_PICTURES) {
    const std::string named = "  Pictures of both, without Maya: " + out +
                              "/live.png (the live take's keys) and " + out + "/humanoid.png.\n";
    EXPECT_NE(printed.find(named), std::string::npos);
    for (const char* file : {"live.png", "humanoid.png"}) {
      EXPECT_EQ(readFile(out + "/" + file).compare(1, 3, "PNG"), 0) << file;
    }
  }
}

}  // namespace
