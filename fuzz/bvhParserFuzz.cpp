#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "motion/iMocapDataBvh.h"
#include "motion/iSkeleton.h"

// Parses arbitrary bytes as BVH text and walks the result; only crashes and sanitizer reports
// count as findings.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size));
  iSkeleton skeleton;
  iMocapDataBvh reader(&stream, &skeleton);
  reader.parse(size % 2 == 0 ? "" : "S");
  if (skeleton.root != nullptr) {
    iSkeleton::iJoint::icallbackData walked;
    skeleton.walk(
        skeleton.root, [](iSkeleton::iJoint*, iSkeleton::iJoint::icallbackData*) {}, &walked);
    if (walked.depth != 0) __builtin_trap();
  }
  return 0;
}
