#include "motion/parseNumber.h"

#include <fast_float/fast_float.h>

#include <cmath>
#include <limits>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::uint32_t parseCount(std::string_view text) {
  const char* p = text.data();
  const char* end = p + text.size();
  if (p < end && *p == '+') {
    ++p;
  } else if (p < end && *p == '-') {
    return 0;
  }
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
  std::uint64_t value = 0;
  for (; p < end && isDigit(*p); ++p) {
    value = value * 10 + static_cast<std::uint64_t>(*p - '0');
    if (value > kMax) value = kMax + 1;
  }
  return static_cast<std::uint32_t>(value > kMax ? kMax : value);
}

double parseReal(std::string_view text) {
  double value = 0.0;
  readReal(text.data(), text.data() + text.size(), value);
  return value;
}

const char* readReal(const char* first, const char* last, double& value) {
  const char* p = first;
  bool negative = false;
  if (p < last && (*p == '+' || *p == '-')) negative = *p++ == '-';
  // The conversion would also read "inf" and "nan", which are not numbers here.
  bool startsNumber = (p < last && isDigit(*p)) || (last - p >= 2 && p[0] == '.' && isDigit(p[1]));
  if (!startsNumber) return first;

  // Out of range, the conversion rounds to infinity or to zero and reports success.
  float magnitude = 0.0f;
  const char* end = fast_float::from_chars(p, last, magnitude).ptr;
  if (std::isinf(magnitude)) magnitude = std::numeric_limits<float>::max();
  value = negative ? -static_cast<double>(magnitude) : static_cast<double>(magnitude);
  return end;
}
