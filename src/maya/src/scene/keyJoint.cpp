#include "scene/keyJoint.h"

#include <maya/MDoubleArray.h>
#include <maya/MEulerRotation.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnIkJoint.h>
#include <maya/MMatrix.h>
#include <maya/MPlug.h>
#include <maya/MQuaternion.h>
#include <maya/MTimeArray.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MTypes.h>

#include <algorithm>
#include <array>
#include <cstddef>

#include "motion/EulerFilter.h"
#include "motion/JointChannel.h"
#include "motion/RotationOrder.h"
#include "scene/buildSkeleton.h"

namespace {

constexpr int kRotatePlugs = 3;
constexpr int kCurves = 6;
const char* const kPlugNames[kCurves] = {"rotateX",    "rotateY",    "rotateZ",
                                         "translateX", "translateY", "translateZ"};

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

bool attached(const MFnAnimCurve& curve) { return !curve.object().isNull(); }

// What a degree is in the curve's values: radians on an angular curve; a linear one (made by
// earlier versions) keeps degrees, which is what its keys have always meant there.
double angleUnit(const MFnAnimCurve& curve) {
  return curve.animCurveType() == MFnAnimCurve::kAnimCurveTA ? kRadiansPerDegree : 1.0;
}

// The rotate curves' last keys before `time` (degrees), when all three have one.
bool keysBefore(const MFnAnimCurve (&curves)[kCurves], const MTime& time,
                std::array<double, 3>& angles) {
  for (int axis = 0; axis < kRotatePlugs; ++axis) {
    const MFnAnimCurve& curve = curves[axis];
    if (!attached(curve)) return false;
    MStatus status;
    const unsigned int count = curve.numKeys(&status);
    if (!status || count == 0) return false;
    unsigned int index = curve.findClosest(time, &status);
    if (!status) return false;
    if (!(curve.time(index) < time)) {
      if (index == 0) return false;
      --index;
    }
    angles[static_cast<std::size_t>(axis)] = curve.value(index) / angleUnit(curve);
  }
  return true;
}

// How a data joint's rotation becomes the target joint's rotate: straight through when the
// target turns as the data does (same rotate order, no joint orient, no rotate axis), else the
// rotate that, between the target's rotate axis and joint orient, turns the joint as the data
// rotation does, in the target's own rotate order.
class JointRotation {
 public:
  MStatus setTarget(const iSkeleton::iJoint& joint, const imocapImport::imyCallbackData& data,
                    const MFnIkJoint& target) {
    const int channels = data.rotationOrderGiven ? data.rotationOrder
                                                 : jointRotationOrder(joint, data.rotationOrder);
    dataOrder = eulerRotationOrder(reverseRotationOrder(channels));
    targetOrder = dataOrder;
    if (!data.merge) return MS::kSuccess;

    MStatus status;
    const MTransformationMatrix::RotationOrder order = target.rotationOrder(&status);
    if (!status) return status;
    if (order > MTransformationMatrix::kInvalid && order < MTransformationMatrix::kLast) {
      targetOrder = static_cast<MEulerRotation::RotationOrder>(static_cast<int>(order) - 1);
    }
    MEulerRotation orient;
    status = target.getOrientation(orient);
    if (!status) return status;
    const MQuaternion axis = target.rotateOrientation(MSpace::kTransform, &status);
    if (!status) return status;
    direct = targetOrder == dataOrder && orient.isZero(0.0) &&
             axis.isEquivalent(MQuaternion::identity, 0.0);
    axisInverse = axis.asMatrix().inverse();
    orientInverse = orient.asMatrix().inverse();
    return MS::kSuccess;
  }

  // The rotate (degrees, in the target's order) for the data joint's rotation (degrees).
  std::array<double, 3> of(const std::array<double, 3>& degrees) const {
    if (direct) return degrees;
    const MEulerRotation turn(degrees[0] * kRadiansPerDegree, degrees[1] * kRadiansPerDegree,
                              degrees[2] * kRadiansPerDegree, dataOrder);
    // Maya turns a joint by rotate axis, then rotate, then joint orient (row vectors).
    const MEulerRotation rotate =
        MEulerRotation::decompose(axisInverse * turn.asMatrix() * orientInverse, targetOrder);
    return {rotate.x / kRadiansPerDegree, rotate.y / kRadiansPerDegree,
            rotate.z / kRadiansPerDegree};
  }

  // The target's rotate order as a channel order with the same middle axis.
  RotationOrder order() const {
    static const RotationOrder kOrders[6] = {kOrderXYZ, kOrderYZX, kOrderZXY,
                                             kOrderXZY, kOrderYXZ, kOrderZYX};
    return kOrders[targetOrder];
  }

 private:
  MEulerRotation::RotationOrder dataOrder = MEulerRotation::kXYZ;
  MEulerRotation::RotationOrder targetOrder = MEulerRotation::kXYZ;
  bool direct = true;
  MMatrix axisInverse;
  MMatrix orientInverse;
};

}  // namespace

MStatus keyJoint(const iSkeleton::iJoint& joint, const imocapImport::imyCallbackData& data,
                 const MObject& node) {
  // One unit throughout, so that no key time needs a conversion: whole frames of the rate the
  // frame time stands for, else seconds.
  MTime keyTime = keyTimeAt(data, 0.0);
  MTime step = data.frameUnit != MTime::kInvalid ? MTime(1.0, data.frameUnit)
                                                 : MTime(data.frameTime, MTime::kSeconds);
  MTime spanEnd = keyTimeAt(data, static_cast<double>(data.endFrame - data.startFrame));

  MFnIkJoint target;
  MStatus status = target.setObject(node);
  if (!status) return status;

  // A joint with no frame to key (an End Site, a range past its samples) gets no curve and loses
  // no key: a curve without keys would drive its plug to 0.
  const std::size_t last = std::min<std::size_t>(data.endFrame, joint.frames.size());
  if (data.startFrame >= last) return MS::kSuccess;

  // An axis without a position channel keeps the translate the joint has.
  bool keyed[kCurves] = {true, true, true};
  for (int axis = 0; axis < 3; ++axis) {
    keyed[kRotatePlugs + axis] = hasPositionChannel(joint.channels, axis);
  }
  MFnAnimCurve curves[kCurves];
  for (int i = 0; i < kCurves; ++i) {
    if (!keyed[i]) continue;
    status = attachCurve(node, kPlugNames[i], curves[i]);
    if (!status) return status;
    if (attached(curves[i])) {
      status = clearKeyRange(curves[i], keyTime, spanEnd);
      if (!status) return status;
    }
  }

  JointRotation rotation;
  status = rotation.setTarget(joint, data, target);
  if (!status) return status;
  EulerFilter filter(rotation.order());
  std::array<double, 3> before{};
  if (data.eulerFilter && keysBefore(curves, keyTime, before)) filter.follow(before);

  bool isAttached[kCurves] = {};
  double unit[kCurves] = {};
  for (int i = 0; i < kCurves; ++i) {
    isAttached[i] = keyed[i] && attached(curves[i]);
    if (isAttached[i]) unit[i] = i < kRotatePlugs ? angleUnit(curves[i]) : 1.0;
  }
  // Every curve's keys in one call, as Maya's own importers key: key by key, Maya would work out
  // the curve's tangents again at every key.
  MTimeArray times;
  MDoubleArray values[kCurves];
  const double scale = data.scale;
  for (std::size_t frame = data.startFrame; frame < last; ++frame) {
    const iFrame& sample = joint.frames[frame];
    std::array<double, 3> angles = rotation.of(sample.rotation);
    if (data.eulerFilter) angles = filter.next(angles);
    times.append(keyTime);
    for (int axis = 0; axis < 3; ++axis) {
      if (isAttached[axis])
        values[axis].append(angles[static_cast<std::size_t>(axis)] * unit[axis]);
      // Adding zero turns a -0 into 0, as root translations have always been keyed.
      if (isAttached[kRotatePlugs + axis]) {
        values[kRotatePlugs + axis].append((0.0 + sample.position[axis]) * scale);
      }
    }
    keyTime += step;
  }
  for (int i = 0; i < kCurves; ++i) {
    if (!isAttached[i]) continue;
    status = curves[i].addKeys(&times, &values[i]);
    if (!status) return status;
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
  // The type the plug's unit asks for: angular on rotate, linear on translate.
  curve.create(node, attribute, nullptr, &status);
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
