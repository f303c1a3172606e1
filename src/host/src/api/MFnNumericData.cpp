#include <maya/MFnNumericData.h>

#include "api/ReturnStatus.h"

using host::report;

MFnNumericData::MFnNumericData() = default;

MFnNumericData::MFnNumericData(MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kNumericData);
  report(ReturnStatus, status);
}

MFnNumericData::MFnNumericData(const MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kNumericData);
  report(ReturnStatus, status);
}

MFnNumericData::~MFnNumericData() = default;

MFn::Type MFnNumericData::type() const { return MFn::kNumericData; }
