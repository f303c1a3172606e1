#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "stream/StreamActor.h"

// Told of what the stream delivers, in arrival order, with the stream processor's data lock held:
// keep each call short and never call the processor from it. The calls come from the receive
// thread, connected also from the thread that connects.
class StreamListener {
 public:
  virtual ~StreamListener() = default;
  // A connection was made: a connect, or a dial again after the connection ended. What comes
  // after it may follow a gap.
  virtual void connected() {}
  // A new actor list: every listed actor, ascending by tag; actors[k] holds slot k when k is
  // below FrameLayout::kSlotCount, and the others hold none but are told like the rest, with
  // their position in the list as their slot.
  virtual void actorList(const std::vector<StreamActor>& actors) = 0;
  // A header accepted for a listed actor, replacing any earlier one of that actor: its BVH
  // text (joints named with the slot as suffix) and the channel count of its whole tree.
  virtual void header(std::uint32_t actorTag, int slot, const std::string& bvhText,
                      int channelCount) = 0;
  // A frame of a listed actor, whether or not its header has arrived yet: every value as
  // received, in the header's channel order.
  virtual void frame(std::uint32_t actorTag, int slot, const float* values, int count) = 0;
};
