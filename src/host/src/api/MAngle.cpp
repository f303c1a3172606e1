#include <maya/MAngle.h>

#include "api/ReturnStatus.h"
#include "model/Scene.h"
#include "model/Units.h"
#include "runtime/Session.h"

using host::report;

MAngle::MAngle() : angleValue(0.0), angleUnit(kRadians) {}
MAngle::MAngle(double value, Unit u) : angleValue(value), angleUnit(u) {}
MAngle::MAngle(const MAngle& src) = default;
MAngle& MAngle::operator=(const MAngle& src) = default;
MAngle::~MAngle() = default;

MAngle::Unit MAngle::unit() const { return angleUnit; }

double MAngle::value() const { return angleValue; }

double MAngle::as(Unit otherUnit, MStatus* ReturnStatus) const {
  const double from = host::radiansPer(angleUnit);
  const double to = host::radiansPer(otherUnit);
  if (from == 0.0 || to == 0.0) {
    report(ReturnStatus, MS::kInvalidParameter);
    return 0.0;
  }
  report(ReturnStatus, MS::kSuccess);
  return otherUnit == angleUnit ? angleValue : angleValue * from / to;
}

double MAngle::asRadians() const { return as(kRadians); }

double MAngle::asDegrees() const { return as(kDegrees); }

MAngle::Unit MAngle::uiUnit() { return host::Session::instance().scene.uiUnits().angle; }

MStatus MAngle::setUIUnit(Unit newUnit) {
  if (host::radiansPer(newUnit) == 0.0) return MS::kInvalidParameter;
  auto& scene = host::Session::instance().scene;
  host::UiUnits units = scene.uiUnits();
  units.angle = newUnit;
  scene.setUiUnits(units);
  return MS::kSuccess;
}

MAngle::Unit MAngle::internalUnit() { return kRadians; }

double MAngle::internalToUI(double internalValue) {
  return MAngle(internalValue, internalUnit()).as(uiUnit());
}

double MAngle::uiToInternal(double uiValue) { return MAngle(uiValue, uiUnit()).as(internalUnit()); }
