#pragma once

#include <cstddef>

typedef double double3[3];
typedef float float3[3];
typedef int int3[3];

class MSpace {
 public:
  enum Space {
    kInvalid = 0,
    kTransform,
    kPreTransform,
    kPostTransform,
    kWorld,
    kObject = kPreTransform,
    kLast
  };
};
