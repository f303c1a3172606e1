#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>

// "createMarvikSkeleton": builds a skeleton per streamed actor header through the current
// device node. Succeeds without a node and whatever the builds report.
class CreateMarvikSkeletonCmd : public MPxCommand {
 public:
  ~CreateMarvikSkeletonCmd() override;
  MStatus doIt(const MArgList& args) override;

  static void* creator();
};
