#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>

#include <iosfwd>
#include <string>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MStringArray;

// Text. As in Maya, every const char* form (the constructors, =, +=, + and ==, asChar) is in the
// system's multibyte encoding: on Windows its ANSI code page, where letters the code page lacks
// become "?"; elsewhere the locale's, taken as UTF-8. setUTF8 and asUTF8 are UTF-8 everywhere:
// paths and any text that goes back into the scene take them. Numbers appended with += or + are
// written in their shortest form that reads back to the same value ("1", "0.5", "1e+20").
class MString {
 public:
  MString();
  MString(const char* text);
  MString(const char* text, int length);
  MString(const MString& other);
  ~MString();

  MString& operator=(const MString& other);
  MString& operator=(const char* text);
  MString& operator=(double value);

  MString& operator+=(const MString& other);
  MString& operator+=(const char* text);
  MString& operator+=(double value);
  MString& operator+=(int value);
  MString& operator+=(unsigned int value);
  MString& operator+=(float value);

  MString operator+(const MString& other) const;
  MString operator+(const char* text) const;
  MString operator+(double value) const;

  bool operator==(const MString& other) const;
  bool operator==(const char* text) const;
  bool operator!=(const MString& other) const;
  bool operator!=(const char* text) const;

  MString& setUTF8(const char* utf8String);
  const char* asChar() const;
  const char* asUTF8() const;
  unsigned int length() const;
  // Index of the first / last occurrence of the character, -1 when absent.
  int index(char c) const;
  int rindex(char c) const;
  // Splits at every occurrence of the separator. Empty pieces are dropped, as Maya does:
  // "a;;b;" gives "a", "b" and "" gives nothing. The array is replaced.
  MStatus split(char separator, MStringArray& pieces) const;
  // Characters start to end, both included; indexes are clamped to the string, and an empty
  // string results when start is past end.
  MString substring(int start, int end) const;
  MString& toLowerCase();
  MString& toUpperCase();

  // Conversions read the longest number at the start of the text after leading white space, as
  // the C library's strtol / strtod do, and ignore what follows: "12abc" gives 12, "1.5" gives
  // 1 as an integer. Text that does not start with a number gives 0. asInt clamps to the int
  // range; asUnsigned gives 0 for a negative number and clamps to the unsigned range.
  int asInt() const;
  unsigned int asUnsigned() const;
  float asFloat() const;
  double asDouble() const;

  friend MString operator+(const char* text, const MString& string);
  friend std::ostream& operator<<(std::ostream& out, const MString& string);

 private:
  // UTF-8.
  std::string text;
  // asChar's text, kept until the next call as Maya keeps its own.
  mutable std::string systemText;
};

OPENMAYA_NAMESPACE_CLOSE
