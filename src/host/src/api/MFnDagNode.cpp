#include <maya/MFnDagNode.h>

#include "api/ReturnStatus.h"
#include "model/Node.h"
#include "model/Object.h"
#include "model/Scene.h"
#include "model/Utf8String.h"
#include "runtime/Session.h"

using host::report;

MFnDagNode::MFnDagNode() = default;

MFnDagNode::MFnDagNode(MObject& object, MStatus* ReturnStatus) {
  report(ReturnStatus, attach(object, MFn::kDagNode));
}

MFnDagNode::MFnDagNode(const MObject& object, MStatus* ReturnStatus) {
  report(ReturnStatus, attach(object, MFn::kDagNode));
}

MFnDagNode::~MFnDagNode() = default;

MFn::Type MFnDagNode::type() const { return MFn::kDagNode; }

unsigned int MFnDagNode::childCount(MStatus* ReturnStatus) const {
  auto node = host::Node::live(attached());
  report(ReturnStatus, node ? MS::kSuccess : MS::kInvalidParameter);
  return node ? static_cast<unsigned int>(node->children().size()) : 0;
}

MObject MFnDagNode::child(unsigned int i, MStatus* ReturnStatus) const {
  auto node = host::Node::live(attached());
  if (!node || i >= node->children().size()) {
    report(ReturnStatus, MS::kInvalidParameter);
    return MObject();
  }
  report(ReturnStatus, MS::kSuccess);
  return host::ObjectAccess::wrap(node->children()[i]);
}

unsigned int MFnDagNode::parentCount(MStatus* ReturnStatus) const {
  auto node = host::Node::live(attached());
  report(ReturnStatus, node ? MS::kSuccess : MS::kInvalidParameter);
  return node ? 1 : 0;
}

MObject MFnDagNode::parent(unsigned int i, MStatus* ReturnStatus) const {
  auto node = host::Node::live(attached());
  if (!node || i != 0) {
    report(ReturnStatus, MS::kInvalidParameter);
    return MObject();
  }
  report(ReturnStatus, MS::kSuccess);
  auto& scene = host::Session::instance().scene;
  if (!node->parent()) return host::ObjectAccess::wrap(scene.world());
  return host::ObjectAccess::wrap(scene.pointer(*node->parent()));
}

MString MFnDagNode::fullPathName(MStatus* ReturnStatus) const {
  auto node = host::Node::live(attached());
  report(ReturnStatus, node ? MS::kSuccess : MS::kInvalidParameter);
  return node ? host::utf8String(host::Session::instance().scene.path(*node)) : MString();
}

MStatus MFnDagNode::setObject(MObject& object) { return attach(object, type()); }

MStatus MFnDagNode::setObject(const MObject& object) { return attach(object, type()); }

MObject MFnDagNode::createAttached(const char* typeName, const MObject& parent,
                                   MStatus* ReturnStatus) {
  MObject created;
  MStatus status = host::Session::instance().scene.createDagNode(typeName, parent, created);
  report(ReturnStatus, status);
  if (status) setAttached(created);
  return created;
}
