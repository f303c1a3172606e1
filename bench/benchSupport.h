#pragma once

#include <cstdint>
#include <string>

// What the BVH benchmarks share: the generated file and a heap counter. Linking this library
// replaces the global operator new and delete of the benchmark with counting ones.
namespace bench {

// Joints with channels in the generated file: a root with 6, then 59 joints with 3 in five limbs.
constexpr int kJoints = 60;

// Writes the file: the hierarchy above (names "mixamorig:JointN"), then `frames` lines of random
// values; exits on a write failure.
void generateBvh(const std::string& path, std::uint32_t frames);

// Bytes allocated through operator new and not yet released.
std::int64_t heapLiveBytes();
// The highest heapLiveBytes() since the last restartHeapPeak().
std::int64_t heapPeakBytes();
void restartHeapPeak();

}  // namespace bench
