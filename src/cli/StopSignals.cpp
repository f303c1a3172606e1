#include "StopSignals.h"

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#else
#include <pthread.h>
#include <signal.h>

#include <ctime>
#endif

namespace {

#ifdef _WIN32

// The system calls the handler on a thread of its own.
std::atomic<bool> stopRequested{false};
HANDLE stopEvent = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  stopRequested = true;
  SetEvent(stopEvent);
  return TRUE;
}

void takeSignals() {
  stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  // A process started in a process group of its own ignores Ctrl-C, as a POSIX background job
  // ignores SIGINT: take it back.
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool waitForStop(long milliseconds) {
  return stopRequested ||
         WaitForSingleObject(stopEvent, static_cast<DWORD>(milliseconds)) == WAIT_OBJECT_0;
}

#else

sigset_t stopSet;

void takeSignals() {
  sigemptyset(&stopSet);
  sigaddset(&stopSet, SIGINT);
  sigaddset(&stopSet, SIGTERM);
  // A shell starts background jobs with SIGINT ignored, and an ignored signal is dropped even
  // while blocked: take both back first.
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  pthread_sigmask(SIG_BLOCK, &stopSet, nullptr);
}

bool waitForStop(long milliseconds) {
  const timespec wait{0, milliseconds * 1000 * 1000};
  const int received = sigtimedwait(&stopSet, nullptr, &wait);
  return received == SIGINT || received == SIGTERM;
}

#endif

}  // namespace

StopSignals::StopSignals() { takeSignals(); }

bool StopSignals::stopped() {
  received = received || waitForStop(0);
  return received;
}

bool StopSignals::waitBriefly() {
  received = received || waitForStop(100);
  return received;
}
