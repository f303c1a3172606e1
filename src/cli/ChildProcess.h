#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

// A program run as a child process, its standard output and error captured. Every wait is bounded;
// a child still running when the object is destroyed is killed and reaped.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv[0] (a path) with the arguments; false when it cannot be started.
  bool start(const std::vector<std::string>& argv);
  // Reads output until a line of standard output contains text, stores that line; false when
  // the output ends or timeout passes first.
  bool waitForLine(const std::string& text, std::string& line, std::chrono::milliseconds timeout);
  void signal(int number);
  // The child's process id while it runs, else -1.
  pid_t id() const { return pid; }
  // Reads the rest of the output and waits for the exit. The exit code, 128 + signal number
  // after a signal, or -1 when timeout passed (the child is then killed).
  int wait(std::chrono::milliseconds timeout);

  // Runs the program to its end: wait's result.
  static int run(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                 std::string& out, std::string& err);

  std::string out;
  std::string err;

 private:
  // Reads what is available within the time left; false when both streams have ended.
  bool pump(std::chrono::steady_clock::time_point deadline);

  pid_t pid = -1;
  int outPipe = -1;
  int errPipe = -1;
  std::size_t outLinesSeen = 0;
};
