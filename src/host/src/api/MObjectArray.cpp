#include <maya/MObjectArray.h>

MObjectArray::MObjectArray() = default;
MObjectArray::MObjectArray(const MObjectArray& other) = default;
MObjectArray::~MObjectArray() = default;
MObjectArray& MObjectArray::operator=(const MObjectArray& other) = default;

unsigned int MObjectArray::length() const { return static_cast<unsigned int>(elements.size()); }

MStatus MObjectArray::append(const MObject& element) {
  elements.push_back(element);
  return MS::kSuccess;
}

// Like Maya, an index out of range is the caller's fault and is not checked.
const MObject& MObjectArray::operator[](unsigned int index) const { return elements[index]; }

MObject& MObjectArray::operator[](unsigned int index) { return elements[index]; }

MStatus MObjectArray::clear() {
  elements.clear();
  return MS::kSuccess;
}
