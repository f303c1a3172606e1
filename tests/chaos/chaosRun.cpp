// The chaos run: loads the built module into the host against a ChaosServer and, for a given
// time, plays a seeded schedule of the things an artist does on the main thread while the
// server misbehaves, checking throughout that every evaluated block is one whole frame the
// server sent, never older than the one before; that frames reach the outputs within 1 s of
// the first frame of a new connection; that the client dials back within 5 s of the server
// listening again; that no main-thread call takes over 100 ms (250 ms under a sanitizer); and, at
// the end, that every thread has ended and (in long runs without sanitizers) that the resident size
// has not grown.
//
//   chaosRun [--seed N] [--seconds S | --minutes M] [--module PATH]
//
// The seed fixes both schedules; thread timing does not replay, so a failure names the seed,
// the step and the events before it.
#include <unistd.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "chaos/ChaosFrames.h"
#include "chaos/ChaosServer.h"
#include "host/HostScene.h"
#include "host/Plugins.h"
#include "support/Sanitizers.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kBlocks = 5;
// Calls are timed without the time the thread waited for a CPU. Sanitizers make the work around
// a wait two to ten times slower (a plug-in load under ASan has taken over 100 ms).
constexpr milliseconds kLongestCall(support::kSanitized ? 250 : 100);
constexpr milliseconds kFrameBound(1000);
// The client's longest back-off (4 s) and a second for the dial itself.
constexpr milliseconds kRedialBound(5000);
constexpr std::chrono::seconds kResidentSampling(5);
// Below this the resident size says too little to judge: it is only reported.
constexpr std::chrono::minutes kShortestJudgedRun(10);
constexpr double kMostGrowthPer10Minutes = 1.0;  // MiB

double secondsOf(Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

double millisecondsOf(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

double residentMiB() {
  std::ifstream statm("/proc/self/statm");
  long long size = 0;
  long long resident = 0;
  statm >> size >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// Milliseconds this thread has spent runnable but waiting for a CPU; 0 where the kernel does
// not say.
double runQueueWaitMs() {
  std::ifstream schedstat("/proc/thread-self/schedstat");
  unsigned long long running = 0;
  unsigned long long waiting = 0;
  schedstat >> running >> waiting;
  return schedstat ? static_cast<double>(waiting) / 1e6 : 0.0;
}

std::vector<std::string> threadNames() {
  std::vector<std::string> names;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    names.push_back(name);
  }
  return names;
}

struct Options {
  std::uint64_t seed = 0;
  bool seeded = false;
  double seconds = 60;
  std::string module = MOCAP_MODULE;
};

bool parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (i + 1 >= argc) return false;
    const std::string value = argv[++i];
    if (flag == "--seed") {
      options.seed = std::stoull(value);
      options.seeded = true;
    } else if (flag == "--seconds") {
      options.seconds = std::stod(value);
    } else if (flag == "--minutes") {
      options.seconds = 60 * std::stod(value);
    } else if (flag == "--module") {
      options.module = value;
    } else {
      return false;
    }
  }
  return options.seconds > 0;
}

class ChaosRun {
 public:
  ChaosRun(const Options& settings, ChaosServer& misbehaving)
      : options(settings), server(misbehaving), random(settings.seed ^ 0x9e3779b97f4a7c15ull) {
    for (int block = 0; block < kBlocks; ++block) {
      for (int slot = 1; slot <= chaosFrames::kShownRecords; ++slot) {
        const std::string suffix = std::to_string(block) + std::to_string(slot);
        plugs.push_back("device.outputTranslate" + suffix);
        plugs.push_back("device.outputRotate" + suffix);
      }
    }
  }

  void run();
  // After the server has stopped: the thread and memory checks, then the figures. The exit code.
  int finish(const std::vector<std::string>& threadsBefore);

 private:
  // One main-thread call, timed against kLongestCall.
  bool call(const std::string& what, const std::function<bool()>& action);
  void evaluate();
  void checkBlock(int block, const std::array<double, chaosFrames::kBlockValues>& values);
  void checkDelivery();
  void act();
  void note(const std::string& event);
  [[noreturn]] void fail(const std::string& invariant, const std::string& detail);

  bool showing() const { return loaded && nodeExists && connected && live; }
  void setShowing(bool wasShowing);
  void setConnected(bool now);
  bool createNode();
  bool connect();
  bool deleteNode();

  const Options& options;
  ChaosServer& server;
  std::mt19937_64 random;
  std::vector<std::string> plugs;
  Clock::time_point start;
  std::uint64_t step = 0;

  bool loaded = false;
  bool nodeExists = false;
  bool live = false;
  bool connected = false;
  std::optional<Clock::time_point> showingSince;
  std::optional<Clock::time_point> connectedSince;
  std::array<std::int64_t, chaosFrames::kActors> lastShown{};
  std::array<std::array<double, chaosFrames::kBlockValues>, kBlocks> shownBlocks{};
  std::optional<ChaosServer::FirstFrame> expected;
  Clock::time_point lastEvaluation;

  std::uint64_t evaluations = 0;
  std::uint64_t framesShown = 0;
  int connects = 0;
  std::map<std::string, int> actions;
  double longestCall = 0;
  std::string longestCallName;
  std::deque<std::string> events;
  std::vector<std::pair<double, double>> resident;
};

void ChaosRun::note(const std::string& event) {
  std::ostringstream line;
  line.setf(std::ios::fixed);
  line.precision(3);
  line << secondsOf(Clock::now() - start) << " s, step " << step << ": " << event;
  events.push_back(line.str());
  while (events.size() > 40) events.pop_front();
}

void ChaosRun::fail(const std::string& invariant, const std::string& detail) {
  std::cout << "chaos: FAILED at step " << step << ", " << secondsOf(Clock::now() - start)
            << " s into the run with --seed " << options.seed << "\n  " << invariant << ": "
            << detail << "\nmain-thread steps before it:\n";
  for (const std::string& event : events) std::cout << "  " << event << "\n";
  std::cout << "server events before it:\n" << server.recentEvents() << std::flush;
  std::_Exit(1);
}

bool ChaosRun::call(const std::string& what, const std::function<bool()>& action) {
  ++step;
  const double waitedBefore = runQueueWaitMs();
  const Clock::time_point begun = Clock::now();
  const bool succeeded = action();
  // Time this thread waited for a CPU that other processes held is the machine's, not the
  // module's: the bound is on the call's own work and on what it waited for.
  const double queued = runQueueWaitMs() - waitedBefore;
  const double took = millisecondsOf(Clock::now() - begun) - queued;
  if (took > longestCall) {
    longestCall = took;
    longestCallName = what;
  }
  if (what != "evaluate") {
    ++actions[what];
    note(what + (succeeded ? "" : " (failed)") + ", " + std::to_string(took) + " ms");
  }
  if (took > static_cast<double>(kLongestCall.count())) {
    fail("a main-thread call took over " + std::to_string(kLongestCall.count()) + " ms",
         what + " took " + std::to_string(took) + " ms, besides " + std::to_string(queued) +
             " ms waiting for a CPU");
  }
  return succeeded;
}

void ChaosRun::setShowing(bool wasShowing) {
  if (showing() && !wasShowing) showingSince = Clock::now();
  if (!showing()) showingSince.reset();
}

void ChaosRun::setConnected(bool now) {
  const bool wasShowing = showing();
  if (now && !connected) connectedSince = Clock::now();
  if (!now) connectedSince.reset();
  connected = now;
  setShowing(wasShowing);
}

bool ChaosRun::createNode() {
  const bool wasShowing = showing();
  nodeExists =
      call("create the node", [] { return bool(host::createNode("netDevice", "device")); });
  if (!nodeExists) fail("the module", "netDevice could not be created");
  const double rates[] = {24, 30, 60, 120, 240};
  const double rate = rates[random() % 5];
  call("set inputPort", [this] {
    return bool(host::setAttribute("device.inputPort", std::to_string(server.port())));
  });
  call("set frameRate", [rate] { return bool(host::setAttribute("device.frameRate", rate)); });
  live = call("set live", [] { return bool(host::setAttribute("device.live", true)); });
  setShowing(wasShowing);
  return connect();
}

bool ChaosRun::connect() {
  // Refused while the server is down: the artist tries again later.
  const bool made =
      call("connectMarvikMocap", [] { return bool(host::runCommand("connectMarvikMocap")); });
  if (made) ++connects;
  setConnected(made);
  return made;
}

bool ChaosRun::deleteNode() {
  const bool wasShowing = showing();
  call("delete the node", [] { return bool(host::deleteNode("device")); });
  nodeExists = false;
  connected = false;
  connectedSince.reset();
  setShowing(wasShowing);
  expected.reset();
  return true;
}

void ChaosRun::evaluate() {
  std::vector<host::Value> values;
  if (!call("evaluate", [&] { return bool(host::getAttributes(plugs, values)); })) {
    fail("evaluation", "the node's outputs could not be read");
  }
  ++evaluations;
  lastEvaluation = Clock::now();
  for (int block = 0; block < kBlocks; ++block) {
    std::array<double, chaosFrames::kBlockValues> blockValues{};
    for (int record = 0; record < chaosFrames::kShownRecords; ++record) {
      const std::size_t plug =
          static_cast<std::size_t>(block * chaosFrames::kShownRecords + record) * 2;
      const auto& translate = std::get<std::array<double, 3>>(values[plug]);
      const auto& rotate = std::get<std::array<double, 3>>(values[plug + 1]);
      std::copy(translate.begin(), translate.end(), blockValues.begin() + record * 6);
      std::copy(rotate.begin(), rotate.end(), blockValues.begin() + record * 6 + 3);
    }
    checkBlock(block, blockValues);
  }
}

void ChaosRun::checkBlock(int block, const std::array<double, chaosFrames::kBlockValues>& values) {
  using Kind = chaosFrames::BlockReading::Kind;
  // A block as it was at the last evaluation was checked then: while not live the outputs keep
  // what they showed, under whatever actor lists came since.
  if (values == shownBlocks[static_cast<std::size_t>(block)]) return;
  shownBlocks[static_cast<std::size_t>(block)] = values;
  const chaosFrames::BlockReading reading = chaosFrames::readBlock(values);
  const std::string where = "block " + std::to_string(block);
  if (reading.kind == Kind::kInvalid)
    fail("every block one whole frame", where + ": " + reading.problem);
  if (reading.kind == Kind::kEmpty) return;
  if (!server.heldSlot(reading.actor, block)) {
    fail("every block its own actor's", where + " shows actor " + std::to_string(reading.actor) +
                                            ", which held no such slot in a recent actor list");
  }
  if (reading.kind != Kind::kFrame) return;
  const std::size_t actor = static_cast<std::size_t>(reading.actor);
  const std::int64_t newest = server.newestFrame(reading.actor);
  const std::int64_t frame = chaosFrames::unwrapFrame(reading.cycleFrame, newest);
  if (frame < 1) {
    fail("every block a frame the server sent",
         where + " shows frame " + std::to_string(frame) + " of actor " + std::to_string(actor));
  }
  if (frame < lastShown[actor]) {
    fail("never older than the previous evaluation",
         where + " shows frame " + std::to_string(frame) + " of actor " + std::to_string(actor) +
             " after frame " + std::to_string(lastShown[actor]));
  }
  if (frame > lastShown[actor]) ++framesShown;
  lastShown[actor] = frame;
  if (expected && expected->actor == reading.actor && frame >= expected->frame) expected.reset();
}

void ChaosRun::checkDelivery() {
  if (auto first = server.takeFirstFrame()) {
    // Only a connection this node made, with nothing in the way since, owes its frames.
    if (showing() && showingSince && *showingSince <= first->sentAt) expected = first;
  }
  if (expected && lastEvaluation - expected->sentAt >= kFrameBound) {
    const bool owed = showing() && showingSince && *showingSince <= expected->sentAt &&
                      server.lastDisturbance() < expected->sentAt;
    if (owed) {
      fail("new frames within 1 s of the first frame sent",
           "frame " + std::to_string(expected->frame) + " of actor " +
               std::to_string(expected->actor) + ", the first of connection " +
               std::to_string(expected->connection) + ", was not on the outputs " +
               std::to_string(millisecondsOf(lastEvaluation - expected->sentAt)) +
               " ms after it was sent");
    }
    expected.reset();
  }
  const auto waiting = server.waitingSince();
  if (waiting && connected && connectedSince && *connectedSince <= *waiting &&
      Clock::now() - *waiting > kRedialBound) {
    fail("dialled back within 5 s", "the server has listened for " +
                                        std::to_string(secondsOf(Clock::now() - *waiting)) +
                                        " s and the connected node has not come back");
  }
}

void ChaosRun::act() {
  const int kind = static_cast<int>(random() % 20);
  const bool wasShowing = showing();
  if (!loaded) {
    loaded = call("load the plug-in", [this] { return bool(host::loadPlugin(options.module)); });
    if (!loaded) fail("the module", "the plug-in did not load again");
    createNode();
    return;
  }
  if (!nodeExists) {
    createNode();
    return;
  }
  if (kind < 4) {
    live = !live;
    call(live ? "live on" : "live off",
         [this] { return bool(host::setAttribute("device.live", live)); });
  } else if (kind < 7) {
    const double rates[] = {24, 30, 48, 60, 90, 120, 240};
    const double rate = rates[random() % 7];
    call("frameRate " + std::to_string(static_cast<int>(rate)),
         [rate] { return bool(host::setAttribute("device.frameRate", rate)); });
  } else if (kind < 10) {
    if (connected) {
      call("disconnectMarvikMocap", [] { return bool(host::runCommand("disconnectMarvikMocap")); });
      setConnected(false);
    } else {
      connect();
    }
  } else if (kind < 12) {
    deleteNode();
    createNode();
  } else if (kind < 14) {
    call("createMarvikSkeleton", [] { return bool(host::runCommand("createMarvikSkeleton")); });
    std::vector<std::string> built;
    for (const std::string& path : host::listNodes("transform")) {
      if (path.rfind("|Marvik", 0) == 0) built.push_back(path);
    }
    if (built.size() > kBlocks) {
      fail("one skeleton per actor", std::to_string(built.size()) + " skeletons built");
    }
    for (const std::string& path : built) {
      call("delete " + path.substr(1), [&path] { return bool(host::deleteNode(path)); });
    }
  } else if (kind < 17) {
    if (!call("marvikMocapStatus", [] { return bool(host::runCommand("marvikMocapStatus")); }) ||
        host::lastCommandResult().empty()) {
      fail("the status command", "no status");
    }
    note("status: " + host::lastCommandResult());
  } else if (kind < 19) {
    deleteNode();
    if (!call("unload the plug-in", [] { return bool(host::unloadPlugin("marvikMocap")); })) {
      fail("the module", "the plug-in did not unload");
    }
    loaded = false;
  } else {
    // Only the viewport's pace changes.
    note("viewport at another rate");
  }
  setShowing(wasShowing);
}

void ChaosRun::run() {
  start = Clock::now();
  const Clock::time_point end = start + std::chrono::duration_cast<Clock::duration>(
                                            std::chrono::duration<double>(options.seconds));
  host::resetScene();
  loaded = call("load the plug-in", [this] { return bool(host::loadPlugin(options.module)); });
  if (!loaded) fail("the module", "the plug-in did not load from " + options.module);
  createNode();

  std::uniform_real_distribution<double> actionGap(0.2, 1.5);
  std::uniform_real_distribution<double> viewportRate(30, 120);
  double rate = viewportRate(random);
  Clock::time_point nextAction = start + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(actionGap(random)));
  Clock::time_point nextEvaluation = start;
  Clock::time_point nextSample = start;
  while (Clock::now() < end) {
    const Clock::time_point now = Clock::now();
    if (now >= nextSample) {
      resident.emplace_back(secondsOf(now - start), residentMiB());
      nextSample += kResidentSampling;
    }
    if (now >= nextAction) {
      act();
      if (random() % 4 == 0) rate = viewportRate(random);
      nextAction = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(actionGap(random)));
    } else if (now >= nextEvaluation) {
      if (loaded && nodeExists) evaluate();
      checkDelivery();
      nextEvaluation +=
          std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
      if (Clock::now() > nextEvaluation) nextEvaluation = Clock::now();
    } else {
      // The viewport's pace: the main thread idles until its next refresh, as Maya's does.
      std::this_thread::sleep_until(std::min(nextAction, nextEvaluation));
    }
  }
  resident.emplace_back(secondsOf(Clock::now() - start), residentMiB());

  if (nodeExists) deleteNode();
  call("exit", [] {
    host::exitSession();
    return true;
  });
}

int ChaosRun::finish(const std::vector<std::string>& threadsBefore) {
  const std::vector<std::string> threadsAfter = threadNames();
  if (threadsAfter.size() != threadsBefore.size()) {
    std::string names;
    for (const std::string& name : threadsAfter) names += " " + name;
    fail("every thread ended at exit", std::to_string(threadsAfter.size()) + " threads left (" +
                                           std::to_string(threadsBefore.size()) +
                                           " at start):" + names);
  }
  // After a warm-up, the least-squares slope of the resident size over the rest of the run.
  const double runSeconds = resident.back().first;
  const double warmUp = std::min(300.0, 0.2 * runSeconds);
  double n = 0, sumT = 0, sumR = 0, sumTT = 0, sumTR = 0;
  double warmResident = 0;
  for (const auto& [t, r] : resident) {
    if (t < warmUp) continue;
    if (n == 0) warmResident = r;
    n += 1;
    sumT += t;
    sumR += r;
    sumTT += t * t;
    sumTR += t * r;
  }
  const double denominator = n * sumTT - sumT * sumT;
  const double growth =
      n >= 2 && denominator > 0 ? (n * sumTR - sumT * sumR) / denominator * 600 : 0;
  const bool judged = !support::kSanitized && runSeconds >= 60.0 * kShortestJudgedRun.count();

  std::map<std::string, int> faults = server.faults();
  const int beforeHeader = faults["frame before its header"];
  faults.erase("frame before its header");
  int faultCount = 0;
  std::string faultList;
  for (const auto& [fault, count] : faults) {
    faultCount += count;
    faultList += "\n    " + fault + ": " + std::to_string(count);
  }
  std::string actionList;
  for (const auto& [action, count] : actions) {
    if (action.rfind("delete |", 0) == 0 || action.rfind("delete Marvik", 0) == 0) continue;
    actionList += "\n    " + action + ": " + std::to_string(count);
  }
  std::printf(
      "chaos: %s with --seed %llu after %.1f s\n"
      "  evaluations: %llu (%llu new frames shown); frames sent: %llu\n"
      "  connections: %d (%d made by connectMarvikMocap, %d by the client dialling back)\n"
      "  faults injected: %d, and %d frames sent before their actor's header:%s\n"
      "  main-thread actions:%s\n"
      "  longest main-thread call: %.1f ms (%s)\n"
      "  resident size: %.1f MiB after a %.0f s warm-up, %.1f MiB at the end, %+.2f MiB per 10 "
      "minutes (%s)\n",
      judged && growth >= kMostGrowthPer10Minutes ? "FAILED" : "passed",
      static_cast<unsigned long long>(options.seed), runSeconds,
      static_cast<unsigned long long>(evaluations), static_cast<unsigned long long>(framesShown),
      static_cast<unsigned long long>(server.framesSent()), server.connections(), connects,
      server.connections() - connects, faultCount, beforeHeader, faultList.c_str(),
      actionList.c_str(), longestCall, longestCallName.c_str(), warmResident, warmUp,
      resident.back().second, growth,
      judged                ? "limit 1 MiB"
      : support::kSanitized ? "not judged under a sanitizer"
                            : "not judged under 10 minutes");
  return judged && growth >= kMostGrowthPer10Minutes ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    std::cerr << "usage: chaosRun [--seed N] [--seconds S | --minutes M] [--module PATH]\n";
    return 2;
  }
  if (!options.seeded) options.seed = std::random_device{}();
  std::cout << "chaos: --seed " << options.seed << ", " << options.seconds << " s, module "
            << options.module << std::endl;
  // A sanitizer may start a thread of its own with the first thread made: make one first.
  std::thread([] {}).join();
  const std::vector<std::string> threadsBefore = threadNames();

  ChaosServer server(options.seed);
  server.start();
  ChaosRun chaos(options, server);
  chaos.run();
  server.stop();
  return chaos.finish(threadsBefore);
}
