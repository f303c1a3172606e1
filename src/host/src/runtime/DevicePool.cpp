#include <host/DevicePool.h>

#include <algorithm>

namespace host {

bool DevicePool::create(int count, long bufferSize) {
  std::lock_guard<std::mutex> lock(poolMutex);
  buffers.clear();
  states.clear();
  queue.clear();
  size = 0;
  if (count <= 0 || bufferSize <= 0) return false;
  for (int i = 0; i < count; ++i) {
    // Zeroed so that a consumer never reads indeterminate bytes from an unfilled buffer.
    buffers.emplace_back(new char[static_cast<std::size_t>(bufferSize)]());
    states.push_back(State::kFree);
  }
  size = bufferSize;
  return true;
}

void DevicePool::destroy() {
  std::lock_guard<std::mutex> lock(poolMutex);
  buffers.clear();
  states.clear();
  queue.clear();
  size = 0;
}

char* DevicePool::acquire() {
  std::lock_guard<std::mutex> lock(poolMutex);
  auto it = std::find(states.begin(), states.end(), State::kFree);
  if (it == states.end()) return nullptr;
  *it = State::kHeld;
  return buffers[static_cast<std::size_t>(it - states.begin())].get();
}

bool DevicePool::push(char* buffer) {
  std::lock_guard<std::mutex> lock(poolMutex);
  std::size_t index = find(buffer);
  if (index == buffers.size() || states[index] != State::kHeld) return false;
  states[index] = State::kQueued;
  queue.push_back(index);
  return true;
}

char* DevicePool::pop() {
  std::lock_guard<std::mutex> lock(poolMutex);
  if (queue.empty()) return nullptr;
  std::size_t index = queue.front();
  queue.pop_front();
  states[index] = State::kHeld;
  return buffers[index].get();
}

bool DevicePool::release(char* buffer) {
  std::lock_guard<std::mutex> lock(poolMutex);
  std::size_t index = find(buffer);
  if (index == buffers.size() || states[index] != State::kHeld) return false;
  states[index] = State::kFree;
  return true;
}

long DevicePool::queued() const {
  std::lock_guard<std::mutex> lock(poolMutex);
  return static_cast<long>(queue.size());
}

long DevicePool::bufferSize() const {
  std::lock_guard<std::mutex> lock(poolMutex);
  return size;
}

std::size_t DevicePool::find(const char* buffer) const {
  if (buffer == nullptr) return buffers.size();
  for (std::size_t i = 0; i < buffers.size(); ++i) {
    if (buffers[i].get() == buffer) return i;
  }
  return buffers.size();
}

}  // namespace host
