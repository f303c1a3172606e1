#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <maya/MFnData.h>
#include <maya/MFnNumericAttribute.h>
#include <maya/MFnNumericData.h>
#include <maya/MFnStringData.h>
#include <maya/MFnTypedAttribute.h>
#include <maya/MPxNode.h>
#include <maya/MString.h>

#include <array>
#include <string>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "support/HostTestPlugin.h"

namespace {

using support::HostTestPlugin;
using support::vectorAttribute;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

using Vector = std::array<double, 3>;

class PluginNode : public support::HostTestPluginTest {
 protected:
  void SetUp() override {
    HostTestPluginTest::SetUp();
    HostTestPlugin::clearEvents();
  }
};

TEST_F(PluginNode, CreatorThenPostConstructorWithTheNodeAttached) {
  ASSERT_TRUE(host::createNode("sumNode", "sum"));
  EXPECT_THAT(HostTestPlugin::events(), ElementsAre("sum constructed, thisMObject null",
                                                    "sum postConstructor, thisMObject set"));
  EXPECT_FALSE(host::findNode("sum").isNull());
}

TEST_F(PluginNode, ComputeRunsForADirtyOutputOnly) {
  ASSERT_TRUE(host::createNode("sumNode", "sum"));
  // Defaults: inputA 1, inputB 2. Nothing is computed before the output is read.
  EXPECT_THAT(host::sceneJson(), HasSubstr("\"attributes\": {\"inputA\": 1, \"inputB\": 2, "
                                           "\"label\": \"sum\", \"result\": [0, 0, 0]}"));
  ASSERT_TRUE(host::setAttribute("sum.inputA", 5.0));
  HostTestPlugin::clearEvents();
  EXPECT_EQ(vectorAttribute("sum.result"), (Vector{7, 3, 10}));
  EXPECT_EQ(vectorAttribute("sum.result"), (Vector{7, 3, 10}));
  EXPECT_THAT(HostTestPlugin::events(), ElementsAre("compute sum.resultX"));
  EXPECT_THAT(host::sceneJson(), HasSubstr("\"result\": [7, 3, 10]"));

  // An input marks what it affects dirty; a string nobody depends on does not.
  ASSERT_TRUE(host::setAttribute("sum.label", std::string("total")));
  EXPECT_EQ(vectorAttribute("sum.result"), (Vector{7, 3, 10}));
  ASSERT_TRUE(host::setAttribute("sum.ib", -1.0));
  host::Value y;
  ASSERT_TRUE(host::getAttribute("sum.resultY", y));
  EXPECT_EQ(std::get<double>(y), 6.0);
  EXPECT_EQ(vectorAttribute("sum.result"), (Vector{4, 6, -5}));
  EXPECT_THAT(HostTestPlugin::events(), ElementsAre("compute sum.resultX", "compute sum.resultY"));
}

TEST_F(PluginNode, DeletionRunsTheDestructor) {
  ASSERT_TRUE(host::createNode("sumNode", "sum"));
  ASSERT_TRUE(host::createNode("sumNode", "other"));
  ASSERT_TRUE(host::deleteNode("sum"));
  EXPECT_THAT(HostTestPlugin::events().back(), "sum destroyed");
  host::emptyScene();
  EXPECT_EQ(HostTestPlugin::events().size(), 6u);
  EXPECT_EQ(HostTestPlugin::events().back(), "sum destroyed");
}

// As Maya's delete with undo on: the node leaves the scene at once, its object waits in the undo
// queue and is destroyed when the queue is flushed, by flushUndo or with the scene.
TEST_F(PluginNode, AnUndoableDeletionDestroysTheObjectWhenTheUndoQueueIsFlushed) {
  ASSERT_TRUE(host::createNode("sumNode", "sum"));
  ASSERT_TRUE(host::createNode("sumNode", "other"));
  HostTestPlugin::clearEvents();
  ASSERT_TRUE(host::deleteNodeUndoably("sum"));
  EXPECT_TRUE(host::findNode("sum").isNull());
  EXPECT_THAT(host::listNodes("sumNode"), ElementsAre("other"));
  EXPECT_THAT(HostTestPlugin::events(), ::testing::IsEmpty());
  host::flushUndo();
  EXPECT_THAT(HostTestPlugin::events(), ElementsAre("sum destroyed"));
  host::flushUndo();
  EXPECT_EQ(HostTestPlugin::events().size(), 1u);

  ASSERT_TRUE(host::deleteNodeUndoably("other"));
  EXPECT_EQ(host::deleteNodeUndoably("other"), MS::kNotFound);
  EXPECT_EQ(HostTestPlugin::events().size(), 1u);
  host::emptyScene();
  EXPECT_THAT(HostTestPlugin::events(), ElementsAre("sum destroyed", "sum destroyed"));
  // A plain deletion is not held.
  ASSERT_TRUE(host::createNode("sumNode", "third"));
  ASSERT_TRUE(host::deleteNode("third"));
  EXPECT_EQ(HostTestPlugin::events().back(), "sum destroyed");
  EXPECT_EQ(HostTestPlugin::events().size(), 5u);
}

TEST(PluginAttributes, CreateChecksNamesTypesAndChildren) {
  MStatus status;
  MFnNumericAttribute numeric;
  MObject x = numeric.create("x", "x", MFnNumericData::kDouble, 0.0, &status);
  EXPECT_TRUE(status);
  EXPECT_TRUE(x.hasFn(MFn::kNumericAttribute));
  EXPECT_TRUE(numeric.setHidden(true));
  EXPECT_TRUE(numeric.create("", "e", MFnNumericData::kDouble, 0.0, &status).isNull());
  EXPECT_EQ(status, MS::kInvalidParameter);
  EXPECT_EQ(numeric.setHidden(true), MS::kFailure);  // detached by the failed create
  EXPECT_TRUE(numeric.create("v", "v", MFnNumericData::k3Double, 0.0, &status).isNull());

  MObject y = numeric.create("y", "y", MFnNumericData::kDouble);
  MObject z = numeric.create("z", "z", MFnNumericData::kBoolean);
  MObject xyz = numeric.create("xyz", "xyz", x, y, z, &status);
  EXPECT_TRUE(status);
  EXPECT_TRUE(xyz.hasFn(MFn::kAttribute3Double));
  MObject w = numeric.create("w", "w", MFnNumericData::kDouble);
  // x already belongs to a compound; a third child is required.
  EXPECT_TRUE(numeric.create("xw", "xw", x, w, y, &status).isNull());
  EXPECT_EQ(status, MS::kInvalidParameter);
  EXPECT_TRUE(numeric.create("wy", "wy", w, y, MObject::kNullObj, &status).isNull());

  MFnStringData text;
  MObject data = text.create("hello", &status);
  EXPECT_TRUE(status);
  EXPECT_EQ(text.string(), "hello");
  MFnTypedAttribute typed;
  EXPECT_TRUE(typed.create("s", "s", MFnData::kString, data, &status).hasFn(MFn::kTypedAttribute));
  EXPECT_TRUE(typed.create("t", "t", MFnData::kString, x, &status).isNull());
  EXPECT_EQ(status, MS::kInvalidParameter);
  EXPECT_TRUE(typed.create("u", "u", MFnData::kNumeric, MObject::kNullObj, &status).isNull());

  // Outside a node type's initialize function there is no type to add to.
  EXPECT_EQ(MPxNode::addAttribute(w), MS::kFailure);
  EXPECT_EQ(MPxNode::attributeAffects(w, xyz), MS::kFailure);
}

}  // namespace
