#pragma once

#include <cstdint>

// The frame store as copyFrame hands it out: per actor slot, 60 joint records of 6 native
// floats (X, Y, Z position, X, Y, Z rotation) in pre-order of the actor's header, root first.
struct FrameLayout {
  static constexpr int kSlotCount = 5;
  static constexpr int kJointRecords = 60;
  static constexpr int kRecordFloats = 6;
  static constexpr int kSlotFloats = kJointRecords * kRecordFloats;
  static constexpr std::uint32_t kSlotBytes = kSlotFloats * sizeof(float);
  // Every slot, slot 0 first: what copyFrames hands out.
  static constexpr int kFrameFloats = kSlotCount * kSlotFloats;
  static constexpr std::uint32_t kFrameBytes = kSlotCount * kSlotBytes;
};
