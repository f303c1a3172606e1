#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MDataHandle.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

namespace host {
class PluginNode;
}  // namespace host

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MPlug;

// The values of one node during one compute call. Created by the host only.
class MDataBlock {
 public:
  MDataBlock(const MDataBlock& other);
  MDataBlock& operator=(const MDataBlock& other);
  ~MDataBlock();

  // kInvalidParameter when the attribute is not one of the node's.
  MDataHandle outputValue(const MPlug& plug, MStatus* ReturnStatus = NULL);
  MDataHandle outputValue(const MObject& attribute, MStatus* ReturnStatus = NULL);
  MStatus setClean(const MPlug& plug);
  MStatus setClean(const MObject& attribute);

 private:
  friend class host::PluginNode;
  explicit MDataBlock(host::PluginNode* node);
  host::PluginNode* node;
};

OPENMAYA_NAMESPACE_CLOSE
