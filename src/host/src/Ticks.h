#pragma once

#include <maya/MTime.h>

#include <cmath>

namespace host {

// Maya's internal time resolution: key times and time comparisons are made in whole ticks.
constexpr double kTicksPerSecond = 141120000.0;

inline long long ticksOf(const MTime& time) {
  return std::llround(time.as(MTime::kSeconds) * kTicksPerSecond);
}

inline double secondsOf(long long ticks) { return static_cast<double>(ticks) / kTicksPerSecond; }

}  // namespace host
