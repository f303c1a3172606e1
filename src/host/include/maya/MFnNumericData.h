#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFn.h>
#include <maya/MFnData.h>
#include <maya/MStatus.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MObject;

// Function set of numeric data; here only the numeric types are used.
class MFnNumericData : public MFnData {
 public:
  // Values as in the devkit.
  enum Type {
    kInvalid = 0,
    kBoolean,
    kByte,
    kChar,
    kShort,
    k2Short,
    k3Short,
    kLong,
    kInt = kLong,
    k2Long,
    k2Int = k2Long,
    k3Long,
    k3Int = k3Long,
    kInt64,
    kFloat,
    k2Float,
    k3Float,
    kDouble,
    k2Double,
    k3Double,
    k4Double,
    kAddr,
    kLast
  };

  MFnNumericData();
  MFnNumericData(MObject& object, MStatus* ReturnStatus = nullptr);
  MFnNumericData(const MObject& object, MStatus* ReturnStatus = nullptr);
  MFnNumericData(const MFnNumericData&) = delete;
  MFnNumericData& operator=(const MFnNumericData&) = delete;
  ~MFnNumericData() override;

  MFn::Type type() const override;
};

OPENMAYA_NAMESPACE_CLOSE
