#include <maya/MFnDependencyNode.h>
#include <maya/MPlug.h>

#include "api/ReturnStatus.h"
#include "model/Node.h"
#include "model/Object.h"
#include "model/Scene.h"
#include "model/Utf8String.h"
#include "runtime/Session.h"

using host::report;

namespace {

std::shared_ptr<host::Node> liveNode(const MObject& object) {
  auto node = host::ObjectAccess::as<host::Node>(object);
  return node && node->alive() ? node : nullptr;
}

}  // namespace

MFnDependencyNode::MFnDependencyNode() = default;

MFnDependencyNode::MFnDependencyNode(MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kDependencyNode);
  report(ReturnStatus, status);
}

MFnDependencyNode::MFnDependencyNode(const MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kDependencyNode);
  report(ReturnStatus, status);
}

MFnDependencyNode::~MFnDependencyNode() = default;

MFn::Type MFnDependencyNode::type() const { return MFn::kDependencyNode; }

MString MFnDependencyNode::name(MStatus* ReturnStatus) const {
  auto node = liveNode(attached());
  report(ReturnStatus, node ? MS::kSuccess : MS::kInvalidParameter);
  return node ? host::utf8String(node->name()) : MString();
}

MString MFnDependencyNode::setName(const MString& name, bool createNamespace,
                                   MStatus* ReturnStatus) {
  auto node = liveNode(attached());
  if (!node) {
    report(ReturnStatus, MS::kInvalidParameter);
    return MString();
  }
  MStatus status;
  std::string result =
      host::Session::instance().scene.rename(*node, name.asUTF8(), createNamespace, status);
  report(ReturnStatus, status);
  return host::utf8String(result);
}

MTypeId MFnDependencyNode::typeId(MStatus* ReturnStatus) const {
  auto node = liveNode(attached());
  report(ReturnStatus, node ? MS::kSuccess : MS::kInvalidParameter);
  return node ? node->type().id : MTypeId();
}

MString MFnDependencyNode::typeName(MStatus* ReturnStatus) const {
  auto node = liveNode(attached());
  report(ReturnStatus, node ? MS::kSuccess : MS::kInvalidParameter);
  return node ? host::utf8String(node->type().name) : MString();
}

MPlug MFnDependencyNode::findPlug(const MString& attrName, bool, MStatus* ReturnStatus) const {
  auto node = liveNode(attached());
  auto attribute = node ? node->type().findAttribute(attrName.asUTF8()) : nullptr;
  report(ReturnStatus, attribute ? MS::kSuccess : MS::kInvalidParameter);
  if (!attribute) return MPlug();
  return MPlug(attached(), host::ObjectAccess::wrap(attribute));
}

MPlug MFnDependencyNode::findPlug(const MString& attrName, MStatus* ReturnStatus) const {
  return findPlug(attrName, false, ReturnStatus);
}
