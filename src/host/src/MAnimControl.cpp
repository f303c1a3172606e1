#include <maya/MAnimControl.h>

#include "Scene.h"

MTime MAnimControl::currentTime() { return host::Scene::instance().currentTime(); }

MStatus MAnimControl::setCurrentTime(const MTime& newTime) {
  if (newTime.unit() == MTime::kInvalid) return MS::kInvalidParameter;
  host::Scene::instance().setCurrentTime(newTime);
  return MS::kSuccess;
}
