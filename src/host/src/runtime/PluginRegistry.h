#pragma once

#include <maya/MFn.h>
#include <maya/MFnPlugin.h>
#include <maya/MPxFileTranslator.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>

#include <memory>
#include <string>
#include <vector>

#include "model/NodeType.h"
#include "model/Object.h"
#include "runtime/CommandSyntax.h"

namespace host {

// A loaded plug-in: the object initializePlugin and uninitializePlugin receive.
class PluginRecord : public Object {
 public:
  MFn::Type apiType() const override;

  std::string name;  // file name without directory and extension
  std::string path;
  void* library = nullptr;
  std::string vendor = "Unknown";
  std::string version = "Unknown";
  std::string requiredApiVersion = "Any";
  bool hasUi = false;
  std::string uiCreation, uiDeletion, uiCreationBatch, uiDeletionBatch;
  // A device thread left running its code: the library must stay mapped.
  bool pinned = false;
};

// The loaded plug-ins and the commands and translators they registered, in registration order;
// their node types are in the NodeTypeRegistry, marked with their owner. Owned by the Session.
// Main thread only.
class PluginRegistry {
 public:
  struct Command {
    std::string name;
    MCreatorFunction creator;
    const PluginRecord* owner;
    // What the syntax creator returned; null for a command registered without one.
    std::shared_ptr<const CommandSyntax> syntax;
  };
  struct Translator {
    std::string name;
    std::string pixmap;
    std::string optionsScript;
    std::string defaultOptions;
    bool requiresFullMel;
    std::string dataLocation;
    // Created at registration, deleted at deregistration.
    std::shared_ptr<MPxFileTranslator> object;
    const PluginRecord* owner;
  };

  // Session::instance().plugins.
  static PluginRegistry& instance();
  // Runs a plug-in's creator; null when it fails or throws.
  static void* create(MCreatorFunction creator);

  std::shared_ptr<PluginRecord> findPlugin(const std::string& nameOrPath) const;
  const Command* findCommand(const std::string& name) const;
  const Translator* findTranslator(const std::string& name) const;

  // Withdraws what the plug-in still has registered, deleting translator objects and removing
  // its node types from the session's registry; returns a description of each item ("command doIt",
  // "node type x", ...).
  std::vector<std::string> withdraw(const PluginRecord& plugin);

  std::vector<std::shared_ptr<PluginRecord>> plugins;
  std::vector<Command> commands;
  std::vector<Translator> translators;
  // The node type whose initialize function runs (addAttribute and attributeAffects act on it).
  NodeType* initializing = nullptr;
};

}  // namespace host
