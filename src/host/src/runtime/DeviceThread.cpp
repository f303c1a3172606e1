#include <host/DeviceThread.h>

#include <utility>

namespace host {

DeviceThread::~DeviceThread() {
  if (!worker.joinable()) return;
  if (active()) {
    worker.detach();
  } else {
    worker.join();
  }
}

bool DeviceThread::start(std::function<void()> handler) {
  if (abandoned) return false;
  if (worker.joinable()) {
    if (active()) return false;
    join();
  }
  auto shared = std::make_shared<Control>();
  control = shared;
  // The thread keeps its own reference to the control block, so a detached thread can still
  // report its end after this object is gone.
  worker = std::thread([shared, handler = std::move(handler)]() {
    bool threw = false;
    try {
      handler();
    } catch (...) {
      threw = true;
    }
    {
      std::lock_guard<std::mutex> lock(shared->controlMutex);
      shared->finished = true;
      shared->threw = threw;
    }
    shared->finishedChanged.notify_all();
  });
  return true;
}

bool DeviceThread::stop(const std::function<void()>& shutdown, std::chrono::milliseconds timeout) {
  if (abandoned) return false;
  if (!worker.joinable()) return true;
  if (shutdown) shutdown();
  {
    std::unique_lock<std::mutex> lock(control->controlMutex);
    if (!control->finishedChanged.wait_for(lock, timeout, [this] { return control->finished; })) {
      lock.unlock();
      worker.detach();
      abandoned = true;
      return false;
    }
  }
  join();
  return true;
}

bool DeviceThread::active() const {
  if (!control) return false;
  std::lock_guard<std::mutex> lock(control->controlMutex);
  return !control->finished;
}

bool DeviceThread::stuck() const { return abandoned; }

bool DeviceThread::threw() const { return lastThrew; }

void DeviceThread::join() {
  worker.join();
  std::lock_guard<std::mutex> lock(control->controlMutex);
  lastThrew = control->threw;
}

}  // namespace host
