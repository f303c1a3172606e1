#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "ProcessPlatform.h"

// A program run as a child process and spoken to through pipes, in lines or in records. Its
// standard output is read; its standard error is read or discarded; its standard input is a pipe
// or the null device. Every wait is bounded. A child still running when the object goes is
// killed (on Windows with whatever it started) and reaped. Main thread only.
class ChildProcess {
 public:
  enum class Input { kNone, kPipe };
  enum class Errors { kRead, kDiscarded };

  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv[0] (a path, with its file name extension) with the arguments; false, with the
  // system's reason in failure(), when it cannot start.
  bool start(const std::vector<std::string>& argv, Input input = Input::kNone,
             Errors errors = Errors::kRead);
  const std::string& failure() const { return reason; }

  // Lines. Reads output until a line of standard output contains text, stores that line; false
  // when the output ends or timeout passes first.
  bool waitForLine(const std::string& text, std::string& line, std::chrono::milliseconds timeout);

  // Records: NUL-terminated texts. Writes the records to its input; false when it no longer
  // reads.
  bool send(const std::vector<std::string>& records);
  // Appends the complete records that have arrived, without waiting; false once its output has
  // ended, which means the child has exited or is about to.
  bool receive(std::vector<std::string>& records);
  bool outputEnded() const { return child.output == processPlatform::kNoPipe; }
  // Closes its input, which asks a child that reads it to end.
  void closeInput();
  // Waits up to timeout until one of the children has output to read, or its output has ended.
  static void waitForOutput(const std::vector<ChildProcess*>& children,
                            std::chrono::milliseconds timeout);

  // What Ctrl-C does to it (processPlatform::interrupt).
  void interrupt();
  // The child's process id while it runs, else -1.
  int id() const { return running ? child.id : -1; }
  // Closes its input, reads the rest of the output and waits for the exit. The exit code, 128 +
  // the signal number after a POSIX signal, or -1 when timeout passed (the child is then
  // killed).
  int wait(std::chrono::milliseconds timeout);

  // Runs the program to its end: wait's result, or -1 when it cannot start.
  static int run(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                 std::string& out, std::string& err);

  // What has arrived on standard output and error. receive takes its records out of `out`.
  std::string out;
  std::string err;

 private:
  using Clock = std::chrono::steady_clock;

  // Appends what has arrived, closing the pipes that have ended; false when both have.
  bool collect();
  // Waits until deadline for something to arrive, then collects.
  bool pump(Clock::time_point deadline);
  std::vector<processPlatform::Pipe> openOutputs() const;
  // Kills a child still running, reaps it and closes every pipe.
  void finish();

  processPlatform::Child child;
  bool running = false;
  std::string reason;
  std::size_t outLinesSeen = 0;
};
