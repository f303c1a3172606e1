#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "BREX_PLUG_MESSAGE.pb.h"
#include "StreamServer.h"
#include "stream/PacketCodec.h"

// The built-in synthetic humanoid, served on 127.0.0.1 by a StreamServer: sends the actor
// list on connect, answers each header query with that actor's header and streams frames at
// a fixed rate, looping a two-second cycle.
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
  // Stops serving and joins the threads.
  void stop();
  std::uint16_t port() const { return server ? server->port() : 0; }

  // The synthetic actors of options, as the stream server serves them.
  static std::vector<StreamServer::Actor> actors(const Options& options);

  // A humanoid of kJoints joints: 6 channels at the root, 3 rotations below, end sites at
  // the tips.
  static BrexPlugs::BVH_JOIN skeleton();
  // The kChannels values of the synthetic motion at time seconds, for actor index actor.
  static void motion(double seconds, int actor, std::vector<float>& values);

  static std::uint32_t actorTag(int actor) { return StreamServer::actorTag(actor); }

 private:
  Options options;
  std::unique_ptr<StreamServer> server;
};
