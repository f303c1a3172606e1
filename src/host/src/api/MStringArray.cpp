#include <maya/MString.h>
#include <maya/MStringArray.h>

MStringArray::MStringArray() = default;
MStringArray::MStringArray(const MStringArray& other) = default;
MStringArray::~MStringArray() = default;
MStringArray& MStringArray::operator=(const MStringArray& other) = default;

unsigned int MStringArray::length() const { return static_cast<unsigned int>(elements.size()); }

// Like Maya, an index out of range is the caller's fault and is not checked.
MString MStringArray::operator[](unsigned int index) const { return elements[index]; }

MString& MStringArray::operator[](unsigned int index) { return elements[index]; }

MStatus MStringArray::append(const MString& element) {
  elements.push_back(element);
  return MS::kSuccess;
}

MStatus MStringArray::clear() {
  elements.clear();
  return MS::kSuccess;
}
