#include <gtest/gtest.h>
#include <host/HostScene.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnIkJoint.h>
#include <maya/MFnTransform.h>
#include <maya/MPlug.h>
#include <maya/MTime.h>
#include <maya/MTimeArray.h>

#include <array>
#include <utility>
#include <variant>
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

// A TL curve on translateX with keys (seconds, value), all of the given tangent types.
MObject typedCurve(MFnAnimCurve& curve, const MObject& joint,
                   const std::vector<std::pair<double, double>>& keys, MFnAnimCurve::TangentType in,
                   MFnAnimCurve::TangentType out) {
  MStatus status;
  MObject made =
      curve.create(joint, MFnDependencyNode(joint).findPlug("translateX", false), nullptr, &status);
  EXPECT_EQ(status, MS::kSuccess);
  EXPECT_EQ(curve.animCurveType(), MFnAnimCurve::kAnimCurveTL) << "from the plug's unit";
  for (const auto& [seconds, value] : keys) {
    curve.addKey(MTime(seconds, MTime::kSeconds), value, in, out, nullptr, &status);
    EXPECT_EQ(status, MS::kSuccess);
  }
  return made;
}

double at(const MFnAnimCurve& curve, double seconds) {
  return curve.evaluate(MTime(seconds, MTime::kSeconds));
}

TEST_F(AnimCurve, StepAndLinearTangentsEvaluateExactly) {
  MFnAnimCurve curve;
  typedCurve(curve, hips, {{1, 10}, {2, 20}, {4, -20}}, MFnAnimCurve::kTangentLinear,
             MFnAnimCurve::kTangentLinear);
  EXPECT_EQ(at(curve, 0), 10.0) << "constant before the first key";
  EXPECT_EQ(at(curve, 1.25), 12.5);
  EXPECT_EQ(at(curve, 3), 0.0);
  EXPECT_EQ(at(curve, 3.5), -10.0);
  EXPECT_EQ(at(curve, 9), -20.0) << "and after the last";
  double value = 1;
  EXPECT_EQ(curve.evaluate(MTime(2.0, MTime::kSeconds), value), MS::kSuccess);
  EXPECT_EQ(value, 20.0);

  ASSERT_EQ(curve.setOutTangentType(0, MFnAnimCurve::kTangentStep), MS::kSuccess);
  ASSERT_EQ(curve.setOutTangentType(1, MFnAnimCurve::kTangentStepNext), MS::kSuccess);
  EXPECT_EQ(at(curve, 1.999), 10.0) << "a step holds up to the next key";
  EXPECT_EQ(at(curve, 2), 20.0);
  EXPECT_EQ(at(curve, 2.001), -20.0) << "stepNext takes the next key's value";
  EXPECT_EQ(curve.outTangentType(0), MFnAnimCurve::kTangentStep);
  EXPECT_EQ(curve.inTangentType(1), MFnAnimCurve::kTangentLinear);
}

TEST_F(AnimCurve, SplineFamilyEvaluatesAsBezierSegments) {
  // Keys (0, 0), (1, 10), (2, 0): control points a third of the segment along each tangent.
  const std::vector<std::pair<double, double>> peak = {{0, 0}, {1, 10}, {2, 0}};
  MFnAnimCurve spline;
  typedCurve(spline, hips, peak, MFnAnimCurve::kTangentSmooth, MFnAnimCurve::kTangentSmooth);
  // Slopes 10, 0, -10: the first segment's control values 0, 10/3, 10, 10.
  EXPECT_DOUBLE_EQ(at(spline, 0.5), 6.25);
  EXPECT_DOUBLE_EQ(at(spline, 0.25), 2.96875);
  EXPECT_DOUBLE_EQ(at(spline, 1.5), 6.25);
  double x = 0;
  double y = 0;
  ASSERT_EQ(spline.getTangent(0, x, y, false), MS::kSuccess);
  EXPECT_DOUBLE_EQ(y / x, 10.0);
  EXPECT_DOUBLE_EQ(x * x + y * y, 1.0);

  // Auto, Maya 2022's default: flat at the ends and at the peak, so the curve eases.
  ASSERT_EQ(host::deleteNode("Hips_translateX"), MS::kSuccess);
  MFnAnimCurve automatic;
  typedCurve(automatic, hips, peak, MFnAnimCurve::kTangentGlobal, MFnAnimCurve::kTangentGlobal);
  EXPECT_EQ(automatic.inTangentType(1), MFnAnimCurve::kTangentAuto) << "global is the default";
  EXPECT_DOUBLE_EQ(at(automatic, 0.5), 5.0);
  EXPECT_DOUBLE_EQ(at(automatic, 0.25), 1.5625);
  // Rising on both sides: the smooth slope (30 - 0) / 2, within three times either side's.
  ASSERT_EQ(automatic.addKeyframe(MTime(2.0, MTime::kSeconds), 30.0), MS::kSuccess);
  EXPECT_DOUBLE_EQ(at(automatic, 0.5), 3.125);

  ASSERT_EQ(host::deleteNode("Hips_translateX"), MS::kSuccess);
  MFnAnimCurve clamped;
  typedCurve(clamped, hips, {{0, 0}, {1, 10}, {2, 10}}, MFnAnimCurve::kTangentClamped,
             MFnAnimCurve::kTangentClamped);
  EXPECT_DOUBLE_EQ(at(clamped, 0.5), 6.25) << "flat only beside the key of equal value";
  EXPECT_DOUBLE_EQ(at(clamped, 1.5), 10.0) << "no swing between equal keys";

  // A fixed tangent: the out slope set to 3 (internal units), the next key flat.
  ASSERT_EQ(clamped.setInTangentType(1, MFnAnimCurve::kTangentFlat), MS::kSuccess);
  ASSERT_EQ(clamped.setTangent(0, 1.0, 3.0, false, nullptr, false), MS::kSuccess);
  EXPECT_EQ(clamped.outTangentType(0), MFnAnimCurve::kTangentFixed);
  EXPECT_DOUBLE_EQ(at(clamped, 0.5), 5.375);
  EXPECT_EQ(clamped.setTangent(0, 0.0, 3.0, false), MS::kInvalidParameter);
  EXPECT_EQ(clamped.setInTangentType(3, MFnAnimCurve::kTangentFlat), MS::kInvalidParameter);
}

TEST_F(AnimCurve, FixedTangentsTakeUiUnitsAndKeepTheirSlope) {
  MFnAnimCurve curve;
  MStatus status;
  curve.create(hips, plug("rotateY"), nullptr, &status);
  ASSERT_EQ(status, MS::kSuccess);
  EXPECT_EQ(curve.animCurveType(), MFnAnimCurve::kAnimCurveTA);
  curve.addKey(MTime(0.0, MTime::kSeconds), 0.0);
  curve.addKey(MTime(1.0, MTime::kSeconds), 1.0);
  // 180 degrees a second is pi radians a second.
  ASSERT_EQ(curve.setTangent(0, 1.0, 180.0, false), MS::kSuccess);
  double x = 0;
  double y = 0;
  ASSERT_EQ(curve.getTangent(0, x, y, false), MS::kSuccess);
  EXPECT_DOUBLE_EQ(y / x, 3.14159265358979323846);
  // Turned fixed, a tangent keeps the slope it had.
  ASSERT_EQ(curve.setInTangentType(1, MFnAnimCurve::kTangentLinear), MS::kSuccess);
  ASSERT_EQ(curve.setInTangentType(1, MFnAnimCurve::kTangentFixed), MS::kSuccess);
  curve.addKey(MTime(2.0, MTime::kSeconds), 5.0);
  ASSERT_EQ(curve.getTangent(1, x, y, true), MS::kSuccess);
  EXPECT_DOUBLE_EQ(y / x, 1.0);
}

TEST_F(AnimCurve, AddKeysReplacesTheSpanUnlessKeepingExistingKeys) {
  MFnAnimCurve curve;
  typedCurve(curve, hips, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}, MFnAnimCurve::kTangentGlobal,
             MFnAnimCurve::kTangentGlobal);
  MTimeArray added;
  MDoubleArray values;
  added.append(MTime(2.5, MTime::kSeconds));
  added.append(MTime(1.5, MTime::kSeconds));
  values.append(250);
  values.append(150);
  ASSERT_EQ(curve.addKeys(&added, &values, MFnAnimCurve::kTangentLinear, MFnAnimCurve::kTangentStep,
                          true),
            MS::kSuccess);
  EXPECT_EQ(times(curve), (std::vector<double>{0, 1, 1.5, 2, 2.5, 3, 4}));
  EXPECT_EQ(curve.inTangentType(2), MFnAnimCurve::kTangentLinear);
  EXPECT_EQ(curve.outTangentType(4), MFnAnimCurve::kTangentStep);
  EXPECT_EQ(curve.outTangentType(3), MFnAnimCurve::kTangentAuto);

  // Without keeping, the keys within the new keys' span go: 2 and the 1.5 and 2.5 just added.
  MTimeArray span(2, MTime(1.25, MTime::kSeconds));
  span[1] = MTime(2.75, MTime::kSeconds);
  MDoubleArray spanValues(2, 7.0);
  ASSERT_EQ(curve.addKeys(&span, &spanValues), MS::kSuccess);
  EXPECT_EQ(times(curve), (std::vector<double>{0, 1, 1.25, 2.75, 3, 4}));
  EXPECT_EQ(curve.inTangentType(2), MFnAnimCurve::kTangentAuto);

  // A key at an existing time replaces it whether kept or not.
  MTimeArray same(1, MTime(3.0, MTime::kSeconds));
  MDoubleArray sameValue(1, 30.0);
  ASSERT_EQ(curve.addKeys(&same, &sameValue, MFnAnimCurve::kTangentFlat, MFnAnimCurve::kTangentFlat,
                          true),
            MS::kSuccess);
  EXPECT_EQ(curve.numKeys(), 6u);
  EXPECT_EQ(curve.value(4), 30.0);
  EXPECT_EQ(curve.inTangentType(4), MFnAnimCurve::kTangentFlat);

  MDoubleArray tooFew;
  EXPECT_EQ(curve.addKeys(&span, &tooFew), MS::kInvalidParameter);
  EXPECT_EQ(curve.addKeys(nullptr, &values), MS::kInvalidParameter);
  EXPECT_EQ(curve.numKeys(), 6u);

  host::CurveCalls calls;
  ASSERT_EQ(host::curveCalls("Hips_translateX", calls), MS::kSuccess);
  EXPECT_EQ(calls.addKeys, 3u) << "refused calls are not counted";
  EXPECT_EQ(calls.addKeyframe, 0u);
  curve.addKeyframe(MTime(9.0, MTime::kSeconds), 9.0);
  ASSERT_EQ(host::curveCalls("Hips_translateX", calls), MS::kSuccess);
  EXPECT_EQ(calls.addKeyframe, 1u);
  EXPECT_EQ(host::curveCalls("Hips", calls), MS::kNotFound);
}

TEST_F(AnimCurve, DrivenPlugsReadTheCurveAtTheCurrentTime) {
  MFnAnimCurve curve;
  typedCurve(curve, hips, {{0, 0}, {1, 10}}, MFnAnimCurve::kTangentLinear,
             MFnAnimCurve::kTangentLinear);
  host::setCurrentTime(0.5);
  EXPECT_DOUBLE_EQ(plug("translateX").asDouble(), 5.0);
  host::Value value;
  ASSERT_EQ(host::getAttribute("Hips.translate", value), MS::kSuccess);
  EXPECT_EQ((std::get<std::array<double, 3>>(value)), (std::array<double, 3>{5, 0, 0}));
  host::setCurrentTime(3);
  EXPECT_DOUBLE_EQ(plug("translateX").asDouble(), 10.0);
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
