#include "runtime/PluginRegistry.h"

#include <algorithm>

#include "runtime/Session.h"

namespace host {

MFn::Type PluginRecord::apiType() const { return MFn::kPlugin; }

PluginRegistry& PluginRegistry::instance() { return Session::instance().plugins; }

void* PluginRegistry::create(MCreatorFunction creator) {
  try {
    return creator();
  } catch (...) {
    return nullptr;
  }
}

std::shared_ptr<PluginRecord> PluginRegistry::findPlugin(const std::string& nameOrPath) const {
  for (const auto& plugin : plugins) {
    if (plugin->name == nameOrPath || plugin->path == nameOrPath) return plugin;
  }
  return nullptr;
}

const PluginRegistry::Command* PluginRegistry::findCommand(const std::string& name) const {
  for (const auto& command : commands) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

const PluginRegistry::Translator* PluginRegistry::findTranslator(const std::string& name) const {
  for (const auto& translator : translators) {
    if (translator.name == name) return &translator;
  }
  return nullptr;
}

std::vector<std::string> PluginRegistry::withdraw(const PluginRecord& plugin) {
  std::vector<std::string> left;
  auto& types = Session::instance().nodeTypes;
  // Copy: removing edits the list.
  auto all = types.all();
  for (const auto& type : all) {
    if (type->owner != &plugin) continue;
    left.push_back("node type " + type->name);
    types.remove(type->name);
  }
  for (const auto& command : commands) {
    if (command.owner == &plugin) left.push_back("command " + command.name);
  }
  commands.erase(std::remove_if(commands.begin(), commands.end(),
                                [&](const Command& command) { return command.owner == &plugin; }),
                 commands.end());
  for (const auto& translator : translators) {
    if (translator.owner == &plugin) left.push_back("file translator " + translator.name);
  }
  translators.erase(
      std::remove_if(translators.begin(), translators.end(),
                     [&](const Translator& translator) { return translator.owner == &plugin; }),
      translators.end());
  return left;
}

}  // namespace host
