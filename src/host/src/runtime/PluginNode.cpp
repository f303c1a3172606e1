#include "runtime/PluginNode.h"

#include <maya/MDataBlock.h>
#include <maya/MPlug.h>
#include <maya/MPxThreadedDeviceNode.h>

#include <string>
#include <utility>
#include <variant>

#include "model/Object.h"
#include "model/Scene.h"
#include "runtime/DeviceState.h"
#include "runtime/PluginRegistry.h"
#include "runtime/Session.h"

namespace host {

namespace {

AttributeValue converted(const Attribute& attribute, double value) {
  switch (attribute.kind) {
    case AttributeKind::kBool:
      return value != 0.0;
    case AttributeKind::kInt:
    case AttributeKind::kEnum:
      return static_cast<int>(value);
    default:
      return value;
  }
}

std::shared_ptr<Attribute> shared(const Node& node, const Attribute& attribute) {
  int index = node.type().indexOf(attribute);
  if (index < 0) return nullptr;
  return node.type().attributes[static_cast<std::size_t>(index)];
}

}  // namespace

void HandleSlot::commit() {
  if (!open || node == nullptr) return;
  if (attribute->kind == AttributeKind::kCompound) {
    for (std::size_t i = 0; i < attribute->children.size() && i < 3; ++i) {
      const Attribute& child = *attribute->children[i];
      node->storeComputedValue(child, converted(child, values[i]));
    }
  } else if (attribute->kind != AttributeKind::kString) {
    node->storeComputedValue(*attribute, converted(*attribute, values[0]));
  }
}

PluginNode::PluginNode(MCreatorFunction create, bool isThreaded, std::weak_ptr<PluginRecord> record)
    : creator(create), threaded(isThreaded), plugin(std::move(record)) {}

PluginNode::~PluginNode() {
  // Only when creation failed half-way: nodeDeleting has released the object otherwise.
  if (proxy) delete proxy;
}

MStatus PluginNode::nodeCreated(Node& node) {
  void* made = PluginRegistry::create(creator);
  if (made == nullptr) return MS::kFailure;
  proxy = threaded ? static_cast<MPxNode*>(static_cast<MPxThreadedDeviceNode*>(made))
                   : static_cast<MPxNode*>(made);
  proxy->binding = this;
  self = Session::instance().scene.pointer(node);
  try {
    proxy->postConstructor();
  } catch (...) {
    return MS::kFailure;
  }
  if (threaded) static_cast<MPxThreadedDeviceNode*>(proxy)->state->attach(node);
  return MS::kSuccess;
}

void PluginNode::valueChanged(Node&, const Attribute& attribute) {
  if (!threaded || proxy == nullptr) return;
  const Object* changed = &attribute;
  if (changed != ObjectAccess::get(MPxThreadedDeviceNode::live).get() &&
      changed != ObjectAccess::get(MPxThreadedDeviceNode::frameRate).get()) {
    return;
  }
  reportStopFailure(static_cast<MPxThreadedDeviceNode*>(proxy)->state->restart());
}

MStatus PluginNode::evaluate(Node& node, const Attribute& attribute) {
  if (proxy == nullptr) return MS::kFailure;
  auto attributePointer = shared(node, attribute);
  if (!attributePointer) return MS::kInvalidParameter;
  MPlug plug(nodeObject(), ObjectAccess::wrap(attributePointer));
  MDataBlock block(this);
  MStatus status;
  try {
    status = proxy->compute(plug, block);
  } catch (...) {
    status = MS::kFailure;
  }
  for (const auto& handle : handles) {
    handle->commit();
    handle->open = false;
  }
  handles.clear();
  return status;
}

void PluginNode::nodeDeleting(Node& node) {
  if (proxy == nullptr) return;
  if (threaded) {
    auto* device = static_cast<MPxThreadedDeviceNode*>(proxy);
    bool stopped = device->state->stop();
    if (!stopped) {
      Session::instance().scene.displayError(
          "threadHandler of node \"" + node.name() +
          "\" did not return after threadShutdownHandler; its thread "
          "is left running and the node's object is not deleted");
      proxy->binding = nullptr;
      Session::instance().abandonedProxies.push_back(proxy);
      proxy = nullptr;
      if (auto owner = plugin.lock()) owner->pinned = true;
      return;
    }
    reportStopFailure(true);
  }
  Session& session = Session::instance();
  if (session.undoableDelete) {
    // The object waits in the undo queue, out of the scene: its destructor runs at the flush.
    proxy->binding = nullptr;
    auto owner = plugin.lock();
    session.undoQueue.push_back(Session::Undoable{proxy, owner.get()});
    proxy = nullptr;
    return;
  }
  try {
    delete proxy;
  } catch (...) {
  }
  proxy = nullptr;
  self.reset();
}

PluginNode* PluginNode::of(const MPxNode& proxy) { return proxy.binding; }

Node* PluginNode::node() const {
  auto node = self.lock();
  return node && node->alive() ? node.get() : nullptr;
}

MObject PluginNode::nodeObject() const {
  auto node = self.lock();
  if (!node || !node->alive()) return MObject();
  return ObjectAccess::wrap(node);
}

std::shared_ptr<HandleSlot> PluginNode::openHandle(const Attribute& attribute, MStatus& status) {
  Node* current = node();
  auto attributePointer = current ? shared(*current, attribute) : nullptr;
  if (!attributePointer) {
    status = MS::kInvalidParameter;
    return nullptr;
  }
  auto slot = std::make_shared<HandleSlot>();
  slot->node = current;
  slot->attribute = attributePointer;
  slot->open = true;
  if (attributePointer->kind == AttributeKind::kCompound) {
    for (std::size_t i = 0; i < attributePointer->children.size() && i < 3; ++i) {
      slot->values[i] =
          numberOf(current->storedValue(*attributePointer->children[i])).value_or(0.0);
    }
  } else {
    slot->values[0] = numberOf(current->storedValue(*attributePointer)).value_or(0.0);
  }
  handles.push_back(slot);
  status = MS::kSuccess;
  return slot;
}

void PluginNode::reportStopFailure(bool stopped) {
  auto node = self.lock();
  std::string name = node ? node->name() : std::string();
  if (!stopped) {
    Session::instance().scene.displayError(
        "threadHandler of node \"" + name +
        "\" did not return after threadShutdownHandler; the node's "
        "thread is left running and is not restarted");
    if (auto owner = plugin.lock()) owner->pinned = true;
    return;
  }
  if (threaded && static_cast<MPxThreadedDeviceNode*>(proxy)->state->handlerThrew()) {
    Session::instance().scene.displayError("threadHandler of node \"" + name +
                                           "\" ended with an exception");
  }
}

}  // namespace host
