// Fuzz target for packet framing and payload decoding: the bytes after the first as one payload,
// then as a received stream handled by a fresh store (actor lists, header texts, frame mapping).
// Only crashes and sanitizer reports count as findings.
#include <google/protobuf/stubs/logging.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "stream/PacketCodec.h"
#include "stream/PacketReader.h"
#include "stream/StreamStore.h"

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
  StreamStore store([](std::uint32_t) {});
  std::uint32_t packetMagic = 0;
  int length = 0;
  while (reader.next(receive, payload.get(), packetMagic, length)) {
    if (length <= 0 || length > PacketReader::kMaxPayload) __builtin_trap();
    store.handleMessage(payload.get(), length, packetMagic);
  }
  return 0;
}
