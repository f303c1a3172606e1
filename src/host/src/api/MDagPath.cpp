#include <maya/MDagPath.h>
#include <maya/MString.h>

#include "api/ReturnStatus.h"
#include "model/Node.h"
#include "model/Scene.h"
#include "model/Utf8String.h"
#include "runtime/Session.h"

namespace {

std::shared_ptr<host::Node> dagNode(const MObject& object) {
  auto node = host::Node::live(object);
  return node && node->type().dag ? node : nullptr;
}

// kInvalidParameter for an empty path or a deleted node.
void reportFound(MStatus* ReturnStatus, bool ok) {
  host::report(ReturnStatus, ok ? MS::kSuccess : MS::kInvalidParameter);
}

}  // namespace

MDagPath::MDagPath() = default;
MDagPath::MDagPath(const MDagPath& src) = default;
MDagPath& MDagPath::operator=(const MDagPath& src) = default;
MDagPath::~MDagPath() = default;

MStatus MDagPath::getAPathTo(const MObject& node, MDagPath& path) {
  if (!dagNode(node)) return MS::kInvalidParameter;
  path.nodeObject = node;
  return MS::kSuccess;
}

bool MDagPath::isValid(MStatus* ReturnStatus) const {
  reportFound(ReturnStatus, true);
  return dagNode(nodeObject) != nullptr;
}

bool MDagPath::hasFn(MFn::Type type, MStatus* ReturnStatus) const {
  auto node = dagNode(nodeObject);
  reportFound(ReturnStatus, node != nullptr);
  return node && node->hasFn(type);
}

MFn::Type MDagPath::apiType(MStatus* ReturnStatus) const {
  auto node = dagNode(nodeObject);
  reportFound(ReturnStatus, node != nullptr);
  return node ? node->apiType() : MFn::kInvalid;
}

MObject MDagPath::node(MStatus* ReturnStatus) const {
  bool ok = dagNode(nodeObject) != nullptr;
  reportFound(ReturnStatus, ok);
  return ok ? nodeObject : MObject();
}

MString MDagPath::fullPathName(MStatus* ReturnStatus) const {
  auto node = dagNode(nodeObject);
  reportFound(ReturnStatus, node != nullptr);
  return node ? host::utf8String(host::Session::instance().scene.path(*node)) : MString();
}

bool MDagPath::operator==(const MDagPath& other) const { return nodeObject == other.nodeObject; }
