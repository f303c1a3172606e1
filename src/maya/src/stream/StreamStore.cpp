#include "stream/StreamStore.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "stream/bvhHeaderText.h"

StreamStore::StreamStore(QueryFunction queryHeader) : queryHeader(std::move(queryHeader)) {}

bool StreamStore::handleMessage(const char* payload, int length, std::uint32_t magic) {
  if (!codec.decode(magic, payload, length, message)) return false;
  switch (message.message()) {
    case BrexPlugs::BREX_PLUGIN_MESSAGE::COMMAND:
      if (message.command().cmdtype() == BrexPlugs::COMMAND::Notify_ActorsList) handleActorList();
      break;
    case BrexPlugs::BREX_PLUGIN_MESSAGE::HEADER_DATA:
      handleHeader();
      break;
    case BrexPlugs::BREX_PLUGIN_MESSAGE::FRAME_DATA:
      handleFrame();
      break;
  }
  return true;
}

void StreamStore::copyFrame(void* destination, std::uint32_t size, int slot) const {
  if (destination == nullptr || size < FrameLayout::kSlotBytes || slot < 0 ||
      slot >= FrameLayout::kSlotCount) {
    return;
  }
  std::memcpy(destination, frameValues[slot], FrameLayout::kSlotBytes);
}

void StreamStore::handleActorList() {
  actorNames = message.command().actorslist().map();
  actorSlots.clear();
  texts.clear();
  std::fill(std::begin(mappedChannels), std::end(mappedChannels), 0);
  // Actors beyond the fixed slots get none: their headers and frames are ignored.
  int slot = 0;
  for (const auto& actor : actorNames) {
    if (slot == FrameLayout::kSlotCount) break;
    actorSlots[actor.first] = slot++;
  }
  for (const auto& actor : actorNames) {
    if (actorSlots.count(actor.first) != 0) queryHeader(actor.first);
  }
}

void StreamStore::handleHeader() {
  const BrexPlugs::BVH_HEADER& header = message.header();
  if (!header.has_actortag()) return;
  const auto found = actorSlots.find(header.actortag());
  if (found == actorSlots.end()) return;
  const int slot = found->second;

  std::string text = bvhHeaderText(header.rootjoin(), slot);
  std::fill(std::begin(frameValues[slot]), std::end(frameValues[slot]), 0.0f);
  std::fill(std::begin(channelTargets[slot]), std::end(channelTargets[slot]), 0);
  int record = 0;
  int channelIndex = 0;
  mapJointChannels(header.rootjoin(), slot, record, channelIndex);
  mappedChannels[slot] = channelIndex;
  texts.push_back(std::move(text));
}

void StreamStore::handleFrame() {
  const BrexPlugs::BVH_FRAME& frame = message.frame();
  if (actorNames.empty() || !frame.has_actortag()) return;
  if (actorNames.find(frame.actortag()) == actorNames.end()) return;
  const auto found = actorSlots.find(frame.actortag());
  if (found == actorSlots.end()) return;
  const int slot = found->second;
  // Values without a mapped target (none before the slot's header) change nothing.
  const int count = std::min(frame.motiondata_size(), mappedChannels[slot]);
  for (int i = 0; i < count; ++i) {
    const int target = channelTargets[slot][i];
    frameValues[target / FrameLayout::kSlotFloats][target % FrameLayout::kSlotFloats] =
        frame.motiondata(i);
  }
}

void StreamStore::mapJointChannels(const BrexPlugs::BVH_JOIN& joint, int slot, int& record,
                                   int& channelIndex) {
  // Joints and channels beyond the slot's room get no record and no target. Records and
  // frame values both follow the tree in pre-order, so what is mapped is a prefix of a frame.
  if (record >= FrameLayout::kJointRecords) return;
  const int position = record * FrameLayout::kRecordFloats;
  frameValues[slot][position] = joint.offset().x();
  frameValues[slot][position + 1] = joint.offset().y();
  frameValues[slot][position + 2] = joint.offset().z();
  for (int channel : joint.channels()) {
    if (channelIndex >= FrameLayout::kSlotFloats) break;
    channelTargets[slot][channelIndex] = slot * FrameLayout::kSlotFloats + position + channel;
    ++channelIndex;
  }
  ++record;
  for (const BrexPlugs::BVH_JOIN& child : joint.childjoin()) {
    mapJointChannels(child, slot, record, channelIndex);
  }
}
