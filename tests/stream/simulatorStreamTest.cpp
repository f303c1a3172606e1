#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "StreamSimulator.h"
#include "stream/protocolBufferProcess.h"
#include "support/StreamSession.h"

namespace {

int countOf(const std::string& text, const std::string& word) {
  int count = 0;
  for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    ++count;
  }
  return count;
}

TEST(SimulatorStream, TwoActorsArriveWithHeadersAndLiveValues) {
  StreamSimulator::Options options;
  options.actors = 2;
  options.framesPerSecond = 200;
  options.compression = PacketCodec::Compression::kGzip;
  StreamSimulator simulator(options);
  ASSERT_TRUE(simulator.start());
  protocolBufferProcess process;
  ASSERT_TRUE(process.connectToServer("127.0.0.1", simulator.port()));
  process.startReceiveThread();

  // Actor list, two headers and enough frames for both actors to be seen after their header.
  const std::vector<std::string> texts = waitForHeaderTexts(process, 2);
  ASSERT_EQ(texts.size(), 2u);
  const std::uint64_t seen = process.packetCount();
  ASSERT_TRUE(process.waitForPackets(seen + 4, std::chrono::seconds(5)));
  process.stopReceiveThread();
  process.closeSocket();
  simulator.stop();

  for (const std::string& text : texts) {
    EXPECT_EQ(countOf(text, "\nROOT ") + countOf(text, "\nJOINT "), StreamSimulator::kJoints);
    EXPECT_EQ(countOf(text, "{"), countOf(text, "}"));
  }
  EXPECT_EQ(texts[0].find("HIERARCHY\nROOT Hips"), 0u);
  // Each slot holds its actor's newest motion: root height near 95, actor 1 offset by 50.
  float slots[2][protocolBufferProcess::kSlotFloats];
  process.copyFrame(slots[0], sizeof(slots[0]), 0);
  process.copyFrame(slots[1], sizeof(slots[1]), 1);
  for (const auto& values : slots) {
    EXPECT_NEAR(values[1], 95.0f, 2.5f);
    EXPECT_NE(values[3] + values[4] + values[5], 0.0f);
  }
  EXPECT_GT(std::abs(slots[0][0] - slots[1][0]), 5.0f);
}

}  // namespace
