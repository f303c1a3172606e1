#include <maya/MTypeId.h>

#include "api/ReturnStatus.h"

using host::report;

MTypeId::MTypeId() : value(0) {}
MTypeId::MTypeId(unsigned int id) : value(id) {}
MTypeId::MTypeId(const MTypeId& other) = default;
MTypeId::~MTypeId() = default;
MTypeId& MTypeId::operator=(const MTypeId& other) = default;

bool MTypeId::operator==(const MTypeId& other) const { return value == other.value; }

bool MTypeId::operator!=(const MTypeId& other) const { return value != other.value; }

unsigned int MTypeId::id(MStatus* ReturnStatus) const {
  report(ReturnStatus, MS::kSuccess);
  return value;
}
