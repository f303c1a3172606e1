#include "model/AnimCurve.h"

#include "model/Node.h"

namespace host {

namespace {

const std::vector<CurveKey> kNoKeys;

}  // namespace

AnimCurve* AnimCurve::of(const Node& node) { return dynamic_cast<AnimCurve*>(node.extension()); }

const std::vector<CurveKey>& AnimCurve::keysOf(const Node& node) {
  const AnimCurve* curve = of(node);
  return curve ? curve->keys : kNoKeys;
}

}  // namespace host
