#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFn.h>
#include <maya/MFnAttribute.h>
#include <maya/MFnData.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MString;

// Function set of attributes holding a data object; here string attributes.
class MFnTypedAttribute : public MFnAttribute {
 public:
  MFnTypedAttribute();
  MFnTypedAttribute(MObject& object, MStatus* ReturnStatus = nullptr);
  MFnTypedAttribute(const MObject& object, MStatus* ReturnStatus = nullptr);
  MFnTypedAttribute(const MFnTypedAttribute&) = delete;
  MFnTypedAttribute& operator=(const MFnTypedAttribute&) = delete;
  ~MFnTypedAttribute() override;

  MFn::Type type() const override;

  // A new attribute, to which the function set is attached. kInvalidParameter (and a null
  // object) for an empty name, a type other than kString or a default that is not string data.
  MObject create(const MString& fullName, const MString& briefName, MFnData::Type type,
                 MObject defaultData = MObject::kNullObj, MStatus* ReturnStatus = NULL);
};

OPENMAYA_NAMESPACE_CLOSE
