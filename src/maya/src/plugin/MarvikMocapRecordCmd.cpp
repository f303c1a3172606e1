#include "plugin/MarvikMocapRecordCmd.h"

#include <maya/MGlobal.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>

#include <cmath>
#include <string>

#include "plugin/TakeSession.h"

namespace {

MStatus usageError(const std::string& message) {
  MGlobal::displayError(MString(("marvikMocapRecord: " + message).c_str()));
  return MS::kFailure;
}

}  // namespace

MarvikMocapRecordCmd::~MarvikMocapRecordCmd() = default;

MStatus MarvikMocapRecordCmd::doIt(const MArgList& args) {
  try {
    std::string action;
    double framesPerSecond = 0;
    double limitMegabytes = TakeSession::kDefaultLimitMegabytes;
    bool hasFile = false;
    std::string directory;
    std::string valueFlag;
    const unsigned int count = args.length();
    for (unsigned int i = 0; i < count; ++i) {
      const std::string flag = args.asString(i).asChar();
      const bool hasValue = i + 1 < count;
      if (flag == "-start" || flag == "-stop" || flag == "-query" || flag == "-q" ||
          flag == "-cancel") {
        const std::string name = flag == "-q" ? "-query" : flag;
        if (!action.empty() && action != name) {
          return usageError("give one of -start, -stop, -query and -cancel, not " + action +
                            " and " + name);
        }
        action = name;
      } else if (flag == "-fps" || flag == "-memoryLimit") {
        MStatus status;
        const double value = hasValue ? args.asDouble(++i, &status) : 0.0;
        if (!hasValue || !status || !std::isfinite(value) || !(value > 0)) {
          return usageError(flag + " needs a number above 0");
        }
        (flag == "-fps" ? framesPerSecond : limitMegabytes) = value;
        valueFlag = valueFlag.empty() ? flag : valueFlag;
      } else if (flag == "-file") {
        if (!hasValue) return usageError("-file needs a folder");
        directory = args.asString(++i).asChar();
        if (directory.empty()) return usageError("-file needs a folder");
        hasFile = true;
      } else {
        return usageError("unknown flag " + flag +
                          "; give one of -start [-fps F] [-memoryLimit MB], -stop [-file DIR], "
                          "-query and -cancel");
      }
    }
    if (action.empty()) {
      return usageError(
          "give one of -start [-fps F] [-memoryLimit MB], -stop [-file DIR], "
          "-query and -cancel");
    }
    if (!valueFlag.empty() && action != "-start") {
      return usageError(valueFlag + " goes with -start");
    }
    if (hasFile && action != "-stop") return usageError("-file goes with -stop");

    TakeSession& session = TakeSession::instance();
    // -stop shows them itself; a cancelled take needs no advice on building it.
    if (action != "-stop" && action != "-cancel") session.showPendingWarnings();
    if (action == "-start") return session.start(framesPerSecond, limitMegabytes);
    if (action == "-cancel") return session.cancel();
    if (action == "-stop") {
      MStringArray roots;
      const MStatus status = session.stop(hasFile ? &directory : nullptr, roots);
      setResult(roots);
      return status;
    }
    const TakeSession::Summary summary = session.summary();
    std::string line = summary.stateName();
    if (summary.state != TakeSession::State::kIdle) {
      line += " frames=" + std::to_string(summary.frames) + " seconds=" + summary.secondsText();
    }
    setResult(MString(line.c_str()));
    return MS::kSuccess;
  } catch (...) {
    return MS::kFailure;
  }
}

void* MarvikMocapRecordCmd::creator() {
  try {
    return new MarvikMocapRecordCmd;
  } catch (...) {
    return nullptr;
  }
}
