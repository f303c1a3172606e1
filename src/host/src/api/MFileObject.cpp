#include <maya/MFileObject.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "model/SystemText.h"
#include "model/Utf8String.h"

namespace {

// "$NAME" and "${NAME}" replaced by the variable's value (empty when unset).
std::string expand(const std::string& text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '$') {
      result += text[i];
      continue;
    }
    std::string name;
    std::size_t end = i + 1;
    if (end < text.size() && text[end] == '{') {
      std::size_t close = text.find('}', end);
      if (close == std::string::npos) {
        result += text[i];
        continue;
      }
      name = text.substr(end + 1, close - end - 1);
      end = close + 1;
    } else {
      while (end < text.size() &&
             (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_')) {
        name += text[end++];
      }
    }
    if (name.empty()) {
      result += text[i];
      continue;
    }
    if (const char* value = std::getenv(name.c_str())) result += host::utf8FromSystem(value);
    i = end - 1;
  }
  return result;
}

std::string namePart(const std::string& path) {
  auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string pathPart(const std::string& path) {
  auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

}  // namespace

MFileObject::MFileObject() = default;
MFileObject::MFileObject(const MFileObject& other) = default;
MFileObject& MFileObject::operator=(const MFileObject& other) = default;
MFileObject::~MFileObject() = default;

MStatus MFileObject::setRawFullName(const MString& fullName) {
  raw = fullName;
  return MS::kSuccess;
}

MString MFileObject::rawName() const { return host::utf8String(namePart(raw.asUTF8())); }

MString MFileObject::rawPath() const { return host::utf8String(pathPart(raw.asUTF8())); }

MString MFileObject::rawFullName() const { return raw; }

MString MFileObject::resolvedName() const {
  return host::utf8String(namePart(expand(raw.asUTF8())));
}

MString MFileObject::resolvedPath() const {
  return host::utf8String(pathPart(expand(raw.asUTF8())));
}

MString MFileObject::resolvedFullName() const { return host::utf8String(expand(raw.asUTF8())); }

MString MFileObject::expandedFullName() const { return host::utf8String(expand(raw.asUTF8())); }

bool MFileObject::exists() {
  std::ifstream file(std::filesystem::u8path(expand(raw.asUTF8())));
  return file.good();
}

MString MFileObject::name() const { return resolvedName(); }

MString MFileObject::fullName() const { return resolvedFullName(); }
