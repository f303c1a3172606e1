#include <maya/MArgList.h>
#include <maya/MArgParser.h>
#include <maya/MStringArray.h>
#include <maya/MSyntax.h>

#include <string>
#include <vector>

#include "api/ReturnStatus.h"
#include "model/Utf8String.h"
#include "runtime/CommandSyntax.h"

using host::report;

namespace {

// The flag's argument at index as text; null when the flag is not set or has none there.
const std::string* argument(const host::ParsedArguments* parsed, const char* flag,
                            unsigned int index) {
  if (parsed == nullptr || flag == nullptr) return nullptr;
  const host::ParsedArguments::Use* use = parsed->find(flag);
  if (use == nullptr || index >= use->values.size()) return nullptr;
  return &use->values[index];
}

MSyntax::MArgType argumentType(const host::ParsedArguments* parsed, const char* flag,
                               unsigned int index) {
  const host::CommandSyntax::Flag* entry = parsed->syntax->find(flag);
  return index < entry->arguments.size() ? entry->arguments[index] : MSyntax::kInvalidArgType;
}

}  // namespace

MArgParser::MArgParser() = default;

MArgParser::MArgParser(const MSyntax& syntax, const MArgList& argList, MStatus* ReturnStatus) {
  std::vector<std::string> args;
  for (unsigned int i = 0; i < argList.length(); ++i) args.push_back(argList.asString(i).asUTF8());
  auto made = std::make_shared<host::ParsedArguments>();
  std::string error;
  if (!host::parseArguments(host::SyntaxAccess::rules(syntax), args, *made, error)) {
    report(ReturnStatus, MS::kInvalidParameter);
    return;
  }
  parsed = made;
  report(ReturnStatus, MS::kSuccess);
}

MArgParser::~MArgParser() = default;

bool MArgParser::isFlagSet(const char* flag, MStatus* ReturnStatus) const {
  if (!parsed || flag == nullptr) {
    report(ReturnStatus, MS::kFailure);
    return false;
  }
  report(ReturnStatus, MS::kSuccess);
  return parsed->find(flag) != nullptr;
}

bool MArgParser::isEdit(MStatus* ReturnStatus) const {
  report(ReturnStatus, parsed ? MS::kSuccess : MS::kFailure);
  return parsed && parsed->edit;
}

bool MArgParser::isQuery(MStatus* ReturnStatus) const {
  report(ReturnStatus, parsed ? MS::kSuccess : MS::kFailure);
  return parsed && parsed->query;
}

unsigned int MArgParser::numberOfFlagsUsed() const {
  return parsed ? static_cast<unsigned int>(parsed->uses.size()) : 0;
}

MStatus MArgParser::getFlagArgument(const char* flag, unsigned int index, bool& result) const {
  const std::string* text = argument(parsed.get(), flag, index);
  if (text == nullptr || argumentType(parsed.get(), flag, index) != MSyntax::kBoolean) {
    return MS::kInvalidParameter;
  }
  return host::readBool(*text, result) ? MS::kSuccess : MS::kInvalidParameter;
}

MStatus MArgParser::getFlagArgument(const char* flag, unsigned int index, int& result) const {
  const std::string* text = argument(parsed.get(), flag, index);
  long long value = 0;
  if (text == nullptr || !host::readInt(*text, value)) return MS::kInvalidParameter;
  result = static_cast<int>(value);
  return MS::kSuccess;
}

MStatus MArgParser::getFlagArgument(const char* flag, unsigned int index, double& result) const {
  const std::string* text = argument(parsed.get(), flag, index);
  if (text == nullptr || !host::readDouble(*text, result)) return MS::kInvalidParameter;
  return MS::kSuccess;
}

MStatus MArgParser::getFlagArgument(const char* flag, unsigned int index, MString& result) const {
  const std::string* text = argument(parsed.get(), flag, index);
  if (text == nullptr) return MS::kInvalidParameter;
  result = host::utf8String(*text);
  return MS::kSuccess;
}

MStatus MArgParser::getFlagArgument(const char* flag, unsigned int index,
                                    unsigned int& result) const {
  const std::string* text = argument(parsed.get(), flag, index);
  long long value = 0;
  if (text == nullptr || !host::readInt(*text, value) || value < 0) return MS::kInvalidParameter;
  result = static_cast<unsigned int>(value);
  return MS::kSuccess;
}

MStatus MArgParser::getObjects(MStringArray& result) const {
  if (!parsed) return MS::kFailure;
  result.clear();
  for (const std::string& object : parsed->objects) result.append(host::utf8String(object));
  return MS::kSuccess;
}
