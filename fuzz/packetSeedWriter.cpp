// Writes the packet fuzz target's seed corpus into the folder given as argument: every message
// type framed plain, gzip and zlib ("packet-*"), the same payloads without their head
// ("payload-*"), and streams mixing packets with junk and bad heads ("stream-*"). Each file is
// one control byte (bit 0: the payload's magic, high nibble: receive chunk size - 1) and the
// bytes. Regenerate after a wire change: packetSeedWriter fuzz/corpus/packetPayloadFuzz
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "stream/PacketCodec.h"
#include "stream/PacketReader.h"
#include "support/StreamMessages.h"

namespace {

using Compression = PacketCodec::Compression;
using Message = BrexPlugs::BREX_PLUGIN_MESSAGE;
namespace sm = streamMessages;

Message command(BrexPlugs::COMMAND::CommandType type) {
  Message message;
  message.set_message(Message::COMMAND);
  message.mutable_command()->set_cmdtype(type);
  return message;
}

std::vector<std::pair<std::string, Message>> messages() {
  using J = BrexPlugs::BVH_JOIN;
  Message query = command(BrexPlugs::COMMAND::Command_Query_BVH_Header);
  query.mutable_command()->set_actortag(1);
  Message error = command(BrexPlugs::COMMAND::Notify_Error);
  error.mutable_command()->mutable_errormsg()->set_errorcode(4);
  error.mutable_command()->mutable_errormsg()->set_errormsg("actor lost");
  Message characterised = command(BrexPlugs::COMMAND::Notify_Characterised);
  characterised.mutable_command()->set_actortag(2);
  const J root = sm::joint(
      "Hips", 0, 90, 0,
      {J::Xposition, J::Yposition, J::Zposition, J::Zrotation, J::Xrotation, J::Yrotation},
      {sm::withEndSite(sm::joint("Spine", 0, 10, 0, {J::Zrotation, J::Xrotation, J::Yrotation}), 0,
                       12, 0),
       sm::joint("LeftUpLeg", 9, -4, 0, {J::Zrotation, J::Xrotation, J::Yrotation})});
  return {{"actors", sm::actorList({{1, "Anna"}, {2, "Ben"}})},
          {"query", query},
          {"error", error},
          {"characterised", characterised},
          {"uncharacterised", command(BrexPlugs::COMMAND::Notify_Uncharacterised)},
          {"header", sm::header(1, root)},
          {"frame", sm::frame(1, {1.5f, 90, -0.5f, 10, 20, 30, 1, 2, 3, -4, 5, 6})}};
}

const std::pair<const char*, Compression> kCompressions[] = {
    {"plain", Compression::kNone}, {"gzip", Compression::kGzip}, {"zlib", Compression::kZlib}};

const Message& named(const std::vector<std::pair<std::string, Message>>& all,
                     const std::string& name) {
  for (const auto& entry : all) {
    if (entry.first == name) return entry.second;
  }
  return all.front().second;
}

bool write(const std::string& folder, const std::string& name, char control,
           const std::string& bytes) {
  std::ofstream file(folder + "/" + name, std::ios::binary);
  file << control << bytes;
  return static_cast<bool>(file.flush());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  bool written = true;
  int chunk = 0;
  const std::vector<std::pair<std::string, Message>> all = messages();
  for (const auto& [name, message] : all) {
    for (const auto& [compressionName, compression] : kCompressions) {
      const std::string packet = sm::packet(message, compression);
      const char magicBit = compression == Compression::kNone ? 0 : 1;
      const char control = static_cast<char>((chunk++ % 16) << 4);
      const std::string suffix = name + "-" + compressionName;
      written = write(folder, "packet-" + suffix, control, packet) && written;
      written = write(folder, "payload-" + suffix, control | magicBit, packet.substr(8)) && written;
    }
  }

  const std::string frame = sm::packet(named(all, "frame"));
  const std::string header = sm::packet(named(all, "header"), Compression::kGzip);
  char query[PacketCodec::kQueryBlockSize];
  const int querySize = PacketCodec::encodeQuery(7, query);
  written = write(folder, "stream-query-block", '\x21', std::string(query, sizeof(query))) &&
            querySize > 0 && written;
  written = write(folder, "stream-junk-then-packets", '\x30',
                  "junk" + sm::rawPacket("AAAA", 2, "\x08\x05") + header + frame) &&
            written;
  written = write(folder, "stream-overlong-head", '\xf0',
                  sm::rawPacket("CCCC", 3, std::string(3, '\xff')) + frame +
                      sm::rawPacket("AAAA", PacketReader::kMaxPayload + 1, frame)) &&
            written;
  written = write(folder, "stream-empty-and-negative", '\x70',
                  sm::rawPacket("AAAA", 0, "") + sm::rawPacket("CCCC", -1, "") + frame) &&
            written;
  written = write(folder, "stream-truncated", '\x10', header + frame.substr(0, 20)) && written;
  if (!written) std::fprintf(stderr, "cannot write into %s\n", folder.c_str());
  return written ? 0 : 1;
}
