#include <maya/MEulerRotation.h>
#include <maya/MFnIkJoint.h>

#include <variant>

#include "api/ReturnStatus.h"
#include "model/Node.h"
#include "model/Object.h"
#include "model/Rotation.h"

using host::report;

namespace {

const char* const kOrientNames[3] = {"jointOrientX", "jointOrientY", "jointOrientZ"};

}  // namespace

MFnIkJoint::MFnIkJoint() = default;

MFnIkJoint::MFnIkJoint(MObject& object, MStatus* ReturnStatus) {
  report(ReturnStatus, attach(object, MFn::kJoint));
}

MFnIkJoint::MFnIkJoint(const MObject& object, MStatus* ReturnStatus) {
  report(ReturnStatus, attach(object, MFn::kJoint));
}

MFnIkJoint::~MFnIkJoint() = default;

MFn::Type MFnIkJoint::type() const { return MFn::kJoint; }

MObject MFnIkJoint::create(MObject parent, MStatus* ReturnStatus) {
  return createAttached("joint", parent, ReturnStatus);
}

MStatus MFnIkJoint::setOrientation(const MEulerRotation& rotation) {
  auto node = host::Node::live(attached());
  if (!node) return MS::kInvalidParameter;
  if (rotation.order < MEulerRotation::kXYZ || rotation.order > MEulerRotation::kZYX) {
    return MS::kInvalidParameter;
  }
  std::array<double, 3> angles{rotation.x, rotation.y, rotation.z};
  if (rotation.order != MEulerRotation::kXYZ) {
    angles =
        host::eulerAngles(host::rotationMatrix(rotation.x, rotation.y, rotation.z, rotation.order),
                          MEulerRotation::kXYZ);
  }
  for (int axis = 0; axis < 3; ++axis) {
    auto attribute = node->type().findAttribute(kOrientNames[axis]);
    if (!attribute) return MS::kFailure;
    node->setValue(*attribute, angles[static_cast<std::size_t>(axis)]);
  }
  return MS::kSuccess;
}

MStatus MFnIkJoint::getOrientation(MEulerRotation& rotation) const {
  auto node = host::Node::live(attached());
  if (!node) return MS::kInvalidParameter;
  double angles[3] = {0.0, 0.0, 0.0};
  for (int axis = 0; axis < 3; ++axis) {
    auto attribute = node->type().findAttribute(kOrientNames[axis]);
    if (!attribute) return MS::kFailure;
    if (auto value = std::get_if<double>(&node->value(*attribute))) angles[axis] = *value;
  }
  rotation = MEulerRotation(angles[0], angles[1], angles[2], MEulerRotation::kXYZ);
  return MS::kSuccess;
}
