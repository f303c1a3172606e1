#include "StopSignals.h"

#include <pthread.h>

#include <ctime>

StopSignals::StopSignals() {
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  // A shell starts background jobs with SIGINT ignored, and an ignored signal is dropped even
  // while blocked: take both back first.
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

bool StopSignals::waitBriefly() {
  const timespec tick{0, 100 * 1000 * 1000};
  const int received = sigtimedwait(&signals, nullptr, &tick);
  return received == SIGINT || received == SIGTERM;
}
