#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "motion/MocapStatus.h"
#include "motion/iMocapData.h"
#include "motion/iSkeleton.h"

// Reads Biovision Hierarchy text into a fresh iSkeleton in one pass. After a failure the skeleton
// keeps what was added before it. parse throws std::bad_alloc when memory runs out.
class iMocapDataBvh final : public iMocapData {
 public:
  iMocapDataBvh(std::istream* stream, iSkeleton* skeleton) : iMocapData(stream, skeleton) {}

  MocapStatus parse(const std::string& suffix) override;

  // After parse: the 1-based line of the last token read, so for kMocapSyntaxError the
  // offending line and for an early end the last line with tokens; 0 if nothing was read.
  std::uint64_t line() const { return lastLine; }

 private:
  std::uint64_t lastLine = 0;
};
