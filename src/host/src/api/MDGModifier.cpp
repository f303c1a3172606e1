#include <maya/MDGModifier.h>
#include <maya/MPlug.h>

#include <vector>

#include "model/Attribute.h"
#include "model/Node.h"
#include "model/Object.h"
#include "model/Scene.h"
#include "runtime/Session.h"

struct MDGModifier::Edits {
  struct Connection {
    host::PlugEnd source;
    host::PlugEnd destination;
    bool done = false;
  };
  std::vector<Connection> connections;
};

namespace {

bool resolve(const MObject& node, const MObject& attribute, host::PlugEnd& end) {
  end.node = host::Node::live(node);
  auto found = host::ObjectAccess::as<host::Attribute>(attribute);
  end.attribute = found.get();
  // The node type keeps its attributes alive as long as the node.
  return end.node && found && end.node->hasAttribute(*found);
}

}  // namespace

MDGModifier::MDGModifier() : edits(std::make_unique<Edits>()) {}

MDGModifier::~MDGModifier() = default;

MStatus MDGModifier::connect(const MObject& sourceNode, const MObject& sourceAttr,
                             const MObject& destNode, const MObject& destAttr) {
  Edits::Connection connection;
  if (!resolve(sourceNode, sourceAttr, connection.source) ||
      !resolve(destNode, destAttr, connection.destination)) {
    return MS::kInvalidParameter;
  }
  edits->connections.push_back(connection);
  return MS::kSuccess;
}

MStatus MDGModifier::connect(const MPlug& source, const MPlug& dest) {
  return connect(source.node(), source.attribute(), dest.node(), dest.attribute());
}

MStatus MDGModifier::doIt() {
  auto& scene = host::Session::instance().scene;
  for (auto& connection : edits->connections) {
    if (connection.done) continue;
    MStatus status = scene.connect(connection.source, connection.destination);
    if (!status) return status;
    connection.done = true;
  }
  return MS::kSuccess;
}

MStatus MDGModifier::undoIt() {
  auto& scene = host::Session::instance().scene;
  MStatus result = MS::kSuccess;
  for (auto connection = edits->connections.rbegin(); connection != edits->connections.rend();
       ++connection) {
    if (!connection->done) continue;
    MStatus status = scene.disconnect(connection->source, connection->destination);
    connection->done = false;
    if (!status && result) result = status;
  }
  return result;
}
