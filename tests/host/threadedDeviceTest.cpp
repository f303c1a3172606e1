#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <maya/MPxThreadedDeviceNode.h>

#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "support/HostTestPlugin.h"
#include "support/Platform.h"

namespace {

using support::HostTestPlugin;
using ::testing::ElementsAre;

using Vector = std::array<double, 3>;

Vector sample(const std::string& node) { return support::vectorAttribute(node + ".sample"); }

// The events of the device nodes' handlers and lifetimes, leaving out the data they move.
std::vector<std::string> lifecycle() {
  std::vector<std::string> kept;
  for (const auto& event : HostTestPlugin::events()) {
    if (event.rfind("tick ", 0) == 0) kept.push_back(event);
  }
  return kept;
}

class ThreadedDevice : public support::HostTestPluginTest {
 protected:
  void SetUp() override {
    HostTestPluginTest::SetUp();
    HostTestPlugin::clearEvents();
  }
};

TEST_F(ThreadedDevice, InheritsLiveAndFrameRate) {
  ASSERT_TRUE(host::createNode("tickDevice", "dev"));
  host::Value live;
  host::Value frameRate;
  ASSERT_TRUE(host::getAttribute("dev.live", live));
  ASSERT_TRUE(host::getAttribute("dev.frameRate", frameRate));
  EXPECT_EQ(std::get<bool>(live), false);
  EXPECT_EQ(std::get<double>(frameRate), 15.0);
}

TEST_F(ThreadedDevice, ThreadStartsAtCreationAndRestartsOnLiveAndFrameRate) {
  ASSERT_TRUE(host::createNode("tickDevice", "dev"));
  // Not live: the handler returns at once.
  ASSERT_TRUE(HostTestPlugin::waitFor("tick end"));
  EXPECT_THAT(lifecycle(), ElementsAre("tick start", "tick end"));
  HostTestPlugin::clearEvents();

  ASSERT_TRUE(host::setAttribute("dev.live", true));
  ASSERT_TRUE(HostTestPlugin::waitFor("looped 1"));
  ASSERT_TRUE(host::setAttribute("dev.frameRate", 1000.0));
  ASSERT_TRUE(HostTestPlugin::waitFor("tick start", 2));
  ASSERT_TRUE(host::setAttribute("dev.live", false));
  ASSERT_TRUE(HostTestPlugin::waitFor("tick end", 3));
  EXPECT_THAT(lifecycle(), ElementsAre("tick shutdown", "tick start",              // live on
                                       "tick shutdown", "tick end", "tick start",  // frameRate
                                       "tick shutdown", "tick end", "tick start",  // live off
                                       "tick end"));
}

TEST_F(ThreadedDevice, WorkerPushesAndComputePopsFirstInFirstOut) {
  ASSERT_TRUE(host::createNode("tickDevice", "dev"));
  ASSERT_TRUE(host::setAttribute("dev.frameRate", 1000.0));
  ASSERT_TRUE(host::setAttribute("dev.live", true));
  // Two buffers: the worker fills both, then waits for compute to release one.
  ASSERT_TRUE(HostTestPlugin::waitFor("looped 2"));
  EXPECT_EQ(sample("dev"), (Vector{1, 2, 3}));
  ASSERT_TRUE(HostTestPlugin::waitFor("looped 3"));
  EXPECT_EQ(sample("dev"), (Vector{2, 4, 6}));
  ASSERT_TRUE(HostTestPlugin::waitFor("looped 4"));
  EXPECT_EQ(sample("dev"), (Vector{3, 6, 9}));
}

TEST_F(ThreadedDevice, EachLoopDirtiesWhatTheRefreshOutputAffectsTransitively) {
  ASSERT_TRUE(host::createNode("tickDevice", "dev"));
  ASSERT_TRUE(host::setAttribute("dev.frameRate", 1000.0));
  ASSERT_TRUE(host::setAttribute("dev.live", true));
  ASSERT_TRUE(HostTestPlugin::waitFor("looped 1"));
  host::Value value;
  ASSERT_TRUE(host::getAttribute("dev.sampleZ", value));
  EXPECT_EQ(std::get<double>(value), 3.0);
  // The third push needs the buffer that read released, so its loop ends after the read: only
  // "stamp" is marked then, and "sampleZ" is two affects and a child away from it.
  ASSERT_TRUE(HostTestPlugin::waitFor("looped 3"));
  ASSERT_TRUE(host::getAttribute("dev.sampleZ", value));
  EXPECT_EQ(std::get<double>(value), 6.0);
}

// The worker flags a refresh; the scene is dirtied when it is next read, so a batch of reads
// sees one evaluation even while the worker keeps pushing.
TEST_F(ThreadedDevice, ABatchReadIsOneEvaluationWhileTheWorkerKeepsPushing) {
  ASSERT_TRUE(host::createNode("tickDevice", "dev"));
  ASSERT_TRUE(host::setAttribute("dev.frameRate", 1000.0));
  ASSERT_TRUE(host::setAttribute("dev.live", true));
  // Until the worker has pushed a few times, at most 10 s.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  double x = 0.0;
  int reads = 0;
  while (x < 8.0 && std::chrono::steady_clock::now() < deadline) {
    std::vector<host::Value> values;
    ASSERT_TRUE(host::getAttributes({"dev.sampleX", "dev.sampleY", "dev.sampleZ"}, values));
    x = std::get<double>(values[0]);
    ASSERT_EQ(std::get<double>(values[1]), 2 * x) << reads;
    ASSERT_EQ(std::get<double>(values[2]), 3 * x) << reads;
    ++reads;
  }
  EXPECT_GE(x, 8.0);
  std::vector<host::Value> values;
  EXPECT_FALSE(host::getAttributes({"dev.sampleX", "dev.nothing"}, values));
}

TEST_F(ThreadedDevice, ShutdownCutsTheThrottleWaitShort) {
  ASSERT_TRUE(host::createNode("tickDevice", "dev"));
  // One step per 1000 s: the worker sits in endThreadLoop after its first push.
  ASSERT_TRUE(host::setAttribute("dev.frameRate", 0.001));
  ASSERT_TRUE(host::setAttribute("dev.live", true));
  ASSERT_TRUE(HostTestPlugin::waitFor("pushed 1"));
  HostTestPlugin::clearEvents();
  ASSERT_TRUE(host::setAttribute("dev.live", false));
  ASSERT_TRUE(HostTestPlugin::waitFor("tick end", 2));
  EXPECT_THAT(HostTestPlugin::events(),
              ElementsAre("tick shutdown", "looped 1", "tick end", "tick start", "tick end"));
  EXPECT_TRUE(host::errors().empty());
}

TEST_F(ThreadedDevice, ComputeWithAnEmptyQueueFailsAndKeepsTheOutputs) {
  ASSERT_TRUE(host::createNode("tickDevice", "dev"));
  ASSERT_TRUE(host::setAttribute("dev.frameRate", 30.0));  // makes "sample" dirty
  ASSERT_TRUE(HostTestPlugin::waitFor("tick end", 2));
  EXPECT_EQ(sample("dev"), (Vector{0, 0, 0}));
  EXPECT_THAT(HostTestPlugin::events(), ::testing::Contains("compute found no data"));
}

TEST_F(ThreadedDevice, DeletionEmptyingAndExitEndALiveThreadBeforeTheDestructor) {
  const std::vector<std::pair<const char*, std::function<void()>>> endings{
      {"delete", [] { EXPECT_TRUE(host::deleteNode("dev")); }},
      {"empty", [] { host::emptyScene(); }},
      {"exit", [] { host::exitSession(); }},
  };
  for (const auto& [how, end] : endings) {
    SCOPED_TRACE(how);
    if (host::loadedPlugins().empty()) {
      ASSERT_TRUE(host::loadPlugin(HostTestPlugin::path()));
    }
    ASSERT_TRUE(host::createNode("tickDevice", "dev"));
    ASSERT_TRUE(host::setAttribute("dev.live", true));
    ASSERT_TRUE(HostTestPlugin::waitFor("looped 1"));
    HostTestPlugin::clearEvents();
    // Keeps the library mapped after an exit unloads it, so that its log can be read.
    support::LoadedLibrary library(HostTestPlugin::path());
    end();
    EXPECT_THAT(lifecycle(), ElementsAre("tick shutdown", "tick end", "tick destroyed"));
    EXPECT_TRUE(host::listNodes().empty());
  }
}

TEST_F(ThreadedDevice, HandlerClearingDoneAfterTheShutdownStillEnds) {
  ASSERT_TRUE(host::createNode("lateDevice", "late"));
  ASSERT_TRUE(HostTestPlugin::waitFor("late start"));
  // The handler clears done only once the shutdown has been asked for: the host must not let
  // that undo the shutdown, or the deletion would wait in vain.
  std::thread opener([] {
    if (HostTestPlugin::waitFor("late shutdown")) HostTestPlugin::openGate();
  });
  EXPECT_TRUE(host::deleteNode("late"));
  opener.join();
  EXPECT_THAT(HostTestPlugin::events(), ElementsAre("late start", "late shutdown", "late end"));
  EXPECT_TRUE(host::errors().empty());
}

class ProbeNode : public MPxThreadedDeviceNode {};

TEST(DevicePoolOfANode, AcquirePushPopReleaseAndTheirFailures) {
  ProbeNode node;
  MCharBuffer a;
  MCharBuffer b;
  MCharBuffer c;
  EXPECT_EQ(node.acquireDataStorage(a), MS::kFailure);  // no pool yet
  EXPECT_EQ(node.createMemoryPools(0, 8, 1), MS::kInvalidParameter);
  ASSERT_TRUE(node.createMemoryPools(2, 6, 2));
  ASSERT_TRUE(node.acquireDataStorage(a));
  EXPECT_EQ(a.size(), 12);
  ASSERT_TRUE(node.acquireDataStorage(b));
  EXPECT_EQ(node.acquireDataStorage(c), MS::kFailure);  // none free
  EXPECT_EQ(c.ptr(), nullptr);

  ASSERT_TRUE(node.pushThreadData(b));
  ASSERT_TRUE(node.pushThreadData(a));
  EXPECT_EQ(node.threadDataCount(), 2);
  MCharBuffer popped;
  ASSERT_TRUE(node.popThreadData(popped));
  EXPECT_EQ(popped.ptr(), b.ptr());
  ASSERT_TRUE(node.popThreadData(popped));
  EXPECT_EQ(popped.ptr(), a.ptr());
  EXPECT_EQ(node.popThreadData(c), MS::kFailure);  // queue empty
  EXPECT_EQ(node.threadDataCount(), 0);

  EXPECT_TRUE(node.releaseDataStorage(popped));
  EXPECT_EQ(popped.ptr(), nullptr);
  EXPECT_EQ(node.releaseDataStorage(popped), MS::kFailure);
  EXPECT_TRUE(node.releaseDataStorage(b));
  ASSERT_TRUE(node.acquireDataStorage(c));
  EXPECT_TRUE(node.destroyMemoryPools());
  EXPECT_EQ(node.acquireDataStorage(c), MS::kFailure);

  EXPECT_FALSE(node.isLive());
  ASSERT_TRUE(node.setDone(false));
  EXPECT_FALSE(node.isDone());
  ASSERT_TRUE(node.setDone(true));
  EXPECT_TRUE(node.isDone());
}

}  // namespace
