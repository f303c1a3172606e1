#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "stream/TakeRecorder.h"
#include "stream/bvhHeaderText.h"
#include "support/StreamMessages.h"
#include "support/StreamSession.h"
#include "support/TempDirectory.h"
#include "support/TextFiles.h"

namespace {

using Clock = TakeRecorder::Clock;
using J = BrexPlugs::BVH_JOIN;
using std::chrono::milliseconds;

// The text the stream's header writer makes of a one-joint skeleton with three channels in a
// slot, and of another skeleton.
std::string headerIn(int slot) {
  return bvhHeaderText(
      streamMessages::withEndSite(
          streamMessages::joint("A", 0, 0, 0, {J::Xrotation, J::Yrotation, J::Zrotation}), 0, 1, 0),
      slot);
}

std::string otherHeader() {
  return bvhHeaderText(
      streamMessages::joint("B", 0, 0, 0, {J::Xrotation, J::Yrotation, J::Zrotation}), 1);
}

// A frame of three values, the first v.
void frameAt(TakeRecorder& recorder, std::uint32_t tag, float v, Clock::time_point at) {
  const float values[3] = {v, 0, 0};
  recorder.frame(tag, values, 3, at);
}

// The actors' headers, then frames frames of each, arriving every interval from start.
void stream(TakeRecorder& recorder, const std::vector<StreamActor>& actors, int frames,
            milliseconds interval, Clock::time_point start = Clock::now()) {
  recorder.actorList(actors);
  for (const StreamActor& actor : actors) recorder.header(actor.tag, 0, headerIn(0), 3);
  for (int i = 0; i < frames; ++i) {
    for (const StreamActor& actor : actors)
      frameAt(recorder, actor.tag, static_cast<float>(i), start + i * interval);
  }
}

// A source stalls for seconds from at, then sends every frame due meanwhile at once.
struct Stall {
  double at;
  double seconds;
};

// When frame i of a source at fps frames a second arrives: it is due at i / fps, and sent then
// unless a stall holds it back. The receiver takes spacing seconds over each frame (never
// delivering one before the previous one's end); loaded, it also loses the processor for 1 to 8 ms
// every 5 to 30 ms, so that frames that come meanwhile arrive together at its end. Deterministic:
// the losses follow minstd_rand's fixed sequence.
std::vector<double> arrivals(double fps, double seconds, const std::vector<Stall>& stalls,
                             bool loaded, double spacing) {
  std::minstd_rand random(7);
  const auto between = [&random](double low, double high) {
    return low + (high - low) * static_cast<double>(random() - 1) / 2147483645.0;
  };
  std::vector<std::pair<double, double>> busy;
  for (double at = between(0.005, 0.03); loaded && at < seconds + 1; at += between(0.005, 0.03)) {
    const double length = between(0.001, 0.008);
    busy.emplace_back(at, at + length);
    at += length;
  }
  std::vector<double> times;
  std::size_t nextBusy = 0;
  for (int i = 0; i / fps < seconds; ++i) {
    double sent = i / fps;
    for (const Stall& stall : stalls) {
      if (sent >= stall.at && sent < stall.at + stall.seconds) sent = stall.at + stall.seconds;
    }
    double arrived = std::max(sent + 50e-6, times.empty() ? 0.0 : times.back() + spacing);
    while (nextBusy < busy.size() && busy[nextBusy].second <= arrived) ++nextBusy;
    if (nextBusy < busy.size() && busy[nextBusy].first <= arrived) arrived = busy[nextBusy].second;
    times.push_back(arrived);
  }
  return times;
}

// Each run of a take as "slot+count".
std::vector<std::string> runsOf(const TakeRecorder::Take& take) {
  std::vector<std::string> runs;
  for (const TakeRecorder::Run& run : take.runs) {
    runs.push_back(std::to_string(run.slot) + "+" + std::to_string(run.count));
  }
  return runs;
}

class TakeRecorderTest : public ::testing::Test {
 protected:
  std::vector<TakeRecorder::Written> write(const std::vector<TakeRecorder::Take>& takes) {
    std::vector<TakeRecorder::Written> written;
    std::vector<std::string> problems;
    EXPECT_TRUE(TakeRecorder::write(temp.path(), takes, written, problems));
    EXPECT_TRUE(problems.empty()) << problems.front();
    return written;
  }

  TempDirectory temp{::testing::TempDir(), "takeRecorder"};
  const Clock::time_point t0 = Clock::now();
};

// Eleven frames 20 ms apart span 200 ms: 50 frames/s, where counting the frames instead of the
// intervals between them would make 55. The joints lose the slot suffix the stream gave them.
TEST_F(TakeRecorderTest, AFileHoldsTheSkeletonAsStreamedAndTheRoundedRateOfTheArrivals) {
  TakeRecorder recorder;
  stream(recorder, {{1, "a"}}, 11, milliseconds(20));
  const std::vector<TakeRecorder::Written> written = write(recorder.finish(0));
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0].frames, 11u);
  EXPECT_EQ(readFile(written[0].path),
            "HIERARCHY\nROOT A\n{\nOFFSET 0 0 0\nCHANNELS 3 Xrotation Yrotation Zrotation \n"
            "End Site\n{\nOFFSET 0 1 0\n}\n}\nMOTION\nFrames: 11\nFrame Time: 0.02\n"
            "0 0 0\n1 0 0\n2 0 0\n3 0 0\n4 0 0\n5 0 0\n6 0 0\n7 0 0\n8 0 0\n9 0 0\n10 0 0\n");
}

// On a file system that ignores letter case (Windows, macOS) "Bob.bvh" and "bob.bvh" are one
// file: the second take would overwrite the first.
TEST_F(TakeRecorderTest, NamesThatDifferOnlyInLetterCaseGetFilesOfTheirOwn) {
  TakeRecorder recorder;
  stream(recorder, {{1, "Bob"}, {2, "bob"}, {3, "BOB"}}, 2, milliseconds(10));
  const std::vector<TakeRecorder::Written> written = write(recorder.finish(25));
  ASSERT_EQ(written.size(), 3u);
  EXPECT_EQ(written[0].path, temp.path() + "/Bob.bvh");
  EXPECT_EQ(written[1].path, temp.path() + "/bob-2.bvh");
  EXPECT_EQ(written[2].path, temp.path() + "/BOB-3.bvh");
  EXPECT_EQ(written[1].actor, "bob");
  EXPECT_NE(readFile(written[2].path).find("\nFrame Time: 0.04\n0 0 0\n1 0 0\n"),
            std::string::npos);
}

// Ten frames a second: frames 0-4 on time, a stall of 0.7 s, frames 5-7 on time again; then a
// pause of exactly 0.5 s (no gap) and a burst of four frames after a stall, which are the
// stall's last four frames: the last of them is the one on time.
TEST_F(TakeRecorderTest, AGapKeysTheFirstFrameAfterItAtItsArrivalSlot) {
  TakeRecorder recorder;
  recorder.actorList({{1, "a"}});
  recorder.header(1, 0, headerIn(0), 3);
  for (int i = 0; i < 5; ++i) frameAt(recorder, 1, 0, t0 + i * milliseconds(100));
  for (int i = 0; i < 3; ++i) frameAt(recorder, 1, 0, t0 + milliseconds(1100 + 100 * i));
  frameAt(recorder, 1, 0, t0 + milliseconds(1800));
  for (int i = 0; i < 4; ++i) frameAt(recorder, 1, 0, t0 + milliseconds(3000));
  std::vector<TakeRecorder::Take> takes = recorder.finish(10);
  ASSERT_EQ(takes.size(), 1u);
  EXPECT_EQ(runsOf(takes[0]), (std::vector<std::string>{"0+5", "11+4", "27+4"}));
  EXPECT_EQ(takes[0].frameCount(), 13u);
}

// Counting the stall would make 9 intervals in 1.5 s: 6 frames/s.
TEST_F(TakeRecorderTest, TheMeasuredRateLeavesGapsOut) {
  TakeRecorder recorder;
  recorder.actorList({{1, "a"}});
  recorder.header(1, 0, headerIn(0), 3);
  for (int i = 0; i < 5; ++i) frameAt(recorder, 1, 0, t0 + i * milliseconds(100));
  for (int i = 0; i < 5; ++i) frameAt(recorder, 1, 0, t0 + milliseconds(1100 + 100 * i));
  const std::vector<TakeRecorder::Take> takes = recorder.finish(0);
  ASSERT_EQ(takes.size(), 1u);
  EXPECT_EQ(takes[0].framesPerSecond, 10);
  EXPECT_EQ(runsOf(takes[0]), (std::vector<std::string>{"0+5", "11+5"}));
}

// A source at 60 frames/s stalls for 2 s, then sends its backlog of 120 frames 50 us apart and
// goes on on time; another actor joins later at 55 frames/s for a few frames. Counting the burst
// made the first take 100 frames/s and the second 55: one rate for both, from the intervals
// outside the burst, and the burst keyed over the stall.
TEST_F(TakeRecorderTest, ABurstAfterAStallKeepsTheStreamsRateForEveryActor) {
  TakeRecorder recorder;
  recorder.actorList({{1, "a"}, {2, "b"}});
  recorder.header(1, 0, headerIn(0), 3);
  recorder.header(2, 1, headerIn(1), 3);
  const auto at = [this](double seconds) {
    return t0 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  };
  for (int i = 0; i < 120; ++i) frameAt(recorder, 1, static_cast<float>(i), at(i / 60.0));
  for (int k = 0; k < 120; ++k)
    frameAt(recorder, 1, static_cast<float>(120 + k), at(4 + k * 50e-6));
  for (int k = 0; k < 60; ++k)
    frameAt(recorder, 1, static_cast<float>(240 + k), at(4 + (k + 1) / 60.0));
  for (int k = 0; k < 10; ++k) frameAt(recorder, 2, static_cast<float>(k), at(4.5 + k / 55.0));
  const std::vector<TakeRecorder::Take> takes = recorder.finish(0);
  ASSERT_EQ(takes.size(), 2u);
  EXPECT_NEAR(takes[0].framesPerSecond, 60, 0.5);
  EXPECT_EQ(takes[1].framesPerSecond, takes[0].framesPerSecond);
  EXPECT_EQ(runsOf(takes[0]), (std::vector<std::string>{"0+120", "121+180"}));
  EXPECT_EQ(runsOf(takes[1]), (std::vector<std::string>{"270+10"}));
  EXPECT_EQ(takes[0].frame(299)[0], 299.0f);
}

// A source at 30, 60 and 120 frames/s stalls for 1.5 s (a gap) and later for 0.3 s (within a
// run), catching up in a burst each time. Quiet, a burst's frames come microseconds apart;
// loaded, the receiver loses the processor now and then, spreading bursts and bunching steady
// frames; spread, it also takes 1.5 ms over each frame. The take keeps the source's rate, and
// every frame is keyed at its own slot: the burst fills the stall.
TEST_F(TakeRecorderTest, BurstsAndStallsKeepTheRateOnALoadedReceiver) {
  const struct {
    const char* name;
    bool loaded;
    double spacing;
  } receivers[] = {{"quiet", false, 5e-6}, {"loaded", true, 5e-6}, {"spread", true, 1.5e-3}};
  for (const double fps : {30.0, 60.0, 120.0}) {
    for (const auto& receiver : receivers) {
      SCOPED_TRACE(std::to_string(static_cast<int>(fps)) + " frames/s, " + receiver.name);
      const std::vector<double> times =
          arrivals(fps, 6, {{2, 1.5}, {4.5, 0.3}}, receiver.loaded, receiver.spacing);
      TakeRecorder recorder;
      recorder.actorList({{1, "a"}});
      recorder.header(1, 0, headerIn(0), 3);
      for (std::size_t i = 0; i < times.size(); ++i) {
        frameAt(recorder, 1, static_cast<float>(i),
                t0 + std::chrono::duration_cast<Clock::duration>(
                         std::chrono::duration<double>(times[i])));
      }
      const std::vector<TakeRecorder::Take> takes = recorder.finish(0);
      ASSERT_EQ(takes.size(), 1u);
      EXPECT_EQ(takes[0].framesPerSecond, fps);
      ASSERT_EQ(takes[0].runs.size(), 2u);
      for (const TakeRecorder::Run& run : takes[0].runs) {
        EXPECT_NEAR(static_cast<double>(run.slot), static_cast<double>(run.first), 1.0)
            << run.first;
      }
    }
  }
}

// At 1 frame/s the stall's slot (1) lies inside the frames before it: they keep their order.
TEST_F(TakeRecorderTest, ARunNeverStartsBeforeTheRunBeforeItEnds) {
  TakeRecorder recorder;
  recorder.actorList({{1, "a"}});
  recorder.header(1, 0, headerIn(0), 3);
  for (int i = 0; i < 5; ++i) frameAt(recorder, 1, 0, t0 + i * milliseconds(100));
  frameAt(recorder, 1, 0, t0 + milliseconds(1100));
  EXPECT_EQ(runsOf(recorder.finish(1)[0]), (std::vector<std::string>{"0+5", "5+1"}));
}

// A reconnect that took less than the gap still starts a new run; another actor's take starts
// at the slot of its first frame, counted from the recording's first frame.
TEST_F(TakeRecorderTest, AConnectStartsARunAndEveryActorCountsFromTheFirstFrame) {
  TakeRecorder recorder;
  recorder.actorList({{1, "a"}, {2, "b"}});
  recorder.header(1, 0, headerIn(0), 3);
  frameAt(recorder, 1, 0, t0);
  frameAt(recorder, 1, 1, t0 + milliseconds(10));
  recorder.connected();
  recorder.actorList({{1, "a"}, {2, "b"}});
  recorder.header(1, 0, headerIn(0), 3);
  frameAt(recorder, 1, 2, t0 + milliseconds(300));
  recorder.header(2, 1, headerIn(0), 3);
  frameAt(recorder, 2, 0, t0 + milliseconds(410));
  const std::vector<TakeRecorder::Take> takes = recorder.finish(100);
  ASSERT_EQ(takes.size(), 2u);
  EXPECT_EQ(runsOf(takes[0]), (std::vector<std::string>{"0+2", "30+1"}));
  EXPECT_EQ(takes[0].frame(2)[0], 2.0f);
  EXPECT_EQ(runsOf(takes[1]), (std::vector<std::string>{"41+1"}));
  EXPECT_EQ(takes[1].actor, "b");
}

// b leaves and comes back; a's slot changes, which changes its header text but not its
// skeleton; then a's skeleton changes.
TEST_F(TakeRecorderTest, AnActorThatLeavesOrChangesSkeletonStartsAnotherTake) {
  TakeRecorder recorder;
  recorder.actorList({{1, "a"}, {2, "b"}});
  recorder.header(1, 0, headerIn(0), 3);
  recorder.header(2, 1, headerIn(1), 3);
  frameAt(recorder, 1, 1, t0);
  frameAt(recorder, 2, 1, t0);
  recorder.actorList({{1, "a"}});
  recorder.actorList({{0, "z"}, {1, "a"}, {2, "b"}});
  recorder.header(1, 1, headerIn(1), 3);
  recorder.header(2, 2, headerIn(2), 3);
  frameAt(recorder, 1, 2, t0 + milliseconds(10));
  frameAt(recorder, 2, 2, t0 + milliseconds(10));
  recorder.header(1, 1, otherHeader(), 3);
  frameAt(recorder, 1, 3, t0 + milliseconds(20));
  const std::vector<TakeRecorder::Take> takes = recorder.finish(100);
  ASSERT_EQ(takes.size(), 4u);
  const std::string actors[] = {"a", "b", "b", "a"};
  const float first[] = {1, 1, 2, 3};
  const std::size_t counts[] = {2, 1, 1, 1};
  for (std::size_t i = 0; i < takes.size(); ++i) {
    EXPECT_EQ(takes[i].actor, actors[i]) << i;
    EXPECT_EQ(takes[i].frame(0)[0], first[i]) << i;
    EXPECT_EQ(takes[i].frameCount(), counts[i]) << i;
  }
  EXPECT_EQ(takes[2].hierarchy, takes[0].hierarchy);
  EXPECT_EQ(takes[3].hierarchy.rfind("HIERARCHY\nROOT B\n", 0), 0u);
  EXPECT_EQ(runsOf(takes[2]), (std::vector<std::string>{"1+1"}));
}

TEST_F(TakeRecorderTest, FramesBeforeTheirHeaderAreDroppedAndCountedUnlessKeptForAFile) {
  for (const bool keep : {false, true}) {
    SCOPED_TRACE(keep ? "kept" : "dropped");
    TakeRecorder::Options options;
    options.keepFramesBeforeHeader = keep;
    TakeRecorder recorder(options);
    recorder.actorList({{1, "a"}, {2, "b"}});
    frameAt(recorder, 1, 7, t0);
    frameAt(recorder, 1, 8, t0);
    const float two[2] = {1, 2};
    recorder.frame(2, two, 2, t0);
    recorder.header(1, 0, headerIn(0), 3);
    recorder.header(2, 1, headerIn(0), 3);
    frameAt(recorder, 1, 9, t0);
    frameAt(recorder, 2, 9, t0);
    // A frame that does not fit the header is left out of the take.
    recorder.frame(1, two, 2, t0);
    // Frames of an actor whose header never comes.
    recorder.actorList({{1, "a"}, {2, "b"}, {3, "c"}});
    frameAt(recorder, 3, 1, t0);
    const std::vector<TakeRecorder::Take> takes = recorder.finish(100);
    ASSERT_EQ(takes.size(), 2u);
    EXPECT_EQ(takes[0].frameCount(), keep ? 3u : 1u);
    EXPECT_EQ(takes[0].frame(0)[0], keep ? 7.0f : 9.0f);
    EXPECT_EQ(takes[0].mismatched, 1u);
    EXPECT_EQ(takes[1].frameCount(), 1u);
    const std::vector<TakeRecorder::Dropped> dropped = recorder.droppedBeforeHeader();
    ASSERT_EQ(dropped.size(), keep ? 2u : 3u);
    EXPECT_EQ(dropped[dropped.size() - 2].actor, "b");
    EXPECT_EQ(dropped[dropped.size() - 2].frames, 1u);
    EXPECT_EQ(dropped.back().actor, "c");
    EXPECT_EQ(dropped.back().frames, 1u);
    if (!keep) {
      EXPECT_EQ(dropped[0].frames, 2u);
    }
  }
}

TEST_F(TakeRecorderTest, TheLimitKeepsTheFramesBeforeItAndNoneAfter) {
  TakeRecorder::Options options;
  options.limitBytes = 3 * 3 * sizeof(float) + 11;
  TakeRecorder recorder(options);
  stream(recorder, {{1, "a"}}, 5, milliseconds(10), t0);
  const TakeRecorder::Progress progress = recorder.progress();
  EXPECT_TRUE(progress.full);
  EXPECT_EQ(progress.frames, 3u);
  EXPECT_EQ(progress.bytes, 36u);
  frameAt(recorder, 1, 9, t0 + milliseconds(100));
  const std::vector<TakeRecorder::Take> takes = recorder.finish(0);
  ASSERT_EQ(takes.size(), 1u);
  EXPECT_EQ(takes[0].frameCount(), 3u);
  EXPECT_EQ(takes[0].frame(2)[0], 2.0f);
  EXPECT_EQ(takes[0].framesPerSecond, 100);
}

// Frames fill chunks of whole frames: one that ends exactly at a chunk's end, and the next.
TEST_F(TakeRecorderTest, FramesReadBackAcrossChunks) {
  TakeRecorder recorder;
  recorder.actorList({{1, "a"}});
  recorder.header(1, 0, headerIn(0), 3);
  const int frames = 3 * (1 << 20) / 12 + 5;
  for (int i = 0; i < frames; ++i) frameAt(recorder, 1, static_cast<float>(i), t0);
  const std::vector<TakeRecorder::Take> takes = recorder.finish(60);
  ASSERT_EQ(takes[0].frameCount(), static_cast<std::size_t>(frames));
  for (int i : {0, (1 << 20) / 12 - 1, (1 << 20) / 12, frames - 1}) {
    EXPECT_EQ(takes[0].frame(static_cast<std::size_t>(i))[0], static_cast<float>(i));
  }
}

// A file of an earlier take, or of anyone, in the folder keeps its bytes: the new take's file gets
// the next free number, and the result names the file written.
TEST_F(TakeRecorderTest, WritingNeverOverwritesAFile) {
  std::ofstream(std::filesystem::u8path(temp.path() + "/c.bvh"), std::ios::binary) << "mine";
  std::vector<std::string> paths;
  for (int take = 0; take < 2; ++take) {
    TakeRecorder recorder;
    stream(recorder, {{1, "a"}, {2, "c"}}, 2, milliseconds(10), t0);
    for (const TakeRecorder::Written& file : write(recorder.finish(10))) {
      paths.push_back(file.path);
    }
  }
  const std::string folder = temp.path();
  EXPECT_EQ(paths, (std::vector<std::string>{folder + "/a.bvh", folder + "/c-2.bvh",
                                             folder + "/a-2.bvh", folder + "/c-3.bvh"}));
  EXPECT_EQ(readFile(folder + "/c.bvh"), "mine");
  EXPECT_EQ(readFile(folder + "/a.bvh"), readFile(folder + "/a-2.bvh"));
}

// Two recorders write takes of the same actors into one folder at the same time, again and again:
// every file written is one of its own, whole, and no file is named twice.
TEST_F(TakeRecorderTest, WritersSharingAFolderNeverOverwriteEachOther) {
  constexpr int kRounds = 100;
  std::vector<TakeRecorder::Take> takes[2];
  for (int writer = 0; writer < 2; ++writer) {
    TakeRecorder recorder;
    recorder.actorList({{1, "a"}, {2, "b"}, {3, "c"}});
    for (std::uint32_t tag = 1; tag <= 3; ++tag) recorder.header(tag, 0, headerIn(0), 3);
    for (int i = 0; i < 20; ++i) {
      for (std::uint32_t tag = 1; tag <= 3; ++tag) {
        frameAt(recorder, tag, static_cast<float>(writer), t0 + i * milliseconds(10));
      }
    }
    takes[writer] = recorder.finish(100);
  }
  std::promise<void> start;
  const std::shared_future<void> gate = start.get_future().share();
  std::vector<TakeRecorder::Written> written[2];
  bool ok[2] = {true, true};
  const auto writeAll = [&](int writer) {
    gate.wait();
    for (int round = 0; round < kRounds; ++round) {
      std::vector<std::string> problems;
      ok[writer] =
          TakeRecorder::write(temp.path(), takes[writer], written[writer], problems) && ok[writer];
    }
  };
  std::thread other(writeAll, 1);
  start.set_value();
  writeAll(0);
  other.join();
  EXPECT_TRUE(ok[0]);
  EXPECT_TRUE(ok[1]);
  std::set<std::string> paths;
  for (int writer = 0; writer < 2; ++writer) {
    ASSERT_EQ(written[writer].size(), 3u * kRounds);
    const std::string own = readFile(written[writer][0].path);
    EXPECT_NE(own.find(writer == 0 ? "\n0 0 0\n" : "\n1 0 0\n"), std::string::npos);
    for (const TakeRecorder::Written& file : written[writer]) {
      paths.insert(file.path);
      EXPECT_EQ(readFile(file.path), own) << file.path;
    }
  }
  EXPECT_EQ(paths.size(), 6u * kRounds);
  std::size_t files = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::u8path(temp.path()))) {
    files += entry.is_regular_file() ? 1 : 0;
  }
  EXPECT_EQ(files, 6u * kRounds);
}

// A listener set mid-stream is told of the actors and headers already there, so frames that
// follow join a take at once.
TEST(TakeRecorderOnAStream, AListenerSetMidStreamHearsTheCurrentActorsAndHeadersFirst) {
  std::promise<void> attached;
  std::shared_future<void> gate = attached.get_future().share();
  StreamSession session([gate](LoopbackServer::Connection& connection) {
    using namespace streamMessages;
    if (!connection.send(packet(actorList({{5, "dancer"}})))) return;
    StreamSession::readQueryTags(connection, 1);
    if (!connection.send(
            packet(header(5, joint("Hips", 0, 0, 0, {J::Zrotation, J::Xrotation, J::Yrotation}))) +
            packet(frame(5, {1, 2, 3})))) {
      return;
    }
    if (gate.wait_for(std::chrono::seconds(10)) != std::future_status::ready) return;
    connection.send(packet(frame(5, {4, 5, 6})));
    connection.waitForClose();
  });
  ASSERT_TRUE(session.connected);
  ASSERT_TRUE(session.waitForPackets(3));
  TakeRecorder recorder;
  session.process.setListener(&recorder);
  attached.set_value();
  ASSERT_TRUE(session.waitForPackets(4));
  session.process.setListener(nullptr);
  const std::vector<TakeRecorder::Take> takes = recorder.finish(30);
  ASSERT_EQ(takes.size(), 1u);
  EXPECT_EQ(takes[0].actor, "dancer");
  EXPECT_EQ(takes[0].hierarchy.rfind("HIERARCHY\nROOT Hips\n", 0), 0u);
  ASSERT_EQ(takes[0].frameCount(), 1u);
  EXPECT_EQ(std::vector<float>(takes[0].frame(0), takes[0].frame(0) + 3),
            (std::vector<float>{4, 5, 6}));
}

// What a source at fps frames a second recorded over loopback gives: it sends 1.5 s of frames on
// time, stalls for 1.5 s, sends its backlog in one piece and then 2 s on time again. Frame i holds
// i. The repeat step runs it under stress-ng too, where the receive thread spreads the backlog.
struct PacedTake {
  bool received = false;
  std::vector<TakeRecorder::Take> takes;
  int frames = 0;
};

PacedTake recordPacedSource(double fps) {
  PacedTake result;
  const int frames = static_cast<int>(fps * 5);
  result.frames = frames;
  std::promise<void> listening;
  std::shared_future<void> gate = listening.get_future().share();
  std::promise<void> sent;
  std::future<void> sentAll = sent.get_future();
  StreamSession session([gate, fps, frames, &sent](LoopbackServer::Connection& connection) {
    using namespace streamMessages;
    if (!connection.send(packet(actorList({{5, "paced"}})))) return;
    StreamSession::readQueryTags(connection, 1);
    if (!connection.send(
            packet(header(5, joint("A", 0, 0, 0, {J::Xrotation, J::Yrotation, J::Zrotation}))))) {
      return;
    }
    if (gate.wait_for(std::chrono::seconds(10)) != std::future_status::ready) return;
    const Clock::time_point start = Clock::now();
    const auto due = [start](double seconds) {
      return start +
             std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    };
    std::string backlog;
    for (int i = 0; i < frames; ++i) {
      const std::string bytes = packet(frame(5, {static_cast<float>(i), 0, 0}));
      if (i / fps >= 1.5 && i / fps < 3) {
        backlog += bytes;
        continue;
      }
      // The source's own clock paces it: a late wake-up sends at once, catching up. The
      // backlog goes as fast as it can, a frame at a time.
      if (!backlog.empty()) {
        std::this_thread::sleep_until(due(3));
        if (!connection.send(backlog, bytes.size())) return;
        backlog.clear();
      }
      std::this_thread::sleep_until(due(i / fps));
      if (!connection.send(bytes)) return;
    }
    sent.set_value();
    connection.waitForClose();
  });
  if (!session.connected || !session.waitForPackets(2)) return result;
  TakeRecorder recorder;
  session.process.setListener(&recorder);
  listening.set_value();
  const bool done = sentAll.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
  result.received = done && session.waitForPackets(2 + static_cast<std::uint64_t>(frames));
  session.process.setListener(nullptr);
  result.takes = recorder.finish(0);
  return result;
}

// Every frame keyed within a few slots of its own (frame i at slot i), however late the loaded
// machine handed over the first frame or the backlog's end, and at the source's rate.
TEST(TakeRecorderOnAStream, AStreamThatStallsAndCatchesUpKeepsItsRate) {
  std::vector<std::future<PacedTake>> recorded;
  const double rates[] = {30, 60, 120};
  for (const double fps : rates) {
    recorded.push_back(std::async(std::launch::async, recordPacedSource, fps));
  }
  for (std::size_t r = 0; r < recorded.size(); ++r) {
    SCOPED_TRACE(std::to_string(static_cast<int>(rates[r])) + " frames/s");
    const PacedTake paced = recorded[r].get();
    ASSERT_TRUE(paced.received);
    ASSERT_EQ(paced.takes.size(), 1u);
    const TakeRecorder::Take& take = paced.takes[0];
    EXPECT_EQ(take.framesPerSecond, rates[r]);
    ASSERT_EQ(take.frameCount(), static_cast<std::size_t>(paced.frames));
    ASSERT_EQ(take.runs.size(), 2u);
    for (const TakeRecorder::Run& run : take.runs) {
      EXPECT_EQ(take.frame(run.first)[0], static_cast<float>(run.first));
      EXPECT_NEAR(static_cast<double>(run.slot), static_cast<double>(run.first), 3.0) << run.first;
    }
  }
}

}  // namespace
