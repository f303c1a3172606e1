#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A child process spoken to in records: NUL-terminated texts on its standard input and output.
// Its standard error goes nowhere. Reading never blocks; poll fd() first. A process still running
// when the object goes is killed and reaped. Main thread only; the caller ignores SIGPIPE, so that
// sending to a process that has ended fails instead of ending the caller.
class WorkerProcess {
 public:
  WorkerProcess() = default;
  ~WorkerProcess();
  WorkerProcess(const WorkerProcess&) = delete;
  WorkerProcess& operator=(const WorkerProcess&) = delete;

  // Starts argv[0] (a path) with the arguments; false when it cannot be started.
  bool start(const std::vector<std::string>& argv);
  // The descriptor its records arrive on; -1 once they have ended.
  int fd() const { return outPipe; }
  // Writes the records, each followed by a NUL; false when the process no longer reads.
  bool send(const std::vector<std::string>& records);
  // Appends the complete records that have arrived; false once the output has ended, which
  // means the process has exited or is about to.
  bool receive(std::vector<std::string>& records);
  // Closes its input, which asks it to end.
  void closeInput();
  // Waits for the exit: the exit code, or 128 + the signal number. Call after receive has
  // returned false or after closeInput.
  int wait();

 private:
  pid_t pid = -1;
  int inPipe = -1;
  int outPipe = -1;
  std::string pending;
};
