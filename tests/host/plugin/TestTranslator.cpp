#include "TestTranslator.h"

#include <cstring>
#include <string>

#include "EventLog.h"

TestTranslator::TestTranslator(bool readsAnyFile) : anyFile(readsAnyFile) {}

MStatus TestTranslator::reader(const MFileObject& file, const MString& optionsString,
                               FileAccessMode mode) {
  testplugin::record(std::string(anyFile ? "anyText" : "hostTest") + " read " +
                     file.resolvedName().asChar() + " options=" + optionsString.asChar() +
                     " mode=" + std::to_string(static_cast<int>(mode)));
  return optionsString == "fail" ? MS::kFailure : MS::kSuccess;
}

bool TestTranslator::haveReadMethod() const { return true; }

MPxFileTranslator::MFileKind TestTranslator::identifyFile(const MFileObject& file,
                                                          const char* buffer, short size) const {
  if (anyFile) return kCouldBeMyFileType;
  std::string name = file.resolvedName().asChar();
  if (name.size() > 5 && name.compare(name.size() - 5, 5, ".htst") == 0) return kIsMyFileType;
  if (size >= 4 && std::memcmp(buffer, "HTST", 4) == 0) return kCouldBeMyFileType;
  return kNotMyFileType;
}

void* TestTranslator::creator() { return new TestTranslator(false); }

void* TestTranslator::anyFileCreator() { return new TestTranslator(true); }
