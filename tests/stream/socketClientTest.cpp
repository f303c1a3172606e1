#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "stream/SocketClient.h"
#include "support/LoopbackServer.h"
#include "support/TestSockets.h"

namespace {

// Opens the protected handle to the test.
template <class Base>
class Probed : public Base {
 public:
  using Base::Base;
  testSockets::Handle native() const { return this->nativeHandle(); }
};

// A loopback listener whose one-connection queue is taken by a client nobody accepts, so that
// the system drops every further connection request unanswered.
struct FullListener {
  ~FullListener() {
    testSockets::close(queued);
    if (listener != testSockets::kInvalid) testSockets::close(listener);
  }
  std::uint16_t port = 0;
  testSockets::Handle listener = testSockets::listenLoopback(port, 0);
  testSockets::Handle queued = testSockets::connectLoopback(port);
};

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

TEST(SocketClient, UnresolvableHostThrowsHostAndReason) {
  const std::string reason = testSockets::resolveErrorText("no-such-host.invalid");
  ASSERT_FALSE(reason.empty());
  try {
    SocketClient("no-such-host.invalid", 7005);
    ADD_FAILURE() << "no exception";
  } catch (const std::string& text) {
    EXPECT_EQ(text, "cannot resolve \"no-such-host.invalid\": " + reason);
  }
}

TEST(SocketClient, RefusedAndUnansweredConnectsSayWhy) {
  FullListener full;
  const auto start = std::chrono::steady_clock::now();
  SocketClient unanswered("127.0.0.1", full.port);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(unanswered.isConnected());
  EXPECT_EQ(unanswered.connectError(), "cannot connect to \"127.0.0.1\" port " +
                                           std::to_string(full.port) + ": no answer within 3 s");
  // The system's own wait is a minute or more.
  EXPECT_LT(waited, std::chrono::seconds(10));

  const std::uint16_t closedPort = full.port;
  testSockets::close(full.listener);
  full.listener = testSockets::kInvalid;
  SocketClient refused("127.0.0.1", closedPort);
  EXPECT_FALSE(refused.isConnected());
  EXPECT_EQ(refused.connectError(), "cannot connect to \"127.0.0.1\" port " +
                                        std::to_string(closedPort) + ": " +
                                        testSockets::refusedText());
}

// Winsock takes the time-outs as a DWORD of milliseconds, where a timeval would mean 3 ms.
TEST(SocketClient, ReceiveFromASilentPeerTimesOutAfterThreeSeconds) {
  LoopbackServer server;
  server.serve([](LoopbackServer::Connection& client) { client.waitForClose(); });
  SocketClient socket("127.0.0.1", server.port());
  ASSERT_TRUE(socket.isConnected());
  char buffer[4];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(socket.receive(buffer, 4), -2);
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
  EXPECT_GT(waited, 2500);
  EXPECT_LT(waited, 10000);
}

TEST(SocketClient, SendsWithoutDelay) {
  LoopbackServer server;
  server.serve([](LoopbackServer::Connection& client) { client.waitForClose(); });
  {
    Probed<SocketClient> socket("127.0.0.1", server.port());
    ASSERT_TRUE(socket.isConnected());
    EXPECT_TRUE(socket.connectError().empty());
    EXPECT_TRUE(testSockets::hasNoDelay(socket.native()));
  }
  server.join();
}

// Destroying a closed socket, last copy or not, leaves a socket that took its handle open.
TEST(SocketClient, CloseThroughOneCopyIsSeenByAll) {
  // No peer: a server thread would open and close handles of its own meanwhile.
  auto a = std::make_unique<Probed<Socket>>();
  auto b = std::make_unique<Socket>(*a);
  const testSockets::Handle handle = a->native();
  EXPECT_EQ(a->close(), 0);
  EXPECT_EQ(b->close(), -1);
  const testSockets::Handle other = testSockets::open();
  ASSERT_EQ(other, handle) << "the new socket did not reuse the closed one's handle";
  a.reset();
  b.reset();
  EXPECT_TRUE(testSockets::isOpen(other)) << "the new socket was closed";
  testSockets::close(other);
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

// Winsock's accept ignores SO_RCVTIMEO: a server waiting on it for a client that never comes
// would hold its test until killed.
TEST(LoopbackServer, WaitsForAClientNoLongerThanItsTimeOut) {
  LoopbackServer server(std::chrono::milliseconds(300));
  bool ran = false;
  const auto start = std::chrono::steady_clock::now();
  server.serve([&ran](LoopbackServer::Connection&) { ran = true; });
  server.join();
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count();
  EXPECT_LT(waited, 5000);
  EXPECT_FALSE(server.accepted());
  EXPECT_FALSE(ran);
}

}  // namespace
