#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFn.h>
#include <maya/MFnBase.h>
#include <maya/MStatus.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MObject;

// Function set of an attribute definition.
class MFnAttribute : public MFnBase {
 public:
  MFnAttribute();
  MFnAttribute(MObject& object, MStatus* ReturnStatus = nullptr);
  MFnAttribute(const MObject& object, MStatus* ReturnStatus = nullptr);
  MFnAttribute(const MFnAttribute&) = delete;
  MFnAttribute& operator=(const MFnAttribute&) = delete;
  ~MFnAttribute() override;

  MFn::Type type() const override;

  // kFailure when no attribute is attached.
  MStatus setHidden(bool state);
};

OPENMAYA_NAMESPACE_CLOSE
