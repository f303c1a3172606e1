// A device handler that never returns. On its own: it leaves the test plug-in mapped for the rest
// of the process, which the other device tests must not inherit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "support/HostTestPlugin.h"

namespace {

using support::HostTestPlugin;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class StuckDevice : public support::HostTestPluginTest {
 protected:
  void SetUp() override {
    HostTestPluginTest::SetUp();
    HostTestPlugin::clearEvents();
  }
};

TEST_F(StuckDevice, HandlerThatNeverReturnsIsReportedAndLeftRunning) {
  host::setDeviceThreadTimeout(std::chrono::milliseconds(50));
  ASSERT_TRUE(host::createNode("stuckDevice", "stuck"));
  ASSERT_TRUE(HostTestPlugin::waitFor("stuck start"));
  EXPECT_TRUE(host::deleteNode("stuck"));
  host::setDeviceThreadTimeout(std::chrono::seconds(5));
  EXPECT_TRUE(host::listNodes().empty());
  EXPECT_THAT(host::errors(),
              ElementsAre("threadHandler of node \"stuck\" did not return after "
                          "threadShutdownHandler; its thread is left running and the node's "
                          "object is not deleted"));
  HostTestPlugin::releaseStuck();
  EXPECT_TRUE(HostTestPlugin::waitFor("stuck end"));
  ASSERT_TRUE(host::unloadPlugin("hostTestPlugin"));
  EXPECT_THAT(host::errors().back(), HasSubstr("stays mapped"));
}

}  // namespace
