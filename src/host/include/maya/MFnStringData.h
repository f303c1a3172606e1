#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFn.h>
#include <maya/MFnData.h>
#include <maya/MStatus.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MObject;
class MString;

// Function set of string data, used as the default value of string attributes.
class MFnStringData : public MFnData {
 public:
  MFnStringData();
  MFnStringData(MObject& object, MStatus* ReturnStatus = nullptr);
  MFnStringData(const MObject& object, MStatus* ReturnStatus = nullptr);
  MFnStringData(const MFnStringData&) = delete;
  MFnStringData& operator=(const MFnStringData&) = delete;
  ~MFnStringData() override;

  MFn::Type type() const override;

  // A new string data object holding str; the function set is attached to it.
  MObject create(const MString& str, MStatus* ReturnStatus = NULL);
  MString string(MStatus* ReturnStatus = NULL) const;
};

OPENMAYA_NAMESPACE_CLOSE
