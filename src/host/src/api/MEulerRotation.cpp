#include <maya/MEulerRotation.h>

MEulerRotation::MEulerRotation() : x(0.0), y(0.0), z(0.0), order(kXYZ) {}
MEulerRotation::MEulerRotation(const MEulerRotation& src) = default;
MEulerRotation::MEulerRotation(double xx, double yy, double zz, RotationOrder ord)
    : x(xx), y(yy), z(zz), order(ord) {}
MEulerRotation& MEulerRotation::operator=(const MEulerRotation& src) = default;
MEulerRotation::~MEulerRotation() = default;

bool MEulerRotation::operator==(const MEulerRotation& other) const {
  return x == other.x && y == other.y && z == other.z && order == other.order;
}

bool MEulerRotation::operator!=(const MEulerRotation& other) const { return !(*this == other); }
