// Registers the "BVH" translator the way the module does, so that the scene tests drive it
// through the host as Maya would.
#include <maya/MFnPlugin.h>

#include "scene/imocapImport.h"

MStatus initializePlugin(MObject obj) {
  MFnPlugin plugin(obj, "Orvane", "2.0.0.116", "Any");
  return plugin.registerFileTranslator(
      "BVH", "", imocapImport::creator, nullptr,
      "bonesOnly=false;merge=false;scale=1;rotationOrder=none;startFrame=0;endFrame=2147483648");
}

MStatus uninitializePlugin(MObject obj) {
  MFnPlugin plugin(obj);
  return plugin.deregisterFileTranslator("BVH");
}
