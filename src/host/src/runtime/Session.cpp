#include "runtime/Session.h"

#include <host/Plugins.h>

namespace host {

Session& Session::instance() {
  static Session& session = *new Session;
  return session;
}

void Session::reset(Reset what) {
  scene.empty();
  // As File > New in Maya: the undo queue goes with the scene.
  flushUndo();
  if (what == Reset::kFreshScene) {
    scene.forgetErrors();
    interrupts = Interrupts();
  }
  if (what != Reset::kExit) return;
  auto loaded = plugins.plugins;
  for (auto plugin = loaded.rbegin(); plugin != loaded.rend(); ++plugin) {
    unloadPlugin((*plugin)->name);
  }
}

void Session::flushUndo(const PluginRecord* plugin) {
  std::vector<Undoable> flushed;
  for (auto it = undoQueue.begin(); it != undoQueue.end();) {
    if (plugin == nullptr || it->plugin == plugin) {
      flushed.push_back(*it);
      it = undoQueue.erase(it);
    } else {
      ++it;
    }
  }
  for (const Undoable& entry : flushed) {
    try {
      delete entry.proxy;
    } catch (...) {
    }
  }
}

std::chrono::milliseconds Session::joinTimeout() const {
  return std::chrono::milliseconds(joinTimeoutMilliseconds.load());
}

void Session::setJoinTimeout(std::chrono::milliseconds timeout) {
  joinTimeoutMilliseconds = timeout.count();
}

}  // namespace host
