#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "stream/StreamListener.h"

// Keeps every frame the stream delivers for each actor, in arrival order, and writes each
// actor's take as a BVH file. The listener calls come from the receive thread; the others
// from one other thread.
class TakeRecorder : public StreamListener {
 public:
  using Clock = std::chrono::steady_clock;

  // A file written by write().
  struct Written {
    std::string path;
    std::string actor;
    std::size_t frames = 0;
  };

  void actorList(const std::vector<StreamActor>& actors) override;
  void header(std::uint32_t actorTag, int slot, const std::string& bvhText,
              int channelCount) override;
  void frame(std::uint32_t actorTag, int slot, const float* values, int count) override;
  // The same with the time the frame arrived.
  void frame(std::uint32_t actorTag, const float* values, int count, Clock::time_point arrived);

  // Frames kept so far, all actors together.
  std::uint64_t frameCount();

  // Writes directory/<actor name>.bvh for each take with a header and at least one frame:
  // the header's hierarchy, then "Frames:" and "Frame Time:" 1 / framesPerSecond, or with 0,
  // 1 / the take's arrival rate rounded to a whole number. Names are made safe for a file and
  // numbered when two collide. Takes that cannot be written are named in problems. False when
  // a file cannot be written.
  bool write(const std::string& directory, double framesPerSecond, std::vector<Written>& written,
             std::vector<std::string>& problems);

 private:
  // One actor's frames under one skeleton.
  struct Take {
    std::uint32_t tag = 0;
    std::string name;
    // Empty until the header arrives; frames before it wait for it.
    std::string hierarchy;
    int channels = 0;
    std::vector<std::vector<float>> frames;
    Clock::time_point first;
    Clock::time_point last;
  };

  // The take the actor's frames go to now: its last one.
  Take& current(std::uint32_t actorTag);

  std::mutex takesMutex;
  std::map<std::uint32_t, std::string> names;
  // In the order they began.
  std::vector<Take> takes;
  std::uint64_t frames = 0;
};
