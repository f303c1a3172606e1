#include "plugin/MarvikMocapRecordCmd.h"

#include <maya/MArgDatabase.h>
#include <maya/MGlobal.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>

#include <cmath>
#include <string>
#include <vector>

#include "plugin/TakeSession.h"
#include "scene/utf8String.h"

namespace {

const char kUsage[] =
    "give one of -start [-fps F] [-memoryLimit MB], -stop [-file DIR], -query and -cancel";

MStatus usageError(const std::string& message) {
  MGlobal::displayError(utf8String("marvikMocapRecord: " + message));
  return MS::kFailure;
}

// A positive finite number for the flag when it is set; else value is left as it is.
MStatus readPositive(const MArgDatabase& database, const char* flag, const char* example,
                     double& value) {
  if (!database.isFlagSet(flag)) return MS::kSuccess;
  double given = 0;
  const MStatus status = database.getFlagArgument(flag, 0, given);
  if (!status || !std::isfinite(given) || !(given > 0)) {
    MString text;
    database.getFlagArgument(flag, 0, text);
    return usageError(std::string(flag) + " needs a number above 0, not " + text.asUTF8() +
                      "; give, for example, " + flag + " " + example);
  }
  value = given;
  return MS::kSuccess;
}

}  // namespace

MarvikMocapRecordCmd::~MarvikMocapRecordCmd() = default;

MSyntax MarvikMocapRecordCmd::newSyntax() {
  MSyntax syntax;
  syntax.addFlag("-st", "-start");
  syntax.addFlag("-sp", "-stop");
  syntax.addFlag("-cn", "-cancel");
  syntax.addFlag("-r", "-fps", MSyntax::kDouble);
  syntax.addFlag("-ml", "-memoryLimit", MSyntax::kDouble);
  syntax.addFlag("-f", "-file", MSyntax::kString);
  syntax.enableQuery(true);
  syntax.setObjectType(MSyntax::kNone);
  return syntax;
}

MStatus MarvikMocapRecordCmd::doIt(const MArgList& args) {
  try {
    MStatus status;
    const MArgDatabase database(newSyntax(), args, &status);
    if (!status) return status;
    std::vector<std::string> actions;
    if (database.isQuery()) actions.push_back("-query");
    for (const char* flag : {"-start", "-stop", "-cancel"}) {
      if (database.isFlagSet(flag)) actions.push_back(flag);
    }
    if (actions.empty()) return usageError(std::string("no action given; ") + kUsage);
    if (actions.size() > 1) {
      return usageError("give one of -start, -stop, -query and -cancel, not " + actions[0] +
                        " and " + actions[1]);
    }
    const std::string& action = actions[0];
    if (action == "-query") {
      // Queried flags come without values: -q -fps is as wrong as -stop -fps.
      for (const char* flag : {"-fps", "-memoryLimit", "-file"}) {
        if (database.isFlagSet(flag)) {
          return usageError(std::string("-query reports the take's state alone; leave ") + flag +
                            " out");
        }
      }
    }
    for (const char* flag : {"-fps", "-memoryLimit"}) {
      if (database.isFlagSet(flag) && action != "-start") {
        return usageError(std::string(flag) + " goes with -start; add -start or leave " + flag +
                          " out");
      }
    }
    if (database.isFlagSet("-file") && action != "-stop") {
      return usageError("-file goes with -stop; add -stop or leave -file out");
    }

    double framesPerSecond = 0;
    double limitMegabytes = TakeSession::kDefaultLimitMegabytes;
    status = readPositive(database, "-fps", "30", framesPerSecond);
    if (!status) return status;
    status = readPositive(database, "-memoryLimit", "512", limitMegabytes);
    if (!status) return status;
    std::string directory;
    const bool hasFile = database.isFlagSet("-file");
    if (hasFile) {
      MString folder;
      database.getFlagArgument("-file", 0, folder);
      directory = folder.asUTF8();
      if (directory.empty()) return usageError("-file needs a folder; give -file DIR");
    }

    TakeSession& session = TakeSession::instance();
    // -stop shows them itself; a cancelled take needs no advice on building it.
    if (action != "-stop" && action != "-cancel") session.showPendingWarnings();
    if (action == "-start") return session.start(framesPerSecond, limitMegabytes);
    if (action == "-cancel") return session.cancel();
    if (action == "-stop") {
      MStringArray roots;
      status = session.stop(hasFile ? &directory : nullptr, roots);
      setResult(roots);
      return status;
    }
    const TakeSession::Summary summary = session.summary();
    std::string line = summary.stateName();
    if (summary.state != TakeSession::State::kIdle) {
      line += " frames=" + std::to_string(summary.frames) + " seconds=" + summary.secondsText();
    }
    setResult(utf8String(line));
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
