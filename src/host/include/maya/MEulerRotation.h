#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>

#define kEulerRotationEpsilon 1.0e-10

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MMatrix;
class MQuaternion;
class MVector;

// Euler angles in radians, applied in the order named (kXYZ: X first). Matrices are Maya's:
// row vectors, so the first rotation stands leftmost.
class MEulerRotation {
 public:
  enum RotationOrder { kXYZ = 0, kYZX, kZXY, kXZY, kYXZ, kZYX };

  MEulerRotation();
  MEulerRotation(const MEulerRotation& src);
  MEulerRotation(const MVector& v, RotationOrder ord = kXYZ);
  MEulerRotation(double xx, double yy, double zz, RotationOrder ord = kXYZ);
  ~MEulerRotation();

  MEulerRotation& operator=(const MEulerRotation& src);
  // The orientation in this object's order.
  MEulerRotation& operator=(const MQuaternion& q);
  MEulerRotation& operator=(const MMatrix& m);
  MEulerRotation& setValue(double xx, double yy, double zz, RotationOrder ord = kXYZ);

  MQuaternion asQuaternion() const;
  MMatrix asMatrix() const;
  MVector asVector() const;

  double operator[](unsigned int i) const;
  double& operator[](unsigned int i);

  // This rotation followed by the other, in this object's order.
  MEulerRotation operator*(const MEulerRotation& other) const;
  MEulerRotation operator*(const MQuaternion& other) const;
  // Each angle multiplied.
  MEulerRotation operator*(double other) const;
  MEulerRotation& operator*=(const MEulerRotation& other);
  MEulerRotation& operator*=(const MQuaternion& other);
  MEulerRotation& operator*=(double other);

  bool operator==(const MEulerRotation& other) const;
  bool operator!=(const MEulerRotation& other) const;
  // Angles and order alike within the tolerance.
  bool isEquivalent(const MEulerRotation& other, double tolerance = kEulerRotationEpsilon) const;
  bool isZero(double tolerance = kEulerRotationEpsilon) const;

  // The reverse rotation: negated angles in the reversed order.
  MEulerRotation inverse() const;
  MEulerRotation& invertIt();
  // The same orientation in another order.
  MEulerRotation reorder(RotationOrder ord) const;
  MEulerRotation& reorderIt(RotationOrder ord);
  // Each angle moved by whole turns into [-pi, pi].
  MEulerRotation bound() const;
  MEulerRotation& boundIt();
  MEulerRotation& boundIt(const MEulerRotation& src);
  // The other angles of the same orientation (first and last axis half a turn on, the middle one
  // mirrored), bound.
  MEulerRotation alternateSolution() const;
  MEulerRotation& setToAlternateSolution();
  MEulerRotation& setToAlternateSolution(const MEulerRotation& src);
  // The angles of this orientation, in its order, nearest dst (taken in this order): each angle
  // moved by whole turns, of this solution or the alternate one, whichever is nearer.
  MEulerRotation closestSolution(const MEulerRotation& dst) const;
  MEulerRotation& setToClosestSolution(const MEulerRotation& dst);
  MEulerRotation& setToClosestSolution(const MEulerRotation& src, const MEulerRotation& dst);
  // Each angle moved by whole turns nearest dst's.
  MEulerRotation closestCut(const MEulerRotation& dst) const;
  MEulerRotation& setToClosestCut(const MEulerRotation& dst);
  MEulerRotation& setToClosestCut(const MEulerRotation& src, const MEulerRotation& dst);

  // The rotation of a matrix without scale or shear, the middle angle within [-pi/2, pi/2].
  static MEulerRotation decompose(const MMatrix& matrix, RotationOrder ord);

  static const MEulerRotation identity;

  double x;
  double y;
  double z;
  RotationOrder order;
};

OPENMAYA_NAMESPACE_CLOSE
