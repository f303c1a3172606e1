#pragma once

#include <maya/MFnAnimCurve.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTime.h>

#include "motion/iSkeleton.h"
#include "scene/imocapImport.h"

// Keys the joint's samples from startFrame up to endFrame onto the node, one frame time apart
// from startTime, one addKeys call per curve: rotations on every joint with frames to key (in
// radians on angular curves; a linear curve made by an earlier version keeps degrees), turned
// into the node's own rotate order, joint orient and rotate axis when merging, each frame nearest
// the previous one with eulerFilter; and the translation along each axis the joint has a position
// channel for (the channel's value, scaled, in centimetres). A joint with no frame to key gets no
// curve and loses no key. Keys already inside the span are removed first. Returns the first
// failure; curves keyed before it stay.
MStatus keyJoint(const iSkeleton::iJoint& joint, const imocapImport::imyCallbackData& data,
                 const MObject& node);

// Attaches `curve` to the curve driving the node's plug, creating one of the plug's own type
// (angular for rotate, linear for translate) when the plug is not driven; the plug is made keyable
// and unlocked first. kNotFound when creating fails.
MStatus attachCurve(const MObject& node, const MString& plugName, MFnAnimCurve& curve);

// Removes the curve's keys at times from `start` up to, not including, `end`.
MStatus clearKeyRange(MFnAnimCurve& curve, const MTime& start, const MTime& end);
