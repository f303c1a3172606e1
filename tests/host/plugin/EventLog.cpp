#include "EventLog.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

std::mutex logMutex;
std::condition_variable logChanged;
std::vector<std::string> events;
std::string joined;
bool released = false;
bool gateOpen = false;

}  // namespace

namespace testplugin {

void record(const std::string& event) {
  // Notified under the lock: a waiter that sees the event then knows that this thread is done
  // with the log's statics, even if it is left running past the end of the test.
  std::lock_guard<std::mutex> lock(logMutex);
  events.push_back(event);
  logChanged.notify_all();
}

void waitForRelease() {
  std::unique_lock<std::mutex> lock(logMutex);
  logChanged.wait(lock, [] { return released; });
}

void waitForGate() {
  std::unique_lock<std::mutex> lock(logMutex);
  logChanged.wait(lock, [] { return gateOpen; });
}

void closeGates() {
  std::lock_guard<std::mutex> lock(logMutex);
  released = false;
  gateOpen = false;
}

}  // namespace testplugin

const char* hostTestEvents() {
  std::lock_guard<std::mutex> lock(logMutex);
  joined.clear();
  for (const auto& event : events) joined += event + "\n";
  return joined.c_str();
}

void hostTestClearEvents() {
  std::lock_guard<std::mutex> lock(logMutex);
  events.clear();
}

int hostTestWaitForEvent(const char* event, int count, int timeoutMs) {
  std::unique_lock<std::mutex> lock(logMutex);
  bool seen = logChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return std::count(events.begin(), events.end(), event) >= count;
  });
  return seen ? 1 : 0;
}

void hostTestReleaseStuck() {
  std::lock_guard<std::mutex> lock(logMutex);
  released = true;
  logChanged.notify_all();
}

void hostTestOpenGate() {
  std::lock_guard<std::mutex> lock(logMutex);
  gateOpen = true;
  logChanged.notify_all();
}
