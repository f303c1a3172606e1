#include "scene/keyJoint.h"

#include <maya/MFnDependencyNode.h>
#include <maya/MFnIkJoint.h>
#include <maya/MPlug.h>

#include <algorithm>
#include <cstddef>

#include "motion/JointChannel.h"

namespace {

constexpr int kRotatePlugs = 3;
constexpr int kCurves = 6;
const char* const kPlugNames[kCurves] = {"rotateX",    "rotateY",    "rotateZ",
                                         "translateX", "translateY", "translateZ"};

bool attached(const MFnAnimCurve& curve) { return !curve.object().isNull(); }

}  // namespace

MStatus keyJoint(const iSkeleton::iJoint& joint, const imocapImport::imyCallbackData& data,
                 const MObject& node) {
  // Seconds throughout, so that no key time needs a unit conversion.
  MTime keyTime(data.startTime.as(MTime::kSeconds), MTime::kSeconds);
  MTime step(data.frameTime, MTime::kSeconds);
  // A start past the end writes nothing, so it clears nothing either and no key is lost.
  bool writes = data.startFrame <= data.endFrame;
  MTime spanEnd = keyTime + step * static_cast<double>(data.endFrame - data.startFrame);

  MFnIkJoint target;
  MStatus status = target.setObject(node);
  if (!status) return status;

  // An axis without a position channel keeps the translate the joint was built with (its
  // offset), and so does every axis when no frame is keyed: a curve without keys would drive the
  // plug to 0.
  const std::size_t last = std::min<std::size_t>(data.endFrame, joint.frames.size());
  const bool keysFrames = data.startFrame < last;
  bool keyed[kCurves] = {true, true, true};
  for (int axis = 0; axis < 3; ++axis) {
    keyed[kRotatePlugs + axis] = keysFrames && hasPositionChannel(joint.channels, axis);
  }
  MFnAnimCurve curves[kCurves];
  for (int i = 0; i < kCurves; ++i) {
    if (!keyed[i]) continue;
    status = attachCurve(node, kPlugNames[i], curves[i]);
    if (!status) return status;
    if (writes && attached(curves[i])) {
      status = clearKeyRange(curves[i], keyTime, spanEnd);
      if (!status) return status;
    }
  }

  bool isAttached[kCurves] = {};
  for (int i = 0; i < kCurves; ++i) isAttached[i] = keyed[i] && attached(curves[i]);
  const double scale = data.scale;
  for (std::size_t frame = data.startFrame; frame < last; ++frame) {
    const iFrame& sample = joint.frames[frame];
    for (int axis = 0; axis < 3; ++axis) {
      if (!isAttached[axis]) continue;
      status = curves[axis].addKeyframe(keyTime, sample.rotation[axis]);
      if (!status) return status;
    }
    for (int axis = 0; axis < 3; ++axis) {
      if (!isAttached[kRotatePlugs + axis]) continue;
      // Adding zero turns a -0 into 0, as root translations have always been keyed.
      double value = (0.0 + sample.position[axis]) * scale;
      status = curves[kRotatePlugs + axis].addKeyframe(keyTime, value);
      if (!status) return status;
    }
    keyTime += step;
  }
  return MS::kSuccess;
}

MStatus attachCurve(const MObject& node, const MString& plugName, MFnAnimCurve& curve) {
  curve.setObject(MObject::kNullObj);

  MStatus status;
  MFnDependencyNode target(node, &status);
  if (!status) return status;
  MPlug plug = target.findPlug(plugName, false, &status);
  if (!status) return status;
  if (!plug.isKeyable()) {
    status = plug.setKeyable(true);
    if (!status) return status;
  }
  if (plug.isLocked()) {
    status = plug.setLocked(false);
    if (!status) return status;
  }

  if (plug.isConnected()) {
    MFnAnimCurve driving(plug, &status);
    if (status != MS::kSuccess && status != MS::kNotImplemented) return status;
    MObject existing = driving.object(&status);
    curve.setObject(existing);
    return status;
  }
  MObject attribute = plug;
  curve.create(node, attribute, MFnAnimCurve::kAnimCurveTL, nullptr, &status);
  return status == MS::kSuccess ? MStatus(MS::kSuccess) : MStatus(MS::kNotFound);
}

MStatus clearKeyRange(MFnAnimCurve& curve, const MTime& start, const MTime& end) {
  MStatus status;
  unsigned int count = curve.numKeys(&status);
  if (!status || count == 0 || !(start < end)) return MS::kSuccess;

  unsigned int first = curve.findClosest(start, &status);
  if (!status) return MS::kSuccess;
  if (curve.time(first) < start) ++first;
  unsigned int past = first;
  while (past < count && curve.time(past) < end) ++past;
  // From the back, so that each removal moves only the keys after the span.
  while (past > first) {
    status = curve.remove(--past);
    if (!status) return status;
  }
  return MS::kSuccess;
}
