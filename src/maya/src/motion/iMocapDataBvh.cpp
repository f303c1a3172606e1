#include "motion/iMocapDataBvh.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "motion/JointChannel.h"
#include "motion/MocapStatus.h"
#include "motion/RotationOrder.h"
#include "motion/iTokenizer.h"
#include "motion/parseNumber.h"

namespace {

using iJoint = iSkeleton::iJoint;

enum class Section { kBeforeHierarchy, kHierarchy, kMotion };

constexpr int kMaxNameTokens = 10;
constexpr std::string_view kNameJoin = "_";
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
  iMocapDataBvh::CutShort cutShort() const { return cut; }
  std::uint64_t axisless() const { return axislessCount; }
  std::vector<std::string>& axislessChannelNames() { return axislessNames; }

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
        if (token == "}") {
          skeleton.ascend();
          closeBlock();
        }
        return true;
      case Section::kMotion:
        if (blocks.empty() || isFramesLabel()) return readMotionBlock();
        leaveOut();
        return true;
    }
    return true;
  }

  MocapStatus finish() {
    if (section == Section::kBeforeHierarchy) return kMocapSyntaxError;
    // One rule whatever follows the hierarchy (motion or not): the last joint's whole list.
    if (!channelJoints.empty() && orderLetters.size() == 3) {
      skeleton.rotationOrder = parseRotationOrder(orderLetters);
    }
    if (section == Section::kHierarchy && (inHeader || openBlocks > 0)) {
      cut = iMocapDataBvh::CutShort::kInHierarchy;
    }
    if (section == Section::kMotion && (inHeader || blocks.empty())) {
      cut = iMocapDataBvh::CutShort::kInMotionHeader;
    }
    // The root's position channels carry its translation from the origin; its offset along them
    // would count twice. Along an axis without a channel it stays.
    if (section == Section::kMotion && skeleton.rewind() == kMocapOk) {
      for (int axis = 0; axis < 3; ++axis) {
        if (hasPositionChannel(skeleton.root->channels, axis)) skeleton.root->offset[axis] = 0;
      }
    }
    return kMocapOk;
  }

  void closeBlock() {
    if (openBlocks > 0) --openBlocks;
  }

  void beginNode() {
    previousName = name;
    name.clear();
    offset = {};
    channels.clear();
  }

  bool addJoint() {
    MocapStatus result = skeleton.addJoint(name, offset, {});
    if (result != kMocapOk) return fail(result);
    inHeader = false;
    iJoint* joint = skeleton.currentJoint();
    if (channels.empty()) return true;
    if (joint->parent != nullptr && hasPositionChannels(channels)) {
      skeleton.translateAllJoints = true;
    }
    joint->channels = std::move(channels);
    channels.clear();
    channelJoints.push_back(joint);
    return true;
  }

  bool readJoint() {
    beginNode();
    inHeader = true;
    if (!read()) return false;
    for (int i = 0; i < kMaxNameTokens && token != "{"; ++i) {
      if (!name.empty()) name += kNameJoin;
      name += token;
      if (!read()) return false;
    }
    name += suffix;
    if (token != "{") return fail(kMocapSyntaxError);
    ++openBlocks;
    return readOffset() && expect("CHANNELS") && read() && readChannels() && addJoint();
  }

  bool readEndSite() {
    beginNode();
    inHeader = true;
    if (!expect("SITE")) return false;
    name = endSiteName(previousName) + suffix;
    if (!expect("{")) return false;
    ++openBlocks;
    return readOffset() && addJoint();
  }

  // Any token other than OFFSET after a block's brace is consumed and the offset stays zero.
  bool readOffset() {
    if (!read()) return false;
    if (!isKeyword(token, "OFFSET")) {
      if (token == "}") closeBlock();
      return true;
    }
    for (double& value : offset) {
      if (!read()) return false;
      value = parseReal(token);
    }
    return true;
  }

  // Each name goes to the channel it names. An input ending among the names leaves the rest
  // unnamed (their values would be dropped), and the joint is still added.
  bool readChannels() {
    std::uint32_t count = parseCount(token);
    if (count != 3 && count != 6) return fail(kMocapSyntaxError);
    channels.assign(count, kNoChannel);
    orderLetters.clear();
    for (std::uint32_t i = 0; i < count && read(); ++i) {
      channels[i] = channelOfName(token, count == 6 && i < 3);
      if (channels[i] == kNoChannel) noteAxisless();
      // The skeleton's one order has always come from the last three names, whatever they name.
      if (i + 3 >= count) orderLetters.push_back(upperAscii(token[0]));
    }
    return true;
  }

  void noteAxisless() {
    ++axislessCount;
    const std::string channelName(token);
    if (std::find(axislessNames.begin(), axislessNames.end(), channelName) == axislessNames.end()) {
      axislessNames.push_back(channelName);
    }
  }

  // The current token is "LABEL:" or "LABEL", the latter optionally followed by ":"; leaves the
  // value after them in `token`.
  bool readLabelled(std::string_view label) {
    if (isKeyword(token, label)) return read() && (token != ":" || read());
    bool glued = token.size() == label.size() + 1 && token.back() == ':' &&
                 isKeyword(token.substr(0, label.size()), label);
    return (glued || fail(kMocapSyntaxError)) && read();
  }

  bool isFramesLabel() const {
    return isKeyword(token, "FRAMES") ||
           (token.size() == 7 && token.back() == ':' && isKeyword(token.substr(0, 6), "FRAMES"));
  }

  bool readMotionBlock() {
    inHeader = true;
    if (!readLabelled("FRAMES")) return false;
    // A block whose header the text ends inside holds no frames and changes no count.
    const std::uint32_t count = parseCount(token);
    if (!expect("FRAME") || !read() || !readLabelled("TIME")) return false;
    skeleton.frameCount = count;
    skeleton.frameTime = parseReal(token);
    inHeader = false;
    blocks.push_back({skeleton.frameCount, skeleton.frameCount, 0});
    readFrames(skeleton.frameCount, blocks.back());
    return true;
  }

  // A token past a block's declared frames that starts no other block: left out, and its line
  // counted once.
  void leaveOut() {
    iMocapDataBvh::MotionBlock& block = blocks.back();
    const std::uint64_t at = tokenizer.lineNumber();
    if (at == lastLeftOutLine) return;
    lastLeftOutLine = at;
    if (block.linesLeftOut == 0) block.firstLineLeftOut = at;
    ++block.linesLeftOut;
  }

  void readFrames(std::uint32_t count, iMocapDataBvh::MotionBlock& block) {
    if (channelJoints.empty() || count == 0) return;
    std::uint64_t valuesPerFrame = 0;
    for (const iJoint* joint : channelJoints) valuesPerFrame += joint->channels.size();

    if (frames != nullptr || tokenizer.inputSize() >= 0) {
      std::uint64_t expected =
          frames != nullptr
              ? count
              : std::min<std::uint64_t>(
                    count,
                    framesHeld(static_cast<std::uint64_t>(tokenizer.inputSize()), valuesPerFrame));
      for (iJoint* joint : channelJoints) joint->frames.reserve(joint->frames.size() + expected);
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
      for (iJoint* joint : channelJoints) {
        iFrame& sample = joint->frames.emplace_back();
        for (JointChannel channel : joint->channels) {
          if (channel <= kZposition) {
            sample.position[channel] = *value;
          } else if (channel <= kZrotation) {
            sample.rotation[channel - kXrotation] = *value;
          }
          ++value;
        }
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
  // The channels of the joint being read, until it is added.
  std::vector<JointChannel> channels;
  // Joints with channels in text order: the order of their values in a frame.
  std::vector<iJoint*> channelJoints;
  // Upper-cased first letters of the last three channel names read.
  std::string orderLetters;
  // Blocks whose brace was read and whose closing brace was not; an input ending inside a header
  // or with a block open is cut short.
  std::uint64_t openBlocks = 0;
  bool inHeader = false;
  iMocapDataBvh::CutShort cut = iMocapDataBvh::CutShort::kNo;
  std::uint64_t lastLeftOutLine = 0;
  std::vector<iMocapDataBvh::MotionBlock> blocks;
  std::uint64_t axislessCount = 0;
  std::vector<std::string> axislessNames;
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
  cut = reading.cutShort();
  axislessCount = reading.axisless();
  axislessNames = std::move(reading.axislessChannelNames());
  notNumberCount = reading.tokens().notNumbers();
  firstNotNumberText = reading.tokens().firstNotNumber();
  firstNotNumberAt = reading.tokens().firstNotNumberLine();
  return result;
}
