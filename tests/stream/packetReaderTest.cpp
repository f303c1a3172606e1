#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "stream/PacketReader.h"
#include "support/StreamMessages.h"

namespace {

const std::size_t kBlockSizes[] = {1, 2, 3, 5, 7, 13, 0};

// Hands out input in pieces of at most chunk bytes (0: as much as asked), then reports close.
class ChunkedSource {
 public:
  ChunkedSource(std::string bytes, std::size_t chunkSize)
      : input(std::move(bytes)), chunk(chunkSize) {}
  int operator()(char* buffer, int size) {
    if (offset == input.size()) return -1;
    std::size_t n = std::min(input.size() - offset, static_cast<std::size_t>(size));
    if (chunk != 0) n = std::min(n, chunk);
    std::memcpy(buffer, input.data() + offset, n);
    offset += n;
    return static_cast<int>(n);
  }

 private:
  std::string input;
  std::size_t chunk;
  std::size_t offset = 0;
};

struct Packet {
  std::uint32_t magic;
  std::string payload;
};

std::vector<Packet> readAll(const std::string& input, std::size_t chunk) {
  ChunkedSource source(input, chunk);
  // Every other call times out, which must lose no bytes.
  bool timedOut = false;
  const PacketReader::ReceiveFunction receive = [&](char* buffer, int size) {
    timedOut = !timedOut;
    return timedOut ? -2 : source(buffer, size);
  };
  PacketReader reader;
  std::unique_ptr<char[]> payload(new char[PacketReader::kMaxPayload]);
  std::vector<Packet> packets;
  std::uint32_t magic = 0;
  int length = 0;
  while (reader.next(receive, payload.get(), magic, length)) {
    packets.push_back({magic, std::string(payload.get(), static_cast<std::size_t>(length))});
  }
  return packets;
}

TEST(PacketReader, PacketsArriveWholeWhateverTheSplit) {
  const std::string first = streamMessages::packet(streamMessages::frame(1, {1, 2, 3}));
  const std::string second =
      streamMessages::packet(streamMessages::frame(2, {4}), PacketCodec::Compression::kGzip);
  for (std::size_t chunk : kBlockSizes) {
    const auto packets = readAll(first + second, chunk);
    ASSERT_EQ(packets.size(), 2u) << "chunk " << chunk;
    EXPECT_EQ(packets[0].magic, PacketReader::kPlainMagic);
    EXPECT_EQ(packets[0].payload, first.substr(8));
    EXPECT_EQ(packets[1].magic, PacketReader::kCompressedMagic);
    EXPECT_EQ(packets[1].payload, second.substr(8));
  }
}

TEST(PacketReader, GarbageBeforeMagicIsSkippedInWordSteps) {
  const std::string packet = streamMessages::rawPacket("AAAA", 3, "xyz");
  for (std::size_t chunk : kBlockSizes) {
    const auto packets = readAll("garbage!" + std::string("\0\0\0\0", 4) + packet, chunk);
    ASSERT_EQ(packets.size(), 1u) << "chunk " << chunk;
    EXPECT_EQ(packets[0].payload, "xyz");
  }
  // Word steps: a magic straddling two words is not seen.
  EXPECT_TRUE(readAll("AA" + packet.substr(0, 6) + "..", 0).empty());
}

TEST(PacketReader, BadLengthsAreSkippedWithoutLosingFollowingPackets) {
  const std::string oversize(PacketReader::kMaxPayload + 1, 'A');
  const std::string input =
      streamMessages::rawPacket("CCCC", -5, "") + streamMessages::rawPacket("AAAA", 0, "") +
      streamMessages::rawPacket("CCCC", PacketReader::kMaxPayload + 1, oversize) +
      streamMessages::rawPacket("AAAA", 2, "ok") +
      streamMessages::rawPacket("CCCC", PacketReader::kMaxPayload,
                                std::string(PacketReader::kMaxPayload, 'm')) +
      streamMessages::rawPacket("AAAA", 4, "last");
  for (std::size_t chunk : {std::size_t{0}, std::size_t{7}, std::size_t{13}}) {
    const auto packets = readAll(input, chunk);
    ASSERT_EQ(packets.size(), 3u) << "chunk " << chunk;
    EXPECT_EQ(packets[0].payload, "ok");
    EXPECT_EQ(packets[1].payload.size(), static_cast<std::size_t>(PacketReader::kMaxPayload));
    EXPECT_EQ(packets[2].payload, "last");
  }
}

TEST(PacketReader, ClosedMidPacketDeliversNothing) {
  const std::string packet = streamMessages::packet(streamMessages::frame(1, {1, 2, 3}));
  for (std::size_t cut = 1; cut < packet.size(); ++cut) {
    EXPECT_TRUE(readAll(packet.substr(0, cut), 0).empty()) << cut;
  }
}

}  // namespace
