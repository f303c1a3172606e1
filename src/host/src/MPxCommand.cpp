#include <maya/MPxCommand.h>

MPxCommand::MPxCommand() = default;
MPxCommand::~MPxCommand() = default;

MStatus MPxCommand::doIt(const MArgList&) { return MS::kSuccess; }

MStatus MPxCommand::undoIt() { return MS::kSuccess; }

MStatus MPxCommand::redoIt() { return MS::kSuccess; }

bool MPxCommand::isUndoable() const { return false; }

bool MPxCommand::hasSyntax() const { return false; }
