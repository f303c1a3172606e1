#include <maya/MPxCommand.h>
#include <maya/MString.h>

#include "runtime/Session.h"

MPxCommand::MPxCommand() = default;
MPxCommand::~MPxCommand() = default;

MStatus MPxCommand::doIt(const MArgList&) { return MS::kSuccess; }

MStatus MPxCommand::undoIt() { return MS::kSuccess; }

MStatus MPxCommand::redoIt() { return MS::kSuccess; }

bool MPxCommand::isUndoable() const { return false; }

bool MPxCommand::hasSyntax() const { return false; }

void MPxCommand::setResult(const MString& val) {
  host::Session::instance().commandResult = val.asChar();
}
