#include <maya/MEulerRotation.h>
#include <maya/MMatrix.h>
#include <maya/MQuaternion.h>
#include <maya/MVector.h>

#include <cmath>

const MQuaternion MQuaternion::identity;

MQuaternion::MQuaternion() : x(0.0), y(0.0), z(0.0), w(1.0) {}
MQuaternion::MQuaternion(const MQuaternion& src) = default;
MQuaternion::MQuaternion(double xx, double yy, double zz, double ww) : x(xx), y(yy), z(zz), w(ww) {}
MQuaternion::MQuaternion(const double q[4]) : x(q[0]), y(q[1]), z(q[2]), w(q[3]) {}
MQuaternion::MQuaternion(double angle, const MVector& axisb) : MQuaternion() {
  setAxisAngle(axisb, angle);
}
MQuaternion::~MQuaternion() = default;

MQuaternion& MQuaternion::operator=(const MQuaternion& src) = default;

MQuaternion& MQuaternion::operator=(const MMatrix& matrix) {
  // The rotation part of a row-vector matrix: m[i][j] is the column-vector matrix's [j][i].
  const auto& m = matrix.matrix;
  const double trace = m[0][0] + m[1][1] + m[2][2];
  if (trace > 0.0) {
    const double s = 2.0 * std::sqrt(1.0 + trace);
    w = s / 4.0;
    x = (m[1][2] - m[2][1]) / s;
    y = (m[2][0] - m[0][2]) / s;
    z = (m[0][1] - m[1][0]) / s;
  } else if (m[0][0] >= m[1][1] && m[0][0] >= m[2][2]) {
    const double s = 2.0 * std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]);
    w = (m[1][2] - m[2][1]) / s;
    x = s / 4.0;
    y = (m[1][0] + m[0][1]) / s;
    z = (m[2][0] + m[0][2]) / s;
  } else if (m[1][1] >= m[2][2]) {
    const double s = 2.0 * std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]);
    w = (m[2][0] - m[0][2]) / s;
    x = (m[1][0] + m[0][1]) / s;
    y = s / 4.0;
    z = (m[2][1] + m[1][2]) / s;
  } else {
    const double s = 2.0 * std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]);
    w = (m[0][1] - m[1][0]) / s;
    x = (m[2][0] + m[0][2]) / s;
    y = (m[2][1] + m[1][2]) / s;
    z = s / 4.0;
  }
  return *this;
}

MQuaternion& MQuaternion::operator=(const MEulerRotation& euler) {
  return *this = euler.asMatrix();
}

MMatrix MQuaternion::asMatrix() const {
  MMatrix result;
  auto& m = result.matrix;
  m[0][0] = 1.0 - 2.0 * (y * y + z * z);
  m[0][1] = 2.0 * (x * y + z * w);
  m[0][2] = 2.0 * (x * z - y * w);
  m[1][0] = 2.0 * (x * y - z * w);
  m[1][1] = 1.0 - 2.0 * (x * x + z * z);
  m[1][2] = 2.0 * (y * z + x * w);
  m[2][0] = 2.0 * (x * z + y * w);
  m[2][1] = 2.0 * (y * z - x * w);
  m[2][2] = 1.0 - 2.0 * (x * x + y * y);
  return result;
}

MEulerRotation MQuaternion::asEulerRotation() const {
  MEulerRotation result;
  result = *this;
  return result;
}

MQuaternion& MQuaternion::setAxisAngle(const MVector& axis, double theta) {
  const double length = std::sqrt(axis.x * axis.x + axis.y * axis.y + axis.z * axis.z);
  if (length == 0.0) {
    *this = MQuaternion();
    return *this;
  }
  const double s = std::sin(theta / 2.0) / length;
  x = axis.x * s;
  y = axis.y * s;
  z = axis.z * s;
  w = std::cos(theta / 2.0);
  return *this;
}

bool MQuaternion::getAxisAngle(MVector& axis, double& theta) const {
  const double s = std::sqrt(x * x + y * y + z * z);
  theta = 2.0 * std::atan2(s, w);
  if (s == 0.0) {
    axis = MVector(0.0, 0.0, 1.0);
    return false;
  }
  axis = MVector(x / s, y / s, z / s);
  return true;
}

MStatus MQuaternion::get(double dest[4]) const {
  dest[0] = x;
  dest[1] = y;
  dest[2] = z;
  dest[3] = w;
  return MS::kSuccess;
}

double MQuaternion::operator[](unsigned int i) const {
  return i == 0 ? x : i == 1 ? y : i == 2 ? z : w;
}

double& MQuaternion::operator[](unsigned int i) { return i == 0 ? x : i == 1 ? y : i == 2 ? z : w; }

MQuaternion MQuaternion::operator*(const MQuaternion& other) const {
  // Turning by this, then by other: the Hamilton product other * this.
  const MQuaternion& a = other;
  const MQuaternion& b = *this;
  return MQuaternion(
      a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
      a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z);
}

MQuaternion& MQuaternion::operator*=(const MQuaternion& rhs) {
  *this = *this * rhs;
  return *this;
}

MQuaternion MQuaternion::operator-() const { return MQuaternion(-x, -y, -z, -w); }

bool MQuaternion::operator==(const MQuaternion& other) const {
  return x == other.x && y == other.y && z == other.z && w == other.w;
}

bool MQuaternion::operator!=(const MQuaternion& other) const { return !(*this == other); }

bool MQuaternion::isEquivalent(const MQuaternion& other, double tolerance) const {
  auto near = [tolerance](const MQuaternion& a, const MQuaternion& b) {
    return std::abs(a.x - b.x) <= tolerance && std::abs(a.y - b.y) <= tolerance &&
           std::abs(a.z - b.z) <= tolerance && std::abs(a.w - b.w) <= tolerance;
  };
  return near(*this, other) || near(*this, -other);
}

MQuaternion MQuaternion::normal() const {
  MQuaternion result(*this);
  return result.normalizeIt();
}

MQuaternion& MQuaternion::normalizeIt() {
  const double length = std::sqrt(x * x + y * y + z * z + w * w);
  if (length > 0.0) {
    x /= length;
    y /= length;
    z /= length;
    w /= length;
  }
  return *this;
}

MQuaternion MQuaternion::conjugate() const { return MQuaternion(-x, -y, -z, w); }

MQuaternion& MQuaternion::conjugateIt() {
  *this = conjugate();
  return *this;
}

MQuaternion MQuaternion::inverse() const {
  const double norm = x * x + y * y + z * z + w * w;
  if (norm == 0.0) return MQuaternion(0.0, 0.0, 0.0, 0.0);
  return MQuaternion(-x / norm, -y / norm, -z / norm, w / norm);
}

MQuaternion& MQuaternion::invertIt() {
  *this = inverse();
  return *this;
}
