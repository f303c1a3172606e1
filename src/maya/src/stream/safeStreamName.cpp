#include "stream/safeStreamName.h"

#include <cstddef>
#include <cstdint>
#include <set>

namespace {

// As a BVH text spells them, and the upper-case forms of those that are not.
const char* const kGrammarWords[] = {
    "HIERARCHY", "ROOT",   "JOINT",  "End",    "END",   "Site",  "SITE", "OFFSET",
    "CHANNELS",  "MOTION", "Frames", "FRAMES", "Frame", "FRAME", "Time", "TIME"};

bool isAsciiWordByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The length of the well-formed UTF-8 sequence of more than one byte at text[at], with its code
// point; 0 when there is none.
std::size_t utf8Sequence(const std::string& text, std::size_t at, std::uint32_t& codePoint) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  std::uint32_t lowest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1Fu;
    lowest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0Fu;
    lowest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07u;
    lowest = 0x10000;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0u) != 0x80u) return 0;
    codePoint = (codePoint << 6) | (byte(i) & 0x3Fu);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  if (codePoint < lowest || codePoint > 0x10FFFF || surrogate) return 0;
  return length;
}

// Spaces and line breaks beyond ASCII: a reader that splits on them would see two names.
bool isUnicodeSpace(std::uint32_t c) {
  return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200B) || c == 0x2028 ||
         c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

bool isGrammarWord(const std::string& name) {
  for (const char* word : kGrammarWords) {
    if (name == word) return true;
  }
  return false;
}

}  // namespace

std::string safeStreamName(const std::string& name) {
  std::string safe;
  safe.reserve(name.size() + 1);
  for (std::size_t at = 0; at < name.size();) {
    const auto c = static_cast<unsigned char>(name[at]);
    if (c < 0x80) {
      safe += isAsciiWordByte(c) ? static_cast<char>(c) : '_';
      ++at;
      continue;
    }
    std::uint32_t codePoint = 0;
    const std::size_t length = utf8Sequence(name, at, codePoint);
    if (length == 0 || isUnicodeSpace(codePoint)) {
      safe += '_';
      at += length == 0 ? 1 : length;
      continue;
    }
    safe.append(name, at, length);
    at += length;
  }
  if (safe.empty() || (safe[0] >= '0' && safe[0] <= '9') || isGrammarWord(safe)) {
    safe.insert(safe.begin(), '_');
  }
  return safe;
}

std::vector<std::string> safeStreamNames(const std::vector<std::string>& names) {
  std::vector<std::string> safe;
  safe.reserve(names.size());
  for (const std::string& name : names) safe.push_back(safeStreamName(name));
  // Names that come out unchanged keep them; only the later of two that collide is numbered.
  std::set<std::string> taken(safe.begin(), safe.end());
  std::set<std::string> seen;
  for (std::string& name : safe) {
    if (seen.insert(name).second) continue;
    std::string numbered;
    for (int number = 2;; ++number) {
      numbered = name + "_" + std::to_string(number);
      if (taken.count(numbered) == 0) break;
    }
    name = numbered;
    taken.insert(name);
    seen.insert(name);
  }
  return safe;
}
