#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>

// "disconnectMarvikMocap": stops the receive thread and closes the stream connection through
// the current device node; kFailure without a node.
class DisconnectMarvikMocapCmd : public MPxCommand {
 public:
  ~DisconnectMarvikMocapCmd() override;
  MStatus doIt(const MArgList& args) override;

  static void* creator();
};
