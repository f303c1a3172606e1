#pragma once

#include <maya/MArgList.h>
#include <maya/MPxCommand.h>
#include <maya/MStatus.h>

// "hostEcho": records its arguments and sets them as its result, an array of strings; fails when
// the first one is "fail", throws when it is "throw".
class EchoCmd : public MPxCommand {
 public:
  ~EchoCmd() override;
  MStatus doIt(const MArgList& args) override;
  static void* creator();
};
