#include "motion/EulerFilter.h"

#include <cmath>
#include <cstddef>

namespace {

// The axis each channel order turns about second: Y for XYZ and ZYX, and so on.
std::size_t middleAxis(RotationOrder order) {
  switch (order) {
    case kOrderYZX:
    case kOrderXZY:
      return 2;
    case kOrderZXY:
    case kOrderYXZ:
      return 0;
    default:
      return 1;
  }
}

// The angle moved by whole turns nearest `near`.
double nearestTurn(double angle, double near) {
  return angle + 360.0 * std::round((near - angle) / 360.0);
}

double distance(const std::array<double, 3>& a, const std::array<double, 3>& b) {
  return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
}

}  // namespace

std::array<double, 3> EulerFilter::closest(const std::array<double, 3>& angles, RotationOrder order,
                                           const std::array<double, 3>& previous) {
  const std::size_t middle = middleAxis(order);
  std::array<double, 3> own{};
  std::array<double, 3> other{};
  for (std::size_t axis = 0; axis < 3; ++axis) {
    own[axis] = nearestTurn(angles[axis], previous[axis]);
    const double alternate = axis == middle ? 180.0 - angles[axis] : angles[axis] + 180.0;
    other[axis] = nearestTurn(alternate, previous[axis]);
  }
  return distance(other, previous) < distance(own, previous) ? other : own;
}

std::array<double, 3> EulerFilter::next(const std::array<double, 3>& angles) {
  previous = started ? closest(angles, order, previous) : angles;
  started = true;
  return previous;
}

void EulerFilter::follow(const std::array<double, 3>& angles) {
  previous = angles;
  started = true;
}
