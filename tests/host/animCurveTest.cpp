#include <gtest/gtest.h>
#include <host/HostScene.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnIkJoint.h>
#include <maya/MFnTransform.h>
#include <maya/MPlug.h>
#include <maya/MTime.h>

#include <vector>

namespace {

class AnimCurve : public ::testing::Test {
 protected:
  void SetUp() override {
    host::resetScene();
    MFnTransform top;
    MObject walk = top.create();
    top.setName("walk");
    MFnIkJoint fn;
    hips = fn.create(walk);
    fn.setName("Hips");
  }
  void TearDown() override { host::resetScene(); }

  MPlug plug(const char* name) { return MFnDependencyNode(hips).findPlug(name, true); }

  // A curve on rotateX with keys at the given seconds, value = 10 * seconds.
  void keyed(MFnAnimCurve& curve, const std::vector<double>& seconds) {
    MPlug rotateX = plug("rotateX");
    MStatus status;
    curve.create(hips, rotateX, MFnAnimCurve::kAnimCurveTL, nullptr, &status);
    ASSERT_EQ(status, MS::kSuccess);
    for (double time : seconds) {
      ASSERT_EQ(curve.addKeyframe(MTime(time, MTime::kSeconds), 10 * time), MS::kSuccess);
    }
  }

  static std::vector<double> times(const MFnAnimCurve& curve) {
    std::vector<double> result;
    for (unsigned int i = 0; i < curve.numKeys(); ++i) {
      result.push_back(curve.time(i).as(MTime::kSeconds));
    }
    return result;
  }

  MObject hips;
};

TEST_F(AnimCurve, CreateConnectsTheCurveToThePlug) {
  MPlug rotateX = plug("rotateX");
  EXPECT_FALSE(rotateX.isConnected());
  MFnAnimCurve curve;
  MStatus status;
  MObject created = curve.create(hips, rotateX, MFnAnimCurve::kAnimCurveTL, nullptr, &status);
  ASSERT_EQ(status, MS::kSuccess);
  EXPECT_EQ(curve.object(), created);
  EXPECT_TRUE(created.hasFn(MFn::kAnimCurve));
  EXPECT_TRUE(created.hasFn(MFn::kAnimCurveTimeToDistance));
  EXPECT_STREQ(curve.name().asChar(), "Hips_rotateX");
  EXPECT_EQ(curve.animCurveType(), MFnAnimCurve::kAnimCurveTL);
  EXPECT_TRUE(rotateX.isConnected());
  EXPECT_FALSE(plug("rotateY").isConnected());

  MFnAnimCurve found(rotateX, &status);
  EXPECT_EQ(status, MS::kSuccess);
  EXPECT_EQ(found.object(), created);
  EXPECT_EQ(host::listNodes("animCurveTL"), (std::vector<std::string>{"Hips_rotateX"}));

  curve.create(hips, rotateX, MFnAnimCurve::kAnimCurveTL, nullptr, &status);
  EXPECT_EQ(status, MS::kInvalidParameter) << "the plug is already driven";
}

TEST_F(AnimCurve, CreateFailsOnLockedOrUnsuitablePlugs) {
  MFnAnimCurve curve;
  MStatus status;
  MPlug rotateY = plug("rotateY");
  rotateY.setLocked(true);
  curve.create(hips, rotateY, MFnAnimCurve::kAnimCurveTL, nullptr, &status);
  EXPECT_EQ(status, MS::kInvalidParameter);
  curve.create(hips, plug("rotate"), MFnAnimCurve::kAnimCurveTA, nullptr, &status);
  EXPECT_EQ(status, MS::kInvalidParameter) << "a compound";
  curve.create(hips, plug("rotateZ"), MFnAnimCurve::kAnimCurveUL, nullptr, &status);
  EXPECT_EQ(status, MS::kNotImplemented);
  curve.create(MObject::kNullObj, plug("rotateZ"), MFnAnimCurve::kAnimCurveTL, nullptr, &status);
  EXPECT_EQ(status, MS::kInvalidParameter);
  EXPECT_TRUE(host::listNodes("animCurveTL").empty());
}

TEST_F(AnimCurve, AttachingToAPlugReportsWhatDrivesIt) {
  MStatus status;
  MFnAnimCurve none(plug("rotateZ"), &status);
  EXPECT_EQ(status, MS::kInvalidParameter);
  EXPECT_TRUE(none.object().isNull());
  MFnAnimCurve unattached(MPlug(), &status);
  EXPECT_EQ(status, MS::kInvalidParameter);

  ASSERT_EQ(host::createNode("joint", "driver"), MS::kSuccess);
  ASSERT_EQ(host::connectAttributes("driver.rotateZ", "Hips.rotateZ"), MS::kSuccess);
  EXPECT_TRUE(plug("rotateZ").isConnected());
  MFnAnimCurve other(plug("rotateZ"), &status);
  EXPECT_EQ(status, MS::kNotImplemented);
  EXPECT_TRUE(other.object().isNull());
  EXPECT_TRUE(MFnDependencyNode(host::findNode("driver")).findPlug("rz", true).isConnected())
      << "a source is connected too";
  EXPECT_EQ(host::connectAttributes("driver.rotateY", "Hips.rotateZ"), MS::kInvalidParameter);
}

TEST_F(AnimCurve, KeysStaySortedAndOnePerTime) {
  MFnAnimCurve curve;
  keyed(curve, {2.0, 0.5, 1.0, 3.0});
  EXPECT_EQ(times(curve), (std::vector<double>{0.5, 1.0, 2.0, 3.0}));
  EXPECT_DOUBLE_EQ(curve.value(2), 20.0);
  ASSERT_EQ(curve.addKeyframe(MTime(48.0, MTime::kFilm), -1.0), MS::kSuccess);
  EXPECT_EQ(curve.numKeys(), 4u) << "a key at an existing time replaces its value";
  EXPECT_DOUBLE_EQ(curve.value(2), -1.0);
  MStatus status;
  curve.value(4, &status);
  EXPECT_EQ(status, MS::kInvalidParameter);
  curve.time(4, &status);
  EXPECT_EQ(status, MS::kInvalidParameter);
}

TEST_F(AnimCurve, RemoveShiftsLaterKeysDown) {
  MFnAnimCurve curve;
  keyed(curve, {1.0, 2.0, 3.0, 4.0});
  ASSERT_EQ(curve.remove(1), MS::kSuccess);
  EXPECT_EQ(times(curve), (std::vector<double>{1.0, 3.0, 4.0}));
  ASSERT_EQ(curve.remove(1), MS::kSuccess);
  EXPECT_EQ(times(curve), (std::vector<double>{1.0, 4.0}));
  EXPECT_EQ(curve.remove(2), MS::kInvalidParameter);
  EXPECT_EQ(curve.numKeys(), 2u);
}

TEST_F(AnimCurve, FindAndFindClosest) {
  MFnAnimCurve curve;
  keyed(curve, {});
  unsigned int index = 99;
  MStatus status;
  EXPECT_FALSE(curve.find(MTime(1.0, MTime::kSeconds), index, &status));
  EXPECT_EQ(status, MS::kSuccess);
  EXPECT_EQ(index, 99u);
  EXPECT_EQ(curve.findClosest(MTime(1.0, MTime::kSeconds), &status), 0u);
  EXPECT_EQ(status, MS::kNotFound) << "no key to be closest";

  for (double time : {1.0, 2.0, 4.0}) curve.addKeyframe(MTime(time, MTime::kSeconds), time);
  EXPECT_TRUE(curve.find(MTime(48.0, MTime::kFilm), index, &status));
  EXPECT_EQ(index, 1u);
  EXPECT_FALSE(curve.find(MTime(2.5, MTime::kSeconds), index));
  EXPECT_EQ(curve.findClosest(MTime(-5.0, MTime::kSeconds), &status), 0u);
  EXPECT_EQ(status, MS::kSuccess);
  EXPECT_EQ(curve.findClosest(MTime(1.4, MTime::kSeconds)), 0u);
  EXPECT_EQ(curve.findClosest(MTime(1.5, MTime::kSeconds)), 0u) << "a tie goes to the earlier key";
  EXPECT_EQ(curve.findClosest(MTime(1.6, MTime::kSeconds)), 1u);
  EXPECT_EQ(curve.findClosest(MTime(3.1, MTime::kSeconds)), 2u);
  EXPECT_EQ(curve.findClosest(MTime(100.0, MTime::kSeconds)), 2u);
}

TEST_F(AnimCurve, ClearingASpanKeepsTheKeyNearestItsEnd) {
  // What merging onto an animated joint does before writing keys from 5 s to 10 s.
  MFnAnimCurve curve;
  std::vector<double> existing;
  for (int frame = 0; frame <= 24; ++frame) existing.push_back(frame * 0.5);
  keyed(curve, existing);
  unsigned int first = curve.findClosest(MTime(5.0, MTime::kSeconds));
  unsigned int last = curve.findClosest(MTime(10.0, MTime::kSeconds));
  ASSERT_EQ(first, 10u);
  ASSERT_EQ(last, 20u);
  for (unsigned int i = first; i < last; ++i) ASSERT_EQ(curve.remove(first), MS::kSuccess);
  std::vector<double> remaining = times(curve);
  EXPECT_EQ(remaining.size(), 15u);
  EXPECT_DOUBLE_EQ(remaining[9], 4.5);
  EXPECT_DOUBLE_EQ(remaining[10], 10.0);
}

TEST_F(AnimCurve, KeysAtAccumulatedTimesLandOnTheirFrames) {
  MFnAnimCurve curve;
  keyed(curve, {});
  MTime step(1.0 / 30, MTime::kSeconds);
  MTime time(5.0, MTime::kSeconds);
  for (int frame = 0; frame < 300; ++frame) {
    ASSERT_EQ(curve.addKeyframe(time, frame), MS::kSuccess);
    time += step;
  }
  EXPECT_EQ(curve.numKeys(), 300u);
  unsigned int index = 0;
  EXPECT_TRUE(curve.find(MTime(5.0 * 30 + 299, MTime::kNTSCFrame), index));
  EXPECT_EQ(index, 299u);
}

TEST_F(AnimCurve, EvaluatesLinearlyAndConstantOutside) {
  MFnAnimCurve curve;
  keyed(curve, {});
  EXPECT_DOUBLE_EQ(curve.evaluate(MTime(1.0, MTime::kSeconds)), 0.0);
  curve.addKeyframe(MTime(1.0, MTime::kSeconds), 10.0);
  curve.addKeyframe(MTime(2.0, MTime::kSeconds), 20.0);
  EXPECT_DOUBLE_EQ(curve.evaluate(MTime(0.0, MTime::kSeconds)), 10.0);
  EXPECT_DOUBLE_EQ(curve.evaluate(MTime(1.25, MTime::kSeconds)), 12.5);
  EXPECT_DOUBLE_EQ(curve.evaluate(MTime(2.0, MTime::kSeconds)), 20.0);
  EXPECT_DOUBLE_EQ(curve.evaluate(MTime(9.0, MTime::kSeconds)), 20.0);
}

TEST_F(AnimCurve, DeletingTheJointDeletesItsCurves) {
  MFnAnimCurve curve;
  keyed(curve, {1.0});
  MObject curveObject = curve.object();
  ASSERT_EQ(host::deleteNode("|walk|Hips"), MS::kSuccess);
  EXPECT_TRUE(host::listNodes("animCurveTL").empty());
  MStatus status;
  curve.numKeys(&status);
  EXPECT_EQ(status, MS::kInvalidParameter);
  EXPECT_EQ(curve.setObject(curveObject), MS::kInvalidParameter);
}

}  // namespace
