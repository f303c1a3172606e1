#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MObject.h>
#include <maya/MObjectArray.h>
#include <maya/MPxNode.h>
#include <maya/MStatus.h>

#include <memory>

namespace host {
class DeviceState;
class PluginNode;
}  // namespace host

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MPxThreadedDeviceNode;

// A buffer of a device node's memory pool, filled by acquireDataStorage or popThreadData.
class MCharBuffer {
 public:
  MCharBuffer();
  MCharBuffer(const MCharBuffer&) = delete;
  MCharBuffer& operator=(const MCharBuffer&) = delete;
  ~MCharBuffer();

  // Null and 0 until the buffer holds a pool buffer; size in bytes.
  char* ptr();
  long size();

 private:
  friend class MPxThreadedDeviceNode;
  char* data = nullptr;
  long bytes = 0;
};

// Base of threaded device nodes. The host runs threadHandler on a thread of its own from the
// node's creation on, and restarts it (threadShutdownHandler, wait for the handler to return,
// run it again) whenever "live" or "frameRate" changes; deletion, a new scene and exit end it
// the same way. The pool, queue and flag members are thread-safe.
class MPxThreadedDeviceNode : public MPxNode {
 public:
  MPxThreadedDeviceNode();
  ~MPxThreadedDeviceNode() override;

  // Device thread. By default it returns at once.
  virtual void threadHandler();
  // Main thread, when the handler must end. By default setDone(true).
  virtual void threadShutdownHandler();

  bool isLive();
  bool isDone();
  MStatus setDone(bool done);

  // Around one step of the handler's loop: endThreadLoop waits out the rest of the step's
  // 1 / frameRate seconds (less when done is set) and then marks the refresh outputs dirty.
  MStatus beginThreadLoop();
  MStatus endThreadLoop();

  // nCount buffers of nElements * nSize bytes each.
  MStatus createMemoryPools(int nCount, int nElements, long nSize);
  MStatus destroyMemoryPools();
  // kFailure when no buffer is free.
  MStatus acquireDataStorage(MCharBuffer& buffer);
  MStatus pushThreadData(MCharBuffer& buffer);
  // kFailure when the queue is empty; the oldest pushed buffer first.
  MStatus popThreadData(MCharBuffer& buffer);
  long threadDataCount();
  MStatus releaseDataStorage(MCharBuffer& buffer);

  MStatus setRefreshOutputAttributes(const MObjectArray& attributeList);

  // Inherited by every threaded device node type: "output", "live" (bool, false) and
  // "frameRate" (double, 15).
  static MObject output;
  static MObject live;
  static MObject frameRate;

 private:
  friend class host::DeviceState;
  friend class host::PluginNode;
  std::unique_ptr<host::DeviceState> state;
};

OPENMAYA_NAMESPACE_CLOSE
