#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "motion/RotationOrder.h"

// One channel of a joint, numbered as the stream protocol numbers them. kNoChannel stands for a
// name that names no axis: its values are read and dropped.
enum JointChannel : std::uint8_t {
  kXposition = 0,
  kYposition = 1,
  kZposition = 2,
  kXrotation = 3,
  kYrotation = 4,
  kZrotation = 5,
  kNoChannel = 255,
};

// The channel a BVH channel name stands for. Its first letter, in any case, is the axis; the
// letters after it say the kind when they begin with "pos" or "rot" in any case. A name that does
// not say ("X", "Xrot" does, "Xangle" does not) is a position when `positionByPlace`: in a list
// of six, the first three.
JointChannel channelOfName(std::string_view name, bool positionByPlace);

// Whether the list holds a position channel for axis 0 (X), 1 (Y) or 2 (Z).
bool hasPositionChannel(const std::vector<JointChannel>& channels, int axis);
bool hasPositionChannels(const std::vector<JointChannel>& channels);
bool hasRotationChannels(const std::vector<JointChannel>& channels);

// The order of the list's rotation channels as a BVH file lists them. Axes it has no channel for
// follow the others in X, Y, Z order: a turn of 0 about them changes nothing wherever they stand.
// kOrderInvalid when an axis is listed twice or there is no rotation channel.
RotationOrder channelRotationOrder(const std::vector<JointChannel>& channels);
