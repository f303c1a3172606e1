#include "scene/matchJoint.h"

#include <maya/MDagPath.h>
#include <maya/MFn.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MItSelectionList.h>
#include <maya/MSelectionList.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>

#include <memory>

#include "scene/utf8String.h"

namespace {

void bind(iSkeleton::iJoint& joint, const MObject& node) {
  auto binding = std::make_unique<imocapImport::imyAccessory>();
  binding->object = node;
  joint.accessory = std::move(binding);
}

// The name after its last ":", lower-cased.
MString bareName(const MString& name) {
  MStringArray parts;
  name.split(':', parts);
  MString bare = parts.length() == 0 ? name : parts[parts.length() - 1];
  bare.toLowerCase();
  return bare;
}

}  // namespace

MStatus selectMergeRoot(imocapImport::imyCallbackData& data) {
  MSelectionList selection;
  MStatus status = MGlobal::getActiveSelectionList(selection, false);
  if (!status) return status;
  MItSelectionList joints(selection, MFn::kJoint);
  if (joints.isDone()) {
    MGlobal::displayError("You should select the root joint firstly!");
    return MS::kInvalidParameter;
  }
  return joints.getDagPath(data.rootPath);
}

MStatus matchJoint(iSkeleton::iJoint& joint, imocapImport::imyCallbackData& data,
                   MObject& matched) {
  MStatus status;
  if (data.depth == 0) {
    if (!data.rootPath.hasFn(MFn::kJoint)) return MS::kInvalidParameter;
    matched = data.rootPath.node(&status);
    if (status) bind(joint, matched);
    return status;
  }

  auto* parent = joint.parent == nullptr
                     ? nullptr
                     : dynamic_cast<imocapImport::imyAccessory*>(joint.parent->accessory.get());
  if (parent == nullptr) return MS::kNotFound;
  MFnDagNode parentNode;
  parentNode.setObject(parent->object);
  unsigned int count = parentNode.childCount(&status);
  if (!status) return status;

  // Compared without namespaces on both sides, so that a file whose names carry one
  // ("mixamorig:Hips") merges back onto the joints its own import created.
  const MString wanted = bareName(utf8String(joint.name));
  MObject match = MObject::kNullObj;
  MObject lastJoint;
  unsigned int jointChildren = 0;
  bool named = false;
  MStatus result;
  for (unsigned int i = 0; i < count; ++i) {
    MObject child = parentNode.child(i, &status);
    if (!status) {
      result = status;
      break;
    }
    if (!child.hasFn(MFn::kJoint)) continue;
    ++jointChildren;
    lastJoint = child;
    MFnDependencyNode childNode(child);
    MString name = childNode.name(&status);
    if (!status) {
      result = status;
      break;
    }
    if (bareName(name) == wanted) {
      match = child;
      named = true;
      break;
    }
  }

  if (jointChildren == 0) return MS::kNotFound;
  if (!named && jointChildren == 1) match = lastJoint;
  matched = match;
  bind(joint, matched);
  return result;
}
