#pragma once

#include <maya/MStatus.h>
#include <maya/MTime.h>

#include <memory>
#include <string>
#include <vector>

#include "model/Attribute.h"
#include "model/Node.h"
#include "model/NodeType.h"
#include "model/Object.h"
#include "model/Units.h"

namespace host {

// One end of a connection.
struct PlugEnd {
  std::shared_ptr<Node> node;
  const Attribute* attribute = nullptr;
};

// The time slider's ranges, in a new scene as Maya's: frames 1 to 120 played within an
// animation range of 1 to 200 (film).
struct TimeRange {
  MTime minTime{1.0, MTime::kFilm};
  MTime maxTime{120.0, MTime::kFilm};
  MTime animationStart{1.0, MTime::kFilm};
  MTime animationEnd{200.0, MTime::kFilm};
};

// A scene: its nodes of the types types holds, their DAG, names, connections, selection, time
// and the errors shown. The process has one, which the runtime's Session owns. Main thread only.
class Scene {
 public:
  explicit Scene(const NodeTypeRegistry& types);
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  // Creates a node of the type under a DAG parent (null: the world; must be null for
  // dependency nodes), named after its type ("transform1"), then tells its extension.
  // kInvalidParameter for a bad parent, or the extension's failure.
  MStatus createNode(const std::shared_ptr<NodeType>& type, Node* parent,
                     std::shared_ptr<Node>& created);
  // createNode for the function sets: the parent is kNullObj or the world for the top of the
  // DAG, else a live node. created is left alone on failure.
  MStatus createDagNode(const std::string& typeName, const MObject& parent, MObject& created);
  // The one deletion path: the node's DAG descendants first (last child first), then the node;
  // animation curves left driving nothing go too, and so do unit conversions left without
  // their source or destination. Each node's extension hears nodeDeleting
  // before the node loses its connections, parent and place in the scene.
  MStatus deleteNode(Node& node);
  // Deletes every node through deleteNode, then forgets namespaces and selection and sets the
  // time back to 0, the UI units and time ranges to a new scene's. The errors and warnings
  // shown are kept.
  void empty();
  // Forgets the errors and warnings shown.
  void forgetErrors();

  // Renames following Maya's rules: characters other than letters, digits and "_" become "_",
  // a leading digit gets a "_" in front, and a name already in use gets the smallest number
  // (after removing its trailing digits) that frees it. A DAG node's name must differ from its
  // siblings' and from every dependency node's; a dependency node's from every node's. A name
  // "ns:name" needs namespace ns unless createNamespace is set, which creates it. Returns the
  // final name; kInvalidParameter (name unchanged) for an empty name or a missing namespace.
  std::string rename(Node& node, const std::string& requested, bool createNamespace,
                     MStatus& status);

  // By full path ("|walk|Hips") or by name; null when absent or when the name is not unique.
  std::shared_ptr<Node> find(const std::string& nameOrPath) const;
  // Live nodes in creation order.
  const std::vector<std::shared_ptr<Node>>& nodes() const;
  std::shared_ptr<Node> pointer(const Node& node) const;
  // Full DAG path for DAG nodes ("|walk|Hips"), the name for dependency nodes.
  std::string path(const Node& node) const;

  // Namespaces without the root, in creation order ("rig", "rig:arm").
  bool hasNamespace(const std::string& name) const;
  // Adds the namespace and any missing parent ("a:b" adds "a" too).
  MStatus addNamespace(const std::string& name);
  const std::vector<std::string>& namespaces() const;

  // Connects source to destination. Between plugs of different unit types (a compound's is its
  // children's) that need it (Units.h), the connection runs through a new unitConversion node
  // whose conversionFactor is fixed now, from the UI units. kInvalidParameter for a plug not on
  // its node, a destination that already has a source or is locked, or connecting a plug to
  // itself; kNotImplemented between a time and a plug of another unit type.
  MStatus connect(const PlugEnd& source, const PlugEnd& destination);
  // Breaks the connection made by connect, deleting the unitConversion node it went through;
  // kNotFound when there is none.
  MStatus disconnect(const PlugEnd& source, const PlugEnd& destination);
  // What reading the plug gives: a plug driven (itself or through its compound) reads its
  // source, evaluated: an animation curve at the current time, a unitConversion as its input
  // times its factor, another plug as what it reads in turn. Otherwise Node::value.
  AttributeValue evaluate(Node& node, const Attribute& attribute);
  // The plug driving the destination (node null when none).
  PlugEnd source(const Node& node, const Attribute& attribute) const;
  std::vector<PlugEnd> destinations(const Node& node, const Attribute& attribute) const;
  bool isConnected(const Node& node, const Attribute& attribute) const;

  const std::vector<std::shared_ptr<Node>>& selection() const;
  void setSelection(std::vector<std::shared_ptr<Node>> nodes);

  const MTime& currentTime() const;
  void setCurrentTime(const MTime& time);
  TimeRange& timeRange();

  const UiUnits& uiUnits() const;
  void setUiUnits(const UiUnits& units);

  // Records the message and, while messages are echoed, writes "// Error: <message>" to
  // standard error.
  void displayError(const std::string& message);
  const std::vector<std::string>& errors() const;
  // Records the message and, while messages are echoed, writes "// Warning: <message>" to
  // standard error.
  void displayWarning(const std::string& message);
  const std::vector<std::string>& warnings() const;
  void setEchoMessages(bool echo) { echoMessages = echo; }

  // The parent Maya reports for nodes at the top of the DAG.
  const std::shared_ptr<Object>& world() const;

 private:
  struct Connection {
    PlugEnd source;
    PlugEnd destination;
  };

  bool nameTaken(const std::string& name, const Node& node) const;
  std::string uniqueName(const std::string& name, const Node& node) const;
  void remove(Node& node);
  AttributeValue sourceValue(const PlugEnd& source, int child, int depth);
  AttributeValue evaluate(Node& node, const Attribute& attribute, int depth);

  const NodeTypeRegistry& types;
  std::vector<std::shared_ptr<Node>> allNodes;
  std::vector<std::string> namespaceNames;
  std::vector<Connection> connections;
  std::vector<std::shared_ptr<Node>> selected;
  MTime time;
  TimeRange range;
  UiUnits units;
  std::vector<std::string> shownErrors;
  bool echoMessages = true;
  std::vector<std::string> shownWarnings;
  std::shared_ptr<Object> worldObject;
};

}  // namespace host
