#pragma once

#include <maya/MGlobal.h>

#include <functional>

namespace host {

// The mode MGlobal::mayaState reports, MComputation's record and the interrupts tests and tools
// request. Owned by the Session; main thread only.
class Interrupts {
 public:
  // What the last computation begun did, for tests.
  struct Record {
    int begun = 0;  // computations begun since the last reset
    bool active = false;
    bool progressWindow = false;
    bool interruptible = false;
    long long polls = 0;
    bool interrupted = false;
    int progressMin = 0;
    int progressMax = 0;
    int progress = 0;
  };

  void begin(bool showProgressBar, bool isInterruptable);
  // Counts the poll; true once a requested interrupt applies, and from then until end.
  bool poll(int minimum, int maximum, int value);
  void progressed(int minimum, int maximum, int value);
  // Forgets the interrupts requested for this computation.
  void end();

  MGlobal::MMayaState mode = MGlobal::kBatch;
  Record record;
  // Interrupt requests: the next poll, once polls exceed a count, once progress reaches a
  // fraction of its range, or whenever the source says so (Ctrl-C in the command line).
  bool requested = false;
  long long afterPolls = -1;
  double atFraction = -1;
  std::function<bool()> source;
};

}  // namespace host
