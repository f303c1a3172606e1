#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>

#include <memory>

namespace host {
class CommandSyntax;
struct SyntaxAccess;
}  // namespace host

OPENMAYA_MAJOR_NAMESPACE_OPEN

// The flags, flag arguments and objects a command accepts. A command registered with a syntax
// creator has its arguments checked against it before doIt runs; MArgDatabase reads them.
class MSyntax {
 public:
  enum MArgType {
    kInvalidArgType,
    kNoArg,
    kBoolean,
    kLong,
    kDouble,
    kString,
    kUnsigned,
    kDistance,
    kAngle,
    kTime,
    kSelectionItem,
    kLastArgType
  };

  enum MObjectFormat {
    kInvalidObjectFormat,
    kNone,
    kStringObjects,
    kSelectionList,
    kLastObjectFormat
  };

  MSyntax();
  MSyntax(const MSyntax& other);
  ~MSyntax();
  MSyntax& operator=(const MSyntax& rhs);

  // Names with their leading "-"; kFailure when either name is taken already.
  MStatus addFlag(const char* shortName, const char* longName, MArgType argType1 = kNoArg,
                  MArgType argType2 = kNoArg, MArgType argType3 = kNoArg,
                  MArgType argType4 = kNoArg, MArgType argType5 = kNoArg,
                  MArgType argType6 = kNoArg);
  MStatus makeFlagMultiUse(const char* flag);
  MStatus setObjectType(MObjectFormat objectFormat, unsigned int minimumObjects = 0);
  MStatus setObjectType(MObjectFormat objectFormat, unsigned int minimumObjects,
                        unsigned int maximumObjects);
  // Adds the -q/-query and -e/-edit flags.
  void enableQuery(bool supportsQuery = true);
  void enableEdit(bool supportsEdit = true);

 private:
  friend struct host::SyntaxAccess;
  std::shared_ptr<host::CommandSyntax> rules;
};

OPENMAYA_NAMESPACE_CLOSE
