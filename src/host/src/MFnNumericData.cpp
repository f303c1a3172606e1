#include <maya/MFnNumericData.h>

MFnNumericData::MFnNumericData() = default;

MFnNumericData::MFnNumericData(MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kNumericData);
  if (ReturnStatus) *ReturnStatus = status;
}

MFnNumericData::MFnNumericData(const MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kNumericData);
  if (ReturnStatus) *ReturnStatus = status;
}

MFnNumericData::~MFnNumericData() = default;

MFn::Type MFnNumericData::type() const { return MFn::kNumericData; }
