#include "stream/TakeRecorder.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <set>
#include <system_error>

#include "stream/FilePlatform.h"
#include "stream/bvhHeaderText.h"

namespace {

// Frames are kept in chunks of about this size, so that a take never holds much more memory
// than its frames and a long one is never copied to grow.
constexpr std::size_t kChunkBytes = 1 << 20;

// Letters, digits, '-', '_' and '.' stay; anything else (separators, spaces, controls) becomes
// '_'; a name that is empty or starts with '.' gets a '_' in front.
std::string safeFileName(const std::string& name) {
  std::string safe;
  for (unsigned char c : name) {
    safe += std::isalnum(c) || c == '-' || c == '_' || c == '.' ? static_cast<char>(c) : '_';
  }
  if (safe.empty() || safe[0] == '.') safe.insert(safe.begin(), '_');
  return safe;
}

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The shortest text that reads back to the same value.
template <typename Number>
void appendNumber(std::string& text, Number value) {
  char digits[32];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, result.ptr);
}

// The channel count a hierarchy's text declares.
int declaredChannels(const std::string& hierarchy) {
  int count = 0;
  for (std::size_t at = hierarchy.find("CHANNELS "); at != std::string::npos;
       at = hierarchy.find("CHANNELS ", at + 9)) {
    count += std::atoi(hierarchy.c_str() + at + 9);
  }
  return count;
}

using Envelope = std::vector<TakeRecorder::Arrival>;

// Seconds per frame from a to b.
double slope(const TakeRecorder::Arrival& a, const TakeRecorder::Arrival& b) {
  return (b.seconds - a.seconds) / (b.index - a.index);
}

// Adds the run's next arrival to its lower envelope (the lower convex hull), which has room for
// it. Beyond kEnvelopePoints every other inner point goes: still convex, and close to the hull.
void addToEnvelope(Envelope& envelope, TakeRecorder::Arrival point) {
  const auto below = [](const TakeRecorder::Arrival& o, const TakeRecorder::Arrival& a,
                        const TakeRecorder::Arrival& b) {
    return (a.index - o.index) * (b.seconds - o.seconds) -
               (a.seconds - o.seconds) * (b.index - o.index) <=
           0;
  };
  while (envelope.size() >= 2 && below(envelope[envelope.size() - 2], envelope.back(), point)) {
    envelope.pop_back();
  }
  envelope.push_back(point);
  if (envelope.size() < TakeRecorder::kEnvelopePoints) return;
  std::size_t kept = 1;
  for (std::size_t at = 2; at + 1 < envelope.size(); at += 2) envelope[kept++] = envelope[at];
  envelope[kept++] = envelope.back();
  envelope.resize(kept);
}

// The stream's time per frame, roughly: the envelopes' slopes at their median, each weighted by
// the time it spans. A backlog spans next to no time, however many frames it holds, and frames a
// loaded receiver delays lie above the envelope. 0 when no time passed.
double typicalPeriod(const std::vector<TakeRecorder::Take>& takes) {
  std::vector<std::pair<double, double>> edges;
  double total = 0;
  for (const TakeRecorder::Take& take : takes) {
    for (const TakeRecorder::Run& run : take.runs) {
      for (std::size_t at = 1; at < run.envelope.size(); ++at) {
        const double seconds = run.envelope[at].seconds - run.envelope[at - 1].seconds;
        if (!(seconds > 0)) continue;
        edges.emplace_back(slope(run.envelope[at - 1], run.envelope[at]), seconds);
        total += seconds;
      }
    }
  }
  std::sort(edges.begin(), edges.end());
  double seconds = 0;
  for (const auto& edge : edges) {
    seconds += edge.second;
    if (seconds >= total / 2) return edge.first;
  }
  return 0;
}

// The envelope's point where a run's backlog ends: a backlog comes faster than the stream
// (period), the envelope's slopes only grow (it is convex), and its steady stretch goes at the
// stream's pace. A receiver that loses the processor while it catches up makes the backlog's
// last stretch slower, so only a slope near the pace ends it: a point left out too many only
// shortens the span measured.
std::size_t settledPoint(const Envelope& envelope, double period) {
  std::size_t at = 0;
  while (at + 1 < envelope.size() && slope(envelope[at], envelope[at + 1]) < 0.9 * period) ++at;
  return at;
}

// The envelope's last point before frames that came late at the run's end.
std::size_t lastOnTime(const Envelope& envelope, std::size_t from, double period) {
  std::size_t at = envelope.size() - 1;
  while (at > from && slope(envelope[at - 1], envelope[at]) > 1.1 * period) --at;
  return at;
}

// Frames over time between frames that came on time: in each run from its backlog's end to its
// last frame that was not late, so that neither a backlog (the frames of a stall, whose time is
// a gap) nor a frame a loaded machine delayed moves the rate. A stall within a run that the
// source catches up on counts whole. When that leaves nothing, every interval counts.
double measuredRate(const std::vector<TakeRecorder::Take>& takes, double period) {
  double intervals[2] = {0, 0};
  double seconds[2] = {0, 0};
  for (const TakeRecorder::Take& take : takes) {
    for (const TakeRecorder::Run& run : take.runs) {
      if (run.count < 2) continue;
      intervals[1] += static_cast<double>(run.count - 1);
      seconds[1] += std::chrono::duration<double>(run.lastArrival - run.firstArrival).count();
      const std::size_t from = settledPoint(run.envelope, period);
      const std::size_t to = lastOnTime(run.envelope, from, period);
      intervals[0] += run.envelope[to].index - run.envelope[from].index;
      seconds[0] += run.envelope[to].seconds - run.envelope[from].seconds;
    }
  }
  const int use = seconds[0] > 0 ? 0 : 1;
  return std::max(1.0, std::round(seconds[use] > 0 ? intervals[use] / seconds[use] : 0.0));
}

}  // namespace

const float* TakeRecorder::Take::frame(std::size_t index) const {
  auto chunk = std::upper_bound(chunks.begin(), chunks.end(), index,
                                [](std::size_t at, const Chunk& c) { return at < c.first; });
  --chunk;
  return chunk->values.get() + (index - chunk->first) * width();
}

bool TakeRecorder::Take::writable() const {
  return !hierarchy.empty() && declaredChannels(hierarchy) == channels;
}

std::string TakeRecorder::Take::motionHead(std::size_t count) const {
  std::string text = "MOTION\nFrames: " + std::to_string(count) + "\nFrame Time: ";
  appendNumber(text, 1.0 / framesPerSecond);
  text += '\n';
  return text;
}

std::size_t TakeRecorder::Take::width() const {
  return static_cast<std::size_t>(std::max(channels, 1));
}

bool TakeRecorder::Take::needsChunk() const {
  return chunks.empty() || frames == chunks.back().first + chunks.back().capacity;
}

std::size_t TakeRecorder::Take::nextChunkFrames() const {
  // Doubling from one frame: a short take (an actor that comes and goes) holds little spare
  // room, and a long one needs few chunks and is never copied to grow.
  const std::size_t most = std::max<std::size_t>(1, kChunkBytes / sizeof(float) / width());
  return std::min(most, std::max<std::size_t>(1, frames));
}

void TakeRecorder::Take::addChunk(std::size_t capacity) {
  Chunk chunk;
  chunk.values.reset(new float[capacity * width()]);
  chunk.first = frames;
  chunk.capacity = capacity;
  chunks.push_back(std::move(chunk));
}

void TakeRecorder::Take::append(const float* values) {
  const Chunk& chunk = chunks.back();
  std::memcpy(chunk.values.get() + (frames - chunk.first) * width(), values,
              static_cast<std::size_t>(channels) * sizeof(float));
  ++frames;
}

std::uint64_t TakeRecorder::Take::trim() {
  if (chunks.empty()) return 0;
  Chunk& last = chunks.back();
  const std::size_t used = frames - last.first;
  if (used == last.capacity) return 0;
  const std::uint64_t freed = (last.capacity - used) * width() * sizeof(float);
  if (used == 0) {
    chunks.pop_back();
    return freed;
  }
  std::unique_ptr<float[]> fitted(new (std::nothrow) float[used * width()]);
  if (!fitted) return 0;
  std::memcpy(fitted.get(), last.values.get(), used * width() * sizeof(float));
  last.values = std::move(fitted);
  last.capacity = used;
  return freed;
}

std::uint64_t TakeRecorder::Take::clearFrames() {
  std::uint64_t freed = 0;
  for (const Chunk& chunk : chunks) freed += chunk.capacity * width() * sizeof(float);
  frames = 0;
  chunks.clear();
  runs.clear();
  return freed;
}

TakeRecorder::TakeRecorder() : TakeRecorder(Options()) {}

TakeRecorder::TakeRecorder(const Options& chosen) : options(chosen) {}

void TakeRecorder::connected() {
  std::lock_guard<std::mutex> lock(takesMutex);
  ++connections;
}

void TakeRecorder::actorList(const std::vector<StreamActor>& actors) {
  std::lock_guard<std::mutex> lock(takesMutex);
  for (const StreamActor& actor : actors) names[actor.tag] = actor.name;
  // An actor that left ends its take there; if it comes back, its header starts another.
  for (auto it = current.begin(); it != current.end();) {
    const bool listed = std::any_of(actors.begin(), actors.end(), [&](const StreamActor& actor) {
      return actor.tag == it->first;
    });
    if (listed) {
      ++it;
      continue;
    }
    Take& take = takes[it->second];
    if (take.hierarchy.empty()) {
      countDropped(take.tag, take.frameCount());
      bytes -= take.clearFrames();
    }
    close(take);
    it = current.erase(it);
  }
}

void TakeRecorder::header(std::uint32_t actorTag, int slot, const std::string& bvhText,
                          int channelCount) {
  std::string hierarchy = actorHierarchy(bvhText, slot);
  std::lock_guard<std::mutex> lock(takesMutex);
  Take* take = open(actorTag);
  if (take != nullptr && take->hierarchy == hierarchy) return;
  if (take != nullptr && take->hierarchy.empty()) {
    // Frames that came first join the take if they fit its skeleton.
    if (take->channels != channelCount) {
      countDropped(actorTag, take->frameCount());
      bytes -= take->clearFrames();
    }
  } else {
    // No take yet, or another skeleton for the actor: its frames make another take.
    if (take != nullptr) close(*take);
    take = &begin(actorTag);
  }
  take->hierarchy = std::move(hierarchy);
  take->channels = channelCount;
}

void TakeRecorder::frame(std::uint32_t actorTag, int, const float* values, int count) {
  frame(actorTag, values, count, Clock::now());
}

void TakeRecorder::frame(std::uint32_t actorTag, const float* values, int count,
                         Clock::time_point arrived) {
  std::lock_guard<std::mutex> lock(takesMutex);
  if (full || count < 0) return;
  Take* take = open(actorTag);
  if (take == nullptr) {
    if (!options.keepFramesBeforeHeader) {
      countDropped(actorTag, 1);
      return;
    }
    take = &begin(actorTag);
    take->channels = count;
  }
  if (take->channels != count) {
    if (take->hierarchy.empty()) {
      countDropped(actorTag, 1);
    } else {
      ++take->mismatched;
    }
    return;
  }
  const bool gap = take->runs.empty() || arrived - take->runs.back().lastArrival > kGap ||
                   take->connection != connections;
  try {
    if (take->needsChunk()) {
      // The limit holds what is allocated: the last chunk gets only the room that is left.
      const std::uint64_t frameBytes = take->width() * sizeof(float);
      const std::uint64_t room = (options.limitBytes - bytes) / frameBytes;
      if (room == 0) {
        full = true;
        return;
      }
      const std::size_t capacity =
          static_cast<std::size_t>(std::min<std::uint64_t>(take->nextChunkFrames(), room));
      take->addChunk(capacity);
      bytes += capacity * frameBytes;
    }
    // Room for the envelope's next point first, so that no run is left without its frame.
    if (gap) {
      Run run;
      run.first = take->frameCount();
      run.firstArrival = arrived;
      run.connection = !take->runs.empty() && take->connection != connections;
      run.envelope.reserve(4);
      take->runs.push_back(std::move(run));
    } else {
      Envelope& envelope = take->runs.back().envelope;
      if (envelope.size() == envelope.capacity()) {
        envelope.reserve(std::min(kEnvelopePoints, 2 * envelope.size()));
      }
    }
  } catch (const std::bad_alloc&) {
    // Memory ran out before the limit: the take ends as if it had reached it.
    full = true;
    return;
  }
  take->append(values);
  Run& run = take->runs.back();
  addToEnvelope(run.envelope,
                Arrival{static_cast<double>(run.count),
                        std::chrono::duration<double>(arrived - run.firstArrival).count()});
  ++run.count;
  run.lastArrival = arrived;
  take->connection = connections;
  if (!anyFrame) firstArrival = arrived;
  anyFrame = true;
  ++frames;
}

TakeRecorder::Progress TakeRecorder::progress() {
  std::lock_guard<std::mutex> lock(takesMutex);
  return Progress{frames, bytes, full};
}

std::vector<TakeRecorder::Take> TakeRecorder::finish(double framesPerSecond) {
  std::lock_guard<std::mutex> lock(takesMutex);
  std::vector<Take> finished;
  for (Take& take : takes) {
    // Frames still waiting for a header that never came.
    if (take.hierarchy.empty()) countDropped(take.tag, take.frameCount());
    if (take.hierarchy.empty() || take.frameCount() == 0) continue;
    take.trim();
    finished.push_back(std::move(take));
  }
  // One rate for every actor, so that their takes stay in step.
  const double period = typicalPeriod(finished);
  const double rate = framesPerSecond > 0 ? framesPerSecond : measuredRate(finished, period);
  for (Take& take : finished) {
    take.framesPerSecond = rate;
    std::int64_t end = 0;
    for (Run& run : take.runs) {
      // A backlog after a pause fills the time before its end, which is keyed at its arrival
      // slot.
      const Arrival settled = run.envelope[run.connection ? 0 : settledPoint(run.envelope, period)];
      const double seconds =
          std::chrono::duration<double>(run.firstArrival - firstArrival).count() + settled.seconds;
      const std::int64_t slot =
          std::llround(seconds * rate) - static_cast<std::int64_t>(settled.index);
      run.slot = std::max(end, slot);
      end = run.slot + static_cast<std::int64_t>(run.count);
    }
  }
  takes.clear();
  current.clear();
  dropped.clear();
  for (const auto& count : droppedFrames)
    dropped.push_back(Dropped{nameOf(count.first), count.second});
  frames = 0;
  bytes = 0;
  return finished;
}

TakeRecorder::Take* TakeRecorder::open(std::uint32_t actorTag) {
  const auto found = current.find(actorTag);
  return found == current.end() ? nullptr : &takes[found->second];
}

void TakeRecorder::close(Take& take) {
  try {
    bytes -= take.trim();
  } catch (...) {
  }
}

TakeRecorder::Take& TakeRecorder::begin(std::uint32_t actorTag) {
  current[actorTag] = takes.size();
  takes.emplace_back();
  Take& take = takes.back();
  take.tag = actorTag;
  take.actor = nameOf(actorTag);
  take.connection = connections;
  return take;
}

std::string TakeRecorder::nameOf(std::uint32_t actorTag) const {
  const auto name = names.find(actorTag);
  return name != names.end() && !name->second.empty() ? name->second
                                                      : "actor" + std::to_string(actorTag);
}

void TakeRecorder::countDropped(std::uint32_t actorTag, std::uint64_t count) {
  if (count > 0) droppedFrames[actorTag] += count;
}

bool TakeRecorder::write(const std::string& directory, const std::vector<Take>& takes,
                         std::vector<Written>& written, std::vector<std::string>& problems,
                         std::vector<std::size_t>* failed) {
  std::set<std::string> used;
  bool ok = true;
  for (std::size_t index = 0; index < takes.size(); ++index) {
    const Take& take = takes[index];
    if (!take.writable()) {
      problems.push_back(take.actor +
                         ": joints with channel counts a BVH file cannot hold; not written");
      continue;
    }
    const std::string base = safeFileName(take.actor);
    std::string path;
    std::FILE* file = nullptr;
    int error = 0;
    // Made only where no file is: a name another writer took in the meantime, or one that
    // differs from a file there only in letter case where the system ignores it, takes the
    // next number.
    for (int number = 1; file == nullptr; ++number) {
      const std::string name = (number == 1 ? base : base + "-" + std::to_string(number)) + ".bvh";
      if (used.count(lowerCase(name)) != 0) continue;
      path = directory + "/" + name;
      file = filePlatform::createNew(path, error);
      if (file == nullptr && error != EEXIST) break;
      used.insert(lowerCase(name));
    }
    bool wrote = file != nullptr;
    if (wrote) {
      const std::string head = take.hierarchy + take.motionHead(take.frameCount());
      wrote = std::fwrite(head.data(), 1, head.size(), file) == head.size();
      std::string line;
      for (std::size_t i = 0; i < take.frameCount() && wrote; ++i) {
        const float* values = take.frame(i);
        line.clear();
        for (int k = 0; k < take.channels; ++k) {
          if (k > 0) line += ' ';
          appendNumber(line, values[k]);
        }
        line += '\n';
        wrote = std::fwrite(line.data(), 1, line.size(), file) == line.size();
      }
      if (!wrote) error = errno != 0 ? errno : EIO;
      // Close always, and check it: a full disk may show only when the last block is written.
      if (std::fclose(file) != 0 && wrote) {
        error = errno != 0 ? errno : EIO;
        wrote = false;
      }
      if (!wrote) {
        // A file left half written must not pass for the take.
        std::error_code ignored;
        std::filesystem::remove(std::filesystem::u8path(path), ignored);
      }
    }
    if (!wrote) {
      problems.push_back(take.actor + ": cannot write " + path + ": " +
                         std::generic_category().message(error));
      if (failed != nullptr) failed->push_back(index);
      ok = false;
      continue;
    }
    written.push_back(Written{path, take.actor, take.frameCount()});
  }
  return ok;
}
