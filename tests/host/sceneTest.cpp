#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <host/HostScene.h>
#include <maya/MDagPath.h>
#include <maya/MEulerRotation.h>
#include <maya/MFileObject.h>
#include <maya/MFnDagNode.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MFnIkJoint.h>
#include <maya/MFnTransform.h>
#include <maya/MGlobal.h>
#include <maya/MItDag.h>
#include <maya/MItSelectionList.h>
#include <maya/MPlug.h>
#include <maya/MSelectionList.h>
#include <maya/MTransformationMatrix.h>
#include <maya/MVector.h>

#include <cmath>
#include <string>
#include <variant>
#include <vector>

#include "support/Platform.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

class Scene : public ::testing::Test {
 protected:
  void SetUp() override { host::resetScene(); }
  void TearDown() override { host::resetScene(); }

  MObject joint(MObject parent, const char* name) {
    MFnIkJoint fn;
    MStatus status;
    MObject node = fn.create(parent, &status);
    EXPECT_EQ(status, MS::kSuccess);
    fn.setName(name, false, &status);
    EXPECT_EQ(status, MS::kSuccess);
    return node;
  }

  MObject transform(const char* name) {
    MFnTransform fn;
    MObject node = fn.create(MObject::kNullObj);
    fn.setName(name);
    return node;
  }

  static std::string name(const MObject& node) { return MFnDependencyNode(node).name().asChar(); }

  static std::string path(const MObject& node) {
    MDagPath dagPath;
    EXPECT_EQ(MDagPath::getAPathTo(node, dagPath), MS::kSuccess);
    return dagPath.fullPathName().asChar();
  }
};

TEST_F(Scene, CreatesJointsUnderATopTransform) {
  MObject walk = transform("walk");
  MObject hips = joint(walk, "Hips");
  MObject spine = joint(hips, "Spine");
  MObject leg = joint(hips, "LeftUpLeg");
  EXPECT_EQ(path(spine), "|walk|Hips|Spine");
  EXPECT_TRUE(hips.hasFn(MFn::kJoint));
  EXPECT_TRUE(hips.hasFn(MFn::kTransform));
  EXPECT_TRUE(hips.hasFn(MFn::kDagNode));
  EXPECT_FALSE(walk.hasFn(MFn::kJoint));
  EXPECT_EQ(hips.apiType(), MFn::kJoint);

  MStatus status;
  MFnDagNode fn(hips, &status);
  ASSERT_EQ(status, MS::kSuccess);
  EXPECT_EQ(fn.childCount(), 2u);
  EXPECT_EQ(fn.child(0), spine);
  EXPECT_EQ(fn.child(1), leg);
  fn.child(2, &status);
  EXPECT_EQ(status, MS::kInvalidParameter);
  EXPECT_EQ(fn.parent(0), walk);
  EXPECT_TRUE(MFnDagNode(walk).parent(0).hasFn(MFn::kWorld));
  EXPECT_EQ(host::listNodes("joint"),
            (std::vector<std::string>{"|walk|Hips", "|walk|Hips|Spine", "|walk|Hips|LeftUpLeg"}));
}

TEST_F(Scene, DefaultNamesAndClashesGetNumbers) {
  MFnTransform fn;
  fn.create();
  EXPECT_STREQ(fn.name().asChar(), "transform1");
  fn.create();
  EXPECT_STREQ(fn.name().asChar(), "transform2");
  EXPECT_STREQ(fn.setName("walk").asChar(), "walk");
  fn.create();
  EXPECT_STREQ(fn.setName("walk").asChar(), "walk1");
  fn.create();
  EXPECT_STREQ(fn.setName("walk").asChar(), "walk2");
  fn.create();
  EXPECT_STREQ(fn.setName("walk1").asChar(), "walk3");
  EXPECT_STREQ(fn.setName("walk3").asChar(), "walk3");
  EXPECT_STREQ(fn.setName("my node-2").asChar(), "my_node_2");
  EXPECT_STREQ(fn.setName("1st").asChar(), "_1st");
  MStatus status;
  fn.setName("", false, &status);
  EXPECT_EQ(status, MS::kInvalidParameter);
  EXPECT_STREQ(fn.name().asChar(), "_1st");
}

TEST_F(Scene, DagNamesNeedOnlyDifferFromSiblings) {
  MObject first = transform("walk");
  MObject second = transform("run");
  MObject hipsA = joint(first, "Hips");
  MObject hipsB = joint(second, "Hips");
  EXPECT_EQ(name(hipsB), "Hips");
  EXPECT_EQ(path(hipsB), "|run|Hips");
  MObject sibling = joint(first, "Hips");
  EXPECT_EQ(name(sibling), "Hips1");
  EXPECT_EQ(host::findNode("Hips"), MObject::kNullObj) << "an ambiguous name finds nothing";
  EXPECT_EQ(host::findNode("|walk|Hips"), hipsA);
  std::string created;
  ASSERT_EQ(host::createNode("animCurveTL", "Hips", "", &created), MS::kSuccess);
  EXPECT_EQ(created, "Hips2") << "a dependency node's name differs from every node's";
}

TEST_F(Scene, NamespacesMustExistUnlessCreated) {
  MObject root = transform("walk");
  MObject arm = joint(root, "arm");
  MFnDependencyNode fn(arm);
  MStatus status;
  MString result = fn.setName("rig:LeftArm", false, &status);
  EXPECT_EQ(status, MS::kInvalidParameter);
  EXPECT_STREQ(result.asChar(), "arm");
  result = fn.setName("rig:LeftArm", true, &status);
  EXPECT_EQ(status, MS::kSuccess);
  EXPECT_STREQ(result.asChar(), "rig:LeftArm");
  MObject other = joint(root, "x");
  EXPECT_STREQ(MFnDependencyNode(other).setName("rig:LeftArm", false, &status).asChar(),
               "rig:LeftArm1");
  EXPECT_EQ(host::addNamespace("a:b"), MS::kSuccess);
  EXPECT_STREQ(MFnDependencyNode(other).setName(":a:b:Hand", false, &status).asChar(), "a:b:Hand");
  EXPECT_THAT(host::sceneJson(), ::testing::HasSubstr("\"namespaces\": [\"rig\", \"a\", \"a:b\"]"));
  EXPECT_EQ(host::addNamespace("bad name"), MS::kInvalidParameter);
}

TEST_F(Scene, DeletionTakesDescendantsCurvesAndSelection) {
  MObject walk = transform("walk");
  MObject hips = joint(walk, "Hips");
  joint(hips, "Spine");
  MObject other = transform("other");
  ASSERT_EQ(host::createNode("animCurveTL", "Hips_rotateX"), MS::kSuccess);
  ASSERT_EQ(host::select({"|walk|Hips", "other"}), MS::kSuccess);
  ASSERT_EQ(host::deleteNode("|walk|Hips"), MS::kSuccess);
  EXPECT_EQ(host::listNodes(), (std::vector<std::string>{"|walk", "|other", "Hips_rotateX"}));
  EXPECT_EQ(MFnDagNode(walk).childCount(), 0u);
  MStatus status;
  MFnDependencyNode stale(hips, &status);
  EXPECT_EQ(status, MS::kInvalidParameter) << "a deleted node takes no function set";
  MSelectionList selection;
  MGlobal::getActiveSelectionList(selection);
  ASSERT_EQ(selection.length(), 1u);
  MObject selected;
  selection.getDependNode(0, selected);
  EXPECT_EQ(selected, other);
  EXPECT_EQ(MGlobal::deleteNode(hips), MS::kInvalidParameter);
  host::emptyScene();
  EXPECT_TRUE(host::listNodes().empty());
}

TEST_F(Scene, TranslationAndRotationOrder) {
  MFnIkJoint fn;
  fn.create();
  MStatus status = fn.setTranslation(MVector(1.5, -2.0, 3.25), MSpace::kTransform);
  EXPECT_EQ(status, MS::kSuccess);
  MVector got = fn.getTranslation(MSpace::kTransform);
  EXPECT_EQ(got, MVector(1.5, -2.0, 3.25));
  EXPECT_EQ(fn.setTranslation(MVector(0, 0, 0), MSpace::kWorld), MS::kNotImplemented);

  EXPECT_EQ(fn.rotationOrder(), MTransformationMatrix::kXYZ);
  EXPECT_EQ(fn.setRotationOrder(MTransformationMatrix::kYXZ, false), MS::kSuccess);
  EXPECT_EQ(fn.rotationOrder(), MTransformationMatrix::kYXZ);
  EXPECT_EQ(fn.setRotationOrder(MTransformationMatrix::kLast, false), MS::kInvalidParameter);
  EXPECT_EQ(fn.setRotationOrder(MTransformationMatrix::kInvalid, false), MS::kInvalidParameter);
  EXPECT_EQ(fn.rotationOrder(), MTransformationMatrix::kYXZ);
  host::Value order;
  ASSERT_EQ(host::getAttribute("joint1.rotateOrder", order), MS::kSuccess);
  EXPECT_EQ(std::get<int>(order), 4) << "the attribute holds Maya's enum value for yxz";
}

TEST_F(Scene, ReorderKeepsTheOrientation) {
  MFnTransform fn;
  fn.create();
  ASSERT_EQ(host::setAttribute("transform1.rotate", std::array<double, 3>{90.0, 0.0, 90.0}),
            MS::kSuccess);
  ASSERT_EQ(fn.setRotationOrder(MTransformationMatrix::kZYX, true), MS::kSuccess);
  host::Value rotate;
  ASSERT_EQ(host::getAttribute("transform1.rotate", rotate), MS::kSuccess);
  auto angles = std::get<std::array<double, 3>>(rotate);
  // X 90 then Z 90 maps x to y, y to z, z to x; in ZYX order that is Z 90 then Y 90.
  EXPECT_NEAR(angles[0], 0.0, 1e-9);
  EXPECT_NEAR(angles[1], 90.0, 1e-9);
  EXPECT_NEAR(angles[2], 90.0, 1e-9);
}

TEST_F(Scene, JointOrientIsStoredInXyzOrder) {
  MFnIkJoint fn;
  fn.create();
  ASSERT_EQ(fn.setOrientation(MEulerRotation(0.1, 0.2, 0.3)), MS::kSuccess);
  MEulerRotation orient;
  ASSERT_EQ(fn.getOrientation(orient), MS::kSuccess);
  EXPECT_DOUBLE_EQ(orient.x, 0.1);
  EXPECT_DOUBLE_EQ(orient.y, 0.2);
  EXPECT_DOUBLE_EQ(orient.z, 0.3);
  EXPECT_EQ(orient.order, MEulerRotation::kXYZ);
  // Z 90 then X 90 takes x to z, y to -x, z to -y: so does X 90 then Y -90.
  ASSERT_EQ(fn.setOrientation(MEulerRotation(kPi / 2, 0.0, kPi / 2, MEulerRotation::kZXY)),
            MS::kSuccess);
  fn.getOrientation(orient);
  EXPECT_NEAR(orient.x, kPi / 2, 1e-12);
  EXPECT_NEAR(orient.y, -kPi / 2, 1e-12);
  EXPECT_NEAR(orient.z, 0.0, 1e-12);
}

TEST_F(Scene, FunctionSetsRejectOtherObjects) {
  MObject walk = transform("walk");
  MStatus status;
  MFnIkJoint jointFn(walk, &status);
  EXPECT_EQ(status, MS::kInvalidParameter);
  EXPECT_EQ(jointFn.setObject(MObject::kNullObj), MS::kInvalidParameter);
  EXPECT_TRUE(jointFn.object().isNull());
  EXPECT_EQ(jointFn.setObject(walk), MS::kInvalidParameter);
  MObject hips = joint(walk, "Hips");
  EXPECT_EQ(jointFn.setObject(hips), MS::kSuccess);
  EXPECT_EQ(jointFn.object(&status), hips);
  EXPECT_EQ(status, MS::kSuccess);
  jointFn.setObject(MObject::kNullObj);
  jointFn.object(&status);
  EXPECT_EQ(status, MS::kInvalidParameter);
  MFnTransform fn;
  fn.create(MObject::kNullObj);
  ASSERT_EQ(host::createNode("mesh", "bodyShape", "|walk"), MS::kSuccess);
  fn.create(host::findNode("bodyShape"), &status);
  EXPECT_EQ(status, MS::kInvalidParameter) << "a shape cannot parent a transform";
}

TEST_F(Scene, PlugsByNameWithFlags) {
  MObject hips = joint(transform("walk"), "Hips");
  MFnDependencyNode fn(hips);
  MStatus status;
  MPlug rotateX = fn.findPlug("rotateX", true, &status);
  ASSERT_EQ(status, MS::kSuccess);
  EXPECT_EQ(fn.findPlug("rx", true), rotateX);
  EXPECT_STREQ(rotateX.name().asChar(), "Hips.rotateX");
  fn.findPlug("rotateW", true, &status);
  EXPECT_EQ(status, MS::kInvalidParameter);

  EXPECT_TRUE(rotateX.isKeyable());
  EXPECT_FALSE(fn.findPlug("jointOrientX", true).isKeyable());
  EXPECT_FALSE(fn.findPlug("rotateOrder", true).isKeyable());
  EXPECT_EQ(rotateX.setKeyable(false), MS::kSuccess);
  EXPECT_EQ(rotateX.setLocked(true), MS::kSuccess);
  EXPECT_FALSE(rotateX.isKeyable(&status));
  EXPECT_TRUE(rotateX.isLocked());
  EXPECT_FALSE(fn.findPlug("rotateY", true).isLocked()) << "flags are per plug";
  EXPECT_EQ(host::setAttribute("Hips.rx", 10.0), MS::kInvalidParameter) << "locked";
  rotateX.setLocked(false);
  EXPECT_EQ(host::setAttribute("Hips.rx", 90.0), MS::kSuccess);
  EXPECT_DOUBLE_EQ(rotateX.asDouble(), kPi / 2) << "plugs read angles in radians";
  EXPECT_EQ(MObject(rotateX), rotateX.attribute());
  EXPECT_TRUE(rotateX == rotateX.attribute());
  EXPECT_FALSE(rotateX.isConnected());
  rotateX.asString(&status);
  EXPECT_EQ(status, MS::kInvalidParameter);
  fn.findPlug("rotate", true).asDouble(&status);
  EXPECT_EQ(status, MS::kInvalidParameter) << "a compound has no single value";
  MPlug none;
  none.asDouble(&status);
  EXPECT_EQ(status, MS::kInvalidParameter);
}

TEST_F(Scene, JointFilterSkipsMeshesAndTransforms) {
  MObject walk = transform("walk");
  MObject hips = joint(walk, "Hips");
  MObject spine = joint(hips, "Spine");
  ASSERT_EQ(host::createNode("mesh", "bodyShape", "|walk"), MS::kSuccess);
  ASSERT_EQ(host::select({"bodyShape", "walk", "|walk|Hips|Spine", "|walk|Hips"}), MS::kSuccess);
  MSelectionList list;
  ASSERT_EQ(MGlobal::getActiveSelectionList(list, false), MS::kSuccess);
  EXPECT_EQ(list.length(), 4u);
  MItSelectionList joints(list, MFn::kJoint);
  ASSERT_FALSE(joints.isDone());
  MDagPath first;
  ASSERT_EQ(joints.getDagPath(first), MS::kSuccess);
  EXPECT_STREQ(first.fullPathName().asChar(), "|walk|Hips|Spine");
  EXPECT_TRUE(first.hasFn(MFn::kJoint));
  EXPECT_EQ(first.node(), spine);
  joints.next();
  MDagPath second;
  joints.getDagPath(second);
  EXPECT_EQ(second.node(), hips);
  joints.next();
  EXPECT_TRUE(joints.isDone());
  EXPECT_EQ(joints.getDagPath(second), MS::kFailure);

  ASSERT_EQ(host::select({"bodyShape", "walk"}), MS::kSuccess);
  MGlobal::getActiveSelectionList(list);
  MItSelectionList none(list, MFn::kJoint);
  EXPECT_TRUE(none.isDone());
}

// The DAG walked depth first, parents before children, filtered by function set; nodes made
// after the walk began are not in it.
TEST_F(Scene, DagIteratorWalksDepthFirstThroughTheFilter) {
  MObject walk = transform("walk");
  MObject hips = joint(walk, "Hips");
  joint(hips, "Spine");
  MObject run = transform("run");
  joint(run, "Root");
  joint(hips, "Leg");
  ASSERT_EQ(host::createNode("mesh", "bodyShape", "|walk"), MS::kSuccess);
  auto walked = [](MFn::Type filter) {
    std::vector<std::string> paths;
    MStatus status;
    for (MItDag it(MItDag::kDepthFirst, filter, &status); !it.isDone(); it.next()) {
      MDagPath path;
      EXPECT_EQ(it.getPath(path), MS::kSuccess);
      EXPECT_EQ(it.currentItem(), path.node());
      paths.push_back(path.fullPathName().asChar());
    }
    EXPECT_EQ(status, MS::kSuccess);
    return paths;
  };
  EXPECT_THAT(walked(MFn::kJoint), ::testing::ElementsAre("|walk|Hips", "|walk|Hips|Spine",
                                                          "|walk|Hips|Leg", "|run|Root"));
  EXPECT_THAT(walked(MFn::kInvalid),
              ::testing::ElementsAre("|walk", "|walk|Hips", "|walk|Hips|Spine", "|walk|Hips|Leg",
                                     "|walk|bodyShape", "|run", "|run|Root"));
  MStatus status;
  MItDag breadth(MItDag::kBreadthFirst, MFn::kJoint, &status);
  EXPECT_EQ(status, MS::kNotImplemented);
  EXPECT_TRUE(breadth.isDone());
  MDagPath none;
  EXPECT_EQ(breadth.getPath(none), MS::kFailure);
}

TEST_F(Scene, SelectionListAdjustments) {
  MObject a = transform("a");
  MObject b = transform("b");
  MSelectionList list;
  list.add(a);
  ASSERT_EQ(MGlobal::setActiveSelectionList(list), MS::kSuccess);
  MSelectionList more;
  more.add(b);
  more.add(a, true);
  EXPECT_EQ(more.length(), 2u);
  more.add(a, true);
  EXPECT_EQ(more.length(), 2u) << "merging skips a node already listed";
  MGlobal::setActiveSelectionList(more, MGlobal::kXORWithList);
  EXPECT_THAT(host::sceneJson(), ::testing::HasSubstr("\"selection\": [\"|b\"]"));
  EXPECT_EQ(list.add(MObject::kNullObj), MS::kInvalidParameter);
  EXPECT_EQ(list.add(MString("nothing")), MS::kInvalidParameter);
  EXPECT_EQ(list.add(MString("|b")), MS::kSuccess);
}

TEST_F(Scene, DisplayErrorIsRecordedAndPrinted) {
  ::testing::internal::CaptureStderr();
  MGlobal::displayError("You should select the root joint firstly!");
  MGlobal::displayError(MStatus(MS::kInvalidParameter).errorString());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "// Error: You should select the root joint firstly!\n"
            "// Error: (kInvalidParameter): Object is incompatible with this method\n");
  EXPECT_EQ(host::errors(), (std::vector<std::string>{
                                "You should select the root joint firstly!",
                                "(kInvalidParameter): Object is incompatible with this method"}));
  host::emptyScene();
  EXPECT_EQ(host::errors().size(), 2u) << "a new scene keeps the messages shown";
}

TEST(FileObject, SplitsAndResolvesNames) {
  support::setEnvironment("HOST_TEST_DATA", "/tmp/mocap");
  MFileObject file;
  file.setRawFullName("$HOST_TEST_DATA/walk.cycle.bvh");
  EXPECT_STREQ(file.rawName().asChar(), "walk.cycle.bvh");
  EXPECT_STREQ(file.rawPath().asChar(), "$HOST_TEST_DATA/");
  EXPECT_STREQ(file.resolvedFullName().asChar(), "/tmp/mocap/walk.cycle.bvh");
  EXPECT_STREQ(file.resolvedName().asChar(), "walk.cycle.bvh");
  EXPECT_STREQ(file.resolvedPath().asChar(), "/tmp/mocap/");
  file.setRawFullName("${HOST_TEST_DATA}x/run");
  EXPECT_STREQ(file.expandedFullName().asChar(), "/tmp/mocapx/run");
  file.setRawFullName("plain.bvh");
  EXPECT_STREQ(file.rawPath().asChar(), "");
  EXPECT_STREQ(file.resolvedFullName().asChar(), "plain.bvh");
}

}  // namespace
