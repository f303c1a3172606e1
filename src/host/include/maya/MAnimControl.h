#pragma once

#include <maya/MStatus.h>
#include <maya/MTime.h>

class MAnimControl {
 public:
  // The scene's current time; 0 in a new scene.
  static MTime currentTime();
  static MStatus setCurrentTime(const MTime& newTime);
};
