#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "motion/MocapStatus.h"
#include "motion/iFrameSource.h"
#include "motion/iMocapData.h"
#include "motion/iSkeleton.h"

// Reads Biovision Hierarchy text into a fresh iSkeleton in one pass. After a failure the skeleton
// keeps what was added before it. parse throws std::bad_alloc when memory runs out. With a frame
// source, the values of the frames each "Frames" line declares come from it instead of the text,
// which then ends after its "Frame Time" lines; everything else is read as from text.
class iMocapDataBvh final : public iMocapData {
 public:
  // One "Frames" block of the motion section, counted in frames. A text that ends early holds
  // fewer frames than it declares; the samples past them are zeros, added only up to a bound
  // for counts far beyond the text.
  struct MotionBlock {
    std::uint32_t declared = 0;  // the count of its Frames line
    std::uint32_t held = 0;      // frames the text gave every value of
    std::uint32_t stored = 0;    // samples added to each joint with channels
    // Lines holding values past the declared frames, which are left out, and the first of them
    // (1-based); a further Frames line starts the next block.
    std::uint64_t linesLeftOut = 0;
    std::uint64_t firstLineLeftOut = 0;
  };

  // Where a text that parsed ended before it was complete.
  enum class CutShort {
    kNo,
    kInHierarchy,     // inside a joint's header or with a joint's block still open
    kInMotionHeader,  // after MOTION, before a Frames block's "Frame Time" value
  };

  iMocapDataBvh(std::istream* input, iSkeleton* target, iFrameSource* frameSource = nullptr)
      : iMocapData(input, target), frames(frameSource) {}

  MocapStatus parse(const std::string& suffix) override;

  // After parse: the 1-based line of the last token read, so for kMocapSyntaxError the
  // offending line and for an early end the last line with tokens; 0 if nothing was read.
  std::uint64_t line() const { return lastLine; }

  // After parse: the motion blocks read, in text order.
  const std::vector<MotionBlock>& motionBlocks() const { return blocks; }
  // After a successful parse: whether the text ended early, and where (line()). Frames the text
  // ends inside are counted in motionBlocks().
  CutShort cutShort() const { return cut; }
  // After parse: channel names that begin with no axis letter ("rotZ", "rx"), whose values go
  // to no channel, and each such name once, in text order.
  std::uint64_t axislessChannels() const { return axislessCount; }
  const std::vector<std::string>& axislessChannelNames() const { return axislessNames; }
  // After parse: frame values that do not begin with a number and were read as 0, the first of
  // them and its 1-based line.
  std::uint64_t notNumbers() const { return notNumberCount; }
  const std::string& firstNotNumber() const { return firstNotNumberText; }
  std::uint64_t firstNotNumberLine() const { return firstNotNumberAt; }

 private:
  iFrameSource* frames;
  std::uint64_t lastLine = 0;
  std::vector<MotionBlock> blocks;
  CutShort cut = CutShort::kNo;
  std::uint64_t axislessCount = 0;
  std::vector<std::string> axislessNames;
  std::uint64_t notNumberCount = 0;
  std::string firstNotNumberText;
  std::uint64_t firstNotNumberAt = 0;
};
