#include <maya/MArgList.h>

#include "api/ReturnStatus.h"

using host::report;

MArgList::MArgList() = default;
MArgList::MArgList(const MArgList& other) = default;
MArgList::~MArgList() = default;
MArgList& MArgList::operator=(const MArgList& other) = default;

unsigned int MArgList::length(MStatus* ReturnStatus) const {
  report(ReturnStatus, MS::kSuccess);
  return static_cast<unsigned int>(args.size());
}

MString MArgList::asString(unsigned int index, MStatus* ReturnStatus) const {
  if (index >= args.size()) {
    report(ReturnStatus, MS::kInvalidParameter);
    return MString();
  }
  report(ReturnStatus, MS::kSuccess);
  return args[index];
}

int MArgList::asInt(unsigned int index, MStatus* ReturnStatus) const {
  if (index >= args.size()) {
    report(ReturnStatus, MS::kInvalidParameter);
    return 0;
  }
  report(ReturnStatus, MS::kSuccess);
  return args[index].asInt();
}

MStatus MArgList::addArg(const MString& arg) {
  args.push_back(arg);
  return MS::kSuccess;
}
