#pragma once

#include <array>

// One frame's sample of one joint. Each value sits in the slot of its coordinate whatever the
// channel order of the text; a coordinate without a channel stays 0.
class iFrame {
 public:
  std::array<double, 3> position{};  // text length units
  std::array<double, 3> rotation{};  // degrees
};
