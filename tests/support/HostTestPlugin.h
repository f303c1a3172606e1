#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <variant>
#include <vector>

#include "host/HostScene.h"
#include "host/Plugins.h"
#include "support/Platform.h"

namespace support {

// The test plug-in of tests/host/plugin, loaded by the host: reads what its classes recorded
// through the functions it exports for tests. The path comes from the build (HOST_TEST_PLUGIN).
class HostTestPlugin {
 public:
  static std::string path() { return HOST_TEST_PLUGIN; }

  // The events so far; empty when the plug-in is not loaded.
  static std::vector<std::string> events() {
    std::vector<std::string> lines;
    call<const char* (*)()>("hostTestEvents", [&](auto function) {
      std::string text = function();
      std::string::size_type start = 0;
      for (auto end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
      }
    });
    return lines;
  }

  static void clearEvents() {
    call<void (*)()>("hostTestClearEvents", [](auto function) { function(); });
  }

  // True once event was recorded count times, false after timeoutMs without.
  static bool waitFor(const std::string& event, int count = 1, int timeoutMs = 10000) {
    bool seen = false;
    call<int (*)(const char*, int, int)>("hostTestWaitForEvent", [&](auto function) {
      seen = function(event.c_str(), count, timeoutMs) != 0;
    });
    return seen;
  }

  static void releaseStuck() {
    call<void (*)()>("hostTestReleaseStuck", [](auto function) { function(); });
  }

  static void openGate() {
    call<void (*)()>("hostTestOpenGate", [](auto function) { function(); });
  }

 private:
  // Finds the function in the loaded plug-in without loading it again.
  template <typename Function, typename Use>
  static void call(const char* name, Use use) {
    LoadedLibrary library(path());
    if (void* symbol = library.symbol(name)) use(reinterpret_cast<Function>(symbol));
  }
};

// A fresh scene with the test plug-in loaded; each test ends its session (scene emptied,
// plug-ins unloaded).
class HostTestPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::resetScene();
    ASSERT_TRUE(host::loadPlugin(HostTestPlugin::path()));
  }
  void TearDown() override {
    host::exitSession();
    host::resetScene();
  }
};

// The value of a three-double plug ("node.attribute"); -1s and a test failure otherwise.
inline std::array<double, 3> vectorAttribute(const std::string& plug) {
  host::Value value;
  EXPECT_TRUE(host::getAttribute(plug, value)) << plug;
  auto vector = std::get_if<std::array<double, 3>>(&value);
  return vector ? *vector : std::array<double, 3>{-1, -1, -1};
}

}  // namespace support
