#include <host/Plugins.h>
#include <maya/MArgList.h>
#include <maya/MFileObject.h>
#include <maya/MObject.h>
#include <maya/MPxCommand.h>
#include <maya/MPxFileTranslator.h>
#include <maya/MString.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <utility>
#include <variant>

#include "model/Object.h"
#include "model/Scene.h"
#include "model/Utf8String.h"
#include "runtime/CommandSyntax.h"
#include "runtime/CurrentUnit.h"
#include "runtime/PluginRegistry.h"
#include "runtime/Session.h"
#include "runtime/SharedLibrary.h"

namespace host {

namespace {

// The entry points have C++ linkage: their names are mangled (Itanium ABI) with the MObject
// parameter, whose namespace names the API version.
constexpr const char* kInitializeSymbol =
    "_Z16initializePluginN8Autodesk4Maya16OpenMaya202200007MObjectE";
constexpr const char* kUninitializeSymbol =
    "_Z18uninitializePluginN8Autodesk4Maya16OpenMaya202200007MObjectE";
// Maya 2022 update 3: plug-ins built for any 2022 API up to this one load.
constexpr long kHostApiVersion = 20220300;
// The buffer identifyFile receives: the file's first bytes.
constexpr std::streamsize kIdentifyBytes = 4096;

using EntryPoint = MStatus (*)(MObject);

void showError(const std::string& message) { Session::instance().scene.displayError(message); }

void setResult(const std::string& result) {
  Session::instance().commandResult = result;
  Session::instance().commandResults = {result};
}

// Maya's "help <command>".
MStatus runHelp(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    showError("help: give one command name");
    return MS::kInvalidParameter;
  }
  const auto* entry = PluginRegistry::instance().findCommand(args[0]);
  if (entry == nullptr) {
    showError("help: no command \"" + args[0] + "\" is known");
    return MS::kNotFound;
  }
  setResult(entry->syntax ? entry->syntax->help(args[0])
                          : "Quick help is not available for '" + args[0] + "'.");
  return MS::kSuccess;
}

std::string shortestText(double value) {
  char text[32];
  for (int digits = 1; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (std::strtod(text, nullptr) == value) break;
  }
  return text;
}

std::string baseName(const std::string& path) {
  // Either separator: Windows paths may mix them.
  std::string name = path.substr(path.find_last_of("/\\") + 1);
  auto dot = name.find('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

bool compatibleApiVersion(const char* text) {
  if (std::strlen(text) != 8 ||
      !std::all_of(text, text + 8, [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  long version = std::strtol(text, nullptr, 10);
  return version / 10000 == kHostApiVersion / 10000 && version <= kHostApiVersion;
}

MStatus callEntryPoint(EntryPoint entry, const std::shared_ptr<PluginRecord>& record) {
  MObject object = ObjectAccess::wrap(record);
  try {
    return entry(object);
  } catch (...) {
    return MS::kFailure;
  }
}

void forget(const std::shared_ptr<PluginRecord>& record) {
  auto& plugins = PluginRegistry::instance().plugins;
  plugins.erase(std::remove(plugins.begin(), plugins.end(), record), plugins.end());
  if (!record->pinned) SharedLibrary::close(record->library);
  record->library = nullptr;
}

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const auto& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

MStatus readFile(const std::string& path, const std::string& translatorName,
                 const std::optional<std::string>& options,
                 MPxFileTranslator::FileAccessMode mode) {
  MFileObject file;
  file.setRawFullName(utf8String(path));
  std::ifstream in(std::filesystem::u8path(file.resolvedFullName().asUTF8()), std::ios::binary);
  if (!in) {
    showError("File not found: " + path);
    return MS::kNotFound;
  }
  char buffer[kIdentifyBytes];
  in.read(buffer, kIdentifyBytes);
  auto size = static_cast<short>(in.gcount());
  in.close();

  const auto& translators = PluginRegistry::instance().translators;
  const PluginRegistry::Translator* chosen = nullptr;
  if (!translatorName.empty()) {
    chosen = PluginRegistry::instance().findTranslator(translatorName);
    if (chosen == nullptr) {
      showError("Invalid file type specified: " + translatorName);
      return MS::kNotFound;
    }
  } else {
    const PluginRegistry::Translator* candidate = nullptr;
    for (const auto& translator : translators) {
      if (!translator.object->haveReadMethod()) continue;
      MPxFileTranslator::MFileKind kind = MPxFileTranslator::kNotMyFileType;
      try {
        kind = translator.object->identifyFile(file, buffer, size);
      } catch (...) {
        kind = MPxFileTranslator::kNotMyFileType;
      }
      if (kind == MPxFileTranslator::kIsMyFileType) {
        chosen = &translator;
        break;
      }
      if (kind == MPxFileTranslator::kCouldBeMyFileType && candidate == nullptr) {
        candidate = &translator;
      }
    }
    if (chosen == nullptr) chosen = candidate;
    if (chosen == nullptr) {
      showError("Unrecognized file: " + path);
      return MS::kFailure;
    }
  }
  if (!chosen->object->haveReadMethod()) {
    showError("File translator " + chosen->name + " cannot read files");
    return MS::kFailure;
  }
  if (mode == MPxFileTranslator::kOpenAccessMode && !chosen->object->canBeOpened()) {
    showError("File translator " + chosen->name + " cannot open files");
    return MS::kFailure;
  }
  // The translator may be deregistered while it reads.
  std::shared_ptr<MPxFileTranslator> translator = chosen->object;
  MString optionString = utf8String(options ? *options : chosen->defaultOptions);
  if (mode == MPxFileTranslator::kOpenAccessMode) {
    Session::instance().reset(Session::Reset::kNewScene);
  }
  try {
    return translator->reader(file, optionString, mode);
  } catch (...) {
    return MS::kFailure;
  }
}

}  // namespace

MStatus loadPlugin(const std::string& path) {
  auto& registry = PluginRegistry::instance();
  std::string name = baseName(path);
  if (registry.findPlugin(path) || registry.findPlugin(name)) {
    showError("Plug-in \"" + name + "\" is already loaded");
    return MS::kFailure;
  }
  std::string reason;
  void* library = SharedLibrary::open(path, reason);
  if (library == nullptr) {
    showError("Cannot load plug-in \"" + path + "\": " + reason);
    return MS::kFailure;
  }
  const char* apiVersion = static_cast<const char*>(SharedLibrary::symbol(library, "MApiVersion"));
  if (apiVersion == nullptr) {
    SharedLibrary::close(library);
    showError("Plug-in \"" + name + "\" does not export MApiVersion: not a Maya plug-in");
    return MS::kFailure;
  }
  if (!compatibleApiVersion(apiVersion)) {
    std::string found = apiVersion;
    SharedLibrary::close(library);
    showError("Plug-in \"" + name + "\" was built for API version " + found +
              ", which this Maya 2022 host cannot load");
    return MS::kFailure;
  }
  auto initialize = reinterpret_cast<EntryPoint>(SharedLibrary::symbol(library, kInitializeSymbol));
  auto uninitialize =
      reinterpret_cast<EntryPoint>(SharedLibrary::symbol(library, kUninitializeSymbol));
  if (initialize == nullptr || uninitialize == nullptr) {
    SharedLibrary::close(library);
    showError("Plug-in \"" + name +
              "\" does not export initializePlugin(MObject) and uninitializePlugin(MObject)");
    return MS::kFailure;
  }

  auto record = std::make_shared<PluginRecord>();
  record->name = name;
  record->path = path;
  record->library = library;
  registry.plugins.push_back(record);
  MStatus status = callEntryPoint(initialize, record);
  if (!status) {
    registry.withdraw(*record);
    forget(record);
    showError("initializePlugin function failed (" + name + "): " + status.errorString().asUTF8());
    return status;
  }
  return MS::kSuccess;
}

MStatus unloadPlugin(const std::string& nameOrPath) {
  auto& registry = PluginRegistry::instance();
  auto record = registry.findPlugin(nameOrPath);
  if (!record) {
    showError("Plug-in \"" + nameOrPath + "\" is not loaded");
    return MS::kNotFound;
  }
  for (const auto& node : Session::instance().scene.nodes()) {
    if (node->type().owner == record.get()) {
      showError("Cannot unload plug-in \"" + record->name + "\": node \"" + node->name() +
                "\" of its type \"" + node->type().name + "\" is in the scene");
      return MS::kFailure;
    }
  }
  // Maya flushes the undo queue before an unload: the objects of deleted nodes it kept are
  // destroyed while their code is still loaded.
  Session::instance().flushUndo(record.get());
  auto uninitialize =
      reinterpret_cast<EntryPoint>(SharedLibrary::symbol(record->library, kUninitializeSymbol));
  MStatus status = callEntryPoint(uninitialize, record);
  if (!status) {
    showError("uninitializePlugin function failed (" + record->name +
              "): " + status.errorString().asUTF8());
    return status;
  }
  auto& leftovers = Session::instance().lastLeftovers;
  leftovers = registry.withdraw(*record);
  if (!leftovers.empty()) {
    showError("Plug-in \"" + record->name + "\" left registered: " + joined(leftovers));
  }
  if (record->pinned) {
    showError("Plug-in \"" + record->name + "\" stays mapped: a device thread still runs its code");
  }
  forget(record);
  return MS::kSuccess;
}

std::vector<std::string> unloadLeftovers() { return Session::instance().lastLeftovers; }

std::vector<std::string> loadedPlugins() {
  std::vector<std::string> names;
  for (const auto& plugin : PluginRegistry::instance().plugins) names.push_back(plugin->name);
  return names;
}

bool pluginInfo(const std::string& nameOrPath, PluginInfo& info) {
  auto record = PluginRegistry::instance().findPlugin(nameOrPath);
  if (!record) return false;
  info = PluginInfo{record->name,
                    record->path,
                    record->vendor,
                    record->version,
                    record->requiredApiVersion,
                    record->hasUi,
                    record->uiCreation,
                    record->uiDeletion,
                    record->uiCreationBatch,
                    record->uiDeletionBatch};
  return true;
}

std::vector<std::string> registeredCommands() {
  std::vector<std::string> names;
  for (const auto& command : PluginRegistry::instance().commands) names.push_back(command.name);
  return names;
}

std::vector<std::string> registeredFileTranslators() {
  std::vector<std::string> names;
  for (const auto& translator : PluginRegistry::instance().translators) {
    names.push_back(translator.name);
  }
  return names;
}

std::vector<std::string> registeredNodeTypes() {
  std::vector<std::string> names;
  for (const auto& type : Session::instance().nodeTypes.all()) {
    if (type->owner) names.push_back(type->name);
  }
  return names;
}

bool translatorDefaultOptions(const std::string& translator, std::string& options) {
  const auto* entry = PluginRegistry::instance().findTranslator(translator);
  if (entry == nullptr) return false;
  options = entry->defaultOptions;
  return true;
}

MStatus runCommand(const std::string& name, const std::vector<std::string>& args) {
  if (name == "help") return runHelp(args);
  if (name == "currentUnit") return runCurrentUnit(args);
  const auto* entry = PluginRegistry::instance().findCommand(name);
  if (entry == nullptr) {
    showError("Cannot find procedure \"" + name + "\".");
    return MS::kNotFound;
  }
  if (entry->syntax) {
    ParsedArguments parsed;
    std::string error;
    if (!parseArguments(entry->syntax, args, parsed, error)) {
      showError(name + ": " + error + "; \"help " + name + "\" lists its flags");
      return MS::kInvalidParameter;
    }
  }
  void* made = PluginRegistry::create(entry->creator);
  if (made == nullptr) return MS::kFailure;
  auto* command = static_cast<MPxCommand*>(made);
  MArgList list;
  for (const auto& arg : args) list.addArg(utf8String(arg));
  Session::instance().commandResult.clear();
  Session::instance().commandResults.clear();
  MStatus status;
  try {
    status = command->doIt(list);
  } catch (...) {
    status = MS::kFailure;
  }
  // A failed command raises in Python and stops MEL: what it set as its result reaches no one.
  if (!status) {
    Session::instance().commandResult.clear();
    Session::instance().commandResults.clear();
  }
  // Without an undo queue every command object goes right after doIt, undoable or not.
  delete command;
  return status;
}

MStatus runPythonCommand(const std::string& name,
                         const std::vector<std::pair<std::string, Value>>& keywords,
                         const std::vector<std::string>& positional) {
  const auto* entry = PluginRegistry::instance().findCommand(name);
  bool query = false;
  for (const auto& keyword : keywords) {
    const bool* on = std::get_if<bool>(&keyword.second);
    if ((keyword.first == "q" || keyword.first == "query") && on != nullptr && *on) query = true;
  }
  std::vector<std::string> args = positional;
  for (const auto& [key, value] : keywords) {
    const CommandSyntax::Flag* flag =
        entry != nullptr && entry->syntax ? entry->syntax->find(key) : nullptr;
    const bool takesArguments = flag != nullptr && !flag->arguments.empty();
    const std::string dashed = "-" + key;
    if (const bool* on = std::get_if<bool>(&value)) {
      if (!takesArguments || query) {
        if (*on) args.push_back(dashed);
      } else {
        args.insert(args.end(), {dashed, *on ? "true" : "false"});
      }
    } else if (const int* whole = std::get_if<int>(&value)) {
      args.insert(args.end(), {dashed, std::to_string(*whole)});
    } else if (const double* number = std::get_if<double>(&value)) {
      args.insert(args.end(), {dashed, shortestText(*number)});
    } else if (const std::string* text = std::get_if<std::string>(&value)) {
      args.insert(args.end(), {dashed, *text});
    } else {
      args.push_back(dashed);
      for (double part : std::get<std::array<double, 3>>(value)) {
        args.push_back(shortestText(part));
      }
    }
  }
  return runCommand(name, args);
}

std::string lastCommandResult() { return Session::instance().commandResult; }

std::vector<std::string> lastCommandResults() { return Session::instance().commandResults; }

MStatus importFile(const std::string& path, const std::string& translator,
                   const std::optional<std::string>& options) {
  return readFile(path, translator, options, MPxFileTranslator::kImportAccessMode);
}

MStatus openFile(const std::string& path, const std::string& translator,
                 const std::optional<std::string>& options) {
  return readFile(path, translator, options, MPxFileTranslator::kOpenAccessMode);
}

MStatus exportFile(const std::string& path, const std::string& translatorName,
                   const std::optional<std::string>& options, bool selectedOnly) {
  const PluginRegistry::Translator* chosen =
      PluginRegistry::instance().findTranslator(translatorName);
  if (chosen == nullptr) {
    showError("Invalid file type specified: " + translatorName);
    return MS::kNotFound;
  }
  if (!chosen->object->haveWriteMethod()) {
    showError("File translator " + chosen->name + " cannot write files");
    return MS::kFailure;
  }
  MFileObject file;
  file.setRawFullName(MString(path.c_str()));
  // The translator may be deregistered while it writes.
  std::shared_ptr<MPxFileTranslator> translator = chosen->object;
  MString optionString((options ? *options : chosen->defaultOptions).c_str());
  try {
    return translator->writer(file, optionString,
                              selectedOnly ? MPxFileTranslator::kExportActiveAccessMode
                                           : MPxFileTranslator::kExportAccessMode);
  } catch (...) {
    return MS::kFailure;
  }
}

void setDeviceThreadTimeout(std::chrono::milliseconds timeout) {
  Session::instance().setJoinTimeout(timeout);
}

void exitSession() { Session::instance().reset(Session::Reset::kExit); }

}  // namespace host
