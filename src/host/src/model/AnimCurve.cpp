#include "model/AnimCurve.h"

#include <algorithm>
#include <cmath>

#include "model/Node.h"
#include "model/Ticks.h"

namespace host {

namespace {

const std::vector<CurveKey> kNoKeys;

double secondsBetween(const CurveKey& a, const CurveKey& b) { return secondsOf(b.ticks - a.ticks); }

double segmentSlope(const CurveKey& a, const CurveKey& b) {
  return (b.value - a.value) / secondsBetween(a, b);
}

}  // namespace

AnimCurve* AnimCurve::of(const Node& node) { return dynamic_cast<AnimCurve*>(node.extension()); }

const std::vector<CurveKey>& AnimCurve::keysOf(const Node& node) {
  const AnimCurve* curve = of(node);
  return curve ? curve->keys : kNoKeys;
}

double AnimCurve::slope(std::size_t index, bool in) const {
  if (index >= keys.size()) return 0.0;
  const CurveKey& key = keys[index];
  const CurveKey* before = index > 0 ? &keys[index - 1] : nullptr;
  const CurveKey* after = index + 1 < keys.size() ? &keys[index + 1] : nullptr;
  // The smooth (Catmull-Rom) slope: through both neighbours, or along the one segment.
  double spline = 0.0;
  if (before && after) {
    spline = (after->value - before->value) / secondsBetween(*before, *after);
  } else if (before) {
    spline = segmentSlope(*before, key);
  } else if (after) {
    spline = segmentSlope(key, *after);
  }
  switch (in ? key.in : key.out) {
    case Tangent::kFixed: {
      auto found = fixedSlopes.find(key.ticks);
      return found == fixedSlopes.end() ? 0.0 : found->second[in ? 0 : 1];
    }
    case Tangent::kLinear:
      // Along its own side's segment; a key without one follows the other side's.
      if (in ? before != nullptr : after == nullptr) {
        return before ? segmentSlope(*before, key) : 0.0;
      }
      return after ? segmentSlope(key, *after) : 0.0;
    case Tangent::kFlat:
    case Tangent::kStep:
    case Tangent::kStepNext:
      return 0.0;
    case Tangent::kClamped:
      // Flat next to a key of the same value, so the curve does not swing past it.
      if ((before && before->value == key.value) || (after && after->value == key.value)) {
        return 0.0;
      }
      return spline;
    case Tangent::kPlateau:
    case Tangent::kAuto:
    case Tangent::kAutoMix:
    case Tangent::kAutoEase:
    case Tangent::kAutoCustom: {
      // Flat at the ends and at extremes; elsewhere the smooth slope, limited so that neither
      // control point passes a neighbour's value: the curve never overshoots a key.
      if (!before || !after) return 0.0;
      double down = key.value - before->value;
      double up = after->value - key.value;
      if (down * up <= 0.0) return 0.0;
      double limit = 3.0 * std::min(std::fabs(down) / secondsBetween(*before, key),
                                    std::fabs(up) / secondsBetween(key, *after));
      return std::max(-limit, std::min(limit, spline));
    }
    case Tangent::kGlobal:
    case Tangent::kSmooth:
    case Tangent::kSlow:
    case Tangent::kFast:
      break;
  }
  return spline;
}

void AnimCurve::fix(std::size_t index, bool in, double slope) {
  if (index >= keys.size()) return;
  CurveKey& key = keys[index];
  auto& slopes = fixedSlopes[key.ticks];
  slopes[in ? 0 : 1] = slope;
  (in ? key.in : key.out) = Tangent::kFixed;
}

double AnimCurve::valueAt(long long ticks) const {
  if (keys.empty()) return 0.0;
  auto found =
      std::lower_bound(keys.begin(), keys.end(), ticks,
                       [](const CurveKey& key, long long value) { return key.ticks < value; });
  if (found == keys.end()) return keys.back().value;
  if (found == keys.begin() || found->ticks == ticks) return found->value;
  const std::size_t second = static_cast<std::size_t>(found - keys.begin());
  const CurveKey& a = keys[second - 1];
  const CurveKey& b = keys[second];
  if (a.out == Tangent::kStep) return a.value;
  if (a.out == Tangent::kStepNext) return b.value;
  const double u = static_cast<double>(ticks - a.ticks) / static_cast<double>(b.ticks - a.ticks);
  if (a.out == Tangent::kLinear && b.in == Tangent::kLinear) {
    return a.value + (b.value - a.value) * u;
  }
  const double third = secondsBetween(a, b) / 3.0;
  const double p1 = a.value + slope(second - 1, false) * third;
  const double p2 = b.value - slope(second, true) * third;
  const double v = 1.0 - u;
  return v * v * v * a.value + 3.0 * v * v * u * p1 + 3.0 * v * u * u * p2 + u * u * u * b.value;
}

}  // namespace host
