// The module's entry points: the only file that includes <maya/MFnPlugin.h> without
// MNoVersionString, so that it alone defines the version exports.
#include <maya/MFnPlugin.h>
#include <maya/MGlobal.h>
#include <maya/MObject.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include "plugin/ConnectMarvikMocapCmd.h"
#include "plugin/CreateMarvikSkeletonCmd.h"
#include "plugin/DisconnectMarvikMocapCmd.h"
#include "plugin/MarvikMocapRecordCmd.h"
#include "plugin/MarvikMocapStatusCmd.h"
#include "plugin/NetDeviceNode.h"
#include "plugin/TakeSession.h"
#include "scene/imocapImport.h"

// Every registration runs whatever the earlier ones returned, and the result is the last one's
// status; a failure is shown, so that it is not lost behind a later success. Both entry points
// catch: the module's C++ runtime is its own, and nothing it throws may reach Maya.
MStatus initializePlugin(MObject obj) try {
  MStatus result = MS::kFailure;
  MFnPlugin plugin(obj, "Orvane", MARVIK_VERSION, "Any");

  result = plugin.registerFileTranslator("BVH", "none", imocapImport::creator, nullptr,
                                         imocapImport::kDefaultOptions, false,
                                         MFnPlugin::kDefaultDataLocation);
  if (!result) MGlobal::displayError("Failed to register the file translator BVH");

  result = plugin.registerCommand("createMarvikSkeleton", CreateMarvikSkeletonCmd::creator);
  if (!result) MGlobal::displayError("Failed to register the command createMarvikSkeleton");

  result = plugin.registerCommand("connectMarvikMocap", ConnectMarvikMocapCmd::creator);
  if (!result) MGlobal::displayError("Failed to register the command connectMarvikMocap");

  result = plugin.registerCommand("disconnectMarvikMocap", DisconnectMarvikMocapCmd::creator);
  if (!result) MGlobal::displayError("Failed to register the command disconnectMarvikMocap");

  result = plugin.registerCommand("marvikMocapStatus", MarvikMocapStatusCmd::creator,
                                  MarvikMocapStatusCmd::newSyntax);
  if (!result) MGlobal::displayError("Failed to register the command marvikMocapStatus");

  result = plugin.registerCommand("marvikMocapRecord", MarvikMocapRecordCmd::creator,
                                  MarvikMocapRecordCmd::newSyntax);
  if (!result) MGlobal::displayError("Failed to register the command marvikMocapRecord");

  result = plugin.registerNode("netDevice", NetDeviceNode::id, NetDeviceNode::creator,
                               NetDeviceNode::initialize, MPxNode::kThreadedDeviceNode);
  if (!result) MGlobal::displayError("Failed to register the node netDevice");

  result = plugin.registerUI("createmocapmenu", "deletemocapmenu", "", "");
  if (!result) {
    MGlobal::displayError(
        "Failed to register the user interface procedures createmocapmenu and deletemocapmenu");
  }
  return result;
} catch (...) {
  return MS::kFailure;
}

// A take still running cannot be built any more: it goes into a recovery folder. The stream is
// closed then: its receive thread runs the module's code and must end before the module can be
// unmapped.
MStatus uninitializePlugin(MObject obj) try {
  MStatus result = MS::kFailure;
  TakeSession::unloading();
  NetDeviceNode::closeStream();
  MFnPlugin plugin(obj);

  result = plugin.deregisterNode(NetDeviceNode::id);
  result = plugin.deregisterCommand("marvikMocapRecord");
  result = plugin.deregisterCommand("createMarvikSkeleton");
  result = plugin.deregisterCommand("connectMarvikMocap");
  result = plugin.deregisterCommand("disconnectMarvikMocap");
  result = plugin.deregisterCommand("marvikMocapStatus");
  result = plugin.deregisterFileTranslator("BVH");
  return result;
} catch (...) {
  return MS::kFailure;
}
