#include <google/protobuf/stubs/logging.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "stream/PacketCodec.h"
#include "support/StreamMessages.h"

namespace {

using Compression = PacketCodec::Compression;

std::string inflateAll(const std::string& data) {
  z_stream stream{};
  inflateInit2(&stream, 15 + 32);
  std::string out(1 << 16, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
  stream.avail_out = static_cast<uInt>(out.size());
  const int status = inflate(&stream, Z_FINISH);
  out.resize(status == Z_STREAM_END ? stream.total_out : 0);
  inflateEnd(&stream);
  return out;
}

std::string deflateZeros(std::size_t count) {
  const std::string zeros(count, '\0');
  uLongf size = compressBound(static_cast<uLong>(count));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(&out[0]), &size, reinterpret_cast<const Bytef*>(zeros.data()),
           static_cast<uLong>(count));
  out.resize(size);
  return out;
}

std::string payloadOf(const std::string& packet) { return packet.substr(8); }

class PacketCodecTest : public ::testing::Test {
 protected:
  // Protobuf reports missing required fields on its log; the drop is what is tested.
  void SetUp() override { google::protobuf::SetLogHandler(nullptr); }
  void TearDown() override { google::protobuf::SetLogHandler(previous); }

  bool decode(const std::string& packet) {
    const std::uint32_t magic = packet[0] == 'A' ? 0x41414141u : 0x43434343u;
    const std::string payload = payloadOf(packet);
    return codec.decode(magic, payload.data(), static_cast<int>(payload.size()), message);
  }

  google::protobuf::LogHandler* previous = google::protobuf::SetLogHandler(nullptr);
  PacketCodec codec;
  BrexPlugs::BREX_PLUGIN_MESSAGE message;
};

TEST_F(PacketCodecTest, QueryIsOneGzipPacketWithExactMessageBytes) {
  char block[PacketCodec::kQueryBlockSize];
  const int size = PacketCodec::encodeQuery(7, block);
  ASSERT_GT(size, 8);
  const std::string packet(block, static_cast<std::size_t>(size));
  EXPECT_EQ(packet.substr(0, 4), "CCCC");
  const auto length = static_cast<std::uint32_t>(static_cast<unsigned char>(packet[4])) |
                      static_cast<std::uint32_t>(static_cast<unsigned char>(packet[5])) << 8 |
                      static_cast<std::uint32_t>(static_cast<unsigned char>(packet[6])) << 16 |
                      static_cast<std::uint32_t>(static_cast<unsigned char>(packet[7])) << 24;
  EXPECT_EQ(length, static_cast<std::uint32_t>(size - 8));
  EXPECT_EQ(static_cast<unsigned char>(packet[8]), 0x1f);
  EXPECT_EQ(static_cast<unsigned char>(packet[9]), 0x8b);
  EXPECT_EQ(inflateAll(payloadOf(packet)), std::string("\x08\x00\x22\x04\x08\x06\x10\x07", 8));
  for (int i = size; i < PacketCodec::kQueryBlockSize; ++i) EXPECT_EQ(block[i], 0) << i;
}

TEST_F(PacketCodecTest, PlainGzipAndZlibPayloadsDecode) {
  const auto frame = streamMessages::frame(4, {1.5f, -2.0f});
  for (Compression compression : {Compression::kNone, Compression::kGzip, Compression::kZlib}) {
    message.Clear();
    ASSERT_TRUE(decode(streamMessages::packet(frame, compression)));
    EXPECT_EQ(message.message(), BrexPlugs::BREX_PLUGIN_MESSAGE::FRAME_DATA);
    EXPECT_EQ(message.frame().actortag(), 4u);
    ASSERT_EQ(message.frame().motiondata_size(), 2);
    EXPECT_EQ(message.frame().motiondata(1), -2.0f);
  }
}

TEST_F(PacketCodecTest, PlainPayloadHoldingGzipDataIsDropped) {
  std::string packet = streamMessages::packet(streamMessages::frame(4, {1}), Compression::kGzip);
  packet[0] = packet[1] = packet[2] = packet[3] = 'A';
  EXPECT_FALSE(decode(packet));
}

TEST_F(PacketCodecTest, TruncatedOrCorruptCompressedPayloadIsDropped) {
  const std::string packet =
      streamMessages::packet(streamMessages::frame(4, {1, 2, 3}), Compression::kZlib);
  EXPECT_FALSE(decode(packet.substr(0, packet.size() - 3)));
  std::string corrupt = packet;
  corrupt[10] = static_cast<char>(corrupt[10] ^ 0x5a);
  corrupt[11] = static_cast<char>(corrupt[11] ^ 0x5a);
  EXPECT_FALSE(decode(corrupt));
}

TEST_F(PacketCodecTest, InflationBeyondCapIsDropped) {
  const std::string bomb = deflateZeros(PacketCodec::kMaxInflated + 1);
  ASSERT_LT(bomb.size(), 184320u);
  // Measured in the first block, never given a buffer of its size: glibc keeps such a block
  // resident in the receive thread's arena after it is freed.
  EXPECT_FALSE(codec.decode(0x43434343u, bomb.data(), static_cast<int>(bomb.size()), message));
  EXPECT_LE(codec.bufferSize(), std::size_t{65536});

  // A big message just within the cap still decodes afterwards.
  BrexPlugs::BREX_PLUGIN_MESSAGE big = streamMessages::frame(1, {});
  big.mutable_frame()->set_actorname(std::string(PacketCodec::kMaxInflated - 64, 'x'));
  ASSERT_TRUE(decode(streamMessages::packet(big, Compression::kGzip)));
  EXPECT_EQ(message.frame().actorname().size(), PacketCodec::kMaxInflated - 64);
}

TEST_F(PacketCodecTest, MissingRequiredFieldDropsWholeMessage) {
  BrexPlugs::BREX_PLUGIN_MESSAGE header =
      streamMessages::header(3, streamMessages::joint("Hips", 0, 0, 0, {}));
  header.mutable_header()->mutable_rootjoin()->clear_offset();
  EXPECT_FALSE(decode(streamMessages::packet(header)));
  EXPECT_FALSE(decode(streamMessages::rawPacket("AAAA", 0, "")));
}

TEST_F(PacketCodecTest, ActorListCommandWithoutListReadsAsEmpty) {
  BrexPlugs::BREX_PLUGIN_MESSAGE command = streamMessages::actorList({});
  command.mutable_command()->clear_actorslist();
  ASSERT_TRUE(decode(streamMessages::packet(command)));
  EXPECT_EQ(message.command().cmdtype(), BrexPlugs::COMMAND::Notify_ActorsList);
  EXPECT_TRUE(message.command().actorslist().map().empty());
}

TEST_F(PacketCodecTest, UnknownChannelValueIsNotAChannel) {
  // Channels field 2 holding 9 inside a joint, next to a valid Xrotation.
  BrexPlugs::BVH_JOIN joint = streamMessages::joint("A", 0, 0, 0, {BrexPlugs::BVH_JOIN::Xrotation});
  std::string bytes = joint.SerializeAsString() + std::string("\x10\x09", 2);
  BrexPlugs::BVH_JOIN decoded;
  ASSERT_TRUE(decoded.ParseFromString(bytes));
  ASSERT_EQ(decoded.channels_size(), 1);
  EXPECT_EQ(decoded.channels(0), BrexPlugs::BVH_JOIN::Xrotation);
}

}  // namespace
