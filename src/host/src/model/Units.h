#pragma once

#include <maya/MAngle.h>
#include <maya/MDistance.h>
#include <maya/MTime.h>

#include <string>

#include "model/Attribute.h"

namespace host {

// The scene's UI units (currentUnit), as a new scene has them. Values are stored in internal
// units whatever these are: centimetres, radians, ticks.
struct UiUnits {
  MDistance::Unit linear = MDistance::kCentimeters;
  MAngle::Unit angle = MAngle::kDegrees;
  MTime::Unit time = MTime::kFilm;
};

// Size of one unit in internal units; 0 for kInvalid, kLast and rates without a fixed length.
double centimetresPer(MDistance::Unit unit);
double radiansPer(MAngle::Unit unit);
double secondsPer(MTime::Unit unit);

// The attribute's unit type; a compound's is its first child's.
AttributeUnit unitOf(const Attribute& attribute);
// Internal units in one UI unit of the type: 1 for unitless.
double internalPerUi(AttributeUnit unit, const UiUnits& units);
// What a connection from one unit type into another needs. Maya converts so that 1 in the
// source's UI unit arrives as 1 in the destination's: the factor is
// internalPerUi(to) / internalPerUi(from), fixed when connecting. None is needed between equal
// types, nor when both UI units are their internal units (so the factor is 1).
bool needsConversion(AttributeUnit from, AttributeUnit to, const UiUnits& units);
double conversionFactor(AttributeUnit from, AttributeUnit to, const UiUnits& units);

// currentUnit's names: the short name it gives and takes ("cm", "deg", "film") and the long
// one the .ma header and -fullName use ("centimeter", "degree", "film"). Empty for units
// without a name; the parsers take either name and return false for anything else.
std::string linearName(MDistance::Unit unit, bool full);
std::string angleName(MAngle::Unit unit, bool full);
std::string timeName(MTime::Unit unit);
bool parseLinear(const std::string& name, MDistance::Unit& unit);
bool parseAngle(const std::string& name, MAngle::Unit& unit);
bool parseTime(const std::string& name, MTime::Unit& unit);

}  // namespace host
