#include "writers/JsonWriter.h"

#include <cmath>

#include "model/NumberText.h"

namespace host {

void JsonWriter::string(const std::string& text) {
  out << '"';
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out << "\\\"";
        break;
      case '\\':
        out << "\\\\";
        break;
      case '\n':
        out << "\\n";
        break;
      case '\r':
        out << "\\r";
        break;
      case '\t':
        out << "\\t";
        break;
      default:
        if (c < 0x20) {
          static const char kHex[] = "0123456789abcdef";
          out << "\\u00" << kHex[c >> 4] << kHex[c & 15];
        } else {
          out << static_cast<char>(c);
        }
    }
  }
  out << '"';
}

void JsonWriter::number(double value) {
  if (std::isfinite(value)) {
    out << numberText(value);
  } else {
    out << "null";
  }
}

void JsonWriter::key(const char* name) {
  string(name);
  out << ": ";
}

void JsonWriter::strings(const std::vector<std::string>& texts) {
  out << '[';
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i) out << ", ";
    string(texts[i]);
  }
  out << ']';
}

void JsonWriter::value(const Value& shown) {
  if (auto flag = std::get_if<bool>(&shown)) {
    out << (*flag ? "true" : "false");
  } else if (auto integer = std::get_if<int>(&shown)) {
    out << *integer;
  } else if (auto real = std::get_if<double>(&shown)) {
    number(*real);
  } else if (auto text = std::get_if<std::string>(&shown)) {
    string(*text);
  } else {
    const auto& vector = std::get<std::array<double, 3>>(shown);
    out << '[';
    for (std::size_t i = 0; i < 3; ++i) {
      if (i) out << ", ";
      number(vector[i]);
    }
    out << ']';
  }
}

}  // namespace host
