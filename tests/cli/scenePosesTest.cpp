#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <host/HostScene.h>
#include <host/Plugins.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MPlug.h>
#include <maya/MTime.h>

#include <array>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ScenePoses.h"
#include "ScenePreview.h"

namespace {

using Vector = ScenePoses::Vector;
using ::testing::ElementsAre;

constexpr double kPi = 3.14159265358979323846;

class ScenePosesTest : public ::testing::Test {
 protected:
  void SetUp() override { host::resetScene(); }
  void TearDown() override {
    host::exitSession();
    host::resetScene();
  }

  // A joint (or a transform) with its translate, rotate and joint orient in degrees; its path.
  static std::string node(const std::string& type, const std::string& name,
                          const std::string& parent, const Vector& translate,
                          const Vector& rotate = {}, int order = 0, const Vector& orient = {}) {
    std::string path;
    EXPECT_EQ(host::createNode(type, name, parent, &path), MS::kSuccess) << name;
    EXPECT_EQ(host::setAttribute(path + ".translate", translate), MS::kSuccess);
    EXPECT_EQ(host::setAttribute(path + ".rotate", rotate), MS::kSuccess);
    EXPECT_EQ(host::setAttribute(path + ".rotateOrder", order), MS::kSuccess);
    if (type == "joint") {
      EXPECT_EQ(host::setAttribute(path + ".jointOrient", orient), MS::kSuccess);
    }
    return path;
  }

  // Keys (seconds, value) on a new curve of the type driving the node's attribute.
  static void key(const std::string& node, const char* attribute, MFnAnimCurve::AnimCurveType type,
                  const std::vector<std::pair<double, double>>& keys) {
    MObject object = host::findNode(node);
    MPlug plug = MFnDependencyNode(object).findPlug(attribute, true);
    MFnAnimCurve curve;
    MStatus status;
    curve.create(object, plug, type, nullptr, &status);
    ASSERT_EQ(status, MS::kSuccess) << attribute;
    for (const auto& [seconds, value] : keys) {
      ASSERT_EQ(curve.addKeyframe(MTime(seconds, MTime::kSeconds), value), MS::kSuccess);
    }
  }

  // Positions by joint name.
  static std::map<std::string, Vector> byName(const ScenePoses& poses, double seconds) {
    std::map<std::string, Vector> named;
    const std::vector<Vector> positions = poses.positionsAt(seconds);
    for (std::size_t i = 0; i < positions.size(); ++i) {
      const std::string& path = poses.joints()[i].path;
      named[path.substr(path.find_last_of('|') + 1)] = positions[i];
    }
    return named;
  }
};

void expectNear(const Vector& actual, const Vector& expected, const std::string& what) {
  for (std::size_t axis = 0; axis < 3; ++axis) {
    EXPECT_NEAR(actual[axis], expected[axis], 1e-9) << what << " axis " << axis;
  }
}

// A root at (10, 20, 30) turned 90 degrees about each axis, with its child at (1, 2, 3). Quarter
// turns move a point's coordinates about: X takes (x, y, z) to (x, -z, y), Y to (z, y, -x), Z to
// (-y, x, z); the order says which comes first.
TEST_F(ScenePosesTest, TwoJointChainInEveryRotateOrder) {
  const Vector turned[6] = {{3, 2, -1},   // xyz: (1, -3, 2), (2, -3, -1), (3, 2, -1)
                            {-2, 1, 3},   // yzx: (3, 2, -1), (-2, 3, -1), (-2, 1, 3)
                            {1, -3, 2},   // zxy: (-2, 1, 3), (-2, -3, 1), (1, -3, 2)
                            {2, 1, -3},   // xzy: (1, -3, 2), (3, 1, 2), (2, 1, -3)
                            {-1, 3, 2},   // yxz: (3, 2, -1), (3, 1, 2), (-1, 3, 2)
                            {3, -2, 1}};  // zyx: (-2, 1, 3), (3, 1, 2), (3, -2, 1)
  for (int order = 0; order < 6; ++order) {
    host::resetScene();
    const std::string root = node("joint", "root", "", {10, 20, 30}, {90, 90, 90}, order);
    node("joint", "tip", root, {1, 2, 3});
    const ScenePoses poses;
    ASSERT_EQ(poses.joints().size(), 2u);
    EXPECT_EQ(poses.joints()[1].parent, 0);
    const std::vector<Vector> positions = poses.positionsAt(0);
    const std::string what = "order " + std::to_string(order);
    expectNear(positions[0], {10, 20, 30}, what);
    expectNear(positions[1], {10 + turned[order][0], 20 + turned[order][1], 30 + turned[order][2]},
               what);
  }
}

TEST_F(ScenePosesTest, JointOrientTurnsAfterRotateAndTransformsAboveCount) {
  // The top turns a quarter about Y: (x, y, z) -> (z, y, -x). The root's rotate (X) comes
  // before its orient (Z): (1, 2, 3) -> (1, -3, 2) -> (3, 1, 2), then the top's turn: (2, 1, -3).
  const std::string top = node("transform", "top", "", {100, 0, 0}, {0, 90, 0});
  const std::string root = node("joint", "root", top, {10, 20, 30}, {90, 0, 0}, 0, {0, 0, 90});
  node("joint", "tip", root, {1, 2, 3});
  // An orient turns X first, then Y: (1, 2, 3) -> (1, -3, 2) -> (2, -3, -1).
  const std::string other = node("joint", "other", "", {0, 0, 0}, {}, 5, {90, 90, 0});
  node("joint", "end", other, {1, 2, 3});

  const ScenePoses poses;
  ASSERT_EQ(poses.joints().size(), 4u);
  EXPECT_EQ(poses.joints()[0].parent, -1) << "the transform above is no joint";
  EXPECT_EQ(poses.joints()[3].parent, 2);
  const std::vector<Vector> positions = poses.positionsAt(0);
  expectNear(positions[0], {130, 20, -10}, "root");
  expectNear(positions[1], {132, 21, -13}, "tip");
  expectNear(positions[3], {2, -3, -1}, "end");
}

// The translator keys rotations in degrees on time-to-distance curves; a time-to-angle curve
// holds radians. Curves are read between keys as the host evaluates them (linear tangents here).
TEST_F(ScenePosesTest, CurvesGiveTheValuesAtTheTime) {
  const std::string root = node("joint", "root", "", {0, 0, 0});
  node("joint", "tip", root, {2, 0, 0});
  key(root, "translateX", MFnAnimCurve::kAnimCurveTL, {{1, 0}, {1.5, 10}, {2, 20}});
  key(root, "rotateZ", MFnAnimCurve::kAnimCurveTL, {{1, 0}, {2, 180}});
  const std::string other = node("joint", "other", "", {0, 5, 0});
  node("joint", "end", other, {2, 0, 0});
  key(other, "rotateY", MFnAnimCurve::kAnimCurveTA, {{1, 0}, {2, kPi}});

  const ScenePoses poses;
  EXPECT_EQ(poses.frames(), 3u) << "the curve with the most keys";
  EXPECT_DOUBLE_EQ(poses.start(), 1);
  EXPECT_DOUBLE_EQ(poses.frameTime(), 0.5);
  std::vector<Vector> positions = poses.positionsAt(1.5);
  expectNear(positions[0], {10, 0, 0}, "root at 1.5 s");
  expectNear(positions[1], {10, 2, 0}, "tip at 1.5 s, turned 90 degrees about Z");
  expectNear(positions[3], {0, 5, -2}, "end at 1.5 s, turned 90 degrees about Y");
  // Between keys the curves ease, as Maya 2022's default (auto) tangents do: translateX is flat
  // at its first key and has the slope 20 / s at 1.5 s, so a quarter of a second in it is
  // 3/8 * (10 - 20 * 0.5 / 3) + 1/8 * 10 = 3.75; rotateZ, flat at both keys, is 180 degrees *
  // (3 * 0.25^2 - 2 * 0.25^3) = 28.125 degrees.
  positions = poses.positionsAt(1.25);
  const double turn = 28.125 * kPi / 180;
  expectNear(positions[1], {3.75 + 2 * std::cos(turn), 2 * std::sin(turn), 0}, "tip at 1.25 s");
  positions = poses.positionsAt(9);
  expectNear(positions[1], {18, 0, 0}, "tip after the last key");
}

TEST_F(ScenePosesTest, SceneWithoutKeysIsOneFrame) {
  node("joint", "root", "", {1, 2, 3});
  const ScenePoses poses;
  EXPECT_EQ(poses.frames(), 1u);
  EXPECT_EQ(poses.start(), 0);
  expectNear(poses.positionsAt(0)[0], {1, 2, 3}, "root");
}

// The sample stands in its first frame with the arms, shoulders, hips and knees mirrored across
// the body's middle (X = 0); the right knee is bent there and the left is not, so the feet and
// below are not mirrored.
TEST_F(ScenePosesTest, SampleFirstFrameIsSymmetricWhereItShouldBe) {
  ASSERT_EQ(host::loadPlugin(MOCAP_MODULE), MS::kSuccess);
  ASSERT_EQ(host::importFile(EXAMPLES_DIR "/humanoid.bvh", "BVH"), MS::kSuccess);
  const ScenePoses poses;
  EXPECT_EQ(poses.joints().size(), 30u);
  EXPECT_EQ(poses.frames(), 360u);
  // The file's 0.0083333 s is 120 frames/s rounded: the keys lie on its exact frames.
  EXPECT_NEAR(poses.frameTime(), 1.0 / 120, 1e-15);
  std::map<std::string, Vector> at = byName(poses, poses.start());
  expectNear(at["Hips"], {0, 97.5, 0}, "Hips");
  expectNear(at["Spine"], {0, 106.5, 0}, "Spine");
  for (const char* middle : {"Spine1", "Spine2", "Neck", "Neck1", "Head", "Head_Effector"}) {
    ASSERT_EQ(at.count(middle), 1u) << middle;
    EXPECT_NEAR(at[middle][0], 0, 1e-9) << middle;
  }
  for (const char* part : {"Shoulder", "Arm", "ForeArm", "UpLeg", "Leg"}) {
    const Vector left = at[std::string("Left") + part];
    const Vector right = at[std::string("Right") + part];
    EXPECT_GT(left[0], 1) << part;
    expectNear(left, {-right[0], right[1], right[2]}, part);
  }
  const Vector leftFoot = at["LeftFoot"];
  const Vector rightFoot = at["RightFoot"];
  EXPECT_GT(std::abs(leftFoot[2] - rightFoot[2]), 10) << "one knee is bent";
}

TEST(SpreadFrames, FirstLastAndEvenlyBetweenOrMiddlesOfEqualParts) {
  // 359 / 7 = 51.29 frames apart.
  EXPECT_THAT(spreadFrames(360, 8), ElementsAre(0, 51, 103, 154, 205, 256, 308, 359));
  EXPECT_THAT(spreadFrames(360, 4, false), ElementsAre(45, 135, 225, 315));
  EXPECT_THAT(spreadFrames(7, 3), ElementsAre(0, 3, 6));
  EXPECT_THAT(spreadFrames(3, 8), ElementsAre(0, 1, 2));
  EXPECT_THAT(spreadFrames(3, 8, false), ElementsAre(0, 1, 2));
  EXPECT_THAT(spreadFrames(5, 1), ElementsAre(0));
  EXPECT_THAT(spreadFrames(5, 1, false), ElementsAre(2));
  EXPECT_THAT(spreadFrames(0, 8), ElementsAre());
}

}  // namespace
