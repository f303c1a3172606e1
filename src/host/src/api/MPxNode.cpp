#include <maya/MDataBlock.h>
#include <maya/MPlug.h>
#include <maya/MPxNode.h>

#include "model/Attribute.h"
#include "model/Object.h"
#include "runtime/PluginNode.h"
#include "runtime/PluginRegistry.h"

MPxNode::MPxNode() = default;
MPxNode::~MPxNode() = default;

void MPxNode::postConstructor() {}

MStatus MPxNode::compute(const MPlug&, MDataBlock&) { return MS::kUnknownParameter; }

MObject MPxNode::thisMObject() const { return binding ? binding->nodeObject() : MObject(); }

MStatus MPxNode::addAttribute(const MObject& attr) {
  host::NodeType* type = host::PluginRegistry::instance().initializing;
  if (type == nullptr) return MS::kFailure;
  auto attribute = host::ObjectAccess::as<host::Attribute>(attr);
  // A compound's children come with it and are not added on their own.
  if (!attribute || attribute->parent != nullptr) return MS::kInvalidParameter;
  return type->addAttribute(attribute);
}

MStatus MPxNode::attributeAffects(const MObject& whenChanges, const MObject& isAffected) {
  host::NodeType* type = host::PluginRegistry::instance().initializing;
  if (type == nullptr) return MS::kFailure;
  auto source = host::ObjectAccess::as<host::Attribute>(whenChanges);
  auto target = host::ObjectAccess::as<host::Attribute>(isAffected);
  if (!source || !target) return MS::kInvalidParameter;
  return type->addAffects(*source, *target);
}
