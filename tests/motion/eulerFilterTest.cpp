// Continuous Euler keys, against angles worked out by hand.

#include <gtest/gtest.h>

#include <array>

#include "motion/EulerFilter.h"
#include "motion/RotationOrder.h"

namespace {

using Angles = std::array<double, 3>;

TEST(EulerFilter, FirstFrameAsGivenThenEachNearestTheOneBefore) {
  EulerFilter filter(kOrderZXY);
  EXPECT_EQ(filter.next({10, 20, 179}), (Angles{10, 20, 179}));
  // -179 lies 2 degrees on from 179.
  EXPECT_EQ(filter.next({10, 20, -179}), (Angles{10, 20, 181}));
  EXPECT_EQ(filter.next({10, 20, -150}), (Angles{10, 20, 210}));
  // Whole turns in the file come back near the keys too.
  EXPECT_EQ(filter.next({730, 20, 210}), (Angles{10, 20, 210}));

  // A key already there is where the next frame starts from.
  EulerFilter after(kOrderXYZ);
  after.follow({0, 0, 350});
  EXPECT_EQ(after.next({0, 0, -5}), (Angles{0, 0, 355}));
}

TEST(EulerFilter, TheOtherSolutionMirrorsTheMiddleAxisOfTheOrder) {
  // XYZ turns about Y second: (10, 170, 20) is also (190, 10, 200).
  EXPECT_EQ(EulerFilter::closest({10, 170, 20}, kOrderXYZ, {180, 0, 180}), (Angles{190, 10, 200}));
  EXPECT_EQ(EulerFilter::closest({10, 170, 20}, kOrderXYZ, {0, 180, 0}), (Angles{10, 170, 20}));
  // A joint's rotate order (ZYX, the reverse of the channels' XYZ) has the same middle axis.
  EXPECT_EQ(EulerFilter::closest({10, 170, 20}, kOrderZYX, {180, 0, 180}), (Angles{190, 10, 200}));
  // ZXY and YXZ turn about X second, YZX and XZY about Z.
  EXPECT_EQ(EulerFilter::closest({170, 10, 20}, kOrderZXY, {0, 180, 180}), (Angles{10, 190, 200}));
  EXPECT_EQ(EulerFilter::closest({170, 10, 20}, kOrderYXZ, {0, 180, 180}), (Angles{10, 190, 200}));
  EXPECT_EQ(EulerFilter::closest({10, 20, 170}, kOrderYZX, {180, 180, 0}), (Angles{190, 200, 10}));
  EXPECT_EQ(EulerFilter::closest({10, 20, 170}, kOrderXZY, {180, 180, 0}), (Angles{190, 200, 10}));
}

}  // namespace
