// Receive-thread throughput, send-to-copyFrame latency, idle cost, disconnect time (also from a
// peer that never reads) and the longest copyFrame wait under a flood of the stream client on
// loopback. Run: build/bench/streamBench [frames]
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "StreamSimulator.h"
#include "stream/protocolBufferProcess.h"
#include "support/LoopbackServer.h"
#include "support/StreamMessages.h"
#include "support/StreamSession.h"

namespace {

using Clock = std::chrono::steady_clock;
using Compression = PacketCodec::Compression;

constexpr std::uint32_t kTag = 7;

void sendActor(LoopbackServer::Connection& client) {
  client.send(streamMessages::packet(streamMessages::actorList({{kTag, "bench"}})));
  StreamSession::readQueryTags(client, 1);
  client.send(streamMessages::packet(streamMessages::header(kTag, StreamSimulator::skeleton())));
}

std::string framePacket(Compression compression, float first) {
  std::vector<float> values;
  StreamSimulator::motion(0.25, 0, values);
  values[0] = first;
  return streamMessages::packet(streamMessages::frame(kTag, values), compression);
}

double processCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

void throughput(Compression compression, const char* name, int frames) {
  const std::string packet = framePacket(compression, 1.0f);
  std::string batch;
  for (int i = 0; i < 500; ++i) batch += packet;
  StreamSession session([&](LoopbackServer::Connection& client) {
    sendActor(client);
    for (int sent = 0; sent < frames; sent += 500) client.send(batch);
  });
  if (!session.waitForPackets(2)) {
    std::printf("%s: no header\n", name);
    return;
  }
  const auto start = Clock::now();
  const std::uint64_t total = 2 + static_cast<std::uint64_t>((frames + 499) / 500 * 500);
  const bool done = session.process.waitForPackets(total, std::chrono::seconds(120));
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("throughput %-10s %9.0f frames/s  (%llu frames of %d channels, %zu-byte packets)%s\n",
              name, static_cast<double>(total - 2) / seconds,
              static_cast<unsigned long long>(total - 2), StreamSimulator::kChannels, packet.size(),
              done ? "" : "  INCOMPLETE");
}

void latency(int samples) {
  std::vector<Clock::time_point> sent(static_cast<std::size_t>(samples) + 1);
  std::vector<Clock::time_point> seen(static_cast<std::size_t>(samples) + 1);
  std::mutex mutex;
  std::condition_variable acknowledgement;
  int acknowledged = 0;
  bool abandon = false;
  StreamSession session([&](LoopbackServer::Connection& client) {
    sendActor(client);
    for (int i = 1; i <= samples; ++i) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        acknowledgement.wait_for(lock, std::chrono::seconds(5),
                                 [&] { return acknowledged == i - 1 || abandon; });
        if (acknowledged != i - 1) return;
      }
      const std::string packet = framePacket(Compression::kNone, static_cast<float>(i));
      sent[static_cast<std::size_t>(i)] = Clock::now();
      client.send(packet);
    }
  });
  session.waitForPackets(2);
  float values[protocolBufferProcess::kSlotFloats];
  for (int i = 1; i <= samples; ++i) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    do {
      session.process.copyFrame(values, sizeof(values), 0);
    } while (values[0] != static_cast<float>(i) && Clock::now() < deadline);
    if (values[0] != static_cast<float>(i)) {
      std::printf("latency: frame %d not seen\n", i);
      std::lock_guard<std::mutex> lock(mutex);
      abandon = true;
      acknowledgement.notify_all();
      return;
    }
    seen[static_cast<std::size_t>(i)] = Clock::now();
    std::lock_guard<std::mutex> lock(mutex);
    acknowledged = i;
    acknowledgement.notify_all();
  }
  session.server.join();
  std::vector<double> micros;
  for (int i = 1; i <= samples; ++i) {
    const auto index = static_cast<std::size_t>(i);
    micros.push_back(std::chrono::duration<double, std::micro>(seen[index] - sent[index]).count());
  }
  std::sort(micros.begin(), micros.end());
  std::printf("latency    send->copyFrame  median %.1f us  p99 %.1f us  max %.1f us  (%d frames)\n",
              micros[micros.size() / 2], micros[micros.size() * 99 / 100], micros.back(), samples);
}

void idle(bool peerClosed) {
  StreamSession session([peerClosed](LoopbackServer::Connection& client) {
    sendActor(client);
    if (!peerClosed) client.waitForClose();
  });
  session.waitForPackets(2);
  if (peerClosed) session.server.join();
  const double cpuBefore = processCpuSeconds();
  const auto start = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  const double cpu = processCpuSeconds() - cpuBefore;
  std::printf("idle       %-18s %.3f%% of a core over %.1f s\n",
              peerClosed ? "(peer closed)" : "(open, no data)", 100.0 * cpu / wall, wall);
}

void disconnect() {
  std::vector<double> millis;
  for (int i = 0; i < 5; ++i) {
    StreamSession session([](LoopbackServer::Connection& client) { client.waitForClose(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = Clock::now();
    session.process.stopReceiveThread();
    session.process.closeSocket();
    millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::printf("disconnect stop+close with a blocked receive: max %.3f ms over %zu runs\n",
              *std::max_element(millis.begin(), millis.end()), millis.size());
}

// The peer never reads: the receive thread ends up blocked in a header query's send.
void disconnectFromPeerThatNeverReads() {
  std::vector<double> millis;
  for (int i = 0; i < 5; ++i) {
    // A send that waits this long tells the server that the client no longer reads.
    LoopbackServer server(std::chrono::milliseconds(300));
    server.limitReceiveBuffer(4096);
    std::promise<void> stalled;
    std::promise<void> stopped;
    server.serve([&](LoopbackServer::Connection& client) {
      std::string lists;
      const std::string list = streamMessages::packet(
          streamMessages::actorList({{1, "a"}, {2, "b"}, {3, "c"}, {4, "d"}, {5, "e"}}));
      for (int j = 0; j < 100; ++j) lists += list;
      for (int j = 0; j < 10000 && client.send(lists); ++j) {
      }
      stalled.set_value();
      stopped.get_future().wait_for(std::chrono::seconds(30));
    });
    protocolBufferProcess process;
    process.connectToServer("127.0.0.1", server.port());
    server.limitClientSendBuffer(4096);
    process.startReceiveThread();
    stalled.get_future().wait_for(std::chrono::seconds(30));
    const auto start = Clock::now();
    process.stopReceiveThread();
    process.closeSocket();
    millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    stopped.set_value();
    server.join();
  }
  std::printf("disconnect stop+close from a peer that never reads: max %.3f ms over %zu runs\n",
              *std::max_element(millis.begin(), millis.end()), millis.size());
}

// Small frames back to back; the main thread copies the slot as the device thread would.
void copyFrameUnderFlood() {
  std::atomic<bool> enough{false};
  StreamSession session([&](LoopbackServer::Connection& client) {
    sendActor(client);
    std::string frames;
    for (int i = 0; i < 1000; ++i) {
      frames += streamMessages::packet(streamMessages::frame(kTag, {static_cast<float>(i)}));
    }
    for (int i = 0; i < 100000 && !enough && client.send(frames); ++i) {
    }
  });
  session.waitForPackets(2);
  float values[protocolBufferProcess::kSlotFloats];
  std::vector<double> micros;
  const std::uint64_t before = session.process.packetCount();
  for (const auto end = Clock::now() + std::chrono::seconds(2); Clock::now() < end;) {
    const auto start = Clock::now();
    session.process.copyFrame(values, sizeof(values), 0);
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  const std::uint64_t packets = session.process.packetCount() - before;
  enough = true;
  std::sort(micros.begin(), micros.end());
  std::printf(
      "copyFrame  under a flood  longest %.1f us  p99.9 %.1f us  (%zu copies, %llu packets in 2 "
      "s)\n",
      micros.back(), micros[micros.size() * 999 / 1000], micros.size(),
      static_cast<unsigned long long>(packets));
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 200000;
  throughput(Compression::kNone, "plain", frames);
  throughput(Compression::kGzip, "compressed", frames);
  latency(2000);
  idle(false);
  idle(true);
  disconnect();
  disconnectFromPeerThatNeverReads();
  copyFrameUnderFlood();
  return 0;
}
