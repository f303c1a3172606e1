#include "PluginSession.h"

#include <host/HostScene.h>
#include <host/Plugins.h>
#include <host/SceneMayaAscii.h>

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "ProcessPlatform.h"

namespace {

std::size_t errorsTaken = 0;
std::size_t warningsTaken = 0;

// The messages after the first `taken`, which then counts them all. A reset scene forgets its
// messages; then every message is new.
std::vector<std::string> takeNew(const std::vector<std::string>& shown, std::size_t& taken) {
  if (taken > shown.size()) taken = 0;
  std::vector<std::string> fresh(shown.begin() + static_cast<std::ptrdiff_t>(taken), shown.end());
  taken = shown.size();
  return fresh;
}

bool writeText(const std::string& path, const std::string& text) {
  std::ofstream file(std::filesystem::u8path(path), std::ios::binary);
  file << text;
  file.close();
  return static_cast<bool>(file);
}

}  // namespace

std::string PluginSession::programPath() { return processPlatform::programPath(); }

std::string PluginSession::programDirectory() {
  const std::string path = programPath();
  return path.empty() ? "." : std::filesystem::u8path(path).parent_path().u8string();
}

std::string PluginSession::helperProgram(const std::string& name) {
  return programDirectory() + "/marvik-" + name + MARVIK_EXECUTABLE_SUFFIX;
}

std::string PluginSession::modulePath() {
  if (const std::optional<std::string> path = processPlatform::environment("MARVIK_PLUGIN")) {
    return *path;
  }
  return programDirectory() + "/../plug-ins/" + MARVIK_MODULE_FILE;
}

bool PluginSession::load(std::string& error) {
  const std::string path = modulePath();
  host::PluginInfo loaded;
  if (!host::pluginInfo(path, loaded)) {
    std::error_code missing;
    if (!std::filesystem::exists(std::filesystem::u8path(path), missing)) {
      error = "no plug-in module at " + path + " (build the marvikMocap target)";
      return false;
    }
    if (!host::loadPlugin(path)) {
      error = "cannot load the plug-in module " + path + ": " + takeErrors();
      return false;
    }
  }
  takeErrors();
  return true;
}

void PluginSession::end() { host::exitSession(); }

std::string PluginSession::takeErrors() {
  std::string joined;
  for (const std::string& error : takeNew(host::errors(), errorsTaken)) {
    joined += (joined.empty() ? "" : "; ") + error;
  }
  return joined;
}

std::vector<std::string> PluginSession::takeWarnings() {
  return takeNew(host::warnings(), warningsTaken);
}

bool PluginSession::writeScene(const char* program, const std::string& json, const std::string& ma,
                               const char* wrote) {
  bool written = true;
  auto report = [&](const std::string& path, bool ok) {
    if (ok) {
      std::printf("%s%s\n", wrote, path.c_str());
    } else {
      std::fprintf(stderr, "%s: cannot write %s\n", program, path.c_str());
      written = false;
    }
  };
  if (!json.empty()) report(json, writeText(json, host::sceneJson()));
  if (!ma.empty()) report(ma, host::writeSceneMayaAscii(ma));
  return written;
}

std::optional<std::string> PluginSession::bvhOptions(const std::optional<std::string>& given) {
  // An empty string is the translator's own case: it reads nothing.
  if (!given || given->empty()) return given;
  std::string defaults;
  if (!host::translatorDefaultOptions("BVH", defaults) || defaults.empty()) return given;
  return defaults + ";" + *given;
}
