#include "model/Units.h"

#include <cstddef>
#include <iterator>

namespace host {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct LinearEntry {
  MDistance::Unit unit;
  const char* shortName;
  const char* longName;
  double centimetres;
};

const LinearEntry kLinear[] = {
    {MDistance::kInches, "in", "inch", 2.54},
    {MDistance::kFeet, "ft", "foot", 30.48},
    {MDistance::kYards, "yd", "yard", 91.44},
    {MDistance::kMiles, "mi", "mile", 160934.4},
    {MDistance::kMillimeters, "mm", "millimeter", 0.1},
    {MDistance::kCentimeters, "cm", "centimeter", 1.0},
    {MDistance::kKilometers, "km", "kilometer", 100000.0},
    {MDistance::kMeters, "m", "meter", 100.0},
};

struct AngleEntry {
  MAngle::Unit unit;
  const char* shortName;
  const char* longName;
  double radians;
};

const AngleEntry kAngle[] = {
    {MAngle::kRadians, "rad", "radian", 1.0},
    {MAngle::kDegrees, "deg", "degree", kPi / 180.0},
    {MAngle::kAngMinutes, "min", "angMinute", kPi / (180.0 * 60.0)},
    {MAngle::kAngSeconds, "sec", "angSecond", kPi / (180.0 * 3600.0)},
};

struct TimeEntry {
  MTime::Unit unit;
  const char* name;
  double seconds;
};

const TimeEntry kTime[] = {
    {MTime::kHours, "hour", 3600.0},
    {MTime::kMinutes, "min", 60.0},
    {MTime::kSeconds, "sec", 1.0},
    {MTime::kMilliseconds, "millisec", 0.001},
    {MTime::kGames, "game", 1.0 / 15},
    {MTime::kFilm, "film", 1.0 / 24},
    {MTime::kPALFrame, "pal", 1.0 / 25},
    {MTime::kNTSCFrame, "ntsc", 1.0 / 30},
    {MTime::kShowScan, "show", 1.0 / 48},
    {MTime::kPALField, "palf", 1.0 / 50},
    {MTime::kNTSCField, "ntscf", 1.0 / 60},
    {MTime::k2FPS, "2fps", 1.0 / 2},
    {MTime::k3FPS, "3fps", 1.0 / 3},
    {MTime::k4FPS, "4fps", 1.0 / 4},
    {MTime::k5FPS, "5fps", 1.0 / 5},
    {MTime::k6FPS, "6fps", 1.0 / 6},
    {MTime::k8FPS, "8fps", 1.0 / 8},
    {MTime::k10FPS, "10fps", 1.0 / 10},
    {MTime::k12FPS, "12fps", 1.0 / 12},
    {MTime::k16FPS, "16fps", 1.0 / 16},
    {MTime::k20FPS, "20fps", 1.0 / 20},
    {MTime::k40FPS, "40fps", 1.0 / 40},
    {MTime::k75FPS, "75fps", 1.0 / 75},
    {MTime::k80FPS, "80fps", 1.0 / 80},
    {MTime::k100FPS, "100fps", 1.0 / 100},
    {MTime::k120FPS, "120fps", 1.0 / 120},
    {MTime::k125FPS, "125fps", 1.0 / 125},
    {MTime::k150FPS, "150fps", 1.0 / 150},
    {MTime::k200FPS, "200fps", 1.0 / 200},
    {MTime::k240FPS, "240fps", 1.0 / 240},
    {MTime::k250FPS, "250fps", 1.0 / 250},
    {MTime::k300FPS, "300fps", 1.0 / 300},
    {MTime::k375FPS, "375fps", 1.0 / 375},
    {MTime::k400FPS, "400fps", 1.0 / 400},
    {MTime::k500FPS, "500fps", 1.0 / 500},
    {MTime::k600FPS, "600fps", 1.0 / 600},
    {MTime::k750FPS, "750fps", 1.0 / 750},
    {MTime::k1200FPS, "1200fps", 1.0 / 1200},
    {MTime::k1500FPS, "1500fps", 1.0 / 1500},
    {MTime::k2000FPS, "2000fps", 1.0 / 2000},
    {MTime::k3000FPS, "3000fps", 1.0 / 3000},
    {MTime::k6000FPS, "6000fps", 1.0 / 6000},
    {MTime::k23_976FPS, "23.976fps", 1001.0 / 24000},
    {MTime::k29_97FPS, "29.97fps", 1001.0 / 30000},
    {MTime::k29_97DF, "29.97df", 1001.0 / 30000},
    {MTime::k47_952FPS, "47.952fps", 1001.0 / 48000},
    {MTime::k59_94FPS, "59.94fps", 1001.0 / 60000},
    {MTime::k44100FPS, "44100fps", 1.0 / 44100},
    {MTime::k48000FPS, "48000fps", 1.0 / 48000},
    {MTime::k90FPS, "90fps", 1.0 / 90},
};

}  // namespace

double centimetresPer(MDistance::Unit unit) {
  for (const auto& entry : kLinear) {
    if (entry.unit == unit) return entry.centimetres;
  }
  return 0.0;
}

double radiansPer(MAngle::Unit unit) {
  for (const auto& entry : kAngle) {
    if (entry.unit == unit) return entry.radians;
  }
  return 0.0;
}

double secondsPer(MTime::Unit unit) {
  // The table follows the enumeration from kHours: every key's time passes through here.
  const auto index = static_cast<std::size_t>(unit) - 1;
  if (index < std::size(kTime) && kTime[index].unit == unit) return kTime[index].seconds;
  return 0.0;
}

AttributeUnit unitOf(const Attribute& attribute) {
  if (attribute.kind == AttributeKind::kCompound && !attribute.children.empty()) {
    return attribute.children.front()->unit;
  }
  return attribute.unit;
}

double internalPerUi(AttributeUnit unit, const UiUnits& units) {
  switch (unit) {
    case AttributeUnit::kDistance:
      return centimetresPer(units.linear);
    case AttributeUnit::kAngle:
      return radiansPer(units.angle);
    case AttributeUnit::kTime:
    case AttributeUnit::kNone:
      break;
  }
  return 1.0;
}

bool needsConversion(AttributeUnit from, AttributeUnit to, const UiUnits& units) {
  if (from == to) return false;
  return internalPerUi(from, units) != 1.0 || internalPerUi(to, units) != 1.0;
}

double conversionFactor(AttributeUnit from, AttributeUnit to, const UiUnits& units) {
  return internalPerUi(to, units) / internalPerUi(from, units);
}

std::string linearName(MDistance::Unit unit, bool full) {
  for (const auto& entry : kLinear) {
    if (entry.unit == unit) return full ? entry.longName : entry.shortName;
  }
  return std::string();
}

std::string angleName(MAngle::Unit unit, bool full) {
  for (const auto& entry : kAngle) {
    if (entry.unit == unit) return full ? entry.longName : entry.shortName;
  }
  return std::string();
}

std::string timeName(MTime::Unit unit) {
  for (const auto& entry : kTime) {
    if (entry.unit == unit) return entry.name;
  }
  return std::string();
}

bool parseLinear(const std::string& name, MDistance::Unit& unit) {
  for (const auto& entry : kLinear) {
    if (name == entry.shortName || name == entry.longName) {
      unit = entry.unit;
      return true;
    }
  }
  return false;
}

bool parseAngle(const std::string& name, MAngle::Unit& unit) {
  for (const auto& entry : kAngle) {
    if (name == entry.shortName || name == entry.longName) {
      unit = entry.unit;
      return true;
    }
  }
  return false;
}

bool parseTime(const std::string& name, MTime::Unit& unit) {
  for (const auto& entry : kTime) {
    if (name == entry.name) {
      unit = entry.unit;
      return true;
    }
  }
  return false;
}

}  // namespace host
