#pragma once

#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include <cstdint>
#include <string>

#include "scene/imocapImport.h"

// What an export writes, as the "BVH" translator's options give it.
struct ExportOptions {
  // Centimetres per file unit, as an import's scale: offsets and positions are divided by it.
  double scale = 1.0;
  // The frames written, counted from the first of the range (the keyed span at the frame
  // rate): startFrame up to, not including, endFrame, as an import counts them.
  std::uint32_t startFrame = 0;
  std::uint32_t endFrame = kNotGiven;
  // Frames per second of the file; 0: the rate the skeleton is keyed at when every key lies on
  // one grid (as an import keys) at most a scene frame apart or of a rate Maya has a time unit
  // for, else the scene's time unit.
  double frameRate = 0.0;
};

// The skeleton to export: the selected joint hierarchy (its top-most selected joint) when
// `selection`, else the scene's one skeleton (a joint without a joint above it).
// kInvalidParameter, with why in failure, when nothing or no joint is selected, there is no
// joint, or there are several skeletons (named in failure).
MStatus findExportRoot(bool selection, MObject& root, MString& failure);

// Writes the joint hierarchy below root as a BVH file at path (UTF-8): each joint's OFFSET its
// translate at the first frame written, the root with six channels, other joints with three
// rotations (and positions when their translate is animated) in the reverse of their rotate
// order, leaf joints without keys as End Sites (a keyed one as a joint closed by an End Site at
// its origin); then every frame's evaluated rotate axis, rotate and joint
// orient as one rotation in that order, each frame nearest the one before. Streams frames to
// "<path>.tmp", renamed to path once whole; on failure no file is left and failure says why.
MStatus exportSkeleton(const MObject& root, const std::string& path, const ExportOptions& options,
                       MString& failure);
