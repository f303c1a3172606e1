#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include <vector>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// Arguments of a command invocation, in order, kept as text.
class MArgList {
 public:
  MArgList();
  MArgList(const MArgList& other);
  ~MArgList();
  MArgList& operator=(const MArgList& other);

  unsigned int length(MStatus* ReturnStatus = NULL) const;
  // kInvalidParameter when index is out of range (the result is then empty or 0).
  MString asString(unsigned int index, MStatus* ReturnStatus = NULL) const;
  int asInt(unsigned int index, MStatus* ReturnStatus = NULL) const;
  // kInvalidParameter (and 0) also when the argument is not a number.
  double asDouble(unsigned int index, MStatus* ReturnStatus = NULL) const;

  MStatus addArg(const MString& arg);

 private:
  std::vector<MString> args;
};

OPENMAYA_NAMESPACE_CLOSE
