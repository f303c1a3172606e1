#include "EchoCmd.h"

#include <maya/MStringArray.h>

#include <stdexcept>
#include <string>

#include "EventLog.h"

EchoCmd::~EchoCmd() { testplugin::record("echo deleted"); }

MStatus EchoCmd::doIt(const MArgList& args) {
  std::string line = "echo";
  MStringArray result;
  for (unsigned int i = 0; i < args.length(); ++i) {
    line += std::string(" ") + args.asString(i).asChar();
    result.append(args.asString(i));
  }
  testplugin::record(line);
  setResult(result);
  if (args.length() > 0 && args.asString(0) == "throw") throw std::runtime_error("echo threw");
  return args.length() > 0 && args.asString(0) == "fail" ? MS::kFailure : MS::kSuccess;
}

void* EchoCmd::creator() { return new EchoCmd; }
