#include <maya/MAnimControl.h>

#include "model/Scene.h"
#include "runtime/Session.h"

MTime MAnimControl::currentTime() { return host::Session::instance().scene.currentTime(); }

MStatus MAnimControl::setCurrentTime(const MTime& newTime) {
  if (newTime.unit() == MTime::kInvalid) return MS::kInvalidParameter;
  host::Session::instance().scene.setCurrentTime(newTime);
  return MS::kSuccess;
}
