#include <maya/MDGModifier.h>
#include <maya/MDoubleArray.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MPlug.h>
#include <maya/MTimeArray.h>

#include <algorithm>
#include <cmath>

#include "api/ReturnStatus.h"
#include "model/AnimCurve.h"
#include "model/Attribute.h"
#include "model/Node.h"
#include "model/Object.h"
#include "model/Scene.h"
#include "model/Ticks.h"
#include "model/Units.h"
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

host::Tangent tangentOf(MFnAnimCurve::TangentType type) {
  return type == MFnAnimCurve::kTangentGlobal ? host::kDefaultTangent
                                              : static_cast<host::Tangent>(type);
}

bool knownTangent(MFnAnimCurve::TangentType type) {
  return type >= MFnAnimCurve::kTangentGlobal && type <= MFnAnimCurve::kTangentAutoCustom;
}

host::AttributeUnit outputUnit(const host::Node& curve) {
  auto output = curve.type().findAttribute("output");
  return output ? output->unit : host::AttributeUnit::kNone;
}

// Inserts or replaces a key, keeping the keys sorted and one a tick.
void putKey(std::vector<host::CurveKey>& keys, const host::CurveKey& key) {
  if (keys.empty() || keys.back().ticks < key.ticks) {
    keys.push_back(key);
    return;
  }
  std::size_t position = lowerBound(keys, key.ticks);
  if (position < keys.size() && keys[position].ticks == key.ticks) {
    keys[position] = key;
  } else {
    keys.insert(keys.begin() + static_cast<std::ptrdiff_t>(position), key);
  }
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
  auto& scene = host::Session::instance().scene;
  host::PlugEnd source = scene.source(*node, *attribute);
  if (!source.node) {
    report(ReturnStatus, MS::kInvalidParameter);
    return;
  }
  // A curve of another unit type drives the plug through a unitConversion: still its curve.
  if (source.node->type().name == "unitConversion") {
    host::PlugEnd converted =
        scene.source(*source.node, *source.node->type().findAttribute("input"));
    if (converted.node && converted.node->type().isAnimCurve()) source = converted;
  }
  if (!source.node->type().isAnimCurve()) {
    report(ReturnStatus, MS::kNotImplemented);
    return;
  }
  report(ReturnStatus, attach(host::ObjectAccess::wrap(source.node), MFn::kAnimCurve));
}

MFnAnimCurve::~MFnAnimCurve() = default;

MFn::Type MFnAnimCurve::type() const { return MFn::kAnimCurve; }

MObject MFnAnimCurve::create(const MObject& node, const MObject& attribute, MDGModifier* modifier,
                             MStatus* ReturnStatus) {
  MPlug plug(node, attribute);
  MStatus status;
  AnimCurveType type = timedAnimCurveTypeForPlug(plug, &status);
  if (!status) {
    report(ReturnStatus, status);
    return MObject();
  }
  return create(node, attribute, type, modifier, ReturnStatus);
}

MObject MFnAnimCurve::create(const MObject& node, const MObject& attribute,
                             AnimCurveType animCurveType, MDGModifier* modifier,
                             MStatus* ReturnStatus) {
  const char* curveTypeName = nodeTypeName(animCurveType);
  if (!curveTypeName) {
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
  if (status) {
    if (modifier) {
      status = modifier->connect(host::ObjectAccess::wrap(curve), host::ObjectAccess::wrap(output),
                                 node, attribute);
    } else {
      status = scene.connect({curve, output.get()}, {target, targetAttribute.get()});
    }
  }
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

MFnAnimCurve::AnimCurveType MFnAnimCurve::timedAnimCurveTypeForPlug(MPlug& plug,
                                                                    MStatus* ReturnStatus) const {
  auto node = host::Node::live(plug.node());
  auto attribute = host::ObjectAccess::as<host::Attribute>(plug.attribute());
  if (!node || !attribute || !node->hasAttribute(*attribute) ||
      attribute->kind == host::AttributeKind::kString ||
      (attribute->kind == host::AttributeKind::kCompound && attribute->children.empty())) {
    report(ReturnStatus, MS::kInvalidParameter);
    return kAnimCurveUnknown;
  }
  report(ReturnStatus, MS::kSuccess);
  switch (host::unitOf(*attribute)) {
    case host::AttributeUnit::kDistance:
      return kAnimCurveTL;
    case host::AttributeUnit::kAngle:
      return kAnimCurveTA;
    case host::AttributeUnit::kTime:
      return kAnimCurveTT;
    case host::AttributeUnit::kNone:
      break;
  }
  return kAnimCurveTU;
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
  ++curve->addKeyframeCalls;
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

MStatus MFnAnimCurve::addKeys(MTimeArray* timeArray, MDoubleArray* valueArray,
                              TangentType tangentInType, TangentType tangentOutType,
                              bool keepExistingKeys, MAnimCurveChange*) {
  auto* curve = curveOf(attached());
  if (!curve || !timeArray || !valueArray || timeArray->length() != valueArray->length() ||
      !knownTangent(tangentInType) || !knownTangent(tangentOutType)) {
    return MS::kInvalidParameter;
  }
  ++curve->addKeysCalls;
  const unsigned int count = timeArray->length();
  std::vector<host::CurveKey> added;
  added.reserve(count);
  for (unsigned int i = 0; i < count; ++i) {
    const MTime& time = (*timeArray)[i];
    if (time.unit() == MTime::kInvalid) return MS::kInvalidParameter;
    host::CurveKey key{host::ticksOf(time), (*valueArray)[i]};
    key.in = tangentOf(tangentInType);
    key.out = tangentOf(tangentOutType);
    added.push_back(key);
  }
  if (added.empty()) return MS::kSuccess;
  // The later of two keys at one time wins, as adding them one by one would.
  std::stable_sort(
      added.begin(), added.end(),
      [](const host::CurveKey& a, const host::CurveKey& b) { return a.ticks < b.ticks; });
  auto& keys = curve->keys;
  if (!keepExistingKeys) {
    const long long first = added.front().ticks;
    const long long last = added.back().ticks;
    keys.erase(std::remove_if(keys.begin(), keys.end(),
                              [&](const host::CurveKey& key) {
                                return key.ticks >= first && key.ticks <= last;
                              }),
               keys.end());
  }
  for (const auto& key : added) putKey(keys, key);
  return MS::kSuccess;
}

unsigned int MFnAnimCurve::addKey(const MTime& time, double value, TangentType tangentInType,
                                  TangentType tangentOutType, MAnimCurveChange*,
                                  MStatus* ReturnStatus) {
  auto* curve = curveOf(attached());
  if (!curve || time.unit() == MTime::kInvalid || !knownTangent(tangentInType) ||
      !knownTangent(tangentOutType)) {
    report(ReturnStatus, MS::kInvalidParameter);
    return 0;
  }
  host::CurveKey key{host::ticksOf(time), value};
  key.in = tangentOf(tangentInType);
  key.out = tangentOf(tangentOutType);
  putKey(curve->keys, key);
  report(ReturnStatus, MS::kSuccess);
  return static_cast<unsigned int>(lowerBound(curve->keys, key.ticks));
}

MFnAnimCurve::TangentType MFnAnimCurve::inTangentType(unsigned int index,
                                                      MStatus* ReturnStatus) const {
  auto* curve = curveOf(attached());
  if (!curve || index >= curve->keys.size()) {
    report(ReturnStatus, MS::kInvalidParameter);
    return kTangentGlobal;
  }
  report(ReturnStatus, MS::kSuccess);
  return static_cast<TangentType>(curve->keys[index].in);
}

MFnAnimCurve::TangentType MFnAnimCurve::outTangentType(unsigned int index,
                                                       MStatus* ReturnStatus) const {
  auto* curve = curveOf(attached());
  if (!curve || index >= curve->keys.size()) {
    report(ReturnStatus, MS::kInvalidParameter);
    return kTangentGlobal;
  }
  report(ReturnStatus, MS::kSuccess);
  return static_cast<TangentType>(curve->keys[index].out);
}

namespace {

// A tangent turned fixed keeps the slope it had, as Maya freezes it.
MStatus setTangentType(host::AnimCurve* curve, unsigned int index,
                       MFnAnimCurve::TangentType tangentType, bool in) {
  if (!curve || index >= curve->keys.size() || !knownTangent(tangentType)) {
    return MS::kInvalidParameter;
  }
  const host::Tangent type = tangentOf(tangentType);
  if (type == host::Tangent::kFixed) {
    curve->fix(index, in, curve->slope(index, in));
  } else {
    host::CurveKey& key = curve->keys[index];
    (in ? key.in : key.out) = type;
  }
  return MS::kSuccess;
}

}  // namespace

MStatus MFnAnimCurve::setInTangentType(unsigned int index, TangentType tangentType,
                                       MAnimCurveChange*) {
  return setTangentType(curveOf(attached()), index, tangentType, true);
}

MStatus MFnAnimCurve::setOutTangentType(unsigned int index, TangentType tangentType,
                                        MAnimCurveChange*) {
  return setTangentType(curveOf(attached()), index, tangentType, false);
}

MStatus MFnAnimCurve::getTangent(unsigned int index, TangentValue& x, TangentValue& y,
                                 bool inTangent) const {
  auto* curve = curveOf(attached());
  if (!curve || index >= curve->keys.size()) return MS::kInvalidParameter;
  const double slope = curve->slope(index, inTangent);
  const double length = std::sqrt(1.0 + slope * slope);
  x = 1.0 / length;
  y = slope / length;
  return MS::kSuccess;
}

MStatus MFnAnimCurve::setTangent(unsigned int index, TangentValue x, TangentValue y, bool inTangent,
                                 MAnimCurveChange*, bool convertUnits) {
  host::Node* node = curveNode(attached());
  auto* curve = curveOf(attached());
  if (!node || !curve || index >= curve->keys.size() || !(x > 0.0) || !std::isfinite(y)) {
    return MS::kInvalidParameter;
  }
  double slope = y / x;
  if (convertUnits) {
    slope *= host::internalPerUi(outputUnit(*node), host::Session::instance().scene.uiUnits());
  }
  curve->fix(index, inTangent, slope);
  return MS::kSuccess;
}

double MFnAnimCurve::evaluate(const MTime& atTime, MStatus* ReturnStatus) const {
  auto* curve = curveOf(attached());
  report(ReturnStatus, curve ? MS::kSuccess : MS::kInvalidParameter);
  return curve ? curve->valueAt(host::ticksOf(atTime)) : 0.0;
}

MStatus MFnAnimCurve::evaluate(const MTime& atTime, double& value) const {
  MStatus status;
  value = evaluate(atTime, &status);
  return status;
}
