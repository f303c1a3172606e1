#pragma once

#include <array>
#include <cstddef>
#include <unordered_map>
#include <vector>

#include "model/NodeExtension.h"

namespace host {

class Node;

// Tangent types, numbered as MFnAnimCurve::TangentType.
enum class Tangent : unsigned char {
  kGlobal,
  kFixed,
  kLinear,
  kFlat,
  kSmooth,
  kStep,
  kSlow,
  kFast,
  kClamped,
  kPlateau,
  kStepNext,
  kAuto,
  kAutoMix,
  kAutoEase,
  kAutoCustom
};

// The type kGlobal stands for: the scene's default tangent, auto as in Maya 2022.
constexpr Tangent kDefaultTangent = Tangent::kAuto;

// A key of an animation curve: time in ticks (Ticks.h), value in the curve's internal output
// unit, tangent types (never kGlobal). Small: a long take keys millions.
struct CurveKey {
  long long ticks;
  double value;
  Tangent in = kDefaultTangent;
  Tangent out = kDefaultTangent;
};

// The extension of every animation curve node: what a curve holds besides its attributes.
// Main thread only.
class AnimCurve : public NodeExtension {
 public:
  // The curve extension of a node; null for a node that is no curve or has been deleted.
  static AnimCurve* of(const Node& node);
  // The node's keys; empty for a node that is no curve. For readers such as the scene dumps.
  static const std::vector<CurveKey>& keysOf(const Node& node);

  // The slope (value units per second) the key's in or out tangent has now, from its type and
  // its neighbours. Step tangents are flat.
  double slope(std::size_t index, bool in) const;
  // The value at the tick: a key's own value on it, constant outside the keys, and between two
  // keys by the first one's out tangent and the second one's in tangent: a step holds the
  // first value (stepNext takes the next) up to the next key; linear on both sides is a straight
  // line; anything else is the cubic Bezier in (time, value) whose inner control points lie a
  // third of the segment's time from each key along its tangent. 0 without keys.
  double valueAt(long long ticks) const;

  // Gives the key's in or out tangent the type fixed with that slope.
  void fix(std::size_t index, bool in, double slope);

  // Sorted by time, at most one key per tick.
  std::vector<CurveKey> keys;
  // The slopes (value units per second) of fixed tangents, in and out, by key time: a key is
  // given one whenever a tangent of it becomes fixed, so an entry left by a removed key is
  // never read.
  std::unordered_map<long long, std::array<double, 2>> fixedSlopes;
  // Keying calls made on the curve through MFnAnimCurve, for benchmarks.
  unsigned long addKeysCalls = 0;
  unsigned long addKeyframeCalls = 0;
};

}  // namespace host
