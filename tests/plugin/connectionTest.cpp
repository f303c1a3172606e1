#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "plugin/ModuleTest.h"
#include "support/LoopbackServer.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

class Connection : public moduletest::ModuleTest {
 protected:
  // A server that accepts one client and reports whether the client closed the connection.
  static void acceptUntilClosed(LoopbackServer& server, std::promise<bool>& closed) {
    server.serve([&closed](LoopbackServer::Connection& connection) {
      closed.set_value(connection.waitForClose());
    });
  }

  static void pointAt(const std::string& node, const LoopbackServer& server) {
    ASSERT_TRUE(host::setAttribute(node + ".inputIp", std::string("127.0.0.1")));
    ASSERT_TRUE(host::setAttribute(node + ".inputPort", std::to_string(server.port())));
  }
};

TEST_F(Connection, DefaultAttributesReachLoopbackPort7005) {
  ASSERT_TRUE(host::createNode("netDevice", "device"));
  std::unique_ptr<LoopbackServer> server;
  try {
    server = std::make_unique<LoopbackServer>(std::chrono::seconds(5), 7005);
  } catch (const std::runtime_error&) {
    // Port 7005 is taken on this machine: the defaults were checked where they are created;
    // reach a server of our own instead.
    server = std::make_unique<LoopbackServer>();
    pointAt("device", *server);
  }
  std::promise<bool> closed;
  acceptUntilClosed(*server, closed);
  ASSERT_TRUE(host::runCommand("connectMarvikMocap"));
  ASSERT_TRUE(host::runCommand("disconnectMarvikMocap"));
  auto result = closed.get_future();
  ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(result.get());
  server->join();
  EXPECT_TRUE(server->accepted());
}

TEST_F(Connection, ReconnectEndsTheOldConnectionFirst) {
  ASSERT_TRUE(host::createNode("netDevice", "device"));
  LoopbackServer first;
  LoopbackServer second;
  std::promise<bool> firstClosed;
  std::promise<bool> secondClosed;
  acceptUntilClosed(first, firstClosed);
  acceptUntilClosed(second, secondClosed);

  pointAt("device", first);
  ASSERT_TRUE(host::runCommand("connectMarvikMocap"));
  pointAt("device", second);
  ASSERT_TRUE(host::runCommand("connectMarvikMocap"));
  auto firstResult = firstClosed.get_future();
  ASSERT_EQ(firstResult.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(firstResult.get());
  auto secondResult = secondClosed.get_future();
  EXPECT_EQ(secondResult.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout)
      << "the new connection stays open";

  ASSERT_TRUE(host::runCommand("disconnectMarvikMocap"));
  ASSERT_EQ(secondResult.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(secondResult.get());
}

TEST_F(Connection, UnreachableServerFails) {
  ASSERT_TRUE(host::createNode("netDevice", "device"));
  std::uint16_t port = 0;
  {
    LoopbackServer closedAgain;  // a port that was free a moment ago
    port = closedAgain.port();
  }
  ASSERT_TRUE(host::setAttribute("device.inputPort", std::to_string(port)));
  EXPECT_EQ(host::runCommand("connectMarvikMocap"), MS::kFailure);
  ASSERT_TRUE(host::setAttribute("device.inputPort", std::string("70000")));
  EXPECT_EQ(host::runCommand("connectMarvikMocap"), MS::kFailure);
  EXPECT_THAT(host::errors(), IsEmpty());
}

TEST_F(Connection, UnresolvableHostFailsShowingTheErrorAndTheHostGoesOn) {
  ASSERT_TRUE(host::createNode("netDevice", "device"));
  ASSERT_TRUE(host::setAttribute("device.inputIp", std::string("no such host")));
  EXPECT_EQ(host::runCommand("connectMarvikMocap"), MS::kFailure);
  EXPECT_THAT(host::errors(), SizeIs(1));

  LoopbackServer server;
  std::promise<bool> closed;
  acceptUntilClosed(server, closed);
  pointAt("device", server);
  EXPECT_TRUE(host::runCommand("connectMarvikMocap"));
  EXPECT_TRUE(host::runCommand("disconnectMarvikMocap"));
  auto result = closed.get_future();
  ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(result.get());
}

TEST_F(Connection, CommandsWithoutANodeFail) {
  EXPECT_EQ(host::runCommand("connectMarvikMocap"), MS::kFailure);
  EXPECT_EQ(host::runCommand("disconnectMarvikMocap"), MS::kFailure);
  EXPECT_EQ(host::runCommand("createMarvikSkeleton"), MS::kFailure);
  EXPECT_THAT(host::listNodes(), IsEmpty());
  EXPECT_THAT(host::errors(),
              ElementsAre("createMarvikSkeleton: there is no netDevice node to build from"));
}

TEST_F(Connection, CommandsActThroughTheLastCreatedNode) {
  LoopbackServer server;
  std::promise<bool> closed;
  acceptUntilClosed(server, closed);
  ASSERT_TRUE(host::createNode("netDevice", "first"));
  ASSERT_TRUE(host::createNode("netDevice", "second"));
  ASSERT_TRUE(host::setAttribute("first.inputIp", std::string("no such host")));
  pointAt("second", server);
  EXPECT_TRUE(host::runCommand("connectMarvikMocap"));
  EXPECT_TRUE(host::runCommand("disconnectMarvikMocap"));
  auto result = closed.get_future();
  ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(result.get());
  EXPECT_THAT(host::errors(), IsEmpty());
}

TEST_F(Connection, CommandsAfterTheCurrentNodeWasDeletedTakeTheNoNodePath) {
  ASSERT_TRUE(host::createNode("netDevice", "first"));
  ASSERT_TRUE(host::createNode("netDevice", "second"));
  ASSERT_TRUE(host::deleteNode("second"));
  EXPECT_EQ(host::runCommand("connectMarvikMocap"), MS::kFailure);
  EXPECT_EQ(host::runCommand("disconnectMarvikMocap"), MS::kFailure);
  EXPECT_EQ(host::runCommand("createMarvikSkeleton"), MS::kFailure);
  // A node created afterwards is current again.
  ASSERT_TRUE(host::createNode("netDevice", "third"));
  EXPECT_TRUE(host::runCommand("disconnectMarvikMocap"));
}

TEST_F(Connection, DeletingTheConnectedNodeClosesTheConnection) {
  LoopbackServer server;
  std::promise<bool> closed;
  acceptUntilClosed(server, closed);
  ASSERT_TRUE(host::createNode("netDevice", "device"));
  pointAt("device", server);
  ASSERT_TRUE(host::runCommand("connectMarvikMocap"));
  ASSERT_TRUE(host::deleteNode("device"));
  auto result = closed.get_future();
  ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(result.get());
}

TEST_F(Connection, StatusCommandSetsItsResultToOneLineOnTheConnection) {
  LoopbackServer server;
  std::promise<bool> closed;
  acceptUntilClosed(server, closed);
  ASSERT_TRUE(host::createNode("netDevice", "device"));
  pointAt("device", server);
  const std::string address = "127.0.0.1:" + std::to_string(server.port());
  ASSERT_TRUE(host::runCommand("connectMarvikMocap"));
  EXPECT_EQ(host::lastCommandResult(), "");
  ASSERT_TRUE(host::runCommand("marvikMocapStatus"));
  EXPECT_EQ(host::lastCommandResult(),
            "connecting " + address + " actors=0 frames=0 fps=0.0 lastFrameMs=-1 reconnects=0");
  ASSERT_TRUE(host::runCommand("disconnectMarvikMocap"));
  EXPECT_EQ(host::lastCommandResult(), "");
  auto result = closed.get_future();
  ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);

  // Without a node too: the connection belongs to the process.
  ASSERT_TRUE(host::deleteNode("device"));
  ASSERT_TRUE(host::runCommand("marvikMocapStatus"));
  EXPECT_EQ(host::lastCommandResult(),
            "disconnected " + address + " actors=0 frames=0 fps=0.0 lastFrameMs=-1 reconnects=0");
  EXPECT_THAT(host::errors(), IsEmpty());
}

}  // namespace
