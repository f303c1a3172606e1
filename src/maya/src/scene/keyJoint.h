#pragma once

#include <maya/MFnAnimCurve.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTime.h>

#include "motion/iSkeleton.h"
#include "scene/imocapImport.h"

// Keys the joint's samples from startFrame up to endFrame onto the node: rotations (degrees) on
// every joint, and the translation along each axis the joint has a position channel for (the
// channel's value, scaled), one frame time apart from startTime. Keys already inside that span are
// removed first. Returns the first failure; keys written before it stay.
MStatus keyJoint(const iSkeleton::iJoint& joint, const imocapImport::imyCallbackData& data,
                 const MObject& node);

// Attaches `curve` to the curve driving the node's plug, creating one (time to distance) when the
// plug is not driven; the plug is made keyable and unlocked first. kNotFound when creating fails.
MStatus attachCurve(const MObject& node, const MString& plugName, MFnAnimCurve& curve);

// Removes the curve's keys at times from `start` up to, not including, `end`.
MStatus clearKeyRange(MFnAnimCurve& curve, const MTime& start, const MTime& end);
