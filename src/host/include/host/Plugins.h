#pragma once

#include <host/Value.h>
#include <maya/MStatus.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The plug-in side of the headless host: loading plug-ins, running their commands, reading files
// through their translators and driving their nodes. Main thread only. Failures a Maya user
// would see are shown as errors (recorded in the scene's error list).
namespace host {

// Loads a plug-in library as Maya does: dlopen, check the exported MApiVersion (a Maya 2022 API
// version), call the exported initializePlugin(MObject). When initializePlugin fails, what the
// plug-in registered is withdrawn, the library is closed and its status returned.
MStatus loadPlugin(const std::string& path);

// By name (file name without directory and extension) or path: uninitializePlugin(MObject),
// then dlclose. Refused (kFailure) while nodes of the plug-in's types exist. A failing
// uninitializePlugin leaves the plug-in loaded. Whatever the plug-in left registered is then
// withdrawn by the host, shown as an error and listed by unloadLeftovers.
MStatus unloadPlugin(const std::string& nameOrPath);
// What the last successful unload found still registered: "command <name>",
// "node type <name>", "file translator <name>".
std::vector<std::string> unloadLeftovers();

struct PluginInfo {
  std::string name;
  std::string path;
  std::string vendor;
  std::string version;
  std::string requiredApiVersion;
  bool hasUi = false;
  std::string uiCreation;
  std::string uiDeletion;
  std::string uiCreationBatch;
  std::string uiDeletionBatch;
};

// Loaded plug-ins by name, in load order.
std::vector<std::string> loadedPlugins();
// False when no such plug-in is loaded.
bool pluginInfo(const std::string& nameOrPath, PluginInfo& info);

// Registered by plug-ins, in registration order.
std::vector<std::string> registeredCommands();
std::vector<std::string> registeredFileTranslators();
std::vector<std::string> registeredNodeTypes();
// False when no such translator is registered.
bool translatorDefaultOptions(const std::string& translator, std::string& options);

// Creates the command object, calls doIt with the arguments and deletes it (this host has no
// undo queue). kNotFound, with an error shown, for an unknown command. A command registered with
// a syntax has its arguments read against it first, as Maya does: when they do not fit, the
// error "<name>: <what is wrong>" is shown ("Invalid flag '-x'", "Flag '-fps' needs a Float
// argument; 'abc' is not one") and kInvalidParameter returned without running it.
// "help <name>" is Maya's own: its result is the syntax's description (the flags, long and
// short, with their argument types), or "Quick help is not available for '<name>'." for a
// command registered without a syntax. "currentUnit" is Maya's too, on the scene's UI units
// (-l/-linear, -a/-angle, -t/-time; -q/-query with one of them; -f/-fullName).
MStatus runCommand(const std::string& name, const std::vector<std::string>& args = {});
// Runs the command as maya.cmds passes Python keyword arguments: each keyword becomes the flag
// "-<keyword>" (long or short name alike), in order, after the positional arguments. True and
// False pass or leave out a flag without arguments (q=True is query mode); in query mode a
// flag with arguments given True is passed alone, the flag queried. Other values follow their
// flag as text (booleans "true"/"false", numbers in their shortest exact form, a vector as three
// arguments).
MStatus runPythonCommand(const std::string& name,
                         const std::vector<std::pair<std::string, Value>>& keywords,
                         const std::vector<std::string>& positional = {});
// The result the last runCommand set with MPxCommand::setResult; empty when it set none or the
// command failed (Maya drops a failed command's result: Python raises, MEL stops). An array's
// elements are joined by spaces.
std::string lastCommandResult();
// The same as an array: an array result's elements, a string result as its one element.
std::vector<std::string> lastCommandResults();

// Reads a file through the named translator or, without a name, the first registered one whose
// identifyFile says kIsMyFileType (else the first saying kCouldBeMyFileType). Without options
// the translator's registered default options are passed, as Maya's import dialog passes them;
// a script's "file -import" without "-options" passes an empty string, which is std::string().
// Import reads into the scene as it is.
MStatus importFile(const std::string& path, const std::string& translator = std::string(),
                   const std::optional<std::string>& options = std::nullopt);
// The same in open mode, after emptying the scene.
MStatus openFile(const std::string& path, const std::string& translator = std::string(),
                 const std::optional<std::string>& options = std::nullopt);

// Maya's file -exportAll (or, with selectedOnly, -exportSelected) -type <translator> <path>: the
// named translator's writer in kExportAccessMode (kExportActiveAccessMode). Without options the
// translator's registered default options are passed. An unknown translator (kNotFound) or one
// without a write method (kFailure) is shown as an error; otherwise the writer's status.
MStatus exportFile(const std::string& path, const std::string& translator,
                   const std::optional<std::string>& options = std::nullopt,
                   bool selectedOnly = false);

// How long ending a device thread waits for threadHandler to return after
// threadShutdownHandler (default 5 s). A handler still running then is reported as an error
// and left running; its node's object is kept and its plug-in stays mapped.
void setDeviceThreadTimeout(std::chrono::milliseconds timeout);

// What Maya does on exit: empties the scene (ending device threads), then unloads every
// plug-in, last loaded first.
void exitSession();

}  // namespace host
