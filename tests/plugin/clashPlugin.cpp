// A plug-in that takes the node type name "netDevice" first, so that the module's own node
// registration fails.
#include <maya/MFnPlugin.h>
#include <maya/MObject.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>
#include <maya/MTypeId.h>

namespace {

class ClashNode : public MPxNode {};

void* createClashNode() { return new ClashNode; }

MStatus initializeClashNode() { return MS::kSuccess; }

const MTypeId kClashId(0x7f0aa);

}  // namespace

MStatus initializePlugin(MObject obj) {
  MFnPlugin plugin(obj, "Test Vendor", "1.0", "Any");
  return plugin.registerNode("netDevice", kClashId, createClashNode, initializeClashNode);
}

MStatus uninitializePlugin(MObject obj) {
  MFnPlugin plugin(obj);
  return plugin.deregisterNode(kClashId);
}
