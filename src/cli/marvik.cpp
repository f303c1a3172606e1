// marvik: command-line front of the plug-in module, loaded into the headless host.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "PluginSession.h"
#include "marvikCommands.h"

int main(int argc, char** argv) {
  const std::string command = argc < 2 ? "" : argv[1];
  if (command.empty() || command == "help" || command == "--help") {
    std::fputs(kMarvikUsage, command.empty() ? stderr : stdout);
    return command.empty() ? 2 : 0;
  }
  if (command == "serve" || command == "record") {
    // The server and the recorder are programs of their own: they carry the stream's message
    // classes, which a process that loads the plug-in must not register a second time.
    const std::string program = PluginSession::programDirectory() + "/marvik-" + command;
    std::vector<char*> args{const_cast<char*>(program.c_str())};
    for (int i = 2; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    ::execv(program.c_str(), args.data());
    std::fprintf(stderr, "marvik: cannot run %s: %s\n", program.c_str(), std::strerror(errno));
    return 1;
  }
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "import") return importCommand(args);
  if (command == "live") return liveCommand(args);
  if (command == "demo") return demoCommand(args);
  if (command == "convert") return convertCommand(args);
  if (command == "preview") return previewCommand(args);
  if (command == "convert-worker") return convertWorkerCommand(args);
  std::fprintf(stderr, "marvik: unknown command \"%s\"\n%s", command.c_str(), kMarvikUsage);
  return 2;
}
