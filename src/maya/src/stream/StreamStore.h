#pragma once

#include <google/protobuf/map.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "BREX_PLUG_MESSAGE.pb.h"
#include "stream/FrameLayout.h"
#include "stream/PacketCodec.h"
#include "stream/StreamActor.h"
#include "stream/StreamListener.h"

// What the stream delivers, kept from decoded packets: the actor list and its slots, one BVH
// text per listed actor's header, and the newest frame of each slot. Actors beyond the slots are
// queried and told to the listener all the same, so that a take can hold every performer. Slots go
// to the listed actors in ascending tag order, so the same performers keep the same slots across
// lists; a slot keeps its values while its actor and skeleton stay, and is zeroed when its actor
// leaves. No socket, thread or lock: the owner serialises every call.
class StreamStore {
 public:
  // Asks the server for one actor's header; called during handleMessage, once per listed actor
  // of an actor list, in ascending tag order (slotted actors first).
  using QueryFunction = std::function<void(std::uint32_t actorTag)>;

  explicit StreamStore(QueryFunction queryHeader);
  StreamStore(const StreamStore&) = delete;
  StreamStore& operator=(const StreamStore&) = delete;

  // Told of every actor list, header and frame applied; null for none. Not owned.
  void setListener(StreamListener* newListener) { listener = newListener; }
  // Tells listener of the current actor list and of the header of each slot since it, as if
  // they had just arrived: what a listener joining mid-stream needs before the next frame.
  void replay(StreamListener& listener) const;

  // Decodes one packet payload ("AAAA" or "CCCC" magic) and applies it. False when it does not
  // decode; nothing then changes.
  bool handleMessage(const char* payload, int length, std::uint32_t magic);

  // Copies slot's FrameLayout::kSlotBytes when size is at least that; otherwise leaves
  // destination untouched.
  void copyFrame(void* destination, std::uint32_t size, int slot) const;
  // Copies every slot (FrameLayout::kFrameBytes, slot 0 first) when size is at least that;
  // otherwise leaves destination untouched.
  void copyFrames(void* destination, std::uint32_t size) const;
  // The BVH texts of the headers accepted since the last actor list, in slot order; a second
  // header of an actor replaces its first.
  std::vector<std::string> headerTexts() const;
  // The same with their slots and actors.
  std::vector<StreamHeader> headers() const;
  // Actors holding a slot in the current actor list.
  int actorCount() const { return static_cast<int>(slotTags.size()); }

 private:
  struct Unslotted {
    std::string text;
    int channels = 0;
  };

  std::vector<StreamActor> listedActors() const;
  void handleActorList();
  void handleHeader();
  void handleFrame();
  // record and channelIndex count from 0 within slot, over the whole walk. writeOffsets puts
  // each joint's offset in its position floats.
  void mapJointChannels(const BrexPlugs::BVH_JOIN& joint, int slot, bool writeOffsets, int& record,
                        int& channelIndex);

  QueryFunction queryHeader;
  StreamListener* listener = nullptr;
  PacketCodec codec;
  BrexPlugs::BREX_PLUGIN_MESSAGE message;
  google::protobuf::Map<std::uint32_t, std::string> actorNames;
  std::map<std::uint32_t, int> actorSlots;
  // Every listed tag, ascending, and its position there: its slot when below kSlotCount.
  std::vector<std::uint32_t> listedTags;
  std::map<std::uint32_t, int> actorPositions;
  // Headers since the last actor list of the listed actors without a slot.
  std::map<std::uint32_t, Unslotted> unslottedHeaders;
  // The tag holding each slot, slot 0 first.
  std::vector<std::uint32_t> slotTags;
  // The header text of each slot since the last actor list; empty until it arrives.
  std::string texts[FrameLayout::kSlotCount];
  float frameValues[FrameLayout::kSlotCount][FrameLayout::kSlotFloats] = {};
  int channelTargets[FrameLayout::kSlotCount][FrameLayout::kSlotFloats] = {};
  // The text of the header whose channel map and values each slot holds; kept across actor
  // lists while the same actor keeps the slot.
  std::string mappedTexts[FrameLayout::kSlotCount];
  // Frame values mapped by the slot's header since the last actor list; 0 before it arrives.
  int mappedChannels[FrameLayout::kSlotCount] = {};
  // The channel count of the whole tree of the slot's header in texts.
  int headerChannels[FrameLayout::kSlotCount] = {};
};
