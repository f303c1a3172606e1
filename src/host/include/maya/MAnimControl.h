#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>
#include <maya/MTime.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// The scene's time slider. A new scene plays frames 1 to 120 (film) within an animation range
// of 1 to 200, as Maya's does; a minimum after the maximum is refused with kInvalidParameter.
class MAnimControl {
 public:
  static MTime minTime();
  static MTime maxTime();
  static MStatus setMinTime(MTime newMinTime);
  static MStatus setMaxTime(MTime newMaxTime);
  static MStatus setMinMaxTime(MTime newMinTime, MTime newMaxTime);
  static MTime animationStartTime();
  static MTime animationEndTime();
  static MStatus setAnimationStartTime(MTime newStartTime);
  static MStatus setAnimationEndTime(MTime newEndTime);
  static MStatus setAnimationStartEndTime(MTime newStartTime, MTime newEndTime);
  // The scene's current time; 0 in a new scene.
  static MTime currentTime();
  static MStatus setCurrentTime(const MTime& newTime);
};

OPENMAYA_NAMESPACE_CLOSE
