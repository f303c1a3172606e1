#include "PluginSession.h"

#include <host/HostScene.h>
#include <host/Plugins.h>
#include <host/SceneMayaAscii.h>
#include <limits.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

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
  std::ofstream file(path, std::ios::binary);
  file << text;
  file.close();
  return static_cast<bool>(file);
}

}  // namespace

std::string PluginSession::programPath() {
  char self[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof(self) - 1);
  return length <= 0 ? std::string() : std::string(self, static_cast<std::size_t>(length));
}

std::string PluginSession::programDirectory() {
  const std::string path = programPath();
  return path.empty() ? "." : path.substr(0, path.find_last_of('/'));
}

std::string PluginSession::modulePath() {
  if (const char* path = std::getenv("MARVIK_PLUGIN")) return path;
  return programDirectory() + "/../plug-ins/marvikMocap.so";
}

bool PluginSession::load(std::string& error) {
  const std::string path = modulePath();
  host::PluginInfo loaded;
  if (!host::pluginInfo(path, loaded)) {
    if (::access(path.c_str(), R_OK) != 0) {
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
