#pragma once

#include <maya/MApiNamespace.h>

#include <cstddef>

#define MAYA_API_VERSION 20220300

typedef double double3[3];
typedef float float3[3];
typedef int int3[3];

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MSpace {
 public:
  enum Space {
    kInvalid = 0,
    kTransform,
    kPreTransform,
    kPostTransform,
    kWorld,
    kObject = kPreTransform,
    kLast = 5
  };
};

OPENMAYA_NAMESPACE_CLOSE
