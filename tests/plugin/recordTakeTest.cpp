// "marvikMocapRecord" through the module loaded into the host, against a loopback server: takes
// recorded from the stream and built as the "BVH" translator imports files. The packets are built
// here with the message classes, beside the module's own copy of them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "BvhActor.h"
#include "host/HostScene.h"
#include "host/Interrupts.h"
#include "host/Plugins.h"
#include "plugin/ModuleTest.h"
#include "support/LoopbackServer.h"
#include "support/Platform.h"
#include "support/StreamMessages.h"
#include "support/StreamSession.h"
#include "support/TempDirectory.h"
#include "support/TextFiles.h"

namespace {

using Clock = std::chrono::steady_clock;
using streamMessages::actorList;
using streamMessages::chain;
using streamMessages::frame;
using streamMessages::header;
using streamMessages::packet;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::chrono::seconds kTimeout(10);
const double kTick = 1.0 / 141120000;
constexpr double kPi = 3.14159265358979323846;
const std::string kSample = std::string(EXAMPLES_DIR) + "/humanoid.bvh";

MStatus record(const std::vector<std::string>& args) {
  return host::runCommand("marvikMocapRecord", args);
}

std::string query() {
  if (!record({"-query"})) return "query failed";
  return host::lastCommandResult();
}

// Runs "marvikMocapRecord -query" until its result is expected; false after the time-out.
bool waitForQuery(const std::string& expected) {
  const auto deadline = Clock::now() + kTimeout;
  while (Clock::now() < deadline) {
    const std::string result = query();
    if (result == expected || result.rfind(expected + " ", 0) == 0) return true;
    std::this_thread::yield();
  }
  return false;
}

// Runs "marvikMocapStatus" until its result holds text; false after the time-out.
bool waitForStatus(const std::string& text) {
  const auto deadline = Clock::now() + kTimeout;
  while (Clock::now() < deadline) {
    if (host::runCommand("marvikMocapStatus") &&
        host::lastCommandResult().find(text) != std::string::npos) {
      return true;
    }
    std::this_thread::yield();
  }
  return false;
}

// The scene's nodes below the top transform `top` as sceneJson writes them, one a line: the
// joints and the curves that drive them, with the top's name replaced by "TOP" and the curves'
// own names (numbered apart between skeletons) left out. Two skeletons with the same joints
// and the same keys, to the tick, give the same lines.
std::vector<std::string> skeletonOf(const std::string& top) {
  std::vector<std::string> lines;
  std::istringstream json(host::sceneJson());
  std::string line;
  const std::string below = "|" + top + "|";
  while (std::getline(json, line)) {
    const bool joint = line.find("\"path\": \"" + below) != std::string::npos;
    const bool curve = line.find("\"drives\": \"" + below) != std::string::npos;
    if (!joint && !curve) continue;
    if (curve) line.erase(0, line.find("\"type\""));
    // The scene's last node has no comma after it.
    if (line.back() == ',') line.pop_back();
    for (const std::string& name : {below, "\"|" + top + "\""}) {
      const std::string renamed = name.front() == '|' ? "|TOP|" : "\"|TOP\"";
      for (std::size_t at; (at = line.find(name)) != std::string::npos;) {
        line.replace(at, name.size(), renamed);
      }
    }
    lines.push_back(line);
  }
  return lines;
}

// The keys of a curve driving plug ("|top|joint.attribute"), as sceneJson writes them.
std::string keysOf(const std::string& plug) {
  std::istringstream json(host::sceneJson());
  std::string line;
  while (std::getline(json, line)) {
    if (line.find("\"drives\": \"" + plug + "\"") == std::string::npos) continue;
    const std::size_t keys = line.find("\"keys\": ") + 8;
    if (line.compare(keys, 2, "[]") == 0) return "[]";
    return line.substr(keys, line.find("]]", keys) + 2 - keys);
  }
  return "no curve";
}

// The keys of a rotate curve (radians) in degrees, to 1e-9.
std::vector<std::pair<double, double>> degreesOf(const std::string& plug);

// sceneJson's form of a key list [[seconds, value], ...]: numbers in their shortest form.
std::string keyList(const std::vector<std::pair<double, double>>& keys) {
  std::string text = "[";
  for (const auto& key : keys) {
    char time[32];
    char value[32];
    text += text.size() > 1 ? ", [" : "[";
    text.append(time, std::to_chars(time, time + sizeof time, key.first).ptr);
    text += ", ";
    text.append(value, std::to_chars(value, value + sizeof value, key.second).ptr);
    text += "]";
  }
  return text + "]";
}

// The keys of keyList's form.
std::vector<std::pair<double, double>> parseKeys(const std::string& text) {
  std::vector<std::pair<double, double>> keys;
  const char* at = text.c_str();
  double time = 0;
  double value = 0;
  int used = 0;
  while ((at = std::strstr(at, "[")) != nullptr) {
    if (std::sscanf(at, "[%lf, %lf]%n", &time, &value, &used) == 2) {
      keys.emplace_back(time, value);
      at += used;
    } else {
      ++at;
    }
  }
  return keys;
}

// A chain actor's frame: value k is base + k.
std::vector<float> chainFrame(int joints, float base) {
  std::vector<float> values(static_cast<std::size_t>(6 + 3 * (joints - 1)));
  for (std::size_t k = 0; k < values.size(); ++k) values[k] = base + static_cast<float>(k);
  return values;
}

std::vector<std::pair<double, double>> degreesOf(const std::string& plug) {
  std::vector<std::pair<double, double>> keys = parseKeys(keysOf(plug));
  for (auto& key : keys) key.second = std::round(key.second * 180 / kPi * 1e9) / 1e9;
  return keys;
}

bool passed(const std::shared_future<void>& gate) {
  return gate.wait_for(kTimeout) == std::future_status::ready;
}

class RecordTake : public moduletest::ModuleTest {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    ASSERT_NE(temp.path(), "");
    for (const char* variable : {"HOME", "USERPROFILE"}) {
      const char* value = std::getenv(variable);
      homes.emplace_back(variable, value == nullptr ? "" : value);
    }
    // Recovery folders go to the system's temporary folder, else the home folder: here, this
    // test's own.
    const std::string home = temp.path() + "/home";
    std::filesystem::create_directory(std::filesystem::u8path(home));
    for (const char* variable : {"HOME", "USERPROFILE"}) support::setEnvironment(variable, home);
    for (const char* variable : {"TMPDIR", "TMP", "TEMP"}) {
      support::setEnvironment(variable, temp.path());
    }
    ASSERT_TRUE(host::createNode("netDevice", "device"));
    ASSERT_TRUE(host::setAttribute("device.inputPort", std::to_string(server.port())));
  }
  void TearDown() override {
    for (std::promise<void>* gate : {&first, &second}) {
      try {
        gate->set_value();
      } catch (const std::future_error&) {
      }
    }
    if (query() != "idle") record({"-cancel"});
    ModuleTest::TearDown();
    server.join();
    for (const auto& home : homes) support::setEnvironment(home.first, home.second);
  }

  // Serves actors, each with a one-joint header, then, once gate opens, frames frames of each:
  // frame k of the actor tagged t is chainFrame(1, t + 100 k).
  void serveFrames(const std::vector<std::pair<std::uint32_t, std::string>>& actors, int frames,
                   const std::shared_future<void>& gate,
                   const BrexPlugs::BVH_JOIN& root = chain(1)) {
    server.serve([actors, frames, gate, root](LoopbackServer::Connection& connection) {
      if (!connection.send(packet(actorList(actors)))) return;
      StreamSession::readQueryTags(connection, static_cast<int>(actors.size()));
      std::string headers;
      for (const auto& actor : actors) headers += packet(header(actor.first, root));
      if (!connection.send(headers) || !passed(gate)) return;
      std::string bytes;
      for (int k = 0; k < frames; ++k) {
        for (const auto& actor : actors) {
          bytes +=
              packet(frame(actor.first, chainFrame(1, static_cast<float>(actor.first + 100 * k))));
        }
      }
      connection.send(bytes);
      connection.waitForClose();
    });
  }

  // The path a recovery warning gives for actor: what follows "<actor> in " up to ", " or the end.
  static std::string recoveredFile(const std::string& warning, const std::string& actor) {
    const std::size_t at = warning.find(" " + actor + " in ");
    if (at == std::string::npos) return "no file for " + actor;
    const std::size_t from = at + actor.size() + 5;
    return warning.substr(from, warning.find(", ", from) - from);
  }

  // Connects and waits until the server's actor list has come over this connection.
  void connect(int actors) {
    ASSERT_TRUE(host::runCommand("connectMarvikMocap"));
    ASSERT_TRUE(waitForStatus(" actors=" + std::to_string(actors) + " "));
  }

  // Taken once, before the first test points the temporary folder at its own.
  static const std::string& testTemp() {
    static const std::string folder = ::testing::TempDir();
    return folder;
  }

  TempDirectory temp{testTemp(), "recordTake"};
  LoopbackServer server{kTimeout};
  std::vector<std::pair<std::string, std::string>> homes;
  std::promise<void> first;
  std::promise<void> second;
  std::shared_future<void> firstGate = first.get_future().share();
  std::shared_future<void> secondGate = second.get_future().share();
};

// The sample served once, every frame after its header, recorded at the sample's own rate: the
// take is the sample imported, joints and keys to the tick, from the time -start ran; and the
// file -file writes imports as the same take again.
TEST_F(RecordTake, TheSampleRecordedThroughTheStreamIsTheSampleImported) {
  StreamServer::Actor actor;
  std::string error;
  ASSERT_TRUE(BvhActor::load(kSample, actor, error)) << error;
  ASSERT_EQ(actor.frames.size(), 360u);
  server.serve([this, &actor](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{1001, "humanoid"}})))) return;
    StreamSession::readQueryTags(connection, 1);
    if (!connection.send(packet(header(1001, actor.root))) || !passed(firstGate)) return;
    std::string frames;
    for (const std::vector<float>& values : actor.frames) frames += packet(frame(1001, values));
    connection.send(frames);
    connection.waitForClose();
  });
  connect(1);
  host::setCurrentTime(2.5);
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.17g", actor.framesPerSecond);
  ASSERT_TRUE(record({"-start", "-fps", rate}));
  host::setCurrentTime(7);
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=360"));
  const std::string files = temp.path() + "/takes";
  ASSERT_TRUE(record({"-stop", "-file", files}));
  EXPECT_THAT(host::lastCommandResults(),
              ElementsAre("|humanoid_take1|Hips", files + "/humanoid.bvh"));
  EXPECT_EQ(query(), "idle");

  host::setCurrentTime(2.5);
  ASSERT_TRUE(host::importFile(kSample));
  ASSERT_TRUE(host::importFile(files + "/humanoid.bvh", "BVH"));
  const std::vector<std::string> take = skeletonOf("humanoid_take1");
  ASSERT_GT(take.size(), 100u);
  // Not EXPECT_EQ: a difference would print the whole scene twice.
  EXPECT_TRUE(take == skeletonOf("humanoid"));
  EXPECT_TRUE(take == skeletonOf("humanoid1"));
  EXPECT_THAT(keysOf("|humanoid_take1|Hips.translateY"), ::testing::StartsWith("[[2.5, 97.5], "));
  EXPECT_THAT(host::errors(), ::testing::IsEmpty());
  EXPECT_THAT(host::warnings(), ::testing::IsEmpty());
}

// Two performers with skeletons of their own, streamed together, at 4 frames/s.
TEST_F(RecordTake, EachActorGetsASkeletonOfItsOwnNamedAfterIt) {
  server.serve([this](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{10, "left foot"}, {20, "2right"}})))) return;
    StreamSession::readQueryTags(connection, 2);
    if (!connection.send(packet(header(10, chain(2))) + packet(header(20, chain(4)))) ||
        !passed(firstGate)) {
      return;
    }
    std::string frames;
    for (int i = 0; i < 3; ++i) {
      frames += packet(frame(10, chainFrame(2, 100.0f * i))) +
                packet(frame(20, chainFrame(4, 1000.0f + 100.0f * i)));
    }
    connection.send(frames);
    connection.waitForClose();
  });
  connect(2);
  ASSERT_TRUE(record({"-start", "-fps", "4"}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=6"));
  ASSERT_TRUE(record({"-stop"}));
  EXPECT_THAT(host::lastCommandResults(), ElementsAre("|left_foot_take1|J0", "|_2right_take1|J0"));
  EXPECT_EQ(keysOf("|left_foot_take1|J0.translateX"), keyList({{0, 0}, {0.25, 100}, {0.5, 200}}));
  // The root's rotation channels come Z, X, Y: X is value 4.
  // Each frame turns 100 degrees on about every axis: the third is keyed as the other Euler
  // solution (X, the middle axis, mirrored), which lies nearer the second.
  EXPECT_EQ(degreesOf("|_2right_take1|J0|J1|J2|J3.rotateX"),
            (std::vector<std::pair<double, double>>{{0, 1013}, {0.25, 1113}, {0.5, 1127}}));
  // Four joints, each with three rotate curves, and the root's three translate curves.
  EXPECT_EQ(skeletonOf("_2right_take1").size(), 4u + 4u * 3 + 3);
}

// Esc during -stop's build: every skeleton built is removed and the take waits, ended, for
// another -stop (which builds it, here with its files) or -cancel; -start is refused meanwhile.
TEST_F(RecordTake, AnInterruptedBuildKeepsTheTake) {
  server.serve([this](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{10, "left foot"}, {20, "2right"}})))) return;
    StreamSession::readQueryTags(connection, 2);
    if (!connection.send(packet(header(10, chain(2))) + packet(header(20, chain(4)))) ||
        !passed(firstGate)) {
      return;
    }
    std::string frames;
    for (int i = 0; i < 3; ++i) {
      frames += packet(frame(10, chainFrame(2, 100.0f * i))) +
                packet(frame(20, chainFrame(4, 1000.0f + 100.0f * i)));
    }
    connection.send(frames);
    connection.waitForClose();
  });
  connect(2);
  ASSERT_TRUE(record({"-start", "-fps", "4"}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=6"));
  const std::string before = host::sceneJson();

  // The first actor's skeleton is whole by then, the second's half built.
  host::interruptAtProgress(0.75);
  EXPECT_FALSE(record({"-stop"}));
  EXPECT_THAT(host::lastCommandResults(), ::testing::IsEmpty());
  EXPECT_TRUE(host::lastComputation().interrupted);
  const std::string after = host::sceneJson();
  EXPECT_EQ(after.substr(after.find("\"nodes\"")), before.substr(before.find("\"nodes\"")));
  EXPECT_THAT(host::errors(),
              ElementsAre("marvikMocapRecord: -stop was cancelled (interrupted): nothing was "
                          "built and the take is kept; build it (-stop), write it (-stop -file "
                          "DIR) or drop it (-cancel)"));
  EXPECT_TRUE(waitForQuery("interrupted frames=6"));
  ASSERT_TRUE(host::runCommand("marvikMocapStatus"));
  EXPECT_THAT(host::lastCommandResult(), HasSubstr(" take=interrupted takeFrames=6 "));
  EXPECT_FALSE(record({"-start"}));
  EXPECT_THAT(host::errors().back(), HasSubstr("the take of an interrupted -stop waits"));
  host::requestInterrupt();
  EXPECT_FALSE(record({"-stop"}));
  EXPECT_EQ(host::errors().size(), 3u);
  EXPECT_TRUE(waitForQuery("interrupted frames=6"));

  const std::string files = temp.path() + "/takes";
  ASSERT_TRUE(record({"-stop", "-file", files}));
  EXPECT_THAT(host::lastCommandResults(),
              ElementsAre("|left_foot_take1|J0", "|_2right_take1|J0", files + "/left_foot.bvh",
                          files + "/2right.bvh"));
  EXPECT_EQ(keysOf("|left_foot_take1|J0.translateX"), keyList({{0, 0}, {0.25, 100}, {0.5, 200}}));
  EXPECT_EQ(skeletonOf("_2right_take1").size(), 4u + 4u * 3 + 3);
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(files + "/2right.bvh")));
  EXPECT_EQ(query(), "idle");
  EXPECT_EQ(host::errors().size(), 3u);
}

// Frames before the actor's header are dropped with a warning; another skeleton for the actor
// starts its second take, from the slot of its first frame's arrival.
TEST_F(RecordTake, AHeaderChangeStartsTheActorsNextTake) {
  server.serve([this](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{10, "dancer"}})))) return;
    StreamSession::readQueryTags(connection, 1);
    if (!passed(firstGate)) return;
    connection.send(packet(frame(10, chainFrame(2, 1))) + packet(frame(10, chainFrame(2, 2))) +
                    packet(header(10, chain(2))) + packet(frame(10, chainFrame(2, 10))) +
                    packet(frame(10, chainFrame(2, 20))) + packet(header(10, chain(3))) +
                    packet(frame(10, chainFrame(3, 30))));
    if (!passed(secondGate)) return;
    connection.send(packet(frame(10, chainFrame(3, 40))));
    connection.waitForClose();
  });
  connect(1);
  host::setCurrentTime(1);
  ASSERT_TRUE(record({"-start", "-fps", "4"}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=3"));
  ASSERT_TRUE(record({"-stop"}));
  EXPECT_THAT(host::lastCommandResults(), ElementsAre("|dancer_take1|J0", "|dancer_take2|J0"));
  EXPECT_EQ(keysOf("|dancer_take1|J0.translateX"), keyList({{1, 10}, {1.25, 20}}));
  EXPECT_EQ(degreesOf("|dancer_take2|J0|J1|J2.rotateZ"),
            (std::vector<std::pair<double, double>>{{1, 39}}));
  EXPECT_THAT(host::warnings(),
              ElementsAre("marvikMocapRecord: 2 frames of dancer came before its skeleton "
                          "header and were dropped"));
  // The scene's next take of the actor is numbered on.
  ASSERT_TRUE(record({"-start"}));
  second.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=1"));
  ASSERT_TRUE(record({"-stop"}));
  EXPECT_THAT(host::lastCommandResults(), ElementsAre("|dancer_take3|J0"));
  EXPECT_EQ(keysOf("|dancer_take3|J0.translateX"), keyList({{1, 40}}));
}

// The connection ends after five frames and comes back (the client dials again after 250 ms):
// the take goes on, and the frames after the reconnect are keyed at their arrival, leaving the
// gap. At 100 frames/s the gap spans at least 25 frames.
TEST_F(RecordTake, AReconnectLeavesItsGapInTheKeys) {
  Clock::time_point sentFirst;
  Clock::time_point sentSecond;
  std::promise<void> firstClosed;
  server.serve([&](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{10, "runner"}})))) return;
    StreamSession::readQueryTags(connection, 1);
    if (!connection.send(packet(header(10, chain(1)))) || !passed(firstGate)) return;
    std::string frames;
    for (int i = 0; i < 5; ++i) frames += packet(frame(10, chainFrame(1, static_cast<float>(i))));
    sentFirst = Clock::now();
    connection.send(frames);
    passed(secondGate);
  });
  connect(1);
  ASSERT_TRUE(record({"-start", "-fps", "100"}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=5"));
  const Clock::time_point seenFirst = Clock::now();
  second.set_value();
  server.join();

  server.serve([&](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{10, "runner"}})))) return;
    StreamSession::readQueryTags(connection, 1);
    if (!connection.send(packet(header(10, chain(1))))) return;
    std::string frames;
    for (int i = 5; i < 10; ++i) frames += packet(frame(10, chainFrame(1, static_cast<float>(i))));
    sentSecond = Clock::now();
    connection.send(frames);
    connection.waitForClose();
  });
  ASSERT_TRUE(waitForQuery("recording frames=10"));
  const Clock::time_point seenSecond = Clock::now();
  ASSERT_TRUE(record({"-stop"}));
  EXPECT_THAT(host::lastCommandResults(), ElementsAre("|runner_take1|J0"));

  // Frame 0 arrived between sentFirst and seenFirst, frame 5 between sentSecond and seenSecond.
  const std::vector<std::pair<double, double>> keys =
      parseKeys(keysOf("|runner_take1|J0.translateX"));
  ASSERT_EQ(keys.size(), 10u);
  const std::vector<std::pair<double, double>> before = {
      {0, 0}, {0.01, 1}, {0.02, 2}, {0.03, 3}, {0.04, 4}};
  const std::vector<std::pair<double, double>> firstFive(keys.begin(), keys.begin() + 5);
  EXPECT_EQ(firstFive, before);
  // Keys are a BVH file's frame time apart, which it reads as a 32-bit float.
  const double step = static_cast<double>(0.01f);
  const double slot = std::round(keys[5].first / step);
  EXPECT_NEAR(keys[5].first, slot * step, kTick);
  const auto slots = [](Clock::duration span) {
    return std::chrono::duration<double>(span).count() * 100;
  };
  EXPECT_GE(slot, 25);
  EXPECT_GE(slot, std::floor(slots(sentSecond - seenFirst)));
  EXPECT_LE(slot, std::ceil(slots(seenSecond - sentFirst)));
  for (std::size_t i = 5; i < keys.size(); ++i) {
    EXPECT_EQ(keys[i].second, static_cast<double>(i));
    if (i > 5) {
      EXPECT_NEAR(keys[i].first - keys[i - 1].first, step, kTick) << i;
    }
  }
}

// A root turning 20 degrees a frame about Z across 180 (the stream gives -160 after 180), with a
// reconnect between: the run after it keys on from the run before, never the long way round.
TEST_F(RecordTake, RotateKeysStayContinuousAcrossTheTakesRuns) {
  const auto serveFrames = [this](int from, int to, const std::shared_future<void>& gate) {
    server.serve([from, to, gate](LoopbackServer::Connection& connection) {
      if (!connection.send(packet(actorList({{10, "runner"}})))) return;
      StreamSession::readQueryTags(connection, 1);
      if (!connection.send(packet(header(10, chain(1)))) || !passed(gate)) return;
      std::string frames;
      for (int i = from; i < to; ++i) {
        float z = 140.0f + 20.0f * static_cast<float>(i);
        if (z > 180) z -= 360;
        frames += packet(frame(10, {static_cast<float>(i), 0, 0, z, 5, -5}));
      }
      connection.send(frames);
      connection.waitForClose();
    });
  };
  serveFrames(0, 3, firstGate);
  connect(1);
  ASSERT_TRUE(record({"-start", "-fps", "100"}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=3"));
  ASSERT_TRUE(host::runCommand("disconnectMarvikMocap"));
  server.join();
  second.set_value();
  serveFrames(3, 5, secondGate);
  connect(1);
  ASSERT_TRUE(waitForQuery("recording frames=5"));
  ASSERT_TRUE(record({"-stop"}));
  const std::vector<std::pair<double, double>> keys = degreesOf("|runner_take1|J0.rotateZ");
  ASSERT_EQ(keys.size(), 5u);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(keys[i].second, 140.0 + 20.0 * static_cast<double>(i)) << i;
  }
  EXPECT_EQ(degreesOf("|runner_take1|J0.rotateX").back().second, 5.0);
}

// The artist disconnects and connects again: the take goes on in the same skeleton, its frames
// after the connect in a run of their own, never before the frames before it.
TEST_F(RecordTake, DisconnectingAndConnectingAgainContinuesTheTake) {
  const auto serveFrames = [this](int from, int to, const std::shared_future<void>& gate) {
    server.serve([from, to, gate](LoopbackServer::Connection& connection) {
      if (!connection.send(packet(actorList({{10, "runner"}})))) return;
      StreamSession::readQueryTags(connection, 1);
      if (!connection.send(packet(header(10, chain(1)))) || !passed(gate)) return;
      std::string frames;
      for (int i = from; i < to; ++i)
        frames += packet(frame(10, chainFrame(1, static_cast<float>(i))));
      connection.send(frames);
      connection.waitForClose();
    });
  };
  serveFrames(0, 3, firstGate);
  connect(1);
  ASSERT_TRUE(record({"-start", "-fps", "100"}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=3"));
  ASSERT_TRUE(host::runCommand("disconnectMarvikMocap"));
  server.join();
  EXPECT_EQ(query().rfind("paused frames=3 ", 0), 0u);
  EXPECT_THAT(host::warnings(),
              ElementsAre("marvikMocapRecord: the stream was disconnected: the take is paused with "
                          "3 frames and records again when the stream is connected "
                          "(connectMarvikMocap)"));
  second.set_value();
  serveFrames(3, 5, secondGate);
  connect(1);
  ASSERT_TRUE(waitForQuery("recording frames=5"));
  ASSERT_TRUE(record({"-stop"}));
  EXPECT_THAT(host::lastCommandResults(), ElementsAre("|runner_take1|J0"));
  const std::vector<std::pair<double, double>> keys =
      parseKeys(keysOf("|runner_take1|J0.translateX"));
  ASSERT_EQ(keys.size(), 5u);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(keys[i].second, static_cast<double>(i));
    if (i > 0) {
      EXPECT_GE(keys[i].first - keys[i - 1].first, static_cast<double>(0.01f) - kTick) << i;
    }
  }
  EXPECT_NEAR(keys[2].first, 2 * static_cast<double>(0.01f), kTick);
}

// The limit is 3 frames of 9 values: the fourth stops the take, which says so once, and -stop
// builds what it held.
TEST_F(RecordTake, ATakeAtItsLimitStopsWithAWarningAndKeepsWhatItHolds) {
  server.serve([this](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{10, "a"}})))) return;
    StreamSession::readQueryTags(connection, 1);
    if (!connection.send(packet(header(10, chain(2)))) || !passed(firstGate)) return;
    std::string frames;
    for (int i = 0; i < 6; ++i) frames += packet(frame(10, chainFrame(2, static_cast<float>(i))));
    connection.send(frames);
    connection.waitForClose();
  });
  connect(1);
  char limit[32];
  std::snprintf(limit, sizeof limit, "%.17g", 3 * 9 * 4 / (1024.0 * 1024.0));
  ASSERT_TRUE(record({"-start", "-fps", "10", "-memoryLimit", limit}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("full frames=3"));
  ASSERT_TRUE(waitForStatus(" take=full takeFrames=3 takeSeconds="));
  EXPECT_THAT(host::warnings(),
              ElementsAre(HasSubstr("marvikMocapRecord: the take reached its limit of ")));
  EXPECT_THAT(host::warnings()[0], HasSubstr(" MB after 3 frames and records no more; -stop "
                                             "builds what it holds"));
  ASSERT_FALSE(record({"-start"}));
  ASSERT_TRUE(record({"-stop"}));
  EXPECT_EQ(keysOf("|a_take1|J0.translateX"), keyList({{0, 0}, {0.1, 1}, {0.2, 2}}));
  EXPECT_EQ(host::warnings().size(), 1u);
}

// Deleting the node ends the take into BVH files in a dated folder in the temporary folder.
TEST_F(RecordTake, DeletingTheNodeWritesTheTakeIntoARecoveryFolder) {
  server.serve([this](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{10, "a"}})))) return;
    StreamSession::readQueryTags(connection, 1);
    if (!connection.send(packet(header(10, chain(1)))) || !passed(firstGate)) return;
    connection.send(packet(frame(10, {1, 2, 3, 4, 5, 6})) +
                    packet(frame(10, {7, 8, 9, 10, 11, 12})));
    connection.waitForClose();
  });
  connect(1);
  ASSERT_TRUE(record({"-start", "-fps", "50"}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=2"));
  ASSERT_TRUE(host::deleteNode("device"));
  EXPECT_EQ(query(), "idle");
  ASSERT_EQ(host::warnings().size(), 1u);
  const std::string warning = host::warnings()[0];
  const std::string prefix =
      "marvikMocapRecord: the netDevice node was deleted during a take and cannot be built any "
      "more: its frames are kept, a in ";
  ASSERT_EQ(warning.rfind(prefix, 0), 0u) << warning;
  const std::filesystem::path folder =
      std::filesystem::u8path(warning.substr(prefix.size())).parent_path();
  EXPECT_EQ(folder.parent_path(), std::filesystem::u8path(temp.path()));
  // "marvikMocap-take-yyyy-mm-dd-hhmmss"; no regular expression: GoogleTest's on Windows has no
  // character classes.
  const std::string name = folder.filename().u8string();
  const std::string shape = "marvikMocap-take-0000-00-00-000000";
  bool shaped = name.size() == shape.size();
  for (std::size_t i = 0; shaped && i < shape.size(); ++i) {
    shaped = shape[i] == '0' ? std::isdigit(static_cast<unsigned char>(name[i])) != 0
                             : name[i] == shape[i];
  }
  EXPECT_TRUE(shaped) << name;
  EXPECT_EQ(readFile((folder / "a.bvh").u8string()),
            "HIERARCHY\nROOT J0\n{\nOFFSET 0 0 0\n"
            "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation \n}\n"
            "MOTION\nFrames: 2\nFrame Time: 0.02\n1 2 3 4 5 6\n7 8 9 10 11 12\n");
  EXPECT_FALSE(record({"-stop"}));
  EXPECT_THAT(host::listNodes("joint"), ::testing::IsEmpty());
}

// No take lost: the temporary folder is a file (TMPDIR set wrong), then a folder nothing can be
// made in (/proc, where the system has it): the take goes to the user's home folder instead.
TEST_F(RecordTake, NoTakeLostWhenTheTemporaryFolderCannotHoldIt) {
  const std::string home = temp.path() + "/home";
  const std::string notAFolder = temp.path() + "/file";
  std::ofstream(std::filesystem::u8path(notAFolder)) << "x";
  std::vector<std::string> unusable = {notAFolder};
  std::error_code failure;
  if (std::filesystem::is_directory("/proc/self", failure)) unusable.push_back("/proc");
  for (std::size_t i = 0; i < unusable.size(); ++i) {
    SCOPED_TRACE(unusable[i]);
    for (const char* variable : {"TMPDIR", "TMP", "TEMP"}) {
      support::setEnvironment(variable, unusable[i]);
    }
    if (i > 0) {
      server.join();
      ASSERT_TRUE(host::createNode("netDevice", "device"));
      ASSERT_TRUE(host::setAttribute("device.inputPort", std::to_string(server.port())));
    }
    std::promise<void> go;
    serveFrames({{10, "a"}}, 2, go.get_future().share());
    connect(1);
    ASSERT_TRUE(record({"-start", "-fps", "50"}));
    go.set_value();
    ASSERT_TRUE(waitForQuery("recording frames=2"));
    ASSERT_TRUE(host::deleteNode("device"));
    ASSERT_EQ(host::warnings().size(), i + 1);
    const std::string file = recoveredFile(host::warnings().back(), "a");
    const std::filesystem::path path = std::filesystem::u8path(file);
    EXPECT_EQ(path.parent_path().parent_path(), std::filesystem::u8path(home));
    EXPECT_EQ(readFile(file),
              "HIERARCHY\nROOT J0\n{\nOFFSET 0 0 0\n"
              "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation \n}\n"
              "MOTION\nFrames: 2\nFrame Time: 0.02\n10 11 12 13 14 15\n110 111 112 113 114 115\n");
  }
  EXPECT_THAT(host::errors(), ::testing::IsEmpty());
}

// No take lost without a word: an actor whose file no folder can hold (a name longer than a file
// name may be) is named in an error, and the other actor's file is written all the same.
TEST_F(RecordTake, NoTakeLostWithoutAnErrorNamingTheActor) {
  const std::string longName(300, 'x');
  serveFrames({{10, "a"}, {11, longName}}, 1, firstGate);
  connect(2);
  ASSERT_TRUE(record({"-start", "-fps", "50"}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=2"));
  ASSERT_TRUE(host::deleteNode("device"));
  ASSERT_EQ(host::warnings().size(), 1u);
  const std::string file = recoveredFile(host::warnings()[0], "a");
  EXPECT_EQ(std::filesystem::u8path(file).parent_path().parent_path(),
            std::filesystem::u8path(temp.path()));
  EXPECT_THAT(readFile(file),
              ::testing::EndsWith("Frames: 1\nFrame Time: 0.02\n10 11 12 13 14 15\n"));
  ASSERT_EQ(host::errors().size(), 1u);
  EXPECT_THAT(
      host::errors()[0],
      ::testing::StartsWith("marvikMocapRecord: the netDevice node was deleted during a take "
                            "and the frames of " +
                            longName + " could not be written ("));
  EXPECT_THAT(host::errors()[0], ::testing::EndsWith("): they are lost"));
}

// No take lost when its build fails (a joint that turns about one axis twice, which has no rotate
// order for Maya to take): -stop says so and keeps the frames, which a -stop -file saves; -start
// refuses until then, -cancel lets them go.
TEST_F(RecordTake, NoTakeLostWhenItsBuildFails) {
  using J = BrexPlugs::BVH_JOIN;
  serveFrames({{10, "a"}}, 2, firstGate,
              streamMessages::joint("a", 0, 0, 0,
                                    {J::Xposition, J::Yposition, J::Zposition, J::Xrotation,
                                     J::Xrotation, J::Yrotation}));
  connect(1);
  ASSERT_TRUE(record({"-start", "-fps", "10"}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=2"));
  EXPECT_FALSE(record({"-stop"}));
  ASSERT_EQ(host::errors().size(), 1u);
  EXPECT_THAT(host::errors()[0], ::testing::StartsWith("marvikMocapRecord: the take of a could not "
                                                       "be built: "));
  EXPECT_THAT(host::errors()[0],
              ::testing::EndsWith("; its frames are kept: -stop builds it again, "
                                  "-stop -file DIR saves it"));
  EXPECT_EQ(query().rfind("unbuilt frames=2 ", 0), 0u) << query();
  EXPECT_FALSE(record({"-start"}));
  EXPECT_EQ(host::errors().back(),
            "marvikMocapRecord: the last take could not be built: build it (-stop), save it "
            "(-stop -file DIR) or let it go (-cancel) first");

  // The failed command's result reaches no script: its error names the file it wrote.
  const std::string files = temp.path() + "/saved";
  EXPECT_FALSE(record({"-stop", "-file", files}));
  EXPECT_THAT(host::lastCommandResults(), ::testing::IsEmpty());
  EXPECT_EQ(host::errors().back(),
            "marvikMocapRecord: -stop failed, but wrote " + files + "/a.bvh");
  EXPECT_THAT(readFile(files + "/a.bvh"),
              ::testing::EndsWith("MOTION\nFrames: 2\nFrame Time: 0.1\n10 11 12 13 14 15\n"
                                  "110 111 112 113 114 115\n"));
  EXPECT_EQ(query().rfind("unbuilt frames=2 ", 0), 0u);
  ASSERT_TRUE(record({"-cancel"}));
  EXPECT_EQ(query(), "idle");
}

// No take lost when its files cannot be written (an actor's name longer than a file name may
// be, which fails for root too): -stop fails saying why, names the file it did write, builds
// nothing and keeps the take, which a -stop builds; a folder that cannot be made keeps it too.
TEST_F(RecordTake, NoTakeLostWhenItsFilesCannotBeWritten) {
  const std::string longName(300, 'x');
  serveFrames({{10, "a"}, {11, longName}}, 2, firstGate);
  connect(2);
  ASSERT_TRUE(record({"-start", "-fps", "10"}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=4"));
  const std::string before = host::sceneJson();
  const std::string files = temp.path() + "/takes";
  EXPECT_FALSE(record({"-stop", "-file", files}));
  EXPECT_THAT(host::lastCommandResults(), ::testing::IsEmpty());
  ASSERT_EQ(host::errors().size(), 1u);
  EXPECT_THAT(host::errors()[0],
              ::testing::StartsWith("marvikMocapRecord: the take could not be written into " +
                                    files + " (" + longName + ": cannot write " + files + "/" +
                                    longName + ".bvh: "));
  EXPECT_THAT(host::errors()[0],
              ::testing::EndsWith("); written: " + files +
                                  "/a.bvh; nothing was built and the take is kept: -stop -file "
                                  "DIR saves it elsewhere, -stop builds it, -cancel lets it go"));
  EXPECT_THAT(readFile(files + "/a.bvh"), ::testing::EndsWith("\n10 11 12 13 14 15\n"
                                                              "110 111 112 113 114 115\n"));
  const std::string after = host::sceneJson();
  EXPECT_EQ(after.substr(after.find("\"nodes\"")), before.substr(before.find("\"nodes\"")));
  EXPECT_EQ(query().rfind("unbuilt frames=4 ", 0), 0u) << query();
  EXPECT_FALSE(record({"-start"}));

  const std::string notAFolder = temp.path() + "/file";
  std::ofstream(std::filesystem::u8path(notAFolder)) << "x";
  EXPECT_FALSE(record({"-stop", "-file", notAFolder + "/takes"}));
  EXPECT_EQ(query().rfind("unbuilt frames=4 ", 0), 0u) << query();

  ASSERT_TRUE(record({"-stop"}));
  EXPECT_THAT(host::lastCommandResults(), ElementsAre("|a_take1|J0", "|" + longName + "_take1|J0"));
  EXPECT_EQ(keysOf("|a_take1|J0.translateX"), keyList({{0, 10}, {0.1, 110}}));
  EXPECT_EQ(query(), "idle");
  EXPECT_EQ(host::errors().size(), 3u);
}

// No take lost to the next: a second -stop -file into the same folder writes beside the first
// take's file, and each result names the file it wrote.
TEST_F(RecordTake, NoTakeLostToTheNextTakesFile) {
  server.serve([this](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{10, "a"}})))) return;
    StreamSession::readQueryTags(connection, 1);
    if (!connection.send(packet(header(10, chain(1)))) || !passed(firstGate)) return;
    if (!connection.send(packet(frame(10, chainFrame(1, 1)))) || !passed(secondGate)) return;
    connection.send(packet(frame(10, chainFrame(1, 2))));
    connection.waitForClose();
  });
  connect(1);
  const std::string files = temp.path() + "/takes";
  ASSERT_TRUE(record({"-start", "-fps", "10"}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=1"));
  ASSERT_TRUE(record({"-stop", "-file", files}));
  EXPECT_THAT(host::lastCommandResults(), ElementsAre("|a_take1|J0", files + "/a.bvh"));
  ASSERT_TRUE(record({"-start", "-fps", "10"}));
  second.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=1"));
  ASSERT_TRUE(record({"-stop", "-file", files}));
  EXPECT_THAT(host::lastCommandResults(), ElementsAre("|a_take2|J0", files + "/a-2.bvh"));
  EXPECT_THAT(readFile(files + "/a.bvh"), ::testing::EndsWith("\n1 2 3 4 5 6\n"));
  EXPECT_THAT(readFile(files + "/a-2.bvh"), ::testing::EndsWith("\n2 3 4 5 6 7\n"));
}

// Six performers: the sixth has no live block but is recorded; then a seventh with a lower tag
// joins, which moves the sixth further out of the blocks, and every take goes on.
TEST_F(RecordTake, EveryActorIsRecordedAndAJoinerEndsNoTake) {
  const std::vector<std::pair<std::uint32_t, std::string>> six = {{20, "a"}, {30, "b"}, {40, "c"},
                                                                  {50, "d"}, {60, "e"}, {70, "f"}};
  server.serve([this, six](LoopbackServer::Connection& connection) {
    std::vector<std::pair<std::uint32_t, std::string>> actors = six;
    for (int round = 0; round < 2; ++round) {
      if (round == 1) actors.insert(actors.begin(), {10, "joiner"});
      if (!connection.send(packet(actorList(actors)))) return;
      StreamSession::readQueryTags(connection, static_cast<int>(actors.size()));
      std::string bytes;
      for (const auto& actor : actors) bytes += packet(header(actor.first, chain(1)));
      if (!connection.send(bytes) || !passed(round == 0 ? firstGate : secondGate)) return;
      bytes.clear();
      for (const auto& actor : actors) {
        bytes += packet(
            frame(actor.first, chainFrame(1, static_cast<float>(actor.first + 100 * round))));
      }
      if (!connection.send(bytes)) return;
    }
    connection.waitForClose();
  });
  connect(5);
  ASSERT_TRUE(record({"-start", "-fps", "10"}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=6"));
  second.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=13"));
  ASSERT_TRUE(record({"-stop"}));
  EXPECT_THAT(host::lastCommandResults(),
              ElementsAre("|a_take1|J0", "|b_take1|J0", "|c_take1|J0", "|d_take1|J0", "|e_take1|J0",
                          "|f_take1|J0", "|joiner_take1|J0"));
  for (const auto& actor : six) {
    const std::vector<std::pair<double, double>> keys =
        parseKeys(keysOf("|" + actor.second + "_take1|J0.translateX"));
    ASSERT_EQ(keys.size(), 2u) << actor.second;
    EXPECT_EQ(keys[0].second, actor.first);
    EXPECT_EQ(keys[1].second, actor.first + 100);
  }
  EXPECT_THAT(host::warnings(), ::testing::IsEmpty());
}

// Another netDevice node deleted during a take closes the shared stream: the take says it is
// paused, and keeps what it holds for -stop.
TEST_F(RecordTake, DeletingAnotherDeviceNodePausesTheTakeWithAWarning) {
  serveFrames({{10, "a"}}, 2, firstGate);
  connect(1);
  ASSERT_TRUE(record({"-start", "-fps", "10"}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=2"));
  ASSERT_TRUE(host::createNode("netDevice", "device2"));
  ASSERT_TRUE(host::deleteNode("device2"));
  EXPECT_EQ(query().rfind("paused frames=2 ", 0), 0u) << query();
  EXPECT_THAT(host::warnings(),
              ElementsAre("marvikMocapRecord: a netDevice node was deleted and closed the stream: "
                          "the take is paused with 2 frames and records again when the stream is "
                          "connected (connectMarvikMocap)"));
  ASSERT_TRUE(record({"-stop"}));
  EXPECT_EQ(keysOf("|a_take1|J0.translateX"), keyList({{0, 10}, {0.1, 110}}));
}

// Maya keeps an undoably deleted node's object in the undo queue and destroys it when the plug-in
// is unloaded: the take it fed goes into a recovery folder then.
TEST_F(RecordTake, UnloadingAfterAnUndoableDeleteRecoversTheTake) {
  serveFrames({{10, "a"}}, 2, firstGate);
  connect(1);
  ASSERT_TRUE(record({"-start", "-fps", "50"}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=2"));
  ASSERT_TRUE(host::deleteNodeUndoably("device"));
  EXPECT_THAT(host::warnings(), ::testing::IsEmpty());
  ASSERT_TRUE(host::unloadPlugin("marvikMocap"));
  ASSERT_EQ(host::warnings().size(), 1u);
  EXPECT_EQ(host::warnings()[0].rfind("marvikMocapRecord: the netDevice node was deleted during a "
                                      "take and cannot be built any more: its frames are kept, a "
                                      "in ",
                                      0),
            0u)
      << host::warnings()[0];
  const std::string file = recoveredFile(host::warnings()[0], "a");
  EXPECT_EQ(std::filesystem::u8path(file).parent_path().parent_path(),
            std::filesystem::u8path(temp.path()));
  EXPECT_THAT(readFile(file), ::testing::EndsWith("10 11 12 13 14 15\n110 111 112 113 114 115\n"));
  ASSERT_TRUE(host::loadPlugin(moduletest::modulePath()));
}

// Two actors whose names Maya makes the same get skeletons told apart by their tags; a take that
// stopped at its limit and is cancelled gets no advice on building it.
TEST_F(RecordTake, NamesAndMessagesTellEachTakeApart) {
  server.serve([this](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{10, "a b"}, {11, "a-b"}})))) return;
    StreamSession::readQueryTags(connection, 2);
    if (!connection.send(packet(header(10, chain(1))) + packet(header(11, chain(1)))) ||
        !passed(firstGate)) {
      return;
    }
    if (!connection.send(packet(frame(10, chainFrame(1, 10))) +
                         packet(frame(11, chainFrame(1, 11)))) ||
        !passed(secondGate)) {
      return;
    }
    std::string frames;
    for (int k = 0; k < 3; ++k) frames += packet(frame(10, chainFrame(1, 10.0f * (k + 2))));
    connection.send(frames);
    connection.waitForClose();
  });
  connect(2);
  ASSERT_TRUE(record({"-start", "-fps", "10"}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=2"));
  ASSERT_TRUE(record({"-stop"}));
  EXPECT_THAT(host::lastCommandResults(), ElementsAre("|a_b_10_take1|J0", "|a_b_11_take1|J0"));
  EXPECT_EQ(keysOf("|a_b_11_take1|J0.translateX"), keyList({{0, 11}}));

  char limit[32];
  std::snprintf(limit, sizeof limit, "%.17g", 6 * 4 / (1024.0 * 1024.0));
  ASSERT_TRUE(host::setAttribute("device.live", true));
  ASSERT_TRUE(record({"-start", "-fps", "10", "-memoryLimit", limit}));
  second.set_value();
  // Seen live, with no command between that would show the take's warnings first.
  ASSERT_TRUE(moduletest::waitForVector("device.outputTranslate01", {40, 41, 42}));
  ASSERT_TRUE(record({"-cancel"}));
  EXPECT_EQ(query(), "idle");
  EXPECT_THAT(host::warnings(), ::testing::IsEmpty());
}

TEST_F(RecordTake, ErrorsChangeNothing) {
  server.serve([this](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{10, "a"}})))) return;
    StreamSession::readQueryTags(connection, 1);
    if (!connection.send(packet(header(10, chain(1)))) || !passed(firstGate)) return;
    connection.send(packet(frame(10, {1, 2, 3, 4, 5, 6})));
    connection.waitForClose();
  });
  const std::vector<std::vector<std::string>> misuses = {
      {},
      {"-start", "-stop"},
      {"-start", "-fps"},
      {"-start", "-fps", "0"},
      {"-start", "-fps", "fast"},
      {"-start", "-memoryLimit", "-1"},
      {"-start", "-file", "x"},
      {"-stop", "-fps", "30"},
      {"-begin"},
  };
  for (const auto& args : misuses) EXPECT_FALSE(record(args)) << testing::PrintToString(args);
  EXPECT_EQ(host::errors().size(), misuses.size());
  EXPECT_EQ(host::errors().back(),
            "marvikMocapRecord: Invalid flag '-begin'; \"help marvikMocapRecord\" lists its "
            "flags");

  // Not connected yet; then no node at all.
  EXPECT_FALSE(record({"-start"}));
  EXPECT_EQ(host::errors().back(),
            "marvikMocapRecord: the netDevice node is not connected: connect it first "
            "(connectMarvikMocap)");
  EXPECT_FALSE(record({"-stop"}));
  EXPECT_EQ(host::errors().back(), "marvikMocapRecord: no take is running: start one with -start");
  EXPECT_FALSE(record({"-cancel"}));
  EXPECT_EQ(query(), "idle");

  connect(1);
  ASSERT_TRUE(record({"-start", "-fps", "10"}));
  EXPECT_FALSE(record({"-start"}));
  EXPECT_EQ(host::errors().back(),
            "marvikMocapRecord: a take is running already: stop it (-stop) or cancel it "
            "(-cancel) first");
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=1"));
  ASSERT_TRUE(waitForStatus(" take=recording takeFrames=1 takeSeconds="));
  // A folder that cannot be made leaves the take running.
  const std::string blocker = temp.path() + "/file";
  std::ofstream(std::filesystem::u8path(blocker)) << "x";
  EXPECT_FALSE(record({"-stop", "-file", blocker + "/takes"}));
  EXPECT_THAT(host::errors().back(),
              ::testing::StartsWith("marvikMocapRecord: cannot make the folder " + blocker));
  EXPECT_TRUE(waitForQuery("recording frames=1"));
  ASSERT_TRUE(record({"-cancel"}));
  EXPECT_EQ(query(), "idle");
  EXPECT_THAT(host::listNodes("joint"), ::testing::IsEmpty());

  ASSERT_TRUE(host::deleteNode("device"));
  EXPECT_FALSE(record({"-start"}));
  EXPECT_EQ(host::errors().back(),
            "marvikMocapRecord: there is no netDevice node: create one and connect it first");
  EXPECT_THAT(host::warnings(), ::testing::IsEmpty());
}

// A take folder whose name has letters beyond ASCII, some of them in no ANSI code page of
// Windows: the files land in that folder, not in one named after its "?" form.
TEST_F(RecordTake, TheTakeFolderMayHaveLettersBeyondAscii) {
  server.serve([this](LoopbackServer::Connection& connection) {
    if (!connection.send(packet(actorList({{10, "a"}})))) return;
    StreamSession::readQueryTags(connection, 1);
    if (!connection.send(packet(header(10, chain(2)))) || !passed(firstGate)) return;
    connection.send(packet(frame(10, chainFrame(2, 1))) + packet(frame(10, chainFrame(2, 2))));
    connection.waitForClose();
  });
  connect(1);
  ASSERT_TRUE(record({"-start", "-fps", "10"}));
  first.set_value();
  ASSERT_TRUE(waitForQuery("recording frames=2"));
  const std::string folder = temp.path() +
                             "/prises \xC5\x81\xC3\xB3"
                             "d\xC5\xBA \xE6\xAD\xA9";
  ASSERT_TRUE(record({"-stop", "-file", folder}));
  const std::string file = folder + "/a.bvh";
  EXPECT_THAT(host::lastCommandResults(), ElementsAre("|a_take1|J0", file));
  ASSERT_TRUE(std::filesystem::is_regular_file(std::filesystem::u8path(file)));
  ASSERT_TRUE(host::importFile(file, "BVH"));
  EXPECT_THAT(keysOf("|a|J0.translateX"), ::testing::StartsWith("[[0, 1], "));
  EXPECT_EQ(keysOf("|a|J0.translateX"), keysOf("|a_take1|J0.translateX"));
  EXPECT_THAT(host::errors(), ::testing::IsEmpty());
}

}  // namespace
