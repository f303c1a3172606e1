#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "BREX_PLUG_MESSAGE.pb.h"

// The chaos run's actors and the values it streams, built so that a block of the node's outputs
// tells, on its own, which actor, skeleton and frame it came from: every frame value encodes its
// actor, its frame number (modulo kFrameCycle) and its channel, as a float that is an exact
// integer, above every joint offset.
namespace chaosFrames {

constexpr int kActors = 6;
constexpr int kVariants = 3;
constexpr int kShownRecords = 59;
constexpr int kBlockValues = kShownRecords * 6;
// Frame numbers, counted from 1 per actor, repeat their values after this many frames.
constexpr std::int64_t kFrameCycle = 8191;

// The actor's tag on the stream (index 0 to kActors - 1).
std::uint32_t tagOf(int actor);
// -1 for a tag that is no chaos actor.
int actorOfTag(std::uint32_t tag);
// Joints of skeleton variant of actor: 3 to 61.
int jointCount(int actor, int variant);

// The header's root joint of the skeleton.
BrexPlugs::BVH_JOIN skeleton(int actor, int variant);
// Every channel value of frame number (from 1) of the skeleton, in header order.
std::vector<float> frameValues(int actor, int variant, std::int64_t frame);

// The 59 joint records (X, Y, Z position, X, Y, Z rotation) the node shows for the skeleton:
// with frame 0, as its header alone leaves them; else for that frame number.
std::array<double, kBlockValues> expectedBlock(int actor, int variant, std::int64_t frame);

// What one block of outputs holds.
struct BlockReading {
  enum class Kind { kEmpty, kHeaderOnly, kFrame, kInvalid } kind = Kind::kEmpty;
  int actor = -1;
  int variant = -1;
  // The frame number modulo kFrameCycle, from 1 (kFrame only).
  std::int64_t cycleFrame = 0;
  // Why the block is no whole frame of one skeleton (kInvalid only).
  std::string problem;
};

BlockReading readBlock(const std::array<double, kBlockValues>& block);

// The newest frame number up to newest whose cycle position is cycleFrame.
std::int64_t unwrapFrame(std::int64_t cycleFrame, std::int64_t newest);

}  // namespace chaosFrames
