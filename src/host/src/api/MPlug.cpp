#include <maya/MPlug.h>
#include <maya/MString.h>

#include <variant>

#include "api/ReturnStatus.h"
#include "model/Attribute.h"
#include "model/Node.h"
#include "model/Object.h"
#include "model/Scene.h"
#include "model/Utf8String.h"
#include "runtime/Session.h"

using host::report;

namespace {

struct Ends {
  std::shared_ptr<host::Node> node;
  std::shared_ptr<host::Attribute> attribute;
  explicit operator bool() const { return node != nullptr; }
};

// The plug's node and attribute, when the node is alive and has the attribute.
Ends resolve(const MObject& nodeObject, const MObject& attributeObject) {
  auto node = host::ObjectAccess::as<host::Node>(nodeObject);
  auto attribute = host::ObjectAccess::as<host::Attribute>(attributeObject);
  if (!node || !attribute || !node->alive() || !node->hasAttribute(*attribute)) return {};
  return {node, attribute};
}

}  // namespace

MPlug::MPlug() = default;
MPlug::MPlug(const MObject& node, const MObject& attribute)
    : nodeObject(node), attributeObject(attribute) {}
MPlug::MPlug(const MPlug& other) = default;
MPlug& MPlug::operator=(const MPlug& other) = default;
MPlug::~MPlug() = default;

bool MPlug::isNull(MStatus* ReturnStatus) const {
  report(ReturnStatus, MS::kSuccess);
  return nodeObject.isNull() || attributeObject.isNull();
}

MObject MPlug::attribute(MStatus* ReturnStatus) const {
  report(ReturnStatus, attributeObject.isNull() ? MS::kInvalidParameter : MS::kSuccess);
  return attributeObject;
}

MObject MPlug::node(MStatus* ReturnStatus) const {
  report(ReturnStatus, nodeObject.isNull() ? MS::kInvalidParameter : MS::kSuccess);
  return nodeObject;
}

MString MPlug::name(MStatus* ReturnStatus) const {
  Ends ends = resolve(nodeObject, attributeObject);
  report(ReturnStatus, ends ? MS::kSuccess : MS::kInvalidParameter);
  if (!ends) return MString();
  return host::utf8String(ends.node->name() + "." + ends.attribute->longName);
}

MPlug::operator MObject() const { return attributeObject; }

bool MPlug::operator==(const MPlug& other) const {
  return nodeObject == other.nodeObject && attributeObject == other.attributeObject;
}

bool MPlug::operator==(const MObject& other) const { return attributeObject == other; }

bool MPlug::operator!=(const MPlug& other) const { return !(*this == other); }

bool MPlug::operator!=(const MObject& other) const { return !(*this == other); }

MString MPlug::asString(MStatus* ReturnStatus) const {
  Ends ends = resolve(nodeObject, attributeObject);
  if (!ends || ends.attribute->kind != host::AttributeKind::kString) {
    report(ReturnStatus, MS::kInvalidParameter);
    return MString();
  }
  report(ReturnStatus, MS::kSuccess);
  const host::AttributeValue value =
      host::Session::instance().scene.evaluate(*ends.node, *ends.attribute);
  const auto* text = std::get_if<std::string>(&value);
  return host::utf8String(text ? *text : std::string());
}

double MPlug::asDouble(MStatus* ReturnStatus) const {
  Ends ends = resolve(nodeObject, attributeObject);
  if (ends && ends.attribute->kind != host::AttributeKind::kCompound) {
    if (auto number =
            host::numberOf(host::Session::instance().scene.evaluate(*ends.node, *ends.attribute))) {
      report(ReturnStatus, MS::kSuccess);
      return *number;
    }
  }
  report(ReturnStatus, MS::kInvalidParameter);
  return 0.0;
}

bool MPlug::isKeyable(MStatus* ReturnStatus) const {
  Ends ends = resolve(nodeObject, attributeObject);
  report(ReturnStatus, ends ? MS::kSuccess : MS::kInvalidParameter);
  return ends && ends.node->isKeyable(*ends.attribute);
}

MStatus MPlug::setKeyable(bool keyable) {
  Ends ends = resolve(nodeObject, attributeObject);
  if (!ends) return MS::kInvalidParameter;
  ends.node->setKeyable(*ends.attribute, keyable);
  return MS::kSuccess;
}

bool MPlug::isLocked(MStatus* ReturnStatus) const {
  Ends ends = resolve(nodeObject, attributeObject);
  report(ReturnStatus, ends ? MS::kSuccess : MS::kInvalidParameter);
  return ends && ends.node->isLocked(*ends.attribute);
}

MStatus MPlug::setLocked(bool locked) {
  Ends ends = resolve(nodeObject, attributeObject);
  if (!ends) return MS::kInvalidParameter;
  ends.node->setLocked(*ends.attribute, locked);
  return MS::kSuccess;
}

bool MPlug::isConnected(MStatus* ReturnStatus) const {
  Ends ends = resolve(nodeObject, attributeObject);
  report(ReturnStatus, ends ? MS::kSuccess : MS::kInvalidParameter);
  return ends && host::Session::instance().scene.isConnected(*ends.node, *ends.attribute);
}
