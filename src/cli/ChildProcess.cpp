#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

ChildProcess::~ChildProcess() {
  if (pid > 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
  if (outPipe >= 0) ::close(outPipe);
  if (errPipe >= 0) ::close(errPipe);
}

bool ChildProcess::start(const std::vector<std::string>& argv) {
  int outFds[2];
  int errFds[2];
  if (argv.empty() || ::pipe2(outFds, O_CLOEXEC) != 0) return false;
  if (::pipe2(errFds, O_CLOEXEC) != 0) {
    ::close(outFds[0]);
    ::close(outFds[1]);
    return false;
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid = ::fork();
  if (pid == 0) {
    ::dup2(outFds[1], 1);
    ::dup2(errFds[1], 2);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(outFds[1]);
  ::close(errFds[1]);
  outPipe = outFds[0];
  errPipe = errFds[0];
  if (pid < 0) return false;
  return true;
}

bool ChildProcess::pump(Clock::time_point deadline) {
  pollfd fds[2] = {{outPipe, POLLIN, 0}, {errPipe, POLLIN, 0}};
  const int count = (outPipe >= 0) + (errPipe >= 0);
  if (count == 0) return false;
  if (outPipe < 0) fds[0].fd = -1;
  if (errPipe < 0) fds[1].fd = -1;
  if (::poll(fds, 2, millisecondsLeft(deadline)) <= 0) return true;
  for (int i = 0; i < 2; ++i) {
    if (fds[i].revents == 0) continue;
    char buffer[4096];
    const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    int& pipe = i == 0 ? outPipe : errPipe;
    if (got <= 0) {
      ::close(pipe);
      pipe = -1;
    } else {
      (i == 0 ? out : err).append(buffer, static_cast<std::size_t>(got));
    }
  }
  return outPipe >= 0 || errPipe >= 0;
}

bool ChildProcess::waitForLine(const std::string& text, std::string& line,
                               std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    // Look at complete lines not yet handed out.
    std::size_t start = 0;
    std::size_t seen = 0;
    for (auto end = out.find('\n'); end != std::string::npos; end = out.find('\n', start)) {
      if (seen++ >= outLinesSeen) {
        ++outLinesSeen;
        const std::string candidate = out.substr(start, end - start);
        if (candidate.find(text) != std::string::npos) {
          line = candidate;
          return true;
        }
      }
      start = end + 1;
    }
    if (Clock::now() >= deadline || !pump(deadline)) return false;
  }
}

void ChildProcess::signal(int number) {
  if (pid > 0) ::kill(pid, number);
}

int ChildProcess::wait(std::chrono::milliseconds timeout) {
  if (pid <= 0) return -1;
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline && pump(deadline)) {
  }
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (Clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
      pid = -1;
      return -1;
    }
    // The output has ended but the process has not been reaped yet: look again shortly.
    pollfd none{-1, 0, 0};
    ::poll(&none, 1, 5);
  }
  pid = -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

int ChildProcess::run(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                      std::string& out, std::string& err) {
  ChildProcess child;
  if (!child.start(argv)) return -1;
  const int code = child.wait(timeout);
  out = child.out;
  err = child.err;
  return code;
}
