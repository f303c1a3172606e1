#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace host {

// The buffers a device thread hands to the main thread: a fixed set of equal-sized buffers,
// each free, held (acquired or popped) or queued. The queue is first in, first out.
// Every member is thread-safe.
class DevicePool {
 public:
  // Replaces any earlier buffers; false (and no buffers) when count or size is not positive.
  bool create(int count, long bufferSize);
  void destroy();

  // A free buffer, now held; nullptr when none is free.
  char* acquire();
  // Queues a held buffer; false when the buffer is not held.
  bool push(char* buffer);
  // The oldest queued buffer, now held; nullptr when the queue is empty.
  char* pop();
  // Frees a held buffer; false when the buffer is not held.
  bool release(char* buffer);

  long queued() const;
  long bufferSize() const;

 private:
  enum class State { kFree, kHeld, kQueued };

  // Index of a buffer of the pool, or buffers.size() when it is not one.
  std::size_t find(const char* buffer) const;

  mutable std::mutex poolMutex;
  std::vector<std::unique_ptr<char[]>> buffers;
  std::vector<State> states;
  std::deque<std::size_t> queue;
  long size = 0;
};

}  // namespace host
