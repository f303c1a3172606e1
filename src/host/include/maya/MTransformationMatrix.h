#pragma once

#include <maya/MApiNamespace.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// Only the rotation order of Maya's class: the host stores transformations as attributes.
class MTransformationMatrix {
 public:
  enum RotationOrder { kInvalid = 0, kXYZ, kYZX, kZXY, kXZY, kYXZ, kZYX, kLast };
};

OPENMAYA_NAMESPACE_CLOSE
