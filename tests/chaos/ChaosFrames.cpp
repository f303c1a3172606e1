#include "chaos/ChaosFrames.h"

#include <algorithm>
#include <functional>

namespace chaosFrames {

namespace {

using Channel = BrexPlugs::BVH_JOIN::Channel;
using J = BrexPlugs::BVH_JOIN;

constexpr std::uint32_t kTags[kActors] = {3, 11, 17, 29, 40, 52};
constexpr int kJoints[kActors][kVariants] = {{61, 20, 3}, {24, 61, 9},  {3, 33, 58},
                                             {45, 5, 61}, {12, 40, 27}, {33, 17, 50}};
constexpr Channel kRotations[6][3] = {
    {J::Xrotation, J::Yrotation, J::Zrotation}, {J::Xrotation, J::Zrotation, J::Yrotation},
    {J::Yrotation, J::Xrotation, J::Zrotation}, {J::Yrotation, J::Zrotation, J::Xrotation},
    {J::Zrotation, J::Xrotation, J::Yrotation}, {J::Zrotation, J::Yrotation, J::Xrotation}};
// The smallest frame value: frame 1 of actor 0, channel 0. Offsets stay below it.
constexpr double kSmallestFrameValue = 2048.0;

// Joint g's parent: a chain with a branch at every fourth joint, so that the pre-order of the
// records differs from the joint numbers.
int parentOf(int g) { return g % 4 == 0 ? g / 2 : g - 1; }

std::vector<Channel> channelsOf(int actor, int variant, int g) {
  std::vector<Channel> channels;
  if (g == 0 || (g + actor + variant) % 7 == 0) {
    channels = {J::Xposition, J::Yposition, J::Zposition};
  }
  const Channel* rotations = kRotations[(g + actor + 2 * variant) % 6];
  channels.insert(channels.end(), rotations, rotations + 3);
  return channels;
}

std::array<double, 3> offsetOf(int actor, int variant, int g) {
  return {static_cast<double>(g), static_cast<double>(actor + 1), static_cast<double>(variant + 1)};
}

// The joints in the order of the header's walk, which is the order of records and channels.
std::vector<int> preOrder(int joints) {
  std::vector<std::vector<int>> children(static_cast<std::size_t>(joints));
  for (int g = 1; g < joints; ++g) children[static_cast<std::size_t>(parentOf(g))].push_back(g);
  std::vector<int> order;
  std::function<void(int)> walk = [&](int g) {
    order.push_back(g);
    for (int child : children[static_cast<std::size_t>(g)]) walk(child);
  };
  walk(0);
  return order;
}

std::int64_t cyclePosition(std::int64_t frame) { return (frame - 1) % kFrameCycle + 1; }

float encode(int actor, std::int64_t cycleFrame, int channel) {
  return static_cast<float>((cycleFrame * 8 + actor) * 256 + channel);
}

}  // namespace

std::uint32_t tagOf(int actor) { return kTags[actor]; }

int actorOfTag(std::uint32_t tag) {
  const auto found = std::find(std::begin(kTags), std::end(kTags), tag);
  return found == std::end(kTags) ? -1 : static_cast<int>(found - std::begin(kTags));
}

int jointCount(int actor, int variant) { return kJoints[actor][variant]; }

BrexPlugs::BVH_JOIN skeleton(int actor, int variant) {
  const int joints = jointCount(actor, variant);
  std::vector<J> made(static_cast<std::size_t>(joints));
  for (int g = 0; g < joints; ++g) {
    J& joint = made[static_cast<std::size_t>(g)];
    joint.set_joinname("A" + std::to_string(actor) + "V" + std::to_string(variant) + "J" +
                       std::to_string(g));
    const auto offset = offsetOf(actor, variant, g);
    joint.mutable_offset()->set_x(static_cast<float>(offset[0]));
    joint.mutable_offset()->set_y(static_cast<float>(offset[1]));
    joint.mutable_offset()->set_z(static_cast<float>(offset[2]));
    for (Channel channel : channelsOf(actor, variant, g)) joint.add_channels(channel);
  }
  // Children are attached deepest first, so that each is complete when it is copied.
  for (int g = joints - 1; g > 0; --g) {
    J& parent = made[static_cast<std::size_t>(parentOf(g))];
    *parent.add_childjoin() = made[static_cast<std::size_t>(g)];
  }
  // Attached last first: put each joint's children back in ascending order.
  std::function<void(J&)> order = [&](J& joint) {
    auto* children = joint.mutable_childjoin();
    std::reverse(children->begin(), children->end());
    for (J& child : *children) order(child);
  };
  order(made[0]);
  return made[0];
}

std::vector<float> frameValues(int actor, int variant, std::int64_t frame) {
  std::vector<float> values;
  const std::int64_t cycleFrame = cyclePosition(frame);
  for (int g : preOrder(jointCount(actor, variant))) {
    for (std::size_t c = 0; c < channelsOf(actor, variant, g).size(); ++c) {
      values.push_back(encode(actor, cycleFrame, static_cast<int>(values.size())));
    }
  }
  return values;
}

std::array<double, kBlockValues> expectedBlock(int actor, int variant, std::int64_t cycleFrame) {
  std::array<double, kBlockValues> block{};
  int channelIndex = 0;
  int record = 0;
  for (int g : preOrder(jointCount(actor, variant))) {
    // The node keeps 60 records and shows 59.
    if (record >= 60) break;
    const auto offset = offsetOf(actor, variant, g);
    double values[6] = {offset[0], offset[1], offset[2], 0, 0, 0};
    for (Channel channel : channelsOf(actor, variant, g)) {
      if (cycleFrame > 0) values[channel] = encode(actor, cycleFrame, channelIndex);
      ++channelIndex;
    }
    if (record < kShownRecords) {
      std::copy(values, values + 6, block.begin() + record * 6);
    }
    ++record;
  }
  return block;
}

BlockReading readBlock(const std::array<double, kBlockValues>& block) {
  BlockReading reading;
  if (std::all_of(block.begin(), block.end(), [](double value) { return value == 0.0; })) {
    return reading;
  }
  const auto encoded = std::find_if(block.begin(), block.end(),
                                    [](double value) { return value >= kSmallestFrameValue; });
  if (encoded == block.end()) {
    for (int actor = 0; actor < kActors; ++actor) {
      for (int variant = 0; variant < kVariants; ++variant) {
        if (block == expectedBlock(actor, variant, 0)) {
          reading.kind = BlockReading::Kind::kHeaderOnly;
          reading.actor = actor;
          reading.variant = variant;
          return reading;
        }
      }
    }
    reading.kind = BlockReading::Kind::kInvalid;
    reading.problem = "no frame values, and not the offsets of any skeleton";
    return reading;
  }
  const auto code = static_cast<std::int64_t>(*encoded);
  const int actor = static_cast<int>(code / 256 % 8);
  const std::int64_t cycleFrame = code / 2048;
  reading.actor = actor;
  reading.cycleFrame = cycleFrame;
  for (std::size_t i = 0; i < block.size(); ++i) {
    if (block[i] < kSmallestFrameValue) continue;
    const auto other = static_cast<std::int64_t>(block[i]);
    if (other / 256 % 8 != actor || other / 2048 != cycleFrame) {
      reading.kind = BlockReading::Kind::kInvalid;
      reading.problem = "torn: record " + std::to_string(i / 6) + " holds frame " +
                        std::to_string(other / 2048) + " of actor " +
                        std::to_string(other / 256 % 8) + " beside frame " +
                        std::to_string(cycleFrame) + " of actor " + std::to_string(actor);
      return reading;
    }
  }
  if (actor >= kActors) {
    reading.kind = BlockReading::Kind::kInvalid;
    reading.problem = "values of no actor (" + std::to_string(actor) + ")";
    return reading;
  }
  std::string mismatches;
  for (int variant = 0; variant < kVariants; ++variant) {
    const auto expected = expectedBlock(actor, variant, cycleFrame);
    const auto differs = std::mismatch(block.begin(), block.end(), expected.begin());
    if (differs.first == block.end()) {
      reading.kind = BlockReading::Kind::kFrame;
      reading.variant = variant;
      return reading;
    }
    const auto at = differs.first - block.begin();
    mismatches += " skeleton " + std::to_string(variant) + " differs at record " +
                  std::to_string(at / 6) + " value " + std::to_string(at % 6) + " (" +
                  std::to_string(*differs.first) + ", expected " + std::to_string(*differs.second) +
                  ");";
  }
  reading.kind = BlockReading::Kind::kInvalid;
  reading.problem = "frame " + std::to_string(cycleFrame) + " of actor " + std::to_string(actor) +
                    " laid out by none of its skeletons:" + mismatches;
  return reading;
}

std::int64_t unwrapFrame(std::int64_t cycleFrame, std::int64_t newest) {
  const std::int64_t behind = (cyclePosition(newest) - cycleFrame + kFrameCycle) % kFrameCycle;
  return newest - behind;
}

}  // namespace chaosFrames
