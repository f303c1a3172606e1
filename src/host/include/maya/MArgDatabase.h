#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MArgParser.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MArgList;
class MStringArray;
class MSyntax;

// MArgParser with the arguments of selection types as well.
class MArgDatabase : public MArgParser {
 public:
  MArgDatabase();
  MArgDatabase(const MSyntax& syntax, const MArgList& argList, MStatus* ReturnStatus = NULL);
  ~MArgDatabase() override;

  MStatus getFlagArgument(const char* flag, unsigned int index, bool& result) const;
  MStatus getFlagArgument(const char* flag, unsigned int index, int& result) const;
  MStatus getFlagArgument(const char* flag, unsigned int index, double& result) const;
  MStatus getFlagArgument(const char* flag, unsigned int index, MString& result) const;
  MStatus getFlagArgument(const char* flag, unsigned int index, unsigned int& result) const;
  MStatus getObjects(MStringArray& result) const;
};

OPENMAYA_NAMESPACE_CLOSE
