#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "StopSignals.h"
#include "marvikCommands.h"
#include "stream/TakeRecorder.h"
#include "stream/protocolBufferProcess.h"

namespace {

const char kName[] = "marvik record";

int usageError(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n%s", kName, message.c_str(), kMarvikUsage);
  return 2;
}

bool parseNumber(const std::string& text, double low, double high, double& number) {
  char* end = nullptr;
  number = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && number >= low && number <= high;
}

}  // namespace

int recordCommand(const std::vector<std::string>& args) {
  std::string host = "127.0.0.1";
  double port = 7005;
  double seconds = 0;
  double framesPerSecond = 0;
  std::string out;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--host" && hasValue) {
      host = args[++i];
    } else if (arg == "--port" && hasValue) {
      if (!parseNumber(args[++i], 1, 65535, port) || port != static_cast<int>(port)) {
        return usageError("bad port " + args[i]);
      }
    } else if (arg == "--seconds" && hasValue) {
      if (!parseNumber(args[++i], 0.001, 1e9, seconds)) return usageError("bad time " + args[i]);
    } else if (arg == "--fps" && hasValue) {
      if (!parseNumber(args[++i], 0.001, 1e6, framesPerSecond)) {
        return usageError("bad rate " + args[i]);
      }
    } else if (arg == "--out" && hasValue) {
      out = args[++i];
    } else {
      return usageError("unknown option " + arg);
    }
  }
  if (out.empty()) return usageError("--out DIR is needed");
  std::error_code made;
  std::filesystem::create_directory(std::filesystem::u8path(out), made);
  if (made) {
    std::fprintf(stderr, "%s: cannot make %s: %s\n", kName, out.c_str(), made.message().c_str());
    return 1;
  }

  // Ctrl-C ends the take here, on this thread, before the receive thread exists.
  StopSignals stopSignals;

  const std::string address = host + ":" + std::to_string(static_cast<int>(port));
  // A file can hold frames that came before their actor's header once it arrives.
  TakeRecorder::Options options;
  options.keepFramesBeforeHeader = true;
  TakeRecorder recorder(options);
  protocolBufferProcess process;
  process.setListener(&recorder);
  bool connected = false;
  try {
    connected = process.connectToServer(host, static_cast<std::uint16_t>(port));
  } catch (const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kName, text.c_str());
    return 1;
  } catch (const char* text) {
    std::fprintf(stderr, "%s: %s\n", kName, text);
    return 1;
  }
  if (!connected) {
    process.closeSocket();
    std::fprintf(stderr, "%s: nothing listens on %s (start one with: marvik serve)\n", kName,
                 address.c_str());
    return 1;
  }
  process.startReceiveThread();
  std::printf("%s: recording from %s into %s; Ctrl-C ends the take\n", kName, address.c_str(),
              out.c_str());
  std::fflush(stdout);

  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  auto nextReport = start + std::chrono::seconds(1);
  int reports = 0;
  for (;;) {
    if (seconds > 0 && Clock::now() - start >= std::chrono::duration<double>(seconds)) break;
    if (stopSignals.waitBriefly()) break;
    if (Clock::now() >= nextReport) {
      nextReport += std::chrono::seconds(1);
      std::printf("%s: %d s, %llu frames; %s\n", kName, ++reports,
                  static_cast<unsigned long long>(recorder.progress().frames),
                  process.status().line().c_str());
      std::fflush(stdout);
    }
  }
  process.stopReceiveThread();
  process.closeSocket();
  process.setListener(nullptr);

  std::vector<TakeRecorder::Written> written;
  std::vector<std::string> problems;
  const std::vector<TakeRecorder::Take> takes = recorder.finish(framesPerSecond);
  for (const TakeRecorder::Dropped& actor : recorder.droppedBeforeHeader()) {
    problems.push_back(actor.actor + ": " + std::to_string(actor.frames) +
                       " frames came without a skeleton header they fit; not written");
  }
  for (const TakeRecorder::Take& take : takes) {
    if (take.mismatched == 0) continue;
    problems.push_back(take.actor + ": " + std::to_string(take.mismatched) +
                       " frames with another value count than its header left out");
  }
  const bool ok = TakeRecorder::write(out, takes, written, problems);
  for (const TakeRecorder::Written& file : written) {
    std::printf("%s: wrote %s (%s, %zu frames)\n", kName, file.path.c_str(), file.actor.c_str(),
                file.frames);
  }
  for (const std::string& problem : problems)
    std::fprintf(stderr, "%s: %s\n", kName, problem.c_str());
  if (written.empty() && problems.empty()) {
    std::fprintf(stderr, "%s: no frames arrived from %s\n", kName, address.c_str());
  }
  std::fflush(stdout);
  return ok && !written.empty() ? 0 : 1;
}
