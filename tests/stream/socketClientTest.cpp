#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>

#include "stream/SocketClient.h"
#include "support/LoopbackServer.h"

namespace {

// Opens the protected handle to the test.
class ProbedSocket : public SocketClient {
 public:
  using SocketClient::nativeHandle;
  using SocketClient::SocketClient;
};

int nativeOf(const ProbedSocket& socket) { return static_cast<int>(socket.nativeHandle()); }

// A loopback listener whose one-connection queue is taken by a client nobody accepts, so that
// the system drops every further connection request unanswered.
class FullListener {
 public:
  FullListener() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ::listen(listener, 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    ::connect(queued, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  }
  ~FullListener() {
    ::close(queued);
    ::close(listener);
  }
  int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  int queued = ::socket(AF_INET, SOCK_STREAM, 0);
  std::uint16_t port = 0;
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
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int code = ::getaddrinfo("no-such-host.invalid", nullptr, &hints, &found);
  ASSERT_NE(code, 0);
  try {
    SocketClient("no-such-host.invalid", 7005);
    ADD_FAILURE() << "no exception";
  } catch (const std::string& text) {
    EXPECT_EQ(text, std::string("cannot resolve \"no-such-host.invalid\": ") + gai_strerror(code));
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
  ::close(full.listener);
  full.listener = -1;
  SocketClient refused("127.0.0.1", closedPort);
  EXPECT_FALSE(refused.isConnected());
  EXPECT_EQ(refused.connectError(), "cannot connect to \"127.0.0.1\" port " +
                                        std::to_string(closedPort) + ": Connection refused");
}

TEST(SocketClient, SendsWithoutDelay) {
  LoopbackServer server;
  server.serve([](LoopbackServer::Connection& client) { client.waitForClose(); });
  {
    ProbedSocket socket("127.0.0.1", server.port());
    ASSERT_TRUE(socket.isConnected());
    EXPECT_TRUE(socket.connectError().empty());
    int noDelay = 0;
    socklen_t size = sizeof(noDelay);
    ASSERT_EQ(::getsockopt(nativeOf(socket), IPPROTO_TCP, TCP_NODELAY, &noDelay, &size), 0);
    EXPECT_NE(noDelay, 0);
  }
  server.join();
}

// Destroying a closed socket, last copy or not, leaves a file that took its number open.
TEST(SocketClient, CloseThroughOneCopyIsSeenByAll) {
  LoopbackServer server;
  std::promise<void> accepted;
  server.serve([&](LoopbackServer::Connection& client) {
    accepted.set_value();
    client.waitForClose();
  });
  auto a = std::make_unique<ProbedSocket>("127.0.0.1", server.port());
  // The server's accept must not be the one to take the number freed below.
  ASSERT_EQ(accepted.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  auto b = std::make_unique<Socket>(*a);
  const int number = nativeOf(*a);
  EXPECT_EQ(a->close(), 0);
  EXPECT_EQ(b->close(), -1);
  const int file = ::open("/dev/null", O_RDONLY);
  ASSERT_EQ(file, number) << "the file did not reuse the socket's number";
  a.reset();
  b.reset();
  EXPECT_NE(::fcntl(file, F_GETFD), -1) << "the file was closed";
  ::close(file);
  server.join();
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
