#include "OutputLinks.h"

#include <host/HostScene.h>
#include <host/Plugins.h>

namespace {

// The UI unit "currentUnit -query" reports for flag; empty when it cannot say.
std::string queryUnit(const char* flag) {
  if (!host::runCommand("currentUnit", {"-query", flag})) return "";
  return host::lastCommandResult();
}

}  // namespace

MStatus linkJointToOutputs(const std::string& translate, const std::string& rotate,
                           const std::string& joint) {
  const std::string linear = queryUnit("-linear");
  const std::string angle = queryUnit("-angle");
  if (linear.empty() || angle.empty()) return MStatus::kFailure;
  const bool switched = linear != "cm" || angle != "deg";
  if (switched && !host::runCommand("currentUnit", {"-linear", "cm", "-angle", "deg"})) {
    return MStatus::kFailure;
  }
  MStatus status = host::connectAttributes(translate, joint + ".translate");
  const MStatus rotated = host::connectAttributes(rotate, joint + ".rotate");
  if (status) status = rotated;
  if (switched && !host::runCommand("currentUnit", {"-linear", linear, "-angle", angle}) &&
      status) {
    status = MStatus::kFailure;
  }
  return status;
}
