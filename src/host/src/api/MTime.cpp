#include <maya/MTime.h>

#include <cmath>

#include "model/Ticks.h"

namespace {

// Seconds per unit; 0 marks a unit without a fixed rate.
double secondsPerUnit(MTime::Unit unit) {
  switch (unit) {
    case MTime::kHours:
      return 3600.0;
    case MTime::kMinutes:
      return 60.0;
    case MTime::kSeconds:
      return 1.0;
    case MTime::kMilliseconds:
      return 0.001;
    case MTime::kGames:
      return 1.0 / 15;
    case MTime::kFilm:
      return 1.0 / 24;
    case MTime::kPALFrame:
      return 1.0 / 25;
    case MTime::kNTSCFrame:
      return 1.0 / 30;
    case MTime::kShowScan:
      return 1.0 / 48;
    case MTime::kPALField:
      return 1.0 / 50;
    case MTime::kNTSCField:
      return 1.0 / 60;
    case MTime::k2FPS:
      return 1.0 / 2;
    case MTime::k3FPS:
      return 1.0 / 3;
    case MTime::k4FPS:
      return 1.0 / 4;
    case MTime::k5FPS:
      return 1.0 / 5;
    case MTime::k6FPS:
      return 1.0 / 6;
    case MTime::k8FPS:
      return 1.0 / 8;
    case MTime::k10FPS:
      return 1.0 / 10;
    case MTime::k12FPS:
      return 1.0 / 12;
    case MTime::k16FPS:
      return 1.0 / 16;
    case MTime::k20FPS:
      return 1.0 / 20;
    case MTime::k40FPS:
      return 1.0 / 40;
    case MTime::k75FPS:
      return 1.0 / 75;
    case MTime::k80FPS:
      return 1.0 / 80;
    case MTime::k100FPS:
      return 1.0 / 100;
    case MTime::k120FPS:
      return 1.0 / 120;
    case MTime::k125FPS:
      return 1.0 / 125;
    case MTime::k150FPS:
      return 1.0 / 150;
    case MTime::k200FPS:
      return 1.0 / 200;
    case MTime::k240FPS:
      return 1.0 / 240;
    case MTime::k250FPS:
      return 1.0 / 250;
    case MTime::k300FPS:
      return 1.0 / 300;
    case MTime::k375FPS:
      return 1.0 / 375;
    case MTime::k400FPS:
      return 1.0 / 400;
    case MTime::k500FPS:
      return 1.0 / 500;
    case MTime::k600FPS:
      return 1.0 / 600;
    case MTime::k750FPS:
      return 1.0 / 750;
    case MTime::k1200FPS:
      return 1.0 / 1200;
    case MTime::k1500FPS:
      return 1.0 / 1500;
    case MTime::k2000FPS:
      return 1.0 / 2000;
    case MTime::k3000FPS:
      return 1.0 / 3000;
    case MTime::k6000FPS:
      return 1.0 / 6000;
    case MTime::kInvalid:
      break;
  }
  return 0.0;
}

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
