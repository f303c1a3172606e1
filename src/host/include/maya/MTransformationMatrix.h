#pragma once

// Only the rotation order of Maya's class: the host stores transformations as attributes.
class MTransformationMatrix {
 public:
  enum RotationOrder { kInvalid = 0, kXYZ, kYZX, kZXY, kXZY, kYXZ, kZYX, kLast };
};
