#pragma once

#include <maya/MTime.h>

// The time unit of fixed frames (24, 25, 30, 120 ... frames/s, 29.97 and the like) whose frame
// lasts frameTime seconds within 0.1%, the nearest when two are that close; MTime::kInvalid when
// none is. Files write 1/120 s as 0.0083333: this is the rate they mean.
MTime::Unit standardRateUnit(double frameTime);

// The unit's frames per second, as a user reads them ("120", "29.97").
const char* framesPerSecondText(MTime::Unit unit);
