#include "ConvertPlan.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

bool isBvhName(const fs::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".bvh";
}

// One file, however it is named: its real path where it exists.
std::string identity(const std::string& path) {
  std::error_code error;
  const fs::path given = fs::u8path(path);
  const fs::path real = fs::weakly_canonical(given, error);
  return error ? fs::absolute(given, error).lexically_normal().u8string() : real.u8string();
}

}  // namespace

void ConvertPlan::add(const std::string& path) {
  std::error_code error;
  const fs::path given = fs::u8path(path);
  if (!fs::is_directory(given, error)) {
    const fs::path base = outDirectory.empty() ? given.parent_path() : fs::u8path(outDirectory);
    addFile(path, (base / given.filename()).replace_extension().u8string());
    return;
  }
  const fs::path base = outDirectory.empty() ? given : fs::u8path(outDirectory);
  fs::recursive_directory_iterator entry(given, fs::directory_options::skip_permission_denied,
                                         error);
  for (; !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
    std::error_code typeError;
    if (!entry->is_regular_file(typeError) || !isBvhName(entry->path())) continue;
    const fs::path relative = entry->path().lexically_relative(given);
    addFile(entry->path().u8string(), (base / relative).replace_extension().u8string());
  }
  if (error) {
    File failed;
    failed.input = path;
    failed.problem = "cannot search the folder: " + error.message();
    files.push_back(failed);
  }
}

bool ConvertPlan::addList(const std::string& listPath, std::string& error) {
  std::ifstream list(fs::u8path(listPath));
  if (!list) {
    error = "cannot read the list " + listPath;
    return false;
  }
  for (std::string line; std::getline(list, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") != std::string::npos) add(line);
  }
  return true;
}

void ConvertPlan::addFile(const std::string& path, const std::string& outputStem) {
  File file;
  file.input = path;
  file.outputStem = outputStem;
  std::error_code error;
  const fs::path native = fs::u8path(path);
  const fs::file_status status = fs::status(native, error);
  if (!fs::exists(status)) {
    file.problem =
        (error ? error : std::make_error_code(std::errc::no_such_file_or_directory)).message();
  } else if (fs::is_regular_file(status)) {
    file.bytes = fs::file_size(native, error);
    if (error) file.bytes = 0;
  }
  files.push_back(file);
}

void ConvertPlan::select(unsigned int shard, unsigned int shards, bool ma, bool json, bool force,
                         bool png, bool bvh) {
  // By the path with "/" for every separator, so that a list sorts alike however Windows paths
  // are spelled, and on every machine of a farm.
  std::vector<std::pair<std::string, File>> sorted;
  for (File& file : files) {
    sorted.emplace_back(fs::u8path(file.input).generic_u8string(), std::move(file));
  }
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  files.clear();
  for (auto& entry : sorted) files.push_back(std::move(entry.second));
  std::set<std::string> seen;
  std::map<std::string, std::string> owners;
  std::vector<File> unique;
  for (File& file : files) {
    if (!seen.insert(identity(file.input)).second) continue;
    if (file.problem.empty()) {
      auto owner = owners.emplace(identity(file.outputStem), file.input);
      if (!owner.second) file.problem = "its outputs are those of " + owner.first->second;
    }
    unique.push_back(std::move(file));
  }

  files.clear();
  for (std::size_t i = shard; i < unique.size(); i += shards) files.push_back(std::move(unique[i]));

  for (File& file : files) {
    if (ma) file.ma = file.outputStem + ".ma";
    if (json) file.json = file.outputStem + ".json";
    if (png) file.png = file.outputStem + ".png";
    if (bvh) {
      file.bvh = file.outputStem + ".bvh";
      if (file.problem.empty() && identity(file.bvh) == identity(file.input)) {
        file.problem = "its BVH output would replace it (give --out DIR)";
      }
    }
    if (force || !file.problem.empty()) continue;
    std::error_code error;
    const fs::file_time_type written = fs::last_write_time(fs::u8path(file.input), error);
    if (error) continue;
    auto newer = [&written](const std::string& output) {
      std::error_code outputError;
      const fs::file_time_type time = fs::last_write_time(fs::u8path(output), outputError);
      return output.empty() || (!outputError && time > written);
    };
    file.upToDate = newer(file.ma) && newer(file.json) && newer(file.png) && newer(file.bvh);
  }
}
