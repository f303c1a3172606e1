#pragma once

#include <maya/MGlobal.h>

#include <functional>

// The host's controls over long work (MComputation) and the mode Maya runs in, for tests and
// tools; module code never includes this. Main thread only.
namespace host {

// What MGlobal::mayaState reports: kBatch unless set, and again after resetScene. Only in
// kInteractive does a computation asking for a progress window get one.
void setMayaState(MGlobal::MMayaState state);

// An interrupt, as Esc in Maya, for the running or next interruptible computation. Each request
// stays armed until a computation has been interrupted by it: at its next poll; once it has been
// polled more than `polls` times; once its progress reaches `fraction` (0 to 1) of its range.
void requestInterrupt();
void interruptAfterPolls(long long polls);
void interruptAtProgress(double fraction);
// Asked at every poll of an interruptible computation, whatever was requested: true interrupts
// it (the command line's Ctrl-C). Empty: none.
void setInterruptSource(std::function<bool()> source);

// The last computation begun.
struct ComputationRecord {
  int begun = 0;  // computations begun since the session was fresh
  bool active = false;
  bool progressWindow = false;
  bool interruptible = false;
  long long polls = 0;
  bool interrupted = false;
  int progressMin = 0;
  int progressMax = 0;
  int progress = 0;
};
ComputationRecord lastComputation();

}  // namespace host
