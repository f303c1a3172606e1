#include <gtest/gtest.h>
#include <host/HostScene.h>
#include <host/Plugins.h>
#include <host/SceneMayaAscii.h>
#include <maya/MAnimControl.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MPlug.h>
#include <maya/MTime.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "support/TempDirectory.h"
#include "support/TextFiles.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

class SceneMayaAscii : public ::testing::Test {
 protected:
  void SetUp() override { host::resetScene(); }
  void TearDown() override { host::resetScene(); }

  void create(const std::string& type, const std::string& name, const std::string& parent = "") {
    ASSERT_TRUE(host::createNode(type, name, parent));
  }

  // A curve of the type on "node.attribute" with keys (seconds, value in internal units).
  void key(const std::string& node, const char* attribute, MFnAnimCurve::AnimCurveType type,
           const std::vector<std::pair<double, double>>& keys) {
    MObject object = host::findNode(node);
    MPlug plug = MFnDependencyNode(object).findPlug(attribute, true);
    MFnAnimCurve curve;
    MStatus status;
    curve.create(object, plug, type, nullptr, &status);
    ASSERT_TRUE(status);
    for (const auto& [seconds, value] : keys) {
      ASSERT_TRUE(curve.addKeyframe(MTime(seconds, MTime::kSeconds), value));
    }
  }

  void expectLines(const std::vector<std::string>& expected) {
    const std::vector<std::string> written = lines(host::sceneMayaAscii("walk.ma"));
    for (std::size_t i = 0; i < std::max(expected.size(), written.size()); ++i) {
      EXPECT_EQ(i < written.size() ? written[i] : "<missing>",
                i < expected.size() ? expected[i] : "<extra>")
          << "line " << i + 1;
    }
  }
};

TEST_F(SceneMayaAscii, SkeletonWithCurvesIsWrittenLineByLine) {
  create("transform", "walk");
  create("joint", "Hips", "walk");
  ASSERT_TRUE(host::setAttribute("Hips.translate", std::array<double, 3>{0, 96, 0}));
  ASSERT_TRUE(host::setAttribute("Hips.rotateOrder", 2));
  create("joint", "Spine", "Hips");
  ASSERT_TRUE(host::setAttribute("|walk|Hips|Spine.rotate", std::array<double, 3>{10, 0, 0}));
  ASSERT_TRUE(host::setAttribute("|walk|Hips|Spine.jointOrient", std::array<double, 3>{0, 0, 90}));
  create("transform", "prop");
  create("joint", "Spine", "prop");
  create("joint", "Tip", "|prop|Spine");
  ASSERT_TRUE(host::setAttribute("Tip.translate", std::array<double, 3>{0.5, 0, -2.25}));
  create("mesh", "ignored");
  key("Hips", "translateY", MFnAnimCurve::kAnimCurveTL, {{0, 96}, {1.0 / 120, 97.5}});
  key("|walk|Hips|Spine", "rotateX", MFnAnimCurve::kAnimCurveTA,
      {{0, 0}, {1.0 / 120, 10 * kPi / 180}, {2.0 / 120, -20 * kPi / 180}});

  {
    // Maya's tangent codes where a key's type is not the default (auto): linear 2, step 5,
    // stepNext 17.
    MFnAnimCurve spine(MFnDependencyNode(host::findNode("|walk|Hips|Spine")).findPlug("rx", false));
    ASSERT_EQ(spine.setInTangentType(1, MFnAnimCurve::kTangentLinear), MS::kSuccess);
    ASSERT_EQ(spine.setOutTangentType(0, MFnAnimCurve::kTangentStep), MS::kSuccess);
    ASSERT_EQ(spine.setOutTangentType(2, MFnAnimCurve::kTangentStepNext), MS::kSuccess);
  }
  const std::vector<std::string> curves = host::listNodes("animCurveTA");
  ASSERT_EQ(curves.size(), 1u);
  const std::string spineCurve = curves[0];
  const std::string hipsCurve = host::listNodes("animCurveTL").at(0);
  expectLines({
      "//Maya ASCII 2022 scene",
      "//Name: walk.ma",
      "//Codeset: UTF-8",
      "requires maya \"2022\";",
      "currentUnit -l centimeter -a degree -t 120fps;",
      "fileInfo \"application\" \"maya\";",
      "fileInfo \"product\" \"Maya 2022\";",
      "fileInfo \"version\" \"2022\";",
      "createNode transform -n \"walk\";",
      "createNode joint -n \"Hips\" -p \"walk\";",
      "\tsetAttr \".t\" -type \"double3\" 0 96 0 ;",
      "\tsetAttr \".ro\" 2;",
      "createNode joint -n \"Spine\" -p \"Hips\";",
      "\tsetAttr \".r\" -type \"double3\" 10 0 0 ;",
      "\tsetAttr \".jo\" -type \"double3\" 0 0 90 ;",
      "createNode transform -n \"prop\";",
      "createNode joint -n \"Spine\" -p \"prop\";",
      "createNode joint -n \"Tip\" -p \"|prop|Spine\";",
      "\tsetAttr \".t\" -type \"double3\" 0.5 0 -2.25 ;",
      "createNode animCurveTL -n \"" + hipsCurve + "\";",
      "\tsetAttr \".tan\" 18;",
      "\tsetAttr \".wgt\" no;",
      "\tsetAttr -s 2 \".ktv[0:1]\"  0 96 1 97.5;",
      "createNode animCurveTA -n \"" + spineCurve + "\";",
      "\tsetAttr \".tan\" 18;",
      "\tsetAttr \".wgt\" no;",
      "\tsetAttr -s 3 \".ktv[0:2]\"  0 0 1 10 2 -20;",
      "\tsetAttr -s 3 \".kit[1]\"  2;",
      "\tsetAttr -s 3 \".kot[0:2]\"  5 18 17;",
      "createNode script -n \"sceneConfigurationScriptNode\";",
      "\tsetAttr \".b\" -type \"string\" \"playbackOptions -min 5 -max 600 -ast 5 -aet 1000 \";",
      "\tsetAttr \".st\" 6;",
      "connectAttr \"" + hipsCurve + ".o\" \"Hips.ty\";",
      "connectAttr \"" + spineCurve + ".o\" \"|walk|Hips|Spine.rx\";",
      "// End of walk.ma",
  });
}

TEST_F(SceneMayaAscii, TimeUnitIsTheLowestRateWithWholeFrames) {
  create("joint", "Hips");
  key("Hips", "translateX", MFnAnimCurve::kAnimCurveTL, {{0, 1}, {1.0 / 30, 2}, {0.1, 3}});
  EXPECT_EQ(lines(host::sceneMayaAscii("a.ma"))[4], "currentUnit -l centimeter -a degree -t ntsc;");
}

TEST_F(SceneMayaAscii, KeysOffEveryRateStayFractionalOnFilm) {
  create("joint", "Hips");
  key("Hips", "translateX", MFnAnimCurve::kAnimCurveTL, {{0.0125, 1}, {1.0 / 7, 2}});
  const std::vector<std::string> written = lines(host::sceneMayaAscii("a.ma"));
  EXPECT_EQ(written[4], "currentUnit -l centimeter -a degree -t film;");
  EXPECT_EQ(written[12], "\tsetAttr -s 2 \".ktv[0:1]\"  0.3 1 3.428571429 2;");
}

TEST_F(SceneMayaAscii, LongKeyListsContinueEveryEightKeys) {
  create("joint", "Hips");
  std::vector<std::pair<double, double>> keys;
  for (int frame = 0; frame < 10; ++frame) keys.push_back({frame / 24.0, frame});
  key("Hips", "translateX", MFnAnimCurve::kAnimCurveTL, keys);
  const std::vector<std::string> written = lines(host::sceneMayaAscii("a.ma"));
  EXPECT_EQ(written[12], "\tsetAttr -s 10 \".ktv[0:9]\"  0 0 1 1 2 2 3 3 4 4 5 5 6 6 7 7");
  EXPECT_EQ(written[13], "\t\t8 8 9 9;");
}

TEST_F(SceneMayaAscii, TheScenesTimeUnitWinsWhenItsFramesHoldTheKeys) {
  create("joint", "Hips");
  key("Hips", "translateX", MFnAnimCurve::kAnimCurveTL, {{0, 1}, {0.5, 2}});
  EXPECT_EQ(lines(host::sceneMayaAscii("a.ma"))[4], "currentUnit -l centimeter -a degree -t film;")
      << "not 2fps";

  // A time the scene's unit holds (pal: frame 5) though film does not.
  host::emptyScene();
  create("joint", "Hips");
  key("Hips", "translateX", MFnAnimCurve::kAnimCurveTL, {{0, 1}, {0.2, 2}});
  ASSERT_TRUE(host::runCommand("currentUnit", {"-t", "pal", "-l", "in", "-a", "rad"}));
  const std::vector<std::string> written = lines(host::sceneMayaAscii("a.ma"));
  EXPECT_EQ(written[4], "currentUnit -l inch -a radian -t pal;");
  EXPECT_EQ(written[12], "\tsetAttr -s 2 \".ktv[0:1]\"  0 0.393700787401575 5 0.78740157480315;");
}

TEST_F(SceneMayaAscii, TimeSliderRangesAreWrittenInTheFilesFrames) {
  ASSERT_EQ(MAnimControl::setMinMaxTime(MTime(0.5, MTime::kSeconds), MTime(90.0, MTime::kFilm)),
            MS::kSuccess);
  ASSERT_EQ(MAnimControl::setAnimationStartEndTime(MTime(-1.0, MTime::kSeconds),
                                                   MTime(5.0, MTime::kSeconds)),
            MS::kSuccess);
  EXPECT_EQ(MAnimControl::setMinMaxTime(MTime(2.0, MTime::kSeconds), MTime(1.0, MTime::kSeconds)),
            MS::kInvalidParameter);
  EXPECT_EQ(MAnimControl::setMaxTime(MTime(0.25, MTime::kSeconds)), MS::kInvalidParameter)
      << "before the minimum";
  EXPECT_EQ(MAnimControl::minTime(), MTime(12.0, MTime::kFilm));
  EXPECT_EQ(MAnimControl::animationEndTime(), MTime(120.0, MTime::kFilm));
  ASSERT_TRUE(host::runCommand("currentUnit", {"-t", "ntsc"}));
  const std::vector<std::string> written = lines(host::sceneMayaAscii("a.ma"));
  EXPECT_EQ(written[9],
            "\tsetAttr \".b\" -type \"string\" \"playbackOptions -min 15 -max 112.5 -ast -30 "
            "-aet 150 \";");
  host::emptyScene();
  EXPECT_EQ(MAnimControl::maxTime(), MTime(120.0, MTime::kFilm)) << "a new scene's";
  EXPECT_EQ(MAnimControl::animationStartTime(), MTime(1.0, MTime::kFilm));
}

// A UTF-8 path with the platform's own separators; the file names itself without its folder.
TEST_F(SceneMayaAscii, WritesToAUtf8PathAndNamesTheFileAlone) {
  create("joint", "Hips");
  TempDirectory directory(::testing::TempDir(), "sceneMayaAscii");
  ASSERT_FALSE(directory.path().empty());
  const std::string name = "sc\xc3\xa8ne.ma";
  const std::filesystem::path file =
      std::filesystem::u8path(directory.path()) / std::filesystem::u8path(name);
  ASSERT_EQ(host::writeSceneMayaAscii(file.u8string()), MS::kSuccess);
  std::ifstream in(file, std::ios::binary);
  ASSERT_TRUE(in.is_open());
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
            host::sceneMayaAscii(name));
}

TEST_F(SceneMayaAscii, WriteFailsWhereNoFileCanBeMade) {
  EXPECT_EQ(host::writeSceneMayaAscii("no-such-directory/scene.ma"), MS::kFailure);
}

}  // namespace
