#pragma once

#include <array>

#include "motion/RotationOrder.h"

// Keeps a joint's Euler keys continuous: each frame's angles become those of the same
// orientation, in the same order, nearest the previous frame's, so no angle moves more than 180
// degrees between two keys and nothing spins the long way round between them. Angles in degrees.
// The order may be a BVH channel order or a joint's rotate order (its reverse): only the axis
// turned second matters, and both turn about the same one.
class EulerFilter {
 public:
  explicit EulerFilter(RotationOrder rotationOrder) : order(rotationOrder) {}

  // The angles of the orientation `angles` give in `order` nearest `previous`: each angle moved by
  // whole turns, of these angles or of the other solution (the first and last axes a half turn
  // on, the middle one mirrored), whichever lies nearer in all.
  static std::array<double, 3> closest(const std::array<double, 3>& angles, RotationOrder order,
                                       const std::array<double, 3>& previous);

  // The first frame's angles unchanged (unless follow gave earlier ones), then each frame's
  // nearest the angles returned before.
  std::array<double, 3> next(const std::array<double, 3>& angles);
  // The angles a next frame must lie near, as a key already there gives them.
  void follow(const std::array<double, 3>& angles);

 private:
  RotationOrder order;
  std::array<double, 3> previous{};
  bool started = false;
};
