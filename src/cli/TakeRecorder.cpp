#include "TakeRecorder.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

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

}  // namespace

void TakeRecorder::actorList(const std::vector<StreamActor>& actors) {
  std::lock_guard<std::mutex> lock(takesMutex);
  for (const StreamActor& actor : actors) names[actor.tag] = actor.name;
}

void TakeRecorder::header(std::uint32_t actorTag, int, const std::string& bvhText,
                          int channelCount) {
  // The writer ends the text with an empty motion section: the take writes its own.
  const std::string hierarchy = bvhText.substr(0, bvhText.find("MOTION\n"));
  std::lock_guard<std::mutex> lock(takesMutex);
  Take* take = &current(actorTag);
  if (take->hierarchy == hierarchy) return;
  // Another skeleton for the actor: its frames make another take.
  if (!take->hierarchy.empty()) {
    takes.push_back(Take{actorTag, take->name, std::string(), 0, {}, {}, {}});
    take = &takes.back();
  }
  take->hierarchy = hierarchy;
  take->channels = channelCount;
}

void TakeRecorder::frame(std::uint32_t actorTag, int, const float* values, int count) {
  frame(actorTag, values, count, Clock::now());
}

void TakeRecorder::frame(std::uint32_t actorTag, const float* values, int count,
                         Clock::time_point arrived) {
  std::lock_guard<std::mutex> lock(takesMutex);
  Take& take = current(actorTag);
  if (take.frames.empty()) take.first = arrived;
  take.last = arrived;
  take.frames.emplace_back(values, values + count);
  ++frames;
}

std::uint64_t TakeRecorder::frameCount() {
  std::lock_guard<std::mutex> lock(takesMutex);
  return frames;
}

TakeRecorder::Take& TakeRecorder::current(std::uint32_t actorTag) {
  for (auto take = takes.rbegin(); take != takes.rend(); ++take) {
    if (take->tag == actorTag) return *take;
  }
  const auto name = names.find(actorTag);
  takes.push_back(Take{actorTag,
                       name != names.end() ? name->second : "actor" + std::to_string(actorTag),
                       std::string(),
                       0,
                       {},
                       {},
                       {}});
  return takes.back();
}

bool TakeRecorder::write(const std::string& directory, double framesPerSecond,
                         std::vector<Written>& written, std::vector<std::string>& problems) {
  std::lock_guard<std::mutex> lock(takesMutex);
  std::set<std::string> used;
  bool ok = true;
  for (const Take& take : takes) {
    if (take.frames.empty()) continue;
    if (take.hierarchy.empty()) {
      problems.push_back(take.name + ": no skeleton header arrived; " +
                         std::to_string(take.frames.size()) + " frames not written");
      continue;
    }
    if (declaredChannels(take.hierarchy) != take.channels) {
      problems.push_back(take.name +
                         ": joints with channel counts a BVH file cannot hold; not written");
      continue;
    }
    std::size_t kept = 0;
    std::string motion;
    for (const std::vector<float>& values : take.frames) {
      if (values.size() != static_cast<std::size_t>(take.channels)) continue;
      for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) motion += ' ';
        appendNumber(motion, values[i]);
      }
      motion += '\n';
      ++kept;
    }
    if (kept < take.frames.size()) {
      problems.push_back(take.name + ": " + std::to_string(take.frames.size() - kept) +
                         " frames with another value count than its header left out");
    }

    double rate = framesPerSecond;
    if (!(rate > 0)) {
      const double span = std::chrono::duration<double>(take.last - take.first).count();
      const double measured =
          take.frames.size() > 1 && span > 0 ? (take.frames.size() - 1) / span : 0.0;
      rate = std::max(1.0, std::round(measured));
    }
    std::string text =
        take.hierarchy + "MOTION\nFrames: " + std::to_string(kept) + "\nFrame Time: ";
    appendNumber(text, 1.0 / rate);
    text += '\n';

    const std::string base = safeFileName(take.name);
    std::string file = base + ".bvh";
    for (int number = 2; used.count(lowerCase(file)) != 0; ++number) {
      file = base + "-" + std::to_string(number) + ".bvh";
    }
    used.insert(lowerCase(file));
    const std::string path = directory + "/" + file;
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary);
    out << text << motion;
    out.close();
    if (!out) {
      problems.push_back(take.name + ": cannot write " + path);
      ok = false;
      continue;
    }
    written.push_back(Written{path, take.name, kept});
  }
  return ok;
}
