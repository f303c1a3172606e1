#pragma once

#include <maya/MFn.h>
#include <maya/MStatus.h>
#include <maya/MTypeId.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/Attribute.h"
#include "model/NodeExtension.h"

namespace host {

class PluginRecord;

// A node type: built in ("transform", "joint", "mesh", "animCurveTL", "animCurveTA",
// "animCurveTT", "animCurveTU", "unitConversion") or registered by a plug-in. Attributes are kept
// flat, in the order added, each compound before its children. Types are shared by their nodes:
// removing a type from the registry leaves existing nodes working.
class NodeType {
 public:
  NodeType(std::string name, MTypeId id, std::vector<MFn::Type> fnTypes, bool dag);

  // Adds the attribute and, for a compound, its children. kInvalidParameter for a null
  // attribute, one already added, or a long or short name already used in this type.
  MStatus addAttribute(const std::shared_ptr<Attribute>& attribute);
  // Records that setting whenChanges makes isAffected dirty; both must have been added.
  MStatus addAffects(const Attribute& whenChanges, const Attribute& isAffected);

  // By long or short name; null when absent.
  std::shared_ptr<Attribute> findAttribute(const std::string& name) const;
  // Position in attributes, or -1 when the attribute is not part of this type.
  int indexOf(const Attribute& attribute) const;
  const std::vector<const Attribute*>& affected(const Attribute& whenChanges) const;
  bool isAnimCurve() const;

  std::string name;
  MTypeId id;
  // The node's MFn types, its own type first; kDependencyNode (and kDagNode for DAG types) are
  // always among them.
  std::vector<MFn::Type> fnTypes;
  bool dag;
  std::vector<std::shared_ptr<Attribute>> attributes;
  // Null for built-in types other than animation curves.
  std::function<std::unique_ptr<NodeExtension>()> makeExtension;
  // The plug-in that registered the type; null for built-in types. Kept after the type leaves
  // the registry, so that the plug-in is not unloaded while nodes of the type exist.
  const PluginRecord* owner = nullptr;

 private:
  void add(const std::shared_ptr<Attribute>& attribute);

  std::unordered_map<const Attribute*, int> positions;
  // Long and short names: a type can have thousands of attributes, looked up by name.
  std::unordered_map<std::string, std::shared_ptr<Attribute>> named;
  std::map<const Attribute*, std::vector<const Attribute*>> affects;
};

// Every node type of the session, built-in ones first, then the plug-ins' in registration order.
// The one record of which types exist: plug-in listings and withdrawals are derived from it.
class NodeTypeRegistry {
 public:
  NodeTypeRegistry();

  std::shared_ptr<NodeType> find(const std::string& name) const;
  std::shared_ptr<NodeType> find(const MTypeId& id) const;
  // kInvalidParameter for a null or unnamed type; kFailure when a type of the same name or id
  // is registered.
  MStatus add(const std::shared_ptr<NodeType>& type);
  // kNotFound when no type has that name.
  MStatus remove(const std::string& name);
  const std::vector<std::shared_ptr<NodeType>>& all() const;

 private:
  std::vector<std::shared_ptr<NodeType>> types;
};

}  // namespace host
