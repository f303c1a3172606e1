#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include <memory>

namespace host {
struct ParsedArguments;
}  // namespace host

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MArgList;
class MStringArray;
class MSyntax;

// A command's arguments read against its syntax. Flags are named with or without their "-", by
// short or long name. A parser whose construction failed answers nothing (kFailure).
class MArgParser {
 public:
  MArgParser();
  MArgParser(const MSyntax& syntax, const MArgList& argList, MStatus* ReturnStatus = NULL);
  virtual ~MArgParser();

  bool isFlagSet(const char* flag, MStatus* ReturnStatus = NULL) const;
  bool isEdit(MStatus* ReturnStatus = NULL) const;
  bool isQuery(MStatus* ReturnStatus = NULL) const;
  unsigned int numberOfFlagsUsed() const;

  // kInvalidParameter when the flag is not set, has no argument at index or the argument is of
  // another type.
  MStatus getFlagArgument(const char* flag, unsigned int index, bool& result) const;
  MStatus getFlagArgument(const char* flag, unsigned int index, int& result) const;
  MStatus getFlagArgument(const char* flag, unsigned int index, double& result) const;
  MStatus getFlagArgument(const char* flag, unsigned int index, MString& result) const;
  MStatus getFlagArgument(const char* flag, unsigned int index, unsigned int& result) const;

  MStatus getObjects(MStringArray& result) const;

 protected:
  std::shared_ptr<host::ParsedArguments> parsed;
};

OPENMAYA_NAMESPACE_CLOSE
