#include <maya/MDistance.h>

#include "api/ReturnStatus.h"
#include "model/Scene.h"
#include "model/Units.h"
#include "runtime/Session.h"

using host::report;

MDistance::MDistance() : distanceValue(0.0), distanceUnit(kCentimeters) {}
MDistance::MDistance(double value, Unit unitSystem)
    : distanceValue(value), distanceUnit(unitSystem) {}
MDistance::MDistance(const MDistance& src) = default;
MDistance& MDistance::operator=(const MDistance& src) = default;
MDistance::~MDistance() = default;

MDistance::Unit MDistance::unit() const { return distanceUnit; }

double MDistance::value() const { return distanceValue; }

MStatus MDistance::setUnit(Unit newUnit) {
  if (host::centimetresPer(newUnit) == 0.0) return MS::kInvalidParameter;
  distanceUnit = newUnit;
  return MS::kSuccess;
}

MStatus MDistance::setValue(double newValue) {
  distanceValue = newValue;
  return MS::kSuccess;
}

double MDistance::as(Unit newUnit, MStatus* ReturnStatus) const {
  const double from = host::centimetresPer(distanceUnit);
  const double to = host::centimetresPer(newUnit);
  if (from == 0.0 || to == 0.0) {
    report(ReturnStatus, MS::kInvalidParameter);
    return 0.0;
  }
  report(ReturnStatus, MS::kSuccess);
  return newUnit == distanceUnit ? distanceValue : distanceValue * from / to;
}

double MDistance::asUnits(Unit newUnit, MStatus* ReturnStatus) const {
  return as(newUnit, ReturnStatus);
}

double MDistance::asCentimeters() const { return as(kCentimeters); }

double MDistance::asMeters() const { return as(kMeters); }

double MDistance::asInches() const { return as(kInches); }

MDistance::Unit MDistance::uiUnit() { return host::Session::instance().scene.uiUnits().linear; }

MStatus MDistance::setUIUnit(Unit newUnit) {
  if (host::centimetresPer(newUnit) == 0.0) return MS::kInvalidParameter;
  auto& scene = host::Session::instance().scene;
  host::UiUnits units = scene.uiUnits();
  units.linear = newUnit;
  scene.setUiUnits(units);
  return MS::kSuccess;
}

MDistance::Unit MDistance::internalUnit() { return kCentimeters; }

double MDistance::internalToUI(double internalValue) {
  return MDistance(internalValue, internalUnit()).as(uiUnit());
}

double MDistance::uiToInternal(double uiValue) {
  return MDistance(uiValue, uiUnit()).as(internalUnit());
}
