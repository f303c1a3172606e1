// Imports a large generated BVH file (60 joints with channels, 20,000 frames, about 35 MB)
// through the translator into the headless host's scene, and reports in one run: keys written
// per second, the whole import against the parse alone, and the peak heap against the samples'
// and the keys' own size.
//
// Usage: bvhImportBench [file [frames]]; the file defaults to the system's temporary directory.

#include <maya/MFileObject.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MObject.h>
#include <maya/MPxFileTranslator.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "benchSupport.h"
#include "host/HostScene.h"
#include "motion/iMocapDataBvh.h"
#include "motion/iSkeleton.h"
#include "scene/imocapImport.h"

namespace {

using bench::kJoints;
constexpr double kMegabyte = 1024.0 * 1024.0;
constexpr const char* kOptions =
    "bonesOnly=false;merge=false;scale=1;rotationOrder=none;startFrame=0;endFrame=2147483648;"
    "eulerFilter=true";

// Wall-clock and processor time of one measured step. Processor time is what the ratio uses:
// on a shared machine the wall clock also counts the time other processes held the cores.
struct Timing {
  double wall = 1e30;
  double cpu = 1e30;

  void keepBest(const Timing& other) {
    wall = std::min(wall, other.wall);
    cpu = std::min(cpu, other.cpu);
  }
};

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class Stopwatch {
 public:
  Timing elapsed() const {
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count(),
            cpuSeconds() - cpuStart};
  }

 private:
  std::chrono::steady_clock::time_point wallStart = std::chrono::steady_clock::now();
  double cpuStart = cpuSeconds();
};

Timing parseOnly(const std::string& path, std::uint32_t frames) {
  Stopwatch stopwatch;
  std::ifstream file(path, std::ios::binary);
  iSkeleton skeleton;
  iMocapDataBvh reader(&file, &skeleton);
  if (reader.parse("") != 0 || skeleton.root == nullptr || skeleton.root->frames.size() != frames) {
    std::fprintf(stderr, "parse failed\n");
    std::exit(1);
  }
  return stopwatch.elapsed();
}

// Key-adding calls (addKeys and addKeyframe) per curve, over every curve in the scene.
double callsPerCurve() {
  double calls = 0;
  double curves = 0;
  for (const char* type : {"animCurveTA", "animCurveTL"}) {
    for (const std::string& name : host::listNodes(type)) {
      host::CurveCalls counted;
      if (host::curveCalls(name, counted) != MS::kSuccess) continue;
      calls += static_cast<double>(counted.addKeys + counted.addKeyframe);
      curves += 1;
    }
  }
  return curves > 0 ? calls / curves : 0;
}

std::uint64_t keysInScene() {
  std::uint64_t keys = 0;
  for (const char* type : {"animCurveTA", "animCurveTL"}) {
    for (const std::string& name : host::listNodes(type)) {
      MFnAnimCurve curve(host::findNode(name));
      keys += curve.numKeys();
    }
  }
  return keys;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path =
      argc > 1 ? argv[1] : (std::filesystem::temp_directory_path() / "bvhImportBench.bvh").string();
  std::uint32_t frames =
      argc > 2 ? static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 20000;
  bench::generateBvh(path, frames);
  const double megabytes = static_cast<double>(std::filesystem::file_size(path)) / kMegabyte;
  std::printf("file %s: %.1f MB, %d joints with channels, %u frames\n", path.c_str(), megabytes,
              kJoints, frames);

  const int kRuns = 5;
  Timing parseBest;
  Timing importBest;
  std::int64_t peakHeap = 0;
  std::uint64_t keys = 0;
  double calls = 0;
  for (int run = 0; run < kRuns; ++run) {
    parseBest.keepBest(parseOnly(path, frames));

    host::resetScene();
    std::int64_t heapBefore = bench::heapLiveBytes();
    bench::restartHeapPeak();
    Stopwatch stopwatch;
    {
      imocapImport translator;
      MFileObject file;
      file.setRawFullName(path.c_str());
      if (!translator.reader(file, kOptions, MPxFileTranslator::kImportAccessMode)) {
        std::fprintf(stderr, "import failed: %s\n", translator.failure().asChar());
        return 1;
      }
    }
    importBest.keepBest(stopwatch.elapsed());
    if (run == 0) {
      peakHeap = bench::heapPeakBytes() - heapBefore;
      keys = keysInScene();
      calls = callsPerCurve();
    }
  }
  host::resetScene();

  const std::uint64_t expectedKeys = (6ull + 3ull * (kJoints - 1)) * frames;
  const double samples = 6.0 * sizeof(double) * kJoints * frames / kMegabyte;
  // The host's key record: time, value and two tangent types, 24 bytes.
  const double keyBytes = 24.0 * static_cast<double>(keys) / kMegabyte;
  const double memoryLimit = samples + keyBytes + 32.0;
  const double peak = static_cast<double>(peakHeap) / kMegabyte;
  const double ratio = importBest.cpu / parseBest.cpu;
  const double keyCount = static_cast<double>(keys);
  std::printf("keys   %llu written (expected %llu): %s\n", static_cast<unsigned long long>(keys),
              static_cast<unsigned long long>(expectedKeys), keys == expectedKeys ? "ok" : "WRONG");
  std::printf("parse  %.3f s processor, %.3f s wall, %.1f MB/s (best of %d)\n", parseBest.cpu,
              parseBest.wall, megabytes / parseBest.cpu, kRuns);
  std::printf("import %.3f s processor, %.3f s wall (best of %d)\n", importBest.cpu,
              importBest.wall, kRuns);
  std::printf(
      "keys/s %.1f million over the whole import, %.1f million over what it adds to the parse\n",
      keyCount / importBest.cpu / 1e6,
      keyCount / std::max(importBest.cpu - parseBest.cpu, 1e-9) / 1e6);
  std::printf("calls  %.2f key-adding calls per curve (target 1): %s\n", calls,
              calls == 1.0 ? "ok" : "MISSED");
  std::printf("ratio  import / parse %.2f processor, %.2f wall (target <= 1.5): %s\n", ratio,
              importBest.wall / parseBest.wall, ratio <= 1.5 ? "ok" : "MISSED");
  std::printf(
      "peak heap during import %.1f MB; samples %.1f MB + keys %.1f MB + 32 = %.1f MB: %s\n", peak,
      samples, keyBytes, memoryLimit, peak <= memoryLimit ? "ok" : "MISSED");
  return keys == expectedKeys ? 0 : 1;
}
