#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>

#define MMatrix_kTol 1.0e-10

OPENMAYA_MAJOR_NAMESPACE_OPEN

// A 4x4 matrix of doubles, row vectors: a point p maps to p * M, the translation in row 3.
class MMatrix {
 public:
  MMatrix();
  MMatrix(const MMatrix& src);
  MMatrix(const double m[4][4]);
  ~MMatrix();

  MMatrix& operator=(const MMatrix& src);
  double operator()(unsigned int row, unsigned int col) const;
  const double* operator[](unsigned int row) const;
  double* operator[](unsigned int row);
  MStatus get(double dest[4][4]) const;

  MMatrix transpose() const;
  MMatrix& setToIdentity();
  MMatrix inverse() const;
  MMatrix operator*(const MMatrix& right) const;
  MMatrix& operator*=(const MMatrix& right);
  bool operator==(const MMatrix& other) const;
  bool operator!=(const MMatrix& other) const;
  bool isEquivalent(const MMatrix& other, double tolerance = MMatrix_kTol) const;
  double det3x3() const;
  double det4x4() const;

  static const MMatrix identity;

  double matrix[4][4];
};

OPENMAYA_NAMESPACE_CLOSE
