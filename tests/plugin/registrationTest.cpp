#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "plugin/ModuleTest.h"

namespace {

using moduletest::modulePath;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class Registration : public ::testing::Test {
 protected:
  void SetUp() override { host::resetScene(); }
  void TearDown() override {
    host::exitSession();
    host::resetScene();
  }
};

TEST_F(Registration, LoadRegistersEverythingInOrderAndUnloadWithdrawsIt) {
  ASSERT_TRUE(host::loadPlugin(modulePath()));
  EXPECT_THAT(host::registeredFileTranslators(), ElementsAre("BVH"));
  std::string options;
  ASSERT_TRUE(host::translatorDefaultOptions("BVH", options));
  EXPECT_EQ(options,
            "bonesOnly=false;merge=false;scale=1;rotationOrder=none;startFrame=0;"
            "endFrame=2147483648;eulerFilter=true;fillTimeline=true;sceneRate=false");
  EXPECT_THAT(host::registeredCommands(),
              ElementsAre("createMarvikSkeleton", "connectMarvikMocap", "disconnectMarvikMocap",
                          "marvikMocapStatus", "marvikMocapRecord"));
  EXPECT_THAT(host::registeredNodeTypes(), ElementsAre("netDevice"));
  host::PluginInfo info;
  ASSERT_TRUE(host::pluginInfo("marvikMocap", info));
  EXPECT_EQ(info.vendor, "Orvane");
  EXPECT_EQ(info.version, "2.0.0.116");
  EXPECT_EQ(info.requiredApiVersion, "Any");
  EXPECT_TRUE(info.hasUi);
  EXPECT_EQ(info.uiCreation, "createmocapmenu");
  EXPECT_EQ(info.uiDeletion, "deletemocapmenu");
  EXPECT_EQ(info.uiCreationBatch, "");
  EXPECT_EQ(info.uiDeletionBatch, "");
  EXPECT_THAT(host::errors(), IsEmpty());

  ASSERT_TRUE(host::unloadPlugin("marvikMocap"));
  EXPECT_THAT(host::registeredCommands(), IsEmpty());
  EXPECT_THAT(host::registeredNodeTypes(), IsEmpty());
  EXPECT_THAT(host::registeredFileTranslators(), IsEmpty());
  EXPECT_THAT(host::unloadLeftovers(), IsEmpty());
  EXPECT_THAT(host::errors(), IsEmpty());
}

TEST_F(Registration, FailingNodeRegistrationIsShownAndTheRestStillRegisters) {
  ASSERT_TRUE(host::loadPlugin(CLASH_PLUGIN));
  // The last registration (the user interface) decides the status, so the load succeeds.
  ASSERT_TRUE(host::loadPlugin(modulePath()));
  EXPECT_THAT(host::errors(), ElementsAre("Failed to register the node netDevice"));
  host::PluginInfo info;
  ASSERT_TRUE(host::pluginInfo("marvikMocap", info));
  EXPECT_TRUE(info.hasUi);
  EXPECT_THAT(host::registeredCommands(),
              ElementsAre("createMarvikSkeleton", "connectMarvikMocap", "disconnectMarvikMocap",
                          "marvikMocapStatus", "marvikMocapRecord"));
  EXPECT_THAT(host::registeredFileTranslators(), ElementsAre("BVH"));
  // The clash plug-in's node, not the module's: without a module node the commands fail.
  EXPECT_EQ(host::runCommand("connectMarvikMocap"), MS::kFailure);
}

TEST_F(Registration, AttributeNamesCarryBlockThenSlot) {
  ASSERT_TRUE(host::loadPlugin(modulePath()));
  ASSERT_TRUE(host::createNode("netDevice", "device"));
  host::Value value;
  for (const char* plug : {"device.outputTranslateX00", "device.otx07", "device.outputTranslateX07",
                           "device.outputRotateZ059", "device.orz10", "device.outputTranslateX459",
                           "device.oty459", "device.outputRotateY459"}) {
    EXPECT_TRUE(host::getAttribute(plug, value)) << plug;
  }
  EXPECT_EQ(moduletest::vector("device.ot459"), (moduletest::Vector{0, 0, 0}));
  EXPECT_EQ(moduletest::vector("device.outputRotate10"), (moduletest::Vector{0, 0, 0}));
  EXPECT_FALSE(host::getAttribute("device.outputTranslateX460", value));
  EXPECT_FALSE(host::getAttribute("device.outputTranslateX500", value));
  EXPECT_FALSE(host::getAttribute("device.outputTranslateX7", value));

  ASSERT_TRUE(host::getAttribute("device.inputIp", value));
  EXPECT_EQ(std::get<std::string>(value), "127.0.0.1");
  ASSERT_TRUE(host::getAttribute("device.port", value));
  EXPECT_EQ(std::get<std::string>(value), "7005");
  ASSERT_TRUE(host::getAttribute("device.oro", value));
  EXPECT_EQ(std::get<std::string>(value), "yxz");
}

}  // namespace
