#pragma once

// 4x4 matrices for the tests' own forward kinematics, on column vectors, angles in degrees.

#include <array>
#include <cmath>

namespace testmatrix {

using Matrix = std::array<std::array<double, 4>, 4>;

constexpr double kPi = 3.14159265358979323846;

inline Matrix identity() {
  Matrix m{};
  for (int i = 0; i < 4; ++i) m[i][i] = 1;
  return m;
}

inline Matrix operator*(const Matrix& a, const Matrix& b) {
  Matrix m{};
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      for (int k = 0; k < 4; ++k) m[r][c] += a[r][k] * b[k][c];
    }
  }
  return m;
}

inline Matrix translation(const std::array<double, 3>& v) {
  Matrix m = identity();
  for (int i = 0; i < 3; ++i) m[i][3] = v[i];
  return m;
}

// A turn of `degrees` about axis 0 (X), 1 (Y) or 2 (Z), right-handed.
inline Matrix turn(int axis, double degrees) {
  const double c = std::cos(degrees * kPi / 180);
  const double s = std::sin(degrees * kPi / 180);
  const int a = (axis + 1) % 3;
  const int b = (axis + 2) % 3;
  Matrix m = identity();
  m[a][a] = c;
  m[a][b] = -s;
  m[b][a] = s;
  m[b][b] = c;
  return m;
}

}  // namespace testmatrix
