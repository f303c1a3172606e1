#pragma once

#include <maya/MPxNode.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "model/NodeType.h"
#include "model/Scene.h"
#include "runtime/Interrupts.h"
#include "runtime/PluginRegistry.h"

namespace host {

// Everything the host keeps for the process, in one place: the scene, the node types, what
// plug-ins registered and the device-thread settings. Never destroyed: at exit, nodes may still
// hold objects of plug-ins already unloaded, and abandoned device threads may still run. Main
// thread only, except the join timeout.
class Session {
 public:
  static Session& instance();

  enum class Reset {
    // File > New: every node deleted through the one deletion path (device threads end),
    // namespaces, selection and time forgotten; the errors shown are kept.
    kNewScene,
    // kNewScene, and the errors, the mode and the interrupts requested forgotten too: a fresh
    // session for test fixtures.
    kFreshScene,
    // What Maya does on exit: kNewScene, then every plug-in unloaded, last loaded first.
    kExit
  };
  void reset(Reset what);

  // How long ending a device thread waits for threadHandler to return (default 5 s).
  std::chrono::milliseconds joinTimeout() const;
  void setJoinTimeout(std::chrono::milliseconds timeout);

  NodeTypeRegistry nodeTypes;
  Scene scene{nodeTypes};
  PluginRegistry plugins;
  // Objects of nodes whose device thread never returned: the thread still uses them, so they
  // are neither deleted nor forgotten.
  std::vector<MPxNode*> abandonedProxies;
  // A deletion keeps a plug-in node's object in the undo queue instead of deleting it, as Maya
  // does with undo on; flushUndo deletes the objects kept. Set for one deletion only.
  bool undoableDelete = false;
  struct Undoable {
    MPxNode* proxy = nullptr;
    const PluginRecord* plugin = nullptr;
  };
  std::vector<Undoable> undoQueue;
  // Deletes the kept objects, oldest first: all of them, or those of one plug-in's types.
  void flushUndo(const PluginRecord* plugin = nullptr);
  // What the last successful unload found still registered.
  std::vector<std::string> lastLeftovers;
  // What the command last run set with MPxCommand::setResult: a string, or an array's elements
  // joined by spaces; and the same as an array (a string as its one element).
  std::string commandResult;
  std::vector<std::string> commandResults;
  // Batch or interactive, MComputation's record and the interrupts requested.
  Interrupts interrupts;

 private:
  Session() = default;

  std::atomic<long long> joinTimeoutMilliseconds{5000};
};

}  // namespace host
