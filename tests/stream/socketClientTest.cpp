#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "stream/SocketClient.h"
#include "support/LoopbackServer.h"

namespace {

TEST(SocketClient, ConnectsByDottedAddressAndSendsEveryByte) {
  LoopbackServer server;
  std::string received;
  server.serve([&](LoopbackServer::Connection& client) {
    client.receive(5, received);
    client.send("reply");
  });
  SocketClient socket("127.0.0.1", server.port());
  ASSERT_TRUE(socket.isConnected());
  EXPECT_EQ(socket.send("hello", 5), 5);
  char buffer[16];
  int total = 0;
  while (total < 5) {
    const int result = socket.receive(buffer + total, 5 - total);
    ASSERT_GT(result, 0);
    total += result;
  }
  EXPECT_EQ(std::string(buffer, 5), "reply");
  server.join();
  EXPECT_EQ(received, "hello");
}

TEST(SocketClient, BadArgumentsMakeNoCall) {
  LoopbackServer server;
  server.serve([](LoopbackServer::Connection& client) { EXPECT_TRUE(client.waitForClose()); });
  {
    SocketClient socket("127.0.0.1", server.port());
    EXPECT_EQ(socket.send("x", 0), -1);
    EXPECT_EQ(socket.receive(nullptr, 4), -1);
  }
  server.join();
}

TEST(SocketClient, ClosedPeerGivesMinusOneEveryTimeAndNoSignal) {
  LoopbackServer server;
  server.serve([](LoopbackServer::Connection&) {});
  SocketClient socket("127.0.0.1", server.port());
  ASSERT_TRUE(socket.isConnected());
  server.join();
  char buffer[4];
  EXPECT_EQ(socket.receive(buffer, 4), -1);
  EXPECT_EQ(socket.receive(buffer, 4), -1);
  // Sending into the reset connection fails instead of raising SIGPIPE.
  int result = 0;
  for (int i = 0; i < 100 && result >= 0; ++i) result = socket.send("data", 4);
  EXPECT_EQ(result, -1);
}

TEST(SocketClient, UnresolvableHostThrowsText) {
  EXPECT_THROW(SocketClient("no-such-host.invalid", 7005), std::string);
}

TEST(SocketClient, DestroyingAClosedSocketLeavesOtherHandlesOpen) {
  LoopbackServer server;
  std::string received;
  server.serve([&](LoopbackServer::Connection& client) { client.receive(2, received); });
  auto closed = std::make_unique<Socket>();
  EXPECT_EQ(closed->close(), 0);
  // Likely reuses the handle number just released.
  SocketClient open("127.0.0.1", server.port());
  closed.reset();
  EXPECT_EQ(open.send("ok", 2), 2);
  server.join();
  EXPECT_EQ(received, "ok");
}

TEST(SocketClient, CopiesShareTheHandleUntilTheLastIsDestroyed) {
  LoopbackServer server;
  std::string received;
  server.serve([&](LoopbackServer::Connection& client) { client.receive(2, received); });
  SocketClient socket("127.0.0.1", server.port());
  {
    Socket copy(socket);
    EXPECT_EQ(copy.send("a", 1), 1);
  }
  EXPECT_EQ(socket.send("b", 1), 1);
  server.join();
  EXPECT_EQ(received, "ab");
}

}  // namespace
