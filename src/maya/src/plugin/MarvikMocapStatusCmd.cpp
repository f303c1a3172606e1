#include "plugin/MarvikMocapStatusCmd.h"

#include <maya/MArgDatabase.h>
#include <maya/MGlobal.h>
#include <maya/MString.h>

#include <string>
#include <vector>

#include "plugin/TakeSession.h"
#include "scene/utf8String.h"
#include "stream/protocolBufferProcess.h"

namespace {

// The query flags, in the order of the status line.
const char* const kQueryFlags[] = {"-state", "-address",     "-actors",     "-frames",
                                   "-fps",   "-lastFrameMs", "-reconnects", "-take"};

MStatus usageError(const std::string& message) {
  MGlobal::displayError(utf8String("marvikMocapStatus: " + message));
  return MS::kFailure;
}

// The line's words: "<state> <address> actors=<n> ..." split at spaces, values after "=".
std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> result;
  std::size_t start = 0;
  while (start <= line.size()) {
    std::size_t end = line.find(' ', start);
    if (end == std::string::npos) end = line.size();
    std::string word = line.substr(start, end - start);
    const std::size_t equals = word.find('=');
    result.push_back(equals == std::string::npos ? word : word.substr(equals + 1));
    start = end + 1;
  }
  return result;
}

}  // namespace

MarvikMocapStatusCmd::~MarvikMocapStatusCmd() = default;

MSyntax MarvikMocapStatusCmd::newSyntax() {
  MSyntax syntax;
  syntax.addFlag("-s", "-state");
  syntax.addFlag("-a", "-address");
  syntax.addFlag("-ac", "-actors");
  syntax.addFlag("-fr", "-frames");
  syntax.addFlag("-r", "-fps");
  syntax.addFlag("-lf", "-lastFrameMs");
  syntax.addFlag("-rc", "-reconnects");
  syntax.addFlag("-t", "-take");
  syntax.enableQuery(true);
  syntax.setObjectType(MSyntax::kNone);
  return syntax;
}

MStatus MarvikMocapStatusCmd::doIt(const MArgList& args) {
  try {
    MStatus status;
    const MArgDatabase database(newSyntax(), args, &status);
    if (!status) return status;
    std::vector<int> queried;
    for (int i = 0; i < static_cast<int>(sizeof kQueryFlags / sizeof kQueryFlags[0]); ++i) {
      if (database.isFlagSet(kQueryFlags[i])) queried.push_back(i);
    }
    if (!queried.empty() && !database.isQuery()) {
      return usageError(std::string(kQueryFlags[queried[0]]) +
                        " is a query flag; add -query (-q) to read it");
    }
    if (queried.size() > 1) {
      return usageError(std::string("query one flag at a time, not ") + kQueryFlags[queried[0]] +
                        " and " + kQueryFlags[queried[1]]);
    }

    const std::string streamLine = protocolBufferProcess::instance().status().line();
    TakeSession& session = TakeSession::instance();
    session.showPendingWarnings();
    const TakeSession::Summary take = session.summary();
    if (!queried.empty()) {
      const std::string flag = kQueryFlags[queried[0]];
      const std::vector<std::string> values = words(streamLine);
      const std::string value = flag == "-take" ? take.stateName() : values[queried[0]];
      setResult(utf8String(value));
      return MS::kSuccess;
    }
    std::string line = streamLine;
    if (take.state != TakeSession::State::kIdle) {
      line += std::string(" take=") + take.stateName() +
              " takeFrames=" + std::to_string(take.frames) + " takeSeconds=" + take.secondsText();
    }
    setResult(utf8String(line));
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
