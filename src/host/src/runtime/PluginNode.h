#pragma once

#include <maya/MFnPlugin.h>
#include <maya/MObject.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>
#include <maya/MTypes.h>

#include <memory>
#include <vector>

#include "model/Attribute.h"
#include "model/Node.h"
#include "model/NodeExtension.h"

namespace host {

class PluginRecord;

// A data handle's view of one attribute during compute: a copy of its doubles, written back
// to the node by set3Double, setClean and the end of compute. Simpler than Maya: a value written
// back counts as clean, where Maya cleans only on setClean.
struct HandleSlot {
  Node* node = nullptr;
  std::shared_ptr<Attribute> attribute;
  double3 values = {0.0, 0.0, 0.0};
  // False once compute has returned: later writes stay in the copy.
  bool open = false;

  void commit();
};

// Runs the plug-in's object behind one node of a plug-in type: creator and postConstructor at
// creation, compute for dirty outputs, the device thread of threaded device nodes, deletion.
class PluginNode : public NodeExtension {
 public:
  PluginNode(MCreatorFunction creator, bool threaded, std::weak_ptr<PluginRecord> plugin);
  ~PluginNode() override;

  MStatus nodeCreated(Node& node) override;
  void valueChanged(Node& node, const Attribute& attribute) override;
  MStatus evaluate(Node& node, const Attribute& attribute) override;
  void nodeDeleting(Node& node) override;

  static PluginNode* of(const MPxNode& proxy);
  // Null once the node has left the scene.
  Node* node() const;
  MObject nodeObject() const;
  // Main thread, during compute.
  std::shared_ptr<HandleSlot> openHandle(const Attribute& attribute, MStatus& status);

 private:
  void reportStopFailure(bool stopped);

  MCreatorFunction creator;
  bool threaded;
  std::weak_ptr<PluginRecord> plugin;
  MPxNode* proxy = nullptr;
  std::weak_ptr<Node> self;
  std::vector<std::shared_ptr<HandleSlot>> handles;
};

}  // namespace host
