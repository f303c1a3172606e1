#include <maya/MDoubleArray.h>

MDoubleArray::MDoubleArray() = default;
MDoubleArray::MDoubleArray(const MDoubleArray& other) = default;
MDoubleArray::MDoubleArray(unsigned int initialSize, double initialValue)
    : elements(initialSize, initialValue) {}
MDoubleArray::~MDoubleArray() = default;
MDoubleArray& MDoubleArray::operator=(const MDoubleArray& other) = default;

double MDoubleArray::operator[](unsigned int index) const { return elements[index]; }

double& MDoubleArray::operator[](unsigned int index) { return elements[index]; }

MStatus MDoubleArray::setLength(unsigned int length) {
  elements.resize(length, 0.0);
  return MS::kSuccess;
}

unsigned int MDoubleArray::length() const { return static_cast<unsigned int>(elements.size()); }

MStatus MDoubleArray::append(double element) {
  elements.push_back(element);
  return MS::kSuccess;
}

MStatus MDoubleArray::clear() {
  elements.clear();
  return MS::kSuccess;
}
