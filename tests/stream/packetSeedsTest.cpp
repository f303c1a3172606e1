#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "stream/PacketCodec.h"
#include "stream/PacketReader.h"

// The packet fuzz target's seeds only lead it into the decoder while they still match the wire
// format; these tests notice a wire change that leaves them stale.
namespace {

using Message = BrexPlugs::BREX_PLUGIN_MESSAGE;

enum Framing { kPlain, kGzip, kZlib, kUnknown };

struct Seed {
  std::string name;
  std::string bytes;
};

std::vector<Seed> seeds(const std::string& prefix) {
  std::vector<Seed> result;
  for (const auto& entry : std::filesystem::directory_iterator(MOCAP_PACKET_SEEDS)) {
    const std::string name = entry.path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    result.push_back({name, std::string(std::istreambuf_iterator<char>(file),
                                        std::istreambuf_iterator<char>())});
  }
  std::sort(result.begin(), result.end(),
            [](const Seed& a, const Seed& b) { return a.name < b.name; });
  return result;
}

Framing framingOf(std::uint32_t magic, const char* payload, int length) {
  if (magic == PacketReader::kPlainMagic) return kPlain;
  if (length < 2) return kUnknown;
  const auto first = static_cast<unsigned char>(payload[0]);
  if (first == 0x1f && static_cast<unsigned char>(payload[1]) == 0x8b) return kGzip;
  return (first & 0x0f) == 8 ? kZlib : kUnknown;
}

// The messages the stream after the control byte carries, as the fuzz target reads it.
std::vector<std::pair<Framing, Message>> streamMessagesOf(const std::string& bytes) {
  std::size_t offset = 1;
  const PacketReader::ReceiveFunction receive = [&](char* buffer, int room) {
    if (offset >= bytes.size()) return -1;
    const std::size_t n = std::min(bytes.size() - offset, static_cast<std::size_t>(room));
    std::memcpy(buffer, bytes.data() + offset, n);
    offset += n;
    return static_cast<int>(n);
  };
  PacketReader reader;
  PacketCodec codec;
  std::unique_ptr<char[]> payload(new char[PacketReader::kMaxPayload]);
  std::vector<std::pair<Framing, Message>> messages;
  std::uint32_t magic = 0;
  int length = 0;
  while (reader.next(receive, payload.get(), magic, length)) {
    Message message;
    if (codec.decode(magic, payload.get(), length, message)) {
      messages.emplace_back(framingOf(magic, payload.get(), length), message);
    }
  }
  return messages;
}

TEST(PacketSeeds, EveryMessageTypeArrivesFramedPlainGzipAndZlib) {
  std::set<std::pair<int, int>> seen;
  for (const Seed& seed : seeds("packet-")) {
    const auto messages = streamMessagesOf(seed.bytes);
    ASSERT_EQ(1u, messages.size()) << seed.name;
    seen.emplace(messages[0].first, messages[0].second.message());
  }
  for (int framing : {kPlain, kGzip, kZlib}) {
    for (int type : {Message::COMMAND, Message::HEADER_DATA, Message::FRAME_DATA}) {
      EXPECT_EQ(1u, seen.count({framing, type})) << "framing " << framing << ", type " << type;
    }
  }
}

TEST(PacketSeeds, PayloadSeedsDecodeWithTheMagicTheirControlBytePicks) {
  std::set<int> seen;
  PacketCodec codec;
  for (const Seed& seed : seeds("payload-")) {
    ASSERT_GT(seed.bytes.size(), 1u) << seed.name;
    const std::uint32_t magic =
        (seed.bytes[0] & 1) != 0 ? PacketReader::kCompressedMagic : PacketReader::kPlainMagic;
    Message message;
    ASSERT_TRUE(codec.decode(magic, seed.bytes.data() + 1, static_cast<int>(seed.bytes.size() - 1),
                             message))
        << seed.name;
    seen.insert(message.message());
  }
  EXPECT_EQ((std::set<int>{Message::COMMAND, Message::HEADER_DATA, Message::FRAME_DATA}), seen);
}

TEST(PacketSeeds, MixedStreamsStillCarryPackets) {
  const std::vector<Seed> streams = seeds("stream-");
  ASSERT_FALSE(streams.empty());
  for (const Seed& seed : streams) EXPECT_FALSE(streamMessagesOf(seed.bytes).empty()) << seed.name;
}

}  // namespace
