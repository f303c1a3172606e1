#include <maya/MSyntax.h>

#include <memory>
#include <string>

#include "runtime/CommandSyntax.h"

MSyntax::MSyntax() : rules(std::make_shared<host::CommandSyntax>()) {}

// Copies own their rules: a syntax changed after registering changes nothing registered.
MSyntax::MSyntax(const MSyntax& other)
    : rules(std::make_shared<host::CommandSyntax>(*other.rules)) {}

MSyntax::~MSyntax() = default;

MSyntax& MSyntax::operator=(const MSyntax& rhs) {
  if (this != &rhs) rules = std::make_shared<host::CommandSyntax>(*rhs.rules);
  return *this;
}

MStatus MSyntax::addFlag(const char* shortName, const char* longName, MArgType argType1,
                         MArgType argType2, MArgType argType3, MArgType argType4, MArgType argType5,
                         MArgType argType6) {
  if (shortName == nullptr || longName == nullptr) return MS::kInvalidParameter;
  const std::string shortText = shortName;
  const std::string longText = longName;
  if (shortText.size() < 2 || shortText[0] != '-' || longText.size() < 2 || longText[0] != '-') {
    return MS::kInvalidParameter;
  }
  for (const std::string& name : {shortText, longText}) {
    if (rules->find(name) != nullptr || name == "-q" || name == "-query" || name == "-e" ||
        name == "-edit") {
      return MS::kFailure;
    }
  }
  host::CommandSyntax::Flag flag{shortText, longText, {}, false};
  for (MArgType type : {argType1, argType2, argType3, argType4, argType5, argType6}) {
    if (type == kNoArg) break;
    if (type <= kNoArg || type >= kLastArgType) return MS::kInvalidParameter;
    flag.arguments.push_back(type);
  }
  rules->flags.push_back(flag);
  return MS::kSuccess;
}

MStatus MSyntax::makeFlagMultiUse(const char* flag) {
  if (flag == nullptr) return MS::kInvalidParameter;
  for (host::CommandSyntax::Flag& entry : rules->flags) {
    if (entry.shortName == flag || entry.longName == flag) {
      entry.multiUse = true;
      return MS::kSuccess;
    }
  }
  return MS::kFailure;
}

MStatus MSyntax::setObjectType(MObjectFormat objectFormat, unsigned int minimumObjects) {
  return setObjectType(objectFormat, minimumObjects, ~0u);
}

MStatus MSyntax::setObjectType(MObjectFormat objectFormat, unsigned int minimumObjects,
                               unsigned int maximumObjects) {
  if (objectFormat <= kInvalidObjectFormat || objectFormat >= kLastObjectFormat ||
      minimumObjects > maximumObjects) {
    return MS::kInvalidParameter;
  }
  rules->objects = objectFormat;
  rules->minObjects = objectFormat == kNone ? 0 : minimumObjects;
  rules->maxObjects = objectFormat == kNone ? 0 : maximumObjects;
  return MS::kSuccess;
}

void MSyntax::enableQuery(bool supportsQuery) { rules->query = supportsQuery; }

void MSyntax::enableEdit(bool supportsEdit) { rules->edit = supportsEdit; }
