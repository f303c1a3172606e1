#include "benchSupport.h"

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

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

}  // namespace

void* operator new(std::size_t size) { return countedAllocate(size); }
void* operator new[](std::size_t size) { return countedAllocate(size); }
void operator delete(void* pointer) noexcept { countedRelease(pointer); }
void operator delete[](void* pointer) noexcept { countedRelease(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { countedRelease(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { countedRelease(pointer); }

namespace bench {

std::int64_t heapLiveBytes() { return liveBytes.load(); }

std::int64_t heapPeakBytes() { return peakBytes.load(); }

void restartHeapPeak() { peakBytes = liveBytes.load(); }

void generateBvh(const std::string& path, std::uint32_t frames) {
  const int kLimbs = 5;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::perror(path.c_str());
    std::exit(1);
  }
  std::fputs(
      "HIERARCHY\nROOT Hips\n{\n\tOFFSET 0.000000 90.500000 0.000000\n"
      "\tCHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n",
      file);
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
  std::vector<char> line(64 * 1024);
  for (std::uint32_t frame = 0; frame < frames; ++frame) {
    std::size_t used = 0;
    for (int value = 0; value < 3 + 3 * kJoints; ++value) {
      state = state * 1664525u + 1013904223u;
      double number = (static_cast<double>(state >> 8) / (1 << 24) - 0.5) * 360.0;
      used += static_cast<std::size_t>(std::snprintf(line.data() + used, line.size() - used,
                                                     value == 0 ? "%.5f" : " %.5f", number));
    }
    line[used++] = '\n';
    std::fwrite(line.data(), 1, used, file);
  }
  std::fclose(file);
}

}  // namespace bench
