#pragma once

#include <iosfwd>
#include <string>

#include "motion/MocapStatus.h"
#include "motion/iSkeleton.h"

// Base of the motion-data readers. A reader borrows an input stream and a target skeleton (either
// may be null), is used for one parse and is destroyed through its concrete type.
class iMocapData {
 public:
  iMocapData(std::istream* input, iSkeleton* target) : stream(input), skeleton(target) {}

  // Reads the whole input into the skeleton, appending `suffix` to every joint name.
  // kMocapEndOfInput is never returned.
  virtual MocapStatus parse(const std::string& suffix) = 0;

 protected:
  ~iMocapData() = default;

  std::istream* stream;
  iSkeleton* skeleton;
};
