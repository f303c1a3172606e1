#include <maya/MEulerRotation.h>
#include <maya/MFnTransform.h>
#include <maya/MMatrix.h>
#include <maya/MQuaternion.h>
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

MStatus MFnTransform::getRotation(double rotation[3],
                                  MTransformationMatrix::RotationOrder& order) const {
  auto node = host::Node::live(attached());
  if (!node) return MS::kInvalidParameter;
  rotation[0] = number(*node, "rotateX");
  rotation[1] = number(*node, "rotateY");
  rotation[2] = number(*node, "rotateZ");
  order = static_cast<MTransformationMatrix::RotationOrder>(
      static_cast<int>(number(*node, "rotateOrder")) + 1);
  return MS::kSuccess;
}

MStatus MFnTransform::setRotation(const double rotation[3],
                                  MTransformationMatrix::RotationOrder order) {
  auto node = host::Node::live(attached());
  if (!node) return MS::kInvalidParameter;
  if (order <= MTransformationMatrix::kInvalid || order >= MTransformationMatrix::kLast) {
    return MS::kInvalidParameter;
  }
  setNumber(*node, "rotateX", rotation[0]);
  setNumber(*node, "rotateY", rotation[1]);
  setNumber(*node, "rotateZ", rotation[2]);
  setNumber(*node, "rotateOrder", static_cast<int>(order) - 1);
  return MS::kSuccess;
}

MQuaternion MFnTransform::rotateOrientation(MSpace::Space space, MStatus* ReturnStatus) const {
  auto node = host::Node::live(attached());
  if (!node) {
    report(ReturnStatus, MS::kInvalidParameter);
    return MQuaternion();
  }
  if (space != MSpace::kTransform) {
    report(ReturnStatus, MS::kNotImplemented);
    return MQuaternion();
  }
  report(ReturnStatus, MS::kSuccess);
  // The rotate axis turns in XYZ order whatever the rotate order.
  return MEulerRotation(number(*node, "rotateAxisX"), number(*node, "rotateAxisY"),
                        number(*node, "rotateAxisZ"))
      .asQuaternion();
}

MStatus MFnTransform::setRotateOrientation(const MQuaternion& quat, MSpace::Space space,
                                           bool balance) {
  auto node = host::Node::live(attached());
  if (!node) return MS::kInvalidParameter;
  if (space != MSpace::kTransform) return MS::kNotImplemented;
  const MEulerRotation axis = quat.normal().asEulerRotation();
  if (balance) {
    // rotate' = axis'^-1 * axis * rotate, in the rotate order.
    const auto order =
        static_cast<MEulerRotation::RotationOrder>(static_cast<int>(number(*node, "rotateOrder")));
    const MEulerRotation before(number(*node, "rotateAxisX"), number(*node, "rotateAxisY"),
                                number(*node, "rotateAxisZ"));
    const MEulerRotation rotate(number(*node, "rotateX"), number(*node, "rotateY"),
                                number(*node, "rotateZ"), order);
    const MMatrix turned = axis.asMatrix().inverse() * before.asMatrix() * rotate.asMatrix();
    const MEulerRotation balanced =
        MEulerRotation::decompose(turned, order).closestSolution(rotate);
    setNumber(*node, "rotateX", balanced.x);
    setNumber(*node, "rotateY", balanced.y);
    setNumber(*node, "rotateZ", balanced.z);
  }
  setNumber(*node, "rotateAxisX", axis.x);
  setNumber(*node, "rotateAxisY", axis.y);
  setNumber(*node, "rotateAxisZ", axis.z);
  return MS::kSuccess;
}
