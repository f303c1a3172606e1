#include <maya/MFnData.h>

#include "api/ReturnStatus.h"

using host::report;

MFnData::MFnData() = default;

MFnData::MFnData(MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kData);
  report(ReturnStatus, status);
}

MFnData::MFnData(const MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kData);
  report(ReturnStatus, status);
}

MFnData::~MFnData() = default;

MFn::Type MFnData::type() const { return MFn::kData; }
