// Fuzz target for packet framing and payload decoding. Built with MOCAP_LIBFUZZER it is a
// libFuzzer target; otherwise main() replays the files given as arguments, or built-in seeds.
#include <google/protobuf/stubs/logging.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "stream/PacketCodec.h"
#include "stream/PacketReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool silenced = (google::protobuf::SetLogHandler(nullptr), true);
  (void)silenced;
  static PacketCodec codec;
  static std::unique_ptr<char[]> payload(new char[PacketReader::kMaxPayload]);
  BrexPlugs::BREX_PLUGIN_MESSAGE message;
  if (size == 0) return 0;

  // The first byte picks the payload's framing and the split of the stream below.
  const std::uint32_t magic =
      (data[0] & 1) != 0 ? PacketReader::kCompressedMagic : PacketReader::kPlainMagic;
  const std::size_t payloadSize = std::min<std::size_t>(size - 1, PacketReader::kMaxPayload);
  std::memcpy(payload.get(), data + 1, payloadSize);
  codec.decode(magic, payload.get(), static_cast<int>(payloadSize), message);

  // The same bytes as a received stream, in pieces of 1 to 16 bytes.
  const std::size_t chunk = static_cast<std::size_t>(data[0] >> 4) + 1;
  std::size_t offset = 1;
  const PacketReader::ReceiveFunction receive = [&](char* buffer, int room) {
    if (offset >= size) return -1;
    const std::size_t n = std::min({chunk, size - offset, static_cast<std::size_t>(room)});
    std::memcpy(buffer, data + offset, n);
    offset += n;
    return static_cast<int>(n);
  };
  PacketReader reader;
  std::uint32_t packetMagic = 0;
  int length = 0;
  while (reader.next(receive, payload.get(), packetMagic, length)) {
    if (length <= 0 || length > PacketReader::kMaxPayload) __builtin_trap();
    codec.decode(packetMagic, payload.get(), length, message);
  }
  return 0;
}

#ifndef MOCAP_LIBFUZZER
namespace {

std::string withHead(const char* magic, const std::string& payload) {
  std::string bytes(magic, 4);
  const auto length = static_cast<std::uint32_t>(payload.size());
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((length >> (8 * i)) & 0xff);
  return bytes + payload;
}

std::vector<std::string> seeds() {
  BrexPlugs::BREX_PLUGIN_MESSAGE frame;
  frame.set_message(BrexPlugs::BREX_PLUGIN_MESSAGE::FRAME_DATA);
  frame.mutable_frame()->set_actortag(3);
  for (int i = 0; i < 12; ++i) frame.mutable_frame()->add_motiondata(static_cast<float>(i));
  std::string plain;
  std::string compressed;
  PacketCodec::encodePacket(frame, PacketCodec::Compression::kNone, plain);
  PacketCodec::encodePacket(frame, PacketCodec::Compression::kZlib, compressed);
  char query[PacketCodec::kQueryBlockSize];
  const int querySize = PacketCodec::encodeQuery(7, query);
  return {std::string("\x00", 1) + plain.substr(8), std::string("\x01", 1) + compressed.substr(8),
          std::string("\x21", 1) + std::string(query + 8, static_cast<std::size_t>(querySize - 8)),
          std::string("\x30", 1) + "junk" + withHead("AAAA", "\x08\x05") + plain + compressed,
          std::string("\xf0", 1) + withHead("CCCC", std::string(3, '\xff')) + plain};
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    inputs.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  if (argc < 2) inputs = seeds();
  for (const std::string& input : inputs) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
  }
  return 0;
}
#endif
