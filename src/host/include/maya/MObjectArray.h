#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <vector>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MObjectArray {
 public:
  MObjectArray();
  MObjectArray(const MObjectArray& other);
  ~MObjectArray();
  MObjectArray& operator=(const MObjectArray& other);

  unsigned int length() const;
  MStatus append(const MObject& element);
  const MObject& operator[](unsigned int index) const;
  MObject& operator[](unsigned int index);
  MStatus clear();

 private:
  std::vector<MObject> elements;
};

OPENMAYA_NAMESPACE_CLOSE
