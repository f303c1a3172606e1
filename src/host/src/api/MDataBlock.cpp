#include <maya/MDataBlock.h>
#include <maya/MPlug.h>

#include "api/ReturnStatus.h"
#include "model/Attribute.h"
#include "model/Node.h"
#include "model/Object.h"
#include "runtime/PluginNode.h"

using host::report;

MDataBlock::MDataBlock(host::PluginNode* owner) : node(owner) {}
MDataBlock::MDataBlock(const MDataBlock& other) = default;
MDataBlock& MDataBlock::operator=(const MDataBlock& other) = default;
MDataBlock::~MDataBlock() = default;

MDataHandle MDataBlock::outputValue(const MPlug& plug, MStatus* ReturnStatus) {
  return outputValue(plug.attribute(), ReturnStatus);
}

MDataHandle MDataBlock::outputValue(const MObject& attribute, MStatus* ReturnStatus) {
  MDataHandle handle;
  auto definition = host::ObjectAccess::as<host::Attribute>(attribute);
  MStatus status = MS::kInvalidParameter;
  if (definition && node) {
    auto slot = node->openHandle(*definition, status);
    if (slot) handle.slot = slot;
  }
  report(ReturnStatus, status);
  return handle;
}

MStatus MDataBlock::setClean(const MPlug& plug) { return setClean(plug.attribute()); }

MStatus MDataBlock::setClean(const MObject& attribute) {
  auto definition = host::ObjectAccess::as<host::Attribute>(attribute);
  host::Node* current = node ? node->node() : nullptr;
  if (!definition || !current || !current->hasAttribute(*definition)) {
    return MS::kInvalidParameter;
  }
  current->setDirty(*definition, false);
  return MS::kSuccess;
}
