#include "ProcessPlatform.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <thread>
#else
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

extern char** environ;
#endif

namespace processPlatform {

namespace {

using Clock = std::chrono::steady_clock;

long long millisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? left.count() : 0;
}

}  // namespace

#ifdef _WIN32

namespace {

std::wstring wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  std::wstring result(
      static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0)),
      L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, result.data(),
                      static_cast<int>(result.size()));
  return result;
}

std::string utf8(const wchar_t* text, std::size_t length) {
  if (length == 0) return std::string();
  const int size = static_cast<int>(length);
  std::string result(static_cast<std::size_t>(
                         WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr)),
                     '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, size, result.data(), static_cast<int>(result.size()),
                      nullptr, nullptr);
  return result;
}

std::string systemText(DWORD error) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = length > 0 ? std::string(text, length) : "error " + std::to_string(error);
  if (text != nullptr) LocalFree(text);
  result.erase(result.find_last_not_of(" \r\n") + 1);
  return result;
}

// One argument as the C runtime and CommandLineToArgvW read it back: quoted when it is empty or
// holds a blank or a quote, and inside quotes a backslash doubled only where a quote follows.
std::wstring quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring text = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    text.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    text += c;
  }
  text.append(backslashes * 2, L'\\');
  return text + L'"';
}

// A pipe end. For a pipe this process reads, a read is always under way (pending) until the
// pipe ends: waitReadable waits on its event.
struct PipeEnd {
  HANDLE handle = INVALID_HANDLE_VALUE;
  HANDLE event = nullptr;
  OVERLAPPED overlapped{};
  bool pending = false;
  bool ended = false;
  char buffer[16384];
};

PipeEnd& end(Pipe pipe) { return *reinterpret_cast<PipeEnd*>(pipe); }

void startRead(PipeEnd& reader) {
  reader.overlapped = OVERLAPPED{};
  reader.overlapped.hEvent = reader.event;
  if (ReadFile(reader.handle, reader.buffer, sizeof reader.buffer, nullptr, &reader.overlapped) ||
      GetLastError() == ERROR_IO_PENDING) {
    reader.pending = true;
  } else {
    reader.ended = true;
  }
}

const SECURITY_ATTRIBUTES kInherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};

// A pipe for the child to write and this process to read. Anonymous pipes cannot be read with
// overlapped reads, which a wait on several pipes needs: a named pipe of this process's own.
bool makeReadPipe(Pipe& ours, HANDLE& theirs) {
  static std::atomic<unsigned int> serial{0};
  const std::wstring name = L"\\\\.\\pipe\\marvik-" + std::to_wstring(GetCurrentProcessId()) +
                            L"-" + std::to_wstring(++serial);
  const HANDLE server = CreateNamedPipeW(
      name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, 65536, 0, nullptr);
  if (server == INVALID_HANDLE_VALUE) return false;
  SECURITY_ATTRIBUTES inherited = kInherited;
  theirs = CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherited, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  if (theirs == INVALID_HANDLE_VALUE) {
    CloseHandle(server);
    return false;
  }
  auto* reader = new PipeEnd;
  reader->handle = server;
  reader->event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  startRead(*reader);
  ours = reinterpret_cast<Pipe>(reader);
  return true;
}

// A pipe for this process to write and the child to read.
bool makeWritePipe(Pipe& ours, HANDLE& theirs) {
  SECURITY_ATTRIBUTES inherited = kInherited;
  HANDLE writing = nullptr;
  if (!CreatePipe(&theirs, &writing, &inherited, 65536)) return false;
  SetHandleInformation(writing, HANDLE_FLAG_INHERIT, 0);
  auto* writer = new PipeEnd;
  writer->handle = writing;
  ours = reinterpret_cast<Pipe>(writer);
  return true;
}

HANDLE nullDevice(bool reading) {
  SECURITY_ATTRIBUTES inherited = kInherited;
  return CreateFileW(L"NUL", reading ? GENERIC_READ : GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
}

// Once, before the first child. This process's standard handles are made uninheritable, so that
// no process started on its behalf (the console host below, and what that starts) holds them, and
// with them our parent's pipes, past this process's end; a child that shares them gets copies.
// A console program started without a console (Wine from a pipe, a detached process) gets one of
// its own, which its children share: Ctrl-Break reaches only the processes on the sender's
// console. Wine gives such a process a stand-in, which AllocConsole refuses until it is freed.
void prepareForChildren() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  const DWORD kinds[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  HANDLE kept[3];
  for (int i = 0; i < 3; ++i) {
    kept[i] = GetStdHandle(kinds[i]);
    SetHandleInformation(kept[i], HANDLE_FLAG_INHERIT, 0);
  }
  DWORD attached = 0;
  if (GetConsoleProcessList(&attached, 1) != 0) return;
  FreeConsole();
  AllocConsole();
  // AllocConsole points the standard handles at the new console; ours stay where they were.
  for (int i = 0; i < 3; ++i) SetStdHandle(kinds[i], kept[i]);
}

bool startChild(const std::vector<std::string>& argv, const Stream (&streams)[3], bool ownGroup,
                Child& child, std::string& error) {
  if (argv.empty()) {
    error = "no program";
    return false;
  }
  prepareForChildren();
  const DWORD kinds[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  HANDLE theirs[3] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
  Pipe ours[3] = {kNoPipe, kNoPipe, kNoPipe};
  bool made = true;
  for (int i = 0; i < 3 && made; ++i) {
    if (streams[i] == Stream::kPipe) {
      made = i == 0 ? makeWritePipe(ours[i], theirs[i]) : makeReadPipe(ours[i], theirs[i]);
      continue;
    }
    const HANDLE own = GetStdHandle(kinds[i]);
    if (streams[i] == Stream::kShared && own != nullptr && own != INVALID_HANDLE_VALUE &&
        DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &theirs[i], 0, TRUE,
                        DUPLICATE_SAME_ACCESS)) {
      continue;
    }
    theirs[i] = nullDevice(i == 0);
    made = theirs[i] != INVALID_HANDLE_VALUE;
  }

  std::wstring commandLine;
  for (const std::string& argument : argv) {
    commandLine += (commandLine.empty() ? L"" : L" ") + quoted(wide(argument));
  }
  std::wstring program = wide(argv[0]);
  std::replace(program.begin(), program.end(), L'/', L'\\');
  // The child inherits these three handles alone, not every inheritable one this process holds
  // (a socket is, from Winsock): a listening socket left to a child would hold its port.
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<char> attributes(size);
  auto* inherited = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
  const bool listed = made && InitializeProcThreadAttributeList(inherited, 1, 0, &size);
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = theirs[0];
  startup.StartupInfo.hStdOutput = theirs[1];
  startup.StartupInfo.hStdError = theirs[2];
  startup.lpAttributeList = inherited;
  PROCESS_INFORMATION started{};
  // Suspended until it is in its job, so that nothing it starts escapes the job.
  const DWORD flags =
      CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT | (ownGroup ? CREATE_NEW_PROCESS_GROUP : 0);
  made = listed &&
         UpdateProcThreadAttribute(inherited, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, theirs,
                                   sizeof theirs, nullptr, nullptr) &&
         CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags, nullptr,
                        nullptr, &startup.StartupInfo, &started);
  if (!made) error = systemText(GetLastError());
  if (listed) DeleteProcThreadAttributeList(inherited);
  for (HANDLE handle : theirs) {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  if (!made) {
    for (Pipe pipe : ours) close(pipe);
    return false;
  }

  // Killing the job kills the child with all it started; closing it does the same, so children
  // end with this process however it ends. Without jobs (nested jobs need Windows 8) the child
  // alone.
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job != nullptr &&
      (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
       !AssignProcessToJobObject(job, started.hProcess))) {
    CloseHandle(job);
    job = nullptr;
  }
  ResumeThread(started.hThread);
  CloseHandle(started.hThread);
  child.id = static_cast<int>(started.dwProcessId);
  child.process = reinterpret_cast<std::uintptr_t>(started.hProcess);
  child.job = reinterpret_cast<std::uintptr_t>(job);
  child.input = ours[0];
  child.output = ours[1];
  child.errors = ours[2];
  return true;
}

BOOL WINAPI leaveToChild(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? TRUE : FALSE;
}

}  // namespace

bool start(const std::vector<std::string>& argv, Stream input, Stream output, Stream errors,
           Child& child, std::string& error) {
  return startChild(argv, {input, output, errors}, true, child, error);
}

void waitReadable(const std::vector<Pipe>& pipes, std::chrono::milliseconds timeout) {
  std::vector<HANDLE> events;
  for (const Pipe pipe : pipes) {
    const PipeEnd& reader = end(pipe);
    if (!reader.pending) return;
    events.push_back(reader.event);
  }
  if (events.empty()) return;
  const auto deadline = Clock::now() + timeout;
  if (events.size() <= MAXIMUM_WAIT_OBJECTS) {
    WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE,
                           static_cast<DWORD>(millisecondsLeft(deadline)));
    return;
  }
  // One wait takes 64 handles at most: past that, look at them all in turn, and wait briefly.
  for (;;) {
    for (std::size_t first = 0; first < events.size(); first += MAXIMUM_WAIT_OBJECTS) {
      const auto count = std::min<std::size_t>(MAXIMUM_WAIT_OBJECTS, events.size() - first);
      if (WaitForMultipleObjects(static_cast<DWORD>(count), events.data() + first, FALSE, 0) !=
          WAIT_TIMEOUT) {
        return;
      }
    }
    const long long left = millisecondsLeft(deadline);
    if (left == 0) return;
    WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, events.data(), FALSE,
                           static_cast<DWORD>(std::min(left, 10LL)));
  }
}

bool readAvailable(Pipe pipe, std::string& bytes) {
  PipeEnd& reader = end(pipe);
  // A bounded number of reads, so that a child that writes without pause cannot hold the call.
  for (int round = 0; round < 16 && !reader.ended; ++round) {
    if (reader.pending) {
      DWORD got = 0;
      if (!GetOverlappedResult(reader.handle, &reader.overlapped, &got, FALSE)) {
        if (GetLastError() == ERROR_IO_INCOMPLETE) return true;
        // ERROR_BROKEN_PIPE: every writer has closed its end.
        reader.pending = false;
        reader.ended = true;
        break;
      }
      reader.pending = false;
      bytes.append(reader.buffer, got);
    }
    startRead(reader);
  }
  return !reader.ended;
}

bool writeAll(Pipe pipe, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - sent, 1 << 20));
    if (!WriteFile(end(pipe).handle, bytes.data() + sent, chunk, &written, nullptr)) return false;
    sent += written;
  }
  return true;
}

void close(Pipe pipe) {
  if (pipe == kNoPipe) return;
  PipeEnd* state = &end(pipe);
  if (state->pending) {
    // The read must be over before its buffer goes.
    DWORD got = 0;
    CancelIoEx(state->handle, &state->overlapped);
    GetOverlappedResult(state->handle, &state->overlapped, &got, TRUE);
  }
  CloseHandle(state->handle);
  if (state->event != nullptr) CloseHandle(state->event);
  delete state;
}

std::optional<int> waitExit(Child& child, std::chrono::milliseconds timeout) {
  const HANDLE process = reinterpret_cast<HANDLE>(child.process);
  const auto milliseconds = std::min<long long>(timeout.count(), INFINITE - 1);
  if (WaitForSingleObject(process, static_cast<DWORD>(std::max(milliseconds, 0LL))) !=
      WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  return static_cast<int>(code);
}

void interrupt(const Child& child) {
  const DWORD group = static_cast<DWORD>(child.id);
  if (!GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, group)) {
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, group);
  }
}

void kill(const Child& child) {
  if (child.job != 0) {
    TerminateJobObject(reinterpret_cast<HANDLE>(child.job), 1);
  } else {
    TerminateProcess(reinterpret_cast<HANDLE>(child.process), 1);
  }
}

void release(Child& child) {
  if (child.process != 0) CloseHandle(reinterpret_cast<HANDLE>(child.process));
  if (child.job != 0) CloseHandle(reinterpret_cast<HANDLE>(child.job));
  child.process = 0;
  child.job = 0;
}

std::optional<int> runInstead(const std::vector<std::string>& argv, std::string& error) {
  // Taken back, before the child inherits it, from a process group of its own, which ignores
  // Ctrl-C: Wine keeps it from a child that inherited that, even once the child takes it back.
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(leaveToChild, TRUE);
  Child child;
  if (!startChild(argv, {Stream::kShared, Stream::kShared, Stream::kShared}, false, child, error)) {
    return std::nullopt;
  }
  const std::optional<int> code = waitExit(child, std::chrono::milliseconds(INFINITE - 1));
  release(child);
  return code.value_or(1);
}

std::vector<std::string> startProgram(int, char**) {
  for (std::FILE* stream : {stdin, stdout, stderr}) _setmode(_fileno(stream), _O_BINARY);
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> result;
  for (int i = 1; i < count; ++i) result.push_back(utf8(arguments[i], wcslen(arguments[i])));
  LocalFree(arguments);
  return result;
}

std::string programPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) return utf8(path.data(), length);
    path.resize(path.size() * 2);
  }
}

std::optional<std::string> environment(const char* name) {
  const wchar_t* value = _wgetenv(wide(name).c_str());
  if (value == nullptr) return std::nullopt;
  return utf8(value, wcslen(value));
}

bool isTerminal(std::FILE* stream) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (!GetConsoleMode(handle, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

unsigned int usableCores() {
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  unsigned int count = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
    for (; process != 0; process &= process - 1) ++count;
  }
  if (count == 0) count = std::thread::hardware_concurrency();
  return std::max(count, 1u);
}

int processId() { return static_cast<int>(GetCurrentProcessId()); }

bool canReadOffsets() { return false; }

bool readOffset(const std::string&, long long&) { return false; }

#else

namespace {

int descriptor(Pipe pipe) { return static_cast<int>(pipe); }

}  // namespace

bool start(const std::vector<std::string>& argv, Stream input, Stream output, Stream errors,
           Child& child, std::string& error) {
  if (argv.empty()) {
    error = "no program";
    return false;
  }
  const Stream streams[3] = {input, output, errors};
  int theirs[3] = {-1, -1, -1};
  Pipe ours[3] = {kNoPipe, kNoPipe, kNoPipe};
  int failed = 0;
  for (int i = 0; i < 3 && failed == 0; ++i) {
    if (streams[i] == Stream::kShared) {
      theirs[i] = i;
    } else if (streams[i] == Stream::kNull) {
      theirs[i] = ::open("/dev/null", (i == 0 ? O_RDONLY : O_WRONLY) | O_CLOEXEC);
      if (theirs[i] < 0) failed = errno;
    } else {
      int ends[2];
      if (::pipe2(ends, O_CLOEXEC) != 0) {
        failed = errno;
        continue;
      }
      theirs[i] = ends[i == 0 ? 0 : 1];
      const int mine = ends[i == 0 ? 1 : 0];
      if (i > 0) ::fcntl(mine, F_SETFL, ::fcntl(mine, F_GETFL) | O_NONBLOCK);
      ours[i] = static_cast<Pipe>(mine);
    }
  }
  if (input == Stream::kPipe) ::signal(SIGPIPE, SIG_IGN);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int i = 0; i < 3; ++i) {
    if (streams[i] != Stream::kShared) posix_spawn_file_actions_adddup2(&actions, theirs[i], i);
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  // posix_spawn reports a program that cannot run, where fork and exec could only exit; glibc
  // before 2.24 does not, hence the look first.
  if (failed == 0 && ::access(args[0], X_OK) != 0) failed = errno;
  if (failed == 0) failed = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  for (int i = 0; i < 3; ++i) {
    if (theirs[i] >= 0 && streams[i] != Stream::kShared) ::close(theirs[i]);
  }
  if (failed != 0) {
    error = std::strerror(failed);
    for (Pipe pipe : ours) close(pipe);
    return false;
  }
  child.id = static_cast<int>(pid);
  child.input = ours[0];
  child.output = ours[1];
  child.errors = ours[2];
  return true;
}

void waitReadable(const std::vector<Pipe>& pipes, std::chrono::milliseconds timeout) {
  std::vector<pollfd> entries;
  for (const Pipe pipe : pipes) entries.push_back({descriptor(pipe), POLLIN, 0});
  const auto deadline = Clock::now() + timeout;
  while (::poll(entries.data(), entries.size(), static_cast<int>(millisecondsLeft(deadline))) < 0 &&
         errno == EINTR) {
  }
}

bool readAvailable(Pipe pipe, std::string& bytes) {
  // A bounded number of reads, so that a child that writes without pause cannot hold the call.
  for (int round = 0; round < 16; ++round) {
    char buffer[16384];
    const ssize_t got = ::read(descriptor(pipe), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (got <= 0) return false;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  return true;
}

bool writeAll(Pipe pipe, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t written = ::write(descriptor(pipe), bytes.data() + sent, bytes.size() - sent);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    sent += static_cast<std::size_t>(written);
  }
  return true;
}

void close(Pipe pipe) {
  if (pipe != kNoPipe) ::close(descriptor(pipe));
}

std::optional<int> waitExit(Child& child, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(child.id, &status, WNOHANG);
    if (done == child.id) {
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    }
    if (done < 0 && errno != EINTR) return -1;
    const long long left = millisecondsLeft(deadline);
    if (left == 0) return std::nullopt;
    // No descriptor tells of a child's end: look again shortly.
    pollfd none{-1, 0, 0};
    ::poll(&none, 1, static_cast<int>(std::min(left, 5LL)));
  }
}

void interrupt(const Child& child) { ::kill(child.id, SIGINT); }

void kill(const Child& child) { ::kill(child.id, SIGKILL); }

void release(Child&) {}

std::optional<int> runInstead(const std::vector<std::string>& argv, std::string& error) {
  if (argv.empty()) {
    error = "no program";
    return std::nullopt;
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  ::execv(args[0], args.data());
  error = std::strerror(errno);
  return std::nullopt;
}

std::vector<std::string> startProgram(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::string programPath() {
  char self[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof(self) - 1);
  return length <= 0 ? std::string() : std::string(self, static_cast<std::size_t>(length));
}

std::optional<std::string> environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

bool isTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) == 1; }

unsigned int usableCores() {
  cpu_set_t cores;
  if (::sched_getaffinity(0, sizeof cores, &cores) == 0) {
    return static_cast<unsigned int>(std::max(CPU_COUNT(&cores), 1));
  }
  return static_cast<unsigned int>(std::max(::sysconf(_SC_NPROCESSORS_ONLN), 1L));
}

int processId() { return static_cast<int>(::getpid()); }

bool canReadOffsets() { return true; }

bool readOffset(const std::string& path, long long& offset) {
  struct stat target;
  if (::stat(path.c_str(), &target) != 0) return false;
  DIR* directory = ::opendir("/proc/self/fd");
  if (directory == nullptr) return false;
  bool found = false;
  while (dirent* entry = ::readdir(directory)) {
    const std::string fd = "/proc/self/fd/" + std::string(entry->d_name);
    struct stat opened;
    if (entry->d_name[0] == '.' || ::stat(fd.c_str(), &opened) != 0) continue;
    if (opened.st_dev != target.st_dev || opened.st_ino != target.st_ino) continue;
    std::ifstream info("/proc/self/fdinfo/" + std::string(entry->d_name));
    std::string key;
    long long value = 0;
    if (info >> key >> value && key == "pos:") offset = value;
    found = true;
    break;
  }
  ::closedir(directory);
  return found;
}

#endif

}  // namespace processPlatform
