#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFn.h>
#include <maya/MFnAttribute.h>
#include <maya/MFnNumericData.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MString;

// Function set of numeric attributes: single values and compounds of numeric children.
class MFnNumericAttribute : public MFnAttribute {
 public:
  MFnNumericAttribute();
  MFnNumericAttribute(MObject& object, MStatus* ReturnStatus = nullptr);
  MFnNumericAttribute(const MObject& object, MStatus* ReturnStatus = nullptr);
  MFnNumericAttribute(const MFnNumericAttribute&) = delete;
  MFnNumericAttribute& operator=(const MFnNumericAttribute&) = delete;
  ~MFnNumericAttribute() override;

  MFn::Type type() const override;

  // A new attribute, to which the function set is attached. kInvalidParameter (and a null
  // object) for an empty name or a type other than kBoolean, kInt and kDouble.
  MObject create(const MString& fullName, const MString& briefName, MFnNumericData::Type unitType,
                 double defaultValue = 0, MStatus* ReturnStatus = NULL);
  // A compound of three numeric children not yet in a compound; kInvalidParameter otherwise
  // (this host supports three-child compounds only).
  MObject create(const MString& fullName, const MString& briefName, const MObject& child1,
                 const MObject& child2, const MObject& child3 = MObject::kNullObj,
                 MStatus* ReturnStatus = NULL);
};

OPENMAYA_NAMESPACE_CLOSE
