#pragma once

#include <array>

namespace host {

using Matrix3 = std::array<std::array<double, 3>, 3>;

// Euler angles (radians) about X, Y, Z, applied in an order given as MEulerRotation's
// RotationOrder value (0 kXYZ: X first ... 5 kZYX). Matrices act on column vectors.
Matrix3 rotationMatrix(double x, double y, double z, int order);
// The angles that give the matrix in the order, the middle angle within [-pi/2, pi/2].
std::array<double, 3> eulerAngles(const Matrix3& matrix, int order);

}  // namespace host
