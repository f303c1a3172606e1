// What an import does to the scene's time: keys on a standard rate's whole frames when the
// file's frame time is that rate rounded, the time slider grown to the keys, the scene's rate
// taken from the file when asked, and all of it in the scene Maya would save.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <maya/MAnimControl.h>
#include <maya/MStatus.h>
#include <maya/MTime.h>

#include <string>
#include <vector>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "host/SceneMayaAscii.h"
#include "scene/BvhSceneTest.h"

namespace {

using scenetest::keys;
using scenetest::smallBvh;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

using ImportTimeline = scenetest::BvhSceneTest;

const char* const kKeyed = "bonesOnly=false";

// frames frames of smallBvh with the frame time written as given.
std::string withFrameTime(int frames, const std::string& frameTime) {
  std::string text = smallBvh(frames);
  const std::string line = "Frame Time: 0.500000";
  return text.replace(text.find(line), line.size(), "Frame Time: " + frameTime);
}

double film(const MTime& time) { return time.as(MTime::kFilm); }

// 2752 frames at ".0083333" end at 22.925 s: film frame 550.2 exactly, not the 550.1978 the
// written frame time would give. The report says which rate the keys follow.
TEST_F(ImportTimeline, RoundedFrameTimeKeysOnTheStandardRatesFrames) {
  ASSERT_EQ(host::importFile(write("cmu.bvh", withFrameTime(2752, ".0083333")), "BVH", kKeyed),
            MS::kSuccess);
  EXPECT_THAT(host::errors(), IsEmpty());
  EXPECT_THAT(host::warnings(),
              Contains(HasSubstr("frame time 0.0083333 s is read as 120 frames/s")));
  const scenetest::Keys rotate = keys("Chest.rotateX");
  ASSERT_EQ(rotate.size(), 2752u);
  for (std::size_t i = 0; i < rotate.size(); i += 250) {
    EXPECT_DOUBLE_EQ(rotate[i].first * 120.0, static_cast<double>(i)) << i;
  }
  EXPECT_NEAR(MTime(rotate.back().first, MTime::kSeconds).as(MTime::kFilm), 550.2, 1e-9);

  // Played at 24 frames/s the keys run to film frame 550.2: the slider reaches 551.
  EXPECT_EQ(film(MAnimControl::minTime()), 0.0);
  EXPECT_EQ(film(MAnimControl::maxTime()), 551.0);
  EXPECT_EQ(film(MAnimControl::animationStartTime()), 0.0);
  EXPECT_EQ(film(MAnimControl::animationEndTime()), 551.0);
  EXPECT_EQ(MTime::uiUnit(), MTime::kFilm);
}

// A frame time no standard rate is within 0.1% of keys as written, and says nothing.
TEST_F(ImportTimeline, OtherFrameTimesKeyAsWritten) {
  ASSERT_EQ(host::importFile(write("odd.bvh", withFrameTime(5, "0.0123")), "BVH", kKeyed),
            MS::kSuccess);
  EXPECT_THAT(host::warnings(), IsEmpty());
  const scenetest::Keys rotate = keys("Hips.rotateZ");
  ASSERT_EQ(rotate.size(), 5u);
  EXPECT_DOUBLE_EQ(rotate[4].first, 4 * 0.0123);
}

// The scene's rate becomes the file's, the slider is in its frames, and the saved scene says so.
TEST_F(ImportTimeline, SceneRateTakesTheFilesRateIntoTheSavedScene) {
  MAnimControl::setCurrentTime(MTime(10.0, MTime::kFilm));
  ASSERT_EQ(host::importFile(write("fast.bvh", withFrameTime(600, "0.0083333")), "BVH",
                             std::string(kKeyed) + ";sceneRate=true"),
            MS::kSuccess);
  EXPECT_EQ(MTime::uiUnit(), MTime::k120FPS);
  // From film frame 10 (120fps frame 50): 600 frames end at 649. The start keeps frame 1, the
  // animation range its end at film frame 200.
  EXPECT_EQ(MAnimControl::maxTime().as(MTime::k120FPS), 649.0);
  EXPECT_EQ(film(MAnimControl::minTime()), 1.0);
  const std::string scene = host::sceneMayaAscii("fast.ma");
  EXPECT_THAT(scene, HasSubstr("-t 120fps;"));
  EXPECT_THAT(scene, HasSubstr("playbackOptions -min 5 -max 649 -ast 5 -aet 1000 "));
}

// Maya has no unit of 81.3 frames/s: the scene keeps its own, and a warning says why.
TEST_F(ImportTimeline, SceneRateWithoutAUnitWarnsAndKeepsTheScenes) {
  ASSERT_EQ(host::importFile(write("odd.bvh", withFrameTime(5, "0.0123")), "BVH",
                             std::string(kKeyed) + ";sceneRate=true"),
            MS::kSuccess);
  EXPECT_EQ(MTime::uiUnit(), MTime::kFilm);
  EXPECT_THAT(host::warnings(),
              Contains(HasSubstr("the scene's time unit was left as it is: Maya has no unit of")));
}

// The ranges only grow; fillTimeline=false and bones only leave them alone.
TEST_F(ImportTimeline, RangesNeverShrinkAndAreLeftAloneWhenAsked) {
  ASSERT_EQ(MAnimControl::setAnimationStartEndTime(MTime(-50.0), MTime(5000.0)), MS::kSuccess);
  ASSERT_EQ(MAnimControl::setMinMaxTime(MTime(-10.0), MTime(3000.0)), MS::kSuccess);
  ASSERT_EQ(host::importFile(write("short.bvh", smallBvh(10)), "BVH", kKeyed), MS::kSuccess);
  EXPECT_EQ(film(MAnimControl::minTime()), -10.0);
  EXPECT_EQ(film(MAnimControl::maxTime()), 3000.0);
  EXPECT_EQ(film(MAnimControl::animationStartTime()), -50.0);
  EXPECT_EQ(film(MAnimControl::animationEndTime()), 5000.0);

  host::resetScene();
  const std::string longer = write("long.bvh", smallBvh(400));
  ASSERT_EQ(host::importFile(longer, "BVH", std::string(kKeyed) + ";fillTimeline=false"),
            MS::kSuccess);
  EXPECT_EQ(film(MAnimControl::maxTime()), 120.0);
  ASSERT_EQ(host::importFile(longer, "BVH", "bonesOnly=true;fillTimeline=true"), MS::kSuccess);
  EXPECT_EQ(film(MAnimControl::maxTime()), 120.0);
  // 400 frames half a second apart from time 0: the last at film frame 4788.
  ASSERT_EQ(host::importFile(longer, "BVH", std::string(kKeyed) + ";fillTimeline=true"),
            MS::kSuccess);
  EXPECT_EQ(film(MAnimControl::maxTime()), 4788.0);
  EXPECT_EQ(film(MAnimControl::animationEndTime()), 4788.0);
}

// A merge that keys frames grows the slider as an import does.
TEST_F(ImportTimeline, MergeFillsTheTimeline) {
  ASSERT_EQ(host::importFile(write("rig.bvh", smallBvh(2)), "BVH", kKeyed), MS::kSuccess);
  ASSERT_EQ(host::select({"Hips"}), MS::kSuccess);
  ASSERT_EQ(host::importFile(write("take.bvh", withFrameTime(900, "0.033333")), "BVH",
                             std::string(kKeyed) + ";merge=true"),
            MS::kSuccess);
  EXPECT_THAT(host::errors(), IsEmpty());
  // 900 frames at 30 frames/s: the last at film frame 719.2.
  EXPECT_EQ(film(MAnimControl::maxTime()), 720.0);
  EXPECT_NEAR(MTime(keys("Hips.rotateZ").back().first, MTime::kSeconds).as(MTime::kNTSCFrame),
              899.0, 1e-9);
}

}  // namespace
