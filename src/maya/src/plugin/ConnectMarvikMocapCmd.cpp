#include "plugin/ConnectMarvikMocapCmd.h"

#include <maya/MGlobal.h>
#include <maya/MString.h>

#include <exception>
#include <string>

#include "plugin/NetDeviceNode.h"

ConnectMarvikMocapCmd::~ConnectMarvikMocapCmd() = default;

MStatus ConnectMarvikMocapCmd::doIt(const MArgList&) {
  if (currentDeviceNode == nullptr) return MS::kFailure;
  // The socket layer throws its bare error text; it must end here, as a failed command.
  try {
    return currentDeviceNode->connectMocap() ? MS::kSuccess : MS::kFailure;
  } catch (const char* text) {
    MGlobal::displayError(MString(text));
  } catch (const std::string& text) {
    MGlobal::displayError(MString(text.c_str()));
  } catch (const std::exception& error) {
    MGlobal::displayError(MString(error.what()));
  } catch (...) {
  }
  return MS::kFailure;
}

void* ConnectMarvikMocapCmd::creator() {
  try {
    return new ConnectMarvikMocapCmd;
  } catch (...) {
    return nullptr;
  }
}
