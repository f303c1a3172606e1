#include <host/HostScene.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "ChildProcess.h"
#include "ContactSheet.h"
#include "PluginSession.h"
#include "ScenePreview.h"
#include "marvikCommands.h"

namespace {

const char kName[] = "marvik demo";

int usageError(const std::string& message) {
  std::fprintf(stderr, "%s: %s\n%s", kName, message.c_str(), kMarvikUsage);
  return 2;
}

std::string baseName(const std::string& path) {
  return std::filesystem::u8path(path).stem().u8string();
}

// The scene's joints as a contact sheet; false, having said why, when it cannot be written.
bool drawScene(const std::string& path, const std::string& title) {
  if (!ContactSheet::available()) return true;
  PreviewRequest request;
  request.title = title;
  const std::string error = writeScenePreview(path, request);
  if (error.empty()) return true;
  std::fprintf(stderr, "%s: %s\n", kName, error.c_str());
  return false;
}

}  // namespace

int demoCommand(const std::vector<std::string>& args) {
  std::string sample = MARVIK_SAMPLE;
  std::string out = "out";
  double seconds = 3;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--sample" && hasValue) {
      sample = args[++i];
    } else if (args[i] == "--out" && hasValue) {
      out = args[++i];
    } else if (args[i] == "--seconds" && hasValue) {
      char* end = nullptr;
      seconds = std::strtod(args[++i].c_str(), &end);
      if (*end != '\0' || !(seconds > 0)) return usageError("bad time " + args[i]);
    } else {
      return usageError("unknown option " + args[i]);
    }
  }
  std::error_code made;
  std::filesystem::create_directory(std::filesystem::u8path(out), made);
  if (made) {
    std::fprintf(stderr, "%s: cannot make %s: %s\n", kName, out.c_str(), made.message().c_str());
    return 1;
  }

  // The server runs as its own process: it holds the message classes that the plug-in
  // brings along too, and one process cannot register them twice.
  ChildProcess server;
  const std::string serve = PluginSession::helperProgram("serve");
  if (!server.start({serve, sample, "--port", "0", "--bind", "127.0.0.1"})) {
    std::fprintf(stderr, "%s: cannot start %s\n", kName, serve.c_str());
    return 1;
  }
  std::string line;
  const std::string listening = "marvik serve: listening on 127.0.0.1:";
  if (!server.waitForLine(listening, line, std::chrono::seconds(10))) {
    server.wait(std::chrono::seconds(5));
    std::fprintf(stderr, "%s: the server did not start: %s", kName, server.err.c_str());
    return 1;
  }
  const std::string port = std::to_string(std::atoi(line.c_str() + listening.size()));
  std::printf("%s: 1. serving %s on 127.0.0.1:%s (marvik serve)\n", kName, sample.c_str(),
              port.c_str());
  std::printf("%s: 2. a live session for %g s through the plug-in's netDevice node (marvik live)\n",
              kName, seconds);
  std::fflush(stdout);

  LiveRequest live;
  live.port = port;
  live.seconds = seconds;
  live.json = out + "/live.json";
  live.ma = out + "/live.ma";
  live.record = true;
  int result = liveSession(live);
  server.interrupt();
  server.wait(std::chrono::seconds(10));
  // The picture shows the take alone: drawn over it, the live skeleton hid it.
  for (const std::string& top : host::listNodes("transform")) {
    if (top.rfind("|Marvik", 0) == 0 && top.find('|', 1) == std::string::npos) {
      host::deleteNode(top);
    }
  }
  if (result == 0 && !drawScene(out + "/live.png", "live take")) result = 1;
  if (result != 0) {
    PluginSession::end();
    return result;
  }

  std::printf("%s: 3. importing %s through the plug-in's BVH translator (marvik import)\n", kName,
              sample.c_str());
  std::fflush(stdout);
  host::emptyScene();
  ImportRequest import;
  import.file = sample;
  import.json = out + "/" + baseName(sample) + ".json";
  import.ma = out + "/" + baseName(sample) + ".ma";
  result = importBvh(import);
  const std::string title = sample.substr(sample.find_last_of('/') + 1);
  if (result == 0 && !drawScene(out + "/" + baseName(sample) + ".png", title)) result = 1;
  PluginSession::end();
  if (result != 0) return result;
  std::printf(
      "%s: done. Look at %s/: live.ma holds the skeleton built from the stream with the frames\n"
      "  the live session evaluated as keys, and the take marvikMocapRecord recorded of every\n"
      "  frame streamed (<actor>_take1); %s.ma the imported file; open either in Maya 2022.\n"
      "  The .json files hold the same scenes as data.\n",
      kName, out.c_str(), baseName(sample).c_str());
  if (ContactSheet::available()) {
    std::printf(
        "  Pictures of both, without Maya: %s/live.png (the live take's keys) and %s/%s.png.\n",
        out.c_str(), out.c_str(), baseName(sample).c_str());
  } else {
    std::printf("  Pictures of them are not in this build: it was built without Cairo.\n");
  }
  return 0;
}
