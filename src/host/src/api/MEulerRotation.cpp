#include <maya/MEulerRotation.h>
#include <maya/MMatrix.h>
#include <maya/MQuaternion.h>
#include <maya/MVector.h>

#include <cmath>

#include "model/Rotation.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTurn = 2.0 * kPi;

// The axis (0 X, 1 Y, 2 Z) each order turns about second.
constexpr int kMiddleAxis[6] = {1, 2, 0, 2, 0, 1};

// The angle moved by whole turns nearest `near`.
double nearestTurn(double angle, double near) {
  return angle + kTurn * std::round((near - angle) / kTurn);
}

double distance(const MEulerRotation& a, const MEulerRotation& b) {
  return std::abs(a.x - b.x) + std::abs(a.y - b.y) + std::abs(a.z - b.z);
}

// Maya's matrices are row-vector ones: the transpose of the model's column-vector matrix.
MMatrix rowMatrix(const host::Matrix3& m) {
  MMatrix result;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) result.matrix[r][c] = m[c][r];
  }
  return result;
}

host::Matrix3 columnMatrix(const MMatrix& m) {
  host::Matrix3 result{};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) result[r][c] = m.matrix[c][r];
  }
  return result;
}

// The alternate solution, unbounded.
MEulerRotation alternate(const MEulerRotation& e) {
  MEulerRotation result(e.x + kPi, e.y + kPi, e.z + kPi, e.order);
  const int middle = kMiddleAxis[e.order >= 0 && e.order < 6 ? e.order : 0];
  result[static_cast<unsigned int>(middle)] = kPi - e[static_cast<unsigned int>(middle)];
  return result;
}

MEulerRotation cut(const MEulerRotation& e, const MEulerRotation& dst) {
  return MEulerRotation(nearestTurn(e.x, dst.x), nearestTurn(e.y, dst.y), nearestTurn(e.z, dst.z),
                        e.order);
}

}  // namespace

const MEulerRotation MEulerRotation::identity;

MEulerRotation::MEulerRotation() : x(0.0), y(0.0), z(0.0), order(kXYZ) {}
MEulerRotation::MEulerRotation(const MEulerRotation& src) = default;
MEulerRotation::MEulerRotation(const MVector& v, RotationOrder ord)
    : x(v.x), y(v.y), z(v.z), order(ord) {}
MEulerRotation::MEulerRotation(double xx, double yy, double zz, RotationOrder ord)
    : x(xx), y(yy), z(zz), order(ord) {}
MEulerRotation::~MEulerRotation() = default;

MEulerRotation& MEulerRotation::operator=(const MEulerRotation& src) = default;

MEulerRotation& MEulerRotation::operator=(const MQuaternion& q) { return *this = q.asMatrix(); }

MEulerRotation& MEulerRotation::operator=(const MMatrix& m) {
  *this = decompose(m, order);
  return *this;
}

MEulerRotation& MEulerRotation::setValue(double xx, double yy, double zz, RotationOrder ord) {
  x = xx;
  y = yy;
  z = zz;
  order = ord;
  return *this;
}

MQuaternion MEulerRotation::asQuaternion() const {
  MQuaternion result;
  result = asMatrix();
  return result;
}

MMatrix MEulerRotation::asMatrix() const { return rowMatrix(host::rotationMatrix(x, y, z, order)); }

MVector MEulerRotation::asVector() const { return MVector(x, y, z); }

double MEulerRotation::operator[](unsigned int i) const { return i == 0 ? x : i == 1 ? y : z; }

double& MEulerRotation::operator[](unsigned int i) { return i == 0 ? x : i == 1 ? y : z; }

MEulerRotation MEulerRotation::operator*(const MEulerRotation& other) const {
  return decompose(asMatrix() * other.asMatrix(), order);
}

MEulerRotation MEulerRotation::operator*(const MQuaternion& other) const {
  return decompose(asMatrix() * other.asMatrix(), order);
}

MEulerRotation MEulerRotation::operator*(double other) const {
  return MEulerRotation(x * other, y * other, z * other, order);
}

MEulerRotation& MEulerRotation::operator*=(const MEulerRotation& other) {
  return *this = *this * other;
}

MEulerRotation& MEulerRotation::operator*=(const MQuaternion& other) {
  return *this = *this * other;
}

MEulerRotation& MEulerRotation::operator*=(double other) { return *this = *this * other; }

bool MEulerRotation::operator==(const MEulerRotation& other) const {
  return x == other.x && y == other.y && z == other.z && order == other.order;
}

bool MEulerRotation::operator!=(const MEulerRotation& other) const { return !(*this == other); }

bool MEulerRotation::isEquivalent(const MEulerRotation& other, double tolerance) const {
  return order == other.order && std::abs(x - other.x) <= tolerance &&
         std::abs(y - other.y) <= tolerance && std::abs(z - other.z) <= tolerance;
}

bool MEulerRotation::isZero(double tolerance) const {
  return std::abs(x) <= tolerance && std::abs(y) <= tolerance && std::abs(z) <= tolerance;
}

MEulerRotation MEulerRotation::inverse() const {
  // The axes in reverse sequence: xyz <-> zyx, yzx <-> xzy, zxy <-> yxz.
  static const RotationOrder kReversed[6] = {kZYX, kXZY, kYXZ, kYZX, kZXY, kXYZ};
  return MEulerRotation(-x, -y, -z, kReversed[order >= 0 && order < 6 ? order : 0]);
}

MEulerRotation& MEulerRotation::invertIt() { return *this = inverse(); }

MEulerRotation MEulerRotation::reorder(RotationOrder ord) const {
  if (ord == order) return *this;
  return decompose(asMatrix(), ord);
}

MEulerRotation& MEulerRotation::reorderIt(RotationOrder ord) { return *this = reorder(ord); }

MEulerRotation MEulerRotation::bound() const {
  return cut(*this, MEulerRotation(0.0, 0.0, 0.0, order));
}

MEulerRotation& MEulerRotation::boundIt() { return *this = bound(); }

MEulerRotation& MEulerRotation::boundIt(const MEulerRotation& src) { return *this = src.bound(); }

MEulerRotation MEulerRotation::alternateSolution() const { return alternate(*this).bound(); }

MEulerRotation& MEulerRotation::setToAlternateSolution() { return *this = alternateSolution(); }

MEulerRotation& MEulerRotation::setToAlternateSolution(const MEulerRotation& src) {
  return *this = src.alternateSolution();
}

MEulerRotation MEulerRotation::closestSolution(const MEulerRotation& dst) const {
  const MEulerRotation own = cut(*this, dst);
  const MEulerRotation other = cut(alternate(*this), dst);
  return distance(other, dst) < distance(own, dst) ? other : own;
}

MEulerRotation& MEulerRotation::setToClosestSolution(const MEulerRotation& dst) {
  return *this = closestSolution(dst);
}

MEulerRotation& MEulerRotation::setToClosestSolution(const MEulerRotation& src,
                                                     const MEulerRotation& dst) {
  return *this = src.closestSolution(dst);
}

MEulerRotation MEulerRotation::closestCut(const MEulerRotation& dst) const {
  return cut(*this, dst);
}

MEulerRotation& MEulerRotation::setToClosestCut(const MEulerRotation& dst) {
  return *this = closestCut(dst);
}

MEulerRotation& MEulerRotation::setToClosestCut(const MEulerRotation& src,
                                                const MEulerRotation& dst) {
  return *this = src.closestCut(dst);
}

MEulerRotation MEulerRotation::decompose(const MMatrix& matrix, RotationOrder ord) {
  const auto angles = host::eulerAngles(columnMatrix(matrix), ord);
  return MEulerRotation(angles[0], angles[1], angles[2], ord);
}
