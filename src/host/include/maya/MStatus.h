#pragma once

#include <maya/MApiNamespace.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MString;

// Result of a host call. Converts to true on success, so `if (!status)` tests for failure.
class MStatus {
 public:
  enum MStatusCode {
    kSuccess = 0,
    kFailure,
    kInsufficientMemory,
    kInvalidParameter,
    kLicenseFailure,
    kUnknownParameter,
    kNotImplemented,
    kNotFound,
    kEndOfFile
  };

  MStatus();
  MStatus(MStatusCode code);
  MStatus(const MStatus& other);
  MStatus& operator=(const MStatus& other);
  ~MStatus();

  operator bool() const;
  bool operator==(const MStatus& other) const;
  bool operator==(MStatusCode code) const;
  bool operator!=(const MStatus& other) const;
  bool operator!=(MStatusCode code) const;

  bool error() const;
  MStatusCode statusCode() const;
  // "(kFailure): Unexpected Internal Failure" and the like: the code's name, then its text.
  MString errorString() const;
  // Writes "<prefix>: <errorString>" and a newline to standard error.
  void perror(const char* prefix) const;

 private:
  MStatusCode code;
};

typedef MStatus MS;

OPENMAYA_NAMESPACE_CLOSE

using Autodesk::Maya::OpenMaya20220000::MS;
