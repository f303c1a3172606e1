// MComputation, and the interrupts the host's controls request for it.
#include <gtest/gtest.h>
#include <maya/MComputation.h>
#include <maya/MGlobal.h>

#include "host/HostScene.h"
#include "host/Interrupts.h"

namespace {

class Computation : public ::testing::Test {
 protected:
  void SetUp() override { host::resetScene(); }
  void TearDown() override { host::resetScene(); }
};

// Polls until interrupted, at most limit times, stepping the progress by one after each poll;
// the number of polls that said no.
int pollsBeforeInterrupt(MComputation& computation, int limit) {
  for (int i = 0; i < limit; ++i) {
    computation.setProgress(i);
    if (computation.isInterruptRequested()) return i;
  }
  return limit;
}

TEST_F(Computation, TheProgressWindowShowsInInteractiveMayaOnly) {
  EXPECT_EQ(MGlobal::mayaState(), MGlobal::kBatch);
  {
    MComputation computation;
    computation.beginComputation(true);
    EXPECT_TRUE(host::lastComputation().active);
    EXPECT_FALSE(host::lastComputation().progressWindow);
    EXPECT_TRUE(host::lastComputation().interruptible);
  }
  // Ended by the destructor.
  EXPECT_FALSE(host::lastComputation().active);

  host::setMayaState(MGlobal::kInteractive);
  EXPECT_EQ(MGlobal::mayaState(), MGlobal::kInteractive);
  MComputation computation;
  computation.beginComputation(false);
  EXPECT_FALSE(host::lastComputation().progressWindow);
  computation.endComputation();
  computation.beginComputation(true, false);
  EXPECT_TRUE(host::lastComputation().progressWindow);
  EXPECT_FALSE(host::lastComputation().interruptible);
  EXPECT_EQ(host::lastComputation().begun, 3);
  computation.endComputation();

  host::resetScene();
  EXPECT_EQ(MGlobal::mayaState(), MGlobal::kBatch);
  EXPECT_EQ(host::lastComputation().begun, 0);
}

TEST_F(Computation, RequestsInterruptTheComputationThatMeetsThem) {
  MComputation computation;
  ASSERT_EQ(computation.setProgressRange(0, 10), MS::kSuccess);
  EXPECT_EQ(computation.setProgressRange(5, 4), MS::kInvalidParameter);

  // Not begun: nothing to interrupt, and the request waits.
  host::requestInterrupt();
  EXPECT_FALSE(computation.isInterruptRequested());
  computation.beginComputation();
  EXPECT_EQ(pollsBeforeInterrupt(computation, 10), 0);
  // Once interrupted, it stays so until it ends; then the request is spent.
  EXPECT_TRUE(computation.isInterruptRequested());
  computation.endComputation();
  computation.beginComputation();
  EXPECT_EQ(pollsBeforeInterrupt(computation, 10), 10);
  computation.endComputation();

  host::interruptAfterPolls(3);
  computation.beginComputation();
  EXPECT_EQ(pollsBeforeInterrupt(computation, 10), 3);
  EXPECT_TRUE(host::lastComputation().interrupted);
  EXPECT_EQ(host::lastComputation().polls, 4);
  computation.endComputation();

  host::interruptAtProgress(0.5);
  computation.beginComputation();
  EXPECT_EQ(pollsBeforeInterrupt(computation, 10), 5);
  EXPECT_EQ(host::lastComputation().progress, 5);
  EXPECT_EQ(host::lastComputation().progressMax, 10);
  computation.endComputation();

  // A computation that cannot be interrupted leaves the request for the next.
  host::requestInterrupt();
  computation.beginComputation(false, false);
  EXPECT_EQ(pollsBeforeInterrupt(computation, 10), 10);
  computation.endComputation();
  computation.beginComputation();
  EXPECT_EQ(pollsBeforeInterrupt(computation, 10), 0);
  computation.endComputation();
}

TEST_F(Computation, TheSourceIsAskedAtEveryPoll) {
  int asked = 0;
  host::setInterruptSource([&asked] { return ++asked == 4; });
  MComputation computation;
  computation.setProgressRange(0, 100);
  computation.beginComputation();
  EXPECT_EQ(pollsBeforeInterrupt(computation, 10), 3);
  computation.endComputation();
  host::setInterruptSource(nullptr);
  computation.beginComputation();
  EXPECT_EQ(pollsBeforeInterrupt(computation, 10), 10);
  computation.endComputation();
  EXPECT_EQ(asked, 4);
}

}  // namespace
