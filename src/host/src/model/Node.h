#pragma once

#include <maya/MFn.h>
#include <maya/MStatus.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "model/Attribute.h"
#include "model/NodeExtension.h"
#include "model/NodeType.h"
#include "model/Object.h"

namespace host {

// One node of the scene. Created, named, parented and deleted only through Scene; values are
// per attribute of the node's type. Main thread only, except setDirty / isDirty.
class Node : public Object {
 public:
  explicit Node(std::shared_ptr<NodeType> type);
  ~Node() override;

  MFn::Type apiType() const override;
  bool hasFn(MFn::Type type) const override;

  const NodeType& type() const;
  const std::shared_ptr<NodeType>& typePointer() const;
  // Name with namespaces ("rig:Hips"); unique as Scene::rename makes it.
  const std::string& name() const;
  // False once deleted: handles may outlive the node's place in the scene.
  bool alive() const;
  // DAG parent (null at the world) and children in creation order.
  Node* parent() const;
  const std::vector<std::shared_ptr<Node>>& children() const;

  bool hasAttribute(const Attribute& attribute) const;
  // The value, evaluated first through the extension when dirty (unless the node's evaluation
  // failed within the current EvaluationScope). A compound has no value of its own (its
  // children have).
  const AttributeValue& value(const Attribute& attribute);

  // Main thread. While one lives, reads form one evaluation: a node whose compute failed is not
  // asked again, so its outputs read as they were instead of partly from a later compute.
  class EvaluationScope {
   public:
    EvaluationScope();
    ~EvaluationScope();
    EvaluationScope(const EvaluationScope&) = delete;
    EvaluationScope& operator=(const EvaluationScope&) = delete;

   private:
    friend class Node;
    std::vector<const Node*> failed;
    EvaluationScope* outer;
  };
  // The value as stored, without evaluation.
  const AttributeValue& storedValue(const Attribute& attribute) const;
  // Sets a value from outside: stores it, marks the attributes it affects dirty, and tells the
  // extension. Neither lock nor connection is checked here.
  void setValue(const Attribute& attribute, AttributeValue value);
  // Stores a value computed by the node itself and marks it clean, telling nobody.
  void storeComputedValue(const Attribute& attribute, AttributeValue value);

  // Any thread. Marking dirty spreads, as in Maya, to the attribute's children and parents and,
  // transitively, to every attribute it affects (with their children and parents), stopping at
  // each one that was dirty already. Marking clean touches the attribute and its children only.
  void setDirty(const Attribute& attribute, bool dirty);
  bool isDirty(const Attribute& attribute) const;

  bool isKeyable(const Attribute& attribute) const;
  void setKeyable(const Attribute& attribute, bool keyable);
  bool isLocked(const Attribute& attribute) const;
  void setLocked(const Attribute& attribute, bool locked);

  NodeExtension* extension() const;

  // The node a handle designates, or null when it designates no node or a deleted one.
  static std::shared_ptr<Node> live(const MObject& handle);

 private:
  friend class Scene;

  struct Slot {
    AttributeValue value;
    std::atomic<bool> dirty{false};
    bool keyable = false;
    bool locked = false;
  };

  // Marks of one dirtying walk, per attribute position.
  static constexpr unsigned char kWholeMark = 1;   // dirtied with its children and affects
  static constexpr unsigned char kParentMark = 2;  // dirtied as the parent of a dirtied child
  void markDirty(const Attribute& attribute, std::vector<unsigned char>& marks);

  Slot& slot(const Attribute& attribute);
  const Slot& slot(const Attribute& attribute) const;

  std::shared_ptr<NodeType> nodeType;
  std::string nodeName;
  bool isAlive = true;
  bool beingDeleted = false;
  Node* parentNode = nullptr;
  std::vector<std::shared_ptr<Node>> childNodes;
  std::vector<Slot> slots;
  std::unique_ptr<NodeExtension> nodeExtension;
};

}  // namespace host
