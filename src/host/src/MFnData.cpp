#include <maya/MFnData.h>

MFnData::MFnData() = default;

MFnData::MFnData(MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kData);
  if (ReturnStatus) *ReturnStatus = status;
}

MFnData::MFnData(const MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kData);
  if (ReturnStatus) *ReturnStatus = status;
}

MFnData::~MFnData() = default;

MFn::Type MFnData::type() const { return MFn::kData; }
