#pragma once

#include <vector>

#include "model/NodeExtension.h"

namespace host {

class Node;

// A key of an animation curve: time in ticks (Ticks.h) and value in the curve's output unit.
struct CurveKey {
  long long ticks;
  double value;
};

// The extension of every animation curve node: what a curve holds besides its attributes.
// Main thread only.
class AnimCurve : public NodeExtension {
 public:
  // The curve extension of a node; null for a node that is no curve or has been deleted.
  static AnimCurve* of(const Node& node);
  // The node's keys; empty for a node that is no curve. For readers such as the scene dumps.
  static const std::vector<CurveKey>& keysOf(const Node& node);

  // Sorted by time, at most one key per tick.
  std::vector<CurveKey> keys;
};

}  // namespace host
