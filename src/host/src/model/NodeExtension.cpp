#include "model/NodeExtension.h"

namespace host {

NodeExtension::~NodeExtension() = default;

MStatus NodeExtension::nodeCreated(Node&) { return MS::kSuccess; }

void NodeExtension::valueChanged(Node&, const Attribute&) {}

MStatus NodeExtension::evaluate(Node&, const Attribute&) { return MS::kSuccess; }

void NodeExtension::nodeDeleting(Node&) {}

}  // namespace host
