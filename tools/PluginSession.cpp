#include "PluginSession.h"

#include <host/HostScene.h>
#include <host/Plugins.h>
#include <host/SceneMayaAscii.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

std::size_t errorsTaken = 0;

bool writeText(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  file.close();
  return static_cast<bool>(file);
}

}  // namespace

std::string PluginSession::programDirectory() {
  char self[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (length <= 0) return ".";
  std::string directory(self, static_cast<std::size_t>(length));
  return directory.substr(0, directory.find_last_of('/'));
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
  const std::vector<std::string> shown = host::errors();
  // A reset scene forgets its errors; then every error is new.
  if (errorsTaken > shown.size()) errorsTaken = 0;
  std::string joined;
  for (std::size_t i = errorsTaken; i < shown.size(); ++i) {
    joined += (joined.empty() ? "" : "; ") + shown[i];
  }
  errorsTaken = shown.size();
  return joined;
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
