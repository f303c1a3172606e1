#pragma once

#include <maya/MFn.h>

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Object.h"

namespace host {

// The host's scene model, shared by built-in node types and plug-in node types:
//
// - Attribute (this file): a generic definition: long and short name, kind, unit, default value,
//   flags, and for compounds their children. Built-in types make theirs in NodeType.cpp; plug-in
//   types get theirs from MFn*Attribute::create, which wraps a new Attribute in an MObject
//   (ObjectAccess::wrap), and MPxNode::addAttribute adds it to the type being initialised.
// - NodeType: a registry entry (name, MTypeId, function set types, DAG or not, attributes in
//   order, "affects" relation, and for plug-in types and animation curves a factory of
//   NodeExtension objects).
// - Node: one node of a type, with a value, a dirty flag, and keyable and locked flags per
//   attribute. Setting a value marks what it affects dirty; reading a dirty value asks the
//   node's NodeExtension to evaluate it (MPxNode::compute).
// - NodeExtension: how the plug-in runtime (PluginNode) follows a node's life: created, value
//   changed, evaluate, about to be deleted; an animation curve's keys live in its AnimCurve.
//   Scene::deleteNode is the one deletion path; emptying the scene goes through it too.
// - Scene: the nodes in creation order, DAG parents and children, names and namespaces,
//   connections, selection, current time and the errors shown.
//
// All scene mutation happens on the main thread. The only calls allowed from other threads are
// Node::setDirty and Node::isDirty, which touch nothing but the node's own atomic flags.

enum class AttributeKind { kDouble, kBool, kInt, kEnum, kString, kCompound };

// Units of double attributes. Values are stored in Maya's internal units: centimetres for
// distances, radians for angles, seconds for times.
enum class AttributeUnit { kNone, kDistance, kAngle, kTime };

using AttributeValue = std::variant<double, bool, int, std::string>;

// A value as a number, booleans as 0 or 1; nothing for a string.
std::optional<double> numberOf(const AttributeValue& value);

class Attribute : public Object {
 public:
  // fnTypes lists the attribute's MFn types, its own type first.
  Attribute(std::string longName, std::string shortName, AttributeKind kind,
            std::vector<MFn::Type> fnTypes);

  MFn::Type apiType() const override;
  bool hasFn(MFn::Type type) const override;

  // A compound whose children are the given attributes (they get this one as parent).
  static std::shared_ptr<Attribute> compound(std::string longName, std::string shortName,
                                             std::vector<std::shared_ptr<Attribute>> children,
                                             std::vector<MFn::Type> fnTypes);

  // The value a new node starts with: defaultValue, or 0 / false / "" of the kind.
  AttributeValue initialValue() const;

  std::string longName;
  std::string shortName;
  AttributeKind kind;
  AttributeUnit unit = AttributeUnit::kNone;
  std::vector<MFn::Type> fnTypes;
  AttributeValue defaultValue = 0.0;
  bool hidden = false;
  bool keyable = false;
  bool readable = true;
  bool writable = true;
  bool storable = true;
  // Enum fields by value, for kEnum attributes.
  std::vector<std::string> enumNames;
  // Children are owned by their compound; parent is null for top-level attributes.
  std::vector<std::shared_ptr<Attribute>> children;
  Attribute* parent = nullptr;
};

}  // namespace host
