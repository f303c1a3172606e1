#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

// A fresh directory under the test temp folder, removed with everything in it when the object
// goes, so that a failed assertion leaves nothing behind. path() is empty if it could not be made.
class TempDirectory {
 public:
  explicit TempDirectory(const std::string& temp, const std::string& prefix) {
    std::string pattern = temp + prefix + "XXXXXX";
    if (::mkdtemp(&pattern[0]) != nullptr) directory = pattern;
  }
  ~TempDirectory() {
    std::error_code ignored;
    if (!directory.empty()) std::filesystem::remove_all(directory, ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  const std::string& path() const { return directory; }

 private:
  std::string directory;
};
