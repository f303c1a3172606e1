#include <maya/MArgList.h>

#include <cstdlib>

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

double MArgList::asDouble(unsigned int index, MStatus* ReturnStatus) const {
  const char* text = index < args.size() ? args[index].asUTF8() : "";
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0') {
    report(ReturnStatus, MS::kInvalidParameter);
    return 0.0;
  }
  report(ReturnStatus, MS::kSuccess);
  return value;
}

MStatus MArgList::addArg(const MString& arg) {
  args.push_back(arg);
  return MS::kSuccess;
}
