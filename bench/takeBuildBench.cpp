// A take recorded through the module loaded into the headless host, built by
// "marvikMocapRecord -stop", against the same frames imported from BVH files through the "BVH"
// translator. The take: 5 actors of 60 joints with channels, 10 minutes at 120 frames/s each,
// streamed from a loopback server as fast as the client takes them. The files: the takes as
// "marvikMocapRecord -stop -file" and "marvik record" write them (TakeRecorder::write), 5 files
// of about 130 MB. Both builds land in an empty scene and must make the same number of keys.
//
// Usage: takeBuildBench [seconds of take per actor [runs]]; defaults 600 and 3. Processor time
// is what the ratio uses (best of the runs): on a shared machine the wall clock also counts the
// time other processes held the cores.
#include <maya/MFnAnimCurve.h>
#include <maya/MStatus.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "BvhActor.h"
#include "benchSupport.h"
#include "host/HostScene.h"
#include "host/Plugins.h"
#include "stream/TakeRecorder.h"
#include "stream/bvhHeaderText.h"
#include "support/LoopbackServer.h"
#include "support/StreamMessages.h"
#include "support/StreamSession.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kActors = 5;
constexpr double kFramesPerSecond = 120;

struct Timing {
  double wall = 1e30;
  double cpu = 1e30;
};

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

template <typename Step>
Timing measure(Step step) {
  const auto wall = Clock::now();
  const double cpu = cpuSeconds();
  step();
  return {std::chrono::duration<double>(Clock::now() - wall).count(), cpuSeconds() - cpu};
}

std::uint32_t tagOf(int actor) { return 101u + static_cast<std::uint32_t>(actor); }
std::string nameOf(int actor) { return "performer" + std::to_string(actor + 1); }

std::uint64_t keysInScene() {
  std::uint64_t keys = 0;
  for (const char* type : {"animCurveTA", "animCurveTL"}) {
    for (const std::string& name : host::listNodes(type)) {
      MFnAnimCurve curve(host::findNode(name));
      keys += curve.numKeys();
    }
  }
  return keys;
}

bool waitForResult(const std::vector<std::string>& args, const std::string& prefix,
                   std::chrono::seconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (host::runCommand("marvikMocapRecord", args) &&
        host::lastCommandResult().rfind(prefix, 0) == 0) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 600;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  const auto frames = static_cast<std::uint32_t>(seconds * kFramesPerSecond);
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "takeBuildBench";
  std::filesystem::create_directories(folder);

  // One performance, played by every actor: the benchmark skeleton of the BVH benchmarks.
  const std::string generated = (folder / "generated.bvh").string();
  bench::generateBvh(generated, frames);
  StreamServer::Actor performance;
  std::string error;
  if (!BvhActor::load(generated, performance, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::filesystem::remove(generated);
  const int channels = static_cast<int>(performance.frames[0].size());

  // The files: what -stop -file writes for this take.
  {
    TakeRecorder recorder;
    std::vector<StreamActor> actors;
    for (int actor = 0; actor < kActors; ++actor) actors.push_back({tagOf(actor), nameOf(actor)});
    recorder.actorList(actors);
    for (int actor = 0; actor < kActors; ++actor) {
      recorder.header(tagOf(actor), actor, bvhHeaderText(performance.root, actor), channels);
    }
    // What the receive thread does with each frame of a take, under the stream's lock.
    const Timing listening = measure([&] {
      for (std::uint32_t f = 0; f < frames; ++f) {
        for (int actor = 0; actor < kActors; ++actor) {
          recorder.frame(tagOf(actor), 0, performance.frames[f].data(), channels);
        }
      }
    });
    std::printf("listener: %.0f ns processor a frame of %d values, %u frames of %d actors\n",
                listening.cpu * 1e9 / (static_cast<double>(frames) * kActors), channels, frames,
                kActors);
    std::vector<TakeRecorder::Written> written;
    std::vector<std::string> problems;
    if (!TakeRecorder::write(folder.string(), recorder.finish(kFramesPerSecond), written,
                             problems) ||
        written.size() != kActors) {
      std::fprintf(stderr, "cannot write the files into %s\n", folder.string().c_str());
      return 1;
    }
  }
  std::uintmax_t bytes = 0;
  for (int actor = 0; actor < kActors; ++actor) {
    bytes += std::filesystem::file_size(folder / (nameOf(actor) + ".bvh"));
  }
  std::printf(
      "take: %d actors, %d joints with channels, %d values a frame, %u frames each "
      "(%.0f s at %.0f frames/s); files %.1f MB\n",
      kActors, bench::kJoints, channels, frames, seconds, kFramesPerSecond,
      static_cast<double>(bytes) / (1024.0 * 1024.0));

  host::resetScene();
  if (!host::loadPlugin(MOCAP_MODULE)) return 1;
  Timing stopBest;
  Timing importBest;
  std::uint64_t takeKeys = 0;
  std::uint64_t importKeys = 0;
  for (int run = 0; run < runs; ++run) {
    host::emptyScene();
    std::promise<void> recording;
    std::shared_future<void> go = recording.get_future().share();
    LoopbackServer server(std::chrono::minutes(5));
    server.serve([&](LoopbackServer::Connection& connection) {
      using namespace streamMessages;
      std::vector<std::pair<std::uint32_t, std::string>> actors;
      for (int actor = 0; actor < kActors; ++actor) actors.push_back({tagOf(actor), nameOf(actor)});
      if (!connection.send(packet(actorList(actors)))) return;
      StreamSession::readQueryTags(connection, kActors);
      std::string headers;
      for (int actor = 0; actor < kActors; ++actor) {
        headers += packet(header(tagOf(actor), performance.root));
      }
      if (!connection.send(headers)) return;
      if (go.wait_for(std::chrono::minutes(5)) != std::future_status::ready) return;
      std::string batch;
      for (std::uint32_t f = 0; f < frames; ++f) {
        for (int actor = 0; actor < kActors; ++actor) {
          batch += packet(frame(tagOf(actor), performance.frames[f]));
        }
        if (batch.size() > (1u << 20) || f + 1 == frames) {
          if (!connection.send(batch)) return;
          batch.clear();
        }
      }
      connection.waitForClose();
    });
    if (!host::createNode("netDevice", "device") ||
        !host::setAttribute("device.inputPort", std::to_string(server.port())) ||
        !host::runCommand("connectMarvikMocap") ||
        !waitForResult({"-query"}, "idle", std::chrono::seconds(10))) {
      std::fprintf(stderr, "cannot connect a netDevice node\n");
      return 1;
    }
    for (const auto deadline = Clock::now() + std::chrono::seconds(10);
         Clock::now() < deadline &&
         (!host::runCommand("marvikMocapStatus") ||
          host::lastCommandResult().find(" actors=5 ") == std::string::npos);) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!host::runCommand("marvikMocapRecord", {"-start", "-fps", "120"})) return 1;
    const auto streamed = Clock::now();
    recording.set_value();
    if (!waitForResult({"-query"},
                       "recording frames=" + std::to_string(std::uint64_t{frames} * kActors),
                       std::chrono::minutes(5))) {
      std::fprintf(stderr, "the take did not get every frame\n");
      return 1;
    }
    const double streaming = std::chrono::duration<double>(Clock::now() - streamed).count();
    MStatus stopped;
    const Timing stop =
        measure([&] { stopped = host::runCommand("marvikMocapRecord", {"-stop"}); });
    if (!stopped || host::lastCommandResults().size() != kActors) {
      std::fprintf(stderr, "-stop failed\n");
      return 1;
    }
    host::deleteNode("device");
    host::runCommand("disconnectMarvikMocap");
    server.join();
    takeKeys = keysInScene();

    host::emptyScene();
    MStatus imported = MS::kSuccess;
    const Timing import = measure([&] {
      for (int actor = 0; actor < kActors; ++actor) {
        imported = host::importFile((folder / (nameOf(actor) + ".bvh")).string(), "BVH");
        if (!imported) return;
      }
    });
    if (!imported) {
      std::fprintf(stderr, "import failed\n");
      return 1;
    }
    importKeys = keysInScene();
    host::emptyScene();
    std::printf(
        "run %d: streamed in %.1f s; -stop %.2f s processor, %.2f s wall; import %.2f s "
        "processor, %.2f s wall\n",
        run + 1, streaming, stop.cpu, stop.wall, import.cpu, import.wall);
    std::fflush(stdout);
    stopBest = {std::min(stopBest.wall, stop.wall), std::min(stopBest.cpu, stop.cpu)};
    importBest = {std::min(importBest.wall, import.wall), std::min(importBest.cpu, import.cpu)};
  }
  host::exitSession();
  for (int actor = 0; actor < kActors; ++actor) {
    std::filesystem::remove(folder / (nameOf(actor) + ".bvh"));
  }

  const double ratio = stopBest.cpu / importBest.cpu;
  std::printf("keys   take %llu, files %llu: %s\n", static_cast<unsigned long long>(takeKeys),
              static_cast<unsigned long long>(importKeys),
              takeKeys == importKeys ? "same" : "DIFFER");
  std::printf("build  -stop %.2f s processor, %.2f s wall (best of %d)\n", stopBest.cpu,
              stopBest.wall, runs);
  std::printf("import %.2f s processor, %.2f s wall (best of %d)\n", importBest.cpu,
              importBest.wall, runs);
  std::printf("ratio  -stop / import %.2f processor, %.2f wall (target <= 1): %s\n", ratio,
              stopBest.wall / importBest.wall, ratio <= 1.0 ? "ok" : "MISSED");
  return takeKeys == importKeys && takeKeys > 0 ? 0 : 1;
}
