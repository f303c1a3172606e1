// A plug-in that prints an MString through the API's std::ostream operator<<. Built with its C++
// runtime linked in, as the Linux module is, it takes that operator from the host under libc++'s
// name, which Maya's libraries (built with libstdc++) do not have: tools/check-module.sh --glibc
// must reject it. Never loaded.
#include <maya/MFnPlugin.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include <iostream>

MStatus initializePlugin(MObject) {
  std::cerr << MString("marvik");
  return MS::kSuccess;
}

MStatus uninitializePlugin(MObject) { return MS::kSuccess; }
