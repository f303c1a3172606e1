#pragma once

#include <cstdint>
#include <string>

// An actor of an actor list that holds a slot.
struct StreamActor {
  std::uint32_t tag = 0;
  std::string name;
};

// A slot's accepted skeleton header: the BVH text, joints named with the slot as suffix.
struct StreamHeader {
  int slot = 0;
  StreamActor actor;
  std::string text;
};
