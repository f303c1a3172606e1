#include "stream/PacketReader.h"

#include <algorithm>
#include <cstring>

namespace {

std::uint32_t littleEndianWord(const char* bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes);
  return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
         static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

bool isMagic(std::uint32_t word) {
  return word == PacketReader::kPlainMagic || word == PacketReader::kCompressedMagic;
}

}  // namespace

PacketReader::PacketReader() : stage(new char[kStageSize]) {}

void PacketReader::reset() { begin = end = 0; }

bool PacketReader::next(const ReceiveFunction& receive, char* payload, std::uint32_t& magic,
                        int& length) {
  char bytes[4];
  if (!read(receive, bytes, 4)) return false;
  std::uint32_t word = littleEndianWord(bytes);
  for (;;) {
    while (!isMagic(word)) {
      if (!read(receive, bytes, 4)) return false;
      word = littleEndianWord(bytes);
    }
    if (!read(receive, bytes, 4)) return false;
    const auto declared = static_cast<std::int32_t>(littleEndianWord(bytes));
    if (declared > 0 && declared <= kMaxPayload) {
      if (!read(receive, payload, declared)) return false;
      magic = word;
      length = declared;
      return true;
    }
    // Never into the payload buffer: step over what the packet says it carries.
    if (declared > 0 && !skip(receive, declared)) return false;
    if (!read(receive, bytes, 4)) return false;
    word = littleEndianWord(bytes);
  }
}

bool PacketReader::read(const ReceiveFunction& receive, char* destination, int count) {
  while (count > 0) {
    if (begin == end && !fill(receive)) return false;
    const int n = std::min(count, end - begin);
    std::memcpy(destination, stage.get() + begin, static_cast<std::size_t>(n));
    begin += n;
    destination += n;
    count -= n;
  }
  return true;
}

bool PacketReader::skip(const ReceiveFunction& receive, std::int64_t count) {
  while (count > 0) {
    if (begin == end && !fill(receive)) return false;
    const int n = static_cast<int>(std::min<std::int64_t>(count, end - begin));
    begin += n;
    count -= n;
  }
  return true;
}

bool PacketReader::fill(const ReceiveFunction& receive) {
  begin = end = 0;
  for (;;) {
    const int received = receive(stage.get(), kStageSize);
    if (received > 0) {
      end = std::min(received, kStageSize);
      return true;
    }
    if (received != -2) return false;
  }
}
