#pragma once

#include <maya/MEulerRotation.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MTime.h>

#include <string>

#include "motion/iSkeleton.h"
#include "scene/imocapImport.h"

// Builds the skeleton's joints (or, when merging, matches a selected skeleton) and keys them, with
// the translator's options. Open mode never merges and keys from time 0; otherwise keys start at
// startTime when given, else at the current time. kInvalidParameter for a skeleton without a
// root; else the first failure, with the data joint it happened at in failedJoint (empty when it
// came before the walk). What was created before a failure stays. Each keyed joint's samples are
// released once keyed; the joints keep their bindings to the nodes built.
MStatus buildSkeleton(const imocapImport& translator, iSkeleton& skeleton, bool openMode,
                      std::string* failedJoint = nullptr, const MTime* startTime = nullptr);

// Keys the skeleton's samples from startTime, as buildSkeleton keys them with the translator's
// options, onto the nodes that `built` (the same tree, built by buildSkeleton) was built into,
// joint by joint of the same name. Nothing when the options build bones only. Failures as for
// buildSkeleton.
MStatus keyOntoBuilt(const imocapImport& translator, iSkeleton& skeleton, const iSkeleton& built,
                     const MTime& startTime, std::string* failedJoint = nullptr);

// The scene times of the first and last frame that building the skeleton with the translator's
// options keys from startTime; false when it keys none (bones only, an empty range).
bool keyedSpan(const imocapImport& translator, const iSkeleton& skeleton, const MTime& startTime,
               MTime& first, MTime& last);

// The scene time of the frame `frames` after startFrame, in whole frames of frameUnit when the
// data has one, else frameTime seconds apart.
MTime keyTimeAt(const imocapImport::imyCallbackData& data, double frames);

// The walk's visitor: does nothing once data's status is a failure.
void visitJoint(iSkeleton::iJoint* joint, iSkeleton::iJoint::icallbackData* data);

// Creates the joint (and, for the root, the top transform named sceneName) under its parent's
// node and binds it; the new joint goes to `created`. It turns in its own channels' order, or in
// the rotationOrder option's when given.
MStatus createJoint(iSkeleton::iJoint& joint, imocapImport::imyCallbackData& data,
                    MObject& created);

// The joint's rotate order for a BVH channel order: the letters reversed (XYZ gives ZYX);
// kNotGiven for anything but the six orders.
int reverseRotationOrder(int order);

// The MEulerRotation order of a rotate order given as reverseRotationOrder gives it; kXYZ for
// anything but the six orders.
MEulerRotation::RotationOrder eulerRotationOrder(int order);
