#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "BREX_PLUG_MESSAGE.pb.h"
#include "stream/PacketCodec.h"

// Stands in for the streaming application: serves synthetic actors on 127.0.0.1, one client
// at a time, on its own thread. Sends the actor list on connect, answers each header query
// with that actor's header and streams frames at a fixed rate.
class StreamSimulator {
 public:
  struct Options {
    int actors = 1;
    double framesPerSecond = 60.0;
    PacketCodec::Compression compression = PacketCodec::Compression::kNone;
  };

  // Joints of the synthetic skeleton and channels of one of its frames.
  static constexpr int kJoints = 60;
  static constexpr int kChannels = 183;

  explicit StreamSimulator(Options options);
  ~StreamSimulator();
  StreamSimulator(const StreamSimulator&) = delete;
  StreamSimulator& operator=(const StreamSimulator&) = delete;

  // Listens on port (0: chosen by the system) and starts serving. False if it cannot listen.
  bool start(std::uint16_t port = 0);
  // Stops serving and joins the thread.
  void stop();
  std::uint16_t port() const { return listenPort; }

  // A humanoid of kJoints joints: 6 channels at the root, 3 rotations below, end sites at
  // the tips.
  static BrexPlugs::BVH_JOIN skeleton();
  // The kChannels values of the synthetic motion at time seconds, for actor index actor.
  static void motion(double seconds, int actor, std::vector<float>& values);

  static std::uint32_t actorTag(int actor) { return 1001u + static_cast<std::uint32_t>(actor); }

 private:
  void serve();
  void serveClient(int client);

  Options options;
  int listener = -1;
  std::uint16_t listenPort = 0;
  std::atomic<bool> stopRequested{false};
  std::thread thread;
};
