// Replaces the global allocator, so it is a program of its own (and left out of ThreadSanitizer
// builds, whose runtime owns operator new).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <maya/MFileObject.h>
#include <maya/MPxFileTranslator.h>
#include <maya/MString.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <sstream>
#include <string>

#include "host/HostScene.h"
#include "motion/iMocapDataBvh.h"
#include "motion/iSkeleton.h"
#include "scene/BvhSceneTest.h"
#include "scene/imocapImport.h"

namespace {

// When above zero, the allocation that counts it down to zero throws std::bad_alloc, once.
std::atomic<long> allocationsUntilFailure{0};

void* allocate(std::size_t size) {
  if (allocationsUntilFailure.load() > 0 && --allocationsUntilFailure == 0) {
    throw std::bad_alloc();
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace {

using scenetest::smallBvh;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

using BvhImport = scenetest::BvhSceneTest;

// Each allocation up to the end of the parse fails in turn. (The host, like Maya, does not
// expect its own allocations to throw, so failures stop before the scene is touched.)
TEST_F(BvhImport, RunningOutOfMemoryFailsTheReadWithoutThrowing) {
  std::string text = smallBvh(20);
  const long kPlenty = 1000000;
  allocationsUntilFailure = kPlenty;
  {
    std::istringstream input(text);
    iSkeleton skeleton;
    iMocapDataBvh reader(&input, &skeleton);
    EXPECT_EQ(reader.parse(""), 0);
  }
  const long parseAllocations = kPlenty - allocationsUntilFailure.exchange(0);
  ASSERT_GT(parseAllocations, 10);

  MFileObject file;
  file.setRawFullName(write("run.bvh", text).c_str());
  imocapImport translator;
  for (long failing = 1; failing <= parseAllocations; ++failing) {
    host::resetScene();
    allocationsUntilFailure = failing;
    MStatus status =
        translator.reader(file, "bonesOnly=false", MPxFileTranslator::kImportAccessMode);
    allocationsUntilFailure = 0;
    ASSERT_EQ(status, MS::kFailure) << failing;
    ASSERT_THAT(host::errors(), ElementsAre("Cannot import run.bvh: out of memory")) << failing;
    ASSERT_THAT(host::listNodes(), IsEmpty());
  }
}

}  // namespace
