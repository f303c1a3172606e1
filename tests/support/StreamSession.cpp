#include "support/StreamSession.h"

#include <chrono>
#include <string>

#include "stream/PacketCodec.h"

StreamSession::StreamSession(std::function<void(LoopbackServer::Connection&)> script) {
  server.serve(std::move(script));
  connected = process.connectToServer("127.0.0.1", server.port());
  process.startReceiveThread();
}

StreamSession::~StreamSession() {
  process.stopReceiveThread();
  process.closeSocket();
  server.join();
}

bool StreamSession::waitForPackets(std::uint64_t count) {
  return process.waitForPackets(count, std::chrono::seconds(5));
}

std::vector<float> StreamSession::frame(int slot) {
  std::vector<float> values(protocolBufferProcess::kSlotFloats);
  process.copyFrame(values.data(), protocolBufferProcess::kSlotBytes, slot);
  return values;
}

std::vector<std::uint32_t> StreamSession::readQueryTags(LoopbackServer::Connection& connection,
                                                        int count) {
  std::vector<std::uint32_t> tags;
  PacketCodec codec;
  BrexPlugs::BREX_PLUGIN_MESSAGE message;
  for (int i = 0; i < count; ++i) {
    std::string packet;
    const bool valid =
        connection.receivePacket(packet) && packet.compare(0, 4, "CCCC") == 0 &&
        codec.decode(0x43434343u, packet.data() + 8, static_cast<int>(packet.size() - 8),
                     message) &&
        message.message() == BrexPlugs::BREX_PLUGIN_MESSAGE::COMMAND &&
        message.command().cmdtype() == BrexPlugs::COMMAND::Command_Query_BVH_Header &&
        message.command().has_actortag();
    tags.push_back(valid ? message.command().actortag() : 0xffffffffu);
  }
  return tags;
}

std::vector<std::string> waitForHeaderTexts(protocolBufferProcess& process, std::size_t count,
                                            std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::uint64_t seen = 0;
  std::vector<std::string> texts = process.copyHeaderTexts();
  while (texts.size() < count && std::chrono::steady_clock::now() < deadline) {
    seen = process.waitForNewPacketUntil(seen, deadline);
    texts = process.copyHeaderTexts();
  }
  return texts;
}
