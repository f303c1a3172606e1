#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>

#define kQuaternionEpsilon 1.0e-10

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MEulerRotation;
class MMatrix;
class MVector;

// A rotation as a unit quaternion (x, y, z imaginary, w real). a * b turns by a, then by b, as
// a.asMatrix() * b.asMatrix() does.
class MQuaternion {
 public:
  MQuaternion();
  MQuaternion(const MQuaternion& src);
  MQuaternion(double xx, double yy, double zz, double ww);
  MQuaternion(const double q[4]);
  MQuaternion(double angle, const MVector& axisb);
  ~MQuaternion();

  MQuaternion& operator=(const MQuaternion& src);
  MQuaternion& operator=(const MMatrix& matrix);
  MQuaternion& operator=(const MEulerRotation& euler);

  MMatrix asMatrix() const;
  MEulerRotation asEulerRotation() const;
  MQuaternion& setAxisAngle(const MVector& axis, double theta);
  bool getAxisAngle(MVector& axis, double& theta) const;
  MStatus get(double dest[4]) const;

  double operator[](unsigned int i) const;
  double& operator[](unsigned int i);
  MQuaternion operator*(const MQuaternion& other) const;
  MQuaternion& operator*=(const MQuaternion& rhs);
  MQuaternion operator-() const;
  bool operator==(const MQuaternion& other) const;
  bool operator!=(const MQuaternion& other) const;
  // The same rotation: q and -q count as equal.
  bool isEquivalent(const MQuaternion& other, double tolerance = kQuaternionEpsilon) const;

  MQuaternion normal() const;
  MQuaternion& normalizeIt();
  MQuaternion conjugate() const;
  MQuaternion& conjugateIt();
  MQuaternion inverse() const;
  MQuaternion& invertIt();

  static const MQuaternion identity;

  double x;
  double y;
  double z;
  double w;
};

OPENMAYA_NAMESPACE_CLOSE
