#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>

#include <vector>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// Like Maya's, an index out of range is the caller's fault and is not checked.
class MDoubleArray {
 public:
  MDoubleArray();
  MDoubleArray(const MDoubleArray& other);
  MDoubleArray(unsigned int initialSize, double initialValue = 0);
  ~MDoubleArray();
  MDoubleArray& operator=(const MDoubleArray& other);

  double operator[](unsigned int index) const;
  double& operator[](unsigned int index);
  // New elements are 0.
  MStatus setLength(unsigned int length);
  unsigned int length() const;
  MStatus append(double element);
  MStatus clear();

 private:
  std::vector<double> elements;
};

OPENMAYA_NAMESPACE_CLOSE
