#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

// A file's bytes as they are on disk; empty when it cannot be read. The path is UTF-8, as the
// programs under test take theirs, so a non-ASCII folder reads on Windows too.
inline std::string readFile(const std::string& path) {
  std::ifstream file(std::filesystem::u8path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// A text's lines without their line ends.
inline std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}
