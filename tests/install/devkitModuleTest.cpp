// Loads a module built for Maya, against the stand-in devkit whose OpenMaya is the host this
// program links, and takes one file import and one live frame through it. MARVIK_MODULE names
// the module: a devkit build's, or one unzipped from the package.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "host/HostScene.h"
#include "host/Interrupts.h"
#include "host/Plugins.h"
#include "support/LoopbackServer.h"
#include "support/StreamFixtures.h"

namespace {

using Vector = std::array<double, 3>;

bool waitForVector(const std::string& plug, const Vector& expected) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    host::Value value;
    if (host::getAttribute(plug, value)) {
      const auto* values = std::get_if<Vector>(&value);
      if (values != nullptr && *values == expected) return true;
    }
    std::this_thread::yield();
  }
  return false;
}

TEST(DevkitModule, ImportsAFileAndShowsALiveFrame) {
  const char* module = std::getenv("MARVIK_MODULE");
  ASSERT_NE(module, nullptr) << "set MARVIK_MODULE to the module to load";
  host::resetScene();
  ASSERT_TRUE(host::loadPlugin(module));

  ASSERT_TRUE(host::importFile(EXAMPLES_DIR "/humanoid.bvh"));
  EXPECT_EQ(host::listNodes("transform"), std::vector<std::string>{"|humanoid"});
  EXPECT_FALSE(host::listNodes("joint").empty());
  EXPECT_FALSE(host::listNodes("animCurveTL").empty());

  LoopbackServer server;
  server.serve(streamFixtures::serveChainFrameA<LoopbackServer::Connection>);
  ASSERT_TRUE(host::createNode("netDevice", "device"));
  ASSERT_TRUE(host::setAttribute("device.inputPort", std::to_string(server.port())));
  ASSERT_TRUE(host::setAttribute("device.live", true));
  ASSERT_TRUE(host::runCommand("connectMarvikMocap"));
  const std::vector<double> frameA = streamFixtures::chainRecord(0, streamFixtures::frameA);
  EXPECT_TRUE(waitForVector("device.outputTranslate01", Vector{frameA[0], frameA[1], frameA[2]}));

  ASSERT_TRUE(host::deleteNode("device"));
  ASSERT_TRUE(host::unloadPlugin(module));
  server.join();
  EXPECT_TRUE(host::errors().empty());
}

// The module's commands read their flags through the syntax objects, and its import runs in a
// computation: the devkit's MSyntax, MArgDatabase and MComputation, linked from OpenMaya.
TEST(DevkitModule, ReadsFlagsAndTakesAnInterrupt) {
  const char* module = std::getenv("MARVIK_MODULE");
  ASSERT_NE(module, nullptr) << "set MARVIK_MODULE to the module to load";
  host::resetScene();
  ASSERT_TRUE(host::loadPlugin(module));

  ASSERT_TRUE(host::runCommand("marvikMocapRecord", {"-q"}));
  EXPECT_EQ(host::lastCommandResult(), "idle");
  ASSERT_TRUE(host::runPythonCommand("marvikMocapStatus", {{"q", true}, {"take", true}}));
  EXPECT_EQ(host::lastCommandResult(), "idle");
  ASSERT_TRUE(host::runCommand("help", {"marvikMocapRecord"}));
  EXPECT_NE(host::lastCommandResult().find("  -ml -memoryLimit Float\n"), std::string::npos);
  EXPECT_FALSE(host::runCommand("marvikMocapRecord", {"-stop", "-fps", "30"}));
  EXPECT_EQ(host::errors().size(), 1u);

  host::interruptAtProgress(0.5);
  EXPECT_FALSE(host::importFile(EXAMPLES_DIR "/humanoid.bvh"));
  EXPECT_TRUE(host::lastComputation().interrupted);
  EXPECT_TRUE(host::listNodes("transform").empty());
  EXPECT_TRUE(host::listNodes("animCurveTL").empty());
  EXPECT_EQ(host::errors().size(), 2u);
  ASSERT_TRUE(host::unloadPlugin(module));
}

}  // namespace
