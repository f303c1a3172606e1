#include <maya/MTime.h>

#include <cmath>

#include "model/Scene.h"
#include "model/Ticks.h"
#include "model/Units.h"
#include "runtime/Session.h"

namespace {

double secondsPerUnit(MTime::Unit unit) { return host::secondsPer(unit); }

double toSeconds(double value, MTime::Unit unit) { return value * secondsPerUnit(unit); }

double fromSeconds(double seconds, MTime::Unit unit) {
  double step = secondsPerUnit(unit);
  return step == 0.0 ? 0.0 : seconds / step;
}

}  // namespace

MTime::MTime() : timeValue(0.0), timeUnit(kFilm) {}
MTime::MTime(double time_val, Unit unit) : timeValue(time_val), timeUnit(unit) {}
MTime::MTime(const MTime& other) = default;
MTime& MTime::operator=(const MTime& other) = default;
MTime::~MTime() = default;

double MTime::value() const { return timeValue; }

MTime::Unit MTime::unit() const { return timeUnit; }

double MTime::as(Unit unit) const {
  if (unit == timeUnit) return timeValue;
  return fromSeconds(toSeconds(timeValue, timeUnit), unit);
}

MStatus MTime::setValue(double value) {
  timeValue = value;
  return MS::kSuccess;
}

// Changing the unit keeps the time and converts the value, as Maya does.
MStatus MTime::setUnit(Unit unit) {
  if (secondsPerUnit(unit) == 0.0) return MS::kInvalidParameter;
  timeValue = as(unit);
  timeUnit = unit;
  return MS::kSuccess;
}

MTime MTime::operator+(const MTime& other) const {
  return MTime(timeValue + other.as(timeUnit), timeUnit);
}

MTime MTime::operator-(const MTime& other) const {
  return MTime(timeValue - other.as(timeUnit), timeUnit);
}

MTime& MTime::operator+=(const MTime& other) {
  timeValue += other.as(timeUnit);
  return *this;
}

MTime& MTime::operator-=(const MTime& other) {
  timeValue -= other.as(timeUnit);
  return *this;
}

MTime MTime::operator*(double factor) const { return MTime(timeValue * factor, timeUnit); }

MTime& MTime::operator*=(double factor) {
  timeValue *= factor;
  return *this;
}

bool MTime::operator==(const MTime& other) const {
  return host::ticksOf(*this) == host::ticksOf(other);
}

bool MTime::operator!=(const MTime& other) const {
  return host::ticksOf(*this) != host::ticksOf(other);
}

bool MTime::operator<(const MTime& other) const {
  return host::ticksOf(*this) < host::ticksOf(other);
}

bool MTime::operator>(const MTime& other) const {
  return host::ticksOf(*this) > host::ticksOf(other);
}

bool MTime::operator<=(const MTime& other) const {
  return host::ticksOf(*this) <= host::ticksOf(other);
}

bool MTime::operator>=(const MTime& other) const {
  return host::ticksOf(*this) >= host::ticksOf(other);
}

MTime::Unit MTime::uiUnit() { return host::Session::instance().scene.uiUnits().time; }

MStatus MTime::setUIUnit(Unit new_unit) {
  if (host::secondsPer(new_unit) == 0.0) return MS::kInvalidParameter;
  auto& scene = host::Session::instance().scene;
  host::UiUnits units = scene.uiUnits();
  units.time = new_unit;
  scene.setUiUnits(units);
  return MS::kSuccess;
}
