// marvik: command-line front of the motion-capture libraries and the plug-in.
#include <cstdio>
#include <string>
#include <vector>

#include "marvikCommands.h"

const char kMarvikUsage[] =
    "usage: marvik <command> [options]\n"
    "commands:\n"
    "  serve [FILE.bvh ...] [--port 7005] [--bind 127.0.0.1] [--fps N] [--compress gzip|zlib]\n"
    "        [--once] [--actors N]\n"
    "      serve each file as an actor (without files, N synthetic humanoids) to any number of\n"
    "      clients, looping at the file's frame rate or N frames/s; --once serves one client\n"
    "      each frame once and exits; Ctrl-C stops\n"
    "  demo [--lines N] [--compressed]\n"
    "      stream a synthetic actor over loopback through the client; print its header\n"
    "      text and N lines (default 5) of live joint values\n";

int main(int argc, char** argv) {
  const std::string command = argc < 2 ? "" : argv[1];
  if (command.empty() || command == "help" || command == "--help") {
    std::fputs(kMarvikUsage, command.empty() ? stderr : stdout);
    return command.empty() ? 2 : 0;
  }
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "serve") return serveCommand(args);
  if (command == "demo") return demoCommand(args);
  std::fprintf(stderr, "marvik: unknown command \"%s\"\n%s", command.c_str(), kMarvikUsage);
  return 2;
}
