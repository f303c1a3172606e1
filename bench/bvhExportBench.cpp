// Exports the large generated BVH file (60 joints with channels, 20,000 frames) through the
// translator's writer after importing it into the headless host's scene, and reports the export
// rate against the parse rate of the same file, in MiB of BVH text per second of processor time
// (the target), and in frames per second (the export writes every value to 17 digits).
//
// Usage: bvhExportBench [file [frames]]; the file defaults to the system's temporary directory.

#include <maya/MFileObject.h>
#include <maya/MPxFileTranslator.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "benchSupport.h"
#include "host/HostScene.h"
#include "motion/iMocapDataBvh.h"
#include "motion/iSkeleton.h"
#include "scene/imocapImport.h"

namespace {

using bench::kJoints;
constexpr double kMegabyte = 1024.0 * 1024.0;
constexpr const char* kImportOptions = "bonesOnly=false;eulerFilter=true";

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Timing {
  double wall = 1e30;
  double cpu = 1e30;
};

template <typename Step>
Timing best(int runs, Step step) {
  Timing result;
  for (int run = 0; run < runs; ++run) {
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = cpuSeconds();
    step();
    result.wall = std::min(
        result.wall,
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count());
    result.cpu = std::min(result.cpu, cpuSeconds() - cpuStart);
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path temp = std::filesystem::temp_directory_path();
  const std::string path = argc > 1 ? argv[1] : (temp / "bvhExportBench.bvh").string();
  const std::string out = (temp / "bvhExportBench-out.bvh").string();
  const std::uint32_t frames =
      argc > 2 ? static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 20000;
  bench::generateBvh(path, frames);
  const double inSize = static_cast<double>(std::filesystem::file_size(path)) / kMegabyte;

  const int kRuns = 3;
  const Timing parse = best(kRuns, [&] {
    std::ifstream file(path, std::ios::binary);
    iSkeleton skeleton;
    iMocapDataBvh reader(&file, &skeleton);
    if (reader.parse("") != 0 || skeleton.root == nullptr) {
      std::fprintf(stderr, "parse failed\n");
      std::exit(1);
    }
  });

  host::resetScene();
  imocapImport translator;
  MFileObject input;
  input.setRawFullName(path.c_str());
  if (!translator.reader(input, kImportOptions, MPxFileTranslator::kImportAccessMode)) {
    std::fprintf(stderr, "import failed: %s\n", translator.failure().asChar());
    return 1;
  }
  MFileObject output;
  output.setRawFullName(out.c_str());
  const Timing write = best(kRuns, [&] {
    if (!translator.writer(output, "scale=1", MPxFileTranslator::kExportAccessMode)) {
      std::fprintf(stderr, "export failed\n");
      std::exit(1);
    }
  });
  const double outSize = static_cast<double>(std::filesystem::file_size(out)) / kMegabyte;
  host::resetScene();

  std::printf("file: %.1f MiB in, %.1f MiB out, %d joints with channels, %u frames\n", inSize,
              outSize, kJoints, frames);
  std::printf("best of %d runs       wall clock    CPU time\n", kRuns);
  std::printf("parse                %6.1f MiB/s  %6.1f MiB/s\n", inSize / parse.wall,
              inSize / parse.cpu);
  std::printf("export               %6.1f MiB/s  %6.1f MiB/s\n", outSize / write.wall,
              outSize / write.cpu);
  std::printf("frames               parse %.0f/s, export %.0f/s (CPU)\n", frames / parse.cpu,
              frames / write.cpu);
  const double ratio = (outSize / write.cpu) / (inSize / parse.cpu);
  std::printf("export / parse       %6.2f x (CPU)  target >= 1.0: %s\n", ratio,
              ratio >= 1.0 ? "met" : "NOT met");
  std::filesystem::remove(out);
  return 0;
}
