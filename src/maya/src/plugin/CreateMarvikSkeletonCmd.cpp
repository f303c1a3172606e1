#include "plugin/CreateMarvikSkeletonCmd.h"

#include "plugin/NetDeviceNode.h"

CreateMarvikSkeletonCmd::~CreateMarvikSkeletonCmd() = default;

MStatus CreateMarvikSkeletonCmd::doIt(const MArgList&) {
  if (currentDeviceNode == nullptr) return MS::kSuccess;
  try {
    currentDeviceNode->createSkeleton();
  } catch (...) {
    return MS::kFailure;
  }
  return MS::kSuccess;
}

void* CreateMarvikSkeletonCmd::creator() {
  try {
    return new CreateMarvikSkeletonCmd;
  } catch (...) {
    return nullptr;
  }
}
