#include <maya/MTimeArray.h>

MTimeArray::MTimeArray() = default;
MTimeArray::MTimeArray(const MTimeArray& other) = default;
MTimeArray::MTimeArray(unsigned int initialSize, const MTime& initialValue)
    : elements(initialSize, initialValue) {}
MTimeArray::~MTimeArray() = default;
MTimeArray& MTimeArray::operator=(const MTimeArray& other) = default;

const MTime& MTimeArray::operator[](unsigned int index) const { return elements[index]; }

MTime& MTimeArray::operator[](unsigned int index) { return elements[index]; }

MStatus MTimeArray::setLength(unsigned int length) {
  elements.resize(length, MTime());
  return MS::kSuccess;
}

unsigned int MTimeArray::length() const { return static_cast<unsigned int>(elements.size()); }

MStatus MTimeArray::append(const MTime& element) {
  elements.push_back(element);
  return MS::kSuccess;
}

MStatus MTimeArray::clear() {
  elements.clear();
  return MS::kSuccess;
}
