#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <string>

#include "motion/iMocapDataBvh.h"
#include "motion/iSkeleton.h"

namespace {

using Vec = std::array<double, 3>;

// Parses a file of examples/ into skeleton; the parser's status.
int parseSample(const std::string& name, iSkeleton& skeleton) {
  std::ifstream file(std::string(EXAMPLES_DIR) + "/" + name, std::ios::binary);
  EXPECT_TRUE(file.is_open()) << name;
  iMocapDataBvh reader(&file, &skeleton);
  return reader.parse("");
}

TEST(SampleFiles, HumanoidHasItsJointsAndThreeSecondsAt120Fps) {
  iSkeleton skeleton;
  ASSERT_EQ(parseSample("humanoid.bvh", skeleton), kMocapOk);
  // 25 joints and the End Sites of the head, thumbs and toes.
  EXPECT_EQ(skeleton.jointsByName.size(), 30u);
  EXPECT_EQ(skeleton.frameCount, 360u);
  EXPECT_EQ(skeleton.frameTime, static_cast<double>(0.00833333f));
  EXPECT_EQ(skeleton.rotationOrder, kOrderZXY);
  ASSERT_NE(skeleton.findJoint("RightToeBase_Effector"), nullptr);
  EXPECT_EQ(skeleton.findJoint("LeftArm")->frames.size(), 360u);
  EXPECT_EQ(skeleton.findJoint("Hips")->frames[0].position, (Vec{0, 97.5, 0}));
  EXPECT_EQ(skeleton.findJoint("LeftArm")->frames[0].rotation[2], -75.0);
}

TEST(SampleFiles, LowerCaseKeywordsAndNamesOfSeveralWords) {
  iSkeleton skeleton;
  ASSERT_EQ(parseSample("syntax/lowerCase.bvh", skeleton), kMocapOk);
  EXPECT_EQ(skeleton.jointsByName.size(), 5u);
  EXPECT_EQ(skeleton.root->name, "Hips");
  ASSERT_NE(skeleton.findJoint("Left_Up_Leg_Effector"), nullptr);
  EXPECT_EQ(skeleton.frameCount, 2u);
  EXPECT_EQ(skeleton.frameTime, 0.5);
  EXPECT_EQ(skeleton.findJoint("Hips")->frames[1].position, (Vec{1, 91, 2}));
  EXPECT_EQ(skeleton.findJoint("Left_Up_Leg")->frames[0].rotation, (Vec{-20, 0, 0}));
  EXPECT_EQ(skeleton.findJoint("Right_Up_Leg")->frames[0].rotation, (Vec{20, 0, 0}));
}

TEST(SampleFiles, ColonsAloneOrLeftOutAndSixChannelsBelowTheRoot) {
  iSkeleton skeleton;
  ASSERT_EQ(parseSample("syntax/channelOrders.bvh", skeleton), kMocapOk);
  EXPECT_EQ(skeleton.frameCount, 3u);
  EXPECT_EQ(skeleton.frameTime, static_cast<double>(0.04f));
  EXPECT_EQ(skeleton.rotationOrder, kOrderXYZ);
  EXPECT_EQ(skeleton.findJoint("Slider")->frames[2].position, (Vec{0, 14, 0}));
  EXPECT_EQ(skeleton.findJoint("Root")->frames[2].rotation, (Vec{20, 0, 0}));
  EXPECT_EQ(skeleton.findJoint("Root")->frames[2].position, (Vec{0, 0, 0}));
}

TEST(SampleFiles, CrlfLinesAndTwoFramesBlocks) {
  iSkeleton skeleton;
  ASSERT_EQ(parseSample("syntax/twoBlocksCrlf.bvh", skeleton), kMocapOk);
  EXPECT_EQ(skeleton.jointsByName.size(), 3u);
  // The second block's count replaces the first; its samples are appended.
  EXPECT_EQ(skeleton.frameCount, 1u);
  ASSERT_EQ(skeleton.findJoint("Tip")->frames.size(), 3u);
  EXPECT_EQ(skeleton.findJoint("Tip")->frames[1].rotation, (Vec{0, 0, 90}));
}

TEST(SampleFiles, HierarchyWithoutMotionKeepsTheRootOffset) {
  iSkeleton skeleton;
  ASSERT_EQ(parseSample("syntax/hierarchyOnly.bvh", skeleton), kMocapOk);
  EXPECT_EQ(skeleton.jointsByName.size(), 3u);
  EXPECT_EQ(skeleton.frameCount, 0u);
  EXPECT_EQ(skeleton.root->offset, (Vec{0, 100, 0}));
}

}  // namespace
