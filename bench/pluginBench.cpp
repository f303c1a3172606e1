// The live node end to end, loaded into the headless host as Maya loads the module: the time
// from a frame leaving a loopback server to its value being read from an output plug, without
// and with a take recording every frame ("marvikMocapRecord"), the CPU a live node costs idle
// and while frames arrive, and the CPU and disconnect time while it dials a server that went
// away or that accepts and closes at once. Usage: pluginBench [seconds per phase].
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "support/LoopbackServer.h"
#include "support/StreamFixtures.h"
#include "support/TestSockets.h"

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double rootX() {
  host::Value value;
  if (!host::getAttribute("device.outputTranslateX01", value)) return -1.0;
  return std::get<double>(value);
}

// What the server does in one phase: send frames first..first + count - 1 at rate per second,
// noting when each left; its own CPU time comes back with the promise.
struct Phase {
  Phase(int firstFrame = 1, int frames = 0, double perSecond = 0.0)
      : first(firstFrame), count(frames), rate(perSecond) {}

  int first;
  int count;
  double rate;
  std::vector<Clock::time_point> sent;
  std::promise<void> start;
  std::promise<double> serverCpu;
};

void sendFrames(LoopbackServer::Connection& connection, const std::vector<std::string>& frames,
                Phase& phase) {
  if (phase.start.get_future().wait_for(std::chrono::minutes(5)) != std::future_status::ready) {
    return;
  }
  const double cpuBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  const auto step = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(1.0 / std::max(phase.rate, 1.0)));
  auto next = Clock::now();
  phase.sent.resize(static_cast<std::size_t>(phase.count));
  for (int i = 0; i < phase.count; ++i) {
    std::this_thread::sleep_until(next);
    phase.sent[static_cast<std::size_t>(i)] = Clock::now();
    connection.send(frames[static_cast<std::size_t>(phase.first - 1 + i)]);
    next += step;
  }
  phase.serverCpu.set_value(cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuBefore);
}

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  return values[index];
}

// Reads the root's X position without pause until the last frame of the phase shows (or a
// deadline passes) and reports the latency of every frame seen.
// The median latency of the phase.
double measureLatency(Phase& phase, const char* label) {
  std::vector<Clock::time_point> read(static_cast<std::size_t>(phase.count));
  std::vector<bool> seen(static_cast<std::size_t>(phase.count), false);
  auto serverCpu = phase.serverCpu.get_future();
  phase.start.set_value();
  const auto deadline = Clock::now() + std::chrono::duration<double>(phase.count / phase.rate) +
                        std::chrono::seconds(5);
  const int last = phase.first + phase.count - 1;
  double shown = -1.0;
  while (shown != last && Clock::now() < deadline) {
    const double value = rootX();
    if (value == shown) continue;
    shown = value;
    const int index = static_cast<int>(value) - phase.first;
    if (index >= 0 && index < phase.count) {
      read[static_cast<std::size_t>(index)] = Clock::now();
      seen[static_cast<std::size_t>(index)] = true;
    }
  }
  serverCpu.wait();
  std::vector<double> latencies;
  for (std::size_t i = 0; i < read.size(); ++i) {
    if (!seen[i]) continue;
    latencies.push_back(std::chrono::duration<double, std::milli>(read[i] - phase.sent[i]).count());
  }
  std::printf(
      "latency, frameRate 240, %s: %zu of %d frames shown, median %.2f ms, p99 %.2f ms, max "
      "%.2f ms (targets: median < 5.17 ms, p99 < 8.33 ms)\n",
      label, latencies.size(), phase.count, percentile(latencies, 0.5), percentile(latencies, 0.99),
      percentile(latencies, 1.0));
  return percentile(latencies, 0.5);
}

// The process's CPU over the phase, less the server thread's, while the main thread reads the
// outputs at 60 Hz as a viewport would (or sleeps when readHz is 0).
void measureCpu(Phase& phase, double seconds, double readHz, const char* label) {
  auto serverCpu = phase.serverCpu.get_future();
  const double cpuBefore = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  const auto begin = Clock::now();
  phase.start.set_value();
  const auto end = begin + std::chrono::duration<double>(seconds);
  if (readHz > 0.0) {
    const auto step =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / readHz));
    for (auto next = begin; next < end; next += step) {
      std::this_thread::sleep_until(next);
      rootX();
    }
  } else {
    std::this_thread::sleep_until(end);
  }
  const double server = serverCpu.get();
  const double wall = std::chrono::duration<double>(Clock::now() - begin).count();
  const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore - server;
  std::printf("CPU, %s: %.2f%% of a core over %.1f s (server thread excluded)\n", label,
              100.0 * cpu / wall, wall);
}

// The process's CPU over seconds while the live node's connection is dialled again, then the
// time disconnectMarvikMocap takes.
void measureRedial(double seconds, const char* label) {
  const double cpuBefore = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  const auto begin = Clock::now();
  std::this_thread::sleep_until(begin + std::chrono::duration<double>(seconds));
  const double wall = std::chrono::duration<double>(Clock::now() - begin).count();
  const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore;
  host::runCommand("marvikMocapStatus");
  const std::string status = host::lastCommandResult();
  const auto disconnectStart = Clock::now();
  host::runCommand("disconnectMarvikMocap");
  const double disconnect =
      std::chrono::duration<double, std::milli>(Clock::now() - disconnectStart).count();
  std::printf(
      "reconnecting, %s: %.2f%% of a core over %.1f s (target < 0.5%%), disconnect %.2f ms "
      "(target < 100 ms); %s\n",
      label, 100.0 * cpu / wall, wall, disconnect, status.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  const std::vector<std::string> frames =
      streamFixtures::split(streamFixtures::read("numbered-frames.pkt"));
  const int perPhase240 = static_cast<int>(240 * seconds);
  const int perPhase120 = static_cast<int>(120 * seconds);
  if (frames.size() < static_cast<std::size_t>(2 * perPhase120 + perPhase240)) {
    std::fprintf(stderr, "too few fixture frames for %.1f s phases\n", seconds);
    return 1;
  }

  host::resetScene();
  if (!host::loadPlugin(MOCAP_MODULE)) return 1;
  auto server = std::make_unique<LoopbackServer>(std::chrono::seconds(30));
  Phase idle;
  Phase latency120(1, perPhase120, 120.0);
  Phase cpu120(1 + perPhase120, perPhase120, 120.0);
  Phase latency240(1 + 2 * perPhase120, perPhase240, 240.0);
  // The same frames again, each phase ending on a value the phase before did not.
  Phase recording120(1, perPhase120, 120.0);
  Phase recording240(1 + perPhase120, perPhase240, 240.0);
  std::promise<void> headerSent;
  server->serve([&](LoopbackServer::Connection& connection) {
    std::string query;
    if (!connection.send(streamFixtures::read("chain-actors.pkt")) ||
        !connection.receivePacket(query) ||
        !connection.send(streamFixtures::read("chain-header.pkt"))) {
      return;
    }
    headerSent.set_value();
    for (Phase* phase : {&idle, &latency120, &cpu120, &latency240, &recording120, &recording240}) {
      sendFrames(connection, frames, *phase);
    }
  });

  if (!host::createNode("netDevice", "device") ||
      !host::setAttribute("device.inputPort", std::to_string(server->port())) ||
      !host::setAttribute("device.frameRate", 240.0) || !host::setAttribute("device.live", true) ||
      !host::runCommand("connectMarvikMocap")) {
    std::fprintf(stderr, "could not set up a live, connected netDevice node\n");
    return 1;
  }
  if (headerSent.get_future().wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    std::fprintf(stderr, "the module did not ask for the header\n");
    return 1;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let the header settle

  measureCpu(idle, seconds, 0.0, "live node, no frames");
  const double median120 = measureLatency(latency120, "120 frames/s");
  measureCpu(cpu120, seconds, 60.0, "live node, 120 frames/s, outputs read at 60 Hz");
  const double median240 = measureLatency(latency240, "240 frames/s");

  // A take keeps every frame from the receive thread on: the live node must not notice.
  if (!host::runCommand("marvikMocapRecord", {"-start"})) {
    std::fprintf(stderr, "could not start a take\n");
    return 1;
  }
  const double recorded120 = measureLatency(recording120, "120 frames/s, take recording");
  const double recorded240 = measureLatency(recording240, "240 frames/s, take recording");
  host::runCommand("marvikMocapRecord", {"-query"});
  const std::string take = host::lastCommandResult();
  const auto stopStart = Clock::now();
  host::runCommand("marvikMocapRecord", {"-stop"});
  std::printf(
      "take: %s, built by -stop in %.1f ms; median latency with / without it: 120 frames/s "
      "%.2f / %.2f ms, 240 frames/s %.2f / %.2f ms\n",
      take.c_str(), std::chrono::duration<double, std::milli>(Clock::now() - stopStart).count(),
      recorded120, median120, recorded240, median240);

  // The streaming application goes away for good: every dial is refused.
  server.reset();
  measureRedial(seconds, "server gone");

  // One that accepts and closes at once, for ever.
  LoopbackServer storm(std::chrono::seconds(30));
  std::atomic<bool> stormOver{false};
  int accepted = 0;
  std::thread acceptor([&] {
    while (!stormOver) {
      storm.serve([&](LoopbackServer::Connection&) { ++accepted; });
      storm.join();
    }
  });
  if (!host::setAttribute("device.inputPort", std::to_string(storm.port())) ||
      !host::runCommand("connectMarvikMocap")) {
    std::fprintf(stderr, "could not connect to the closing server\n");
  }
  measureRedial(seconds, "server accepting and closing at once");
  stormOver = true;
  // The acceptor's last wait ends with a connection of its own.
  testSockets::close(testSockets::connectLoopback(storm.port()));
  acceptor.join();
  std::printf("reconnect storm: %d connections accepted over %.1f s\n", accepted, seconds);

  host::exitSession();
  return 0;
}
