#include "stream/FilePlatform.h"

#include <cerrno>
#include <filesystem>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#endif

namespace filePlatform {

#ifdef _WIN32

std::FILE* createNew(const std::string& path, int& error) {
  // Only a wide path reaches names beyond the ANSI code page. _O_EXCL, unlike fopen's "x",
  // is known to every C runtime the module may meet.
  const std::wstring wide = std::filesystem::u8path(path).wstring();
  const int descriptor =
      _wopen(wide.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (descriptor < 0) {
    error = errno;
    return nullptr;
  }
  std::FILE* file = _fdopen(descriptor, "wb");
  if (file == nullptr) {
    error = errno;
    _close(descriptor);
    _wremove(wide.c_str());
  }
  return file;
}

#else

std::FILE* createNew(const std::string& path, int& error) {
  std::FILE* file = std::fopen(path.c_str(), "wbx");
  if (file == nullptr) error = errno;
  return file;
}

#endif

}  // namespace filePlatform
