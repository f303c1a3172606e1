#include <maya/MStatus.h>
#include <maya/MString.h>

#include <cstdio>

namespace {

const char* codeText(MStatus::MStatusCode code) {
  switch (code) {
    case MStatus::kSuccess:
      return "(kSuccess): No Error";
    case MStatus::kFailure:
      return "(kFailure): Unexpected Internal Failure";
    case MStatus::kInsufficientMemory:
      return "(kInsufficientMemory): Insufficient Memory";
    case MStatus::kInvalidParameter:
      return "(kInvalidParameter): Object is incompatible with this method";
    case MStatus::kLicenseFailure:
      return "(kLicenseFailure): License Failure";
    case MStatus::kUnknownParameter:
      return "(kUnknownParameter): Unknown Parameter";
    case MStatus::kNotImplemented:
      return "(kNotImplemented): Not Implemented";
    case MStatus::kNotFound:
      return "(kNotFound): Not Found";
    case MStatus::kEndOfFile:
      return "(kEndOfFile): End of File";
  }
  return "(kFailure): Unexpected Internal Failure";
}

}  // namespace

MStatus::MStatus() : code(kSuccess) {}
MStatus::MStatus(MStatusCode statusCode) : code(statusCode) {}
MStatus::MStatus(const MStatus& other) = default;
MStatus& MStatus::operator=(const MStatus& other) = default;
MStatus::~MStatus() = default;

MStatus::operator bool() const { return code == kSuccess; }

bool MStatus::operator==(const MStatus& other) const { return code == other.code; }

bool MStatus::operator==(MStatusCode other) const { return code == other; }

bool MStatus::operator!=(const MStatus& other) const { return code != other.code; }

bool MStatus::operator!=(MStatusCode other) const { return code != other; }

bool MStatus::error() const { return code != kSuccess; }

MStatus::MStatusCode MStatus::statusCode() const { return code; }

MString MStatus::errorString() const { return MString(codeText(code)); }

void MStatus::perror(const char* prefix) const {
  std::fprintf(stderr, "%s: %s\n", prefix ? prefix : "", codeText(code));
}
