#pragma once

#include <maya/MApiNamespace.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// Euler angles in radians, applied in the order named (kXYZ: X first).
class MEulerRotation {
 public:
  enum RotationOrder { kXYZ = 0, kYZX, kZXY, kXZY, kYXZ, kZYX };

  MEulerRotation();
  MEulerRotation(const MEulerRotation& src);
  MEulerRotation(double xx, double yy, double zz, RotationOrder ord = kXYZ);
  MEulerRotation& operator=(const MEulerRotation& src);
  ~MEulerRotation();

  bool operator==(const MEulerRotation& other) const;
  bool operator!=(const MEulerRotation& other) const;

  double x;
  double y;
  double z;
  RotationOrder order;
};

OPENMAYA_NAMESPACE_CLOSE
