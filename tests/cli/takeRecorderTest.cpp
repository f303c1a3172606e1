#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "TakeRecorder.h"
#include "support/TempDirectory.h"

namespace {

using Clock = TakeRecorder::Clock;

// The text the stream's header writer makes of a one-joint skeleton with one channel.
const std::string kHeader =
    "HIERARCHY\nROOT A\n{\n  OFFSET 0 0 0\n  CHANNELS 1 Xrotation\n  End Site\n  {\n"
    "    OFFSET 0 1 0\n  }\n}\nMOTION\nFrames: 0\nFrame Time: 0\n";

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The actors' headers and frames count frames each, arriving every interval.
void stream(TakeRecorder& recorder, const std::vector<StreamActor>& actors, int frames,
            std::chrono::milliseconds interval) {
  recorder.actorList(actors);
  for (const StreamActor& actor : actors) recorder.header(actor.tag, 0, kHeader, 1);
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < frames; ++i) {
    const float value = static_cast<float>(i);
    for (const StreamActor& actor : actors)
      recorder.frame(actor.tag, &value, 1, start + i * interval);
  }
}

class TakeRecorderTest : public ::testing::Test {
 protected:
  std::vector<TakeRecorder::Written> write(TakeRecorder& recorder) {
    std::vector<TakeRecorder::Written> written;
    std::vector<std::string> problems;
    EXPECT_TRUE(recorder.write(temp.path(), 0, written, problems));
    EXPECT_TRUE(problems.empty()) << problems.front();
    return written;
  }

  TempDirectory temp{::testing::TempDir(), "takeRecorder"};
};

// Eleven frames 20 ms apart span 200 ms: 50 frames/s, where counting the frames instead of the
// intervals between them would make 55.
TEST_F(TakeRecorderTest, FrameTimeIsTheRoundedRateOfTheIntervalsBetweenArrivals) {
  TakeRecorder recorder;
  stream(recorder, {{1, "a"}}, 11, std::chrono::milliseconds(20));
  const std::vector<TakeRecorder::Written> written = write(recorder);
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0].frames, 11u);
  const std::string text = readFile(written[0].path);
  EXPECT_NE(text.find("}\nMOTION\nFrames: 11\nFrame Time: 0.02\n0\n1\n2\n"), std::string::npos)
      << text;
}

// On a file system that ignores letter case (Windows, macOS) "Bob.bvh" and "bob.bvh" are one
// file: the second take would overwrite the first.
TEST_F(TakeRecorderTest, NamesThatDifferOnlyInLetterCaseGetFilesOfTheirOwn) {
  TakeRecorder recorder;
  stream(recorder, {{1, "Bob"}, {2, "bob"}, {3, "BOB"}}, 2, std::chrono::milliseconds(10));
  const std::vector<TakeRecorder::Written> written = write(recorder);
  ASSERT_EQ(written.size(), 3u);
  EXPECT_EQ(written[0].path, temp.path() + "/Bob.bvh");
  EXPECT_EQ(written[1].path, temp.path() + "/bob-2.bvh");
  EXPECT_EQ(written[2].path, temp.path() + "/BOB-3.bvh");
  EXPECT_EQ(written[1].actor, "bob");
}

}  // namespace
