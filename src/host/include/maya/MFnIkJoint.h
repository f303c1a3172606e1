#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFnTransform.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MEulerRotation;

class MFnIkJoint : public MFnTransform {
 public:
  MFnIkJoint();
  MFnIkJoint(MObject& object, MStatus* ReturnStatus = nullptr);
  MFnIkJoint(const MObject& object, MStatus* ReturnStatus = nullptr);
  ~MFnIkJoint() override;
  MFn::Type type() const override;

  // A new joint ("joint1", ...) under the parent, as MFnTransform::create.
  MObject create(MObject parent = MObject::kNullObj, MStatus* ReturnStatus = NULL);
  // The joint orient is kept in XYZ order, as in Maya: a rotation in another order is converted
  // to the same orientation in XYZ angles.
  MStatus setOrientation(const MEulerRotation& rotation);
  MStatus getOrientation(MEulerRotation& rotation) const;

 private:
  MFnIkJoint(const MFnIkJoint&) = delete;
  MFnIkJoint& operator=(const MFnIkJoint&) = delete;
};

OPENMAYA_NAMESPACE_CLOSE
