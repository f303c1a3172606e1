#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// The system calls for child processes and for this process, one function each, so that what
// Windows and POSIX do differently stays in ProcessPlatform.cpp. Texts and paths are UTF-8; on
// Windows they reach the system as wide strings. Main thread only.
namespace processPlatform {

// One end of a pipe: a descriptor on POSIX; on Windows, the state of a handle (and of the
// overlapped read under way on a pipe this process reads).
using Pipe = std::uintptr_t;
constexpr Pipe kNoPipe = ~Pipe{0};

// What a child's standard stream is: the null device, a pipe to this process, or this
// process's own stream.
enum class Stream { kNull, kPipe, kShared };

// A started child.
struct Child {
  int id = -1;
  // Windows: the process handle, and the job that holds the child and what it starts (or 0).
  std::uintptr_t process = 0;
  std::uintptr_t job = 0;
  // This process's ends of the pipes asked for, else kNoPipe.
  Pipe input = kNoPipe;
  Pipe output = kNoPipe;
  Pipe errors = kNoPipe;
};

// Starts argv[0], a path with its file name extension, with the arguments (on Windows in a
// command line quoted by its rules, in a process group of its own and a job that ends with this
// process). False, with the system's reason in error, when it cannot start. From the first child
// with an input pipe on, a write to a child that has ended fails instead of ending this process
// (POSIX: SIGPIPE is ignored).
bool start(const std::vector<std::string>& argv, Stream input, Stream output, Stream errors,
           Child& child, std::string& error);

// Waits up to timeout until one of the pipes, which this process reads, has bytes or has ended.
void waitReadable(const std::vector<Pipe>& pipes, std::chrono::milliseconds timeout);
// Appends what has arrived on a pipe this process reads, without waiting. False once the pipe
// has ended and all it held is appended.
bool readAvailable(Pipe pipe, std::string& bytes);
// Writes every byte; false when the reading end has closed.
bool writeAll(Pipe pipe, const std::string& bytes);
void close(Pipe pipe);

// The exit code once the child has ended (128 + the signal number after a POSIX signal), or
// nothing when timeout passes first.
std::optional<int> waitExit(Child& child, std::chrono::milliseconds timeout);
// What Ctrl-C does: SIGINT on POSIX; on Windows Ctrl-Break to its process group (Ctrl-C under
// Wine, which sends no other event to a group). The child must share this process's console,
// which start sees to.
void interrupt(const Child& child);
// Ends it at once; on Windows with every process it started.
void kill(const Child& child);
// Frees what the system keeps for an ended child; on Windows what it started ends too.
void release(Child& child);

// Runs argv[0] in this process's stead, with this process's standard streams. POSIX replaces
// this process; Windows cannot, so there this process waits for the child, which Ctrl-C and
// Ctrl-Break reach as well (they are left to it), and gives its exit code; the child ends with
// this process. Nothing, with the system's reason in error, when it cannot start.
std::optional<int> runInstead(const std::vector<std::string>& argv, std::string& error);

// Call first in main: the arguments after the program's name, in UTF-8 (Windows: from the wide
// command line, as the narrow one holds only the ANSI code page), and the standard streams set
// to pass bytes as they are (Windows' C runtime writes "\r\n" for "\n" and ends input at a
// Ctrl-Z).
std::vector<std::string> startProgram(int argc, char** argv);
// The running program's path; empty when the system does not tell.
std::string programPath();
std::optional<std::string> environment(const char* name);
// Whether stream is a terminal that takes ANSI escape sequences (on Windows, a console that
// does once asked).
bool isTerminal(std::FILE* stream);
// The cores this process may run on, which a farm's scheduler may have limited; at least 1.
unsigned int usableCores();
int processId();

// Whether readOffset can tell: Linux reads it from /proc; Windows keeps it to the file's owner.
bool canReadOffsets();
// True when a descriptor of this process is open on the file at path; offset is then its read
// offset, or unchanged when the system does not say.
bool readOffset(const std::string& path, long long& offset);

}  // namespace processPlatform
