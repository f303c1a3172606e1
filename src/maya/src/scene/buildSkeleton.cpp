#include "scene/buildSkeleton.h"

#include <maya/MAnimControl.h>
#include <maya/MEulerRotation.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnIkJoint.h>
#include <maya/MFnTransform.h>
#include <maya/MString.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MTypes.h>
#include <maya/MVector.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "motion/RotationOrder.h"
#include "scene/ImportComputation.h"
#include "scene/keyJoint.h"
#include "scene/matchJoint.h"
#include "scene/standardRateUnit.h"
#include "scene/utf8String.h"

namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

MTransformationMatrix::RotationOrder transformOrder(int order) {
  switch (order) {
    case kOrderXYZ:
      return MTransformationMatrix::kXYZ;
    case kOrderYZX:
      return MTransformationMatrix::kYZX;
    case kOrderZXY:
      return MTransformationMatrix::kZXY;
    case kOrderZYX:
      return MTransformationMatrix::kZYX;
    case kOrderYXZ:
      return MTransformationMatrix::kYXZ;
    case kOrderXZY:
      return MTransformationMatrix::kXZY;
  }
  return MTransformationMatrix::kLast;
}

// The options resolved against the skeleton, as every build of it uses them.
void resolveOptions(const imocapImport& translator, const iSkeleton& skeleton,
                    imocapImport::imyCallbackData& data) {
  data.sceneName = translator.sceneName;
  data.translateAllJoints = skeleton.translateAllJoints;
  data.bonesOnly = translator.bonesOnly;
  data.merge = translator.merge;
  data.scale = translator.scale;
  data.rotationOrderGiven = translator.rotationOrder != static_cast<int>(kNotGiven);
  data.rotationOrder = data.rotationOrderGiven ? translator.rotationOrder : skeleton.rotationOrder;
  data.startFrame = translator.startFrame == kNotGiven ? 0 : translator.startFrame;
  data.endFrame = translator.endFrame == kNotGiven
                      ? skeleton.frameCount
                      : std::min(translator.endFrame, skeleton.frameCount);
  data.frameTime = skeleton.frameTime;
  data.frameUnit = standardRateUnit(skeleton.frameTime);
  data.eulerFilter = translator.eulerFilter;
  data.computation = translator.computation;
}

// Polled before each joint, so that an interrupt never leaves a joint keyed in part.
bool interrupted(imocapImport::imyCallbackData& data) {
  if (data.computation == nullptr || data.computation->proceed()) return false;
  data.status = MS::kFailure;
  return true;
}

// The context of keyOntoBuilt's walk: where each joint's node is found.
class OntoBuilt : public imocapImport::imyCallbackData {
 public:
  const iSkeleton* built = nullptr;
};

void keyBoundJoint(iSkeleton::iJoint* joint, iSkeleton::iJoint::icallbackData* callbackData) {
  auto* data = dynamic_cast<OntoBuilt*>(callbackData);
  if (data == nullptr || joint == nullptr || !data->status || interrupted(*data)) return;
  const iSkeleton::iJoint* twin = data->built->findJoint(joint->name);
  auto* binding = twin == nullptr
                      ? nullptr
                      : dynamic_cast<const imocapImport::imyAccessory*>(twin->accessory.get());
  if (binding == nullptr) {
    data->status = MS::kNotFound;
  } else {
    data->status = keyJoint(*joint, *data, binding->object);
    if (data->status) std::vector<iFrame>().swap(joint->frames);
  }
  if (!data->status) data->failedJoint = joint->name;
}

}  // namespace

MEulerRotation::RotationOrder eulerRotationOrder(int order) {
  switch (order) {
    case kOrderYZX:
      return MEulerRotation::kYZX;
    case kOrderZXY:
      return MEulerRotation::kZXY;
    case kOrderZYX:
      return MEulerRotation::kZYX;
    case kOrderYXZ:
      return MEulerRotation::kYXZ;
    case kOrderXZY:
      return MEulerRotation::kXZY;
  }
  return MEulerRotation::kXYZ;
}

int reverseRotationOrder(int order) {
  switch (order) {
    case kOrderXYZ:
      return kOrderZYX;
    case kOrderYZX:
      return kOrderXZY;
    case kOrderZXY:
      return kOrderYXZ;
    case kOrderZYX:
      return kOrderXYZ;
    case kOrderYXZ:
      return kOrderZXY;
    case kOrderXZY:
      return kOrderYZX;
  }
  return static_cast<int>(kNotGiven);
}

bool keyedSpan(const imocapImport& translator, const iSkeleton& skeleton, const MTime& startTime,
               MTime& first, MTime& last) {
  imocapImport::imyCallbackData data;
  resolveOptions(translator, skeleton, data);
  if (data.bonesOnly || skeleton.root == nullptr || data.startFrame >= data.endFrame) return false;
  data.startTime = startTime;
  first = keyTimeAt(data, 0.0);
  last = keyTimeAt(data, static_cast<double>(data.endFrame - data.startFrame - 1));
  return true;
}

MTime keyTimeAt(const imocapImport::imyCallbackData& data, double frames) {
  if (data.frameUnit != MTime::kInvalid) {
    return MTime(data.startTime.as(data.frameUnit) + frames, data.frameUnit);
  }
  return MTime(data.startTime.as(MTime::kSeconds) + frames * data.frameTime, MTime::kSeconds);
}

MStatus buildSkeleton(const imocapImport& translator, iSkeleton& skeleton, bool openMode,
                      std::string* failedJoint, const MTime* startTime) {
  if (skeleton.root == nullptr || skeleton.rewind() != 0) return MS::kInvalidParameter;
  iSkeleton::iJoint* start = skeleton.currentJoint();

  imocapImport::imyCallbackData data;
  resolveOptions(translator, skeleton, data);

  if (openMode) {
    data.merge = false;
  } else {
    data.startTime = startTime != nullptr ? *startTime : MAnimControl::currentTime();
  }
  if (data.bonesOnly) data.merge = false;
  if (data.merge) {
    data.bonesOnly = false;
    MStatus status = selectMergeRoot(data);
    if (!status) return status;
  }

  data.status = MS::kSuccess;
  skeleton.walk(start, visitJoint, &data);
  if (failedJoint != nullptr) *failedJoint = data.failedJoint;
  return data.status;
}

MStatus keyOntoBuilt(const imocapImport& translator, iSkeleton& skeleton, const iSkeleton& built,
                     const MTime& startTime, std::string* failedJoint) {
  if (skeleton.root == nullptr || skeleton.rewind() != 0) return MS::kInvalidParameter;
  iSkeleton::iJoint* start = skeleton.currentJoint();
  OntoBuilt data;
  resolveOptions(translator, skeleton, data);
  if (data.bonesOnly) return MS::kSuccess;
  data.built = &built;
  data.startTime = startTime;
  data.status = MS::kSuccess;
  skeleton.walk(start, keyBoundJoint, &data);
  if (failedJoint != nullptr) *failedJoint = data.failedJoint;
  return data.status;
}

void visitJoint(iSkeleton::iJoint* joint, iSkeleton::iJoint::icallbackData* callbackData) {
  auto* data = dynamic_cast<imocapImport::imyCallbackData*>(callbackData);
  if (data == nullptr || joint == nullptr || !data->status || interrupted(*data)) return;

  MObject node;
  if (data->merge) {
    if (matchJoint(*joint, *data, node) == MS::kSuccess) {
      if (data->computation != nullptr) data->computation->keepCurves(node);
      data->status = keyJoint(*joint, *data, node);
    }
  } else {
    data->status = createJoint(*joint, *data, node);
    if (data->status && !data->bonesOnly) data->status = keyJoint(*joint, *data, node);
  }
  // Nothing reads a joint's samples once it is keyed; releasing them keeps the samples and the
  // keys from both being held in full at the end of a large import.
  if (data->status && !data->bonesOnly) std::vector<iFrame>().swap(joint->frames);
  if (!data->status) data->failedJoint = joint->name;
}

MStatus createJoint(iSkeleton::iJoint& joint, imocapImport::imyCallbackData& data,
                    MObject& created) {
  MStatus status;
  int order = reverseRotationOrder(
      data.rotationOrderGiven ? data.rotationOrder : jointRotationOrder(joint, data.rotationOrder));
  MVector translation(joint.offset[0] * data.scale, joint.offset[1] * data.scale,
                      joint.offset[2] * data.scale);

  MObject parent;
  if (data.depth > 0) {
    auto* binding = joint.parent == nullptr
                        ? nullptr
                        : dynamic_cast<imocapImport::imyAccessory*>(joint.parent->accessory.get());
    if (binding != nullptr) parent = binding->object;
  } else {
    MFnTransform top;
    parent = top.create(MObject::kNullObj, &status);
    if (!status) return status;
    top.setName(data.sceneName, false, &status);
    if (!status) return status;
  }

  MFnIkJoint fn;
  created = fn.create(parent, &status);
  if (!status) return status;

  auto binding = std::make_unique<imocapImport::imyAccessory>();
  binding->object = created;
  joint.accessory = std::move(binding);

  // Names such as "mixamorig:Hips" keep their namespace, which Maya creates when missing.
  fn.setName(utf8String(joint.name), true, &status);
  if (!status) return status;
  status = fn.setTranslation(translation, MSpace::kTransform);
  if (!status) return status;
  status = fn.setRotationOrder(transformOrder(order), false);
  if (!status) return status;

  const auto& orientation = joint.orientation;
  if (orientation[0] != 0.0 || orientation[1] != 0.0 || orientation[2] != 0.0) {
    status = fn.setOrientation(
        MEulerRotation(orientation[0] * kRadiansPerDegree, orientation[1] * kRadiansPerDegree,
                       orientation[2] * kRadiansPerDegree, eulerRotationOrder(order)));
  }
  return status;
}
