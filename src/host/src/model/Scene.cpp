#include "model/Scene.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

#include "model/AnimCurve.h"
#include "model/Ticks.h"

namespace host {

namespace {

class World : public Object {
 public:
  MFn::Type apiType() const override { return MFn::kWorld; }
};

bool sameEnd(const PlugEnd& end, const Node& node, const Attribute& attribute) {
  return end.node.get() == &node && end.attribute == &attribute;
}

bool isUnitConversion(const Node& node) { return node.type().name == "unitConversion"; }

// Deep enough for any real chain of drivers; a cycle stops here, reading stored values.
constexpr int kMaxEvaluationDepth = 64;

std::string legalName(const std::string& name) {
  std::string result;
  for (char c : name) {
    bool legal = std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    result += legal ? c : '_';
  }
  if (!result.empty() && std::isdigit(static_cast<unsigned char>(result[0]))) result.insert(0, "_");
  return result;
}

}  // namespace

Scene::Scene(const NodeTypeRegistry& registry)
    : types(registry), worldObject(std::make_shared<World>()) {}

MStatus Scene::createNode(const std::shared_ptr<NodeType>& type, Node* parent,
                          std::shared_ptr<Node>& created) {
  created.reset();
  if (!type) return MS::kInvalidParameter;
  if (parent && (!type->dag || !parent->alive() || !parent->hasFn(MFn::kTransform))) {
    return MS::kInvalidParameter;
  }
  auto node = std::make_shared<Node>(type);
  node->parentNode = parent;
  node->nodeName = uniqueName(type->name + "1", *node);
  allNodes.push_back(node);
  if (parent) parent->childNodes.push_back(node);
  if (type->makeExtension) {
    node->nodeExtension = type->makeExtension();
    if (node->nodeExtension) {
      MStatus status = node->nodeExtension->nodeCreated(*node);
      if (!status) {
        remove(*node);
        return status;
      }
    }
  }
  created = node;
  return MS::kSuccess;
}

MStatus Scene::createDagNode(const std::string& typeName, const MObject& parent, MObject& created) {
  std::shared_ptr<Node> parentNode;
  if (!parent.isNull() && !parent.hasFn(MFn::kWorld)) {
    parentNode = Node::live(parent);
    if (!parentNode) return MS::kInvalidParameter;
  }
  std::shared_ptr<Node> node;
  MStatus status = createNode(types.find(typeName), parentNode.get(), node);
  if (status) created = ObjectAccess::wrap(node);
  return status;
}

MStatus Scene::deleteNode(Node& node) {
  // An extension deleting its own node while hearing nodeDeleting must not start it over.
  if (!node.alive() || node.beingDeleted) return MS::kInvalidParameter;
  node.beingDeleted = true;
  auto keep = pointer(node);
  // Copy: deleting a child edits the list.
  auto children = node.childNodes;
  for (auto child = children.rbegin(); child != children.rend(); ++child) {
    if ((*child)->alive()) deleteNode(**child);
  }
  std::vector<std::shared_ptr<Node>> drivers;
  std::vector<std::shared_ptr<Node>> converting;
  for (const auto& connection : connections) {
    const auto& from = connection.source.node;
    const auto& to = connection.destination.node;
    if (to.get() == &node && (from->type().isAnimCurve() || isUnitConversion(*from))) {
      drivers.push_back(from);
    }
    // A conversion lives only while it links two plugs, as in Maya.
    if (from.get() == &node && isUnitConversion(*to)) converting.push_back(to);
  }
  if (node.nodeExtension) node.nodeExtension->nodeDeleting(node);
  remove(node);
  for (const auto& conversion : converting) {
    if (conversion->alive()) deleteNode(*conversion);
  }
  for (const auto& driver : drivers) {
    bool drivesSomething =
        std::any_of(connections.begin(), connections.end(),
                    [&](const Connection& connection) { return connection.source.node == driver; });
    if (driver->alive() && !drivesSomething) deleteNode(*driver);
  }
  return MS::kSuccess;
}

void Scene::remove(Node& node) {
  connections.erase(std::remove_if(connections.begin(), connections.end(),
                                   [&](const Connection& connection) {
                                     return connection.source.node.get() == &node ||
                                            connection.destination.node.get() == &node;
                                   }),
                    connections.end());
  selected.erase(std::remove_if(selected.begin(), selected.end(),
                                [&](const auto& item) { return item.get() == &node; }),
                 selected.end());
  if (node.parentNode) {
    auto& siblings = node.parentNode->childNodes;
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                  [&](const auto& item) { return item.get() == &node; }),
                   siblings.end());
  }
  node.parentNode = nullptr;
  node.childNodes.clear();
  node.isAlive = false;
  auto keep = pointer(node);
  allNodes.erase(std::remove(allNodes.begin(), allNodes.end(), keep), allNodes.end());
  node.nodeExtension.reset();
}

void Scene::empty() {
  while (!allNodes.empty()) {
    std::shared_ptr<Node> node = allNodes.back();
    while (node->parentNode) node = pointer(*node->parentNode);
    deleteNode(*node);
  }
  namespaceNames.clear();
  selected.clear();
  connections.clear();
  time = MTime();
  range = TimeRange();
  units = UiUnits();
}

void Scene::forgetErrors() {
  shownErrors.clear();
  shownWarnings.clear();
}

std::string Scene::rename(Node& node, const std::string& requested, bool createNamespace,
                          MStatus& status) {
  std::string name = requested;
  if (!name.empty() && name[0] == ':') name.erase(0, 1);
  auto colon = name.rfind(':');
  std::string space = colon == std::string::npos ? "" : name.substr(0, colon);
  std::string shortName = legalName(colon == std::string::npos ? name : name.substr(colon + 1));
  if (shortName.empty() || !node.alive()) {
    status = MS::kInvalidParameter;
    return node.nodeName;
  }
  if (!space.empty() && !hasNamespace(space)) {
    if (!createNamespace) {
      status = MS::kInvalidParameter;
      return node.nodeName;
    }
    status = addNamespace(space);
    if (!status) return node.nodeName;
  }
  node.nodeName = uniqueName(space.empty() ? shortName : space + ":" + shortName, node);
  status = MS::kSuccess;
  return node.nodeName;
}

bool Scene::nameTaken(const std::string& name, const Node& node) const {
  for (const auto& other : allNodes) {
    if (other.get() == &node || other->nodeName != name) continue;
    if (!node.type().dag || !other->type().dag || other->parentNode == node.parentNode) {
      return true;
    }
  }
  return false;
}

std::string Scene::uniqueName(const std::string& name, const Node& node) const {
  if (!nameTaken(name, node)) return name;
  auto colon = name.rfind(':');
  std::size_t shortStart = colon == std::string::npos ? 0 : colon + 1;
  std::size_t end = name.size();
  while (end > shortStart + 1 && std::isdigit(static_cast<unsigned char>(name[end - 1]))) --end;
  std::string base = name.substr(0, end);
  for (unsigned long number = 1;; ++number) {
    std::string candidate = base + std::to_string(number);
    if (!nameTaken(candidate, node)) return candidate;
  }
}

std::shared_ptr<Node> Scene::find(const std::string& nameOrPath) const {
  bool byPath = !nameOrPath.empty() && nameOrPath[0] == '|';
  std::shared_ptr<Node> found;
  for (const auto& node : allNodes) {
    if ((byPath ? path(*node) : node->nodeName) != nameOrPath) continue;
    if (found) return nullptr;
    found = node;
  }
  return found;
}

const std::vector<std::shared_ptr<Node>>& Scene::nodes() const { return allNodes; }

std::shared_ptr<Node> Scene::pointer(const Node& node) const {
  for (const auto& item : allNodes) {
    if (item.get() == &node) return item;
  }
  return nullptr;
}

std::string Scene::path(const Node& node) const {
  if (!node.type().dag) return node.nodeName;
  std::string result;
  for (const Node* item = &node; item; item = item->parentNode) {
    result.insert(0, "|" + item->nodeName);
  }
  return result;
}

bool Scene::hasNamespace(const std::string& name) const {
  return std::find(namespaceNames.begin(), namespaceNames.end(), name) != namespaceNames.end();
}

MStatus Scene::addNamespace(const std::string& name) {
  std::string full = name;
  if (!full.empty() && full[0] == ':') full.erase(0, 1);
  if (full.empty()) return MS::kInvalidParameter;
  std::size_t start = 0;
  while (true) {
    auto colon = full.find(':', start);
    std::string part = full.substr(start, colon == std::string::npos ? colon : colon - start);
    if (part.empty() || legalName(part) != part) return MS::kInvalidParameter;
    std::string prefix = full.substr(0, colon);
    if (!hasNamespace(prefix)) namespaceNames.push_back(prefix);
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return MS::kSuccess;
}

const std::vector<std::string>& Scene::namespaces() const { return namespaceNames; }

MStatus Scene::connect(const PlugEnd& from, const PlugEnd& to) {
  if (!from.node || !to.node || !from.attribute || !to.attribute) return MS::kInvalidParameter;
  if (!from.node->alive() || !to.node->alive() || !from.node->hasAttribute(*from.attribute) ||
      !to.node->hasAttribute(*to.attribute)) {
    return MS::kInvalidParameter;
  }
  if (from.node == to.node && from.attribute == to.attribute) return MS::kInvalidParameter;
  if (source(*to.node, *to.attribute).node || to.node->isLocked(*to.attribute)) {
    return MS::kInvalidParameter;
  }
  const AttributeUnit fromUnit = unitOf(*from.attribute);
  const AttributeUnit toUnit = unitOf(*to.attribute);
  if (fromUnit != toUnit && (fromUnit == AttributeUnit::kTime || toUnit == AttributeUnit::kTime)) {
    return MS::kNotImplemented;
  }
  if (!needsConversion(fromUnit, toUnit, units)) {
    connections.push_back({from, to});
    return MS::kSuccess;
  }
  std::shared_ptr<Node> conversion;
  MStatus status = createNode(types.find("unitConversion"), nullptr, conversion);
  if (!status) return status;
  const NodeType& type = conversion->type();
  conversion->setValue(*type.findAttribute("conversionFactor"),
                       conversionFactor(fromUnit, toUnit, units));
  connections.push_back({from, {conversion, type.findAttribute("input").get()}});
  connections.push_back({{conversion, type.findAttribute("output").get()}, to});
  return MS::kSuccess;
}

MStatus Scene::disconnect(const PlugEnd& from, const PlugEnd& to) {
  if (!to.node || !to.attribute) return MS::kNotFound;
  PlugEnd driver = source(*to.node, *to.attribute);
  if (!driver.node) return MS::kNotFound;
  if (driver.node == from.node && driver.attribute == from.attribute) {
    connections.erase(std::remove_if(connections.begin(), connections.end(),
                                     [&](const Connection& connection) {
                                       return sameEnd(connection.destination, *to.node,
                                                      *to.attribute);
                                     }),
                      connections.end());
    return MS::kSuccess;
  }
  if (!isUnitConversion(*driver.node)) return MS::kNotFound;
  auto input = driver.node->type().findAttribute("input");
  PlugEnd converted = source(*driver.node, *input);
  if (converted.node != from.node || converted.attribute != from.attribute) return MS::kNotFound;
  return deleteNode(*driver.node);
}

AttributeValue Scene::evaluate(Node& node, const Attribute& attribute) {
  return evaluate(node, attribute, 0);
}

AttributeValue Scene::evaluate(Node& node, const Attribute& attribute, int depth) {
  if (depth < kMaxEvaluationDepth) {
    PlugEnd driver = source(node, attribute);
    if (driver.node) return sourceValue(driver, -1, depth + 1);
    if (const Attribute* parent = attribute.parent) {
      driver = source(node, *parent);
      if (driver.node) {
        const auto& siblings = parent->children;
        for (std::size_t i = 0; i < siblings.size(); ++i) {
          if (siblings[i].get() == &attribute) {
            return sourceValue(driver, static_cast<int>(i), depth + 1);
          }
        }
      }
    }
  }
  return node.value(attribute);
}

// The value a source plug gives its destination: the whole plug, or its child-th child when the
// destination is a compound's child.
AttributeValue Scene::sourceValue(const PlugEnd& from, int child, int depth) {
  Node& node = *from.node;
  if (isUnitConversion(node)) {
    const NodeType& type = node.type();
    auto input = type.findAttribute("input");
    const double factor =
        numberOf(node.value(*type.findAttribute("conversionFactor"))).value_or(1.0);
    PlugEnd converted = source(node, *input);
    const AttributeValue in = converted.node && depth < kMaxEvaluationDepth
                                  ? sourceValue(converted, child, depth + 1)
                                  : node.value(*input);
    return numberOf(in).value_or(0.0) * factor;
  }
  if (node.type().isAnimCurve()) {
    if (const AnimCurve* curve = AnimCurve::of(node)) return curve->valueAt(ticksOf(time));
  }
  const Attribute* attribute = from.attribute;
  if (child >= 0 && static_cast<std::size_t>(child) < attribute->children.size()) {
    attribute = attribute->children[static_cast<std::size_t>(child)].get();
  }
  return evaluate(node, *attribute, depth);
}

PlugEnd Scene::source(const Node& node, const Attribute& attribute) const {
  for (const auto& connection : connections) {
    if (sameEnd(connection.destination, node, attribute)) return connection.source;
  }
  return {};
}

std::vector<PlugEnd> Scene::destinations(const Node& node, const Attribute& attribute) const {
  std::vector<PlugEnd> result;
  for (const auto& connection : connections) {
    if (sameEnd(connection.source, node, attribute)) result.push_back(connection.destination);
  }
  return result;
}

bool Scene::isConnected(const Node& node, const Attribute& attribute) const {
  return std::any_of(connections.begin(), connections.end(), [&](const Connection& connection) {
    return sameEnd(connection.source, node, attribute) ||
           sameEnd(connection.destination, node, attribute);
  });
}

const std::vector<std::shared_ptr<Node>>& Scene::selection() const { return selected; }

void Scene::setSelection(std::vector<std::shared_ptr<Node>> nodes) {
  nodes.erase(std::remove_if(nodes.begin(), nodes.end(),
                             [](const auto& node) { return !node || !node->alive(); }),
              nodes.end());
  selected = std::move(nodes);
}

const MTime& Scene::currentTime() const { return time; }

void Scene::setCurrentTime(const MTime& newTime) { time = newTime; }

TimeRange& Scene::timeRange() { return range; }

const UiUnits& Scene::uiUnits() const { return units; }

void Scene::setUiUnits(const UiUnits& newUnits) { units = newUnits; }

void Scene::displayError(const std::string& message) {
  shownErrors.push_back(message);
  if (echoMessages) std::fprintf(stderr, "// Error: %s\n", message.c_str());
}

const std::vector<std::string>& Scene::errors() const { return shownErrors; }

void Scene::displayWarning(const std::string& message) {
  shownWarnings.push_back(message);
  if (echoMessages) std::fprintf(stderr, "// Warning: %s\n", message.c_str());
}

const std::vector<std::string>& Scene::warnings() const { return shownWarnings; }

const std::shared_ptr<Object>& Scene::world() const { return worldObject; }

}  // namespace host
