#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFn.h>
#include <maya/MFnBase.h>
#include <maya/MObject.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>

#ifdef _WIN32
#define PLUGIN_EXPORT __declspec(dllexport)
#else
#define PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

typedef void* (*MCreatorFunction)();
typedef MSyntax (*MCreateSyntaxFunction)();
typedef MStatus (*MInitializeFunction)();

OPENMAYA_MAJOR_NAMESPACE_OPEN

// Registration interface of a loaded plug-in, attached to the plug-in object the host passes to
// initializePlugin and uninitializePlugin. Registrations fail (and change nothing) on a name or
// type id already registered, and deregistrations on a name or id not registered by this
// plug-in. A node type whose initialize function fails is not registered.
class MFnPlugin : public MFnBase {
 public:
  MFnPlugin();
  MFnPlugin(MObject& object, const char* vendor = "Unknown", const char* version = "Unknown",
            const char* requiredApiVersion = "Any", MStatus* ReturnStatus = 0L);
  MFnPlugin(const MFnPlugin&) = delete;
  MFnPlugin& operator=(const MFnPlugin&) = delete;
  ~MFnPlugin() override;

  MFn::Type type() const override;

  MStatus registerCommand(const MString& commandName, MCreatorFunction creatorFunction,
                          MCreateSyntaxFunction createSyntaxFunction = nullptr);
  MStatus deregisterCommand(const MString& commandName);

  MStatus registerNode(const MString& typeName, const MTypeId& typeId,
                       MCreatorFunction creatorFunction, MInitializeFunction initFunction,
                       MPxNode::Type type = MPxNode::kDependNode,
                       const MString* classification = nullptr);
  MStatus deregisterNode(const MTypeId& typeId);

  MStatus registerFileTranslator(const MString& translatorName, const char* pixmapName,
                                 MCreatorFunction creatorFunction,
                                 const char* optionsScriptName = nullptr,
                                 const char* defaultOptionsString = nullptr,
                                 bool requiresFullMel = false,
                                 MString dataStorageLocation = MFnPlugin::kDefaultDataLocation);
  MStatus deregisterFileTranslator(const MString& translatorName);

  MStatus registerUI(const MString& creationProc, const MString& deletionProc,
                     const MString& creationBatchProc = "", const MString& deletionBatchProc = "");

  static const MString kDefaultDataLocation;
};

OPENMAYA_NAMESPACE_CLOSE

PLUGIN_EXPORT MStatus initializePlugin(MObject obj);
PLUGIN_EXPORT MStatus uninitializePlugin(MObject obj);

// Defined once per plug-in: in the one source file that includes this header without defining
// MNoVersionString first.
#ifndef MNoVersionString
extern "C" {
PLUGIN_EXPORT char MApiVersion[] = "20220000";
PLUGIN_EXPORT char ADSK_PLUGIN_SIGNATURE[] = "headless host plug-in";
}
#endif
