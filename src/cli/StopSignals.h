#pragma once

// Ctrl-C taken as a request to stop, for the command-line programs that run until stopped:
// SIGINT and SIGTERM on POSIX, Ctrl-C and Ctrl-Break on Windows; what the two do differently
// stays in StopSignals.cpp. One per process, made on the main thread before any other thread
// exists (POSIX threads inherit the signal mask it sets), and asked on that thread.
class StopSignals {
 public:
  StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Whether a stop has come, without waiting.
  bool stopped();
  // Waits up to 100 ms for a stop; true once one has come.
  bool waitBriefly();

 private:
  bool received = false;
};
