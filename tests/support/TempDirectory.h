#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

// A fresh directory under the test temp folder, removed with everything in it when the object
// goes, so that a failed assertion leaves nothing behind. path() is empty if it could not be made.
class TempDirectory {
 public:
  explicit TempDirectory(const std::string& temp, const std::string& prefix) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    // create_directory is false for an existing one, so a name taken by now is never shared.
    for (int attempt = 0; attempt < 100 && directory.empty(); ++attempt) {
      std::string candidate = temp + prefix + std::to_string(random() % 1000000000u);
      std::error_code error;
      if (std::filesystem::create_directory(std::filesystem::u8path(candidate), error)) {
        directory = candidate;
      } else if (error) {
        return;
      }
    }
  }
  ~TempDirectory() {
    std::error_code ignored;
    if (directory.empty()) return;
    std::filesystem::remove_all(std::filesystem::u8path(directory), ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  const std::string& path() const { return directory; }

 private:
  std::string directory;
};
