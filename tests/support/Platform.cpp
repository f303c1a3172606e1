#include "support/Platform.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>
#include <sstream>
#include <thread>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace support {

#ifdef _WIN32

LoadedLibrary::LoadedLibrary(const std::string& path) {
  // The loader compares paths with backslashes only.
  const std::filesystem::path native = std::filesystem::u8path(path).make_preferred();
  HMODULE module = nullptr;
  // Flags 0: the handle counts as a reference, as LoadLibrary's would.
  if (GetModuleHandleExW(0, native.c_str(), &module)) handle = module;
}

LoadedLibrary::~LoadedLibrary() {
  if (handle != nullptr) FreeLibrary(static_cast<HMODULE>(handle));
}

void* LoadedLibrary::symbol(const char* name) const {
  if (handle == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void setEnvironment(const std::string& name, const std::string& value) {
  _putenv_s(name.c_str(), value.c_str());
}

int childProcessOf(int parent) {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  int found = -1;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && found < 0;
       more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID == static_cast<DWORD>(parent)) {
      found = static_cast<int>(entry.th32ProcessID);
    }
  }
  CloseHandle(snapshot);
  return found;
}

bool killProcess(int id) {
  const HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) return false;
  const bool ended = TerminateProcess(process, 1);
  CloseHandle(process);
  return ended;
}

bool processEnds(int id, std::chrono::milliseconds timeout) {
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) return true;
  const bool ended =
      WaitForSingleObject(process, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

BlockingFile::BlockingFile(const std::string& fifoPath) : path(fifoPath) {}

BlockingFile::~BlockingFile() {}

bool BlockingFile::waitForReader(std::chrono::milliseconds) { return false; }

#else

LoadedLibrary::LoadedLibrary(const std::string& path)
    : handle(dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD)) {}

LoadedLibrary::~LoadedLibrary() {
  if (handle != nullptr) dlclose(handle);
}

void* LoadedLibrary::symbol(const char* name) const {
  return handle != nullptr ? dlsym(handle, name) : nullptr;
}

void setEnvironment(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

int childProcessOf(int parent) {
  std::error_code error;
  for (std::filesystem::directory_iterator entry("/proc", error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream file(entry->path() / "stat");
    const std::string stat((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    // The command name in parentheses may hold blanks: the fields follow its last ')'.
    const auto close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(stat.substr(close + 2));
    std::string state;
    int parentId = -1;
    if (fields >> state >> parentId && parentId == parent) return std::stoi(name);
  }
  return -1;
}

bool killProcess(int id) { return ::kill(id, SIGKILL) == 0; }

bool processEnds(int id, std::chrono::milliseconds timeout) {
  // Nothing tells of another process's end: look again shortly.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (::kill(id, 0) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

BlockingFile::BlockingFile(const std::string& fifoPath)
    : path(fifoPath), isMade(::mkfifo(fifoPath.c_str(), 0600) == 0) {}

BlockingFile::~BlockingFile() {
  if (writer >= 0) ::close(writer);
}

bool BlockingFile::waitForReader(std::chrono::milliseconds timeout) {
  if (!isMade) return false;
  // Opening a FIFO to write returns once a reader has opened it.
  std::future<int> opened =
      std::async(std::launch::async, [fifo = path] { return ::open(fifo.c_str(), O_WRONLY); });
  if (opened.wait_for(timeout) != std::future_status::ready) {
    // A reader of our own lets the open return, so that the future can end.
    ::close(::open(path.c_str(), O_RDONLY | O_NONBLOCK));
    ::close(opened.get());
    return false;
  }
  writer = opened.get();
  return writer >= 0;
}

#endif

}  // namespace support
