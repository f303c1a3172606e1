#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OutputLinks.h"
#include "host/HostScene.h"
#include "host/Plugins.h"
#include "support/JointPoses.h"

namespace {

using jointposes::Vector;

class OutputLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    host::resetScene();
    ASSERT_TRUE(host::loadPlugin(MOCAP_MODULE));
  }
  void TearDown() override {
    host::exitSession();
    host::resetScene();
  }

  static std::string unit(const char* flag) {
    EXPECT_TRUE(host::runCommand("currentUnit", {"-query", flag}));
    return host::lastCommandResult();
  }

  // A two-joint chain linked to slot 01 of a device node that shows one frame (centimetres and
  // degrees) under the given UI units; the joints' world positions.
  static std::vector<Vector> linkedChain(const std::string& linear, const std::string& angle) {
    EXPECT_TRUE(host::runCommand("currentUnit", {"-linear", linear, "-angle", angle}));
    EXPECT_TRUE(host::createNode("netDevice", "device"));
    EXPECT_TRUE(host::createNode("transform", "rig"));
    EXPECT_TRUE(host::createNode("joint", "hips", "|rig"));
    EXPECT_TRUE(host::createNode("joint", "chest", "|rig|hips"));
    // Internal units for the chest's offset whatever the UI shows: set in centimetres.
    EXPECT_TRUE(host::runCommand("currentUnit", {"-linear", "cm"}));
    EXPECT_TRUE(host::setAttribute("|rig|hips|chest.translate", Vector{0, 12.5, 0}));
    EXPECT_TRUE(host::runCommand("currentUnit", {"-linear", linear}));
    EXPECT_TRUE(host::setAttribute("device.outputTranslate01", Vector{10, 95, -4}));
    EXPECT_TRUE(host::setAttribute("device.outputRotate01", Vector{30, -45, 80}));

    EXPECT_TRUE(
        linkJointToOutputs("device.outputTranslate01", "device.outputRotate01", "|rig|hips"));
    // The scene keeps its units.
    EXPECT_EQ(unit("-linear"), linear);
    EXPECT_EQ(unit("-angle"), angle);
    const auto joints = jointposes::jointPaths("|rig");
    EXPECT_EQ(joints.size(), 2u);
    return jointposes::worldPositions(joints, 0);
  }
};

// The outputs' centimetres and degrees move the joints alike in every UI unit: the linking does
// not take the scene's metres or inches for the stream's, nor its radians.
TEST_F(OutputLinks, JointsStandAlikeWhateverTheSceneUnits) {
  const std::vector<Vector> reference = linkedChain("cm", "deg");
  ASSERT_EQ(reference.size(), 2u);
  EXPECT_NEAR(reference[0][0], 10, 1e-12);
  EXPECT_NEAR(reference[0][1], 95, 1e-12);
  EXPECT_NEAR(reference[0][2], -4, 1e-12);
  // The chest 12.5 cm from the hips, turned by the streamed degrees (not standing straight up).
  Vector offset{};
  for (int i = 0; i < 3; ++i) offset[i] = reference[1][i] - reference[0][i];
  EXPECT_NEAR(offset[0] * offset[0] + offset[1] * offset[1] + offset[2] * offset[2], 156.25, 1e-9);
  EXPECT_LT(offset[1], 12);

  for (const auto& units : std::vector<std::vector<std::string>>{
           {"m", "deg"}, {"in", "deg"}, {"mm", "rad"}, {"cm", "rad"}, {"m", "rad"}}) {
    SCOPED_TRACE(units[0] + " " + units[1]);
    host::emptyScene();
    ASSERT_TRUE(host::runCommand("currentUnit", {"-linear", "cm", "-angle", "deg"}));
    const std::vector<Vector> positions = linkedChain(units[0], units[1]);
    ASSERT_EQ(positions.size(), 2u);
    for (std::size_t j = 0; j < 2; ++j) {
      for (int i = 0; i < 3; ++i) EXPECT_NEAR(positions[j][i], reference[j][i], 1e-9);
    }
  }
}

// A failed connection still leaves the scene's units as they were.
TEST_F(OutputLinks, AFailedLinkKeepsTheSceneUnits) {
  ASSERT_TRUE(host::runCommand("currentUnit", {"-linear", "in", "-angle", "rad"}));
  ASSERT_TRUE(host::createNode("netDevice", "device"));
  EXPECT_FALSE(linkJointToOutputs("device.outputTranslate01", "device.outputRotate01", "nobody"));
  EXPECT_EQ(unit("-linear"), "in");
  EXPECT_EQ(unit("-angle"), "rad");
}

}  // namespace
