#include "stream/PacketCodec.h"

#include <google/protobuf/io/gzip_stream.h>
#include <google/protobuf/io/zero_copy_stream_impl_lite.h>
#include <google/protobuf/message_lite.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "stream/PacketReader.h"

namespace {

// Codecs alive: a receive thread left running at exit still holds its own.
std::atomic<int> liveCodecs{0};

// Protobuf's own tables live as long as its copy: in the module, until the module unloads. Freed
// then, so that each unload gives back what the load took; kept while a receive thread that
// outlived its stream processor may still decode with them.
struct ProtobufRelease {
  ~ProtobufRelease() {
    if (liveCodecs == 0) google::protobuf::ShutdownProtobufLibrary();
  }
} protobufRelease;

void putLittleEndian(std::uint32_t value, char* bytes) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

bool compress(const BrexPlugs::BREX_PLUGIN_MESSAGE& message, PacketCodec::Compression compression,
              std::string& out) {
  google::protobuf::io::StringOutputStream stream(&out);
  google::protobuf::io::GzipOutputStream::Options options;
  options.format = compression == PacketCodec::Compression::kZlib
                       ? google::protobuf::io::GzipOutputStream::ZLIB
                       : google::protobuf::io::GzipOutputStream::GZIP;
  google::protobuf::io::GzipOutputStream gzip(&stream, options);
  return message.SerializePartialToZeroCopyStream(&gzip) && gzip.Close();
}

}  // namespace

PacketCodec::PacketCodec() {
  std::memset(&inflater, 0, sizeof(inflater));
  ++liveCodecs;
}

PacketCodec::~PacketCodec() {
  if (inflaterReady) inflateEnd(&inflater);
  --liveCodecs;
}

bool PacketCodec::decode(std::uint32_t magic, const char* payload, int length,
                         BrexPlugs::BREX_PLUGIN_MESSAGE& message) {
  if (magic == PacketReader::kPlainMagic) return message.ParseFromArray(payload, length);
  if (magic != PacketReader::kCompressedMagic || !inflate(payload, length)) return false;
  return message.ParseFromArray(inflated.get(), static_cast<int>(inflatedSize));
}

bool PacketCodec::restartInflater() {
  if (!inflaterReady) {
    // 15 + 32: the largest window, and the gzip or zlib header detected from the data.
    if (inflateInit2(&inflater, 15 + 32) != Z_OK) return false;
    inflaterReady = true;
    return true;
  }
  return inflateReset(&inflater) == Z_OK;
}

bool PacketCodec::inflate(const char* data, int length) {
  if (inflatedCapacity == 0) {
    inflated.reset(new unsigned char[kFirstBlock]);
    inflatedCapacity = kFirstBlock;
  }
  // Every real message fits the buffer at once. A payload that does not is inflated on into
  // the same buffer only to measure it, and gets a buffer of its own size only if it ends
  // within kMaxInflated: a zlib bomb costs no memory beyond the buffer.
  std::size_t total = 0;
  int status = Z_OK;
  if (!restartInflater()) return false;
  inflater.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  inflater.avail_in = static_cast<uInt>(length);
  while (status == Z_OK && total <= kMaxInflated) {
    inflater.next_out = inflated.get();
    inflater.avail_out = static_cast<uInt>(inflatedCapacity);
    status = ::inflate(&inflater, Z_NO_FLUSH);
    total += inflatedCapacity - inflater.avail_out;
    // The whole stream in the buffer at once: done.
    if (status == Z_STREAM_END && total <= inflatedCapacity) {
      inflatedSize = total;
      return true;
    }
  }
  // Anything but a complete stream (truncated, corrupt) loses the message, as does one
  // inflating beyond the cap.
  if (status != Z_STREAM_END || total > kMaxInflated) return false;
  inflated.reset(new unsigned char[total]);
  inflatedCapacity = total;
  if (!restartInflater()) return false;
  inflater.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  inflater.avail_in = static_cast<uInt>(length);
  inflater.next_out = inflated.get();
  inflater.avail_out = static_cast<uInt>(total);
  if (::inflate(&inflater, Z_FINISH) != Z_STREAM_END) return false;
  inflatedSize = total;
  return true;
}

int PacketCodec::encodeQuery(std::uint32_t actorTag, char (&block)[kQueryBlockSize]) {
  BrexPlugs::BREX_PLUGIN_MESSAGE message;
  message.set_message(BrexPlugs::BREX_PLUGIN_MESSAGE::COMMAND);
  BrexPlugs::COMMAND* command = message.mutable_command();
  command->set_cmdtype(BrexPlugs::COMMAND::Command_Query_BVH_Header);
  command->set_actortag(actorTag);

  std::memset(block, 0, sizeof(block));
  putLittleEndian(PacketReader::kCompressedMagic, block);
  int compressedSize = 0;
  {
    google::protobuf::io::ArrayOutputStream array(block + PacketReader::kHeadSize,
                                                  kQueryBlockSize - PacketReader::kHeadSize);
    google::protobuf::io::GzipOutputStream gzip(&array);
    if (!message.SerializeToZeroCopyStream(&gzip) || !gzip.Close()) return 0;
    compressedSize = static_cast<int>(array.ByteCount());
  }
  putLittleEndian(static_cast<std::uint32_t>(compressedSize), block + 4);
  return PacketReader::kHeadSize + compressedSize;
}

bool PacketCodec::encodePacket(const BrexPlugs::BREX_PLUGIN_MESSAGE& message,
                               Compression compression, std::string& out) {
  std::string payload;
  const bool encoded = compression == Compression::kNone
                           ? message.SerializePartialToString(&payload)
                           : compress(message, compression, payload);
  if (!encoded) return false;
  char head[PacketReader::kHeadSize];
  putLittleEndian(compression == Compression::kNone ? PacketReader::kPlainMagic
                                                    : PacketReader::kCompressedMagic,
                  head);
  putLittleEndian(static_cast<std::uint32_t>(payload.size()), head + 4);
  out.append(head, sizeof(head));
  out += payload;
  return true;
}
