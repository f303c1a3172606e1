#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "StreamSimulator.h"
#include "marvikCommands.h"
#include "stream/protocolBufferProcess.h"

namespace {

void printRecord(const float* record, const char* name) {
  std::printf("  %-12s pos %8.3f %8.3f %8.3f  rot %8.3f %8.3f %8.3f\n", name, record[0], record[1],
              record[2], record[3], record[4], record[5]);
}

int runDemo(const std::vector<std::string>& args) {
  int lines = 5;
  StreamSimulator::Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--lines" && i + 1 < args.size()) {
      lines = std::max(0, std::atoi(args[++i].c_str()));
    } else if (args[i] == "--compressed") {
      options.compression = PacketCodec::Compression::kGzip;
    } else {
      std::fputs(kMarvikUsage, stderr);
      return 2;
    }
  }

  StreamSimulator simulator(options);
  if (!simulator.start()) {
    std::fputs("marvik: cannot listen on 127.0.0.1\n", stderr);
    return 1;
  }
  std::printf("Synthetic actor streaming on 127.0.0.1:%u\n", simulator.port());

  protocolBufferProcess& process = protocolBufferProcess::instance();
  bool connected = false;
  try {
    connected = process.connectToServer("127.0.0.1", simulator.port());
  } catch (...) {
  }
  if (!connected) {
    std::fputs("marvik: cannot connect to the simulator\n", stderr);
    return 1;
  }
  process.startReceiveThread();

  std::vector<std::string> texts;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (texts.empty() && std::chrono::steady_clock::now() < deadline) {
    process.waitForPackets(process.packetCount() + 1, std::chrono::milliseconds(100));
    texts = process.copyHeaderTexts();
  }
  if (texts.empty()) {
    std::fputs("marvik: no skeleton header arrived\n", stderr);
    process.stopReceiveThread();
    process.closeSocket();
    return 1;
  }
  std::printf("\nHeader text of actor slot 0:\n%s\n", texts[0].c_str());

  std::printf("Live values of actor slot 0 (first joints, every 100 ms):\n");
  float values[protocolBufferProcess::kSlotFloats];
  const char* names[] = {"Hips0", "Spine0", "Spine10"};
  for (int line = 0; line < lines; ++line) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    process.copyFrame(values, sizeof(values), 0);
    std::printf("frame %d (%llu packets received)\n", line + 1,
                static_cast<unsigned long long>(process.packetCount()));
    for (int record = 0; record < 3; ++record) {
      printRecord(values + record * protocolBufferProcess::kRecordFloats, names[record]);
    }
  }

  process.stopReceiveThread();
  process.closeSocket();
  simulator.stop();
  return 0;
}

}  // namespace

int demoCommand(const std::vector<std::string>& args) { return runDemo(args); }
