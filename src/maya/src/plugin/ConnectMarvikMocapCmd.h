#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>

// "connectMarvikMocap": connects the current device node to the address in its "inputIp" and
// "inputPort". kFailure without a node or when the server cannot be reached; an unresolvable
// host also shows the socket layer's error text.
class ConnectMarvikMocapCmd : public MPxCommand {
 public:
  ~ConnectMarvikMocapCmd() override;
  MStatus doIt(const MArgList& args) override;

  static void* creator();
};
