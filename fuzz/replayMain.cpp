// Runs a fuzz target over the files, and the files in the folders, named on the command line,
// so seeds and found inputs replay in any build without libFuzzer. Fails when a path cannot be
// read or names no input at all, so a mistyped seed folder does not pass as an empty one.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// Appends path, or the regular files directly inside it in name order; false if unreadable.
bool collect(const std::filesystem::path& path, std::vector<std::filesystem::path>& inputs) {
  std::error_code error;
  if (!std::filesystem::is_directory(path, error)) {
    inputs.push_back(path);
    return true;
  }
  std::vector<std::filesystem::path> files;
  for (std::filesystem::directory_iterator it(path, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file(error)) files.push_back(it->path());
  }
  if (error) return false;
  std::sort(files.begin(), files.end());
  inputs.insert(inputs.end(), files.begin(), files.end());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (!collect(argv[i], inputs)) {
      std::fprintf(stderr, "cannot list %s\n", argv[i]);
      return 1;
    }
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "usage: %s <file or folder>...\n", argc > 0 ? argv[0] : "replay");
    return 1;
  }
  for (const std::filesystem::path& input : inputs) {
    std::ifstream file(input, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "cannot read %s\n", input.u8string().c_str());
      return 1;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    std::fprintf(stderr, "Running: %s\n", input.u8string().c_str());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::fprintf(stderr, "Replayed %zu inputs\n", inputs.size());
  return 0;
}
