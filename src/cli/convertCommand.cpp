// marvik convert: many BVH files to Maya scenes, through worker processes that each load the
// plug-in into the host once. The host and the module's stream client are process-wide, so the
// work is split across processes, not threads; a worker that dies costs only its current file.
#include <host/HostScene.h>
#include <host/Interrupts.h>
#include <host/Plugins.h>
#include <host/SceneMayaAscii.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "ContactSheet.h"
#include "ConvertPlan.h"
#include "PluginSession.h"
#include "ProcessPlatform.h"
#include "ScenePreview.h"
#include "StopSignals.h"
#include "marvikCommands.h"

namespace {

using Clock = std::chrono::steady_clock;

// Records of a worker, each a kind letter and a text. The parent sends a file as four texts:
// the input, the Maya ASCII, JSON and thumbnail outputs (each empty when not wanted).
constexpr char kReady = 'R';          // the plug-in is loaded; send a file
constexpr char kFatal = 'X';          // the plug-in cannot be loaded: the text says why
constexpr char kWarning = 'W';        // one of the translator's warnings on the current file
constexpr char kFileConverted = 'D';  // the current file is converted
constexpr char kFileFailed = 'F';     // the current file failed: the text says why
const char kCrashed[] = "the converter crashed";
const char kName[] = "marvik convert";
// A worker whose output has ended is exiting: this bounds the wait for it.
constexpr std::chrono::seconds kWorkerExitTimeout{10};

// What a shell reports for a program ended by Ctrl-C.
constexpr int kInterruptedExit = 130;

struct Outcome {
  enum State { kPending, kConverted, kSkipped, kFailed } state = kPending;
  std::string message;
  std::vector<std::string> warnings;
};

int usageError(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n%s", kName, message.c_str(), kMarvikUsage);
  return 2;
}

bool parseCount(const std::string& text, unsigned int& value) {
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = static_cast<unsigned int>(std::stoul(text));
  return true;
}

std::string duration(double seconds) {
  const long total = static_cast<long>(seconds + 0.5);
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  }
  return text;
}

// Files done so far: a bar redrawn on standard error on a terminal, else a line per file on
// standard output.
class Progress {
 public:
  Progress(std::size_t files, std::uint64_t totalBytes)
      : total(files), bytesLeft(totalBytes), terminal(processPlatform::isTerminal(stderr)) {}

  void finished(const std::string& path, const Outcome& outcome, std::uint64_t bytes) {
    ++done;
    failed += outcome.state == Outcome::kFailed;
    bytesDone += bytes;
    bytesLeft -= std::min(bytesLeft, bytes);
    if (terminal) {
      draw(true);
      return;
    }
    std::printf("[%zu/%zu] %s %s", done, total,
                outcome.state == Outcome::kConverted ? "converted" : "failed", path.c_str());
    if (!outcome.warnings.empty()) {
      std::printf(" (%zu warning%s)", outcome.warnings.size(),
                  outcome.warnings.size() == 1 ? "" : "s");
    }
    std::printf("\n");
    std::fflush(stdout);
  }

  // Redraws the bar now and then, so the rate and time left move while a long file converts.
  void tick() { draw(false); }

  void clear() {
    if (terminal && drawn) std::fputs("\r\033[K", stderr);
  }

  double elapsed() const { return std::chrono::duration<double>(Clock::now() - start).count(); }

 private:
  void draw(bool now) {
    if (!terminal || total == 0) return;
    const Clock::time_point at = Clock::now();
    if (!now && at - lastDraw < std::chrono::milliseconds(200)) return;
    lastDraw = at;
    drawn = true;
    const double seconds = elapsed();
    const int filled = static_cast<int>(done * kWidth / total);
    std::string left = "--";
    if (bytesDone > 0) {
      left = duration(seconds * static_cast<double>(bytesLeft) / static_cast<double>(bytesDone));
    } else if (done > 0) {
      left = duration(seconds * static_cast<double>(total - done) / static_cast<double>(done));
    }
    std::fprintf(stderr, "\r\033[K[%s%s] %zu/%zu files, %zu failed, %.1f files/s, %s left",
                 std::string(filled, '#').c_str(), std::string(kWidth - filled, '.').c_str(), done,
                 total, failed, seconds > 0 ? static_cast<double>(done) / seconds : 0.0,
                 left.c_str());
    std::fflush(stderr);
  }

  static constexpr std::size_t kWidth = 30;
  std::size_t total;
  std::size_t done = 0;
  std::size_t failed = 0;
  std::uint64_t bytesDone = 0;
  std::uint64_t bytesLeft;
  bool terminal;
  bool drawn = false;
  Clock::time_point start = Clock::now();
  Clock::time_point lastDraw;
};

struct ConvertRequest {
  unsigned int jobs = 0;
  std::string out;
  std::optional<std::string> options;
  bool ma = false;
  bool json = false;
  bool force = false;
  bool preview = false;
  bool bvh = false;
  unsigned int shard = 0;
  unsigned int shards = 1;
  std::vector<std::pair<bool, std::string>> inputs;  // (is a list file, path)
};

// One worker process and the file it holds, if any.
struct Slot {
  std::unique_ptr<ChildProcess> process;
  bool loaded = false;  // it has loaded the plug-in
  bool closed = false;  // it takes no more files
  bool busy = false;
  std::size_t job = 0;
};

// Runs the queued files through the workers, filling their outcomes; the reason when the workers
// cannot run at all, else empty.
std::string convertQueued(const ConvertRequest& request, const ConvertPlan& plan,
                          std::deque<std::size_t> queue, std::vector<Outcome>& outcomes,
                          Progress& progress, StopSignals& stops) {
  std::vector<std::string> argv{PluginSession::programPath(), "convert-worker"};
  if (request.options) {
    argv.push_back("--options");
    argv.push_back(*request.options);
  }
  std::string fatal;
  auto start = [&](Slot& slot) {
    slot = Slot();
    slot.process = std::make_unique<ChildProcess>();
    if (!slot.process->start(argv, ChildProcess::Input::kPipe, ChildProcess::Errors::kDiscarded)) {
      fatal = "cannot start a worker: " + slot.process->failure();
      slot.process.reset();
    }
  };
  auto finish = [&](Slot& slot, Outcome::State state, const std::string& message) {
    Outcome& outcome = outcomes[slot.job];
    outcome.state = state;
    outcome.message = message;
    progress.finished(plan.files[slot.job].input, outcome, plan.files[slot.job].bytes);
    slot.busy = false;
  };

  std::vector<Slot> slots(std::min<std::size_t>(request.jobs, queue.size()));
  for (Slot& slot : slots) start(slot);
  for (;;) {
    // Ctrl-C: no more files; the workers, which had it too, cancel theirs.
    if (stops.stopped()) queue.clear();
    for (Slot& slot : slots) {
      if (!slot.process || !slot.loaded || slot.busy || slot.closed) continue;
      if (queue.empty() || !fatal.empty()) {
        slot.process->closeInput();
        slot.closed = true;
        continue;
      }
      const ConvertPlan::File& file = plan.files[queue.front()];
      if (slot.process->send({file.input, file.ma, file.json, file.png, file.bvh})) {
        slot.job = queue.front();
        slot.busy = true;
        queue.pop_front();
      } else {
        // It has ended without taking the file; its end arrives on its output.
        slot.closed = true;
      }
    }

    std::vector<Slot*> polled;
    std::vector<ChildProcess*> processes;
    for (Slot& slot : slots) {
      if (slot.process && !slot.process->outputEnded()) {
        polled.push_back(&slot);
        processes.push_back(slot.process.get());
      }
    }
    if (polled.empty()) break;
    ChildProcess::waitForOutput(processes, std::chrono::milliseconds(200));
    for (Slot* polledSlot : polled) {
      Slot& slot = *polledSlot;
      std::vector<std::string> records;
      const bool open = slot.process->receive(records);
      for (const std::string& record : records) {
        const char kind = record.empty() ? '\0' : record[0];
        const std::string text = record.empty() ? std::string() : record.substr(1);
        if (kind == kReady) {
          slot.loaded = true;
        } else if (kind == kFatal && fatal.empty()) {
          fatal = text;
        } else if (kind == kWarning && slot.busy) {
          outcomes[slot.job].warnings.push_back(text);
        } else if (kind == kFileConverted && slot.busy) {
          finish(slot, Outcome::kConverted, std::string());
        } else if (kind == kFileFailed && slot.busy) {
          finish(slot, Outcome::kFailed, text);
        }
      }
      if (open) continue;
      const int code = slot.process->wait(kWorkerExitTimeout);
      slot.process.reset();
      if (slot.busy) {
        outcomes[slot.job].warnings.clear();
        finish(slot, Outcome::kFailed, kCrashed);
      }
      // A worker that dies before it is ready would die again: stop rather than start more.
      if (!slot.loaded && fatal.empty()) {
        fatal =
            "a worker ended before loading the plug-in (exit code " + std::to_string(code) + ")";
      }
      if (!queue.empty() && fatal.empty()) start(slot);
    }
    progress.tick();
  }
  return fatal;
}

std::string filesText(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " file" : " files");
}

int runConvert(const ConvertRequest& request) {
  // Before the workers and their threads, which inherit what it blocks.
  StopSignals stops;
  ConvertPlan plan(request.out);
  for (const auto& [isList, path] : request.inputs) {
    std::string error;
    if (!isList) {
      plan.add(path);
    } else if (!plan.addList(path, error)) {
      std::fprintf(stderr, "%s: %s\n", kName, error.c_str());
      return 1;
    }
  }
  plan.select(request.shard, request.shards, request.ma || (!request.json && !request.bvh),
              request.json, request.force, request.preview, request.bvh);

  std::vector<Outcome> outcomes(plan.files.size());
  std::deque<std::size_t> queue;
  std::uint64_t queuedBytes = 0;
  for (std::size_t i = 0; i < plan.files.size(); ++i) {
    const ConvertPlan::File& file = plan.files[i];
    if (!file.problem.empty()) {
      outcomes[i] = {Outcome::kFailed, file.problem, {}};
    } else if (file.upToDate) {
      outcomes[i].state = Outcome::kSkipped;
    } else {
      queue.push_back(i);
      queuedBytes += file.bytes;
    }
  }

  Progress progress(queue.size(), queuedBytes);
  const std::string fatal = queue.empty()
                                ? std::string()
                                : convertQueued(request, plan, queue, outcomes, progress, stops);
  progress.clear();
  if (!fatal.empty()) {
    std::fprintf(stderr, "%s: %s\n", kName, fatal.c_str());
    return 1;
  }

  std::size_t counts[4] = {};
  std::size_t warnings = 0;
  for (const Outcome& outcome : outcomes) {
    ++counts[outcome.state];
    warnings += outcome.warnings.size();
  }
  const double seconds = progress.elapsed();
  std::printf("%s: %s in %.1f s, %.1f files/s\n", kName, filesText(plan.files.size()).c_str(),
              seconds, seconds > 0 ? static_cast<double>(queue.size()) / seconds : 0.0);
  std::printf("  converted      %zu\n", counts[Outcome::kConverted]);
  std::printf("  skipped        %zu\n", counts[Outcome::kSkipped]);
  std::printf("  failed         %zu\n", counts[Outcome::kFailed]);
  std::printf("  warnings       %zu\n", warnings);
  if (counts[Outcome::kPending] > 0) {
    std::printf("  interrupted    %zu not converted (Ctrl-C)\n", counts[Outcome::kPending]);
  }
  if (counts[Outcome::kFailed] > 0) std::printf("failed:\n");
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    if (outcomes[i].state == Outcome::kFailed) {
      std::printf("  %s: %s\n", plan.files[i].input.c_str(), outcomes[i].message.c_str());
    }
  }
  if (warnings > 0) std::printf("warnings:\n");
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    for (const std::string& warning : outcomes[i].warnings) {
      std::printf("  %s: %s\n", plan.files[i].input.c_str(), warning.c_str());
    }
  }
  if (stops.stopped()) return kInterruptedExit;
  return counts[Outcome::kFailed] > 0 ? 1 : 0;
}

// A worker's records to the parent, on standard output.
void sendRecords(const std::string& records) {
  std::fwrite(records.data(), 1, records.size(), stdout);
  std::fflush(stdout);
}

std::string record(char kind, const std::string& text) {
  return std::string(1, kind) + text + std::string(1, '\0');
}

// Writes through a hidden file beside the target, renamed over it once complete, so that a
// worker dying mid-write never leaves a partial scene that looks newer than its input. The
// reason on failure, else empty.
std::string writeOutput(const std::string& path, const std::string& text) {
  namespace fs = std::filesystem;
  const fs::path target = fs::u8path(path);
  std::error_code error;
  if (target.has_parent_path()) fs::create_directories(target.parent_path(), error);
  const fs::path partial =
      target.parent_path() / fs::u8path("." + target.filename().u8string() + "." +
                                        std::to_string(processPlatform::processId()) + ".part");
  std::ofstream file(partial, std::ios::binary);
  file << text;
  file.close();
  if (file) fs::rename(partial, target, error);
  if (file && !error) return std::string();
  const std::string reason = file ? error.message() : std::string(std::strerror(errno));
  fs::remove(partial, error);
  return "cannot write " + path + ": " + reason;
}

// The scene's skeleton through the translator's writer, into a folder made for it; what went
// wrong, else empty.
std::string exportSkeleton(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::u8path(path).parent_path(), error);
  const MStatus status = host::exportFile(path, "BVH");
  const std::string errors = PluginSession::takeErrors();
  if (status) return std::string();
  return errors.empty() ? std::string(status.errorString().asUTF8()) : errors;
}

// Reads the next `count` records from standard input; false at its end.
bool readJob(std::vector<std::string>& fields, std::size_t count) {
  fields.clear();
  std::string field;
  while (fields.size() < count) {
    const int c = std::getc(stdin);
    if (c == EOF) return false;
    if (c == '\0') {
      fields.push_back(field);
      field.clear();
    } else {
      field += static_cast<char>(c);
    }
  }
  return true;
}

void convertOne(const std::vector<std::string>& job, const std::optional<std::string>& options) {
  const std::string& input = job[0];
  const MStatus status = host::openFile(input, "BVH", PluginSession::bvhOptions(options));
  const std::string errors = PluginSession::takeErrors();
  std::string reply;
  for (const std::string& warning : PluginSession::takeWarnings()) {
    reply += record(kWarning, warning);
  }
  std::string problem;
  if (!status) {
    problem = errors.empty() ? status.errorString().asUTF8() : errors;
  } else {
    if (!job[1].empty()) {
      problem = writeOutput(
          job[1], host::sceneMayaAscii(std::filesystem::u8path(job[1]).filename().u8string()));
    }
    if (problem.empty() && !job[2].empty()) problem = writeOutput(job[2], host::sceneJson());
    if (problem.empty() && !job[3].empty()) {
      PreviewRequest strip;
      strip.title = std::filesystem::path(input).filename().string();
      strip.frames = 4;
      strip.ends = false;
      strip.width = 480;
      strip.height = 160;
      // Walks, runs and jumps, most of a library, show best from the side.
      strip.views = {ContactSheet::View::kSide};
      // Beside the scene written just before, whose folder is made.
      problem = writeScenePreview(job[3], strip);
    }
    if (problem.empty() && !job[4].empty()) problem = exportSkeleton(job[4]);
  }
  reply += problem.empty() ? record(kFileConverted, "") : record(kFileFailed, problem);
  sendRecords(reply);
}

}  // namespace

int convertCommand(const std::vector<std::string>& args) {
  ConvertRequest request;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--jobs" && hasValue) {
      if (!parseCount(args[++i], request.jobs) || request.jobs == 0) {
        return usageError("--jobs takes a number of processes, not " + args[i]);
      }
    } else if (arg == "--out" && hasValue) {
      request.out = args[++i];
    } else if (arg == "--options" && hasValue) {
      request.options = args[++i];
    } else if (arg == "--list" && hasValue) {
      request.inputs.emplace_back(true, args[++i]);
    } else if (arg == "--shard" && hasValue) {
      const std::string& shard = args[++i];
      const std::size_t slash = shard.find('/');
      if (slash == std::string::npos || !parseCount(shard.substr(0, slash), request.shard) ||
          !parseCount(shard.substr(slash + 1), request.shards) || request.shards == 0 ||
          request.shard >= request.shards) {
        return usageError("--shard takes I/N with 0 <= I < N, not " + shard);
      }
    } else if (arg == "--ma") {
      request.ma = true;
    } else if (arg == "--json") {
      request.json = true;
    } else if (arg == "--bvh") {
      request.bvh = true;
    } else if (arg == "--force") {
      request.force = true;
    } else if (arg == "--preview") {
      if (!ContactSheet::available()) {
        std::fprintf(stderr,
                     "%s: --preview is not in this build: pictures need Cairo, which it "
                     "was built without\n",
                     kName);
        return 2;
      }
      request.preview = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usageError("unknown option " + arg);
    } else {
      request.inputs.emplace_back(false, arg);
    }
  }
  if (request.inputs.empty()) return usageError("which files?");
  if (request.jobs == 0) request.jobs = processPlatform::usableCores();
  return runConvert(request);
}

int convertWorkerCommand(const std::vector<std::string>& args) {
  // Ctrl-C reaches the workers with the parent: the file in hand is cancelled, as Esc cancels
  // an import in Maya, and the worker ends.
  StopSignals stops;
  std::optional<std::string> options;
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "--options") options = args[++i];
  }
  std::string error;
  if (!PluginSession::load(error)) {
    sendRecords(record(kFatal, error));
    return 1;
  }
  sendRecords(record(kReady, ""));
  host::setInterruptSource([&stops] { return stops.stopped(); });
  std::vector<std::string> job;
  while (!stops.stopped() && readJob(job, 5)) convertOne(job, options);
  host::setInterruptSource(nullptr);
  PluginSession::end();
  return 0;
}
