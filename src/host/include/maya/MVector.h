#pragma once

#include <maya/MApiNamespace.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MVector {
 public:
  MVector();
  MVector(const MVector& other);
  MVector(double xx, double yy, double zz = 0.0);
  MVector& operator=(const MVector& other);
  ~MVector();

  bool operator==(const MVector& other) const;
  bool operator!=(const MVector& other) const;

  double x;
  double y;
  double z;
};

OPENMAYA_NAMESPACE_CLOSE
