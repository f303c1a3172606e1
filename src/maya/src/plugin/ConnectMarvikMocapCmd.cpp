#include "plugin/ConnectMarvikMocapCmd.h"

#include <maya/MGlobal.h>
#include <maya/MString.h>

#include <exception>
#include <string>

#include "plugin/NetDeviceNode.h"
#include "scene/utf8String.h"

ConnectMarvikMocapCmd::~ConnectMarvikMocapCmd() = default;

MStatus ConnectMarvikMocapCmd::doIt(const MArgList&) {
  if (currentDeviceNode == nullptr) return MS::kFailure;
  // The socket layer throws its bare error text; it must end here, as a failed command.
  try {
    return currentDeviceNode->connectMocap() ? MS::kSuccess : MS::kFailure;
  } catch (const char* text) {
    MGlobal::displayError(utf8String(text));
  } catch (const std::string& text) {
    MGlobal::displayError(utf8String(text));
  } catch (const std::exception& error) {
    MGlobal::displayError(utf8String(error.what()));
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
