#pragma once

#include <host/DevicePool.h>
#include <host/DeviceThread.h>
#include <maya/MApiNamespace.h>
#include <maya/MObject.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "model/Attribute.h"
#include "model/Node.h"
#include "model/NodeType.h"

namespace host {

// What the host keeps for one threaded device node: its pool and queue, its worker thread, the
// done flag, and copies of "live" and "frameRate" that the worker may read.
//
// As in Maya, the worker never dirties the scene itself: endLoop only flags a refresh, and the
// main thread marks the refresh outputs dirty when it next reads the scene (applyRefreshes).
// So an evaluation in progress is never dirtied under it, and never cleans a mark made after it
// began.
class DeviceState {
 public:
  explicit DeviceState(MPxThreadedDeviceNode& owner);
  ~DeviceState();

  // Main thread. Marks the refresh outputs of every device node whose worker flagged a refresh
  // since the last call.
  static void applyRefreshes();

  // Adds the attributes every threaded device node type inherits ("output", "live",
  // "frameRate"), creating them on first use.
  static void addInheritedAttributes(NodeType& type);
  enum class Inherited { kOutput, kLive, kFrameRate };
  static MObject inheritedAttribute(Inherited which);

  // Main thread. Reads "live" and "frameRate" from the node and starts the worker.
  void attach(Node& node);
  // Main thread. threadShutdownHandler, wait for the handler to return, then run it again with
  // the node's current "live" and "frameRate". False when the handler did not return in time.
  bool restart();
  // Main thread. threadShutdownHandler and wait; the node is detached afterwards. False when
  // the handler did not return in time: the worker still runs and this state (and its owner)
  // must be kept alive.
  bool stop();
  // The last handler ended with an exception.
  bool handlerThrew() const;

  // Worker side (any thread).
  bool isLive() const;
  bool isDone() const;
  // Once the host has asked the handler to end, setDone(false) is ignored until the next start:
  // a handler that clears done as its first step must not undo a shutdown that came before it.
  void setDone(bool done);
  void beginLoop();
  void endLoop();
  void setRefreshOutputs(std::vector<const Attribute*> attributes);

  DevicePool pool;

 private:
  void readAttributes();
  // Asks the handler to end (threadShutdownHandler) and waits for it to return.
  bool shutDown();
  bool startWorker();

  MPxThreadedDeviceNode& owner;
  DeviceThread worker;
  std::atomic<bool> done{true};
  std::atomic<bool> stopping{false};
  std::atomic<bool> live{false};
  std::atomic<double> frameRate{15.0};
  // Guards node and refresh, which the worker reads in endLoop, and wakes its throttle wait.
  std::mutex stateMutex;
  std::condition_variable doneSet;
  Node* node = nullptr;
  std::vector<const Attribute*> refresh;
  // Set by the worker's endLoop, taken by applyRefreshes.
  std::atomic<bool> refreshPending{false};
  // Worker thread only.
  std::chrono::steady_clock::time_point loopStart;
};

}  // namespace host
