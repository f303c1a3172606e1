#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>
#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// A length with its unit. Maya's internal linear unit is the centimetre; the UI unit is the
// scene's (currentUnit -l), centimetres in a new scene.
class MDistance {
 public:
  enum Unit {
    kInvalid,
    kInches,
    kFeet,
    kYards,
    kMiles,
    kMillimeters,
    kCentimeters,
    kKilometers,
    kMeters,
    kLast
  };

  MDistance();
  MDistance(double value, Unit unitSystem = kCentimeters);
  MDistance(const MDistance& src);
  MDistance& operator=(const MDistance& src);
  ~MDistance();

  Unit unit() const;
  double value() const;
  // kInvalidParameter for kInvalid or kLast; the value is kept as it is, not converted.
  MStatus setUnit(Unit newUnit);
  MStatus setValue(double newValue);
  // The length in another unit; kInvalidParameter and 0 for kInvalid or kLast.
  double as(Unit newUnit, MStatus* ReturnStatus = NULL) const;
  double asUnits(Unit newUnit, MStatus* ReturnStatus = NULL) const;
  double asCentimeters() const;
  double asMeters() const;
  double asInches() const;

  // The scene's UI unit; setUIUnit refuses kInvalid and kLast with kInvalidParameter.
  static Unit uiUnit();
  static MStatus setUIUnit(Unit newUnit);
  static Unit internalUnit();
  static double internalToUI(double internalValue);
  static double uiToInternal(double uiValue);

 private:
  double distanceValue;
  Unit distanceUnit;
};

OPENMAYA_NAMESPACE_CLOSE
