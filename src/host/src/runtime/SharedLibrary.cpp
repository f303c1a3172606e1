#include "runtime/SharedLibrary.h"

#ifdef _WIN32
#include <windows.h>

#include <filesystem>
#else
#include <dlfcn.h>
#endif

namespace host {

#ifdef _WIN32

namespace {

std::string systemText(DWORD error) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = length > 0 ? std::string(text, length) : "error " + std::to_string(error);
  if (text != nullptr) LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
  return result;
}

}  // namespace

void* SharedLibrary::open(const std::string& path, std::string& error) {
  // Windows' own separators: the loader takes "/" too, but not in every form of path.
  const std::wstring wide = std::filesystem::u8path(path).make_preferred().wstring();
  HMODULE library = LoadLibraryW(wide.c_str());
  if (library == nullptr) error = systemText(GetLastError());
  return reinterpret_cast<void*>(library);
}

void* SharedLibrary::symbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void SharedLibrary::close(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

#else

void* SharedLibrary::open(const std::string& path, std::string& error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    error = reason != nullptr ? reason : "unknown error";
  }
  return library;
}

void* SharedLibrary::symbol(void* library, const char* name) { return dlsym(library, name); }

void SharedLibrary::close(void* library) { dlclose(library); }

#endif

}  // namespace host
