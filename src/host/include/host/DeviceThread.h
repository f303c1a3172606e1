#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace host {

// The worker thread of one threaded device node: runs a handler on a thread of its own and ends
// it with a bounded wait. Called from the main thread only; the handler runs on the new thread.
class DeviceThread {
 public:
  DeviceThread() = default;
  DeviceThread(const DeviceThread&) = delete;
  DeviceThread& operator=(const DeviceThread&) = delete;
  // Joins a handler that has returned; one still running is detached (call stop first).
  ~DeviceThread();

  // Starts handler on a new thread; false when an earlier handler was left running by stop.
  // An earlier handler that has returned is joined first.
  bool start(std::function<void()> handler);

  // When a thread was started: calls shutdown on the calling thread, then waits up to timeout
  // for the handler to return and joins it. False when the handler did not return in time: its
  // thread is detached and still uses whatever the handler uses, and start refuses from then on.
  bool stop(const std::function<void()>& shutdown, std::chrono::milliseconds timeout);

  // A handler was started and has not returned.
  bool active() const;
  // A handler was left running by stop.
  bool stuck() const;
  // The last handler joined by stop or start ended with an exception (which was swallowed,
  // since an exception leaving a thread would end the process).
  bool threw() const;

 private:
  struct Control {
    std::mutex controlMutex;
    std::condition_variable finishedChanged;
    bool finished = false;
    bool threw = false;
  };

  void join();

  std::thread worker;
  std::shared_ptr<Control> control;
  bool abandoned = false;
  bool lastThrew = false;
};

}  // namespace host
