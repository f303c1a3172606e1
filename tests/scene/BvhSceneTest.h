#pragma once

#include <gtest/gtest.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnTransform.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTime.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MTypes.h>
#include <maya/MVector.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "support/Platform.h"

namespace scenetest {

using Keys = std::vector<std::pair<double, double>>;  // (seconds, value)

// A small capture: Hips (6 channels, Z X Y rotations) with Chest (ending in an End Site) and Leg.
// Channel c (0-based in the file's order) of frame f holds f * 10 + c, so every sample is exact.
inline std::string smallBvh(int frames, double frameTime = 0.5,
                            const std::string& rotations = "Zrotation Xrotation Yrotation") {
  std::string text =
      "HIERARCHY\n"
      "ROOT Hips\n"
      "{\n"
      "  OFFSET 1 2 3\n"
      "  CHANNELS 6 Xposition Yposition Zposition " +
      rotations +
      "\n"
      "  JOINT Chest\n"
      "  {\n"
      "    OFFSET 0 5 0.5\n"
      "    CHANNELS 3 " +
      rotations +
      "\n"
      "    End Site\n"
      "    {\n"
      "      OFFSET 0 2 0\n"
      "    }\n"
      "  }\n"
      "  JOINT Leg\n"
      "  {\n"
      "    OFFSET 1 -4 0\n"
      "    CHANNELS 3 " +
      rotations +
      "\n"
      "  }\n"
      "}\n"
      "MOTION\n"
      "Frames: " +
      std::to_string(frames) + "\nFrame Time: " + std::to_string(frameTime) + "\n";
  for (int f = 0; f < frames; ++f) {
    for (int c = 0; c < 12; ++c) text += std::to_string(f * 10 + c) + (c < 11 ? " " : "\n");
  }
  return text;
}

// Keys of the curve driving "node.attribute"; empty when nothing drives it. A time-to-angle
// curve's radians are given in degrees, to 1e-9, so that they read as the file wrote them.
inline Keys keys(const std::string& plugName) {
  Keys result;
  auto dot = plugName.rfind('.');
  MObject node = host::findNode(plugName.substr(0, dot));
  EXPECT_FALSE(node.isNull()) << plugName;
  if (node.isNull()) return result;
  MFnDependencyNode fn(node);
  MPlug plug = fn.findPlug(plugName.substr(dot + 1).c_str(), false);
  MStatus status;
  MFnAnimCurve curve(plug, &status);
  if (!status) return result;
  const bool angular = curve.animCurveType() == MFnAnimCurve::kAnimCurveTA;
  for (unsigned int i = 0; i < curve.numKeys(); ++i) {
    double value = curve.value(i);
    if (angular) value = std::round(value * 180 / 3.14159265358979323846 * 1e9) / 1e9;
    result.emplace_back(curve.time(i).as(MTime::kSeconds), value);
  }
  return result;
}

// Keys at start, start + step, ... with the given values.
inline Keys evenKeys(double start, double step, const std::vector<double>& values) {
  Keys result;
  for (std::size_t i = 0; i < values.size(); ++i) result.emplace_back(start + step * i, values[i]);
  return result;
}

inline std::array<double, 3> vector3(const std::string& plug) {
  host::Value value;
  EXPECT_EQ(host::getAttribute(plug, value), MS::kSuccess) << plug;
  auto vector = std::get_if<std::array<double, 3>>(&value);
  return vector ? *vector : std::array<double, 3>{-1, -1, -1};
}

// The node's translate, exactly as set.
inline std::array<double, 3> translation(const std::string& node) {
  MFnTransform transform(host::findNode(node));
  MVector value = transform.getTranslation(MSpace::kTransform);
  return {value.x, value.y, value.z};
}

inline MTransformationMatrix::RotationOrder rotateOrder(const std::string& node) {
  MFnTransform transform(host::findNode(node));
  return transform.rotationOrder();
}

// A fresh scene with the module loaded, and a directory for the test's files.
class BvhSceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::resetScene();
    ASSERT_EQ(host::loadPlugin(MOCAP_MODULE), MS::kSuccess);
    directory = std::filesystem::temp_directory_path() /
                ("bvhSceneTest-" + std::to_string(support::processId()));
    std::filesystem::create_directories(directory);
  }

  void TearDown() override {
    host::exitSession();
    host::resetScene();
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }

  // Writes the text to a file of that name in the test's directory; returns its path.
  // A curve on "node.attribute" holding these keys.
  void preKey(const std::string& node, const std::string& attribute, const Keys& existing) {
    MObject object = host::findNode(node);
    MPlug plug = MFnDependencyNode(object).findPlug(attribute.c_str(), false);
    MFnAnimCurve curve;
    MStatus status;
    curve.create(object, plug, MFnAnimCurve::kAnimCurveTL, nullptr, &status);
    ASSERT_EQ(status, MS::kSuccess);
    for (const auto& [seconds, value] : existing) {
      curve.addKeyframe(MTime(seconds, MTime::kSeconds), value);
    }
  }

  std::string write(const std::string& name, const std::string& contents) {
    std::string path = (directory / name).string();
    std::ofstream(path, std::ios::binary) << contents;
    return path;
  }

  std::filesystem::path directory;
};

}  // namespace scenetest
