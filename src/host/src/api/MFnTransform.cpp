#include <maya/MFnTransform.h>
#include <maya/MVector.h>

#include <array>
#include <variant>

#include "api/ReturnStatus.h"
#include "model/Node.h"
#include "model/Object.h"
#include "model/Rotation.h"

using host::report;

namespace {

double number(host::Node& node, const char* attributeName) {
  auto attribute = node.type().findAttribute(attributeName);
  if (!attribute) return 0.0;
  return host::numberOf(node.value(*attribute)).value_or(0.0);
}

void setNumber(host::Node& node, const char* attributeName, host::AttributeValue value) {
  if (auto attribute = node.type().findAttribute(attributeName)) {
    node.setValue(*attribute, std::move(value));
  }
}

}  // namespace

MFnTransform::MFnTransform() = default;

MFnTransform::MFnTransform(MObject& object, MStatus* ReturnStatus) {
  report(ReturnStatus, attach(object, MFn::kTransform));
}

MFnTransform::MFnTransform(const MObject& object, MStatus* ReturnStatus) {
  report(ReturnStatus, attach(object, MFn::kTransform));
}

MFnTransform::~MFnTransform() = default;

MFn::Type MFnTransform::type() const { return MFn::kTransform; }

MObject MFnTransform::create(MObject parent, MStatus* ReturnStatus) {
  return createAttached("transform", parent, ReturnStatus);
}

MStatus MFnTransform::setTranslation(const MVector& vec, MSpace::Space space) {
  auto node = host::Node::live(attached());
  if (!node) return MS::kInvalidParameter;
  if (space != MSpace::kTransform) return MS::kNotImplemented;
  setNumber(*node, "translateX", vec.x);
  setNumber(*node, "translateY", vec.y);
  setNumber(*node, "translateZ", vec.z);
  return MS::kSuccess;
}

MVector MFnTransform::getTranslation(MSpace::Space space, MStatus* ReturnStatus) const {
  auto node = host::Node::live(attached());
  if (!node) {
    report(ReturnStatus, MS::kInvalidParameter);
    return MVector();
  }
  if (space != MSpace::kTransform) {
    report(ReturnStatus, MS::kNotImplemented);
    return MVector();
  }
  report(ReturnStatus, MS::kSuccess);
  return MVector(number(*node, "translateX"), number(*node, "translateY"),
                 number(*node, "translateZ"));
}

MStatus MFnTransform::setRotationOrder(MTransformationMatrix::RotationOrder order, bool reorder) {
  auto node = host::Node::live(attached());
  if (!node) return MS::kInvalidParameter;
  if (order <= MTransformationMatrix::kInvalid || order >= MTransformationMatrix::kLast) {
    return MS::kInvalidParameter;
  }
  int newOrder = static_cast<int>(order) - 1;
  if (reorder) {
    int oldOrder = static_cast<int>(number(*node, "rotateOrder"));
    auto matrix = host::rotationMatrix(number(*node, "rotateX"), number(*node, "rotateY"),
                                       number(*node, "rotateZ"), oldOrder);
    auto angles = host::eulerAngles(matrix, newOrder);
    setNumber(*node, "rotateX", angles[0]);
    setNumber(*node, "rotateY", angles[1]);
    setNumber(*node, "rotateZ", angles[2]);
  }
  setNumber(*node, "rotateOrder", newOrder);
  return MS::kSuccess;
}

MTransformationMatrix::RotationOrder MFnTransform::rotationOrder(MStatus* ReturnStatus) const {
  auto node = host::Node::live(attached());
  if (!node) {
    report(ReturnStatus, MS::kInvalidParameter);
    return MTransformationMatrix::kInvalid;
  }
  report(ReturnStatus, MS::kSuccess);
  return static_cast<MTransformationMatrix::RotationOrder>(
      static_cast<int>(number(*node, "rotateOrder")) + 1);
}
