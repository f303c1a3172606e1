#include "motion/parseNumber.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <system_error>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Decides between overflow and underflow once the float conversion is out of range: the decimal
// order of the leading significant digit plus the exponent is far from 0 either way.
bool isBeyondFloatRange(const char* p, const char* end) {
  std::int64_t order = 0;
  while (p < end && *p == '0') ++p;
  const char* integerDigits = p;
  while (p < end && isDigit(*p)) ++p;
  if (p > integerDigits) {
    order = p - integerDigits - 1;
    if (p < end && *p == '.') ++p;
    while (p < end && isDigit(*p)) ++p;
  } else {
    if (p < end && *p == '.') ++p;
    const char* zeros = p;
    while (p < end && *p == '0') ++p;
    if (p == end || !isDigit(*p)) return false;
    order = -(p - zeros) - 1;
    while (p < end && isDigit(*p)) ++p;
  }
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    std::int64_t exponent = 0;
    for (; p < end && isDigit(*p); ++p) {
      if (exponent < (std::int64_t{1} << 40)) exponent = exponent * 10 + (*p - '0');
    }
    order += negative ? -exponent : exponent;
  }
  return order > 0;
}

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
  const char* p = text.data();
  const char* end = p + text.size();
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  // from_chars would also take "inf", "nan" and a leading "+", none of which is a number here.
  bool startsNumber = (p < end && isDigit(*p)) || (end - p >= 2 && p[0] == '.' && isDigit(p[1]));
  if (!startsNumber) return 0.0;

  float value = 0.0f;
  std::from_chars_result result = std::from_chars(p, end, value);
  if (result.ec == std::errc::result_out_of_range) {
    value = isBeyondFloatRange(p, end) ? std::numeric_limits<float>::max() : 0.0f;
  } else if (result.ec != std::errc()) {
    value = 0.0f;
  }
  return negative ? -static_cast<double>(value) : static_cast<double>(value);
}
