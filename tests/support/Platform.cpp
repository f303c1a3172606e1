#include "support/Platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdlib>
#include <filesystem>

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

#endif

}  // namespace support
