#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "BREX_PLUG_MESSAGE.pb.h"
#include "stream/PacketCodec.h"

// Builders of server messages and packets for stream tests.
namespace streamMessages {

using Channel = BrexPlugs::BVH_JOIN::Channel;

BrexPlugs::BVH_JOIN joint(const std::string& name, float x, float y, float z,
                          const std::vector<Channel>& channels,
                          std::vector<BrexPlugs::BVH_JOIN> children = {});
BrexPlugs::BVH_JOIN withEndSite(BrexPlugs::BVH_JOIN joint, float x, float y, float z);
// A chain of count joints with 6 channels at the root and 3 below.
BrexPlugs::BVH_JOIN chain(int count);

BrexPlugs::BREX_PLUGIN_MESSAGE actorList(
    const std::vector<std::pair<std::uint32_t, std::string>>& actors);
BrexPlugs::BREX_PLUGIN_MESSAGE header(std::uint32_t tag, const BrexPlugs::BVH_JOIN& root);
BrexPlugs::BREX_PLUGIN_MESSAGE frame(std::uint32_t tag, const std::vector<float>& values);

// One packet holding message.
std::string packet(const BrexPlugs::BREX_PLUGIN_MESSAGE& message,
                   PacketCodec::Compression compression = PacketCodec::Compression::kNone);
// A packet head with any magic and length, followed by payload.
std::string rawPacket(const std::string& magic, std::int32_t length, const std::string& payload);

}  // namespace streamMessages
