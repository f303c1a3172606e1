#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>

#include <vector>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MString;

class MStringArray {
 public:
  MStringArray();
  MStringArray(const MStringArray& other);
  ~MStringArray();
  MStringArray& operator=(const MStringArray& other);

  unsigned int length() const;
  MString operator[](unsigned int index) const;
  MString& operator[](unsigned int index);
  MStatus append(const MString& element);
  MStatus clear();

 private:
  std::vector<MString> elements;
};

OPENMAYA_NAMESPACE_CLOSE
