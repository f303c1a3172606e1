#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>
#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// An angle with its unit. Maya's internal angular unit is the radian; the UI unit is the
// scene's (currentUnit -a), degrees in a new scene.
class MAngle {
 public:
  enum Unit { kInvalid, kRadians, kDegrees, kAngMinutes, kAngSeconds, kLast };

  MAngle();
  MAngle(double value, Unit u = kRadians);
  MAngle(const MAngle& src);
  MAngle& operator=(const MAngle& src);
  ~MAngle();

  Unit unit() const;
  double value() const;
  // The angle in another unit; kInvalidParameter and 0 for kInvalid or kLast.
  double as(Unit otherUnit, MStatus* ReturnStatus = NULL) const;
  double asRadians() const;
  double asDegrees() const;

  // The scene's UI unit; setUIUnit refuses kInvalid and kLast with kInvalidParameter.
  static Unit uiUnit();
  static MStatus setUIUnit(Unit newUnit);
  static Unit internalUnit();
  static double internalToUI(double internalValue);
  static double uiToInternal(double uiValue);

 private:
  double angleValue;
  Unit angleUnit;
};

OPENMAYA_NAMESPACE_CLOSE
