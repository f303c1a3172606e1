#include <maya/MFnBase.h>
#include <maya/MObject.h>

#include "api/ReturnStatus.h"
#include "model/Node.h"
#include "model/Object.h"

namespace {

// Deleted nodes keep their handles but no function set takes them.
bool usable(const MObject& object, MFn::Type required) {
  if (!object.hasFn(required)) return false;
  auto node = host::ObjectAccess::as<host::Node>(object);
  return !node || node->alive();
}

}  // namespace

MFnBase::MFnBase() : attachedObject(std::make_unique<MObject>()) {}
MFnBase::~MFnBase() = default;

MFn::Type MFnBase::type() const { return MFn::kBase; }

bool MFnBase::hasObj(MFn::Type fnType) const { return attachedObject->hasFn(fnType); }

bool MFnBase::hasObj(const MObject& object) const { return usable(object, type()); }

MObject MFnBase::object(MStatus* ReturnStatus) const {
  host::report(ReturnStatus, attachedObject->isNull() ? MS::kInvalidParameter : MS::kSuccess);
  return *attachedObject;
}

MStatus MFnBase::setObject(MObject& object) { return attach(object, type()); }

MStatus MFnBase::setObject(const MObject& object) { return attach(object, type()); }

MStatus MFnBase::attach(const MObject& object, MFn::Type required) {
  if (!usable(object, required)) {
    *attachedObject = MObject();
    return MS::kInvalidParameter;
  }
  *attachedObject = object;
  return MS::kSuccess;
}

const MObject& MFnBase::attached() const { return *attachedObject; }

void MFnBase::setAttached(const MObject& object) { *attachedObject = object; }
