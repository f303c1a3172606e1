// marvik-sim: serves synthetic actors on 127.0.0.1 until interrupted.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "StreamSimulator.h"

int main(int argc, char** argv) {
  StreamSimulator::Options options;
  int port = 7005;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
      port = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--actors") == 0 && i + 1 < argc) {
      options.actors = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--fps") == 0 && i + 1 < argc) {
      options.framesPerSecond = std::atof(argv[++i]);
    } else if (std::strcmp(argv[i], "--compressed") == 0) {
      options.compression = PacketCodec::Compression::kGzip;
    } else {
      std::fputs("usage: marvik-sim [--port N] [--actors N] [--fps F] [--compressed]\n", stderr);
      return 2;
    }
  }
  if (port < 0 || port > 65535 || options.actors < 0) {
    std::fputs("marvik-sim: bad port or actor count\n", stderr);
    return 2;
  }

  // Wait for the signals on this thread only: block them before the server thread exists.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  StreamSimulator simulator(options);
  if (!simulator.start(static_cast<std::uint16_t>(port))) {
    std::fprintf(stderr, "marvik-sim: cannot listen on 127.0.0.1:%d\n", port);
    return 1;
  }
  std::printf("marvik-sim: %d actor(s) at %.0f frames/s on 127.0.0.1:%u\n", options.actors,
              options.framesPerSecond, simulator.port());
  std::fflush(stdout);
  int received = 0;
  sigwait(&signals, &received);
  simulator.stop();
  return 0;
}
