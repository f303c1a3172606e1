// Generates a large BVH file (60 joints: a root with 6 channels and 59 joints with 3, 20,000
// frames, about 35 MB) and reports, in one run, the parser's throughput and peak heap against a
// floor loop that only reads the file and converts every number.
//
// Usage: bvhParseBench [file [frames]]; the file defaults to the system's temporary directory.

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
#include <string_view>
#include <vector>

#include "motion/iMocapDataBvh.h"
#include "motion/iSkeleton.h"
#include "motion/parseNumber.h"

namespace {

std::atomic<std::int64_t> liveBytes{0};
std::atomic<std::int64_t> peakBytes{0};

constexpr std::size_t kHeader = alignof(std::max_align_t);

void* countedAllocate(std::size_t size) {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  std::int64_t live = liveBytes += static_cast<std::int64_t>(size);
  std::int64_t peak = peakBytes.load();
  while (live > peak && !peakBytes.compare_exchange_weak(peak, live)) {
  }
  return static_cast<char*>(block) + kHeader;
}

void countedRelease(void* pointer) {
  if (pointer == nullptr) return;
  void* block = static_cast<char*>(pointer) - kHeader;
  liveBytes -= static_cast<std::int64_t>(*static_cast<std::size_t*>(block));
  std::free(block);
}

constexpr int kJoints = 60;
constexpr double kMegabyte = 1024.0 * 1024.0;

// Root Hips with 6 channels, then 59 joints in five limbs; each limb ends in an End Site.
void generate(const std::string& path, std::uint32_t frames) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::perror(path.c_str());
    std::exit(1);
  }
  std::fputs(
      "HIERARCHY\nROOT Hips\n{\n\tOFFSET 0.000000 90.500000 0.000000\n"
      "\tCHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n",
      file);
  const int kLimbs = 5;
  int joint = 1;
  for (int limb = 0; limb < kLimbs; ++limb) {
    int length = (kJoints - 1) / kLimbs + (limb < (kJoints - 1) % kLimbs ? 1 : 0);
    for (int i = 0; i < length; ++i, ++joint) {
      std::fprintf(file,
                   "%*sJOINT mixamorig:Joint%d\n%*s{\n%*sOFFSET %.6f %.6f %.6f\n"
                   "%*sCHANNELS 3 Zrotation Xrotation Yrotation\n",
                   i + 1, "", joint, i + 1, "", i + 2, "", 1.5 * i, 10.25, -0.5 * limb, i + 2, "");
    }
    std::fprintf(file, "%*sEnd Site\n%*s{\n%*sOFFSET 0.000000 5.000000 0.000000\n%*s}\n",
                 length + 1, "", length + 1, "", length + 2, "", length + 1, "");
    for (int i = length; i > 0; --i) std::fprintf(file, "%*s}\n", i, "");
  }
  std::fprintf(file, "}\nMOTION\nFrames: %u\nFrame Time: 0.0083333\n", frames);

  std::uint32_t state = 12345;
  char line[64 * 1024];
  for (std::uint32_t frame = 0; frame < frames; ++frame) {
    std::size_t used = 0;
    for (int value = 0; value < 3 + 3 * kJoints; ++value) {
      state = state * 1664525u + 1013904223u;
      double number = (static_cast<double>(state >> 8) / (1 << 24) - 0.5) * 360.0;
      used += static_cast<std::size_t>(
          std::snprintf(line + used, sizeof(line) - used, value == 0 ? "%.5f" : " %.5f", number));
    }
    line[used++] = '\n';
    std::fwrite(line, 1, used, file);
  }
  std::fclose(file);
}

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long maxResidentKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Reads the file in blocks and converts every whitespace-separated number; builds nothing.
double floorPass(const std::string& path, std::uint64_t& numbers) {
  std::ifstream file(path, std::ios::binary);
  std::vector<char> block(64 * 1024);
  std::string carry;
  double sum = 0.0;
  numbers = 0;
  auto take = [&](std::string_view token) {
    char c = token[0];
    if ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.') {
      sum += parseReal(token);
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

}  // namespace

void* operator new(std::size_t size) { return countedAllocate(size); }
void* operator new[](std::size_t size) { return countedAllocate(size); }
void operator delete(void* pointer) noexcept { countedRelease(pointer); }
void operator delete[](void* pointer) noexcept { countedRelease(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { countedRelease(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { countedRelease(pointer); }

int main(int argc, char** argv) {
  std::string path =
      argc > 1 ? argv[1] : (std::filesystem::temp_directory_path() / "bvhParseBench.bvh").string();
  std::uint32_t frames =
      argc > 2 ? static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 20000;
  generate(path, frames);
  const double megabytes = static_cast<double>(std::filesystem::file_size(path)) / kMegabyte;
  std::printf("file %s: %.1f MB, %d joints with channels, %u frames\n", path.c_str(), megabytes,
              kJoints, frames);

  const int kRuns = 3;
  double parseBest = 1e30;
  double floorBest = 1e30;
  std::int64_t peakHeap = 0;
  long residentGrowth = 0;
  for (int run = 0; run < kRuns; ++run) {
    long residentBefore = maxResidentKilobytes();
    std::int64_t heapBefore = liveBytes.load();
    peakBytes = heapBefore;
    auto start = std::chrono::steady_clock::now();
    {
      std::ifstream file(path, std::ios::binary);
      iSkeleton skeleton;
      iMocapDataBvh reader(&file, &skeleton);
      int result = reader.parse("");
      if (result != kMocapOk || skeleton.root == nullptr ||
          skeleton.root->frames.size() != frames) {
        std::fprintf(stderr, "parse failed: %d\n", result);
        return 1;
      }
      parseBest = std::min(parseBest, seconds(start));
    }
    if (run == 0) {
      peakHeap = peakBytes.load() - heapBefore;
      residentGrowth = maxResidentKilobytes() - residentBefore;
    }

    std::uint64_t numbers = 0;
    start = std::chrono::steady_clock::now();
    double sum = floorPass(path, numbers);
    floorBest = std::min(floorBest, seconds(start));
    if (numbers == 0 || sum != sum) return 1;
  }

  const double parseRate = megabytes / parseBest;
  const double floorRate = megabytes / floorBest;
  const double samples = 6.0 * sizeof(double) * kJoints * frames / kMegabyte;
  const double memoryLimit = 1.5 * samples + 32.0;
  const double peak = static_cast<double>(peakHeap) / kMegabyte;
  std::printf("parse  %.1f MB/s (best of %d)\n", parseRate, kRuns);
  std::printf("floor  %.1f MB/s (best of %d)\n", floorRate, kRuns);
  std::printf("ratio  %.0f%% of floor (target >= 60%%): %s\n", 100.0 * parseRate / floorRate,
              parseRate >= 0.6 * floorRate ? "ok" : "MISSED");
  std::printf(
      "peak heap during parse %.1f MB, max RSS growth %.1f MB; samples %.1f MB, "
      "limit 1.5 x samples + 32 = %.1f MB: %s\n",
      peak, residentGrowth / 1024.0, samples, memoryLimit, peak <= memoryLimit ? "ok" : "MISSED");
  return 0;
}
