// Maya's rotation value types and a transform's rotate axis, against values worked out by hand.

#include <gtest/gtest.h>
#include <host/HostScene.h>
#include <host/SceneMayaAscii.h>
#include <maya/MEulerRotation.h>
#include <maya/MFnIkJoint.h>
#include <maya/MFnTransform.h>
#include <maya/MMatrix.h>
#include <maya/MQuaternion.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MTypes.h>
#include <maya/MVector.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <variant>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180;

MMatrix rows(const double m[3][3]) {
  MMatrix result;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) result[r][c] = m[r][c];
  }
  return result;
}

void expectAngles(const MEulerRotation& e, double x, double y, double z) {
  EXPECT_NEAR(e.x, x, 1e-12);
  EXPECT_NEAR(e.y, y, 1e-12);
  EXPECT_NEAR(e.z, z, 1e-12);
}

TEST(Rotation, MatricesAreRowVectorOnesWithTheFirstTurnLeftmost) {
  // X 90: y goes to z, z to -y.
  const double x90[3][3] = {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}};
  EXPECT_TRUE(MEulerRotation(kPi / 2, 0, 0).asMatrix().isEquivalent(rows(x90)));
  // X 90 then Z 90: x goes to y, y to z, z to x.
  const double cycle[3][3] = {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}};
  EXPECT_TRUE(MEulerRotation(kPi / 2, 0, kPi / 2).asMatrix().isEquivalent(rows(cycle)));
  expectAngles(MEulerRotation::decompose(rows(cycle), MEulerRotation::kXYZ), kPi / 2, 0, kPi / 2);
  // In ZXY order the same turn is Z 90 then Y 90.
  expectAngles(MEulerRotation::decompose(rows(cycle), MEulerRotation::kZXY), 0, kPi / 2, kPi / 2);
  const MEulerRotation zFirst = MEulerRotation::decompose(rows(cycle), MEulerRotation::kZXY);
  EXPECT_EQ(zFirst.order, MEulerRotation::kZXY);
  EXPECT_TRUE(zFirst.asMatrix().isEquivalent(rows(cycle)));

  // Quaternions multiply as their matrices do, and turn the same way.
  const MQuaternion qx(kPi / 2, MVector(1, 0, 0));
  const MQuaternion qz(kPi / 2, MVector(0, 0, 1));
  EXPECT_TRUE(qx.asMatrix().isEquivalent(rows(x90)));
  EXPECT_TRUE((qx * qz).asMatrix().isEquivalent(rows(cycle)));
  EXPECT_TRUE((qx * qz).isEquivalent(MEulerRotation(kPi / 2, 0, kPi / 2).asQuaternion()));
  EXPECT_TRUE((qx * qx.inverse()).isEquivalent(MQuaternion::identity));
  MEulerRotation fromQuaternion(0, 0, 0, MEulerRotation::kXYZ);
  fromQuaternion = qx * qz;
  expectAngles(fromQuaternion, kPi / 2, 0, kPi / 2);
  EXPECT_TRUE((rows(cycle) * rows(cycle).inverse()).isEquivalent(MMatrix::identity));
}

TEST(Rotation, DecomposeAndReorderKeepTheOrientationInEveryOrder) {
  std::mt19937 random(41001);
  std::uniform_real_distribution<double> angle(-kPi, kPi);
  std::uniform_real_distribution<double> middle(-kPi / 2 + 0.01, kPi / 2 - 0.01);
  for (int order = 0; order < 6; ++order) {
    const auto ord = static_cast<MEulerRotation::RotationOrder>(order);
    for (int i = 0; i < 20; ++i) {
      const MEulerRotation e(angle(random), angle(random), angle(random), ord);
      const MEulerRotation back = MEulerRotation::decompose(e.asMatrix(), ord);
      EXPECT_TRUE(back.asMatrix().isEquivalent(e.asMatrix(), 1e-9)) << order;
      for (int other = 0; other < 6; ++other) {
        const auto to = static_cast<MEulerRotation::RotationOrder>(other);
        EXPECT_TRUE(e.reorder(to).asMatrix().isEquivalent(e.asMatrix(), 1e-9));
        EXPECT_EQ(e.reorder(to).order, to);
      }
      EXPECT_TRUE((e * e.inverse()).asMatrix().isEquivalent(MMatrix::identity, 1e-9));
      EXPECT_TRUE(e.alternateSolution().asMatrix().isEquivalent(e.asMatrix(), 1e-9));
    }
    // Within the range the decomposition gives, it gives the angles back.
    MEulerRotation e(0.3, 0.2, -0.1, ord);
    e[static_cast<unsigned int>(order == 0 || order == 5   ? 1
                                : order == 1 || order == 3 ? 2
                                                           : 0)] = middle(random);
    EXPECT_TRUE(MEulerRotation::decompose(e.asMatrix(), ord).isEquivalent(e, 1e-9)) << order;
  }
}

TEST(Rotation, ClosestSolutionMovesByWholeTurnsOrTakesTheAlternate) {
  // -179 next to 179 is 181.
  expectAngles(
      MEulerRotation(0, 0, -179 * kDegree).closestSolution(MEulerRotation(0, 0, 179 * kDegree)), 0,
      0, 181 * kDegree);
  // (10, 170, 20) is also (190, 10, 200), which lies nearer (180, 0, 180).
  const MEulerRotation e(10 * kDegree, 170 * kDegree, 20 * kDegree);
  expectAngles(e.closestSolution(MEulerRotation(0, 0, 0)), 10 * kDegree, 170 * kDegree,
               20 * kDegree);
  expectAngles(e.closestSolution(MEulerRotation(kPi, 0, kPi)), 190 * kDegree, 10 * kDegree,
               200 * kDegree);
  // The mirrored axis is the order's middle one: X in YXZ.
  const MEulerRotation yxz(170 * kDegree, 10 * kDegree, 20 * kDegree, MEulerRotation::kYXZ);
  const MEulerRotation nearHalf =
      yxz.closestSolution(MEulerRotation(0, kPi, kPi, MEulerRotation::kYXZ));
  expectAngles(nearHalf, 10 * kDegree, 190 * kDegree, 200 * kDegree);
  EXPECT_TRUE(nearHalf.asMatrix().isEquivalent(yxz.asMatrix(), 1e-12));
  // closestCut never takes the alternate; bound brings each angle into [-180, 180].
  expectAngles(e.closestCut(MEulerRotation(0, 0, 2 * kPi)), 10 * kDegree, 170 * kDegree,
               380 * kDegree);
  expectAngles(MEulerRotation(3 * kPi / 2, -5 * kPi / 2, 0.5).bound(), -kPi / 2, -kPi / 2, 0.5);
  expectAngles(e.alternateSolution(), -170 * kDegree, 10 * kDegree, -160 * kDegree);
}

class RotateAxis : public ::testing::Test {
 protected:
  void SetUp() override { host::resetScene(); }
  void TearDown() override { host::resetScene(); }
};

TEST_F(RotateAxis, IsTheRotateAxisAttributeInXyzOrderAndWrittenWhenNotZero) {
  ASSERT_TRUE(host::createNode("joint", "arm"));
  MFnIkJoint joint(host::findNode("arm"));
  const std::string before = host::sceneMayaAscii("arm.ma");
  EXPECT_EQ(before.find("\".ra\""), std::string::npos);

  const MQuaternion axis = MEulerRotation(0.1, -0.2, 0.3).asQuaternion();
  ASSERT_EQ(joint.setRotateOrientation(axis, MSpace::kTransform, false), MS::kSuccess);
  host::Value value;
  ASSERT_TRUE(host::getAttribute("arm.rotateAxis", value));
  const auto degrees = std::get<std::array<double, 3>>(value);
  EXPECT_NEAR(degrees[0], 0.1 / kDegree, 1e-9);
  EXPECT_NEAR(degrees[1], -0.2 / kDegree, 1e-9);
  EXPECT_NEAR(degrees[2], 0.3 / kDegree, 1e-9);
  EXPECT_TRUE(joint.rotateOrientation(MSpace::kTransform).isEquivalent(axis, 1e-12));
  MStatus status;
  joint.rotateOrientation(MSpace::kWorld, &status);
  EXPECT_EQ(status, MS::kNotImplemented);
  EXPECT_NE(host::sceneMayaAscii("arm.ma").find("\tsetAttr \".ra\" -type \"double3\" 5.7295779"),
            std::string::npos);
}

TEST_F(RotateAxis, BalanceKeepsRotateAxisAndRotateTurningAsBefore) {
  ASSERT_TRUE(host::createNode("transform", "box"));
  MFnTransform box(host::findNode("box"));
  const double rotate[3] = {0.4, -1.1, 2.5};
  ASSERT_EQ(box.setRotation(rotate, MTransformationMatrix::kYZX), MS::kSuccess);
  double read[3];
  MTransformationMatrix::RotationOrder order;
  ASSERT_EQ(box.getRotation(read, order), MS::kSuccess);
  EXPECT_EQ(order, MTransformationMatrix::kYZX);
  EXPECT_EQ(read[1], -1.1);
  const MMatrix turned =
      MEulerRotation(rotate[0], rotate[1], rotate[2], MEulerRotation::kYZX).asMatrix();

  const MQuaternion axis = MEulerRotation(0.7, 0.2, -0.5).asQuaternion();
  ASSERT_EQ(box.setRotateOrientation(axis, MSpace::kTransform, true), MS::kSuccess);
  ASSERT_EQ(box.getRotation(read, order), MS::kSuccess);
  const MMatrix now =
      axis.asMatrix() * MEulerRotation(read[0], read[1], read[2], MEulerRotation::kYZX).asMatrix();
  EXPECT_TRUE(now.isEquivalent(turned, 1e-9));
  EXPECT_EQ(box.setRotation(rotate, MTransformationMatrix::kLast), MS::kInvalidParameter);
}

}  // namespace
