#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MStatus.h>
#include <maya/MTime.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "scene/BvhSceneTest.h"

namespace {

using scenetest::evenKeys;
using scenetest::keys;
using scenetest::Keys;
using scenetest::smallBvh;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kMerge = "bonesOnly=false;merge=true";

class Merge : public scenetest::BvhSceneTest {
 protected:
  // Creates joints given as (name, parent path) in order; returns nothing, fails the test on error.
  // They turn in the rotate order yxz, as the files' Z X Y rotation channels do, so that they are
  // keyed with the files' own values.
  void rig(const std::vector<std::pair<std::string, std::string>>& joints,
           const std::string& type = "joint") {
    for (const auto& [name, parent] : joints) {
      auto colon = name.rfind(':');
      if (colon != std::string::npos) host::addNamespace(name.substr(0, colon));
      std::string path;
      ASSERT_EQ(host::createNode(type, name, parent, &path), MS::kSuccess) << name;
      if (type != "mesh") {
        ASSERT_EQ(host::setAttribute(path + ".rotateOrder", 4), MS::kSuccess);
      }
    }
  }

  std::string chain() {
    return write("chain.bvh",
                 "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\n"
                 "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
                 "JOINT Spine\n{\nOFFSET 0 5 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n"
                 "End Site\n{\nOFFSET 0 1 0\n}\n}\n}\n"
                 "MOTION\nFrames: 2\nFrame Time: 0.5\n"
                 "0 1 2 3 4 5 6 7 8\n10 11 12 13 14 15 16 17 18\n");
  }
};

TEST_F(Merge, NothingSelectedChangesNothing) {
  rig({{"hips", ""}, {"chest", "hips"}});
  std::string before = host::sceneJson();
  EXPECT_EQ(host::importFile(write("run.bvh", smallBvh(2)), "BVH", kMerge), MS::kInvalidParameter);
  EXPECT_THAT(host::errors(),
              ElementsAre("You should select the root joint firstly!",
                          "Cannot import run.bvh: the scene could not be built "
                          "(kInvalidParameter): Object is incompatible with this method"));
  std::string after = host::sceneJson();
  EXPECT_EQ(after.substr(after.find("\"nodes\"")), before.substr(before.find("\"nodes\"")));
}

TEST_F(Merge, KeysMatchingJointsAcrossNamespacesAndLetterCase) {
  rig({{"body", ""}}, "mesh");
  rig({{"rig:root", ""}, {"rig:CHEST", "rig:root"}, {"rig:leg", "rig:root"}});
  rig({{"tip", "rig:CHEST"}});
  ASSERT_EQ(host::select({"body", "rig:root"}), MS::kSuccess);
  host::setCurrentTime(1.0);

  ASSERT_EQ(host::importFile(write("run.bvh", smallBvh(2)), "BVH", kMerge), MS::kSuccess);
  EXPECT_THAT(host::listNodes("transform"), IsEmpty());
  EXPECT_THAT(host::listNodes("joint"),
              ElementsAre("|rig:root", "|rig:root|rig:CHEST", "|rig:root|rig:leg",
                          "|rig:root|rig:CHEST|tip"));
  // The root is the selected joint whatever its name, and it alone gets translations.
  EXPECT_EQ(keys("rig:root.translateY"), evenKeys(1.0, 0.5, {1, 11}));
  EXPECT_EQ(keys("rig:root.rotateZ"), evenKeys(1.0, 0.5, {3, 13}));
  EXPECT_EQ(keys("rig:CHEST.rotateX"), evenKeys(1.0, 0.5, {7, 17}));
  EXPECT_THAT(keys("rig:CHEST.translateX"), IsEmpty());
  EXPECT_EQ(keys("rig:leg.rotateY"), evenKeys(1.0, 0.5, {11, 21}));
  // The End Site matches the only child joint, which gets neither curves nor keys.
  EXPECT_THAT(keys("tip.rotateX"), IsEmpty());
  EXPECT_EQ(host::listNodes("animCurveTA").size(), 9u);
  EXPECT_EQ(host::listNodes("animCurveTL").size(), 3u);
  EXPECT_THAT(host::errors(), IsEmpty());
}

// smallBvh with every joint in namespace ns, as many published files name them.
std::string namespacedBvh(int frames, const std::string& ns) {
  std::string text = smallBvh(frames);
  for (const char* keyword : {"ROOT ", "JOINT "}) {
    for (auto at = text.find(keyword); at != std::string::npos; at = text.find(keyword, at + 1)) {
      text.insert(at + std::string(keyword).size(), ns + ":");
    }
  }
  return text;
}

TEST_F(Merge, NamespacedFileMergesBackOntoItsOwnImport) {
  ASSERT_EQ(host::importFile(write("walk.bvh", namespacedBvh(2, "mixamorig")), "BVH",
                             std::string("bonesOnly=false")),
            MS::kSuccess);
  ASSERT_EQ(host::select({"mixamorig:Hips"}), MS::kSuccess);

  // Four frames over the two imported: a joint left unmatched would keep two keys.
  ASSERT_EQ(host::importFile(write("walk4.bvh", namespacedBvh(4, "mixamorig")), "BVH", kMerge),
            MS::kSuccess);
  EXPECT_THAT(host::errors(), IsEmpty());
  EXPECT_EQ(keys("mixamorig:Hips.translateY"), evenKeys(0, 0.5, {1, 11, 21, 31}));
  EXPECT_EQ(keys("mixamorig:Hips.rotateZ"), evenKeys(0, 0.5, {3, 13, 23, 33}));
  EXPECT_EQ(keys("mixamorig:Chest.rotateX"), evenKeys(0, 0.5, {7, 17, 27, 37}));
  EXPECT_EQ(keys("mixamorig:Leg.rotateY"), evenKeys(0, 0.5, {11, 21, 31, 41}));
  EXPECT_THAT(keys("mixamorig:Chest_Effector.rotateX"), IsEmpty());
  EXPECT_EQ(host::listNodes("joint").size(), 4u);
}

// Names match without their namespaces on either side, and a name's own case does not matter.
TEST_F(Merge, NamespacesOnEitherSideAreLeftOutOfTheMatch) {
  rig({{"root", ""}, {"rig:leg", "root"}, {"arm", "root"}, {"CHEST", "root"}});
  ASSERT_EQ(host::select({"root"}), MS::kSuccess);
  std::string text = smallBvh(2);
  text.replace(text.find("JOINT Chest"), 11, "JOINT a:b:Chest");

  ASSERT_EQ(host::importFile(write("run.bvh", text), "BVH", kMerge), MS::kSuccess);
  EXPECT_EQ(keys("CHEST.rotateZ"), evenKeys(0, 0.5, {6, 16}));
  EXPECT_EQ(keys("rig:leg.rotateZ"), evenKeys(0, 0.5, {9, 19}));
  EXPECT_THAT(keys("arm.rotateZ"), IsEmpty());
}

// The End Site below Spine matches head, the only child of torso; with nothing to key, head keeps
// all its keys.
TEST_F(Merge, OnlyChildTakesTheKeysWhateverItsNameAndAnEndSiteKeepsThem) {
  rig({{"pelvis", ""}, {"torso", "pelvis"}, {"head", "torso"}});
  preKey("head", "rotateX", {{0.0, -1}, {0.5, -2}, {1.5, -3}});
  ASSERT_EQ(host::select({"pelvis"}), MS::kSuccess);

  ASSERT_EQ(host::importFile(chain(), "BVH", kMerge), MS::kSuccess);
  EXPECT_EQ(keys("torso.rotateX"), evenKeys(0, 0.5, {7, 17}));
  EXPECT_EQ(keys("head.rotateX"), (Keys{{0.0, -1}, {0.5, -2}, {1.5, -3}}));
  EXPECT_THAT(keys("head.rotateY"), IsEmpty());
}

TEST_F(Merge, ReplacesExactlyTheKeysInsideTheImportedSpan) {
  rig({{"hips", ""}, {"spine", "hips"}});
  // The span is [0.5, 1.5): keys nearest its ends but outside it stay.
  preKey("spine", "rotateY", {{0.4, -1}, {0.6, -2}, {1.45, -3}, {1.5, -4}, {3.0, -5}});
  ASSERT_EQ(host::select({"hips"}), MS::kSuccess);
  host::setCurrentTime(0.5);

  ASSERT_EQ(host::importFile(chain(), "BVH", kMerge), MS::kSuccess);
  EXPECT_EQ(keys("spine.rotateY"), (Keys{{0.4, -1}, {0.5, 8}, {1.0, 18}, {1.5, -4}, {3.0, -5}}));
}

TEST_F(Merge, TwoUnmatchedChildrenEndTheBuildAndKeepEarlierKeys) {
  rig({{"hips", ""}, {"arm1", "hips"}, {"arm2", "hips"}});
  ASSERT_EQ(host::select({"hips"}), MS::kSuccess);

  EXPECT_EQ(host::importFile(chain(), "BVH", kMerge), MS::kInvalidParameter);
  EXPECT_EQ(keys("hips.rotateX"), evenKeys(0, 0.5, {4, 14}));
  EXPECT_THAT(keys("arm1.rotateX"), IsEmpty());
  EXPECT_THAT(keys("arm2.rotateX"), IsEmpty());
  EXPECT_THAT(host::errors(),
              ElementsAre("Cannot import chain.bvh: the scene could not be built at joint "
                          "\"Spine\" (kInvalidParameter): Object is incompatible with this "
                          "method"));
}

TEST_F(Merge, SkipsJointsWhoseParentHasNoChildJoints) {
  rig({{"hips", ""}, {"chest", "hips"}, {"leg", "hips"}});
  rig({{"prop", "chest"}}, "transform");
  ASSERT_EQ(host::select({"hips"}), MS::kSuccess);

  ASSERT_EQ(host::importFile(write("run.bvh", smallBvh(2)), "BVH", kMerge), MS::kSuccess);
  EXPECT_EQ(keys("chest.rotateZ"), evenKeys(0, 0.5, {6, 16}));
  EXPECT_THAT(keys("prop.rotateX"), IsEmpty());
  EXPECT_EQ(keys("leg.rotateZ"), evenKeys(0, 0.5, {9, 19}));
  EXPECT_EQ(host::listNodes("joint").size(), 3u);
}

TEST_F(Merge, UnlocksAndKeysALockedNonKeyableRotate) {
  rig({{"hips", ""}, {"spine", "hips"}});
  MPlug plug = MFnDependencyNode(host::findNode("hips")).findPlug("rotateX", false);
  ASSERT_EQ(plug.setKeyable(false), MS::kSuccess);
  ASSERT_EQ(plug.setLocked(true), MS::kSuccess);
  ASSERT_EQ(host::select({"hips"}), MS::kSuccess);

  ASSERT_EQ(host::importFile(chain(), "BVH", kMerge), MS::kSuccess);
  EXPECT_TRUE(plug.isKeyable());
  EXPECT_FALSE(plug.isLocked());
  EXPECT_EQ(keys("hips.rotateX"), evenKeys(0, 0.5, {4, 14}));
}

// Matched joints are keyed as an import keys them: translations on the axes with position
// channels, any joint; a root that only turns leaves the target's translate as it was.
TEST_F(Merge, PositionChannelsBelowTheRootKeyTheMatchedJoint) {
  rig({{"base", ""}, {"hips", "base"}, {"spine", "hips"}});
  ASSERT_EQ(host::setAttribute("base.translate", std::array<double, 3>{1, 2, 3}), MS::kSuccess);
  // Hips turns as its X Z Y channels do.
  ASSERT_EQ(host::setAttribute("hips.rotateOrder", 1), MS::kSuccess);
  ASSERT_EQ(host::select({"base"}), MS::kSuccess);
  const std::string path =
      write("still.bvh",
            "HIERARCHY\nROOT Base\n{\nOFFSET 0 0 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n"
            "JOINT Hips\n{\nOFFSET 0 9 0\n"
            "CHANNELS 6 Xrotation Yposition Zrotation Xposition Yrotation Zposition\n"
            "JOINT Spine\n{\nOFFSET 0 5 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n}\n}\n}\n"
            "MOTION\nFrames: 2\nFrame Time: 0.5\n"
            "0 1 2 3 4 5 6 7 8 9 10 11\n20 21 22 23 24 25 26 27 28 29 30 31\n");
  ASSERT_EQ(host::importFile(path, "BVH", kMerge), MS::kSuccess);
  EXPECT_THAT(keys("base.translateX"), IsEmpty());
  EXPECT_EQ(scenetest::translation("base"), (std::array<double, 3>{1, 2, 3}));
  EXPECT_EQ(keys("base.rotateZ"), evenKeys(0, 0.5, {0, 20}));
  EXPECT_EQ(keys("hips.translateX"), evenKeys(0, 0.5, {6, 26}));
  EXPECT_EQ(keys("hips.translateY"), evenKeys(0, 0.5, {4, 24}));
  EXPECT_EQ(keys("hips.translateZ"), evenKeys(0, 0.5, {8, 28}));
  EXPECT_EQ(keys("hips.rotateX"), evenKeys(0, 0.5, {3, 23}));
  EXPECT_EQ(keys("hips.rotateY"), evenKeys(0, 0.5, {7, 27}));
  EXPECT_THAT(keys("spine.translateY"), IsEmpty());
  EXPECT_EQ(keys("spine.rotateY"), evenKeys(0, 0.5, {11, 31}));
  EXPECT_THAT(host::errors(), IsEmpty());
}

}  // namespace
