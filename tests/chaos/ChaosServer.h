#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "chaos/ChaosFrames.h"
#include "stream/PacketCodec.h"
#include "support/TestSockets.h"

// The streaming application of a chaos run, on 127.0.0.1 and its own thread: it streams the
// chaos actors and, on a schedule drawn from its seed, misbehaves: it closes and comes back on
// the same port, stalls, sends garbage, oversized lengths and zlib bombs, changes its actor list
// and skeletons, switches framing and splits packets. What it did is published for the checks.
class ChaosServer {
 public:
  using Clock = std::chrono::steady_clock;

  // When the run may expect frames of a connection on the outputs: the first frame this
  // connection carried of an actor after that actor's header.
  struct FirstFrame {
    int connection = 0;
    Clock::time_point sentAt;
    int actor = -1;
    std::int64_t frame = 0;
  };

  explicit ChaosServer(std::uint64_t seed);
  ~ChaosServer();
  ChaosServer(const ChaosServer&) = delete;
  ChaosServer& operator=(const ChaosServer&) = delete;

  // Throws std::runtime_error when it cannot listen.
  void start();
  // Ends the thread (bounded by the socket time-outs) and closes every socket.
  void stop();
  std::uint16_t port() const { return listenPort; }

  // The newest frame number sent of actor; 0 before the first.
  std::int64_t newestFrame(int actor) const { return newest[static_cast<std::size_t>(actor)]; }
  // Whether actor holds slot in one of the last few distinct actor lists sent: the client holds
  // one of them, whatever time has passed (the outputs keep theirs while not live).
  bool heldSlot(int actor, int slot) const;
  // Taken once: the first frame of the newest connection, when one has been sent since.
  std::optional<FirstFrame> takeFirstFrame();
  // The last time the server did something after which frames may rightly stop or change
  // skeleton for a while: a stall, a close, a new actor list or header.
  Clock::time_point lastDisturbance() const;
  // Since when the server has been listening with no client; empty while it has one or is down.
  std::optional<Clock::time_point> waitingSince() const;

  int connections() const;
  std::map<std::string, int> faults() const;
  std::uint64_t framesSent() const { return frames; }
  // The last events, oldest first, one per line.
  std::string recentEvents() const;

 private:
  enum class Outcome { kGoOn, kClosed, kDown };

  void run();
  // Serves one client and closes it.
  void serve(testSockets::Handle client);
  void serveUntilClosed(testSockets::Handle client);
  // Reads the client's header queries and answers them; false when the client has left.
  bool answerQueries(testSockets::Handle client);
  Outcome fault(testSockets::Handle client);
  bool sendFrames(testSockets::Handle client);
  bool sendBytes(testSockets::Handle client, const std::string& bytes);
  bool sendBytes(testSockets::Handle client, const char* bytes, std::size_t size);
  bool sendList(testSockets::Handle client);
  bool sendHeader(testSockets::Handle client, int actor);
  std::string packetOf(const BrexPlugs::BREX_PLUGIN_MESSAGE& message) const;
  // Waits until deadline, or less when stop() is called; false once it has been.
  bool pause(Clock::time_point deadline);
  void note(const std::string& event);
  void disturbed();
  void count(const std::string& fault);
  void closeListener();

  std::mt19937_64 random;
  std::uint16_t listenPort = 0;
  testSockets::Handle listener = testSockets::kInvalid;
  std::thread thread;
  std::atomic<bool> stopping{false};
  std::mutex pauseMutex;
  std::condition_variable pauseSignal;

  // The server thread's own.
  std::vector<int> listed;
  std::array<int, chaosFrames::kActors> variants{};
  std::array<bool, chaosFrames::kActors> headerSent{};
  PacketCodec::Compression compression = PacketCodec::Compression::kNone;
  bool splitting = false;
  int framesPerSecond = 120;
  std::string received;
  PacketCodec codec;
  std::string bomb;
  bool firstFramePending = false;
  // While the listener is closed: when it comes back.
  Clock::time_point downUntil;

  std::array<std::atomic<std::int64_t>, chaosFrames::kActors> newest{};
  std::atomic<std::uint64_t> frames{0};

  mutable std::mutex ledgerMutex;
  // Guarded by ledgerMutex.
  // The last distinct actor lists sent, oldest first.
  std::deque<std::vector<int>> lists;
  std::optional<FirstFrame> firstFrame;
  Clock::time_point disturbance;
  std::optional<Clock::time_point> waiting;
  int connectionCount = 0;
  std::map<std::string, int> faultCounts;
  std::deque<std::string> events;
  Clock::time_point started = Clock::now();
};
