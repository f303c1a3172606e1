#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "motion/iSkeleton.h"

namespace {

using iJoint = iSkeleton::iJoint;

constexpr std::array<double, 3> kZero = {0.0, 0.0, 0.0};

struct Recorder : iJoint::icallbackData {
  std::vector<std::pair<std::string, int>> visits;
};

void record(iJoint* joint, iJoint::icallbackData* data) {
  auto* recorder = dynamic_cast<Recorder*>(data);
  if (recorder != nullptr) recorder->visits.emplace_back(joint->name, recorder->depth);
}

struct CountedAccessory : iJoint::iaccessory {
  explicit CountedAccessory(int& count) : released(count) {}
  ~CountedAccessory() override { ++released; }
  int& released;
};

TEST(Skeleton, EmptySkeletonHasNoCursor) {
  iSkeleton skeleton;
  EXPECT_EQ(kMocapNoJoint, skeleton.rewind());
  EXPECT_EQ(kMocapNoJoint, skeleton.ascend());
  EXPECT_EQ(nullptr, skeleton.currentJoint());
  EXPECT_EQ(nullptr, skeleton.findJoint(""));
}

TEST(Skeleton, AddJointNestsUnderCursor) {
  iSkeleton skeleton;
  ASSERT_EQ(kMocapOk, skeleton.addJoint("Hips", {1, 2, 3}, {4, 5, 6}));
  ASSERT_EQ(kMocapOk, skeleton.addJoint("Spine", kZero, kZero));
  ASSERT_EQ(kMocapOk, skeleton.ascend());
  ASSERT_EQ(kMocapOk, skeleton.addJoint("Leg", kZero, kZero));

  iJoint* hips = skeleton.findJoint("Hips");
  ASSERT_NE(nullptr, hips);
  EXPECT_EQ(hips, skeleton.root);
  EXPECT_EQ(nullptr, hips->parent);
  EXPECT_EQ((std::array<double, 3>{1, 2, 3}), hips->offset);
  EXPECT_EQ((std::array<double, 3>{4, 5, 6}), hips->orientation);
  ASSERT_EQ(2u, hips->children.size());
  EXPECT_EQ("Spine", hips->children[0]->name);
  EXPECT_EQ("Leg", hips->children[1]->name);
  EXPECT_EQ(hips, hips->children[1]->parent);
  EXPECT_EQ(skeleton.findJoint("Leg"), skeleton.currentJoint());
  EXPECT_EQ(nullptr, skeleton.findJoint("hips"));
  EXPECT_EQ(3u, skeleton.jointsByName.size());
}

TEST(Skeleton, DuplicateNameChangesNothing) {
  iSkeleton skeleton;
  ASSERT_EQ(kMocapOk, skeleton.addJoint("Hips", kZero, kZero));
  ASSERT_EQ(kMocapOk, skeleton.addJoint("Spine", kZero, kZero));
  EXPECT_EQ(kMocapDuplicateName, skeleton.addJoint("Hips", {1, 1, 1}, kZero));
  EXPECT_EQ(2u, skeleton.jointsByName.size());
  EXPECT_TRUE(skeleton.findJoint("Spine")->children.empty());
  EXPECT_EQ(skeleton.findJoint("Spine"), skeleton.currentJoint());
  EXPECT_EQ(kZero, skeleton.findJoint("Hips")->offset);
}

TEST(Skeleton, AscendStopsAtRootAndLaterJointsJoinRoot) {
  iSkeleton skeleton;
  ASSERT_EQ(kMocapOk, skeleton.addJoint("Hips", kZero, kZero));
  EXPECT_EQ(kMocapNoJoint, skeleton.ascend());
  EXPECT_EQ(skeleton.root, skeleton.currentJoint());
  ASSERT_EQ(kMocapOk, skeleton.addJoint("Second", kZero, kZero));
  EXPECT_EQ(skeleton.root, skeleton.findJoint("Second")->parent);
}

TEST(Skeleton, AddJointWithoutCursorFailsOnceRootExists) {
  iSkeleton skeleton;
  ASSERT_EQ(kMocapOk, skeleton.addJoint("Hips", kZero, kZero));
  skeleton.current = nullptr;
  EXPECT_EQ(kMocapNoJoint, skeleton.addJoint("Other", kZero, kZero));
  EXPECT_EQ(1u, skeleton.jointsByName.size());
  EXPECT_EQ(kMocapOk, skeleton.rewind());
  EXPECT_EQ(skeleton.root, skeleton.currentJoint());
}

TEST(Skeleton, AccessoriesAreReleasedWithSkeleton) {
  int released = 0;
  {
    iSkeleton skeleton;
    ASSERT_EQ(kMocapOk, skeleton.addJoint("Hips", kZero, kZero));
    ASSERT_EQ(kMocapOk, skeleton.addJoint("Spine", kZero, kZero));
    skeleton.findJoint("Hips")->accessory = std::make_unique<CountedAccessory>(released);
    skeleton.findJoint("Spine")->accessory = std::make_unique<CountedAccessory>(released);
  }
  EXPECT_EQ(2, released);
}

TEST(SkeletonWalk, VisitsPreOrderWithDepth) {
  iSkeleton skeleton;
  for (const char* name : {"root", "a", "b"})
    ASSERT_EQ(kMocapOk, skeleton.addJoint(name, kZero, kZero));
  ASSERT_EQ(kMocapOk, skeleton.rewind());
  ASSERT_EQ(kMocapOk, skeleton.addJoint("c", kZero, kZero));

  Recorder recorder;
  recorder.depth = 5;
  skeleton.walk(skeleton.root, record, &recorder);
  std::vector<std::pair<std::string, int>> expected = {{"root", 5}, {"a", 6}, {"b", 7}, {"c", 6}};
  EXPECT_EQ(expected, recorder.visits);
  EXPECT_EQ(5, recorder.depth);

  Recorder fromChild;
  skeleton.walk(skeleton.findJoint("a"), record, &fromChild);
  expected = {{"a", 0}, {"b", 1}};
  EXPECT_EQ(expected, fromChild.visits);
}

TEST(SkeletonWalk, DeepChainDoesNotExhaustStack) {
  iSkeleton skeleton;
  const int kDepth = 300000;
  for (int i = 0; i < kDepth; ++i)
    ASSERT_EQ(kMocapOk, skeleton.addJoint(std::to_string(i), kZero, kZero));
  Recorder recorder;
  skeleton.walk(skeleton.root, record, &recorder);
  ASSERT_EQ(static_cast<std::size_t>(kDepth), recorder.visits.size());
  EXPECT_EQ(kDepth - 1, recorder.visits.back().second);
  EXPECT_EQ(0, recorder.depth);
}

TEST(RotationOrder, ParsesLettersInAnyCase) {
  EXPECT_EQ(0, parseRotationOrder("XYZ"));
  EXPECT_EQ(1, parseRotationOrder("YZX"));
  EXPECT_EQ(2, parseRotationOrder("zxy"));
  EXPECT_EQ(3, parseRotationOrder("ZyX"));
  EXPECT_EQ(4, parseRotationOrder("YXZ"));
  EXPECT_EQ(5, parseRotationOrder("xzy"));
  for (const char* invalid : {"ZX", "ZXYZ", "", "XXY", "none", "X\xC3\x9DZ"}) {
    EXPECT_EQ(-2147483648, parseRotationOrder(invalid)) << invalid;
  }
}

}  // namespace
