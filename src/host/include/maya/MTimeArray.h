#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>
#include <maya/MTime.h>

#include <vector>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// Like Maya's, an index out of range is the caller's fault and is not checked.
class MTimeArray {
 public:
  MTimeArray();
  MTimeArray(const MTimeArray& other);
  MTimeArray(unsigned int initialSize, const MTime& initialValue);
  ~MTimeArray();
  MTimeArray& operator=(const MTimeArray& other);

  const MTime& operator[](unsigned int index) const;
  MTime& operator[](unsigned int index);
  // New elements are 0.
  MStatus setLength(unsigned int length);
  unsigned int length() const;
  MStatus append(const MTime& element);
  MStatus clear();

 private:
  std::vector<MTime> elements;
};

OPENMAYA_NAMESPACE_CLOSE
