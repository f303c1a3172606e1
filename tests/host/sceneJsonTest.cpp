#include <gtest/gtest.h>
#include <host/HostScene.h>
#include <maya/MEulerRotation.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnIkJoint.h>
#include <maya/MFnTransform.h>
#include <maya/MGlobal.h>
#include <maya/MPlug.h>
#include <maya/MTime.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MVector.h>

#include <array>
#include <string>
#include <variant>

namespace {

constexpr double kPi = 3.14159265358979323846;

class SceneJson : public ::testing::Test {
 protected:
  void SetUp() override { host::resetScene(); }
  void TearDown() override { host::resetScene(); }
};

TEST_F(SceneJson, EmptyScene) {
  EXPECT_EQ(host::sceneJson(),
            "{\n"
            "  \"currentTime\": 0,\n"
            "  \"units\": [\"cm\", \"deg\", \"film\"],\n"
            "  \"namespaces\": [],\n"
            "  \"selection\": [],\n"
            "  \"errors\": [],\n"
            "  \"nodes\": []\n"
            "}\n");
}

TEST_F(SceneJson, SmallSkeletonWithACurve) {
  MFnTransform top;
  MObject walk = top.create();
  top.setName("walk");
  MFnIkJoint fn;
  MObject hips = fn.create(walk);
  fn.setName("Hips");
  fn.setTranslation(MVector(0.1, 2.0, -3.5), MSpace::kTransform);
  fn.setRotationOrder(MTransformationMatrix::kZYX, false);
  fn.setOrientation(MEulerRotation(kPi / 2, 0.0, 0.0));
  fn.create(hips);
  fn.setName("rig:Spine", true);
  MFnAnimCurve curve;
  curve.create(hips, MFnDependencyNode(hips).findPlug("rotateX", true), MFnAnimCurve::kAnimCurveTL);
  curve.addKeyframe(MTime(1.0, MTime::kFilm), 45.5);
  curve.addKeyframe(MTime(0.5, MTime::kSeconds), 1.0 / 3);
  ASSERT_EQ(host::setAttribute("Hips.rotateY", 30.0), MS::kSuccess);
  ASSERT_EQ(host::createNode("animCurveTA", "spare"), MS::kSuccess);
  host::setCurrentTime(2.5);
  ASSERT_EQ(host::select({"|walk|Hips|rig:Spine"}), MS::kSuccess);
  MGlobal::displayError("say \"hi\"\\");

  EXPECT_EQ(
      host::sceneJson(),
      "{\n"
      "  \"currentTime\": 2.5,\n"
      "  \"units\": [\"cm\", \"deg\", \"film\"],\n"
      "  \"namespaces\": [\"rig\"],\n"
      "  \"selection\": [\"|walk|Hips|rig:Spine\"],\n"
      "  \"errors\": [\"say \\\"hi\\\"\\\\\"],\n"
      "  \"nodes\": [\n"
      "    {\"name\": \"walk\", \"path\": \"|walk\", \"type\": \"transform\", \"parent\": "
      "null, \"translate\": [0, 0, 0], \"rotate\": [0, 0, 0], \"rotateOrder\": \"xyz\"},\n"
      "    {\"name\": \"Hips\", \"path\": \"|walk|Hips\", \"type\": \"joint\", \"parent\": "
      "\"|walk\", \"translate\": [0.1, 2, -3.5], \"rotate\": [0, 30, 0], \"rotateOrder\": "
      "\"zyx\", \"jointOrient\": [90, 0, 0]},\n"
      "    {\"name\": \"rig:Spine\", \"path\": \"|walk|Hips|rig:Spine\", \"type\": \"joint\", "
      "\"parent\": \"|walk|Hips\", \"translate\": [0, 0, 0], \"rotate\": [0, 0, 0], "
      "\"rotateOrder\": \"xyz\", \"jointOrient\": [0, 0, 0]},\n"
      "    {\"name\": \"Hips_rotateX\", \"path\": \"Hips_rotateX\", \"type\": \"animCurveTL\", "
      "\"parent\": null, \"drives\": \"|walk|Hips.rotateX\", \"keys\": [[0.041666666666666664, "
      "45.5], [0.5, 0.3333333333333333]], \"tangents\": [[\"auto\", \"auto\"], [\"auto\", "
      "\"auto\"]]},\n"
      "    {\"name\": \"unitConversion1\", \"path\": \"unitConversion1\", \"type\": "
      "\"unitConversion\", \"parent\": null, \"attributes\": {\"input\": 0, \"output\": 0, "
      "\"conversionFactor\": 0.017453292519943295}},\n"
      "    {\"name\": \"spare\", \"path\": \"spare\", \"type\": \"animCurveTA\", \"parent\": "
      "null, \"drives\": null, \"keys\": [], \"tangents\": []}\n"
      "  ]\n"
      "}\n");
}

TEST_F(SceneJson, AttributesByNameInDegrees) {
  std::string path;
  ASSERT_EQ(host::createNode("joint", "Hips", "", &path), MS::kSuccess);
  EXPECT_EQ(path, "|Hips");
  ASSERT_EQ(host::setAttribute("|Hips.rotate", std::array<double, 3>{90.0, 0.0, -45.0}),
            MS::kSuccess);
  MPlug rotateZ = MFnDependencyNode(host::findNode("Hips")).findPlug("rotateZ", true);
  EXPECT_DOUBLE_EQ(rotateZ.asDouble(), -kPi / 4);
  host::Value value;
  ASSERT_EQ(host::getAttribute("Hips.rz", value), MS::kSuccess);
  EXPECT_DOUBLE_EQ(std::get<double>(value), -45.0);
  ASSERT_EQ(host::setAttribute("Hips.tx", 2), MS::kSuccess) << "an int sets a double";
  ASSERT_EQ(host::getAttribute("Hips.translate", value), MS::kSuccess);
  std::array<double, 3> expected{2.0, 0.0, 0.0};
  EXPECT_EQ((std::get<std::array<double, 3>>(value)), expected);
  ASSERT_EQ(host::setAttribute("Hips.rotateOrder", 5), MS::kSuccess);
  EXPECT_EQ(host::setAttribute("Hips.rotateOrder", std::string("zyx")), MS::kInvalidParameter);
  EXPECT_EQ(host::setAttribute("Hips.translate", 1.0), MS::kInvalidParameter);
  EXPECT_EQ(host::setAttribute("Hips.nothing", 1.0), MS::kNotFound);
  EXPECT_EQ(host::setAttribute("Nobody.tx", 1.0), MS::kNotFound);
  EXPECT_EQ(host::setAttribute("Hips", 1.0), MS::kInvalidParameter);
  EXPECT_EQ(host::createNode("nurbsCurve"), MS::kInvalidParameter);
  EXPECT_EQ(host::createNode("joint", "ns:x"), MS::kInvalidParameter) << "no such namespace";
  EXPECT_EQ(host::listNodes(), (std::vector<std::string>{"|Hips"}));
}

}  // namespace
