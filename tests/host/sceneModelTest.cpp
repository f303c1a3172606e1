// The scene model as the plug-in runtime uses it: node types with generic attributes,
// extensions that follow a node's life, dirty flags and evaluation.
#include <gtest/gtest.h>
#include <host/HostScene.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MObject.h>
#include <maya/MPlug.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "model/Attribute.h"
#include "model/Node.h"
#include "model/NodeExtension.h"
#include "model/NodeType.h"
#include "model/Object.h"
#include "model/Scene.h"
#include "runtime/Session.h"

namespace {

struct Events {
  std::vector<std::string> log;
  MStatus createResult = MS::kSuccess;
  bool deleteAgain = false;
};

class RecordingExtension : public host::NodeExtension {
 public:
  explicit RecordingExtension(Events& log) : events(log) {}
  ~RecordingExtension() override { events.log.push_back("destroyed"); }

  MStatus nodeCreated(host::Node& node) override {
    events.log.push_back("created " + node.name());
    return events.createResult;
  }
  void valueChanged(host::Node&, const host::Attribute& attribute) override {
    events.log.push_back("changed " + attribute.longName);
  }
  MStatus evaluate(host::Node& node, const host::Attribute& attribute) override {
    events.log.push_back("evaluate " + attribute.longName);
    node.storeComputedValue(attribute, 7.5);
    return MS::kSuccess;
  }
  void nodeDeleting(host::Node& node) override {
    events.log.push_back("deleting " + node.name() + (node.alive() ? " alive" : " dead"));
    if (events.deleteAgain) {
      MStatus again = host::Session::instance().scene.deleteNode(node);
      events.log.push_back(again ? "deleted again" : "refused again");
    }
  }

 private:
  Events& events;
};

std::shared_ptr<host::Attribute> number(const char* longName, const char* shortName) {
  return std::make_shared<host::Attribute>(
      longName, shortName, host::AttributeKind::kDouble,
      std::vector<MFn::Type>{MFn::kNumericAttribute, MFn::kAttribute});
}

class SceneModel : public ::testing::Test {
 protected:
  void SetUp() override {
    host::resetScene();
    type = std::make_shared<host::NodeType>(
        "testDevice", MTypeId(0x7ff01),
        std::vector<MFn::Type>{MFn::kPluginThreadedDevice, MFn::kPluginDependNode,
                               MFn::kDependencyNode},
        false);
    live = std::make_shared<host::Attribute>(
        "live", "lv", host::AttributeKind::kBool,
        std::vector<MFn::Type>{MFn::kNumericAttribute, MFn::kAttribute});
    live->defaultValue = false;
    frameRate = number("frameRate", "fr");
    frameRate->defaultValue = 15.0;
    inputIp = std::make_shared<host::Attribute>(
        "inputIp", "ip", host::AttributeKind::kString,
        std::vector<MFn::Type>{MFn::kTypedAttribute, MFn::kAttribute});
    inputIp->defaultValue = std::string("127.0.0.1");
    outX = number("outputTranslateX0", "otx0");
    outputTranslate = host::Attribute::compound(
        "outputTranslate0", "ot0",
        {outX, number("outputTranslateY0", "oty0"), number("outputTranslateZ0", "otz0")},
        {MFn::kAttribute3Double, MFn::kCompoundAttribute, MFn::kAttribute});
    outputTranslate->hidden = true;
    ASSERT_EQ(type->addAttribute(live), MS::kSuccess);
    ASSERT_EQ(type->addAttribute(frameRate), MS::kSuccess);
    ASSERT_EQ(type->addAttribute(inputIp), MS::kSuccess);
    ASSERT_EQ(type->addAttribute(outputTranslate), MS::kSuccess);
    ASSERT_EQ(type->addAffects(*live, *outputTranslate), MS::kSuccess);
    type->makeExtension = [this] { return std::make_unique<RecordingExtension>(events); };
    ASSERT_EQ(host::Session::instance().nodeTypes.add(type), MS::kSuccess);
  }

  void TearDown() override {
    host::resetScene();
    host::Session::instance().nodeTypes.remove("testDevice");
  }

  std::shared_ptr<host::Node> create() {
    std::shared_ptr<host::Node> node;
    EXPECT_EQ(host::Session::instance().scene.createNode(type, nullptr, node), MS::kSuccess);
    return node;
  }

  Events events;
  std::shared_ptr<host::NodeType> type;
  std::shared_ptr<host::Attribute> live, frameRate, inputIp, outX, outputTranslate;
};

TEST_F(SceneModel, RegistryRejectsDuplicates) {
  EXPECT_EQ(host::Session::instance().nodeTypes.find(MTypeId(0x7ff01)), type);
  EXPECT_TRUE(host::Session::instance().nodeTypes.find("joint"));
  EXPECT_TRUE(host::Session::instance().nodeTypes.find("animCurveTA"));
  auto sameName = std::make_shared<host::NodeType>("testDevice", MTypeId(0x7ff02),
                                                   std::vector<MFn::Type>{}, false);
  EXPECT_EQ(host::Session::instance().nodeTypes.add(sameName), MS::kFailure);
  auto sameId =
      std::make_shared<host::NodeType>("other", MTypeId(0x7ff01), std::vector<MFn::Type>{}, false);
  EXPECT_EQ(host::Session::instance().nodeTypes.add(sameId), MS::kFailure);
  EXPECT_EQ(host::Session::instance().nodeTypes.remove("nothing"), MS::kNotFound);
  EXPECT_EQ(type->addAttribute(live), MS::kInvalidParameter);
  EXPECT_EQ(type->addAttribute(number("other", "fr")), MS::kInvalidParameter);
  EXPECT_EQ(type->findAttribute("otx0"), outX);
  EXPECT_EQ(type->indexOf(*outX), 4);
}

TEST_F(SceneModel, ExtensionHearsCreationChangesAndDeletion) {
  auto node = create();
  EXPECT_EQ(node->name(), "testDevice1");
  EXPECT_TRUE(node->hasFn(MFn::kPluginDependNode));
  ASSERT_EQ(host::setAttribute("testDevice1.live", true), MS::kSuccess);
  ASSERT_EQ(host::setAttribute("testDevice1.inputIp", std::string("10.0.0.2")), MS::kSuccess);
  ASSERT_EQ(host::deleteNode("testDevice1"), MS::kSuccess);
  EXPECT_EQ(events.log,
            (std::vector<std::string>{"created testDevice1", "changed live", "changed inputIp",
                                      "deleting testDevice1 alive", "destroyed"}));
  EXPECT_FALSE(node->alive());
  EXPECT_EQ(node->extension(), nullptr);
}

TEST_F(SceneModel, SettingAnInputDirtiesWhatItAffects) {
  auto node = create();
  EXPECT_FALSE(node->isDirty(*outX));
  node->setValue(*frameRate, 30.0);
  EXPECT_FALSE(node->isDirty(*outputTranslate)) << "frameRate affects nothing here";
  node->setValue(*live, true);
  EXPECT_TRUE(node->isDirty(*outputTranslate));
  EXPECT_TRUE(node->isDirty(*outX)) << "a compound's children follow it";

  MObject nodeObject = host::ObjectAccess::wrap(node);
  MPlug plug(nodeObject, host::ObjectAccess::wrap(outX));
  EXPECT_DOUBLE_EQ(plug.asDouble(), 7.5);
  EXPECT_DOUBLE_EQ(plug.asDouble(), 7.5);
  EXPECT_EQ(std::count(events.log.begin(), events.log.end(), "evaluate outputTranslateX0"), 1)
      << "a clean value is not computed again";
  EXPECT_STREQ(MFnDependencyNode(nodeObject).findPlug("inputIp", true).asString().asChar(),
               "127.0.0.1");
}

TEST_F(SceneModel, DirtyingSpreadsAlongAffectsToChildrenAndParents) {
  auto outY = type->findAttribute("oty0");
  ASSERT_EQ(type->addAffects(*inputIp, *live), MS::kSuccess);
  ASSERT_EQ(type->addAffects(*frameRate, *outX), MS::kSuccess);
  auto node = create();

  node->setDirty(*frameRate, true);
  EXPECT_TRUE(node->isDirty(*outX));
  EXPECT_TRUE(node->isDirty(*outputTranslate)) << "a dirty child dirties its parent";
  EXPECT_FALSE(node->isDirty(*outY)) << "but not its siblings";
  EXPECT_FALSE(node->isDirty(*live));

  node->setDirty(*outputTranslate, false);
  EXPECT_FALSE(node->isDirty(*outX));
  // A cycle must not keep the walk going.
  ASSERT_EQ(type->addAffects(*outputTranslate, *inputIp), MS::kSuccess);
  node->setDirty(*inputIp, true);
  EXPECT_TRUE(node->isDirty(*live));
  EXPECT_TRUE(node->isDirty(*outputTranslate)) << "two steps away";
  EXPECT_TRUE(node->isDirty(*outY));

  node->setDirty(*live, false);
  node->setDirty(*inputIp, false);
  node->setDirty(*outputTranslate, false);
  node->setDirty(*frameRate, false);
  node->setDirty(*frameRate, true);
  EXPECT_TRUE(node->isDirty(*inputIp)) << "what a dirtied parent affects follows";
  EXPECT_TRUE(node->isDirty(*live));
}

// As in Maya, dirtying stops at a plug that is dirty already: a plug nobody cleans keeps what it
// affects from being dirtied again once those are clean.
TEST_F(SceneModel, DirtyingStopsAtAPlugThatIsDirtyAlready) {
  ASSERT_EQ(type->addAffects(*frameRate, *live), MS::kSuccess);
  auto node = create();
  node->setDirty(*frameRate, true);
  EXPECT_TRUE(node->isDirty(*live));
  EXPECT_TRUE(node->isDirty(*outX));
  node->setDirty(*live, false);
  node->setDirty(*outputTranslate, false);
  node->setDirty(*frameRate, true);
  EXPECT_FALSE(node->isDirty(*live)) << "frameRate was dirty already";
  EXPECT_FALSE(node->isDirty(*outX));
  node->setDirty(*live, true);
  EXPECT_TRUE(node->isDirty(*outX)) << "live was clean";
  EXPECT_TRUE(node->isDirty(*outputTranslate)) << "a parent follows its child";
  node->setDirty(*outX, false);
  node->setDirty(*outX, true);
  EXPECT_TRUE(node->isDirty(*outX));

  node->setDirty(*frameRate, false);
  node->setDirty(*frameRate, true);
  EXPECT_TRUE(node->isDirty(*live)) << "dirtied again once cleaned";
}

TEST_F(SceneModel, DirtyFlagsMayBeSetFromAnotherThread) {
  auto node = create();
  std::atomic<bool> stop{false};
  std::thread device([&] {
    while (!stop) node->setDirty(*outputTranslate, true);
  });
  int computed = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (computed < 20 && std::chrono::steady_clock::now() < deadline) {
    if (node->isDirty(*outX)) {
      // The whole plug the thread dirties is cleaned, as a compute cleans it.
      node->storeComputedValue(*outX, computed);
      node->setDirty(*outputTranslate, false);
      ++computed;
    }
  }
  stop = true;
  device.join();
  EXPECT_EQ(computed, 20);
}

TEST_F(SceneModel, DeletingANodeBeingDeletedIsRefused) {
  create();
  events.deleteAgain = true;
  ASSERT_EQ(host::deleteNode("testDevice1"), MS::kSuccess);
  EXPECT_EQ(events.log,
            (std::vector<std::string>{"created testDevice1", "deleting testDevice1 alive",
                                      "refused again", "destroyed"}));
}

TEST_F(SceneModel, FailedCreationLeavesNoNode) {
  events.createResult = MS::kFailure;
  std::shared_ptr<host::Node> node;
  EXPECT_EQ(host::Session::instance().scene.createNode(type, nullptr, node), MS::kFailure);
  EXPECT_EQ(node, nullptr);
  EXPECT_TRUE(host::listNodes().empty());
  EXPECT_EQ(events.log, (std::vector<std::string>{"created testDevice1", "destroyed"}));
}

TEST_F(SceneModel, EmptyingTheSceneDeletesEveryNodeThroughTheSamePath) {
  create();
  create();
  ASSERT_EQ(host::createNode("transform", "walk"), MS::kSuccess);
  host::emptyScene();
  EXPECT_EQ(events.log, (std::vector<std::string>{"created testDevice1", "created testDevice2",
                                                  "deleting testDevice2 alive", "destroyed",
                                                  "deleting testDevice1 alive", "destroyed"}));
  EXPECT_TRUE(host::listNodes().empty());
}

TEST_F(SceneModel, DumpShowsPlugInAttributes) {
  auto node = create();
  node->setValue(*live, true);
  node->storeComputedValue(*outX, 1.25);
  std::string json = host::sceneJson();
  EXPECT_NE(json.find("{\"name\": \"testDevice1\", \"path\": \"testDevice1\", \"type\": "
                      "\"testDevice\", \"parent\": null, \"attributes\": {\"live\": true, "
                      "\"frameRate\": 15, \"inputIp\": \"127.0.0.1\", \"outputTranslate0\": "
                      "[1.25, 0, 0]}}"),
            std::string::npos)
      << json;
}

}  // namespace
