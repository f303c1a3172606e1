#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <maya/MFileObject.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MPxFileTranslator.h>
#include <maya/MString.h>
#include <maya/MTransformationMatrix.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "motion/MocapStatus.h"
#include "motion/iMocapDataBvh.h"
#include "motion/iSkeleton.h"
#include "scene/BvhSceneTest.h"
#include "scene/buildSkeleton.h"
#include "scene/imocapImport.h"

namespace {

using scenetest::evenKeys;
using scenetest::keys;
using scenetest::Keys;
using scenetest::rotateOrder;
using scenetest::smallBvh;
using scenetest::translation;
using scenetest::vector3;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using BvhImport = scenetest::BvhSceneTest;

// Sample values of channel c over frames first..last-1 (see smallBvh).
std::vector<double> channel(int c, int first, int last) {
  std::vector<double> values;
  for (int f = first; f < last; ++f) values.push_back(f * 10.0 + c);
  return values;
}

std::vector<double> scaled(std::vector<double> values, double factor) {
  for (double& value : values) value *= factor;
  return values;
}

TEST_F(BvhImport, DefaultOptionsBuildJointsWithKeysForEveryFrame) {
  std::string path = write("run.bvh", smallBvh(3));
  ASSERT_EQ(host::importFile(path), MS::kSuccess);

  EXPECT_THAT(host::listNodes("transform"), ElementsAre("|run"));
  EXPECT_THAT(host::listNodes("joint"),
              ElementsAre("|run|Hips", "|run|Hips|Chest", "|run|Hips|Chest|Chest_Effector",
                          "|run|Hips|Leg"));
  EXPECT_EQ(translation("|run|Hips"), (std::array<double, 3>{0, 0, 0}));
  EXPECT_EQ(translation("Chest"), (std::array<double, 3>{0, 5, 0.5}));
  EXPECT_EQ(translation("Chest_Effector"), (std::array<double, 3>{0, 2, 0}));
  EXPECT_EQ(translation("Leg"), (std::array<double, 3>{1, -4, 0}));
  for (const char* joint : {"Hips", "Chest", "Chest_Effector", "Leg"}) {
    EXPECT_EQ(rotateOrder(joint), MTransformationMatrix::kYXZ) << joint;
    EXPECT_EQ(vector3(std::string(joint) + ".jointOrient"), (std::array<double, 3>{0, 0, 0}));
  }

  EXPECT_EQ(keys("Hips.translateX"), evenKeys(0, 0.5, channel(0, 0, 3)));
  EXPECT_EQ(keys("Hips.translateY"), evenKeys(0, 0.5, channel(1, 0, 3)));
  EXPECT_EQ(keys("Hips.translateZ"), evenKeys(0, 0.5, channel(2, 0, 3)));
  EXPECT_EQ(keys("Hips.rotateX"), evenKeys(0, 0.5, channel(4, 0, 3)));
  EXPECT_EQ(keys("Hips.rotateY"), evenKeys(0, 0.5, channel(5, 0, 3)));
  EXPECT_EQ(keys("Hips.rotateZ"), evenKeys(0, 0.5, channel(3, 0, 3)));
  EXPECT_EQ(keys("Chest.rotateX"), evenKeys(0, 0.5, channel(7, 0, 3)));
  EXPECT_EQ(keys("Chest.rotateZ"), evenKeys(0, 0.5, channel(6, 0, 3)));
  EXPECT_EQ(keys("Leg.rotateY"), evenKeys(0, 0.5, channel(11, 0, 3)));
  EXPECT_THAT(keys("Chest.translateX"), IsEmpty());
  EXPECT_THAT(keys("Chest_Effector.rotateX"), IsEmpty());
  // Rotations go onto time-to-angle curves in radians, translations onto time-to-distance ones
  // in centimetres; the End Site, with nothing to key, gets no curve.
  EXPECT_THAT(
      host::listNodes("animCurveTA"),
      ElementsAre("Hips_rotateX", "Hips_rotateY", "Hips_rotateZ", "Chest_rotateX", "Chest_rotateY",
                  "Chest_rotateZ", "Leg_rotateX", "Leg_rotateY", "Leg_rotateZ"));
  EXPECT_THAT(host::listNodes("animCurveTL"),
              ElementsAre("Hips_translateX", "Hips_translateY", "Hips_translateZ"));
  MFnAnimCurve rotateX(host::findNode("Chest_rotateX"));
  EXPECT_DOUBLE_EQ(rotateX.value(1), 17 * 3.14159265358979323846 / 180);
  // One call keys each curve.
  for (const char* curve : {"Hips_rotateZ", "Hips_translateY", "Leg_rotateX"}) {
    host::CurveCalls calls;
    ASSERT_EQ(host::curveCalls(curve, calls), MS::kSuccess);
    EXPECT_EQ(calls.addKeys, 1u) << curve;
    EXPECT_EQ(calls.addKeyframe, 0u) << curve;
  }
  EXPECT_THAT(host::errors(), IsEmpty());
}

TEST_F(BvhImport, BonesOnlyCreatesJointsWithoutCurves) {
  std::string path = write("run.bvh", smallBvh(3));
  ASSERT_EQ(host::importFile(path, "BVH", std::string("bonesOnly=True;merge=true")), MS::kSuccess);
  EXPECT_EQ(host::listNodes("joint").size(), 4u);
  EXPECT_THAT(host::listNodes("animCurveTL"), IsEmpty());
}

TEST_F(BvhImport, ScaleAppliesToOffsetsAndRootTranslation) {
  std::string path = write("run.bvh", smallBvh(2));
  ASSERT_EQ(host::importFile(path, "BVH", std::string("bonesOnly=false;scale=0.01")), MS::kSuccess);
  EXPECT_EQ(translation("Chest"), (std::array<double, 3>{0, 5.0 * 0.01f, 0.5 * 0.01f}));
  EXPECT_EQ(keys("Hips.translateX"), evenKeys(0, 0.5, {0.0 * 0.01f, 10.0 * 0.01f}));
  EXPECT_EQ(keys("Hips.translateZ"), evenKeys(0, 0.5, {2.0 * 0.01f, 12.0 * 0.01f}));
  EXPECT_EQ(keys("Hips.rotateX"), evenKeys(0, 0.5, channel(4, 0, 2)));

  host::resetScene();
  ASSERT_EQ(host::importFile(path, "BVH", std::string("bonesOnly=false;scale=2")), MS::kSuccess);
  EXPECT_EQ(translation("Chest"), (std::array<double, 3>{0, 10, 1}));
  EXPECT_EQ(translation("Leg"), (std::array<double, 3>{2, -8, 0}));
  EXPECT_EQ(keys("Hips.translateY"), evenKeys(0, 0.5, scaled(channel(1, 0, 2), 2)));
  EXPECT_EQ(keys("Leg.rotateZ"), evenKeys(0, 0.5, channel(9, 0, 2)));
}

// A position channel is that axis of the translation, whatever the offset: a skeleton given to
// the build with an offset on the root keys the channels' values alone, scaled, and builds the
// joint at its offset.
TEST_F(BvhImport, PositionChannelsReplaceTheOffset) {
  std::istringstream text(smallBvh(2));
  iSkeleton skeleton;
  ASSERT_EQ(iMocapDataBvh(&text, &skeleton).parse(""), kMocapOk);
  skeleton.root->offset = {1, -2, 0.5};
  imocapImport translator;
  translator.parseOptions("bonesOnly=false;scale=2");
  translator.sceneName = "run";
  ASSERT_EQ(buildSkeleton(translator, skeleton, true), MS::kSuccess);
  EXPECT_EQ(translation("Hips"), (std::array<double, 3>{2, -4, 1}));
  EXPECT_EQ(keys("Hips.translateX"), evenKeys(0, 0.5, {0, 20}));
  EXPECT_EQ(keys("Hips.translateY"), evenKeys(0, 0.5, {2, 22}));
  EXPECT_EQ(keys("Hips.translateZ"), evenKeys(0, 0.5, {4, 24}));
}

// Each joint turns in the order of its own rotation channels, and one without them in its
// parent's; translate keys go on the axes a joint has position channels for, any joint, and the
// other axes keep the offset without a curve.
TEST_F(BvhImport, EachJointHasItsOwnOrderAndPositionChannels) {
  const std::string path = write(
      "own.bvh",
      "HIERARCHY\nROOT Root\n{\nOFFSET 5 90 -3\nCHANNELS 3 Xrotation Yrotation Zrotation\n"
      "JOINT Hips\n{\nOFFSET 0 1 0\nCHANNELS 6 Yrotation Xposition Zrotation Yposition Xrotation "
      "Zposition\nJOINT Slide\n{\nOFFSET 0 4 0\nCHANNELS 3 Zposition Yposition Xposition\n"
      "End Site\n{\nOFFSET 0 2 0\n}\n}\nJOINT Lift\n{\nOFFSET 3 0 0\n"
      "CHANNELS 3 Zrotation Yposition Xrotation\n}\n}\n}\n"
      "MOTION\nFrames: 2\nFrame Time: 0.5\n"
      "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n"
      "21 22 23 24 25 26 27 28 29 30 31 32 33 34 35\n");
  ASSERT_EQ(host::importFile(path), MS::kSuccess);
  EXPECT_EQ(rotateOrder("Root"), MTransformationMatrix::kZYX);
  EXPECT_EQ(rotateOrder("Hips"), MTransformationMatrix::kXZY);
  EXPECT_EQ(rotateOrder("Slide"), MTransformationMatrix::kXZY);
  EXPECT_EQ(rotateOrder("Slide_Effector"), MTransformationMatrix::kXZY);
  EXPECT_EQ(rotateOrder("Lift"), MTransformationMatrix::kYXZ);

  EXPECT_EQ(translation("Root"), (std::array<double, 3>{5, 90, -3}));
  EXPECT_EQ(translation("Hips"), (std::array<double, 3>{0, 1, 0}));
  EXPECT_EQ(translation("Lift"), (std::array<double, 3>{3, 0, 0}));
  EXPECT_EQ(keys("Root.rotateX"), evenKeys(0, 0.5, {1, 21}));
  EXPECT_EQ(keys("Root.rotateZ"), evenKeys(0, 0.5, {3, 23}));
  EXPECT_EQ(keys("Hips.rotateX"), evenKeys(0, 0.5, {8, 28}));
  EXPECT_EQ(keys("Hips.rotateY"), evenKeys(0, 0.5, {4, 24}));
  EXPECT_EQ(keys("Hips.rotateZ"), evenKeys(0, 0.5, {6, 26}));
  EXPECT_EQ(keys("Hips.translateX"), evenKeys(0, 0.5, {5, 25}));
  EXPECT_EQ(keys("Hips.translateY"), evenKeys(0, 0.5, {7, 27}));
  EXPECT_EQ(keys("Hips.translateZ"), evenKeys(0, 0.5, {9, 29}));
  EXPECT_EQ(keys("Slide.translateX"), evenKeys(0, 0.5, {12, 32}));
  EXPECT_EQ(keys("Slide.translateZ"), evenKeys(0, 0.5, {10, 30}));
  EXPECT_EQ(keys("Slide.rotateX"), evenKeys(0, 0.5, {0, 0}));
  EXPECT_EQ(keys("Lift.translateY"), evenKeys(0, 0.5, {14, 34}));
  EXPECT_EQ(keys("Lift.rotateZ"), evenKeys(0, 0.5, {13, 33}));
  EXPECT_EQ(keys("Lift.rotateX"), evenKeys(0, 0.5, {15, 35}));
  EXPECT_THAT(host::listNodes("animCurveTA"),
              ElementsAre("Root_rotateX", "Root_rotateY", "Root_rotateZ", "Hips_rotateX",
                          "Hips_rotateY", "Hips_rotateZ", "Slide_rotateX", "Slide_rotateY",
                          "Slide_rotateZ", "Lift_rotateX", "Lift_rotateY", "Lift_rotateZ"));
  EXPECT_THAT(
      host::listNodes("animCurveTL"),
      ElementsAre("Hips_translateX", "Hips_translateY", "Hips_translateZ", "Slide_translateX",
                  "Slide_translateY", "Slide_translateZ", "Lift_translateY"));

  // The option turns every joint in its order, and the keys stay each joint's own values.
  host::resetScene();
  ASSERT_EQ(host::importFile(path, "BVH", std::string("bonesOnly=false;rotationOrder=yzx")),
            MS::kSuccess);
  for (const char* joint : {"Root", "Hips", "Slide", "Slide_Effector", "Lift"}) {
    EXPECT_EQ(rotateOrder(joint), MTransformationMatrix::kXZY) << joint;
  }
  EXPECT_EQ(keys("Hips.rotateY"), evenKeys(0, 0.5, {4, 24}));
}

// Without frames to key a joint keeps the translate and rotate it was built with: a curve without
// keys would hold it at 0. So does a frame range that starts past the last frame.
TEST_F(BvhImport, NoCurvesWithoutFramesToKey) {
  const std::string path = write("still.bvh",
                                 "HIERARCHY\nROOT Pelvis\n{\nOFFSET 0 100 0\nCHANNELS 6 Xposition "
                                 "Yposition Zposition Zrotation Xrotation Yrotation\n}\n");
  ASSERT_EQ(host::importFile(path), MS::kSuccess);
  EXPECT_EQ(translation("Pelvis"), (std::array<double, 3>{0, 100, 0}));
  EXPECT_THAT(host::listNodes("animCurveTL"), IsEmpty());

  host::resetScene();
  ASSERT_EQ(host::importFile(write("run.bvh", smallBvh(3)), "BVH",
                             std::string("bonesOnly=false;startFrame=3")),
            MS::kSuccess);
  ASSERT_EQ(host::listNodes("joint").size(), 4u);
  EXPECT_THAT(host::listNodes("animCurveTL"), IsEmpty());
  EXPECT_THAT(host::listNodes("animCurveTA"), IsEmpty());
}

TEST_F(BvhImport, RotationOrderOptionOverridesTheFile) {
  std::string path = write("run.bvh", smallBvh(1));
  ASSERT_EQ(host::importFile(path, "BVH", std::string("bonesOnly=false;rotationOrder=xyz")),
            MS::kSuccess);
  for (const char* joint : {"Hips", "Chest", "Chest_Effector", "Leg"}) {
    EXPECT_EQ(rotateOrder(joint), MTransformationMatrix::kZYX) << joint;
  }
  // The samples stay in their axis slots whatever order is named.
  EXPECT_EQ(keys("Hips.rotateX"), evenKeys(0, 0.5, {4}));

  host::resetScene();
  path = write("yzx.bvh", smallBvh(1, 0.5, "Yrotation Zrotation Xrotation"));
  ASSERT_EQ(host::importFile(path, "BVH", std::string("bonesOnly=false;rotationOrder=none")),
            MS::kSuccess);
  EXPECT_EQ(rotateOrder("Leg"), MTransformationMatrix::kXZY);
  EXPECT_EQ(keys("Leg.rotateX"), evenKeys(0, 0.5, {11}));
}

TEST_F(BvhImport, ImportKeysFromTheCurrentTimeAndOpenFromZero) {
  std::string path = write("walk.bvh", smallBvh(2));
  host::setCurrentTime(2.0);
  ASSERT_EQ(host::importFile(path), MS::kSuccess);
  EXPECT_EQ(keys("Hips.rotateY"), evenKeys(2.0, 0.5, channel(5, 0, 2)));

  // Open mode ignores merge (nothing is selected) and starts at 0.
  host::setCurrentTime(2.0);
  ASSERT_EQ(host::openFile(path, "", std::string("merge=true;bonesOnly=false")), MS::kSuccess);
  EXPECT_THAT(host::listNodes("transform"), ElementsAre("|walk"));
  EXPECT_EQ(keys("Hips.rotateY"), evenKeys(0.0, 0.5, channel(5, 0, 2)));
  EXPECT_THAT(host::errors(), IsEmpty());
}

TEST_F(BvhImport, FrameRangeSelectsSamplesAndKeyTimes) {
  std::string path = write("long.bvh", smallBvh(100));
  ASSERT_EQ(host::importFile(path, "BVH", std::string("bonesOnly=false;endFrame=50")),
            MS::kSuccess);
  EXPECT_EQ(keys("Hips.rotateX"), evenKeys(0, 0.5, channel(4, 0, 50)));
  EXPECT_EQ(keys("Leg.rotateX"), evenKeys(0, 0.5, channel(10, 0, 50)));

  host::resetScene();
  host::setCurrentTime(5.0);
  ASSERT_EQ(host::importFile(path, "BVH", std::string("bonesOnly=false;startFrame=10;endFrame=20")),
            MS::kSuccess);
  Keys rotateX = keys("Hips.rotateX");
  ASSERT_EQ(rotateX.size(), 10u);
  EXPECT_EQ(rotateX.front(), std::make_pair(5.0, 104.0));
  EXPECT_EQ(rotateX.back(), std::make_pair(9.5, 194.0));
  EXPECT_EQ(keys("Hips.translateX"), evenKeys(5.0, 0.5, channel(0, 10, 20)));

  // A start past the end, or equal to it, writes nothing.
  host::resetScene();
  ASSERT_EQ(host::importFile(path, "BVH", std::string("bonesOnly=false;startFrame=30;endFrame=20")),
            MS::kSuccess);
  EXPECT_THAT(keys("Hips.rotateX"), IsEmpty());
  // An end past the frame count stops at the last frame.
  host::resetScene();
  ASSERT_EQ(
      host::importFile(path, "BVH", std::string("bonesOnly=false;startFrame=98;endFrame=1000")),
      MS::kSuccess);
  EXPECT_EQ(keys("Hips.rotateZ"), evenKeys(0, 0.5, channel(3, 98, 100)));
}

TEST_F(BvhImport, TextEntryBuildsJointsOnlyUnderTheGivenNameAndShowsNothing) {
  imocapImport translator;
  translator.sceneName = "Marvik0";
  ASSERT_EQ(translator.readFromText(smallBvh(2).c_str()), MS::kSuccess);
  EXPECT_THAT(host::listNodes("joint"),
              ElementsAre("|Marvik0|Hips", "|Marvik0|Hips|Chest",
                          "|Marvik0|Hips|Chest|Chest_Effector", "|Marvik0|Hips|Leg"));
  EXPECT_THAT(host::listNodes("animCurveTL"), IsEmpty());
  EXPECT_THAT(host::listNodes("animCurveTA"), IsEmpty());

  EXPECT_EQ(translator.readFromText("HIERARCHY\nROOT Hips {\nOFFSET 0 0 0\nCHANNELS 2\n"),
            MS::kFailure);
  EXPECT_EQ(translator.failure(), "syntax error at line 4");
  EXPECT_THAT(host::errors(), IsEmpty());
  EXPECT_EQ(host::listNodes("joint").size(), 4u);
}

TEST(BvhOptions, ConstructionValues) {
  imocapImport translator;
  EXPECT_TRUE(translator.bonesOnly);
  EXPECT_FALSE(translator.merge);
  EXPECT_EQ(translator.scale, 1.0f);
  EXPECT_EQ(translator.rotationOrder, INT32_MIN);
  EXPECT_EQ(translator.startFrame, 0x80000000u);
  EXPECT_EQ(translator.endFrame, 0x80000000u);
  EXPECT_EQ(translator.sceneName, "");
}

TEST(BvhOptions, ValueAndEntryRules) {
  imocapImport translator;
  translator.parseOptions("merge=TRUE");
  EXPECT_TRUE(translator.merge);
  EXPECT_TRUE(translator.bonesOnly);
  translator.parseOptions("merge=1");
  EXPECT_FALSE(translator.merge);
  translator.parseOptions("merge=true;merge=yes");
  EXPECT_FALSE(translator.merge);

  translator.parseOptions("scale;rotationOrder=ZxY");
  EXPECT_EQ(translator.scale, 1.0f);
  EXPECT_EQ(translator.rotationOrder, 2);
  translator.parseOptions("scale=2=3;Scale=5");
  EXPECT_EQ(translator.scale, 2.0f);
  translator.parseOptions("scale=0.5;scale=4;startFrame=7");
  EXPECT_EQ(translator.scale, 4.0f);
  EXPECT_EQ(translator.startFrame, 7u);

  // Fields not named keep their values from earlier strings.
  translator.parseOptions("bonesOnly=false;endFrame=2147483648;rotationOrder=none");
  EXPECT_FALSE(translator.bonesOnly);
  EXPECT_EQ(translator.scale, 4.0f);
  EXPECT_EQ(translator.startFrame, 7u);
  EXPECT_EQ(translator.endFrame, 0x80000000u);
  EXPECT_EQ(translator.rotationOrder, INT32_MIN);
}

TEST(BvhOptions, IdentifiesBvhNamesInAnyCase) {
  imocapImport translator;
  auto kind = [&](const char* name) {
    MFileObject file;
    file.setRawFullName(name);
    return translator.identifyFile(file, "HIERARCHY", 9);
  };
  EXPECT_EQ(kind("clips/run.BVH"), MPxFileTranslator::kIsMyFileType);
  EXPECT_EQ(kind("clips/run.bvh.txt"), MPxFileTranslator::kNotMyFileType);
  EXPECT_EQ(kind("clips/run"), MPxFileTranslator::kNotMyFileType);
  EXPECT_EQ(translator.filter(), "*.bvh");
  EXPECT_TRUE(translator.haveReadMethod());
  EXPECT_TRUE(translator.haveWriteMethod());
  EXPECT_EQ(translator.defaultExtension(), "bvh");
}

// File names are UTF-8 (on Windows they must reach the file system as wide paths, whatever the
// code page) and arrive in the system's own form: backslashes and a drive letter there.
TEST_F(BvhImport, FileNamesWithSpacesAndNonAsciiLettersOpen) {
  const auto folder = directory / std::filesystem::u8path(
                                      "prise n\xC2\xB0"
                                      "1 \xC3\xA9t\xC3\xA9");
  std::filesystem::create_directories(folder);
  const auto file = folder / std::filesystem::u8path("d\xC3\xA9part \xE6\xAD\xA9.bvh");
  std::ofstream(file, std::ios::binary) << smallBvh(2);
  ASSERT_EQ(host::importFile(file.u8string()), MS::kSuccess);
  // A node name takes letters, digits and "_" only: Maya puts "_" for each byte of the rest.
  EXPECT_THAT(host::listNodes("transform"), ElementsAre("|d__part____"));
  EXPECT_EQ(host::listNodes("joint").size(), 4u);
  EXPECT_EQ(keys("Hips.rotateZ"), evenKeys(0, 0.5, channel(3, 0, 2)));
  EXPECT_THAT(host::errors(), IsEmpty());
}

TEST_F(BvhImport, NamesWithANamespaceKeepIt) {
  std::string text = smallBvh(1);
  text.replace(text.find("Chest"), 5, "mixamorig:Chest");
  std::string path = write("mixamo.bvh", text);
  ASSERT_EQ(host::importFile(path), MS::kSuccess);
  EXPECT_THAT(
      host::listNodes("joint"),
      ElementsAre("|mixamo|Hips", "|mixamo|Hips|mixamorig:Chest",
                  "|mixamo|Hips|mixamorig:Chest|mixamorig:Chest_Effector", "|mixamo|Hips|Leg"));
  EXPECT_EQ(keys("mixamorig:Chest.rotateY"), evenKeys(0, 0.5, {8}));
}

// A script's import without options passes an empty string: no option changes, so a new
// translator builds joints only and one that has read with options keeps them.
TEST_F(BvhImport, AnEmptyOptionStringChangesNoOption) {
  const std::string path = write("run.bvh", smallBvh(2));
  ASSERT_EQ(host::importFile(path, "BVH", std::string()), MS::kSuccess);
  EXPECT_THAT(host::listNodes("joint"),
              ElementsAre("|run|Hips", "|run|Hips|Chest", "|run|Hips|Chest|Chest_Effector",
                          "|run|Hips|Leg"));
  EXPECT_THAT(keys("Leg.rotateY"), IsEmpty());
  EXPECT_THAT(keys("Hips.translateX"), IsEmpty());

  host::resetScene();
  ASSERT_EQ(host::importFile(path, "BVH", std::string("bonesOnly=false;scale=2")), MS::kSuccess);
  host::resetScene();
  ASSERT_EQ(host::importFile(path, "BVH", std::string()), MS::kSuccess);
  EXPECT_EQ(keys("Hips.translateX"), evenKeys(0, 0.5, scaled(channel(0, 0, 2), 2)));
  EXPECT_EQ(keys("Leg.rotateY"), evenKeys(0, 0.5, channel(11, 0, 2)));
  EXPECT_THAT(host::errors(), IsEmpty());
}

TEST_F(BvhImport, AFailureStopsTheBuildAndKeepsWhatWasMade) {
  // The third joint has no name, which Maya refuses.
  std::string path =
      write("broken.bvh",
            "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\n"
            "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
            "JOINT Chest\n{\nOFFSET 0 5 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n"
            "JOINT\n{\nOFFSET 0 1 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n}\n}\n"
            "JOINT Leg\n{\nOFFSET 1 -4 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n}\n}\n"
            "MOTION\nFrames: 1\nFrame Time: 0.5\n0 1 2 3 4 5 6 7 8 9 10 11 12 13 14\n");
  EXPECT_EQ(host::importFile(path), MS::kInvalidParameter);
  EXPECT_THAT(host::listNodes("transform"), ElementsAre("|broken"));
  EXPECT_THAT(host::listNodes("joint"),
              ElementsAre("|broken|Hips", "|broken|Hips|Chest", "|broken|Hips|Chest|joint1"));
  EXPECT_EQ(keys("Chest.rotateZ"), evenKeys(0, 0.5, {6}));
  EXPECT_THAT(host::listNodes("animCurveTA").size(), 6u);
  EXPECT_THAT(host::listNodes("animCurveTL").size(), 3u);
  EXPECT_THAT(host::errors(),
              ElementsAre("Cannot import broken.bvh: the scene could not be built "
                          "(kInvalidParameter): Object is incompatible with this method"));
}

TEST_F(BvhImport, FailuresNameTheFileAndTheReason) {
  std::string header = smallBvh(2);
  auto importError = [&](const std::string& name, const std::string& contents) {
    host::resetScene();
    EXPECT_FALSE(host::importFile(write(name, contents), "BVH")) << name;
    std::vector<std::string> shown = host::errors();
    return shown.empty() ? std::string() : shown.back();
  };
  EXPECT_EQ(importError("header.bvh", header + "Frames: 1\nFrame Rate: 0.5\n"),
            "Cannot import header.bvh: syntax error at line 27");
  EXPECT_EQ(importError("channels.bvh", "HIERARCHY\nROOT a\n{\nOFFSET 0 0 0\nCHANNELS 4 x\n}\n"),
            "Cannot import channels.bvh: syntax error at line 5");
  EXPECT_EQ(importError("short.bvh", "HIERARCHY\nROOT Hips\n"),
            "Cannot import short.bvh: unexpected end of file at line 2");
  EXPECT_EQ(importError("twice.bvh",
                        "HIERARCHY\nROOT a\n{\nOFFSET 0 0 0\nCHANNELS 3 Xrotation Yrotation "
                        "Zrotation\nJOINT a\n{\nOFFSET 0 0 0\nCHANNELS 3 Xrotation Yrotation "
                        "Zrotation\n}\n}\n"),
            "Cannot import twice.bvh: a joint name is used twice at line 9");
  EXPECT_EQ(importError("empty.bvh", ""), "Cannot import empty.bvh: unexpected end of file");
  EXPECT_EQ(importError("bare.bvh", "HIERARCHY\n"),
            "Cannot import bare.bvh: the file holds no joints");
  EXPECT_EQ(importError("run.txt", header),
            "Cannot import run.txt: the file name does not end in .bvh");

  // Maya may name a file that has gone by the time the translator opens it.
  host::resetScene();
  imocapImport translator;
  MFileObject missing;
  missing.setRawFullName((directory / "gone.bvh").string().c_str());
  EXPECT_EQ(translator.reader(missing, "scale=1", MPxFileTranslator::kImportAccessMode),
            MS::kFailure);
  EXPECT_THAT(host::errors(), ElementsAre("Cannot import gone.bvh: the file could not be opened"));
}

}  // namespace
