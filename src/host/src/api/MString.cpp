#include <maya/MString.h>
#include <maya/MStringArray.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ostream>

#include "model/NumberText.h"
#include "model/SystemText.h"

MString::MString() = default;
MString::MString(const char* chars) : text(chars ? host::utf8FromSystem(chars) : "") {}
MString::MString(const char* chars, int length)
    : text(chars && length > 0
               ? host::utf8FromSystem(std::string(chars, static_cast<std::size_t>(length)))
               : "") {}
MString::MString(const MString& other) = default;
MString::~MString() = default;

MString& MString::operator=(const MString& other) = default;

MString& MString::operator=(const char* other) {
  text = other ? host::utf8FromSystem(other) : "";
  return *this;
}

MString& MString::operator=(double value) {
  text = host::numberText(value);
  return *this;
}

MString& MString::operator+=(const MString& other) {
  text += other.text;
  return *this;
}

MString& MString::operator+=(const char* other) {
  if (other) text += host::utf8FromSystem(other);
  return *this;
}

MString& MString::operator+=(double value) {
  text += host::numberText(value);
  return *this;
}

MString& MString::operator+=(int value) {
  text += std::to_string(value);
  return *this;
}

MString& MString::operator+=(unsigned int value) {
  text += std::to_string(value);
  return *this;
}

MString& MString::operator+=(float value) {
  text += host::numberText(value);
  return *this;
}

MString MString::operator+(const MString& other) const {
  MString result(*this);
  result += other;
  return result;
}

MString MString::operator+(const char* other) const {
  MString result(*this);
  result += other;
  return result;
}

MString MString::operator+(double value) const {
  MString result(*this);
  result += value;
  return result;
}

bool MString::operator==(const MString& other) const { return text == other.text; }

bool MString::operator==(const char* other) const { return *this == MString(other); }

bool MString::operator!=(const MString& other) const { return !(*this == other); }

bool MString::operator!=(const char* other) const { return !(*this == other); }

MString& MString::setUTF8(const char* utf8String) {
  text = utf8String ? utf8String : "";
  return *this;
}

const char* MString::asChar() const {
  systemText = host::systemFromUtf8(text);
  return systemText.c_str();
}

const char* MString::asUTF8() const { return text.c_str(); }

unsigned int MString::length() const { return static_cast<unsigned int>(text.size()); }

int MString::index(char c) const {
  auto position = text.find(c);
  return position == std::string::npos ? -1 : static_cast<int>(position);
}

int MString::rindex(char c) const {
  auto position = text.rfind(c);
  return position == std::string::npos ? -1 : static_cast<int>(position);
}

MStatus MString::split(char separator, MStringArray& pieces) const {
  pieces.clear();
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    if (end > start) pieces.append(MString(text.substr(start, end - start).c_str()));
    start = end + 1;
  }
  return MS::kSuccess;
}

MString MString::substring(int start, int end) const {
  int last = static_cast<int>(text.size()) - 1;
  start = std::max(start, 0);
  end = std::min(end, last);
  if (start > end) return MString();
  MString result;
  result.text =
      text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start + 1));
  return result;
}

MString& MString::toLowerCase() {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return *this;
}

MString& MString::toUpperCase() {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return *this;
}

int MString::asInt() const {
  long long value = std::strtoll(text.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

unsigned int MString::asUnsigned() const {
  long long value = std::strtoll(text.c_str(), nullptr, 10);
  return static_cast<unsigned int>(std::clamp<long long>(value, 0, UINT_MAX));
}

float MString::asFloat() const { return std::strtof(text.c_str(), nullptr); }

double MString::asDouble() const { return std::strtod(text.c_str(), nullptr); }

// The free operators belong to the API's namespace, where argument-dependent lookup finds them.
OPENMAYA_MAJOR_NAMESPACE_OPEN

MString operator+(const char* text, const MString& string) { return MString(text) + string; }

std::ostream& operator<<(std::ostream& out, const MString& string) {
  return out << string.asChar();
}

OPENMAYA_NAMESPACE_CLOSE
