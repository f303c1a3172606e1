// The "BVH" translator inside MComputation: progress, and an interrupt (Esc in Maya) that leaves
// the scene as it was before the import.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <maya/MFileObject.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MGlobal.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MPxFileTranslator.h>
#include <maya/MStatus.h>
#include <maya/MTime.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "host/HostScene.h"
#include "host/Interrupts.h"
#include "host/Plugins.h"
#include "scene/BvhSceneTest.h"
#include "scene/imocapImport.h"

namespace {

using scenetest::keys;
using scenetest::Keys;
using scenetest::smallBvh;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const char kCancelled[] =
    "Cannot import run.bvh: the import was cancelled (interrupted); the scene is as it was before "
    "it";

// The scene as JSON without the errors shown, which an interrupted import adds to.
std::string nodesJson() {
  const std::string json = host::sceneJson();
  return json.substr(json.find("\"nodes\""));
}

class ImportInterrupt : public scenetest::BvhSceneTest {
 protected:
  // A skeleton of smallBvh's joints, some plugs keyed, locked or not keyable, selected for a
  // merge, with a mesh beside it.
  void riggedScene() {
    ASSERT_TRUE(host::createNode("mesh", "body"));
    ASSERT_TRUE(host::createNode("joint", "Hips"));
    ASSERT_TRUE(host::createNode("joint", "Chest", "Hips"));
    ASSERT_TRUE(host::createNode("joint", "Leg", "Hips"));
    preKey("Hips", "translateX", {{0, 1}, {1.5, 2}, {40, 3}});
    preKey("Chest", "rotateZ", {{0.5, 9}});
    preKey("Leg", "rotateX", {{-1, 4}, {0.25, 5}});
    // Tangents of several types, one fixed, for a restore to put back.
    MFnAnimCurve hips(MFnDependencyNode(host::findNode("Hips")).findPlug("translateX", false));
    ASSERT_EQ(hips.setOutTangentType(0, MFnAnimCurve::kTangentStep), MS::kSuccess);
    ASSERT_EQ(hips.setInTangentType(1, MFnAnimCurve::kTangentLinear), MS::kSuccess);
    ASSERT_EQ(hips.setTangent(1, 0.6, 0.8, false, nullptr, false), MS::kSuccess);
    ASSERT_EQ(hips.setInTangentType(2, MFnAnimCurve::kTangentSmooth), MS::kSuccess);
    MPlug plug = MFnDependencyNode(host::findNode("Leg")).findPlug("rotateY", false);
    ASSERT_EQ(plug.setKeyable(false), MS::kSuccess);
    ASSERT_EQ(plug.setLocked(true), MS::kSuccess);
    ASSERT_TRUE(host::select({"Hips"}));
  }
};

TEST_F(ImportInterrupt, HalfwayThroughAnImportLeavesTheSceneAsBefore) {
  ASSERT_TRUE(host::createNode("transform", "stage"));
  ASSERT_TRUE(host::importFile(write("old.bvh", smallBvh(3))));
  const std::string before = nodesJson();
  const std::string path = write("run.bvh", smallBvh(20));

  host::interruptAtProgress(0.5);
  EXPECT_EQ(host::importFile(path), MS::kFailure);
  EXPECT_THAT(host::errors(), ElementsAre(kCancelled));
  EXPECT_EQ(nodesJson(), before);
  // Interrupted at the joint that crossed half way, after two of the four (the end site is one)
  // were built.
  const host::ComputationRecord record = host::lastComputation();
  EXPECT_TRUE(record.interrupted);
  EXPECT_FALSE(record.active);
  EXPECT_EQ(record.polls, 3);
  EXPECT_GE(record.progress - record.progressMin, (record.progressMax - record.progressMin) / 2);

  // The request was spent: the same import runs through, polled before each joint.
  ASSERT_TRUE(host::importFile(path));
  EXPECT_EQ(host::lastComputation().polls, 4);
  EXPECT_FALSE(host::lastComputation().interrupted);
  EXPECT_THAT(host::listNodes("joint"), ::testing::Contains("|run|Hips|Leg"));
}

TEST_F(ImportInterrupt, AnInterruptedMergePutsBackEveryCurveItChanged) {
  riggedScene();
  const std::string before = nodesJson();
  const std::string path = write("run.bvh", smallBvh(4));
  host::setCurrentTime(1);

  host::interruptAtProgress(0.5);
  EXPECT_EQ(host::importFile(path, "BVH", "bonesOnly=false;merge=true"), MS::kFailure);
  EXPECT_THAT(host::errors(), ElementsAre(kCancelled));
  EXPECT_EQ(nodesJson(), before);
  MFnAnimCurve hips(MFnDependencyNode(host::findNode("Hips")).findPlug("translateX", false));
  double x = 0;
  double y = 0;
  ASSERT_EQ(hips.getTangent(1, x, y, false), MS::kSuccess);
  EXPECT_DOUBLE_EQ(y / x, 0.8 / 0.6) << "the fixed tangent's slope";

  // The same merge run through changes those curves: the comparison above could see it.
  ASSERT_TRUE(host::importFile(path, "BVH", "bonesOnly=false;merge=true"));
  EXPECT_NE(nodesJson(), before);
  EXPECT_EQ(keys("Hips.translateX"),
            (Keys{{0, 1}, {1, 0}, {1.5, 10}, {2, 20}, {2.5, 30}, {40, 3}}));
}

TEST_F(ImportInterrupt, AnInterruptBeforeTheFirstJointBuildsNothing) {
  riggedScene();
  const std::string before = nodesJson();
  for (const char* options : {"bonesOnly=false", "bonesOnly=true", "bonesOnly=false;merge=true"}) {
    host::requestInterrupt();
    EXPECT_EQ(host::importFile(write("run.bvh", smallBvh(2)), "BVH", options), MS::kFailure)
        << options;
    EXPECT_EQ(host::lastComputation().polls, 1) << options;
    EXPECT_EQ(nodesJson(), before) << options;
  }
  EXPECT_THAT(host::errors(), ElementsAre(kCancelled, kCancelled, kCancelled));
}

TEST_F(ImportInterrupt, TheProgressWindowIsForInteractiveSessionsOnly) {
  const std::string path = write("run.bvh", smallBvh(2));
  ASSERT_TRUE(host::importFile(path));
  EXPECT_EQ(host::lastComputation().begun, 1);
  EXPECT_FALSE(host::lastComputation().progressWindow);
  EXPECT_TRUE(host::lastComputation().interruptible);

  host::setMayaState(MGlobal::kInteractive);
  ASSERT_TRUE(host::openFile(path));
  EXPECT_EQ(host::lastComputation().begun, 2);
  EXPECT_TRUE(host::lastComputation().progressWindow);
  // Every joint counted: the last poll came with all but the last of the four done.
  EXPECT_EQ(host::lastComputation().progress, host::lastComputation().progressMax * 3 / 4);
  EXPECT_THAT(host::errors(), IsEmpty());
}

// An exception out of a build (memory running out in a scene call) leaves no computation behind
// in the translator: its next read begins one of its own.
TEST_F(ImportInterrupt, AnExceptionOutOfTheBuildLeavesNoComputationBehind) {
  MFileObject file;
  file.setRawFullName(write("run.bvh", smallBvh(2)).c_str());
  imocapImport translator;
  host::setInterruptSource([]() -> bool { throw std::bad_alloc(); });
  EXPECT_EQ(translator.reader(file, "bonesOnly=false", MPxFileTranslator::kImportAccessMode),
            MS::kFailure);
  host::setInterruptSource(nullptr);
  EXPECT_EQ(translator.computation, nullptr);
  EXPECT_THAT(host::errors(), ElementsAre("Cannot import run.bvh: out of memory"));

  host::resetScene();
  ASSERT_EQ(translator.reader(file, "bonesOnly=false", MPxFileTranslator::kImportAccessMode),
            MS::kSuccess);
  EXPECT_EQ(translator.computation, nullptr);
  EXPECT_EQ(keys("Leg.rotateY").size(), 2u);
}

}  // namespace
