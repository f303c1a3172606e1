#pragma once

#include <maya/MStatus.h>

#include <vector>

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
