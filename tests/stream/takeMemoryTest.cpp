// What the take recorder holds, measured by the allocator rather than by the recorder's own
// count: every operator new of this program goes through the counters below.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>

#include "stream/TakeRecorder.h"
#include "stream/bvhHeaderText.h"
#include "support/StreamMessages.h"

// ThreadSanitizer's runtime defines the operators itself, and on Windows the C++ runtime is a DLL
// whose own new and delete would meet blocks of ours: there nothing is counted, and the tests
// skip.
#if defined(__SANITIZE_THREAD__) || defined(_WIN32)
#define TAKE_MEMORY_COUNTED 0
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TAKE_MEMORY_COUNTED 0
#endif
#endif
#ifndef TAKE_MEMORY_COUNTED
#define TAKE_MEMORY_COUNTED 1
#endif

namespace {

std::atomic<long long> liveBytes{0};

#if TAKE_MEMORY_COUNTED
// Room before each block for its size, kept at the alignment new promises.
constexpr std::size_t kHead = alignof(std::max_align_t);

void* allocate(std::size_t size) noexcept {
  void* block = std::malloc(size + kHead);
  if (block == nullptr) return nullptr;
  *static_cast<std::size_t*>(block) = size;
  liveBytes += static_cast<long long>(size);
  return static_cast<char*>(block) + kHead;
}

void release(void* pointer) noexcept {
  if (pointer == nullptr) return;
  char* block = static_cast<char*>(pointer) - kHead;
  liveBytes -= static_cast<long long>(*reinterpret_cast<std::size_t*>(block));
  std::free(block);
}
#endif

}  // namespace

#if TAKE_MEMORY_COUNTED
void* operator new(std::size_t size) {
  void* pointer = allocate(size);
  if (pointer == nullptr) throw std::bad_alloc();
  return pointer;
}
void* operator new[](std::size_t size) {
  void* pointer = allocate(size);
  if (pointer == nullptr) throw std::bad_alloc();
  return pointer;
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* pointer) noexcept { release(pointer); }
void operator delete[](void* pointer) noexcept { release(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { release(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { release(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { release(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { release(pointer); }
#endif

namespace {

using Clock = TakeRecorder::Clock;
using J = BrexPlugs::BVH_JOIN;

std::string threeChannels() {
  return bvhHeaderText(
      streamMessages::joint("A", 0, 0, 0, {J::Xrotation, J::Yrotation, J::Zrotation}), 0);
}

// An actor comes, sends five frames and leaves, 200 times, under a 1 MB limit: each of its takes
// used to get a block of 1 MB of its own, 200 MB in all, while the limit counted 12 KB of values.
// What the recorder holds in all stays within the limit, with room for the takes' own records.
TEST(TakeMemory, TwoHundredLeaveAndReturnCyclesStayWithinTheLimit) {
  if (!TAKE_MEMORY_COUNTED) GTEST_SKIP() << "the allocator is not this program's own";
  const long long before = liveBytes;
  {
    TakeRecorder::Options options;
    options.limitBytes = 1 << 20;
    TakeRecorder recorder(options);
    const Clock::time_point t0 = Clock::now();
    const std::string header = threeChannels();
    long long most = 0;
    for (int cycle = 0; cycle < 200; ++cycle) {
      recorder.actorList({{7, "a"}});
      recorder.header(7, 0, header, 3);
      for (int i = 0; i < 5; ++i) {
        const float values[3] = {static_cast<float>(cycle), static_cast<float>(i), 0};
        recorder.frame(7, values, 3, t0 + std::chrono::milliseconds(cycle * 100 + i * 10));
      }
      recorder.actorList({});
      most = std::max(most, liveBytes - before);
    }
    EXPECT_FALSE(recorder.progress().full);
    EXPECT_LT(most, (1 << 20) + (256 << 10));
    const std::vector<TakeRecorder::Take> takes = recorder.finish(100);
    ASSERT_EQ(takes.size(), 200u);
    EXPECT_EQ(takes[199].frameCount(), 5u);
    EXPECT_EQ(takes[199].frame(4)[0], 199.0f);
    EXPECT_EQ(takes[199].frame(4)[1], 4.0f);
  }
  EXPECT_EQ(liveBytes, before);
}

// At the limit the frames held are what was allocated for them: a limit of 100 frames of three
// values keeps 100 frames, and the blocks holding them take no more than the limit.
TEST(TakeMemory, ATakeAtItsLimitHoldsNoMoreThanTheLimit) {
  if (!TAKE_MEMORY_COUNTED) GTEST_SKIP() << "the allocator is not this program's own";
  const long long before = liveBytes;
  TakeRecorder::Options options;
  options.limitBytes = 100 * 3 * sizeof(float);
  TakeRecorder recorder(options);
  recorder.actorList({{7, "a"}});
  recorder.header(7, 0, threeChannels(), 3);
  const long long records = liveBytes - before;
  const Clock::time_point t0 = Clock::now();
  for (int i = 0; i < 150; ++i) {
    const float values[3] = {static_cast<float>(i), 0, 0};
    recorder.frame(7, values, 3, t0 + std::chrono::milliseconds(i));
  }
  EXPECT_TRUE(recorder.progress().full);
  EXPECT_EQ(recorder.progress().frames, 100u);
  // The blocks, and the small records that point at them.
  EXPECT_LE(liveBytes - before - records, static_cast<long long>(options.limitBytes) + 1024);
}

}  // namespace
