#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>
#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MTypeId {
 public:
  MTypeId();
  MTypeId(unsigned int id);
  MTypeId(const MTypeId& other);
  ~MTypeId();
  MTypeId& operator=(const MTypeId& other);

  bool operator==(const MTypeId& other) const;
  bool operator!=(const MTypeId& other) const;
  unsigned int id(MStatus* ReturnStatus = NULL) const;

 private:
  unsigned int value;
};

OPENMAYA_NAMESPACE_CLOSE
