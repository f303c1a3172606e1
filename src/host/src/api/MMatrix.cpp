#include <maya/MMatrix.h>

#include <cmath>
#include <utility>

namespace {

void copy(double to[4][4], const double from[4][4]) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) to[r][c] = from[r][c];
  }
}

}  // namespace

const MMatrix MMatrix::identity;

MMatrix::MMatrix() : matrix{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}} {}
MMatrix::MMatrix(const MMatrix& src) { copy(matrix, src.matrix); }
MMatrix::MMatrix(const double m[4][4]) { copy(matrix, m); }
MMatrix::~MMatrix() = default;

MMatrix& MMatrix::operator=(const MMatrix& src) {
  copy(matrix, src.matrix);
  return *this;
}

double MMatrix::operator()(unsigned int row, unsigned int col) const { return matrix[row][col]; }
const double* MMatrix::operator[](unsigned int row) const { return matrix[row]; }
double* MMatrix::operator[](unsigned int row) { return matrix[row]; }

MStatus MMatrix::get(double dest[4][4]) const {
  copy(dest, matrix);
  return MS::kSuccess;
}

MMatrix MMatrix::transpose() const {
  MMatrix result;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) result.matrix[r][c] = matrix[c][r];
  }
  return result;
}

MMatrix& MMatrix::setToIdentity() {
  *this = MMatrix();
  return *this;
}

MMatrix MMatrix::inverse() const {
  // Gauss-Jordan with partial pivoting; a singular matrix gives what the elimination leaves.
  double a[4][4];
  copy(a, matrix);
  MMatrix result;
  double(&b)[4][4] = result.matrix;
  for (int c = 0; c < 4; ++c) {
    int pivot = c;
    for (int r = c + 1; r < 4; ++r) {
      if (std::abs(a[r][c]) > std::abs(a[pivot][c])) pivot = r;
    }
    if (a[pivot][c] == 0.0) continue;
    for (int k = 0; k < 4; ++k) {
      std::swap(a[c][k], a[pivot][k]);
      std::swap(b[c][k], b[pivot][k]);
    }
    const double scale = 1.0 / a[c][c];
    for (int k = 0; k < 4; ++k) {
      a[c][k] *= scale;
      b[c][k] *= scale;
    }
    for (int r = 0; r < 4; ++r) {
      if (r == c) continue;
      const double factor = a[r][c];
      for (int k = 0; k < 4; ++k) {
        a[r][k] -= factor * a[c][k];
        b[r][k] -= factor * b[c][k];
      }
    }
  }
  return result;
}

MMatrix MMatrix::operator*(const MMatrix& right) const {
  MMatrix result;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += matrix[r][k] * right.matrix[k][c];
      result.matrix[r][c] = sum;
    }
  }
  return result;
}

MMatrix& MMatrix::operator*=(const MMatrix& right) {
  *this = *this * right;
  return *this;
}

bool MMatrix::operator==(const MMatrix& other) const {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      if (matrix[r][c] != other.matrix[r][c]) return false;
    }
  }
  return true;
}

bool MMatrix::operator!=(const MMatrix& other) const { return !(*this == other); }

bool MMatrix::isEquivalent(const MMatrix& other, double tolerance) const {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      if (std::abs(matrix[r][c] - other.matrix[r][c]) > tolerance) return false;
    }
  }
  return true;
}

double MMatrix::det3x3() const {
  const auto& m = matrix;
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
         m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

double MMatrix::det4x4() const {
  double result = 0.0;
  for (int c = 0; c < 4; ++c) {
    double minor[3][3];
    for (int r = 1; r < 4; ++r) {
      for (int k = 0, m = 0; k < 4; ++k) {
        if (k != c) minor[r - 1][m++] = matrix[r][k];
      }
    }
    const double det = minor[0][0] * (minor[1][1] * minor[2][2] - minor[1][2] * minor[2][1]) -
                       minor[0][1] * (minor[1][0] * minor[2][2] - minor[1][2] * minor[2][0]) +
                       minor[0][2] * (minor[1][0] * minor[2][1] - minor[1][1] * minor[2][0]);
    result += (c % 2 == 0 ? 1.0 : -1.0) * matrix[0][c] * det;
  }
  return result;
}
