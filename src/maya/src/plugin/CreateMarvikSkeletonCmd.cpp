#include "plugin/CreateMarvikSkeletonCmd.h"

#include <maya/MGlobal.h>
#include <maya/MString.h>

#include <string>
#include <vector>

#include "plugin/NetDeviceNode.h"
#include "scene/utf8String.h"

namespace {

void showError(const std::string& message) {
  MGlobal::displayError(utf8String("createMarvikSkeleton: " + message));
}

}  // namespace

CreateMarvikSkeletonCmd::~CreateMarvikSkeletonCmd() = default;

MStatus CreateMarvikSkeletonCmd::doIt(const MArgList&) {
  try {
    if (currentDeviceNode == nullptr) {
      showError("there is no netDevice node to build from");
      return MS::kFailure;
    }
    std::vector<std::string> problems;
    const int built = currentDeviceNode->createSkeleton(problems);
    for (const std::string& problem : problems) showError(problem);
    if (built == 0 && problems.empty()) {
      showError("no skeleton header has arrived from the stream since its last actor list");
    }
    return built > 0 && problems.empty() ? MS::kSuccess : MS::kFailure;
  } catch (...) {
    return MS::kFailure;
  }
}

void* CreateMarvikSkeletonCmd::creator() {
  try {
    return new CreateMarvikSkeletonCmd;
  } catch (...) {
    return nullptr;
  }
}
