#include "support/StreamMessages.h"

namespace streamMessages {

BrexPlugs::BVH_JOIN joint(const std::string& name, float x, float y, float z,
                          const std::vector<Channel>& channels,
                          std::vector<BrexPlugs::BVH_JOIN> children) {
  BrexPlugs::BVH_JOIN result;
  result.set_joinname(name);
  result.mutable_offset()->set_x(x);
  result.mutable_offset()->set_y(y);
  result.mutable_offset()->set_z(z);
  for (Channel channel : channels) result.add_channels(channel);
  for (auto& child : children) *result.add_childjoin() = std::move(child);
  return result;
}

BrexPlugs::BVH_JOIN withEndSite(BrexPlugs::BVH_JOIN joint, float x, float y, float z) {
  joint.mutable_endsite()->set_x(x);
  joint.mutable_endsite()->set_y(y);
  joint.mutable_endsite()->set_z(z);
  return joint;
}

BrexPlugs::BVH_JOIN chain(int count) {
  using J = BrexPlugs::BVH_JOIN;
  BrexPlugs::BVH_JOIN root =
      joint("J0", 0, 0, 0,
            {J::Xposition, J::Yposition, J::Zposition, J::Zrotation, J::Xrotation, J::Yrotation});
  BrexPlugs::BVH_JOIN* last = &root;
  for (int i = 1; i < count; ++i) {
    *last->add_childjoin() = joint("J" + std::to_string(i), 0, static_cast<float>(i), 0,
                                   {J::Zrotation, J::Xrotation, J::Yrotation});
    last = last->mutable_childjoin(0);
  }
  return root;
}

BrexPlugs::BREX_PLUGIN_MESSAGE actorList(
    const std::vector<std::pair<std::uint32_t, std::string>>& actors) {
  BrexPlugs::BREX_PLUGIN_MESSAGE message;
  message.set_message(BrexPlugs::BREX_PLUGIN_MESSAGE::COMMAND);
  BrexPlugs::COMMAND* command = message.mutable_command();
  command->set_cmdtype(BrexPlugs::COMMAND::Notify_ActorsList);
  auto& map = *command->mutable_actorslist()->mutable_map();
  for (const auto& actor : actors) map[actor.first] = actor.second;
  return message;
}

BrexPlugs::BREX_PLUGIN_MESSAGE header(std::uint32_t tag, const BrexPlugs::BVH_JOIN& root) {
  BrexPlugs::BREX_PLUGIN_MESSAGE message;
  message.set_message(BrexPlugs::BREX_PLUGIN_MESSAGE::HEADER_DATA);
  message.mutable_header()->set_actortag(tag);
  *message.mutable_header()->mutable_rootjoin() = root;
  return message;
}

BrexPlugs::BREX_PLUGIN_MESSAGE frame(std::uint32_t tag, const std::vector<float>& values) {
  BrexPlugs::BREX_PLUGIN_MESSAGE message;
  message.set_message(BrexPlugs::BREX_PLUGIN_MESSAGE::FRAME_DATA);
  message.mutable_frame()->set_actortag(tag);
  for (float value : values) message.mutable_frame()->add_motiondata(value);
  return message;
}

std::string packet(const BrexPlugs::BREX_PLUGIN_MESSAGE& message,
                   PacketCodec::Compression compression) {
  std::string bytes;
  PacketCodec::encodePacket(message, compression, bytes);
  return bytes;
}

std::string rawPacket(const std::string& magic, std::int32_t length, const std::string& payload) {
  std::string bytes = magic;
  const auto value = static_cast<std::uint32_t>(length);
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xff);
  return bytes + payload;
}

}  // namespace streamMessages
