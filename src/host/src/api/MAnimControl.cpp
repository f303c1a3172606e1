#include <maya/MAnimControl.h>

#include "model/Scene.h"
#include "runtime/Session.h"

namespace {

host::TimeRange& range() { return host::Session::instance().scene.timeRange(); }

bool valid(const MTime& time) { return time.unit() != MTime::kInvalid; }

}  // namespace

MTime MAnimControl::minTime() { return range().minTime; }

MTime MAnimControl::maxTime() { return range().maxTime; }

MStatus MAnimControl::setMinTime(MTime newMinTime) {
  return setMinMaxTime(newMinTime, range().maxTime);
}

MStatus MAnimControl::setMaxTime(MTime newMaxTime) {
  return setMinMaxTime(range().minTime, newMaxTime);
}

MStatus MAnimControl::setMinMaxTime(MTime newMinTime, MTime newMaxTime) {
  if (!valid(newMinTime) || !valid(newMaxTime) || newMaxTime < newMinTime) {
    return MS::kInvalidParameter;
  }
  range().minTime = newMinTime;
  range().maxTime = newMaxTime;
  return MS::kSuccess;
}

MTime MAnimControl::animationStartTime() { return range().animationStart; }

MTime MAnimControl::animationEndTime() { return range().animationEnd; }

MStatus MAnimControl::setAnimationStartTime(MTime newStartTime) {
  return setAnimationStartEndTime(newStartTime, range().animationEnd);
}

MStatus MAnimControl::setAnimationEndTime(MTime newEndTime) {
  return setAnimationStartEndTime(range().animationStart, newEndTime);
}

MStatus MAnimControl::setAnimationStartEndTime(MTime newStartTime, MTime newEndTime) {
  if (!valid(newStartTime) || !valid(newEndTime) || newEndTime < newStartTime) {
    return MS::kInvalidParameter;
  }
  range().animationStart = newStartTime;
  range().animationEnd = newEndTime;
  return MS::kSuccess;
}

MTime MAnimControl::currentTime() { return host::Session::instance().scene.currentTime(); }

MStatus MAnimControl::setCurrentTime(const MTime& newTime) {
  if (newTime.unit() == MTime::kInvalid) return MS::kInvalidParameter;
  host::Session::instance().scene.setCurrentTime(newTime);
  return MS::kSuccess;
}
