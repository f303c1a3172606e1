#include <maya/MPxCommand.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>

#include <string>
#include <vector>

#include "runtime/Session.h"

MPxCommand::MPxCommand() = default;
MPxCommand::~MPxCommand() = default;

MStatus MPxCommand::doIt(const MArgList&) { return MS::kSuccess; }

MStatus MPxCommand::undoIt() { return MS::kSuccess; }

MStatus MPxCommand::redoIt() { return MS::kSuccess; }

bool MPxCommand::isUndoable() const { return false; }

bool MPxCommand::hasSyntax() const { return false; }

void MPxCommand::setResult(const MString& val) {
  host::Session::instance().commandResult = val.asUTF8();
  host::Session::instance().commandResults = {val.asUTF8()};
}

void MPxCommand::setResult(const MStringArray& val) {
  std::vector<std::string>& results = host::Session::instance().commandResults;
  results.clear();
  std::string joined;
  for (unsigned int i = 0; i < val.length(); ++i) {
    results.push_back(val[i].asUTF8());
    joined += (i > 0 ? " " : "") + results.back();
  }
  host::Session::instance().commandResult = joined;
}
