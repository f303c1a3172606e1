#include <maya/MVector.h>

MVector::MVector() : x(0.0), y(0.0), z(0.0) {}
MVector::MVector(const MVector& other) = default;
MVector::MVector(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
MVector& MVector::operator=(const MVector& other) = default;
MVector::~MVector() = default;

bool MVector::operator==(const MVector& other) const {
  return x == other.x && y == other.y && z == other.z;
}

bool MVector::operator!=(const MVector& other) const { return !(*this == other); }
