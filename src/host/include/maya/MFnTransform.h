#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFnDagNode.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MQuaternion;
class MVector;

class MFnTransform : public MFnDagNode {
 public:
  MFnTransform();
  MFnTransform(MObject& object, MStatus* ReturnStatus = nullptr);
  MFnTransform(const MObject& object, MStatus* ReturnStatus = nullptr);
  ~MFnTransform() override;
  MFn::Type type() const override;

  // A new transform ("transform1", ...) under the parent (kNullObj or the world: the top of the
  // DAG); the function set is attached to it. kInvalidParameter when the parent is not a
  // transform.
  MObject create(MObject parent = MObject::kNullObj, MStatus* ReturnStatus = nullptr);
  // Only MSpace::kTransform is supported (kNotImplemented for the other spaces).
  MStatus setTranslation(const MVector& vec, MSpace::Space space);
  MVector getTranslation(MSpace::Space space, MStatus* ReturnStatus = nullptr) const;
  // kInvalidParameter for kInvalid and kLast. With reorder, the rotate values change so that
  // the orientation stays the same.
  MStatus setRotationOrder(MTransformationMatrix::RotationOrder order, bool reorder);
  MTransformationMatrix::RotationOrder rotationOrder(MStatus* ReturnStatus = nullptr) const;
  // The rotate attribute (radians) and the order it turns in.
  MStatus getRotation(double rotation[3], MTransformationMatrix::RotationOrder& order) const;
  // Sets the rotate attribute and the rotate order; kInvalidParameter for kInvalid and kLast.
  MStatus setRotation(const double rotation[3], MTransformationMatrix::RotationOrder order);
  // The rotate axis (the rotateAxis attribute, turned before rotate). Only MSpace::kTransform is
  // supported (kNotImplemented for the other spaces).
  MQuaternion rotateOrientation(MSpace::Space space, MStatus* ReturnStatus = nullptr) const;
  // With balance, rotate changes so that rotate axis and rotate together turn as before.
  MStatus setRotateOrientation(const MQuaternion& quat, MSpace::Space space, bool balance);

 private:
  MFnTransform(const MFnTransform&) = delete;
  MFnTransform& operator=(const MFnTransform&) = delete;
};

OPENMAYA_NAMESPACE_CLOSE
