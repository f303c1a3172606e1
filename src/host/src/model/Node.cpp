#include "model/Node.h"

#include <algorithm>
#include <utility>

namespace host {

namespace {

const AttributeValue kNoValue = 0.0;

}  // namespace

Node::Node(std::shared_ptr<NodeType> type)
    : nodeType(std::move(type)), slots(nodeType->attributes.size()) {
  for (std::size_t i = 0; i < slots.size(); ++i) {
    const Attribute& attribute = *nodeType->attributes[i];
    slots[i].value = attribute.initialValue();
    slots[i].keyable = attribute.keyable;
  }
}

Node::~Node() = default;

MFn::Type Node::apiType() const { return nodeType->fnTypes.front(); }

bool Node::hasFn(MFn::Type type) const {
  const auto& types = nodeType->fnTypes;
  return type == MFn::kBase || type == MFn::kNamedObject ||
         std::find(types.begin(), types.end(), type) != types.end();
}

const NodeType& Node::type() const { return *nodeType; }

const std::shared_ptr<NodeType>& Node::typePointer() const { return nodeType; }

const std::string& Node::name() const { return nodeName; }

bool Node::alive() const { return isAlive; }

Node* Node::parent() const { return parentNode; }

const std::vector<std::shared_ptr<Node>>& Node::children() const { return childNodes; }

bool Node::hasAttribute(const Attribute& attribute) const {
  return nodeType->indexOf(attribute) >= 0;
}

namespace {

Node::EvaluationScope* currentScope = nullptr;

}  // namespace

Node::EvaluationScope::EvaluationScope() : outer(currentScope) { currentScope = this; }

Node::EvaluationScope::~EvaluationScope() { currentScope = outer; }

const AttributeValue& Node::value(const Attribute& attribute) {
  if (!hasAttribute(attribute)) return kNoValue;
  if (isDirty(attribute) && nodeExtension) {
    std::vector<const Node*>* failed = currentScope ? &currentScope->failed : nullptr;
    if (!failed || std::find(failed->begin(), failed->end(), this) == failed->end()) {
      if (!nodeExtension->evaluate(*this, attribute) && failed) failed->push_back(this);
    }
  }
  return slot(attribute).value;
}

const AttributeValue& Node::storedValue(const Attribute& attribute) const {
  if (!hasAttribute(attribute)) return kNoValue;
  return slot(attribute).value;
}

void Node::setValue(const Attribute& attribute, AttributeValue value) {
  if (!hasAttribute(attribute)) return;
  slot(attribute).value = std::move(value);
  for (const Attribute* changed : {&attribute, static_cast<const Attribute*>(attribute.parent)}) {
    if (!changed) continue;
    for (const Attribute* affected : nodeType->affected(*changed)) setDirty(*affected, true);
  }
  if (nodeExtension) nodeExtension->valueChanged(*this, attribute);
}

void Node::storeComputedValue(const Attribute& attribute, AttributeValue value) {
  if (!hasAttribute(attribute)) return;
  slot(attribute).value = std::move(value);
  slot(attribute).dirty = false;
}

void Node::setDirty(const Attribute& attribute, bool dirty) {
  if (!hasAttribute(attribute)) return;
  if (!dirty) {
    // Children first: a thread dirtying the parent meanwhile either finds it dirty still, or
    // finds it clean and dirties the children after they were cleaned, never the other way.
    for (const auto& child : attribute.children) setDirty(*child, false);
    slot(attribute).dirty = false;
    return;
  }
  std::vector<unsigned char> marks(slots.size(), 0);
  markDirty(attribute, marks);
}

void Node::markDirty(const Attribute& attribute, std::vector<unsigned char>& marks) {
  int index = nodeType->indexOf(attribute);
  if (index < 0 || (marks[static_cast<std::size_t>(index)] & kWholeMark)) return;
  const bool markedBefore = marks[static_cast<std::size_t>(index)] != 0;
  marks[static_cast<std::size_t>(index)] |= kWholeMark;
  // As in Maya, the walk stops at a plug that was dirty already: what it affects was dirtied
  // with it. A node that never cleans a plug thus stops the plugs after it from being dirtied.
  if (slots[static_cast<std::size_t>(index)].dirty.exchange(true) && !markedBefore) return;
  for (const auto& child : attribute.children) markDirty(*child, marks);
  // A parent's value includes this one, but its other children keep theirs.
  for (const Attribute* parent = attribute.parent; parent != nullptr; parent = parent->parent) {
    int parentIndex = nodeType->indexOf(*parent);
    if (parentIndex < 0 || marks[static_cast<std::size_t>(parentIndex)] != 0) break;
    marks[static_cast<std::size_t>(parentIndex)] |= kParentMark;
    if (slots[static_cast<std::size_t>(parentIndex)].dirty.exchange(true)) break;
    for (const Attribute* affected : nodeType->affected(*parent)) markDirty(*affected, marks);
  }
  for (const Attribute* affected : nodeType->affected(attribute)) markDirty(*affected, marks);
}

bool Node::isDirty(const Attribute& attribute) const {
  return hasAttribute(attribute) && slot(attribute).dirty;
}

bool Node::isKeyable(const Attribute& attribute) const {
  return hasAttribute(attribute) && slot(attribute).keyable;
}

void Node::setKeyable(const Attribute& attribute, bool keyable) {
  if (hasAttribute(attribute)) slot(attribute).keyable = keyable;
}

bool Node::isLocked(const Attribute& attribute) const {
  return hasAttribute(attribute) && slot(attribute).locked;
}

void Node::setLocked(const Attribute& attribute, bool locked) {
  if (hasAttribute(attribute)) slot(attribute).locked = locked;
}

NodeExtension* Node::extension() const { return nodeExtension.get(); }

std::shared_ptr<Node> Node::live(const MObject& handle) {
  auto node = ObjectAccess::as<Node>(handle);
  return node && node->alive() ? node : nullptr;
}

Node::Slot& Node::slot(const Attribute& attribute) {
  return slots[static_cast<std::size_t>(nodeType->indexOf(attribute))];
}

const Node::Slot& Node::slot(const Attribute& attribute) const {
  return slots[static_cast<std::size_t>(nodeType->indexOf(attribute))];
}

}  // namespace host
