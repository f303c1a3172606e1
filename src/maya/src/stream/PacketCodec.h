#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "BREX_PLUG_MESSAGE.pb.h"

// Payload encoding of the stream: BREX_PLUGIN_MESSAGE plain ("AAAA") or deflate-compressed
// ("CCCC", gzip or zlib framing). Reuses its buffers; one object per thread.
class PacketCodec {
 public:
  // Far above any real message; a "CCCC" payload inflating beyond it is dropped.
  static constexpr std::size_t kMaxInflated = 4u << 20;
  static constexpr int kQueryBlockSize = 512;

  enum class Compression { kNone, kGzip, kZlib };

  PacketCodec();
  ~PacketCodec();
  PacketCodec(const PacketCodec&) = delete;
  PacketCodec& operator=(const PacketCodec&) = delete;

  // Parses a payload into message. False when it does not inflate completely within
  // kMaxInflated, does not parse, or lacks a required field (protobuf logs that one).
  bool decode(std::uint32_t magic, const char* payload, int length,
              BrexPlugs::BREX_PLUGIN_MESSAGE& message);

  // Writes the header query for actorTag as one gzip-compressed "CCCC" packet at the start of
  // the zero-filled block. Returns the packet size, or 0 if it did not fit.
  static int encodeQuery(std::uint32_t actorTag, char (&block)[kQueryBlockSize]);

  // Bytes held for inflated payloads: 64 KiB, or the largest payload decoded that needed more.
  std::size_t bufferSize() const { return inflatedCapacity; }

  // Appends message (initialised or not) to out as one packet; "AAAA" for kNone, else "CCCC".
  static bool encodePacket(const BrexPlugs::BREX_PLUGIN_MESSAGE& message, Compression compression,
                           std::string& out);

 private:
  // The buffer's first size, far above any real message.
  static constexpr std::size_t kFirstBlock = 65536;

  bool restartInflater();
  bool inflate(const char* data, int length);

  z_stream inflater;
  bool inflaterReady = false;
  std::unique_ptr<unsigned char[]> inflated;
  std::size_t inflatedCapacity = 0;
  std::size_t inflatedSize = 0;
};
