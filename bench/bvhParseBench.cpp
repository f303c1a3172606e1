// Generates BVH files of one shape (60 joints: a root with 6 channels and 59 joints with 3) and
// reports, in one run:
// - on 20,000 frames (about 35 MiB), the parser's throughput against a floor loop that only reads
//   the file in 64 KiB blocks and converts every number with fast_float::from_chars (what
//   libstdc++'s std::from_chars<double> runs; libc++ 14 has none), their ratio, and the
//   parser's peak heap;
// - on 1,000, 10,000 and 100,000 frames, milliseconds per MiB and peak heap, which should stay
//   flat as the file grows.
// Both wall-clock and CPU time are reported: on a shared, loaded machine the CPU time is the
// steadier of the two, since it leaves out the time other processes hold the cores.
//
// Usage: bvhParseBench [directory]; the files go to the system's temporary directory by default
// and are removed at the end.

#include <fast_float/fast_float.h>
#include <time.h>
#include <unistd.h>

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
#include <string_view>
#include <system_error>
#include <vector>

#include "benchSupport.h"
#include "motion/iMocapDataBvh.h"
#include "motion/iSkeleton.h"

namespace {

using bench::kJoints;
constexpr double kMebibyte = 1024.0 * 1024.0;

struct Times {
  double wall = 1e30;
  double cpu = 1e30;
};

double cpuNow() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

class Stopwatch {
 public:
  Times elapsed() const {
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count(),
            cpuNow() - cpuStart};
  }

 private:
  std::chrono::steady_clock::time_point wallStart = std::chrono::steady_clock::now();
  double cpuStart = cpuNow();
};

void keepBest(Times& best, Times run) {
  best.wall = std::min(best.wall, run.wall);
  best.cpu = std::min(best.cpu, run.cpu);
}

// Reads the file in 64 KiB blocks and converts every whitespace-separated token that starts like
// a number with fast_float::from_chars; builds nothing.
double floorPass(const std::string& path, std::uint64_t& numbers) {
  std::ifstream file(path, std::ios::binary);
  std::vector<char> block(64 * 1024);
  std::string carry;
  double sum = 0.0;
  numbers = 0;
  auto take = [&](std::string_view token) {
    char c = token[0];
    if ((c >= '0' && c <= '9') || c == '-' || c == '.') {
      double value = 0.0;
      if (fast_float::from_chars(token.data(), token.data() + token.size(), value).ec ==
          std::errc()) {
        sum += value;
      }
      ++numbers;
    }
  };
  for (;;) {
    std::streamsize got =
        file.rdbuf()->sgetn(block.data(), static_cast<std::streamsize>(block.size()));
    if (got <= 0) break;
    const char* p = block.data();
    const char* end = p + got;
    while (p < end) {
      const char* start = p;
      while (p < end && *p != ' ' && *p != '\t' && *p != '\n' && *p != '\r') ++p;
      if (p == end) {
        carry.append(start, p);
        break;
      }
      if (!carry.empty()) {
        carry.append(start, p);
        take(carry);
        carry.clear();
      } else if (p > start) {
        take(std::string_view(start, static_cast<std::size_t>(p - start)));
      }
      ++p;
    }
  }
  if (!carry.empty()) take(carry);
  return sum;
}

struct ParseRun {
  Times times;
  double peakHeapMiB;
};

// Parses the file once; exits on a failed parse.
ParseRun parsePass(const std::string& path, std::uint32_t frames) {
  std::int64_t heapBefore = bench::heapLiveBytes();
  bench::restartHeapPeak();
  Stopwatch stopwatch;
  std::ifstream file(path, std::ios::binary);
  iSkeleton skeleton;
  iMocapDataBvh reader(&file, &skeleton);
  int result = reader.parse("");
  ParseRun run{stopwatch.elapsed(),
               static_cast<double>(bench::heapPeakBytes() - heapBefore) / kMebibyte};
  if (result != kMocapOk || skeleton.root == nullptr || skeleton.root->frames.size() != frames) {
    std::fprintf(stderr, "parse of %s failed: %d\n", path.c_str(), result);
    std::exit(1);
  }
  return run;
}

double fileMiB(const std::string& path) {
  return static_cast<double>(std::filesystem::file_size(path)) / kMebibyte;
}

// What the samples themselves take: six doubles per joint and frame.
double samplesMiB(std::uint32_t frames) {
  return 6.0 * sizeof(double) * kJoints * frames / kMebibyte;
}

bool withinMemoryLimit(double peakMiB, std::uint32_t frames) {
  return peakMiB <= 1.5 * samplesMiB(frames) + 32.0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path directory =
      argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
  // The process id keeps benchmarks run side by side on one machine off each other's files.
  const std::string prefix =
      (directory / ("bvhParseBench-" + std::to_string(getpid()) + "-")).string();

  const std::uint32_t kFrames = 20000;
  const std::string path = prefix + "20k.bvh";
  bench::generateBvh(path, kFrames);
  const double size = fileMiB(path);
  std::printf("file: %.1f MiB, %d joints with channels, %u frames\n", size, kJoints, kFrames);

  // Parse and floor alternate, so that a load on the machine weighs on both alike.
  const int kRuns = 7;
  Times parseBest;
  Times floorBest;
  double peakHeap = 0.0;
  for (int run = 0; run < kRuns; ++run) {
    ParseRun parsed = parsePass(path, kFrames);
    keepBest(parseBest, parsed.times);
    peakHeap = std::max(peakHeap, parsed.peakHeapMiB);

    std::uint64_t numbers = 0;
    Stopwatch stopwatch;
    double sum = floorPass(path, numbers);
    keepBest(floorBest, stopwatch.elapsed());
    if (numbers == 0 || sum != sum) return 1;
  }
  std::filesystem::remove(path);
  const double wallRatio = floorBest.wall / parseBest.wall;
  const double cpuRatio = floorBest.cpu / parseBest.cpu;
  std::printf("best of %d runs       wall clock    CPU time\n", kRuns);
  std::printf("parse                %6.1f MiB/s  %6.1f MiB/s\n", size / parseBest.wall,
              size / parseBest.cpu);
  std::printf("floor                %6.1f MiB/s  %6.1f MiB/s\n", size / floorBest.wall,
              size / floorBest.cpu);
  std::printf("parse / floor        %6.2f x      %6.2f x      target >= 1.0: %s\n", wallRatio,
              cpuRatio, wallRatio >= 1.0 && cpuRatio >= 1.0 ? "ok" : "MISSED");
  std::printf("peak heap %.1f MiB; samples %.1f MiB, limit 1.5 x samples + 32 = %.1f MiB: %s\n",
              peakHeap, samplesMiB(kFrames), 1.5 * samplesMiB(kFrames) + 32.0,
              withinMemoryLimit(peakHeap, kFrames) ? "ok" : "MISSED");

  std::printf("scaling, best of %d runs each:\n", kRuns);
  for (std::uint32_t frames : {1000u, 10000u, 100000u}) {
    const std::string scaled = prefix + std::to_string(frames / 1000) + "k.bvh";
    bench::generateBvh(scaled, frames);
    Times best;
    double peak = 0.0;
    for (int run = 0; run < kRuns; ++run) {
      ParseRun parsed = parsePass(scaled, frames);
      keepBest(best, parsed.times);
      peak = std::max(peak, parsed.peakHeapMiB);
    }
    const double scaledSize = fileMiB(scaled);
    std::filesystem::remove(scaled);
    std::printf(
        "%4uk frames %6.1f MiB: %5.2f ms/MiB wall, %5.2f ms/MiB CPU, peak heap %5.1f MiB %s\n",
        frames / 1000, scaledSize, 1000.0 * best.wall / scaledSize, 1000.0 * best.cpu / scaledSize,
        peak, withinMemoryLimit(peak, frames) ? "ok" : "MISSED");
  }
  return 0;
}
