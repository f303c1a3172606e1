#pragma once

#include <signal.h>

// Ctrl-C (SIGINT) and SIGTERM taken on the calling thread only, for the command-line programs
// that run until stopped. Construct it before any other thread exists: threads inherit the mask.
class StopSignals {
 public:
  StopSignals();
  // Waits up to 100 ms; true when a stop signal came.
  bool waitBriefly();

 private:
  sigset_t signals;
};
