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

// Frames an input of `bytes` could hold at one digit and one separator per value. Zero frames are
// padded only up to that many once the input has ended, with at least 1 MiB assumed, so a count
// far beyond the data costs memory and time in proportion to the input.
std::uint64_t framesHeld(std::uint64_t bytes, std::uint64_t valuesPerFrame) {
  return (std::max(bytes, kPaddingFloorBytes) + 1) / (2 * valuesPerFrame);
}

// The state of one parse. Each step returns true to go on; false stops the parse with the reason
// in `status`, where kMocapEndOfInput means the input ended where that means "finish".
class BvhReading {
 public:
  BvhReading(std::istream* input, iSkeleton& target, const std::string& nameSuffix,
             iFrameSource* frameSource)
      : tokenizer(input), skeleton(target), suffix(nameSuffix), frames(frameSource) {}

  MocapStatus run() {
    while (read() && step()) {
    }
    return status == kMocapEndOfInput ? finish() : status;
  }

  std::uint64_t line() const { return tokenizer.lineNumber(); }
  const iTokenizer& tokens() const { return tokenizer; }
  std::vector<iMocapDataBvh::MotionBlock>& motionBlocks() { return blocks; }

 private:
  bool read() {
    status = tokenizer.next(token);
    return status == kMocapOk;
  }
  bool fail(MocapStatus reason) {
    status = reason;
    return false;
  }
  bool expect(std::string_view keyword) {
    return read() && (isKeyword(token, keyword) || fail(kMocapSyntaxError));
  }

  bool step() {
    switch (section) {
      case Section::kBeforeHierarchy:
        if (isKeyword(token, "HIERARCHY")) section = Section::kHierarchy;
        return true;
      case Section::kHierarchy:
        if (isKeyword(token, "ROOT") || isKeyword(token, "JOINT")) return readJoint();
        if (isKeyword(token, "END")) return readEndSite();
        if (isKeyword(token, "MOTION")) section = Section::kMotion;
        // Closing braces past the root are harmless: the cursor stays on the root.
        if (token == "}") skeleton.ascend();
        return true;
      case Section::kMotion:
        return readMotionBlock();
    }
    return true;
  }

  MocapStatus finish() {
    if (section == Section::kBeforeHierarchy) return kMocapSyntaxError;
    // The root's position channels carry its translation; its offset would count it twice.
    if (section == Section::kMotion && skeleton.rewind() == kMocapOk) skeleton.root->offset = {};
    return kMocapOk;
  }

  void beginNode() {
    previousName = name;
    name.clear();
    offset = {};
  }

  bool addJoint() {
    MocapStatus result = skeleton.addJoint(name, offset, {});
    return result == kMocapOk || fail(result);
  }

  bool readJoint() {
    beginNode();
    if (!read()) return false;
    for (int i = 0; i < kMaxNameTokens && token != "{"; ++i) {
      if (!name.empty()) name += kNameJoin;
      name += token;
      if (!read()) return fail(kMocapSyntaxError);
    }
    name += suffix;
    return (token == "{" || fail(kMocapSyntaxError)) && readOffset() && expect("CHANNELS") &&
           read() && readChannels() && addJoint();
  }

  bool readEndSite() {
    beginNode();
    if (!expect("SITE")) return false;
    name = previousName;
    name += previousName.find(kEffector) != std::string::npos ? kEffectorFallback : kEffector;
    name += suffix;
    return expect("{") && readOffset() && addJoint();
  }

  // Any token other than OFFSET after a block's brace is consumed and the offset stays zero.
  bool readOffset() {
    if (!read()) return false;
    if (!isKeyword(token, "OFFSET")) return true;
    for (double& value : offset) {
      if (!read()) return false;
      value = parseReal(token);
    }
    return true;
  }

  bool readChannels() {
    std::uint32_t count = parseCount(token);
    if (count != 3 && count != 6) return fail(kMocapSyntaxError);
    if (count == 6) readChannelGroup('P');
    readChannelGroup('R');
    return true;
  }

  // An input ending among the channel names leaves the group with the letters read so far, and
  // the joint is still added.
  void readChannelGroup(char kind) {
    iChannelGroup& group = groups.emplace_back(iChannelGroup{name, std::string(1, kind)});
    for (int i = 0; i < 3 && read(); ++i) group.letters.push_back(upperAscii(token[0]));
  }

  // The current token is "LABEL:" or "LABEL", the latter optionally followed by ":"; leaves the
  // value after them in `token`.
  bool readLabelled(std::string_view label) {
    if (isKeyword(token, label)) return read() && (token != ":" || read());
    bool glued = token.size() == label.size() + 1 && token.back() == ':' &&
                 isKeyword(token.substr(0, label.size()), label);
    return (glued || fail(kMocapSyntaxError)) && read();
  }

  bool readMotionBlock() {
    if (!readLabelled("FRAMES")) return false;
    skeleton.frameCount = parseCount(token);
    if (!expect("FRAME") || !read() || !readLabelled("TIME")) return false;
    skeleton.frameTime = parseReal(token);
    if (!groups.empty()) {
      skeleton.rotationOrder = parseRotationOrder(groups.back().letters.substr(1));
    }
    blocks.push_back({skeleton.frameCount, skeleton.frameCount, 0});
    readFrames(skeleton.frameCount, blocks.back());
    return true;
  }

  // Where one group's values go, worked out once per block: joints cannot be added in the
  // motion section.
  struct GroupTarget {
    iJoint* joint;
    bool isPosition;
    bool sharesFrame;  // same joint as the group before it: fills the other half of its sample
    int slots[3];      // coordinate of each value, -1 to consume and ignore it
  };

  void readFrames(std::uint32_t count, iMocapDataBvh::MotionBlock& block) {
    if (groups.empty() || count == 0) return;
    const std::uint64_t valuesPerFrame = 3 * std::uint64_t{groups.size()};

    std::vector<GroupTarget> targets;
    iJoint* previous = nullptr;
    for (const iChannelGroup& group : groups) {
      GroupTarget target{
          skeleton.findJoint(group.jointName), group.letters[0] == 'P', false, {-1, -1, -1}};
      target.sharesFrame = target.joint != nullptr && target.joint == previous;
      for (std::size_t i = 1; i < group.letters.size(); ++i) {
        char letter = group.letters[i];
        if (letter >= 'X' && letter <= 'Z') target.slots[i - 1] = letter - 'X';
      }
      previous = target.joint;
      targets.push_back(target);
    }
    if (frames != nullptr || tokenizer.inputSize() >= 0) {
      std::uint64_t expected =
          frames != nullptr
              ? count
              : std::min<std::uint64_t>(
                    count,
                    framesHeld(static_cast<std::uint64_t>(tokenizer.inputSize()), valuesPerFrame));
      for (const GroupTarget& target : targets) {
        if (target.joint != nullptr && !target.sharesFrame) {
          target.joint->frames.reserve(target.joint->frames.size() + expected);
        }
      }
    }

    std::vector<double> values(valuesPerFrame);
    bool ended = false;
    std::uint32_t frame = 0;
    for (; frame < count; ++frame) {
      if (ended && frame >= framesHeld(tokenizer.bytesRead(), valuesPerFrame)) break;
      std::size_t read = ended               ? 0
                         : frames != nullptr ? frames->nextFrame(values.data(), values.size())
                                             : tokenizer.nextReals(values.data(), values.size());
      if (!ended && read < values.size()) {
        ended = true;
        block.held = frame;
      }
      std::fill(values.begin() + read, values.end(), 0.0);
      const double* value = values.data();
      for (const GroupTarget& target : targets) {
        std::array<double, 3> group{};
        for (int i = 0; i < 3; ++i, ++value) {
          if (target.slots[i] >= 0) group[target.slots[i]] = *value;
        }
        if (target.joint == nullptr) continue;
        iFrame& sample =
            target.sharesFrame ? target.joint->frames.back() : target.joint->frames.emplace_back();
        (target.isPosition ? sample.position : sample.rotation) = group;
      }
    }
    block.stored = frame;
  }

  iTokenizer tokenizer;
  iSkeleton& skeleton;
  const std::string& suffix;
  iFrameSource* frames;
  MocapStatus status = kMocapOk;
  Section section = Section::kBeforeHierarchy;
  std::string previousName;
  std::string name;
  std::array<double, 3> offset{};
  std::vector<iChannelGroup> groups;
  std::vector<iMocapDataBvh::MotionBlock> blocks;
  std::string_view token;
};

}  // namespace

MocapStatus iMocapDataBvh::parse(const std::string& suffix) {
  if (stream == nullptr) return kMocapNoStream;
  if (skeleton == nullptr) return kMocapNoSkeleton;
  BvhReading reading(stream, *skeleton, suffix, frames);
  MocapStatus result = reading.run();
  lastLine = reading.line();
  blocks = std::move(reading.motionBlocks());
  notNumberCount = reading.tokens().notNumbers();
  firstNotNumberText = reading.tokens().firstNotNumber();
  firstNotNumberAt = reading.tokens().firstNotNumberLine();
  return result;
}
