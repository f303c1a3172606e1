#pragma once

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <chrono>
#include <string>

// What the tests do differently on Windows and POSIX.
namespace support {

// The library at a UTF-8 path if this process has already loaded it, else nothing: never loads
// it. Holds a reference of its own, so the library stays mapped while this object lives.
class LoadedLibrary {
 public:
  explicit LoadedLibrary(const std::string& path);
  ~LoadedLibrary();
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  bool loaded() const { return handle != nullptr; }
  // The address of a function or datum the library exports under name (C++ names mangled, on
  // Windows too); null if it exports none, or is not loaded.
  void* symbol(const char* name) const;

 private:
  void* handle = nullptr;
};

// Inline, for tests that do not link mocapTestPlatform.
inline int processId() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<int>(getpid());
#endif
}

// Sets a variable of this process's environment, replacing any value it had.
void setEnvironment(const std::string& name, const std::string& value);

// A process started by parent, or -1 when it has none.
int childProcessOf(int parent);
// Ends a process at once; false when there is none to end.
bool killProcess(int id);
// Waits up to timeout until the process is gone; false if it still runs. A POSIX process must
// have been reaped by its parent.
bool processEnds(int id, std::chrono::milliseconds timeout);

// A file at a UTF-8 path whose reader blocks until this object lets it go: a FIFO. Windows has
// no such file (its named pipes are no files to std::filesystem), so made() is false there.
class BlockingFile {
 public:
  explicit BlockingFile(const std::string& path);
  // Lets a blocked reader go: it reads the end of the file.
  ~BlockingFile();
  BlockingFile(const BlockingFile&) = delete;
  BlockingFile& operator=(const BlockingFile&) = delete;

  bool made() const { return isMade; }
  // Waits up to timeout until a reader has opened the file; false if none has.
  bool waitForReader(std::chrono::milliseconds timeout);

 private:
  std::string path;
  bool isMade = false;
  int writer = -1;
};

}  // namespace support
