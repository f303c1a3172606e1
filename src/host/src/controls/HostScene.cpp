#include <host/HostScene.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "model/AnimCurve.h"
#include "model/Attribute.h"
#include "model/Node.h"
#include "model/NodeType.h"
#include "model/Object.h"
#include "model/Scene.h"
#include "model/Ticks.h"
#include "model/Units.h"
#include "runtime/DeviceState.h"
#include "runtime/Session.h"
#include "writers/JsonWriter.h"

namespace host {

namespace {

// Internal units in one UI unit of the attribute's type.
double uiScale(const Attribute& attribute) {
  return internalPerUi(attribute.unit, Session::instance().scene.uiUnits());
}

// In the scene's UI units, rounded to 15 significant digits when converted: a value set here or
// computed by a caller comes back as written (30, not 29.999999999999996) despite the trip
// through internal units.
double toShown(const Attribute& attribute, double value) {
  const double scale = uiScale(attribute);
  if (scale == 1.0 || !std::isfinite(value)) return value;
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value / scale);
  return std::strtod(text, nullptr);
}

double toStored(const Attribute& attribute, double value) { return value * uiScale(attribute); }

// "node.attribute" split at its last ".", both parts found.
MStatus findPlug(const std::string& plug, std::shared_ptr<Node>& node,
                 std::shared_ptr<Attribute>& attribute) {
  auto dot = plug.rfind('.');
  if (dot == std::string::npos) return MS::kInvalidParameter;
  node = Session::instance().scene.find(plug.substr(0, dot));
  if (!node) return MS::kNotFound;
  attribute = node->type().findAttribute(plug.substr(dot + 1));
  return attribute ? MS::kSuccess : MS::kNotFound;
}

// A number of any kind as a double; false for texts and vectors.
bool asNumber(const Value& value, double& number) {
  if (auto flag = std::get_if<bool>(&value)) {
    number = *flag ? 1.0 : 0.0;
  } else if (auto integer = std::get_if<int>(&value)) {
    number = *integer;
  } else if (auto real = std::get_if<double>(&value)) {
    number = *real;
  } else {
    return false;
  }
  return true;
}

MStatus setSimple(Node& node, const Attribute& attribute, const Value& value) {
  double number = 0.0;
  switch (attribute.kind) {
    case AttributeKind::kString:
      if (auto text = std::get_if<std::string>(&value)) {
        node.setValue(attribute, *text);
        return MS::kSuccess;
      }
      return MS::kInvalidParameter;
    case AttributeKind::kDouble:
      if (!asNumber(value, number)) return MS::kInvalidParameter;
      node.setValue(attribute, toStored(attribute, number));
      return MS::kSuccess;
    case AttributeKind::kBool:
      if (!asNumber(value, number)) return MS::kInvalidParameter;
      node.setValue(attribute, number != 0.0);
      return MS::kSuccess;
    case AttributeKind::kInt:
    case AttributeKind::kEnum:
      if (!asNumber(value, number)) return MS::kInvalidParameter;
      node.setValue(attribute, static_cast<int>(std::lround(number)));
      return MS::kSuccess;
    case AttributeKind::kCompound:
      break;
  }
  return MS::kInvalidParameter;
}

Value shownValue(const Attribute& attribute, const AttributeValue& stored) {
  if (auto real = std::get_if<double>(&stored)) return toShown(attribute, *real);
  if (auto flag = std::get_if<bool>(&stored)) return *flag;
  if (auto integer = std::get_if<int>(&stored)) return *integer;
  return std::get<std::string>(stored);
}

bool isVector(const Attribute& attribute) {
  if (attribute.kind != AttributeKind::kCompound || attribute.children.size() != 3) return false;
  for (const auto& child : attribute.children) {
    if (child->kind != AttributeKind::kDouble) return false;
  }
  return true;
}

bool writable(const Node& node, const Attribute& attribute) {
  return !node.isLocked(attribute) && !Session::instance().scene.source(node, attribute).node;
}

Value storedVector(const Node& node, const Attribute& attribute) {
  std::array<double, 3> result{};
  for (std::size_t i = 0; i < 3; ++i) {
    const Attribute& child = *attribute.children[i];
    if (auto real = std::get_if<double>(&node.storedValue(child))) {
      result[i] = toShown(child, *real);
    }
  }
  return result;
}

void writeTransform(JsonWriter& json, const Node& node) {
  const NodeType& type = node.type();
  for (const char* name : {"translate", "rotate", "rotateOrder", "jointOrient"}) {
    auto attribute = type.findAttribute(name);
    if (!attribute) continue;
    json.out << ", ";
    json.key(name);
    if (attribute->kind == AttributeKind::kEnum) {
      const auto* index = std::get_if<int>(&node.storedValue(*attribute));
      bool known =
          index && *index >= 0 && static_cast<std::size_t>(*index) < attribute->enumNames.size();
      json.string(known ? attribute->enumNames[static_cast<std::size_t>(*index)] : "");
    } else {
      json.value(storedVector(node, *attribute));
    }
  }
}

// As Maya's keyTangent names them.
const char* tangentName(Tangent type) {
  switch (type) {
    case Tangent::kGlobal:
      return "global";
    case Tangent::kFixed:
      return "fixed";
    case Tangent::kLinear:
      return "linear";
    case Tangent::kFlat:
      return "flat";
    case Tangent::kSmooth:
      return "spline";
    case Tangent::kStep:
      return "step";
    case Tangent::kSlow:
      return "slow";
    case Tangent::kFast:
      return "fast";
    case Tangent::kClamped:
      return "clamped";
    case Tangent::kPlateau:
      return "plateau";
    case Tangent::kStepNext:
      return "stepnext";
    case Tangent::kAuto:
      return "auto";
    case Tangent::kAutoMix:
      return "automix";
    case Tangent::kAutoEase:
      return "autoease";
    case Tangent::kAutoCustom:
      return "autocustom";
  }
  return "";
}

void writeCurve(JsonWriter& json, const Node& node) {
  auto& scene = Session::instance().scene;
  json.out << ", ";
  json.key("drives");
  auto output = node.type().findAttribute("output");
  auto driven = output ? scene.destinations(node, *output) : std::vector<PlugEnd>();
  if (!driven.empty() && driven.front().node->type().name == "unitConversion") {
    const Node& conversion = *driven.front().node;
    driven = scene.destinations(conversion, *conversion.type().findAttribute("output"));
  }
  if (driven.empty()) {
    json.out << "null";
  } else {
    json.string(scene.path(*driven.front().node) + "." + driven.front().attribute->longName);
  }
  json.out << ", ";
  json.key("keys");
  json.out << '[';
  const auto& keys = AnimCurve::keysOf(node);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (i) json.out << ", ";
    json.out << '[';
    json.number(secondsOf(keys[i].ticks));
    json.out << ", ";
    json.number(keys[i].value);
    json.out << ']';
  }
  json.out << "], ";
  json.key("tangents");
  json.out << '[';
  for (std::size_t i = 0; i < keys.size(); ++i) {
    json.out << (i ? ", [" : "[");
    json.string(tangentName(keys[i].in));
    json.out << ", ";
    json.string(tangentName(keys[i].out));
    json.out << ']';
  }
  json.out << ']';
}

void writeAttributes(JsonWriter& json, const Node& node) {
  json.out << ", ";
  json.key("attributes");
  json.out << '{';
  bool first = true;
  for (const auto& attribute : node.type().attributes) {
    if (attribute->parent) continue;
    if (attribute->kind == AttributeKind::kCompound && !isVector(*attribute)) continue;
    if (!first) json.out << ", ";
    first = false;
    json.key(attribute->longName.c_str());
    if (attribute->kind == AttributeKind::kCompound) {
      json.value(storedVector(node, *attribute));
    } else {
      json.value(shownValue(*attribute, node.storedValue(*attribute)));
    }
  }
  json.out << '}';
}

void writeNode(JsonWriter& json, const Node& node) {
  auto& scene = Session::instance().scene;
  json.out << '{';
  json.key("name");
  json.string(node.name());
  json.out << ", ";
  json.key("path");
  json.string(scene.path(node));
  json.out << ", ";
  json.key("type");
  json.string(node.type().name);
  json.out << ", ";
  json.key("parent");
  if (node.parent()) {
    json.string(scene.path(*node.parent()));
  } else {
    json.out << "null";
  }
  if (node.hasFn(MFn::kTransform)) {
    writeTransform(json, node);
  } else if (node.type().isAnimCurve()) {
    writeCurve(json, node);
  } else {
    writeAttributes(json, node);
  }
  json.out << '}';
}

}  // namespace

void emptyScene() { Session::instance().reset(Session::Reset::kNewScene); }

void resetScene() { Session::instance().reset(Session::Reset::kFreshScene); }

MStatus createNode(const std::string& typeName, const std::string& name, const std::string& parent,
                   std::string* created) {
  auto& scene = Session::instance().scene;
  auto type = Session::instance().nodeTypes.find(typeName);
  if (!type) return MS::kInvalidParameter;
  std::shared_ptr<Node> parentNode;
  if (!parent.empty()) {
    parentNode = scene.find(parent);
    if (!parentNode) return MS::kInvalidParameter;
  }
  std::shared_ptr<Node> node;
  MStatus status = scene.createNode(type, parentNode.get(), node);
  if (!status) return status;
  if (!name.empty()) {
    scene.rename(*node, name, false, status);
    if (!status) {
      scene.deleteNode(*node);
      return status;
    }
  }
  if (created) *created = scene.path(*node);
  return MS::kSuccess;
}

MStatus deleteNode(const std::string& node) {
  auto found = Session::instance().scene.find(node);
  if (!found) return MS::kNotFound;
  return Session::instance().scene.deleteNode(*found);
}

MStatus deleteNodeUndoably(const std::string& node) {
  Session& session = Session::instance();
  auto found = session.scene.find(node);
  if (!found) return MS::kNotFound;
  session.undoableDelete = true;
  const MStatus status = session.scene.deleteNode(*found);
  session.undoableDelete = false;
  return status;
}

void flushUndo() { Session::instance().flushUndo(); }

MObject findNode(const std::string& node) {
  auto found = Session::instance().scene.find(node);
  return found ? ObjectAccess::wrap(found) : MObject();
}

MStatus addNamespace(const std::string& name) {
  return Session::instance().scene.addNamespace(name);
}

MStatus setAttribute(const std::string& plug, const Value& value) {
  std::shared_ptr<Node> node;
  std::shared_ptr<Attribute> attribute;
  MStatus status = findPlug(plug, node, attribute);
  if (!status) return status;
  if (!writable(*node, *attribute)) return MS::kInvalidParameter;
  if (attribute->kind != AttributeKind::kCompound) return setSimple(*node, *attribute, value);
  auto vector = std::get_if<std::array<double, 3>>(&value);
  if (!vector || !isVector(*attribute)) return MS::kInvalidParameter;
  for (const auto& child : attribute->children) {
    if (!writable(*node, *child)) return MS::kInvalidParameter;
  }
  for (std::size_t i = 0; i < 3; ++i) {
    const Attribute& child = *attribute->children[i];
    node->setValue(child, toStored(child, (*vector)[i]));
  }
  return MS::kSuccess;
}

namespace {

MStatus readAttribute(const std::string& plug, Value& value) {
  std::shared_ptr<Node> node;
  std::shared_ptr<Attribute> attribute;
  MStatus status = findPlug(plug, node, attribute);
  if (!status) return status;
  if (attribute->kind != AttributeKind::kCompound) {
    value = shownValue(*attribute, Session::instance().scene.evaluate(*node, *attribute));
    return MS::kSuccess;
  }
  if (!isVector(*attribute)) return MS::kInvalidParameter;
  std::array<double, 3> vector{};
  for (std::size_t i = 0; i < 3; ++i) {
    const Attribute& child = *attribute->children[i];
    vector[i] =
        toShown(child, numberOf(Session::instance().scene.evaluate(*node, child)).value_or(0.0));
  }
  value = vector;
  return MS::kSuccess;
}

}  // namespace

MStatus getAttribute(const std::string& plug, Value& value) {
  DeviceState::applyRefreshes();
  return readAttribute(plug, value);
}

MStatus getAttributes(const std::vector<std::string>& plugs, std::vector<Value>& values) {
  DeviceState::applyRefreshes();
  Node::EvaluationScope evaluation;
  values.assign(plugs.size(), Value());
  for (std::size_t i = 0; i < plugs.size(); ++i) {
    MStatus status = readAttribute(plugs[i], values[i]);
    if (!status) return status;
  }
  return MS::kSuccess;
}

MStatus connectAttributes(const std::string& source, const std::string& destination) {
  std::shared_ptr<Node> fromNode;
  std::shared_ptr<Attribute> fromAttribute;
  std::shared_ptr<Node> toNode;
  std::shared_ptr<Attribute> toAttribute;
  MStatus status = findPlug(source, fromNode, fromAttribute);
  if (status) status = findPlug(destination, toNode, toAttribute);
  if (!status) return status;
  return Session::instance().scene.connect({fromNode, fromAttribute.get()},
                                           {toNode, toAttribute.get()});
}

MStatus curveCalls(const std::string& curve, CurveCalls& calls) {
  auto found = Session::instance().scene.find(curve);
  const AnimCurve* keys = found ? AnimCurve::of(*found) : nullptr;
  if (!keys) return MS::kNotFound;
  calls.addKeys = keys->addKeysCalls;
  calls.addKeyframe = keys->addKeyframeCalls;
  return MS::kSuccess;
}

void setCurrentTime(double seconds) {
  Session::instance().scene.setCurrentTime(MTime(seconds, MTime::kSeconds));
}

MStatus select(const std::vector<std::string>& nodes) {
  std::vector<std::shared_ptr<Node>> found;
  for (const auto& name : nodes) {
    auto node = Session::instance().scene.find(name);
    if (!node) return MS::kNotFound;
    found.push_back(node);
  }
  Session::instance().scene.setSelection(std::move(found));
  return MS::kSuccess;
}

std::vector<std::string> listNodes(const std::string& typeName) {
  std::vector<std::string> result;
  auto& scene = Session::instance().scene;
  for (const auto& node : scene.nodes()) {
    if (typeName.empty() || node->type().name == typeName) result.push_back(scene.path(*node));
  }
  return result;
}

std::vector<std::string> errors() { return Session::instance().scene.errors(); }

std::vector<std::string> warnings() { return Session::instance().scene.warnings(); }

void setMessagesEchoed(bool echoed) { Session::instance().scene.setEchoMessages(echoed); }

std::string sceneJson() {
  auto& scene = Session::instance().scene;
  JsonWriter json;
  json.out << "{\n  ";
  json.key("currentTime");
  json.number(scene.currentTime().as(MTime::kSeconds));
  json.out << ",\n  ";
  json.key("units");
  json.strings({linearName(scene.uiUnits().linear, false), angleName(scene.uiUnits().angle, false),
                timeName(scene.uiUnits().time)});
  json.out << ",\n  ";
  json.key("namespaces");
  json.strings(scene.namespaces());
  json.out << ",\n  ";
  json.key("selection");
  std::vector<std::string> selection;
  for (const auto& node : scene.selection()) selection.push_back(scene.path(*node));
  json.strings(selection);
  json.out << ",\n  ";
  json.key("errors");
  json.strings(scene.errors());
  json.out << ",\n  ";
  json.key("nodes");
  json.out << '[';
  const auto& nodes = scene.nodes();
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    json.out << (i ? ",\n    " : "\n    ");
    writeNode(json, *nodes[i]);
  }
  json.out << (nodes.empty() ? "]\n}\n" : "\n  ]\n}\n");
  return json.out.str();
}

}  // namespace host
