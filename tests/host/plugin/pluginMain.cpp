// The test plug-in's entry points: the only file including <maya/MFnPlugin.h> without
// MNoVersionString. Every registration status is recorded, so that tests see which failed.
#include <maya/MFnPlugin.h>

#include <string>

#include "EchoCmd.h"
#include "EventLog.h"
#include "SumNode.h"
#include "TestTranslator.h"
#include "TickDeviceNode.h"

namespace {

void note(const std::string& what, const MStatus& status) {
  testplugin::record(what + " " + std::to_string(static_cast<int>(status.statusCode())));
}

}  // namespace

MStatus initializePlugin(MObject obj) {
  testplugin::closeGates();
  MFnPlugin plugin(obj, "Test Vendor", "1.2.3", "Any");
  note("register translator anyText",
       plugin.registerFileTranslator("anyText", "none", TestTranslator::anyFileCreator, nullptr,
                                     "any=1"));
  note("register translator hostTest",
       plugin.registerFileTranslator("hostTest", "none", TestTranslator::creator, nullptr,
                                     "alpha=1;beta=2"));
  note("register command hostEcho", plugin.registerCommand("hostEcho", EchoCmd::creator));
  note("register command hostEcho again", plugin.registerCommand("hostEcho", EchoCmd::creator));
  note("register command hostLeftover", plugin.registerCommand("hostLeftover", EchoCmd::creator));
  note("register node sumNode",
       plugin.registerNode("sumNode", SumNode::id, SumNode::creator, SumNode::initialize));
  note("register node with sumNode's id",
       plugin.registerNode("otherNode", SumNode::id, SumNode::creator, SumNode::initialize));
  note("register node named transform",
       plugin.registerNode("transform", MTypeId(0x7f0ff), SumNode::creator, SumNode::initialize));
  note("register node brokenNode",
       plugin.registerNode("brokenNode", MTypeId(0x7f004), SumNode::creator,
                           SumNode::initializeBroken));
  note("register node tickDevice",
       plugin.registerNode("tickDevice", TickDeviceNode::id, TickDeviceNode::creator,
                           TickDeviceNode::initialize, MPxNode::kThreadedDeviceNode));
  note("register node stuckDevice",
       plugin.registerNode("stuckDevice", StuckDeviceNode::id, StuckDeviceNode::creator, nullptr,
                           MPxNode::kThreadedDeviceNode));
  note("register node lateDevice",
       plugin.registerNode("lateDevice", LateDeviceNode::id, LateDeviceNode::creator, nullptr,
                           MPxNode::kThreadedDeviceNode));
  MStatus status = plugin.registerUI("hostTestCreateUI", "hostTestDeleteUI");
  note("register ui", status);
  return status;
}

// Leaves "hostLeftover" registered on purpose.
MStatus uninitializePlugin(MObject obj) {
  MFnPlugin plugin(obj);
  note("deregister node lateDevice", plugin.deregisterNode(LateDeviceNode::id));
  note("deregister node stuckDevice", plugin.deregisterNode(StuckDeviceNode::id));
  note("deregister node tickDevice", plugin.deregisterNode(TickDeviceNode::id));
  note("deregister node sumNode", plugin.deregisterNode(SumNode::id));
  note("deregister node sumNode again", plugin.deregisterNode(SumNode::id));
  note("deregister command hostEcho", plugin.deregisterCommand("hostEcho"));
  note("deregister translator hostTest", plugin.deregisterFileTranslator("hostTest"));
  MStatus status = plugin.deregisterFileTranslator("anyText");
  note("deregister translator anyText", status);
  return status;
}
