#include <maya/MFnPlugin.h>
#include <maya/MSyntax.h>

#include <algorithm>
#include <utility>

#include "api/ReturnStatus.h"
#include "runtime/CommandSyntax.h"
#include "runtime/DeviceState.h"
#include "runtime/PluginNode.h"
#include "runtime/PluginRegistry.h"
#include "runtime/Session.h"

using host::report;

const MString MFnPlugin::kDefaultDataLocation("data");

namespace {

std::shared_ptr<host::PluginRecord> pluginRecord(const MFnPlugin& plugin) {
  return host::ObjectAccess::as<host::PluginRecord>(plugin.object());
}

std::string text(const char* value) { return value ? value : ""; }

// Removes the entry of that name the plug-in registered; kFailure when it has none.
template <typename Entries>
MStatus eraseOwned(Entries& entries, const MString& name, const host::PluginRecord& owner) {
  auto found = std::find_if(entries.begin(), entries.end(), [&](const auto& entry) {
    return entry.name == name.asChar() && entry.owner == &owner;
  });
  if (found == entries.end()) return MS::kFailure;
  entries.erase(found);
  return MS::kSuccess;
}

}  // namespace

MFnPlugin::MFnPlugin() = default;

MFnPlugin::MFnPlugin(MObject& object, const char* vendor, const char* version,
                     const char* requiredApiVersion, MStatus* ReturnStatus) {
  auto record = host::ObjectAccess::as<host::PluginRecord>(object);
  if (!record) {
    report(ReturnStatus, MS::kInvalidParameter);
    return;
  }
  MFnBase::setObject(object);
  record->vendor = text(vendor);
  record->version = text(version);
  record->requiredApiVersion = text(requiredApiVersion);
  report(ReturnStatus, MS::kSuccess);
}

MFnPlugin::~MFnPlugin() = default;

MFn::Type MFnPlugin::type() const { return MFn::kPlugin; }

MStatus MFnPlugin::registerCommand(const MString& commandName, MCreatorFunction creatorFunction,
                                   MCreateSyntaxFunction createSyntaxFunction) {
  auto record = pluginRecord(*this);
  if (!record) return MS::kFailure;
  if (commandName.length() == 0 || creatorFunction == nullptr) return MS::kInvalidParameter;
  auto& registry = host::PluginRegistry::instance();
  if (registry.findCommand(commandName.asChar())) return MS::kFailure;
  std::shared_ptr<const host::CommandSyntax> syntax;
  if (createSyntaxFunction != nullptr) {
    try {
      MSyntax made = createSyntaxFunction();
      syntax = host::SyntaxAccess::rules(made);
    } catch (...) {
      return MS::kFailure;
    }
  }
  registry.commands.push_back({commandName.asChar(), creatorFunction, record.get(), syntax});
  return MS::kSuccess;
}

MStatus MFnPlugin::deregisterCommand(const MString& commandName) {
  auto record = pluginRecord(*this);
  if (!record) return MS::kFailure;
  return eraseOwned(host::PluginRegistry::instance().commands, commandName, *record);
}

MStatus MFnPlugin::registerNode(const MString& typeName, const MTypeId& typeId,
                                MCreatorFunction creatorFunction, MInitializeFunction initFunction,
                                MPxNode::Type type, const MString*) {
  auto record = pluginRecord(*this);
  if (!record) return MS::kFailure;
  if (typeName.length() == 0 || creatorFunction == nullptr) return MS::kInvalidParameter;
  // Only the proxy kinds this host can run.
  if (type != MPxNode::kDependNode && type != MPxNode::kThreadedDeviceNode) {
    return MS::kNotImplemented;
  }
  auto& types = host::Session::instance().nodeTypes;
  if (types.find(typeName.asChar()) || types.find(typeId)) return MS::kFailure;
  bool threaded = type == MPxNode::kThreadedDeviceNode;
  auto nodeType = std::make_shared<host::NodeType>(
      typeName.asChar(), typeId,
      std::vector<MFn::Type>{threaded ? MFn::kPluginThreadedDevice : MFn::kPluginDependNode,
                             MFn::kDependencyNode},
      false);
  if (threaded) host::DeviceState::addInheritedAttributes(*nodeType);

  auto& registry = host::PluginRegistry::instance();
  MStatus status = MS::kSuccess;
  if (initFunction) {
    registry.initializing = nodeType.get();
    try {
      status = initFunction();
    } catch (...) {
      status = MS::kFailure;
    }
    registry.initializing = nullptr;
  }
  if (!status) return status;

  std::weak_ptr<host::PluginRecord> owner = record;
  nodeType->makeExtension = [creatorFunction, threaded, owner]() {
    return std::make_unique<host::PluginNode>(creatorFunction, threaded, owner);
  };
  nodeType->owner = record.get();
  return types.add(nodeType);
}

MStatus MFnPlugin::deregisterNode(const MTypeId& typeId) {
  auto record = pluginRecord(*this);
  if (!record) return MS::kFailure;
  auto& types = host::Session::instance().nodeTypes;
  auto found = types.find(typeId);
  if (!found || found->owner != record.get()) return MS::kFailure;
  return types.remove(found->name);
}

MStatus MFnPlugin::registerFileTranslator(const MString& translatorName, const char* pixmapName,
                                          MCreatorFunction creatorFunction,
                                          const char* optionsScriptName,
                                          const char* defaultOptionsString, bool requiresFullMel,
                                          MString dataStorageLocation) {
  auto record = pluginRecord(*this);
  if (!record) return MS::kFailure;
  if (translatorName.length() == 0 || creatorFunction == nullptr) return MS::kInvalidParameter;
  auto& registry = host::PluginRegistry::instance();
  if (registry.findTranslator(translatorName.asChar())) return MS::kFailure;
  void* created = host::PluginRegistry::create(creatorFunction);
  if (created == nullptr) return MS::kFailure;
  registry.translators.push_back(
      {translatorName.asChar(), text(pixmapName), text(optionsScriptName),
       text(defaultOptionsString), requiresFullMel, dataStorageLocation.asChar(),
       std::shared_ptr<MPxFileTranslator>(static_cast<MPxFileTranslator*>(created)), record.get()});
  return MS::kSuccess;
}

MStatus MFnPlugin::deregisterFileTranslator(const MString& translatorName) {
  auto record = pluginRecord(*this);
  if (!record) return MS::kFailure;
  return eraseOwned(host::PluginRegistry::instance().translators, translatorName, *record);
}

MStatus MFnPlugin::registerUI(const MString& creationProc, const MString& deletionProc,
                              const MString& creationBatchProc, const MString& deletionBatchProc) {
  auto record = pluginRecord(*this);
  if (!record) return MS::kFailure;
  if (creationProc.length() == 0 || deletionProc.length() == 0) return MS::kInvalidParameter;
  if (record->hasUi) return MS::kFailure;
  // The host has neither a user interface nor MEL: the procedures are only recorded.
  record->hasUi = true;
  record->uiCreation = creationProc.asChar();
  record->uiDeletion = deletionProc.asChar();
  record->uiCreationBatch = creationBatchProc.asChar();
  record->uiDeletionBatch = deletionBatchProc.asChar();
  return MS::kSuccess;
}
