#include <gtest/gtest.h>

#include <string>

#include "BREX_PLUG_MESSAGE.pb.h"
#include "host/HostScene.h"
#include "host/Plugins.h"
#include "plugin/ModuleTest.h"
#include "support/LoopbackServer.h"
#include "support/Platform.h"
#include "support/StreamFixtures.h"

namespace {

using moduletest::Vector;

// The module carries its own protobuf: it unloads for real and loads again with a fresh stream,
// in a process that holds the same message classes in another copy (a shared protobuf library
// once aborted at their second registration).
TEST(ModuleReload, TenUnloadAndLoadCyclesEachShowALiveFrame) {
  BrexPlugs::BREX_PLUGIN_MESSAGE ownCopy;
  ownCopy.set_message(BrexPlugs::BREX_PLUGIN_MESSAGE::FRAME_DATA);
  ASSERT_TRUE(ownCopy.IsInitialized());

  const std::vector<double> frameA = streamFixtures::chainRecord(0, streamFixtures::frameA);
  for (int cycle = 0; cycle < 10; ++cycle) {
    SCOPED_TRACE("cycle " + std::to_string(cycle));
    host::resetScene();
    ASSERT_TRUE(host::loadPlugin(moduletest::modulePath()));
    LoopbackServer server;
    server.serve(streamFixtures::serveChainFrameA<LoopbackServer::Connection>);
    ASSERT_TRUE(host::createNode("netDevice", "device"));
    ASSERT_TRUE(host::setAttribute("device.inputPort", std::to_string(server.port())));
    ASSERT_TRUE(host::setAttribute("device.live", true));
    ASSERT_TRUE(host::runCommand("connectMarvikMocap"));
    EXPECT_TRUE(moduletest::waitForVector("device.outputTranslate01",
                                          Vector{frameA[0], frameA[1], frameA[2]}));

    ASSERT_TRUE(host::deleteNode("device"));
    ASSERT_TRUE(host::unloadPlugin("marvikMocap"));
    EXPECT_FALSE(support::LoadedLibrary(moduletest::modulePath()).loaded())
        << "the module stayed mapped after its unload";
    server.join();
  }
  EXPECT_TRUE(host::errors().empty());
}

}  // namespace
