#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "stream/StreamListener.h"

// Keeps every frame the stream delivers for each actor, as 32-bit floats in arrival order, and
// hands them out as takes: one per actor and skeleton, a BVH hierarchy with its frames, which
// write() turns into BVH files. The listener calls may come from any one thread at a time (the
// stream processor's, under its lock); progress() from any thread; finish() once the recorder
// is no longer a listener.
class TakeRecorder : public StreamListener {
 public:
  using Clock = std::chrono::steady_clock;

  // A pause longer than this between two frames of an actor is a gap: the frames after it start
  // a new run, keyed at their arrival time.
  static constexpr Clock::duration kGap = std::chrono::milliseconds(500);
  static constexpr std::uint64_t kNoLimit = ~std::uint64_t{0};

  struct Options {
    // Bytes allocated for frame values, all actors together; at this limit the recorder keeps
    // no more frames (progress().full).
    std::uint64_t limitBytes = kNoLimit;
    // Frames of an actor that come before its header wait for the header and join its take
    // when their value count matches its channels. Otherwise, and always when false, they are
    // dropped and counted (droppedBeforeHeader).
    bool keepFramesBeforeHeader = false;
  };

  // A frame's place among its run's arrivals: its index in the run, and when it arrived, in
  // seconds after the run's first frame.
  struct Arrival {
    double index = 0;
    double seconds = 0;
  };

  // Frames of a take with no gap between them.
  struct Run {
    std::size_t first = 0;  // index of its first frame in the take
    std::size_t count = 0;
    // Frame times from the recording's first frame to the run's first, set by finish(): the
    // slot of its arrival time (less a backlog sent after a pause), but never before the previous
    // run's end.
    std::int64_t slot = 0;
    Clock::time_point firstArrival;
    Clock::time_point lastArrival;
    // The lower envelope of the run's arrivals against their index (thinned beyond
    // kEnvelopePoints): frames are never early, only late, so the frames on it are the ones that
    // came on time, and a backlog shows as its first, flat stretch.
    std::vector<Arrival> envelope;
    // The run began on a new connection: what it sends first is no backlog of the pause before,
    // whose frames went with the old connection, so its first frame keeps its arrival slot.
    bool connection = false;
  };

  static constexpr std::size_t kEnvelopePoints = 1024;

  // One actor's frames under one skeleton.
  class Take {
   public:
    std::uint32_t tag = 0;
    std::string actor;
    // The skeleton as BVH text up to its motion section, joints named as the header names them
    // (without the slot suffix); empty while frames wait for their header.
    std::string hierarchy;
    // Values per frame.
    int channels = 0;
    std::vector<Run> runs;
    // Set by finish(): the given rate, or the arrival rate of all takes together, measured
    // between frames that came on time, rounded to a whole number (at least 1).
    double framesPerSecond = 0;
    // Frames left out because their value count was not the header's channel count.
    std::uint64_t mismatched = 0;

    std::size_t frameCount() const { return frames; }
    // The `channels` values of frame index, as they arrived.
    const float* frame(std::size_t index) const;
    // Whether a BVH file can hold its frames: every joint has 3 or 6 channels.
    bool writable() const;
    // "MOTION", "Frames: <count>" and "Frame Time: <1 / framesPerSecond>" lines.
    std::string motionHead(std::size_t count) const;

   private:
    friend class TakeRecorder;
    struct Chunk {
      std::unique_ptr<float[]> values;
      std::size_t first = 0;
      std::size_t capacity = 0;
    };

    // Whether the next frame needs a new chunk, and the frames the next chunk would hold.
    bool needsChunk() const;
    std::size_t nextChunkFrames() const;
    // Adds a chunk of capacity frames; may throw std::bad_alloc.
    void addChunk(std::size_t capacity);
    void append(const float* values);
    // Shrinks the last chunk to its frames; the bytes it frees.
    std::uint64_t trim();
    // Lets every frame go; the bytes it frees.
    std::uint64_t clearFrames();
    std::size_t width() const;

    std::size_t frames = 0;
    std::vector<Chunk> chunks;
    // The recorder's connection count at its last frame.
    std::uint64_t connection = 0;
  };

  // Frames dropped for an actor whose header had not arrived.
  struct Dropped {
    std::string actor;
    std::uint64_t frames = 0;
  };

  struct Progress {
    // Frames kept so far, all actors together, and the bytes of their values.
    std::uint64_t frames = 0;
    std::uint64_t bytes = 0;
    // The limit was reached: no frame is kept any more.
    bool full = false;
  };

  // A file written by write().
  struct Written {
    std::string path;
    std::string actor;
    std::size_t frames = 0;
  };

  TakeRecorder();
  explicit TakeRecorder(const Options& options);

  void connected() override;
  void actorList(const std::vector<StreamActor>& actors) override;
  void header(std::uint32_t actorTag, int slot, const std::string& bvhText,
              int channelCount) override;
  void frame(std::uint32_t actorTag, int slot, const float* values, int count) override;
  // The same with the time the frame arrived.
  void frame(std::uint32_t actorTag, const float* values, int count, Clock::time_point arrived);

  Progress progress();

  // The takes with at least one frame and a header, in the order they began, their rate and
  // their runs' slots set: framesPerSecond when above 0, else the arrival rate of all takes
  // together. Takes them out of the recorder.
  std::vector<Take> finish(double framesPerSecond);
  // After finish(): frames dropped before their actor's header, per actor that had any, by tag.
  const std::vector<Dropped>& droppedBeforeHeader() const { return dropped; }

  // Writes directory/<actor name>.bvh for each take that a BVH file can hold: its hierarchy, its
  // frames in order (with no gap between runs) and its frame time. Names are made safe for a
  // file and numbered when two collide, ignoring letter case, or when the name is in the folder
  // already; a file is only ever created new, so none is overwritten, not even by another writer
  // at the same time. Takes that cannot be written are named in problems ("<actor>: cannot
  // write <path>: <reason>" when the system refused). False when a file could not be written.
  // failed, when given, receives the index in takes of each take whose file could not be
  // written.
  static bool write(const std::string& directory, const std::vector<Take>& takes,
                    std::vector<Written>& written, std::vector<std::string>& problems,
                    std::vector<std::size_t>* failed = nullptr);

 private:
  // The take of the actor's frames now, or null: with a header unless early frames wait.
  Take* open(std::uint32_t actorTag);
  Take& begin(std::uint32_t actorTag);
  // The actor's take is over: its spare room goes back.
  void close(Take& take);
  std::string nameOf(std::uint32_t actorTag) const;
  void countDropped(std::uint32_t actorTag, std::uint64_t frames);

  const Options options;
  std::mutex takesMutex;
  std::map<std::uint32_t, std::string> names;
  // In the order they began.
  std::vector<Take> takes;
  // The take each actor's frames go to, by index in takes.
  std::map<std::uint32_t, std::size_t> current;
  std::map<std::uint32_t, std::uint64_t> droppedFrames;
  std::vector<Dropped> dropped;
  std::uint64_t connections = 0;
  std::uint64_t frames = 0;
  std::uint64_t bytes = 0;
  bool full = false;
  bool anyFrame = false;
  Clock::time_point firstArrival;
};
