#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MArgList;
class MString;
class MStringArray;

// Base of plug-in commands. The host creates one object per invocation through the registered
// creator, calls doIt and deletes it afterwards (commands of this host are never undoable).
class MPxCommand {
 public:
  MPxCommand();
  virtual ~MPxCommand();

  virtual MStatus doIt(const MArgList& args);
  virtual MStatus undoIt();
  virtual MStatus redoIt();
  virtual bool isUndoable() const;
  virtual bool hasSyntax() const;

  // The result of the command being run; the host keeps it until the next command starts.
  static void setResult(const MString& val);
  static void setResult(const MStringArray& val);
};

OPENMAYA_NAMESPACE_CLOSE
