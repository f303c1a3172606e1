#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BvhActor.h"
#include "StopSignals.h"
#include "StreamServer.h"
#include "StreamSimulator.h"
#include "marvikCommands.h"

namespace {

int jointCount(const BrexPlugs::BVH_JOIN& joint) {
  int count = 1;
  for (const auto& child : joint.childjoin()) count += jointCount(child);
  return count;
}

bool parseNumber(const std::string& text, double low, double high, double& number) {
  char* end = nullptr;
  number = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && number >= low && number <= high;
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "marvik serve: %s\n%s", message.c_str(), kMarvikUsage);
  return 2;
}

}  // namespace

int serveCommand(const std::vector<std::string>& args) {
  StreamServer::Options options;
  options.port = 7005;
  std::vector<std::string> files;
  int syntheticActors = 1;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    double number = 0;
    if (arg == "--port" && hasValue) {
      if (!parseNumber(args[++i], 0, 65535, number)) return usageError("bad port " + args[i]);
      options.port = static_cast<std::uint16_t>(number);
    } else if (arg == "--bind" && hasValue) {
      options.bindAddress = args[++i];
    } else if (arg == "--fps" && hasValue) {
      if (!parseNumber(args[++i], 0.01, 100000, number)) return usageError("bad rate " + args[i]);
      options.framesPerSecond = number;
    } else if (arg == "--compress" && hasValue) {
      const std::string& kind = args[++i];
      if (kind == "gzip") {
        options.compression = PacketCodec::Compression::kGzip;
      } else if (kind == "zlib") {
        options.compression = PacketCodec::Compression::kZlib;
      } else {
        return usageError("--compress takes gzip or zlib, not " + kind);
      }
    } else if (arg == "--actors" && hasValue) {
      if (!parseNumber(args[++i], 1, 5, number)) return usageError("bad actor count " + args[i]);
      syntheticActors = static_cast<int>(number);
    } else if (arg == "--once") {
      options.once = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usageError("unknown option " + arg);
    } else {
      files.push_back(arg);
    }
  }

  std::vector<StreamServer::Actor> actors;
  if (files.empty()) {
    StreamSimulator::Options synthetic;
    synthetic.actors = syntheticActors;
    actors = StreamSimulator::actors(synthetic);
  }
  for (const std::string& file : files) {
    std::string error;
    actors.emplace_back();
    if (!BvhActor::load(file, actors.back(), error)) {
      std::fprintf(stderr, "marvik serve: %s\n", error.c_str());
      return 1;
    }
  }

  // Take the signals on this thread only, before any server thread exists.
  StopSignals stopSignals;

  StreamServer server(std::move(actors), options, [](const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  });
  std::string error;
  if (!server.start(error)) {
    std::fprintf(stderr, "marvik serve: cannot listen on %s:%u: %s\n", options.bindAddress.c_str(),
                 options.port, error.c_str());
    return 1;
  }
  std::string list;
  for (const StreamServer::Actor& actor : server.servedActors()) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%g",
                  options.framesPerSecond > 0 ? options.framesPerSecond : actor.framesPerSecond);
    list += (list.empty() ? "" : ", ") + actor.name + " (" +
            std::to_string(jointCount(actor.root)) + " joints, " +
            std::to_string(actor.frames.size()) + " frames at " + rate + " fps)";
  }
  std::printf("marvik serve: listening on %s:%u: %s\n", options.bindAddress.c_str(), server.port(),
              list.c_str());
  std::fflush(stdout);

  while (!server.waitFinished(std::chrono::milliseconds(0))) {
    if (stopSignals.waitBriefly()) {
      server.stop();
      std::printf("marvik serve: stopped\n");
      return 0;
    }
  }
  server.stop();
  std::printf("marvik serve: finished\n");
  return 0;
}
