#include "plugin/MarvikMocapStatusCmd.h"

#include <maya/MString.h>

#include <string>

#include "plugin/TakeSession.h"
#include "stream/protocolBufferProcess.h"

MarvikMocapStatusCmd::~MarvikMocapStatusCmd() = default;

MStatus MarvikMocapStatusCmd::doIt(const MArgList&) {
  try {
    std::string line = protocolBufferProcess::instance().status().line();
    TakeSession& session = TakeSession::instance();
    session.showPendingWarnings();
    const TakeSession::Summary take = session.summary();
    if (take.state != TakeSession::State::kIdle) {
      line += std::string(" take=") + take.stateName() +
              " takeFrames=" + std::to_string(take.frames) + " takeSeconds=" + take.secondsText();
    }
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
