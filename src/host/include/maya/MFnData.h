#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFn.h>
#include <maya/MFnBase.h>
#include <maya/MStatus.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MObject;

// Function set of data objects.
class MFnData : public MFnBase {
 public:
  // Values as in the devkit; only the types this host handles are listed.
  enum Type { kInvalid = 0, kNumeric, kPlugin, kPluginGeometry, kString = 4 };

  MFnData();
  MFnData(MObject& object, MStatus* ReturnStatus = nullptr);
  MFnData(const MObject& object, MStatus* ReturnStatus = nullptr);
  MFnData(const MFnData&) = delete;
  MFnData& operator=(const MFnData&) = delete;
  ~MFnData() override;

  MFn::Type type() const override;
};

OPENMAYA_NAMESPACE_CLOSE
