#include "runtime/Session.h"

#include <host/Plugins.h>

namespace host {

Session& Session::instance() {
  static Session& session = *new Session;
  return session;
}

void Session::reset(Reset what) {
  scene.empty();
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

std::chrono::milliseconds Session::joinTimeout() const {
  return std::chrono::milliseconds(joinTimeoutMilliseconds.load());
}

void Session::setJoinTimeout(std::chrono::milliseconds timeout) {
  joinTimeoutMilliseconds = timeout.count();
}

}  // namespace host
