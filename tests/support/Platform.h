#pragma once

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

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

}  // namespace support
