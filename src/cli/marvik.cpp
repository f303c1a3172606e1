// marvik: command-line front of the plug-in module, loaded into the headless host.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "PluginSession.h"
#include "ProcessPlatform.h"
#include "marvikCommands.h"

int main(int argc, char** argv) {
  const std::vector<std::string> words = processPlatform::startProgram(argc, argv);
  const std::string command = words.empty() ? "" : words[0];
  if (command.empty() || command == "help" || command == "--help") {
    std::fputs(kMarvikUsage, command.empty() ? stderr : stdout);
    return command.empty() ? 2 : 0;
  }
  const std::vector<std::string> args(words.begin() + 1, words.end());
  if (command == "serve" || command == "record") {
    // The server and the recorder are programs of their own: they carry the stream's message
    // classes, which a process that loads the plug-in must not register a second time.
    std::vector<std::string> helper{PluginSession::helperProgram(command)};
    helper.insert(helper.end(), args.begin(), args.end());
    std::string error;
    if (const std::optional<int> code = processPlatform::runInstead(helper, error)) return *code;
    std::fprintf(stderr, "marvik: cannot run %s: %s\n", helper[0].c_str(), error.c_str());
    return 1;
  }
  if (command == "import") return importCommand(args);
  if (command == "live") return liveCommand(args);
  if (command == "demo") return demoCommand(args);
  if (command == "convert") return convertCommand(args);
  if (command == "preview") return previewCommand(args);
  if (command == "convert-worker") return convertWorkerCommand(args);
  std::fprintf(stderr, "marvik: unknown command \"%s\"\n%s", command.c_str(), kMarvikUsage);
  return 2;
}
