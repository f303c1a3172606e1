#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "ChildProcess.h"
#include "stream/protocolBufferProcess.h"
#include "support/StreamSession.h"

namespace {

using std::chrono::seconds;

std::string sample(const std::string& name) { return std::string(EXAMPLES_DIR) + "/" + name; }

TEST(MarvikServe, ServesAClientLogsItAndStopsOnInterrupt) {
  ChildProcess serve;
  ASSERT_TRUE(serve.start({MARVIK, "serve", sample("humanoid.bvh"), "--port", "0", "--fps", "200",
                           "--compress", "gzip"}));
  std::string line;
  ASSERT_TRUE(serve.waitForLine("marvik serve: listening on 127.0.0.1:", line, seconds(10)))
      << serve.err;
  const std::string prefix = "marvik serve: listening on 127.0.0.1:";
  const int port = std::atoi(line.c_str() + prefix.size());
  EXPECT_EQ(line.substr(line.find(": humanoid")), ": humanoid (25 joints, 360 frames at 200 fps)");

  protocolBufferProcess client;
  ASSERT_TRUE(client.connectToServer("127.0.0.1", static_cast<std::uint16_t>(port)));
  client.startReceiveThread();
  const std::vector<std::string> texts = waitForHeaderTexts(client, 1);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].find("HIERARCHY\nROOT Hips0\n"), 0u);
  client.stopReceiveThread();
  client.closeSocket();

  ASSERT_TRUE(serve.waitForLine("client 1 disconnected after ", line, seconds(10)));
  serve.interrupt();
  EXPECT_EQ(serve.wait(seconds(10)), 0);
  const std::string expected = "client 1 asked for the header of humanoid (tag 1001)\n";
  EXPECT_NE(serve.out.find(expected), std::string::npos) << serve.out;
  EXPECT_EQ(serve.out.substr(serve.out.size() - 22), "marvik serve: stopped\n");
  EXPECT_EQ(serve.err, "");
}

TEST(MarvikServe, BadArgumentsAndFilesExitWithTheirCodes) {
  std::string out;
  std::string err;
  EXPECT_EQ(ChildProcess::run({MARVIK, "serve", "--compress", "lz4"}, seconds(10), out, err), 2);
  EXPECT_EQ(err.substr(0, err.find('\n')), "marvik serve: --compress takes gzip or zlib, not lz4");
  EXPECT_EQ(ChildProcess::run({MARVIK, "serve", "--port", "70000"}, seconds(10), out, err), 2);
  EXPECT_EQ(err.substr(0, err.find('\n')), "marvik serve: bad port 70000");
  EXPECT_EQ(ChildProcess::run({MARVIK, "serve", sample("syntax/hierarchyOnly.bvh")}, seconds(10),
                              out, err),
            1);
  EXPECT_EQ(err, "marvik serve: " + sample("syntax/hierarchyOnly.bvh") + ": no motion to stream\n");
  EXPECT_EQ(out, "");
}

TEST(MarvikServe, OnceEndsAfterItsClientHasEveryFrame) {
  ChildProcess serve;
  ASSERT_TRUE(serve.start(
      {MARVIK, "serve", sample("syntax/lowerCase.bvh"), "--port", "0", "--fps", "100", "--once"}));
  std::string line;
  const std::string prefix = "marvik serve: listening on 127.0.0.1:";
  ASSERT_TRUE(serve.waitForLine(prefix, line, seconds(10)));
  protocolBufferProcess client;
  ASSERT_TRUE(client.connectToServer(
      "127.0.0.1", static_cast<std::uint16_t>(std::atoi(line.c_str() + prefix.size()))));
  EXPECT_EQ(serve.wait(seconds(10)), 0);
  EXPECT_NE(
      serve.out.find("client 1 done after 2 frames, each actor once\nmarvik serve: finished\n"),
      std::string::npos)
      << serve.out;
  client.closeSocket();
}

}  // namespace
