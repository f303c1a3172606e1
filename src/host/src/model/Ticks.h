#pragma once

#include <maya/MTime.h>

#include <cmath>

namespace host {

// Maya's internal time resolution: key times and time comparisons are made in whole ticks.
constexpr double kTicksPerSecond = 141120000.0;

// Rounds half away from zero, as llround does, without its library call: keying converts every
// key's time.
inline long long ticksOf(const MTime& time) {
  double ticks = time.as(MTime::kSeconds) * kTicksPerSecond;
  return static_cast<long long>(ticks < 0.0 ? ticks - 0.5 : ticks + 0.5);
}

inline double secondsOf(long long ticks) { return static_cast<double>(ticks) / kTicksPerSecond; }

}  // namespace host
