#include "stream/TakeRecorder.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <set>

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

double measuredRate(const std::vector<TakeRecorder::Run>& runs) {
  std::size_t intervals = 0;
  double seconds = 0;
  for (const TakeRecorder::Run& run : runs) {
    const double span = std::chrono::duration<double>(run.lastArrival - run.firstArrival).count();
    if (run.count < 2 || !(span > 0)) continue;
    intervals += run.count - 1;
    seconds += span;
  }
  return std::max(1.0, std::round(seconds > 0 ? static_cast<double>(intervals) / seconds : 0.0));
}

}  // namespace

const float* TakeRecorder::Take::frame(std::size_t index) const {
  return chunks[index / chunkFrames].get() +
         (index % chunkFrames) * static_cast<std::size_t>(channels);
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

void TakeRecorder::Take::append(const float* values) {
  const std::size_t width = static_cast<std::size_t>(std::max(channels, 1));
  if (chunkFrames == 0) chunkFrames = std::max<std::size_t>(1, kChunkBytes / sizeof(float) / width);
  if (frames % chunkFrames == 0) {
    std::unique_ptr<float[]> chunk(new float[chunkFrames * width]);
    chunks.push_back(std::move(chunk));
  }
  std::memcpy(chunks.back().get() + (frames % chunkFrames) * width, values,
              static_cast<std::size_t>(channels) * sizeof(float));
  ++frames;
}

void TakeRecorder::Take::clearFrames() {
  frames = 0;
  chunkFrames = 0;
  chunks.clear();
  runs.clear();
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
      bytes -= take.frameCount() * static_cast<std::uint64_t>(take.channels) * sizeof(float);
      take.clearFrames();
    }
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
      bytes -= take->frameCount() * static_cast<std::uint64_t>(take->channels) * sizeof(float);
      take->clearFrames();
    }
  } else {
    // No take yet, or another skeleton for the actor: its frames make another take.
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
  const std::uint64_t size = static_cast<std::uint64_t>(count) * sizeof(float);
  if (size > options.limitBytes - bytes) {
    full = true;
    return;
  }
  const bool gap = take->runs.empty() || arrived - take->runs.back().lastArrival > kGap ||
                   take->connection != connections;
  try {
    if (gap) take->runs.push_back(Run{take->frameCount(), 0, 0, arrived, arrived});
    take->append(values);
  } catch (const std::bad_alloc&) {
    // Memory ran out before the limit: the take ends as if it had reached it.
    if (gap && !take->runs.empty() && take->runs.back().count == 0) take->runs.pop_back();
    full = true;
    return;
  }
  Run& run = take->runs.back();
  ++run.count;
  run.lastArrival = arrived;
  take->connection = connections;
  if (!anyFrame) firstArrival = arrived;
  anyFrame = true;
  ++frames;
  bytes += size;
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
    take.framesPerSecond = framesPerSecond > 0 ? framesPerSecond : measuredRate(take.runs);
    std::int64_t end = 0;
    for (Run& run : take.runs) {
      const double seconds = std::chrono::duration<double>(run.firstArrival - firstArrival).count();
      run.slot =
          std::max(end, static_cast<std::int64_t>(std::llround(seconds * take.framesPerSecond)));
      end = run.slot + static_cast<std::int64_t>(run.count);
    }
    finished.push_back(std::move(take));
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
                         std::vector<Written>& written, std::vector<std::string>& problems) {
  std::set<std::string> used;
  bool ok = true;
  for (const Take& take : takes) {
    if (!take.writable()) {
      problems.push_back(take.actor +
                         ": joints with channel counts a BVH file cannot hold; not written");
      continue;
    }
    const std::string base = safeFileName(take.actor);
    std::string file = base + ".bvh";
    for (int number = 2; used.count(lowerCase(file)) != 0; ++number) {
      file = base + "-" + std::to_string(number) + ".bvh";
    }
    used.insert(lowerCase(file));
    const std::string path = directory + "/" + file;
    // The name is UTF-8; on Windows only a wide path reaches files whose names are not ASCII.
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary);
    out << take.hierarchy << take.motionHead(take.frameCount());
    std::string line;
    for (std::size_t i = 0; i < take.frameCount() && out; ++i) {
      const float* values = take.frame(i);
      line.clear();
      for (int k = 0; k < take.channels; ++k) {
        if (k > 0) line += ' ';
        appendNumber(line, values[k]);
      }
      line += '\n';
      out << line;
    }
    out.close();
    if (!out) {
      problems.push_back(take.actor + ": cannot write " + path);
      ok = false;
      continue;
    }
    written.push_back(Written{path, take.actor, take.frameCount()});
  }
  return ok;
}
