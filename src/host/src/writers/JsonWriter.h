#pragma once

#include <host/Value.h>

#include <sstream>
#include <string>
#include <vector>

namespace host {

// Writes the pieces of a JSON text to out; the caller writes the punctuation between them.
class JsonWriter {
 public:
  // Quoted, with quotes, backslashes and control characters escaped.
  void string(const std::string& text);
  // The shortest form that reads back to the same double; null for NaN and infinities.
  void number(double value);
  // The quoted name, a colon and a space.
  void key(const char* name);
  void strings(const std::vector<std::string>& texts);
  // Booleans, numbers, texts, and vectors as arrays of three numbers.
  void value(const Value& shown);

  std::ostringstream out;
};

}  // namespace host
