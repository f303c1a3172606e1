#include "motion/parseNumber.h"

#include <fast_float/fast_float.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

constexpr std::uint64_t kScales[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
constexpr double kInversePowersOfTen[] = {1e0, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7};

// The decimal digits at the start of [p, last), at most eight: returns their count and stores
// their value. Eight bytes at a time where the text allows, without a branch per digit.
inline int readDigits(const char* p, const char* last, std::uint64_t& value) {
  if (last - p < 8) {
    int count = 0;
    value = 0;
    for (; count < 8 && p + count < last && isDigit(p[count]); ++count) {
      value = value * 10 + static_cast<std::uint64_t>(p[count] - '0');
    }
    return count;
  }
  // Byte i of `chunk` is p[i] (little-endian, as every target is). A byte outside '0'-'9' sets its
  // top bit in `nonDigits`; carries only run towards later bytes, so the lowest set byte is the
  // first non-digit.
  std::uint64_t chunk;
  std::memcpy(&chunk, p, sizeof chunk);
  std::uint64_t digits = chunk - 0x3030303030303030;
  std::uint64_t nonDigits = ((chunk + 0x4646464646464646) | digits) & 0x8080808080808080;
  int count = 8;
  if (nonDigits != 0) {
    std::uint64_t lowest = (nonDigits & (0 - nonDigits)) >> 7;
    count = static_cast<int>((lowest * 0x0001020304050607) >> 56);
  }
  if (count == 0) {
    value = 0;
    return 0;
  }
  // Shift out the bytes after the digits (leading zeros come in), then add pairs, fours, eights.
  digits <<= 8 * (8 - count);
  digits = digits * 10 + (digits >> 8);
  value = (((digits & 0x000000FF000000FF) * (100 + (std::uint64_t{1000000} << 32))) +
           (((digits >> 16) & 0x000000FF000000FF) * (1 + (std::uint64_t{10000} << 32)))) >>
          32;
  return count;
}

// Plain decimals of up to seven digits before and seven after the point, the usual form of BVH
// values. The digits are an exact double and the inverse power of ten is within half an ulp, so
// their product is within 2 ulps of the number. Rounding it to float then gives the float nearest
// the number unless a halfway point between two floats lies within those ulps (then the number
// may lie on either side), which is left to the general conversion. Returns null when the text
// is not such a decimal.
const char* readShortDecimal(const char* p, const char* last, float& value) {
  std::uint64_t integer = 0;
  std::uint64_t fraction = 0;
  int integerDigits = readDigits(p, last, integer);
  p += integerDigits;
  int fractionDigits = 0;
  if (p < last && *p == '.') {
    fractionDigits = readDigits(++p, last, fraction);
    p += fractionDigits;
  }
  if (integerDigits == 8 || fractionDigits == 8 || (p < last && (*p == 'e' || *p == 'E'))) {
    return nullptr;
  }
  double close = static_cast<double>(integer * kScales[fractionDigits] + fraction) *
                 kInversePowersOfTen[fractionDigits];
  // The bits below float precision of a halfway point are 1 followed by 28 zeros; near one,
  // within 4 steps to allow for a change of binade, the product cannot decide.
  std::uint64_t bits;
  std::memcpy(&bits, &close, sizeof bits);
  constexpr std::uint64_t kBelowFloat = (std::uint64_t{1} << 29) - 1;
  if (((bits & kBelowFloat) - ((std::uint64_t{1} << 28) - 4)) <= 8) return nullptr;
  value = static_cast<float>(close);
  return p;
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
  double value = 0.0;
  readReal(text.data(), text.data() + text.size(), value);
  return value;
}

double floatReal(float value) { return std::isfinite(value) ? static_cast<double>(value) : 0.0; }

const char* readReal(const char* first, const char* last, double& value) {
  const char* p = first;
  bool negative = false;
  if (p < last && (*p == '+' || *p == '-')) negative = *p++ == '-';
  // The conversion would also read "inf" and "nan", which are not numbers here.
  bool startsNumber = (p < last && isDigit(*p)) || (last - p >= 2 && p[0] == '.' && isDigit(p[1]));
  if (!startsNumber) return first;

  float magnitude = 0.0f;
  const char* end = readShortDecimal(p, last, magnitude);
  if (end == nullptr) {
    // Out of range, the conversion rounds to infinity or to zero and reports success.
    end = fast_float::from_chars(p, last, magnitude).ptr;
    if (std::isinf(magnitude)) magnitude = std::numeric_limits<float>::max();
  }
  value = negative ? -static_cast<double>(magnitude) : static_cast<double>(magnitude);
  return end;
}
