#include <host/HostScene.h>
#include <host/Interrupts.h>
#include <host/Plugins.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MObject.h>
#include <maya/MTime.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "PluginSession.h"
#include "ProcessPlatform.h"
#include "StopSignals.h"
#include "marvikCommands.h"

namespace {

// Files below this size import too quickly for a progress bar to be worth drawing.
constexpr long long kProgressMinimumBytes = 4LL << 20;
// What a shell reports for a program ended by Ctrl-C.
constexpr int kInterruptedExit = 130;

// A progress bar on standard error while the translator reads a file: the translator reports
// no progress, so the bar follows the read offset of the file's descriptor in this process
// (where processPlatform::canReadOffsets()).
class ImportProgress {
 public:
  ImportProgress(const std::string& file, long long bytes) : path(file), size(bytes) {
    thread = std::thread([this] { run(); });
  }
  ~ImportProgress() {
    {
      std::lock_guard<std::mutex> lock(stateMutex);
      stopped = true;
    }
    stateChanged.notify_all();
    thread.join();
    std::fputs("\r\033[K", stderr);
  }

 private:
  void run() {
    std::unique_lock<std::mutex> lock(stateMutex);
    while (
        !stateChanged.wait_for(lock, std::chrono::milliseconds(100), [this] { return stopped; })) {
      const long long position = readPosition();
      const int percent =
          closed ? 100 : static_cast<int>(std::min(100LL, position * 100 / std::max(size, 1LL)));
      const int filled = percent * kWidth / 100;
      std::fprintf(stderr, "\r[%s%s] %3d%% %s", std::string(filled, '#').c_str(),
                   std::string(kWidth - filled, '.').c_str(), percent,
                   closed ? "building" : "reading");
      std::fflush(stderr);
    }
  }

  // The offset of a descriptor of this process open on the file; its last value when none is
  // (before the open, after the close, which ends the reading).
  long long readPosition() {
    const bool found = processPlatform::readOffset(path, last);
    opened = opened || found;
    closed = opened && !found;
    return last;
  }

  static constexpr int kWidth = 30;
  std::string path;
  long long size;
  long long last = 0;
  bool opened = false;
  bool closed = false;
  std::mutex stateMutex;
  std::condition_variable stateChanged;
  bool stopped = false;
  std::thread thread;
};

std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", value);
  return text;
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "marvik import: %s\n%s", message.c_str(), kMarvikUsage);
  return 2;
}

}  // namespace

int importBvh(const ImportRequest& request) {
  const char* name = request.program;
  std::ifstream probe(std::filesystem::u8path(request.file), std::ios::binary | std::ios::ate);
  if (!probe.is_open()) {
    std::fprintf(stderr, "%s: %s: %s\n", name, request.file.c_str(), std::strerror(errno));
    return 1;
  }
  const long long size = static_cast<long long>(probe.tellg());
  probe.close();

  // Before the progress bar's thread: Ctrl-C becomes the translator's interrupt, as Esc in Maya.
  StopSignals stops;
  std::string error;
  if (!PluginSession::load(error)) {
    std::fprintf(stderr, "%s: %s\n", name, error.c_str());
    return 1;
  }
  const std::vector<std::string> before = host::listNodes();
  const std::set<std::string> existing(before.begin(), before.end());
  const auto start = std::chrono::steady_clock::now();
  MStatus status;
  {
    std::unique_ptr<ImportProgress> progress;
    if (request.progress && size >= kProgressMinimumBytes && processPlatform::canReadOffsets() &&
        processPlatform::isTerminal(stderr)) {
      progress = std::make_unique<ImportProgress>(request.file, size);
    }
    host::setInterruptSource([&stops] { return stops.stopped(); });
    const std::optional<std::string> options = PluginSession::bvhOptions(request.options);
    status = request.open ? host::openFile(request.file, "BVH", options)
                          : host::importFile(request.file, "BVH", options);
    host::setInterruptSource(nullptr);
  }
  const double taken =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::string errors = PluginSession::takeErrors();
  const std::vector<std::string> warnings = PluginSession::takeWarnings();
  if (!status) {
    std::fprintf(stderr, "%s: %s: %s\n", name, request.file.c_str(),
                 errors.empty() ? status.errorString().asUTF8() : errors.c_str());
    return stops.stopped() ? kInterruptedExit : 1;
  }

  std::string top;
  int joints = 0;
  int curves = 0;
  unsigned long long keys = 0;
  unsigned int frames = 0;
  double first = 0;
  double last = 0;
  for (const std::string& node : host::listNodes()) {
    if (existing.count(node)) continue;
    const MObject object = host::findNode(node);
    if (object.hasFn(MFn::kJoint)) {
      ++joints;
    } else if (object.hasFn(MFn::kTransform) && node.find('|', 1) == std::string::npos) {
      top += (top.empty() ? "" : ", ") + node;
    } else if (object.hasFn(MFn::kAnimCurve)) {
      const MFnAnimCurve curve(object);
      const unsigned int count = curve.numKeys();
      if (count == 0) continue;
      const double begin = curve.time(0).as(MTime::kSeconds);
      const double end = curve.time(count - 1).as(MTime::kSeconds);
      first = curves == 0 ? begin : std::min(first, begin);
      last = curves == 0 ? end : std::max(last, end);
      frames = std::max(frames, count);
      keys += count;
      ++curves;
    }
  }
  std::printf("%s: %s\n", name, request.file.c_str());
  std::printf("  top transform  %s\n", top.empty() ? "(none)" : top.c_str());
  std::printf("  joints         %d\n", joints);
  std::printf("  frames         %u\n", frames);
  std::printf("  keys written   %llu on %d curves\n", keys, curves);
  if (curves > 0) {
    std::printf("  time range     %s to %s\n", seconds(first).c_str(), seconds(last).c_str());
  } else {
    std::printf("  time range     (no keys)\n");
  }
  std::printf("  time taken     %.3f s\n", taken);
  for (const std::string& warning : warnings) std::printf("  warning        %s\n", warning.c_str());

  // A Ctrl-C that came after the import's last poll still stops the program before it writes.
  if (stops.stopped()) {
    std::fprintf(stderr, "%s: interrupted: nothing written\n", name);
    return kInterruptedExit;
  }
  if (!PluginSession::writeScene(name, request.json, request.ma, "  wrote          ")) return 1;
  return exportBvh(request);
}

int exportBvh(const ImportRequest& request) {
  if (request.bvh.empty()) return 0;
  const MStatus status = host::exportFile(request.bvh, "BVH", request.bvhOptions);
  const std::string errors = PluginSession::takeErrors();
  if (!status) {
    std::fprintf(stderr, "%s: %s: %s\n", request.program, request.bvh.c_str(),
                 errors.empty() ? status.errorString().asUTF8() : errors.c_str());
    return 1;
  }
  std::printf("  exported       %s\n", request.bvh.c_str());
  return 0;
}

int importCommand(const std::vector<std::string>& args) {
  ImportRequest request;
  request.progress = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--options" && hasValue) {
      request.options = args[++i];
    } else if (arg == "--mode" && hasValue) {
      const std::string& mode = args[++i];
      if (mode != "import" && mode != "open") {
        return usageError("--mode takes import or open, not " + mode);
      }
      request.open = mode == "open";
    } else if (arg == "--json" && hasValue) {
      request.json = args[++i];
    } else if (arg == "--ma" && hasValue) {
      request.ma = args[++i];
    } else if (arg == "--bvh" && hasValue) {
      request.bvh = args[++i];
    } else if (arg == "--bvh-options" && hasValue) {
      request.bvhOptions = args[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usageError("unknown option " + arg);
    } else if (request.file.empty()) {
      request.file = arg;
    } else {
      return usageError("one file at a time");
    }
  }
  if (request.file.empty()) return usageError("which file?");
  const int result = importBvh(request);
  PluginSession::end();
  return result;
}
