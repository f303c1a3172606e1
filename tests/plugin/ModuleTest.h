#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <variant>

#include "host/HostScene.h"
#include "host/Plugins.h"

// Tests that load the built module into the headless host, as Maya loads it (MOCAP_MODULE).
namespace moduletest {

inline std::string modulePath() { return MOCAP_MODULE; }

// A fresh scene with the module loaded; each test ends its session (scene emptied, module
// unloaded). The module stays mapped after an unload, and with it the stream processor and
// what it received: a test must not take what it finds there for its own.
class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::resetScene();
    ASSERT_TRUE(host::loadPlugin(modulePath()));
  }
  void TearDown() override {
    host::exitSession();
    host::resetScene();
  }
};

using Vector = std::array<double, 3>;

// The value of a three-double plug ("node.attribute"); -1s when it cannot be read.
inline Vector vector(const std::string& plug) {
  host::Value value;
  if (!host::getAttribute(plug, value)) return {-1, -1, -1};
  auto values = std::get_if<Vector>(&value);
  return values ? *values : Vector{-1, -1, -1};
}

// Reads plug until it holds expected; false when it does not within timeout.
inline bool waitForVector(const std::string& plug, const Vector& expected,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (vector(plug) == expected) return true;
    std::this_thread::yield();
  }
  return false;
}

}  // namespace moduletest
