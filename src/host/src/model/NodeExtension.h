#pragma once

#include <maya/MStatus.h>

namespace host {

class Attribute;
class Node;

// What a node type attaches to each of its nodes (NodeType::makeExtension): the plug-in runtime
// for plug-in types (PluginNode), the keys for animation curves (AnimCurve). The node owns its
// extension and destroys it after nodeDeleting. All calls are made on the main thread.
class NodeExtension {
 public:
  virtual ~NodeExtension();

  // The node is in the scene, named and holding its default values. A failure removes the node
  // again (without nodeDeleting) and fails the creation with that status.
  virtual MStatus nodeCreated(Node& node);
  // A value was set from outside the node's own evaluation (plug, host API, connection).
  virtual void valueChanged(Node& node, const Attribute& attribute);
  // A dirty attribute is being read: compute it. The node's value is read afterwards whatever
  // this returns; leaving it dirty means the next read asks again.
  virtual MStatus evaluate(Node& node, const Attribute& attribute);
  // The node is about to leave the scene (deletion or emptying): stop threads, release the
  // plug-in's object. The node is still complete and named.
  virtual void nodeDeleting(Node& node);
};

}  // namespace host
