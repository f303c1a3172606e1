#pragma once

#include <cstdint>
#include <functional>
#include <memory>

// Cuts packets out of the stream's byte sequence: a 4-byte magic ("AAAA" plain, "CCCC"
// compressed), a little-endian signed 32-bit payload length, the payload. Reads complete
// heads and payloads however the bytes are split over receive calls.
class PacketReader {
 public:
  static constexpr std::uint32_t kPlainMagic = 0x41414141;
  static constexpr std::uint32_t kCompressedMagic = 0x43434343;
  static constexpr int kHeadSize = 8;
  static constexpr int kMaxPayload = 184320;

  // One receive call: byte count (> 0), -2 on time-out (the call is repeated), anything else
  // ends the read (closed peer, error, or the caller giving up).
  using ReceiveFunction = std::function<int(char* buffer, int size)>;

  PacketReader();

  // Reads the next packet with a payload of 1 to kMaxPayload bytes into payload (kMaxPayload
  // bytes of room). Words that are no magic are skipped in 4-byte steps; a packet declaring
  // a longer payload is read past, one declaring none is skipped. Returns false when receive
  // ends the read; the bytes of a packet read in part are then lost.
  bool next(const ReceiveFunction& receive, char* payload, std::uint32_t& magic, int& length);

  // Forgets buffered bytes; for a new connection.
  void reset();
  // Whether bytes received are waiting to be read.
  bool buffered() const { return begin != end; }

 private:
  bool read(const ReceiveFunction& receive, char* destination, int count);
  bool skip(const ReceiveFunction& receive, std::int64_t count);
  bool fill(const ReceiveFunction& receive);

  static constexpr int kStageSize = 65536;
  std::unique_ptr<char[]> stage;
  int begin = 0;
  int end = 0;
};
