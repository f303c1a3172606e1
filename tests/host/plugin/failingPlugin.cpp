// A plug-in whose initializePlugin registers a command and then fails.
#include <maya/MFnPlugin.h>
#include <maya/MPxCommand.h>

namespace {

void* creator() { return new MPxCommand; }

}  // namespace

MStatus initializePlugin(MObject obj) {
  MFnPlugin plugin(obj, "Test Vendor", "1.0");
  plugin.registerCommand("failingPluginCommand", creator);
  return MS::kInvalidParameter;
}

MStatus uninitializePlugin(MObject) { return MS::kSuccess; }
