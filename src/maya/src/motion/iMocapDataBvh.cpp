#include "motion/iMocapDataBvh.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "motion/MocapStatus.h"
#include "motion/RotationOrder.h"
#include "motion/iChannelGroup.h"
#include "motion/iTokenizer.h"
#include "motion/parseNumber.h"

namespace {

using iJoint = iSkeleton::iJoint;

enum class Section { kBeforeHierarchy, kHierarchy, kMotion };

constexpr int kMaxNameTokens = 10;
constexpr std::string_view kNameJoin = "_";
constexpr std::string_view kEffector = "_Effector";
constexpr std::string_view kEffectorFallback = "X";
constexpr std::uint64_t kPaddingFloorBytes = std::uint64_t{1} << 20;

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Keywords match in any ASCII letter case, and only as a whole token.
bool isKeyword(std::string_view token, std::string_view keyword) {
  if (token.size() != keyword.size()) return false;
  for (std::size_t i = 0; i < token.size(); ++i) {
    if (upperAscii(token[i]) != keyword[i]) return false;
  }
  return true;
}

// Frames an input of `bytes` could hold at one digit and one separator per value.
std::uint64_t framesHeld(std::uint64_t bytes, std::uint64_t valuesPerFrame) {
  return (std::max(bytes, kPaddingFloorBytes) + 1) / (2 * valuesPerFrame);
}

// The state of one parse. Each step returns kMocapOk to go on, kMocapEndOfInput when the input
// ended where that means "finish", or a failure code.
class BvhReading {
 public:
  BvhReading(std::istream* stream, iSkeleton& skeleton, const std::string& suffix)
      : tokenizer(stream), skeleton(skeleton), suffix(suffix) {}

  std::uint64_t line() const { return tokenizer.lineNumber(); }

  int run() {
    for (;;) {
      if (!read()) return finish();
      int result = kMocapOk;
      switch (section) {
        case Section::kBeforeHierarchy:
          if (isKeyword(token, "HIERARCHY")) section = Section::kHierarchy;
          break;
        case Section::kHierarchy:
          if (isKeyword(token, "MOTION")) {
            section = Section::kMotion;
          } else if (isKeyword(token, "ROOT") || isKeyword(token, "JOINT")) {
            result = readJoint();
          } else if (isKeyword(token, "END")) {
            result = readEndSite();
          } else if (token == "}") {
            // Closing braces past the root are harmless: the cursor stays on the root.
            skeleton.ascend();
          }
          break;
        case Section::kMotion:
          result = readMotionBlock();
          break;
      }
      if (result == kMocapEndOfInput) return finish();
      if (result != kMocapOk) return result;
    }
  }

 private:
  bool read() { return tokenizer.next(token) == kMocapOk; }

  int finish() {
    switch (section) {
      case Section::kBeforeHierarchy:
        return kMocapSyntaxError;
      case Section::kHierarchy:
        return kMocapOk;
      case Section::kMotion:
        if (skeleton.rewind() == kMocapOk) skeleton.root->offset = {0.0, 0.0, 0.0};
        return kMocapOk;
    }
    return kMocapOk;
  }

  void beginNode() {
    previousName = name;
    name.clear();
    offset = {0.0, 0.0, 0.0};
  }

  int readJoint() {
    beginNode();
    if (!read()) return kMocapEndOfInput;
    bool ended = false;
    for (int i = 0; i < kMaxNameTokens && token != "{"; ++i) {
      if (!name.empty()) name += kNameJoin;
      name += token;
      if (!read()) {
        ended = true;
        break;
      }
    }
    name += suffix;
    if (ended || token != "{") return kMocapSyntaxError;

    int result = readOffset();
    if (result != kMocapOk) return result;
    if (!read()) return kMocapEndOfInput;
    if (!isKeyword(token, "CHANNELS")) return kMocapSyntaxError;
    if (!read()) return kMocapEndOfInput;
    std::uint32_t count = parseCount(token);
    if (count != 3 && count != 6) return kMocapSyntaxError;
    if (count == 6) readChannelGroup('P');
    readChannelGroup('R');
    return skeleton.addJoint(name, offset, {0.0, 0.0, 0.0});
  }

  int readEndSite() {
    beginNode();
    if (!read()) return kMocapEndOfInput;
    if (!isKeyword(token, "SITE")) return kMocapSyntaxError;
    name = previousName;
    name += previousName.find(kEffector) != std::string::npos ? kEffectorFallback : kEffector;
    if (!read()) return kMocapEndOfInput;
    name += suffix;
    if (token != "{") return kMocapSyntaxError;
    int result = readOffset();
    if (result != kMocapOk) return result;
    return skeleton.addJoint(name, offset, {0.0, 0.0, 0.0});
  }

  // Any token other than OFFSET after a block's brace is consumed and the offset stays zero.
  int readOffset() {
    if (!read()) return kMocapEndOfInput;
    if (!isKeyword(token, "OFFSET")) return kMocapOk;
    for (double& value : offset) {
      if (!read()) return kMocapEndOfInput;
      value = parseReal(token);
    }
    return kMocapOk;
  }

  // An input ending among the channel names leaves the group with the letters read so far.
  void readChannelGroup(char kind) {
    iChannelGroup group;
    group.jointName = name;
    group.letters.push_back(kind);
    for (int i = 0; i < 3 && read(); ++i) group.letters.push_back(upperAscii(token[0]));
    groups.push_back(std::move(group));
  }

  int readMotionBlock() {
    if (isKeyword(token, "FRAMES:")) {
      if (!read()) return kMocapEndOfInput;
    } else if (isKeyword(token, "FRAMES")) {
      if (!read()) return kMocapEndOfInput;
      if (token == ":" && !read()) return kMocapEndOfInput;
    } else {
      return kMocapSyntaxError;
    }
    skeleton.frameCount = parseCount(token);

    if (!read()) return kMocapEndOfInput;
    if (!isKeyword(token, "FRAME")) return kMocapSyntaxError;
    if (!read()) return kMocapEndOfInput;
    if (isKeyword(token, "TIME:")) {
      if (!read()) return kMocapEndOfInput;
    } else if (isKeyword(token, "TIME")) {
      if (!read()) return kMocapEndOfInput;
      if (token == ":" && !read()) return kMocapEndOfInput;
    } else {
      return kMocapSyntaxError;
    }
    skeleton.frameTime = parseReal(token);

    if (!groups.empty()) {
      skeleton.rotationOrder = parseRotationOrder(groups.back().letters.substr(1));
    }
    readFrames(skeleton.frameCount);
    return kMocapOk;
  }

  // Where one group's values go, worked out once per block: joints cannot be added in the
  // motion section.
  struct GroupTarget {
    iJoint* joint;
    bool isPosition;
    bool sharesFrame;  // same joint as the group before it: fills the other half of its sample
    int slots[3];      // coordinate of each value, -1 to consume and ignore it
  };

  void readFrames(std::uint32_t count) {
    if (groups.empty() || count == 0) return;
    const std::uint64_t valuesPerFrame = 3 * std::uint64_t{groups.size()};

    std::vector<GroupTarget> targets;
    iJoint* previous = nullptr;
    for (const iChannelGroup& group : groups) {
      GroupTarget target{
          skeleton.findJoint(group.jointName), group.letters[0] == 'P', false, {-1, -1, -1}};
      target.sharesFrame = target.joint != nullptr && target.joint == previous;
      for (std::size_t i = 1; i < group.letters.size() && i <= 3; ++i) {
        char letter = group.letters[i];
        if (letter >= 'X' && letter <= 'Z') target.slots[i - 1] = letter - 'X';
      }
      previous = target.joint;
      targets.push_back(target);
    }
    if (tokenizer.inputSize() >= 0) {
      std::uint64_t expected = std::min<std::uint64_t>(
          count, framesHeld(static_cast<std::uint64_t>(tokenizer.inputSize()), valuesPerFrame));
      for (const GroupTarget& target : targets) {
        if (target.joint != nullptr && !target.sharesFrame) {
          target.joint->frames.reserve(target.joint->frames.size() + expected);
        }
      }
    }

    bool ended = false;
    for (std::uint32_t frame = 0; frame < count; ++frame) {
      if (ended && frame >= framesHeld(tokenizer.bytesRead(), valuesPerFrame)) break;
      for (const GroupTarget& target : targets) {
        std::array<double, 3> values{};
        for (int i = 0; i < 3 && !ended; ++i) {
          if (!read()) {
            ended = true;
          } else if (target.slots[i] >= 0) {
            values[target.slots[i]] = parseReal(token);
          }
        }
        if (target.joint == nullptr) continue;
        iFrame& sample =
            target.sharesFrame ? target.joint->frames.back() : target.joint->frames.emplace_back();
        (target.isPosition ? sample.position : sample.rotation) = values;
      }
    }
  }

  iTokenizer tokenizer;
  iSkeleton& skeleton;
  const std::string& suffix;
  Section section = Section::kBeforeHierarchy;
  std::string previousName;
  std::string name;
  std::array<double, 3> offset{};
  std::vector<iChannelGroup> groups;
  std::string_view token;
};

}  // namespace

int iMocapDataBvh::parse(const std::string& suffix) {
  if (stream == nullptr) return kMocapNoStream;
  if (skeleton == nullptr) return kMocapNoSkeleton;
  BvhReading reading(stream, *skeleton, suffix);
  int result = reading.run();
  lastLine = reading.line();
  return result;
}
