#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "motion/iMocapData.h"
#include "motion/iSkeleton.h"

// Reads Biovision Hierarchy text into a fresh iSkeleton in one pass, line by line.
//
// parse returns kMocapOk, kMocapNoStream, kMocapNoSkeleton, kMocapDuplicateName or
// kMocapSyntaxError; after a failure the skeleton keeps what was added before it. On success
// every joint with channels holds one sample per declared frame of each Frames block, zeros
// where the values ran short, with one bound: once the input has ended inside a block, zero
// frames are added only up to as many frames as an input of max(bytes read, 1 MiB) could hold
// at one digit and one separator per value, (bytes + 1) / (2 * values per frame). So a count
// far beyond the data ("Frames: 4294967295" and no values) costs memory and time in proportion
// to the input, while a text whose values match its counts is never affected. `frameCount`
// keeps the declared count either way.
class iMocapDataBvh final : public iMocapData {
 public:
  iMocapDataBvh(std::istream* stream, iSkeleton* skeleton) : iMocapData(stream, skeleton) {}

  int parse(const std::string& suffix) override;

  // After parse: the 1-based line of the last token read, so for kMocapSyntaxError the
  // offending line and for an early end the last line with tokens; 0 if nothing was read.
  std::uint64_t line() const { return lastLine; }

 private:
  std::uint64_t lastLine = 0;
};
