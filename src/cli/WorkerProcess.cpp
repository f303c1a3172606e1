#include "WorkerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

WorkerProcess::~WorkerProcess() {
  closeFd(inPipe);
  closeFd(outPipe);
  if (pid > 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
}

bool WorkerProcess::start(const std::vector<std::string>& argv) {
  int inFds[2];
  int outFds[2];
  if (argv.empty() || ::pipe2(inFds, O_CLOEXEC) != 0) return false;
  if (::pipe2(outFds, O_CLOEXEC) != 0) {
    ::close(inFds[0]);
    ::close(inFds[1]);
    return false;
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid = ::fork();
  if (pid == 0) {
    const int nowhere = ::open("/dev/null", O_WRONLY);
    ::dup2(inFds[0], 0);
    ::dup2(outFds[1], 1);
    if (nowhere >= 0) ::dup2(nowhere, 2);
    if (nowhere > 2) ::close(nowhere);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(inFds[0]);
  ::close(outFds[1]);
  inPipe = inFds[1];
  outPipe = outFds[0];
  if (pid < 0) {
    closeFd(inPipe);
    closeFd(outPipe);
    return false;
  }
  ::fcntl(outPipe, F_SETFL, ::fcntl(outPipe, F_GETFL) | O_NONBLOCK);
  return true;
}

bool WorkerProcess::send(const std::vector<std::string>& records) {
  std::string bytes;
  for (const std::string& record : records) {
    bytes += record;
    bytes += '\0';
  }
  std::size_t sent = 0;
  while (inPipe >= 0 && sent < bytes.size()) {
    const ssize_t written = ::write(inPipe, bytes.data() + sent, bytes.size() - sent);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    sent += static_cast<std::size_t>(written);
  }
  return sent == bytes.size();
}

bool WorkerProcess::receive(std::vector<std::string>& records) {
  for (;;) {
    if (outPipe < 0) return false;
    char buffer[4096];
    const ssize_t got = ::read(outPipe, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (got <= 0) {
      closeFd(outPipe);
      break;
    }
    pending.append(buffer, static_cast<std::size_t>(got));
  }
  std::size_t start = 0;
  for (std::size_t end = pending.find('\0'); end != std::string::npos;
       end = pending.find('\0', start)) {
    records.push_back(pending.substr(start, end - start));
    start = end + 1;
  }
  pending.erase(0, start);
  return outPipe >= 0;
}

void WorkerProcess::closeInput() { closeFd(inPipe); }

int WorkerProcess::wait() {
  closeInput();
  if (pid <= 0) return -1;
  int status = 0;
  pid_t done;
  do {
    done = ::waitpid(pid, &status, 0);
  } while (done < 0 && errno == EINTR);
  pid = -1;
  if (done < 0) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}
