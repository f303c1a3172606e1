#include "model/NumberText.h"

#include <charconv>
#include <cmath>

namespace host {

namespace {

template <typename T>
std::string shortest(T value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string numberText(double value) { return shortest(value); }

std::string numberText(float value) { return shortest(value); }

}  // namespace host
