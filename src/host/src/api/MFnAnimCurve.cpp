#include <maya/MFnAnimCurve.h>
#include <maya/MPlug.h>

#include <algorithm>
#include <cmath>

#include "api/ReturnStatus.h"
#include "model/AnimCurve.h"
#include "model/Attribute.h"
#include "model/Node.h"
#include "model/Object.h"
#include "model/Scene.h"
#include "model/Ticks.h"
#include "runtime/Session.h"

using host::report;

namespace {

MTime timeOf(long long tick) { return MTime(host::secondsOf(tick), MTime::kSeconds); }

// Plain pointers and static casts: the function set's handle keeps the node alive, and keying
// calls these once per key, where reference counting or a dynamic cast would cost as much as the
// key itself.
host::Node* curveNode(const MObject& object) {
  host::Object* designated = host::ObjectAccess::get(object).get();
  if (!designated) return nullptr;
  // Only curve nodes have these as their own type.
  switch (designated->apiType()) {
    case MFn::kAnimCurveTimeToAngular:
    case MFn::kAnimCurveTimeToDistance:
    case MFn::kAnimCurveTimeToTime:
    case MFn::kAnimCurveTimeToUnitless:
      break;
    default:
      return nullptr;
  }
  auto* node = static_cast<host::Node*>(designated);
  return node->alive() ? node : nullptr;
}

// Every curve type gives its nodes an AnimCurve extension, kept until the node dies.
host::AnimCurve* curveOf(const MObject& object) {
  host::Node* node = curveNode(object);
  return node ? static_cast<host::AnimCurve*>(node->extension()) : nullptr;
}

const char* nodeTypeName(MFnAnimCurve::AnimCurveType type) {
  switch (type) {
    case MFnAnimCurve::kAnimCurveTA:
      return "animCurveTA";
    case MFnAnimCurve::kAnimCurveTL:
      return "animCurveTL";
    case MFnAnimCurve::kAnimCurveTT:
      return "animCurveTT";
    case MFnAnimCurve::kAnimCurveTU:
      return "animCurveTU";
    default:
      return nullptr;
  }
}

// Index of the first key at or after the tick.
std::size_t lowerBound(const std::vector<host::CurveKey>& keys, long long tick) {
  auto found = std::lower_bound(
      keys.begin(), keys.end(), tick,
      [](const host::CurveKey& key, long long value) { return key.ticks < value; });
  return static_cast<std::size_t>(found - keys.begin());
}

}  // namespace

MFnAnimCurve::MFnAnimCurve() = default;

MFnAnimCurve::MFnAnimCurve(MObject& object, MStatus* ReturnStatus) {
  report(ReturnStatus, attach(object, MFn::kAnimCurve));
}

MFnAnimCurve::MFnAnimCurve(const MObject& object, MStatus* ReturnStatus) {
  report(ReturnStatus, attach(object, MFn::kAnimCurve));
}

MFnAnimCurve::MFnAnimCurve(const MPlug& plug, MStatus* ReturnStatus) {
  auto node = host::Node::live(plug.node());
  auto attribute = host::ObjectAccess::as<host::Attribute>(plug.attribute());
  if (!node || !attribute || !node->hasAttribute(*attribute)) {
    report(ReturnStatus, MS::kInvalidParameter);
    return;
  }
  host::PlugEnd source = host::Session::instance().scene.source(*node, *attribute);
  if (!source.node) {
    report(ReturnStatus, MS::kInvalidParameter);
    return;
  }
  if (!source.node->type().isAnimCurve()) {
    report(ReturnStatus, MS::kNotImplemented);
    return;
  }
  report(ReturnStatus, attach(host::ObjectAccess::wrap(source.node), MFn::kAnimCurve));
}

MFnAnimCurve::~MFnAnimCurve() = default;

MFn::Type MFnAnimCurve::type() const { return MFn::kAnimCurve; }

MObject MFnAnimCurve::create(const MObject& node, const MObject& attribute,
                             AnimCurveType animCurveType, MDGModifier* modifier,
                             MStatus* ReturnStatus) {
  const char* curveTypeName = nodeTypeName(animCurveType);
  if (modifier || !curveTypeName) {
    report(ReturnStatus, MS::kNotImplemented);
    return MObject();
  }
  auto target = host::Node::live(node);
  auto targetAttribute = host::ObjectAccess::as<host::Attribute>(attribute);
  auto& scene = host::Session::instance().scene;
  if (!target || !targetAttribute || !target->hasAttribute(*targetAttribute) ||
      targetAttribute->kind == host::AttributeKind::kString ||
      targetAttribute->kind == host::AttributeKind::kCompound ||
      target->isLocked(*targetAttribute) || scene.source(*target, *targetAttribute).node) {
    report(ReturnStatus, MS::kInvalidParameter);
    return MObject();
  }
  std::shared_ptr<host::Node> curve;
  MStatus status =
      scene.createNode(host::Session::instance().nodeTypes.find(curveTypeName), nullptr, curve);
  if (!status) {
    report(ReturnStatus, status);
    return MObject();
  }
  std::string targetName = target->name().substr(target->name().rfind(':') + 1);
  scene.rename(*curve, targetName + "_" + targetAttribute->longName, false, status);
  auto output = curve->type().findAttribute("output");
  if (status) status = scene.connect({curve, output.get()}, {target, targetAttribute.get()});
  if (!status) {
    scene.deleteNode(*curve);
    report(ReturnStatus, status);
    return MObject();
  }
  setAttached(host::ObjectAccess::wrap(curve));
  report(ReturnStatus, MS::kSuccess);
  return attached();
}

MFnAnimCurve::AnimCurveType MFnAnimCurve::animCurveType(MStatus* ReturnStatus) const {
  auto curve = curveNode(attached());
  report(ReturnStatus, curve ? MS::kSuccess : MS::kInvalidParameter);
  if (!curve) return kAnimCurveUnknown;
  for (auto type : {kAnimCurveTA, kAnimCurveTL, kAnimCurveTT, kAnimCurveTU}) {
    if (curve->type().name == nodeTypeName(type)) return type;
  }
  return kAnimCurveUnknown;
}

unsigned int MFnAnimCurve::numKeys(MStatus* ReturnStatus) const {
  auto* curve = curveOf(attached());
  report(ReturnStatus, curve ? MS::kSuccess : MS::kInvalidParameter);
  return curve ? static_cast<unsigned int>(curve->keys.size()) : 0;
}

bool MFnAnimCurve::find(const MTime& time, unsigned int& index, MStatus* ReturnStatus) const {
  auto* curve = curveOf(attached());
  report(ReturnStatus, curve ? MS::kSuccess : MS::kInvalidParameter);
  if (!curve) return false;
  long long tick = host::ticksOf(time);
  std::size_t position = lowerBound(curve->keys, tick);
  if (position == curve->keys.size() || curve->keys[position].ticks != tick) return false;
  index = static_cast<unsigned int>(position);
  return true;
}

unsigned int MFnAnimCurve::findClosest(const MTime& time, MStatus* ReturnStatus) const {
  auto* curve = curveOf(attached());
  if (!curve) {
    report(ReturnStatus, MS::kInvalidParameter);
    return 0;
  }
  const auto& keys = curve->keys;
  if (keys.empty()) {
    report(ReturnStatus, MS::kNotFound);
    return 0;
  }
  report(ReturnStatus, MS::kSuccess);
  long long tick = host::ticksOf(time);
  std::size_t after = lowerBound(keys, tick);
  if (after == 0) return 0;
  if (after == keys.size()) return static_cast<unsigned int>(keys.size() - 1);
  bool earlier = tick - keys[after - 1].ticks <= keys[after].ticks - tick;
  return static_cast<unsigned int>(earlier ? after - 1 : after);
}

MTime MFnAnimCurve::time(unsigned int index, MStatus* ReturnStatus) const {
  auto* curve = curveOf(attached());
  if (!curve || index >= curve->keys.size()) {
    report(ReturnStatus, MS::kInvalidParameter);
    return MTime();
  }
  report(ReturnStatus, MS::kSuccess);
  return timeOf(curve->keys[index].ticks);
}

double MFnAnimCurve::value(unsigned int index, MStatus* ReturnStatus) const {
  auto* curve = curveOf(attached());
  if (!curve || index >= curve->keys.size()) {
    report(ReturnStatus, MS::kInvalidParameter);
    return 0.0;
  }
  report(ReturnStatus, MS::kSuccess);
  return curve->keys[index].value;
}

MStatus MFnAnimCurve::remove(unsigned int index, MAnimCurveChange*) {
  auto* curve = curveOf(attached());
  if (!curve || index >= curve->keys.size()) return MS::kInvalidParameter;
  curve->keys.erase(curve->keys.begin() + index);
  return MS::kSuccess;
}

MStatus MFnAnimCurve::addKeyframe(const MTime& time, double value, MAnimCurveChange*) {
  auto* curve = curveOf(attached());
  if (!curve || time.unit() == MTime::kInvalid) return MS::kInvalidParameter;
  long long tick = host::ticksOf(time);
  auto& keys = curve->keys;
  // Keys usually arrive in time order: append without a search.
  if (keys.empty() || keys.back().ticks < tick) {
    keys.push_back(host::CurveKey{tick, value});
    return MS::kSuccess;
  }
  std::size_t position = lowerBound(keys, tick);
  if (position < keys.size() && keys[position].ticks == tick) {
    keys[position].value = value;
  } else {
    keys.insert(keys.begin() + static_cast<std::ptrdiff_t>(position), host::CurveKey{tick, value});
  }
  return MS::kSuccess;
}

double MFnAnimCurve::evaluate(const MTime& atTime, MStatus* ReturnStatus) const {
  auto* curve = curveOf(attached());
  report(ReturnStatus, curve ? MS::kSuccess : MS::kInvalidParameter);
  if (!curve || curve->keys.empty()) return 0.0;
  const auto& keys = curve->keys;
  long long tick = host::ticksOf(atTime);
  std::size_t after = lowerBound(keys, tick);
  if (after == keys.size()) return keys.back().value;
  if (after == 0 || keys[after].ticks == tick) return keys[after].value;
  const auto& a = keys[after - 1];
  const auto& b = keys[after];
  double t = static_cast<double>(tick - a.ticks) / static_cast<double>(b.ticks - a.ticks);
  return a.value + (b.value - a.value) * t;
}
