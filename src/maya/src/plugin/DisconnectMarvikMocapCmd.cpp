#include "plugin/DisconnectMarvikMocapCmd.h"

#include "plugin/NetDeviceNode.h"

DisconnectMarvikMocapCmd::~DisconnectMarvikMocapCmd() = default;

MStatus DisconnectMarvikMocapCmd::doIt(const MArgList&) {
  if (currentDeviceNode == nullptr) return MS::kFailure;
  try {
    currentDeviceNode->disconnectMocap();
  } catch (...) {
    return MS::kFailure;
  }
  return MS::kSuccess;
}

void* DisconnectMarvikMocapCmd::creator() {
  try {
    return new DisconnectMarvikMocapCmd;
  } catch (...) {
    return nullptr;
  }
}
