#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>
#include <maya/MTime.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MAnimControl {
 public:
  // The scene's current time; 0 in a new scene.
  static MTime currentTime();
  static MStatus setCurrentTime(const MTime& newTime);
};

OPENMAYA_NAMESPACE_CLOSE
