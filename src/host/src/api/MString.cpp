#include <maya/MString.h>
#include <maya/MStringArray.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ostream>

#ifdef _WIN32
#include <windows.h>
#endif

#include "model/NumberText.h"

MString::MString() = default;
MString::MString(const char* chars) : text(chars ? chars : "") {}
MString::MString(const char* chars, int length)
    : text(chars && length > 0 ? std::string(chars, static_cast<std::size_t>(length)) : "") {}
MString::MString(const MString& other) = default;
MString::~MString() = default;

MString& MString::operator=(const MString& other) = default;

MString& MString::operator=(const char* other) {
  text = other ? other : "";
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
  if (other) text += other;
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

bool MString::operator==(const char* other) const { return text == (other ? other : ""); }

bool MString::operator!=(const MString& other) const { return !(*this == other); }

bool MString::operator!=(const char* other) const { return !(*this == other); }

#ifdef _WIN32
namespace {

// UTF-8 to the ANSI code page through UTF-16, as Windows converts: what the code page cannot
// hold (and bytes that are no UTF-8) becomes its default character, "?".
std::string ansiCodePage(const std::string& utf8) {
  if (utf8.empty()) return std::string();
  const int size = static_cast<int>(utf8.size());
  const int wideSize = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, &wide[0], wideSize);
  const int ansiSize =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(ansiSize), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), wideSize, &ansi[0], ansiSize, nullptr, nullptr);
  return ansi;
}

}  // namespace

const char* MString::asChar() const {
  ansi = ansiCodePage(text);
  return ansi.c_str();
}
#else
const char* MString::asChar() const { return text.c_str(); }
#endif

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

std::ostream& operator<<(std::ostream& out, const MString& string) { return out << string.text; }

OPENMAYA_NAMESPACE_CLOSE
