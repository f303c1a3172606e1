// Export through the "BVH" translator's writer, checked by what the files look like: the file
// exported from an import moves every joint where the original file does (the tests' own
// reading and forward kinematics of both, support/BvhReference), and a rig exports what the rig
// shows (its joints' world positions worked out from the scene, support/JointPoses).

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MPlug.h>
#include <maya/MStatus.h>
#include <maya/MTime.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "scene/BvhSceneTest.h"
#include "support/BvhReference.h"
#include "support/JointPoses.h"
#include "support/TextFiles.h"

namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Vector = std::array<double, 3>;

constexpr double kTolerance = 1e-3;
const char* const kKeyed = "bonesOnly=false";

// The Frame Time line's value.
double frameTimeOf(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t at = lower.find("frame time");
  if (at == std::string::npos) return -1;
  const std::size_t number = text.find_first_of("-.0123456789", at + 10);
  return std::strtod(text.c_str() + number, nullptr);
}

bvhref::Motion motionOf(const std::string& text) {
  bvhref::Motion motion;
  std::string error;
  EXPECT_TRUE(bvhref::read(text, motion, error)) << error;
  return motion;
}

double distance(const Vector& a, const Vector& b) {
  return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                   (a[2] - b[2]) * (a[2] - b[2]));
}

class BvhExport : public scenetest::BvhSceneTest {
 protected:
  // An angular curve (radians) on "node.attribute" holding these keys.
  void preKeyAngle(const std::string& node, const std::string& attribute,
                   const scenetest::Keys& keys) {
    MObject object = host::findNode(node);
    MPlug plug = MFnDependencyNode(object).findPlug(attribute.c_str(), false);
    MFnAnimCurve curve;
    MStatus status;
    curve.create(object, plug, MFnAnimCurve::kAnimCurveTA, nullptr, &status);
    ASSERT_EQ(status, MS::kSuccess);
    for (const auto& [seconds, value] : keys) {
      ASSERT_EQ(curve.addKeyframe(MTime(seconds, MTime::kSeconds), value), MS::kSuccess);
    }
  }

  // Imports the text, exports the skeleton and compares the two files' joints, frames and frame
  // times and every joint at every frame (the first `frames` of the original when given).
  std::string roundTrip(const std::string& name, const std::string& text, int frames = -1,
                        const std::string& importOptions = kKeyed) {
    host::resetScene();
    EXPECT_EQ(host::importFile(write(name + ".bvh", text), "BVH", importOptions), MS::kSuccess)
        << name;
    const std::string out = (directory / (name + "-out.bvh")).string();
    EXPECT_EQ(host::exportFile(out, "BVH"), MS::kSuccess) << name;
    EXPECT_THAT(host::errors(), IsEmpty()) << name;
    const std::string exported = readFile(out);
    const bvhref::Motion original = motionOf(text);
    const bvhref::Motion copy = motionOf(exported);
    const std::size_t count =
        frames >= 0 ? static_cast<std::size_t>(frames) : original.frames.size();
    EXPECT_EQ(copy.frames.size(), count) << name;
    // One frame has no frame time of its own to keep.
    if (count > 1) {
      EXPECT_NEAR(frameTimeOf(exported), frameTimeOf(text), frameTimeOf(text) * 1e-3) << name;
    }
    EXPECT_EQ(copy.joints.size(), original.joints.size()) << name;
    if (copy.joints.size() != original.joints.size()) return exported;
    for (std::size_t j = 0; j < copy.joints.size(); ++j) {
      // Maya names have no spaces: the import made them underscores.
      std::string expected = original.joints[j].name;
      std::replace(expected.begin(), expected.end(), ' ', '_');
      EXPECT_EQ(copy.joints[j].name, expected) << name;
      EXPECT_EQ(copy.joints[j].parent, original.joints[j].parent) << name;
    }
    double largest = 0;
    for (std::size_t f = 0; f < std::min(count, copy.frames.size()); ++f) {
      const auto expected = bvhref::worldPositions(original, static_cast<int>(f));
      const auto actual = bvhref::worldPositions(copy, static_cast<int>(f));
      for (std::size_t j = 0; j < expected.size(); ++j) {
        largest = std::max(largest, distance(expected[j], actual[j]));
      }
    }
    EXPECT_LE(largest, kTolerance) << name;
    return exported;
  }
};

// A chain of one joint per rotation order, positions on every joint, angles anywhere on the
// circle and beyond it.
std::string generated(bool positionsEverywhere, int frames, std::mt19937& random) {
  const char* const orders[6] = {"XYZ", "YZX", "ZXY", "ZYX", "YXZ", "XZY"};
  std::uniform_real_distribution<double> angle(-350, 350);
  std::uniform_real_distribution<double> shift(-20, 20);
  std::string text = "HIERARCHY\n";
  int channels = 0;
  for (int j = 0; j < 6; ++j) {
    text += std::string(j == 0 ? "ROOT" : "JOINT") + " J" + std::to_string(j) + "\n{\n";
    text += "OFFSET " + std::to_string(j) + " 7.25 -1.5\nCHANNELS ";
    const bool positions = j == 0 || positionsEverywhere;
    text += positions ? "6 Xposition Yposition Zposition" : "3";
    for (int a = 0; a < 3; ++a) text += std::string(" ") + orders[j][a] + "rotation";
    text += "\n";
    channels += positions ? 6 : 3;
  }
  text += "End Site\n{\nOFFSET 0 4 0\n}\n";
  for (int j = 0; j < 6; ++j) text += "}\n";
  text += "MOTION\nFrames: " + std::to_string(frames) + "\nFrame Time: 0.0333333\n";
  for (int f = 0; f < frames; ++f) {
    for (int j = 0, c = 0; j < 6; ++j) {
      const bool positions = j == 0 || positionsEverywhere;
      for (int k = 0; k < (positions ? 6 : 3); ++k, ++c) {
        char value[32];
        std::snprintf(value, sizeof value, "%.4f",
                      k < 3 && positions ? shift(random) : angle(random));
        text += value;
        text += c + 1 < channels ? " " : "\n";
      }
    }
  }
  return text;
}

TEST_F(BvhExport, SampleFilesComeBackAsTheyMove) {
  for (const char* sample : {"humanoid", "syntax/lowerCase", "syntax/channelOrders"}) {
    const std::string text = readFile(std::string(EXAMPLES_DIR) + "/" + sample + ".bvh");
    ASSERT_FALSE(text.empty()) << sample;
    roundTrip(std::string(sample).substr(std::string(sample).rfind('/') + 1), text);
  }
  // The import keys the last Frames block's count across the blocks: one frame here.
  roundTrip("twoBlocksCrlf", readFile(std::string(EXAMPLES_DIR) + "/syntax/twoBlocksCrlf.bvh"), 1);
}

TEST_F(BvhExport, EveryOrderAndPositionsOnEveryJointComeBack) {
  std::mt19937 random(44);
  const std::string text = roundTrip("orders", generated(false, 40, random));
  // Each joint lists its rotations in its own order, as the file did.
  EXPECT_THAT(text, HasSubstr("JOINT J1\n\t{\n\t\tOFFSET 1 7.25 -1.5\n\t\tCHANNELS 3 Yrotation "
                              "Zrotation Xrotation\n"));
  EXPECT_THAT(text, HasSubstr("Frame Time: 0.03333333333333333\n"));
  const std::string moving = roundTrip("positions", generated(true, 40, random));
  EXPECT_THAT(moving, HasSubstr("CHANNELS 6 Xposition Yposition Zposition Xrotation Zrotation "
                                "Yrotation\n"));
  // With eulerFilter off the keys jump as the file does; the export still moves the same.
  roundTrip("unfiltered", generated(true, 40, random), -1, "bonesOnly=false;eulerFilter=false");
}

// Exported numbers read back exactly; a range and a rate are taken from the options, and the
// offsets and positions are divided by the scale.
TEST_F(BvhExport, OptionsChooseFramesRateAndScale) {
  ASSERT_EQ(host::importFile(write("small.bvh", scenetest::smallBvh(10)), "BVH", kKeyed),
            MS::kSuccess);
  const std::string out = (directory / "range.bvh").string();
  ASSERT_EQ(host::exportFile(out, "BVH", "startFrame=2;endFrame=5;scale=0.5"), MS::kSuccess);
  const std::vector<std::string> text = lines(readFile(out));
  ASSERT_GE(text.size(), 5u);
  EXPECT_THAT(text, ::testing::Contains("\tOFFSET 40 42 44"));
  EXPECT_THAT(text, ::testing::Contains("\t\tOFFSET 2 -8 0"));
  const std::vector<std::string> motion(text.end() - 5, text.end());
  EXPECT_EQ(motion[0], "Frames: 3");
  EXPECT_EQ(motion[1], "Frame Time: 0.5");
  for (int f = 0; f < 3; ++f) {
    std::istringstream values(motion[static_cast<std::size_t>(f) + 2]);
    for (int c = 0; c < 12; ++c) {
      double value = -1;
      values >> value;
      // Positions exactly, rotations through radians and back.
      const double expected = (f + 2) * 10 + c;
      EXPECT_NEAR(value, c < 3 ? expected * 2 : expected, c < 3 ? 0 : 1e-9) << f << " " << c;
    }
  }

  // At 4 frames/s the 10 frames half a second apart become 19, between keys by the curves.
  ASSERT_EQ(host::exportFile(out, "BVH", "frameRate=4"), MS::kSuccess);
  EXPECT_THAT(readFile(out), HasSubstr("Frames: 19\nFrame Time: 0.25\n"));
}

// A rig with joint orients, rotate axes and its own rotate orders exports what it shows.
TEST_F(BvhExport, RigExportsWhatItShows) {
  ASSERT_EQ(host::createNode("transform", "rig"), MS::kSuccess);
  ASSERT_EQ(host::createNode("joint", "Pelvis", "rig"), MS::kSuccess);
  ASSERT_EQ(host::createNode("joint", "Spine", "Pelvis"), MS::kSuccess);
  ASSERT_EQ(host::createNode("joint", "Neck", "Spine"), MS::kSuccess);
  ASSERT_EQ(host::createNode("joint", "Thigh", "Pelvis"), MS::kSuccess);
  ASSERT_EQ(host::createNode("joint", "Toe", "Thigh"), MS::kSuccess);
  const std::vector<std::string> joints = {"Pelvis", "Spine", "Neck", "Thigh", "Toe"};
  std::mt19937 random(7);
  std::uniform_real_distribution<double> angle(-170, 170);
  int order = 0;
  for (const std::string& joint : joints) {
    ASSERT_EQ(host::setAttribute(joint + ".translate", Vector{3, 11, -2}), MS::kSuccess);
    ASSERT_EQ(host::setAttribute(joint + ".rotateOrder", order++ % 6), MS::kSuccess);
    ASSERT_EQ(host::setAttribute(joint + ".jointOrient", Vector{angle(random), 20, -35}),
              MS::kSuccess);
    ASSERT_EQ(host::setAttribute(joint + ".rotateAxis", Vector{15, angle(random), 5}),
              MS::kSuccess);
    for (const char* axis : {"X", "Y", "Z"}) {
      scenetest::Keys keys;
      for (int f = 0; f < 12; ++f) keys.emplace_back(f / 24.0, angle(random) * M_PI / 180);
      ASSERT_NO_FATAL_FAILURE(preKeyAngle(joint, std::string("rotate") + axis, keys));
    }
  }
  scenetest::Keys moves;
  for (int f = 0; f < 12; ++f) moves.emplace_back(f / 24.0, f * 1.5);
  ASSERT_NO_FATAL_FAILURE(preKey("Pelvis", "translateY", moves));
  ASSERT_NO_FATAL_FAILURE(preKey("Toe", "translateX", moves));

  ASSERT_EQ(host::select({"Pelvis"}), MS::kSuccess);
  const std::string out = (directory / "rig.bvh").string();
  ASSERT_EQ(host::exportFile(out, "BVH", std::nullopt, true), MS::kSuccess);
  const std::string text = readFile(out);
  const bvhref::Motion copy = motionOf(text);
  ASSERT_EQ(copy.frames.size(), 12u);
  ASSERT_EQ(copy.joints.size(), 7u);
  EXPECT_THAT(text, HasSubstr("Frame Time: 0.041666666666666664\n"));
  const std::vector<std::string> paths = jointposes::jointPaths("|rig");
  ASSERT_EQ(paths.size(), 5u);
  double largest = 0;
  for (int f = 0; f < 12; ++f) {
    const auto expected = jointposes::worldPositions(paths, f / 24.0);
    const auto actual = bvhref::worldPositions(copy, f);
    // The file's joints: Pelvis, Spine, Neck and its End Site, Thigh, Toe and its End Site.
    const std::size_t file[5] = {0, 1, 2, 4, 5};
    for (std::size_t j = 0; j < 5; ++j) {
      largest = std::max(largest, distance(expected[j], actual[file[j]]));
    }
  }
  EXPECT_LE(largest, kTolerance);
}

// Refusals say why and leave no file.
TEST_F(BvhExport, NothingToExportIsRefusedAndWritesNothing) {
  const std::string out = (directory / "none.bvh").string();
  EXPECT_EQ(host::exportFile(out, "BVH", std::nullopt, true), MS::kInvalidParameter);
  EXPECT_EQ(host::exportFile(out, "BVH"), MS::kInvalidParameter);
  ASSERT_EQ(host::importFile(write("a.bvh", scenetest::smallBvh(3)), "BVH", kKeyed), MS::kSuccess);
  ASSERT_EQ(host::select({"a"}), MS::kSuccess);
  EXPECT_EQ(host::exportFile(out, "BVH", std::nullopt, true), MS::kInvalidParameter);
  ASSERT_EQ(host::importFile(write("b.bvh", scenetest::smallBvh(3)), "BVH", kKeyed), MS::kSuccess);
  EXPECT_EQ(host::exportFile(out, "BVH"), MS::kInvalidParameter);
  EXPECT_EQ(
      host::exportFile((directory / "missing" / "x.bvh").string(), "BVH", std::nullopt, false),
      MS::kInvalidParameter);
  ASSERT_EQ(host::select({"|a|Hips"}), MS::kSuccess);
  EXPECT_EQ(host::exportFile((directory / "missing" / "x.bvh").string(), "BVH", std::nullopt, true),
            MS::kFailure);
  EXPECT_FALSE(std::filesystem::exists(out));
  const std::vector<std::string> errors = host::errors();
  ASSERT_EQ(errors.size(), 6u);
  EXPECT_EQ(errors[0],
            "Cannot export none.bvh: nothing is selected; select the root joint of "
            "the skeleton to export");
  EXPECT_EQ(errors[1], "Cannot export none.bvh: the scene holds no joint");
  EXPECT_EQ(errors[2],
            "Cannot export none.bvh: the selection holds no joint; select the root "
            "joint of the skeleton to export");
  EXPECT_EQ(errors[3],
            "Cannot export none.bvh: the scene holds several skeletons (|a|Hips, "
            "|b|Hips); select the root joint of one and export the selection");
  EXPECT_EQ(errors[5], "Cannot export x.bvh: the file could not be written");
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    EXPECT_EQ(entry.path().extension(), ".bvh") << entry.path();
  }
}

}  // namespace
