// A library with the entry points but without the version export: not a Maya plug-in.
#define MNoVersionString
#include <maya/MFnPlugin.h>

MStatus initializePlugin(MObject) { return MS::kSuccess; }

MStatus uninitializePlugin(MObject) { return MS::kSuccess; }
