#pragma once

#include <string>

// Three channels of one joint as declared in BVH text; lives for one parse only.
class iChannelGroup {
 public:
  std::string jointName;  // full name, suffix included
  // "P" (positions) or "R" (rotations), then up to three upper-cased first letters of the
  // channel names in text order, e.g. "RZXY".
  std::string letters;
};
