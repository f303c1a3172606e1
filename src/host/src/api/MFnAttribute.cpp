#include <maya/MFnAttribute.h>

#include "api/ReturnStatus.h"
#include "model/Attribute.h"
#include "model/Object.h"

using host::report;

MFnAttribute::MFnAttribute() = default;

MFnAttribute::MFnAttribute(MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kAttribute);
  report(ReturnStatus, status);
}

MFnAttribute::MFnAttribute(const MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kAttribute);
  report(ReturnStatus, status);
}

MFnAttribute::~MFnAttribute() = default;

MFn::Type MFnAttribute::type() const { return MFn::kAttribute; }

MStatus MFnAttribute::setHidden(bool state) {
  auto attribute = host::ObjectAccess::as<host::Attribute>(attached());
  if (!attribute) return MS::kFailure;
  attribute->hidden = state;
  return MS::kSuccess;
}
