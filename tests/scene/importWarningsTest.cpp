#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <maya/MStatus.h>

#include <optional>
#include <string>
#include <vector>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "scene/BvhSceneTest.h"

namespace {

using scenetest::evenKeys;
using scenetest::keys;
using scenetest::smallBvh;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using ImportWarnings = scenetest::BvhSceneTest;

// smallBvh(10) cut after frame 2 and four values of frame 3, as an interrupted download leaves it.
std::string shortBvh() {
  std::string text = smallBvh(10);
  const std::string frame3 = "\n30 31 32 33 ";
  return text.substr(0, text.find(frame3) + frame3.size());
}

// The warnings an import of the file shows with these options; the import must succeed.
std::vector<std::string> warningsOf(const std::string& path,
                                    const std::optional<std::string>& options = std::nullopt) {
  host::resetScene();
  EXPECT_EQ(host::importFile(path, "BVH", options), MS::kSuccess) << path;
  EXPECT_THAT(host::errors(), IsEmpty());
  return host::warnings();
}

// A translator keeps bonesOnly from its construction until an option string names it; until
// then a read that builds bones only says why there is no motion.
TEST_F(ImportWarnings, BonesOnlyNotNamedIsSaid) {
  const std::string path = write("run.bvh", smallBvh(2));
  EXPECT_THAT(warningsOf(path, "scale=0.01"),
              ElementsAre("run.bvh: only the joints were built, without motion: the options did "
                          "not name bonesOnly (bonesOnly=false keys the motion)"));
  EXPECT_THAT(host::listNodes("animCurveTL"), IsEmpty());
  EXPECT_THAT(warningsOf(path, "bonesOnly=true"), IsEmpty());
  EXPECT_THAT(warningsOf(path, "scale=0.01"), IsEmpty());
}

TEST_F(ImportWarnings, ShortFileKeysItsFramesAndSaysWhichAreZero) {
  const std::string path = write("short.bvh", shortBvh());
  EXPECT_THAT(warningsOf(path), ElementsAre("short.bvh: the file holds 3 of the 10 frames it "
                                            "declares; frames 3 to 9 are keyed at zero"));
  // Keys as before: every declared frame, the values read, zeros after them.
  EXPECT_EQ(keys("Hips.translateX"), evenKeys(0, 0.5, {0, 10, 20, 30, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(keys("Hips.rotateZ"), evenKeys(0, 0.5, {3, 13, 23, 33, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(keys("Chest.rotateZ"), evenKeys(0, 0.5, {6, 16, 26, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(keys("Leg.rotateY"), evenKeys(0, 0.5, {11, 21, 31, 0, 0, 0, 0, 0, 0, 0}));
}

// Only the frames the options key are named; without keys there is nothing to say.
TEST_F(ImportWarnings, ShortFileWarningFollowsTheKeyedFrames) {
  const std::string path = write("short.bvh", shortBvh());
  EXPECT_THAT(warningsOf(path, "bonesOnly=false;startFrame=2;endFrame=6"),
              ElementsAre("short.bvh: the file holds 3 of the 10 frames it declares; frames 3 "
                          "to 5 are keyed at zero"));
  EXPECT_THAT(warningsOf(path, "bonesOnly=false;startFrame=5;endFrame=6"),
              ElementsAre("short.bvh: the file holds 3 of the 10 frames it declares; frame 5 is "
                          "keyed at zero"));
  EXPECT_THAT(warningsOf(path, "bonesOnly=false;endFrame=3"), IsEmpty());
  EXPECT_THAT(warningsOf(path, "bonesOnly=true"), IsEmpty());
  EXPECT_THAT(warningsOf(write("whole.bvh", smallBvh(10))), IsEmpty());
}

TEST_F(ImportWarnings, ValuesThatAreNotNumbersAreCountedAndNamed) {
  std::string text = smallBvh(3);
  // Frame 1 is on line 25; "24x" reads as 24 and is a number.
  text.replace(text.find(" 14 15 "), 7, " x 15 ");
  text.replace(text.find(" 18 19"), 6, " - 19");
  text.replace(text.find("24 "), 3, "24x ");
  text.replace(text.find(" 25 "), 4, " nan ");
  const std::string path = write("values.bvh", text);
  EXPECT_THAT(warningsOf(path, "bonesOnly=true"),
              ElementsAre("values.bvh: 3 values are not numbers and were read as 0, the first "
                          "\"x\" at line 25"));
  EXPECT_THAT(warningsOf(path), ElementsAre("values.bvh: 3 values are not numbers and were read "
                                            "as 0, the first \"x\" at line 25"));
  EXPECT_EQ(keys("Hips.rotateX"), evenKeys(0, 0.5, {4, 0, 24}));
  EXPECT_EQ(keys("Hips.rotateY"), evenKeys(0, 0.5, {5, 15, 0}));
  EXPECT_EQ(keys("Hips.rotateZ"), evenKeys(0, 0.5, {3, 13, 23}));
  EXPECT_EQ(keys("Chest.rotateY"), evenKeys(0, 0.5, {8, 0, 28}));
  EXPECT_EQ(keys("Leg.rotateZ"), evenKeys(0, 0.5, {9, 19, 29}));

  text = smallBvh(2);
  text.replace(text.find(" 17 "), 4, " abc ");
  EXPECT_THAT(
      warningsOf(write("one.bvh", text)),
      ElementsAre("one.bvh: 1 value is not a number and was read as 0, \"abc\" at line 25"));
}

TEST_F(ImportWarnings, BothKindsTogetherAndNoneWhenTheReadFails) {
  std::string text = shortBvh();
  text.replace(text.find(" 12 "), 4, " ? ");
  EXPECT_THAT(warningsOf(write("both.bvh", text)),
              ElementsAre("both.bvh: the file holds 3 of the 10 frames it declares; frames 3 to 9 "
                          "are keyed at zero",
                          "both.bvh: 1 value is not a number and was read as 0, \"?\" at line 25"));

  // A file that fails to read shows its error and no warning.
  host::resetScene();
  text = smallBvh(2) + "Frames: 1\nFrame Rate: 0.5\n";
  EXPECT_FALSE(host::importFile(write("broken.bvh", text), "BVH"));
  EXPECT_THAT(host::warnings(), IsEmpty());
  EXPECT_THAT(host::errors(), ElementsAre("Cannot import broken.bvh: syntax error at line 27"));
}

// More frame lines than declared: the declared frames are keyed and the rest named; a further
// Frames block still follows the lines left out.
TEST_F(ImportWarnings, LinesPastTheDeclaredFramesAreLeftOutAndCounted) {
  const std::string path = write("extra.bvh", smallBvh(2) + "20 21 22 x\n30 31\n40\n");
  EXPECT_THAT(warningsOf(path), ElementsAre("extra.bvh: the file holds 3 lines of values past the "
                                            "2 frames it declares (lines 26 to 28); they were "
                                            "left out"));
  EXPECT_EQ(keys("Hips.translateX"), evenKeys(0, 0.5, {0, 10}));
  EXPECT_EQ(keys("Leg.rotateY"), evenKeys(0, 0.5, {11, 21}));

  std::string blocks = smallBvh(1) + "9\nFrames: 2\nFrame Time: 0.5\n";
  for (int f = 1; f < 3; ++f) {
    for (int c = 0; c < 12; ++c) blocks += std::to_string(f * 10 + c) + (c < 11 ? " " : "\n");
  }
  blocks += "1 2 3\n";
  EXPECT_THAT(warningsOf(write("blocks.bvh", blocks), "bonesOnly=true"),
              ElementsAre("blocks.bvh: the file holds 1 line of values past the 1 frame it "
                          "declares (line 25); it was left out",
                          "blocks.bvh: the file holds 1 line of values past the 2 frames it "
                          "declares (line 30); it was left out"));
}

// A file that ends inside its hierarchy or motion header imports what it holds and says so.
TEST_F(ImportWarnings, FilesEndingEarlySaySo) {
  std::string text = smallBvh(2);
  const std::string inHierarchy = text.substr(0, text.find("  JOINT Leg"));
  EXPECT_THAT(warningsOf(write("cut.bvh", inHierarchy)),
              ElementsAre("cut.bvh: the file ends inside its hierarchy (line 14); the joints read "
                          "so far are imported, without motion"));
  EXPECT_THAT(host::listNodes("joint"),
              ElementsAre("|cut|Hips", "|cut|Hips|Chest", "|cut|Hips|Chest|Chest_Effector"));

  // Inside a name, too.
  EXPECT_THAT(warningsOf(write("name.bvh", text.substr(0, text.find("  JOINT Leg") + 10))),
              ElementsAre("name.bvh: the file ends inside its hierarchy (line 15); the joints read "
                          "so far are imported, without motion"));
  EXPECT_EQ(host::listNodes("joint").size(), 3u);

  const std::string inHeader = text.substr(0, text.find("Frame Time"));
  EXPECT_THAT(warningsOf(write("header.bvh", inHeader), "bonesOnly=true"),
              ElementsAre("header.bvh: the file ends inside its motion header (line 22); no "
                          "frames are imported"));
  EXPECT_EQ(host::listNodes("joint").size(), 4u);

  // A second block's header cut short: the first block's frames are keyed, and said so.
  const std::string second = write("second.bvh", text + "Frames: 3\nFrame Time");
  EXPECT_THAT(warningsOf(second), ElementsAre("second.bvh: the file ends inside a motion header "
                                              "(line 27); the 2 frames before it are imported"));
  EXPECT_EQ(keys("Hips.translateX"), evenKeys(0, 0.5, {0, 10}));
  EXPECT_EQ(keys("Leg.rotateY"), evenKeys(0, 0.5, {11, 21}));
  EXPECT_THAT(warningsOf(second, "bonesOnly=false;startFrame=1"),
              ElementsAre("second.bvh: the file ends inside a motion header (line 27); the 1 "
                          "frame before it is imported"));
  EXPECT_THAT(warningsOf(second, "bonesOnly=true"),
              ElementsAre("second.bvh: the file ends inside its motion header (line 27); no "
                          "frames are imported"));
}

// Channel names that begin with no axis letter lose their values: counted, each named once.
TEST_F(ImportWarnings, ChannelNamesWithoutAnAxisAreCountedAndNamed) {
  std::string text = smallBvh(2);
  text.replace(text.find("Zrotation Xrotation Yrotation\n  JOINT Chest"), 9, "rotZ");
  text.replace(text.find("Zrotation Xrotation Yrotation\n    End Site"), 9, "rx");
  text.replace(text.find("Xrotation Yrotation\n  }"), 9, "rotZ");
  EXPECT_THAT(warningsOf(write("axes.bvh", text)),
              ElementsAre("axes.bvh: 3 channel names do not begin with an axis letter (X, Y or Z), "
                          "so their values are left out: \"rotZ\", \"rx\""));
  EXPECT_EQ(keys("Hips.rotateX"), evenKeys(0, 0.5, {4, 14}));
  EXPECT_EQ(keys("Hips.rotateZ"), evenKeys(0, 0.5, {0, 0}));

  text = smallBvh(1);
  text.replace(text.find("Zrotation Xrotation Yrotation\n  JOINT Chest"), 9, "rZ");
  EXPECT_THAT(warningsOf(write("one.bvh", text), "bonesOnly=true"),
              ElementsAre("one.bvh: 1 channel name does not begin with an axis letter (X, Y or Z), "
                          "so its values are left out: \"rZ\""));
}

}  // namespace
