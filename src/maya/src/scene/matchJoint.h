#pragma once

#include <maya/MObject.h>
#include <maya/MStatus.h>

#include "motion/iSkeleton.h"
#include "scene/imocapImport.h"

// Takes the first selected joint as the merge target root (data.rootPath). Without one, shows
// "You should select the root joint firstly!" and returns kInvalidParameter.
MStatus selectMergeRoot(imocapImport::imyCallbackData& data);

// Finds the existing joint for a data joint: the target root for the root; else the child joint of
// the parent's match whose name equals the data name, both without namespaces, in any letter
// case, or the only child joint whatever its name. Binds the joint to the match (kNullObj when
// several child joints match none). kNotFound, unbound, when the parent is unbound or has no child
// joint.
MStatus matchJoint(iSkeleton::iJoint& joint, imocapImport::imyCallbackData& data, MObject& matched);
