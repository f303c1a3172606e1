#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>

// "createMarvikSkeleton": builds a skeleton per streamed actor header through the current
// device node. Fails, with an error saying why, without a node, without a header, and for each
// skeleton that could not be built (the others are built all the same).
class CreateMarvikSkeletonCmd : public MPxCommand {
 public:
  ~CreateMarvikSkeletonCmd() override;
  MStatus doIt(const MArgList& args) override;

  static void* creator();
};
