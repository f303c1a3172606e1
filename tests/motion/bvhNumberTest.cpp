#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "motion/parseNumber.h"

namespace {

TEST(BvhNumber, CountReadsLeadingUnsignedDecimal) {
  struct Case {
    std::string_view text;
    std::uint32_t value;
  };
  const Case kCases[] = {
      {"120", 120},
      {"+6", 6},
      {"120.5", 120},
      {"007", 7},
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {".5", 0},
      {"+", 0},
      {"+-5", 0},
      {"4294967295", 4294967295u},
  };
  for (const Case& c : kCases) EXPECT_EQ(c.value, parseCount(c.text)) << c.text;
}

TEST(BvhNumber, CountWithMinusOrBeyond32BitsIsDefined) {
  EXPECT_EQ(0u, parseCount("-5"));
  EXPECT_EQ(0u, parseCount("-0"));
  EXPECT_EQ(4294967295u, parseCount("4294967296"));
  // 2^64: without saturation a 64-bit accumulator wraps to 0.
  EXPECT_EQ(4294967295u, parseCount("18446744073709551616"));
  EXPECT_EQ(4294967295u, parseCount("99999999999999999999999999999"));
}

TEST(BvhNumber, RealIsNearestFloatWidened) {
  struct Case {
    std::string_view text;
    float value;
  };
  const Case kCases[] = {
      {"0.5", 0.5f},
      {".0083333", 0.0083333f},
      {"+1.5", 1.5f},
      {"-.25", -0.25f},
      {"1e3", 1000.0f},
      {"1E-2", 0.01f},
      {"2.5e+06", 2.5e6f},
      {"5.", 5.0f},
      {"1e", 1.0f},
      {"1e+", 1.0f},
      {"1.5abc", 1.5f},
      {"1,5", 1.0f},
      {"12.345678", 12.345678f},
      {"1.5.3", 1.5f},
      {"-90.5", -90.5f},
  };
  for (const Case& c : kCases) EXPECT_EQ(static_cast<double>(c.value), parseReal(c.text)) << c.text;
  EXPECT_NE(0.0083333, parseReal("0.0083333"));
}

TEST(BvhNumber, RealNonNumbersGiveZero) {
  for (std::string_view text :
       {"abc", "", ".", "-", "+", ".e5", "inf", "-infinity", "nan", "e5", "0x10", "+-1"}) {
    EXPECT_EQ(0.0, parseReal(text)) << text;
  }
}

TEST(BvhNumber, RealBeyondFloatRangeIsDefined) {
  EXPECT_EQ(static_cast<double>(FLT_MAX), parseReal("1e39"));
  EXPECT_EQ(-static_cast<double>(FLT_MAX), parseReal("-1e39"));
  EXPECT_EQ(static_cast<double>(FLT_MAX), parseReal("1000000000000000000000000000000000000000"));
  EXPECT_EQ(static_cast<double>(FLT_MAX), parseReal("0.0001e99999999999999999999"));
  EXPECT_EQ(0.0, parseReal("1e-50"));
  EXPECT_EQ(0.0, parseReal("0.00000000000000000000000000000000000000000000000001"));
  EXPECT_TRUE(std::signbit(parseReal("-1e-50")));
  EXPECT_EQ(static_cast<double>(FLT_MAX), parseReal("3.4028235e38"));
  EXPECT_EQ(static_cast<double>(FLT_TRUE_MIN), parseReal("1.4e-45"));
}

// Halfway points between adjacent floats, from binades whose halfway points are short decimals
// (up to 7 + 7 digits) to ones that need dozens of digits, with mantissas even and odd.
TEST(BvhNumber, RealHalfwayBetweenFloatsRoundsToEven) {
  for (int exponent : {-30, -1, 0, 1, 17, 18, 19, 20, 21, 22, 23}) {
    for (std::uint32_t mantissa : {0u, 1u, 2u, 3u, 12345u, 4000001u, 0x7FFFFEu, 0x7FFFFFu}) {
      const float low = std::ldexp(1.0f + std::ldexp(static_cast<float>(mantissa), -23), exponent);
      const float high = std::nextafter(low, FLT_MAX);
      const float even = mantissa % 2 == 0 ? low : high;
      // Exact in double, and printed exactly; its last digit is a 5.
      const double halfway = (static_cast<double>(low) + static_cast<double>(high)) / 2;
      char digits[256];
      std::snprintf(digits, sizeof digits, "%.150f", halfway);
      std::string text = digits;
      text.erase(text.find_last_not_of('0') + 1);
      ASSERT_EQ('5', text.back()) << text;
      std::string below = text.substr(0, text.size() - 1) + "49";
      EXPECT_EQ(static_cast<double>(even), parseReal(text)) << text;
      EXPECT_EQ(static_cast<double>(high), parseReal(text + "1")) << text << "1";
      EXPECT_EQ(static_cast<double>(low), parseReal(below)) << below;
      EXPECT_EQ(-static_cast<double>(even), parseReal("-" + text)) << text;
    }
  }
}

// Random decimals of 1 to 20 significant digits, with and without exponents reaching past both
// ends of the float range, against the C library's correctly rounded strtof. Each is also read
// with bytes after it, which is how values arrive from a line.
TEST(BvhNumber, RealMatchesCorrectlyRoundedStrtof) {
  std::uint64_t state = 0x9E3779B97F4A7C15u;
  auto random = [&state](std::uint64_t bound) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return (state >> 33) % bound;
  };
  const std::string_view kAfter[] = {"",         " 12345678",           "\t-0.5 9", "}",
                                     "x1234567", "\xE9\xFF\x80zzzzzzz", ":9"};
  for (int i = 0; i < 50000; ++i) {
    std::string text = random(2) == 0 ? "-" : "";
    const std::uint64_t integerDigits = random(9);
    const std::uint64_t fractionDigits = random(13);
    for (std::uint64_t d = 0; d < integerDigits; ++d) text += static_cast<char>('0' + random(10));
    if (integerDigits == 0 || fractionDigits > 0 || random(2) == 0) text += '.';
    for (std::uint64_t d = 0; d < fractionDigits; ++d) text += static_cast<char>('0' + random(10));
    if (integerDigits + fractionDigits == 0) text += '5';
    if (random(3) == 0) text += "e" + std::to_string(static_cast<int>(random(100)) - 55);

    float expected = std::strtof(text.c_str(), nullptr);
    if (std::isinf(expected)) expected = std::copysign(FLT_MAX, expected);
    for (std::string_view after : kAfter) {
      const std::string line = text + std::string(after);
      const double value = parseReal(line);
      ASSERT_EQ(static_cast<double>(expected), value) << line;
      ASSERT_EQ(std::signbit(expected), std::signbit(value)) << line;
    }
  }
}

TEST(BvhNumber, RealSubnormalsAndRangeEnds) {
  const double kTrueMin = static_cast<double>(FLT_TRUE_MIN);
  // Half the smallest subnormal is 7.00649232162408535e-46: at or below it gives zero.
  EXPECT_EQ(0.0, parseReal("7.0064923216240853e-46"));
  EXPECT_EQ(kTrueMin, parseReal("7.0064923216240854e-46"));
  EXPECT_EQ(-kTrueMin, parseReal("-7.0064923216240854e-46"));
  EXPECT_TRUE(std::signbit(parseReal("-7e-46")));
  EXPECT_EQ(3 * kTrueMin, parseReal("4.2e-45"));
  EXPECT_EQ(static_cast<double>(std::nextafter(FLT_MIN, 0.0f)), parseReal("1.1754942e-38"));
  EXPECT_EQ(static_cast<double>(FLT_MIN), parseReal("1.17549435e-38"));
  // Halfway between FLT_MAX and the next power of two rounds away from FLT_MAX, so beyond range.
  EXPECT_EQ(static_cast<double>(FLT_MAX), parseReal("340282356779733661637539395458142568447"));
  EXPECT_EQ(static_cast<double>(FLT_MAX), parseReal("340282356779733661637539395458142568448"));
  EXPECT_EQ(-static_cast<double>(FLT_MAX), parseReal("-3.5e38"));
  EXPECT_EQ(static_cast<double>(16777216.0f), parseReal("16777217"));
  EXPECT_EQ(static_cast<double>(16777220.0f), parseReal("16777219"));
  EXPECT_EQ(static_cast<double>(0.1f), parseReal("0.100000001490116119384765625"));
  EXPECT_EQ(static_cast<double>(9999999.0f), parseReal("9999999.0000000"));
}

}  // namespace
