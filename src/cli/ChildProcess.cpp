#include "ChildProcess.h"

#include <algorithm>
#include <optional>

namespace {

using processPlatform::kNoPipe;
using processPlatform::Pipe;

// A killed child is gone at once; this bounds the wait for the system to say so.
constexpr std::chrono::seconds kReapTimeout{10};

void closePipe(Pipe& pipe) {
  processPlatform::close(pipe);
  pipe = kNoPipe;
}

}  // namespace

ChildProcess::~ChildProcess() { finish(); }

void ChildProcess::finish() {
  if (running) {
    processPlatform::kill(child);
    processPlatform::waitExit(child, kReapTimeout);
    processPlatform::release(child);
    running = false;
  }
  closePipe(child.input);
  closePipe(child.output);
  closePipe(child.errors);
}

bool ChildProcess::start(const std::vector<std::string>& argv, Input input, Errors errors) {
  using processPlatform::Stream;
  finish();
  child = processPlatform::Child();
  out.clear();
  err.clear();
  outLinesSeen = 0;
  running = processPlatform::start(
      argv, input == Input::kPipe ? Stream::kPipe : Stream::kNull, Stream::kPipe,
      errors == Errors::kRead ? Stream::kPipe : Stream::kNull, child, reason);
  return running;
}

bool ChildProcess::collect() {
  if (child.output != kNoPipe && !processPlatform::readAvailable(child.output, out)) {
    closePipe(child.output);
  }
  if (child.errors != kNoPipe && !processPlatform::readAvailable(child.errors, err)) {
    closePipe(child.errors);
  }
  return child.output != kNoPipe || child.errors != kNoPipe;
}

std::vector<Pipe> ChildProcess::openOutputs() const {
  std::vector<Pipe> pipes;
  if (child.output != kNoPipe) pipes.push_back(child.output);
  if (child.errors != kNoPipe) pipes.push_back(child.errors);
  return pipes;
}

bool ChildProcess::pump(Clock::time_point deadline) {
  const std::vector<Pipe> pipes = openOutputs();
  if (pipes.empty()) return false;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  processPlatform::waitReadable(pipes, std::max(left, std::chrono::milliseconds(0)));
  return collect();
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

bool ChildProcess::send(const std::vector<std::string>& records) {
  if (child.input == kNoPipe) return false;
  std::string bytes;
  for (const std::string& record : records) {
    bytes += record;
    bytes += '\0';
  }
  return processPlatform::writeAll(child.input, bytes);
}

bool ChildProcess::receive(std::vector<std::string>& records) {
  collect();
  std::size_t start = 0;
  for (std::size_t end = out.find('\0'); end != std::string::npos; end = out.find('\0', start)) {
    records.push_back(out.substr(start, end - start));
    start = end + 1;
  }
  out.erase(0, start);
  return !outputEnded();
}

void ChildProcess::closeInput() { closePipe(child.input); }

void ChildProcess::waitForOutput(const std::vector<ChildProcess*>& children,
                                 std::chrono::milliseconds timeout) {
  std::vector<Pipe> pipes;
  for (const ChildProcess* process : children) {
    const std::vector<Pipe> open = process->openOutputs();
    pipes.insert(pipes.end(), open.begin(), open.end());
  }
  if (!pipes.empty()) processPlatform::waitReadable(pipes, timeout);
}

void ChildProcess::interrupt() {
  if (running) processPlatform::interrupt(child);
}

int ChildProcess::wait(std::chrono::milliseconds timeout) {
  closeInput();
  if (!running) return -1;
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline && pump(deadline)) {
  }
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  const std::optional<int> code =
      processPlatform::waitExit(child, std::max(left, std::chrono::milliseconds(0)));
  if (code) {
    processPlatform::release(child);
    running = false;
  }
  finish();
  return code.value_or(-1);
}

int ChildProcess::run(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                      std::string& out, std::string& err) {
  ChildProcess child;
  const int code = child.start(argv) ? child.wait(timeout) : -1;
  out = child.out;
  err = child.err;
  return code;
}
