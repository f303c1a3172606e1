#pragma once

#ifndef _WIN32
#include <signal.h>
#endif

#include <string>
#include <vector>

#include "ChildProcess.h"

// Starts the program with Ctrl-C already sent: the child inherits this thread's SIGINT blocked,
// so the signal waits, pending, until the child takes signals, however soon it comes. POSIX only:
// on Windows a console Ctrl-C cannot wait so, and this returns false with a reason.
inline bool startInterrupted(ChildProcess& child, const std::vector<std::string>& argv,
                             std::string& failure) {
#ifdef _WIN32
  (void)child;
  (void)argv;
  failure = "a Ctrl-C cannot wait for a Windows child to take it";
  return false;
#else
  sigset_t interrupt;
  sigset_t previous;
  sigemptyset(&interrupt);
  sigaddset(&interrupt, SIGINT);
  pthread_sigmask(SIG_BLOCK, &interrupt, &previous);
  const bool started = child.start(argv);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (!started) {
    failure = child.failure();
    return false;
  }
  child.interrupt();
  return true;
#endif
}
