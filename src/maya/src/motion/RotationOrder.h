#pragma once

#include <cstdint>
#include <string>

// Order of the rotation channels as a BVH file lists them (a Maya joint takes the reverse).
// Carried as a 32-bit signed integer wherever it is stored or passed as an option.
enum RotationOrder : std::int32_t {
  kOrderXYZ = 0,
  kOrderYZX = 1,
  kOrderZXY = 2,
  kOrderZYX = 3,
  kOrderYXZ = 4,
  kOrderXZY = 5,
  kOrderInvalid = INT32_MIN,
};

// The order named by three letters in any ASCII case ("zxy" gives kOrderZXY); anything else,
// including a text of another length, gives kOrderInvalid.
RotationOrder parseRotationOrder(std::string text);
