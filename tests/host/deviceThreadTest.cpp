#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <stdexcept>
#include <thread>

#include "host/DevicePool.h"
#include "host/DeviceThread.h"

namespace {

constexpr std::chrono::seconds kDeadline(10);

TEST(DevicePool, HandsBuffersOverFirstInFirstOut) {
  host::DevicePool pool;
  ASSERT_TRUE(pool.create(2, 16));
  EXPECT_EQ(pool.bufferSize(), 16);
  char* a = pool.acquire();
  char* b = pool.acquire();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(pool.acquire(), nullptr);  // both held: none free

  EXPECT_TRUE(pool.push(b));
  EXPECT_TRUE(pool.push(a));
  EXPECT_EQ(pool.queued(), 2);
  EXPECT_EQ(pool.pop(), b);
  EXPECT_EQ(pool.pop(), a);
  EXPECT_EQ(pool.pop(), nullptr);  // empty queue
  EXPECT_EQ(pool.queued(), 0);

  EXPECT_TRUE(pool.release(a));
  EXPECT_EQ(pool.acquire(), a);
}

TEST(DevicePool, RefusesBuffersInTheWrongState) {
  host::DevicePool pool;
  EXPECT_FALSE(pool.create(0, 16));
  EXPECT_FALSE(pool.create(1, 0));
  EXPECT_EQ(pool.acquire(), nullptr);

  ASSERT_TRUE(pool.create(1, 8));
  char foreign[8] = {};
  EXPECT_FALSE(pool.push(foreign));
  EXPECT_FALSE(pool.release(foreign));
  EXPECT_FALSE(pool.push(nullptr));

  char* a = pool.acquire();
  ASSERT_TRUE(pool.push(a));
  EXPECT_FALSE(pool.push(a));     // already queued
  EXPECT_FALSE(pool.release(a));  // queued, not held
  EXPECT_EQ(pool.pop(), a);
  EXPECT_TRUE(pool.release(a));
  EXPECT_FALSE(pool.release(a));  // already free

  pool.destroy();
  EXPECT_EQ(pool.acquire(), nullptr);
  EXPECT_EQ(pool.bufferSize(), 0);
}

TEST(DevicePool, ProducerAndConsumerThreadsKeepOrder) {
  host::DevicePool pool;
  ASSERT_TRUE(pool.create(3, sizeof(int)));
  // Few enough that threads which yield on every empty or full pool get through on a machine
  // running many other threads under a sanitizer (about 120 hand-overs a second there).
  constexpr int kItems = 300;
  auto deadline = std::chrono::steady_clock::now() + kDeadline;
  std::thread producer([&] {
    for (int i = 0; i < kItems && std::chrono::steady_clock::now() < deadline;) {
      char* buffer = pool.acquire();
      if (buffer == nullptr) {
        std::this_thread::yield();
        continue;
      }
      std::memcpy(buffer, &i, sizeof i);
      pool.push(buffer);
      ++i;
    }
  });
  int expected = 0;
  while (expected < kItems && std::chrono::steady_clock::now() < deadline) {
    char* buffer = pool.pop();
    if (buffer == nullptr) {
      std::this_thread::yield();
      continue;
    }
    int value = -1;
    std::memcpy(&value, buffer, sizeof value);
    EXPECT_EQ(value, expected);
    EXPECT_TRUE(pool.release(buffer));
    ++expected;
  }
  producer.join();
  EXPECT_EQ(expected, kItems);
}

TEST(DeviceThread, RunsTheHandlerOnItsOwnThreadUntilShutdown) {
  host::DeviceThread thread;
  std::atomic<bool> done{false};
  std::promise<std::thread::id> started;
  ASSERT_TRUE(thread.start([&] {
    started.set_value(std::this_thread::get_id());
    while (!done) std::this_thread::yield();
  }));
  auto id = started.get_future();
  ASSERT_EQ(id.wait_for(kDeadline), std::future_status::ready);
  EXPECT_NE(id.get(), std::this_thread::get_id());
  EXPECT_TRUE(thread.active());

  int shutdownCalls = 0;
  EXPECT_TRUE(thread.stop(
      [&] {
        ++shutdownCalls;
        done = true;
      },
      kDeadline));
  EXPECT_EQ(shutdownCalls, 1);
  EXPECT_FALSE(thread.active());
  EXPECT_FALSE(thread.threw());
}

TEST(DeviceThread, RestartsAfterTheHandlerReturnedOnItsOwn) {
  host::DeviceThread thread;
  std::atomic<int> runs{0};
  ASSERT_TRUE(thread.start([&] { ++runs; }));
  EXPECT_TRUE(thread.stop(nullptr, kDeadline));
  ASSERT_TRUE(thread.start([&] { ++runs; }));
  EXPECT_TRUE(thread.stop(nullptr, kDeadline));
  EXPECT_EQ(runs, 2);
  EXPECT_TRUE(thread.stop(nullptr, kDeadline));  // nothing left to stop
}

TEST(DeviceThread, HandlerThatNeverReturnsIsLeftAfterTheBoundedWait) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::promise<void> ended;
  auto end = ended.get_future();
  {
    host::DeviceThread thread;
    ASSERT_TRUE(thread.start([released, &ended] {
      released.wait();
      ended.set_value();
    }));
    EXPECT_FALSE(thread.stop([] {}, std::chrono::milliseconds(20)));
    EXPECT_TRUE(thread.stuck());
    EXPECT_FALSE(thread.start([] {}));
    EXPECT_FALSE(thread.stop([] {}, kDeadline));
  }
  release.set_value();
  EXPECT_EQ(end.wait_for(kDeadline), std::future_status::ready);
}

TEST(DeviceThread, ExceptionFromTheHandlerIsCaught) {
  host::DeviceThread thread;
  ASSERT_TRUE(thread.start([] { throw std::runtime_error("device failed"); }));
  EXPECT_TRUE(thread.stop(nullptr, kDeadline));
  EXPECT_TRUE(thread.threw());
}

}  // namespace
