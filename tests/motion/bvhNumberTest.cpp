#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
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

}  // namespace
