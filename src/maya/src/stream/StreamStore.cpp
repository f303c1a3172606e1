#include "stream/StreamStore.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "stream/bvhHeaderText.h"

namespace {

int channelCount(const BrexPlugs::BVH_JOIN& joint) {
  int count = joint.channels_size();
  for (const BrexPlugs::BVH_JOIN& child : joint.childjoin()) count += channelCount(child);
  return count;
}

}  // namespace

StreamStore::StreamStore(QueryFunction query) : queryHeader(std::move(query)) {}

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

void StreamStore::copyFrames(void* destination, std::uint32_t size) const {
  if (destination == nullptr || size < FrameLayout::kFrameBytes) return;
  std::memcpy(destination, frameValues, FrameLayout::kFrameBytes);
}

std::vector<std::string> StreamStore::headerTexts() const {
  std::vector<std::string> present;
  for (const std::string& text : texts) {
    if (!text.empty()) present.push_back(text);
  }
  return present;
}

std::vector<StreamHeader> StreamStore::headers() const {
  std::vector<StreamHeader> present;
  for (std::size_t slot = 0; slot < slotTags.size(); ++slot) {
    if (texts[slot].empty()) continue;
    const auto name = actorNames.find(slotTags[slot]);
    const StreamActor actor{slotTags[slot],
                            name == actorNames.end() ? std::string() : name->second};
    present.push_back(StreamHeader{static_cast<int>(slot), actor, texts[slot]});
  }
  return present;
}

void StreamStore::replay(StreamListener& to) const {
  to.actorList(listedActors());
  for (std::size_t slot = 0; slot < slotTags.size(); ++slot) {
    if (texts[slot].empty()) continue;
    to.header(slotTags[slot], static_cast<int>(slot), texts[slot], headerChannels[slot]);
  }
  for (const auto& header : unslottedHeaders) {
    to.header(header.first, actorPositions.at(header.first), header.second.text,
              header.second.channels);
  }
}

std::vector<StreamActor> StreamStore::listedActors() const {
  std::vector<StreamActor> actors;
  for (std::uint32_t tag : listedTags) {
    const auto name = actorNames.find(tag);
    actors.push_back(StreamActor{tag, name == actorNames.end() ? std::string() : name->second});
  }
  return actors;
}

void StreamStore::handleActorList() {
  actorNames = message.command().actorslist().map();
  std::vector<std::uint32_t> tags;
  tags.reserve(actorNames.size());
  for (const auto& actor : actorNames) tags.push_back(actor.first);
  // The map's own order changes from run to run; performers must keep their blocks.
  std::sort(tags.begin(), tags.end());
  listedTags = tags;
  actorPositions.clear();
  for (std::size_t position = 0; position < tags.size(); ++position) {
    actorPositions[tags[position]] = static_cast<int>(position);
  }
  unslottedHeaders.clear();
  // Actors beyond the fixed slots get none: only a listener hears their headers and frames.
  if (tags.size() > static_cast<std::size_t>(FrameLayout::kSlotCount)) {
    tags.resize(FrameLayout::kSlotCount);
  }
  // A slot keeps its values only for the actor that held it: a dropped or moved performer's
  // pose must not show on another's block.
  for (int slot = 0; slot < FrameLayout::kSlotCount; ++slot) {
    const bool kept =
        static_cast<std::size_t>(slot) < tags.size() &&
        static_cast<std::size_t>(slot) < slotTags.size() &&
        tags[static_cast<std::size_t>(slot)] == slotTags[static_cast<std::size_t>(slot)];
    if (!kept) {
      std::fill(std::begin(frameValues[slot]), std::end(frameValues[slot]), 0.0f);
      mappedTexts[slot].clear();
    }
    texts[slot].clear();
  }
  slotTags = tags;
  actorSlots.clear();
  for (std::size_t slot = 0; slot < tags.size(); ++slot) {
    actorSlots[tags[slot]] = static_cast<int>(slot);
  }
  std::fill(std::begin(mappedChannels), std::end(mappedChannels), 0);
  if (listener != nullptr) listener->actorList(listedActors());
  for (std::uint32_t tag : listedTags) queryHeader(tag);
}

void StreamStore::handleHeader() {
  const BrexPlugs::BVH_HEADER& header = message.header();
  if (!header.has_actortag()) return;
  const auto found = actorSlots.find(header.actortag());
  if (found == actorSlots.end()) {
    const auto listed = actorPositions.find(header.actortag());
    if (listed == actorPositions.end()) return;
    Unslotted& kept = unslottedHeaders[header.actortag()];
    kept.text = bvhHeaderText(header.rootjoin(), listed->second);
    kept.channels = channelCount(header.rootjoin());
    if (listener != nullptr) {
      listener->header(header.actortag(), listed->second, kept.text, kept.channels);
    }
    return;
  }
  const int slot = found->second;

  std::string text = bvhHeaderText(header.rootjoin(), slot);
  // The same skeleton again (a reconnect, a repeated answer) keeps the slot's last frame until
  // a new one arrives; another one starts from its own offsets.
  const bool sameSkeleton = text == mappedTexts[slot];
  if (!sameSkeleton) std::fill(std::begin(frameValues[slot]), std::end(frameValues[slot]), 0.0f);
  std::fill(std::begin(channelTargets[slot]), std::end(channelTargets[slot]), 0);
  int record = 0;
  int channelIndex = 0;
  mapJointChannels(header.rootjoin(), slot, !sameSkeleton, record, channelIndex);
  mappedChannels[slot] = channelIndex;
  mappedTexts[slot] = text;
  texts[slot] = std::move(text);
  headerChannels[slot] = channelCount(header.rootjoin());
  if (listener != nullptr) {
    listener->header(header.actortag(), slot, texts[slot], headerChannels[slot]);
  }
}

void StreamStore::handleFrame() {
  const BrexPlugs::BVH_FRAME& frame = message.frame();
  if (actorNames.empty() || !frame.has_actortag()) return;
  if (actorNames.find(frame.actortag()) == actorNames.end()) return;
  const auto found = actorSlots.find(frame.actortag());
  if (found == actorSlots.end()) {
    const auto listed = actorPositions.find(frame.actortag());
    if (listed != actorPositions.end() && listener != nullptr) {
      listener->frame(frame.actortag(), listed->second, frame.motiondata().data(),
                      frame.motiondata_size());
    }
    return;
  }
  const int slot = found->second;
  // Values without a mapped target (none before the slot's header) change nothing.
  const int count = std::min(frame.motiondata_size(), mappedChannels[slot]);
  for (int i = 0; i < count; ++i) {
    const int target = channelTargets[slot][i];
    frameValues[target / FrameLayout::kSlotFloats][target % FrameLayout::kSlotFloats] =
        frame.motiondata(i);
  }
  if (listener != nullptr) {
    listener->frame(frame.actortag(), slot, frame.motiondata().data(), frame.motiondata_size());
  }
}

void StreamStore::mapJointChannels(const BrexPlugs::BVH_JOIN& joint, int slot, bool writeOffsets,
                                   int& record, int& channelIndex) {
  // Joints and channels beyond the slot's room get no record and no target. Records and
  // frame values both follow the tree in pre-order, so what is mapped is a prefix of a frame.
  if (record >= FrameLayout::kJointRecords) return;
  const int position = record * FrameLayout::kRecordFloats;
  if (writeOffsets) {
    frameValues[slot][position] = joint.offset().x();
    frameValues[slot][position + 1] = joint.offset().y();
    frameValues[slot][position + 2] = joint.offset().z();
  }
  for (int channel : joint.channels()) {
    if (channelIndex >= FrameLayout::kSlotFloats) break;
    channelTargets[slot][channelIndex] = slot * FrameLayout::kSlotFloats + position + channel;
    ++channelIndex;
  }
  ++record;
  for (const BrexPlugs::BVH_JOIN& child : joint.childjoin()) {
    mapJointChannels(child, slot, writeOffsets, record, channelIndex);
  }
}
