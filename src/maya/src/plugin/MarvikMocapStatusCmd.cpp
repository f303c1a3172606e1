#include "plugin/MarvikMocapStatusCmd.h"

#include <maya/MString.h>

#include <string>

#include "stream/protocolBufferProcess.h"

MarvikMocapStatusCmd::~MarvikMocapStatusCmd() = default;

MStatus MarvikMocapStatusCmd::doIt(const MArgList&) {
  try {
    const std::string line = protocolBufferProcess::instance().status().line();
    setResult(MString(line.c_str()));
  } catch (...) {
    return MS::kFailure;
  }
  return MS::kSuccess;
}

void* MarvikMocapStatusCmd::creator() {
  try {
    return new MarvikMocapStatusCmd;
  } catch (...) {
    return nullptr;
  }
}
