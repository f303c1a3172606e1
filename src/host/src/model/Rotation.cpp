#include "model/Rotation.h"

#include <cmath>

namespace host {

namespace {

// Axes in application order for each MEulerRotation order.
constexpr int kAxes[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}, {0, 2, 1}, {1, 0, 2}, {2, 1, 0}};

Matrix3 axisRotation(int axis, double angle) {
  Matrix3 result{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  int j = (axis + 1) % 3;
  int k = (axis + 2) % 3;
  double c = std::cos(angle);
  double s = std::sin(angle);
  result[j][j] = c;
  result[j][k] = -s;
  result[k][j] = s;
  result[k][k] = c;
  return result;
}

Matrix3 multiply(const Matrix3& a, const Matrix3& b) {
  Matrix3 result{};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      for (int n = 0; n < 3; ++n) result[r][c] += a[r][n] * b[n][c];
    }
  }
  return result;
}

int validOrder(int order) { return order >= 0 && order < 6 ? order : 0; }

}  // namespace

Matrix3 rotationMatrix(double x, double y, double z, int order) {
  const int* axes = kAxes[validOrder(order)];
  double angles[3] = {x, y, z};
  Matrix3 result = axisRotation(axes[0], angles[axes[0]]);
  result = multiply(axisRotation(axes[1], angles[axes[1]]), result);
  return multiply(axisRotation(axes[2], angles[axes[2]]), result);
}

std::array<double, 3> eulerAngles(const Matrix3& m, int order) {
  const int* axes = kAxes[validOrder(order)];
  int i = axes[0];
  int j = axes[1];
  int k = axes[2];
  // Even permutations of x, y, z (xyz, yzx, zxy) and odd ones differ only in signs.
  double sign = (j == (i + 1) % 3) ? 1.0 : -1.0;
  double first;
  double last;
  double sinMiddle = -sign * m[k][i];
  double middle = std::asin(sinMiddle < -1.0 ? -1.0 : sinMiddle > 1.0 ? 1.0 : sinMiddle);
  if (std::abs(std::cos(middle)) > 1e-12) {
    first = std::atan2(sign * m[k][j], m[k][k]);
    last = std::atan2(sign * m[j][i], m[i][i]);
  } else {
    // Gimbal lock: only the sum or difference of first and last is defined; keep last at 0.
    last = 0.0;
    first = std::atan2(-sign * m[j][k], m[j][j]);
  }
  std::array<double, 3> result{};
  result[static_cast<std::size_t>(i)] = first;
  result[static_cast<std::size_t>(j)] = middle;
  result[static_cast<std::size_t>(k)] = last;
  return result;
}

}  // namespace host
