// processProbe: a child for childProcessTest, doing what its first argument says.
//   args ...       writes each further argument, NUL-terminated, to standard output
//   echo           answers each NUL-terminated record on standard input with "got <record>";
//                  at the end of its input writes "bye\n" to standard error and exits with 3
//   exit N         closes its input, writes "gone\n" to standard error and exits with N
//   stop           writes "ready <process id>\n", then "stopped\n" once Ctrl-C comes; exits
//                  with 2 if none comes within a minute
//   hang           writes "ready <process id>\n" and exits with 2 after a minute
//   instead ...    runs the probe with the further arguments in its stead
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "ProcessPlatform.h"
#include "StopSignals.h"

namespace {

constexpr auto kPatience = std::chrono::minutes(1);

void ready() {
  std::printf("ready %d\n", processPlatform::processId());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = processPlatform::startProgram(argc, argv);
  const std::string mode = args.empty() ? "" : args[0];
  if (mode == "args") {
    for (std::size_t i = 1; i < args.size(); ++i) {
      std::fwrite(args[i].c_str(), 1, args[i].size() + 1, stdout);
    }
    return 0;
  }
  if (mode == "echo") {
    std::string record;
    for (int c = std::getc(stdin); c != EOF; c = std::getc(stdin)) {
      if (c != '\0') {
        record += static_cast<char>(c);
        continue;
      }
      const std::string answer = "got " + record;
      std::fwrite(answer.c_str(), 1, answer.size() + 1, stdout);
      std::fflush(stdout);
      record.clear();
    }
    std::fputs("bye\n", stderr);
    return 3;
  }
  if (mode == "exit" && args.size() == 2) {
    // Before its output ends: a process that exits may close its output first.
    std::fclose(stdin);
    std::fputs("gone\n", stderr);
    return std::atoi(args[1].c_str());
  }
  if (mode == "stop") {
    StopSignals stops;
    ready();
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
      if (stops.waitBriefly()) {
        std::printf("stopped\n");
        return 0;
      }
    }
    return 2;
  }
  if (mode == "hang") {
    ready();
    std::this_thread::sleep_for(kPatience);
    return 2;
  }
  if (mode == "instead") {
    std::vector<std::string> probe{processPlatform::programPath()};
    probe.insert(probe.end(), args.begin() + 1, args.end());
    std::string error;
    if (const auto code = processPlatform::runInstead(probe, error)) return *code;
    std::fprintf(stderr, "processProbe: %s\n", error.c_str());
    return 1;
  }
  std::fprintf(stderr, "processProbe: no mode %s\n", mode.c_str());
  return 1;
}
