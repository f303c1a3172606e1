#include "motion/JointChannel.h"

#include <string>

namespace {

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool startsWith(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (upperAscii(text[i]) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

JointChannel channelOfName(std::string_view name, bool positionByPlace) {
  if (name.empty()) return kNoChannel;
  const char letter = upperAscii(name[0]);
  if (letter < 'X' || letter > 'Z') return kNoChannel;
  const std::string_view kind = name.substr(1);
  bool position = positionByPlace;
  if (startsWith(kind, "POS")) position = true;
  if (startsWith(kind, "ROT")) position = false;
  return static_cast<JointChannel>((position ? kXposition : kXrotation) + (letter - 'X'));
}

bool hasPositionChannel(const std::vector<JointChannel>& channels, int axis) {
  for (JointChannel channel : channels) {
    if (channel == kXposition + axis) return true;
  }
  return false;
}

bool hasPositionChannels(const std::vector<JointChannel>& channels) {
  for (JointChannel channel : channels) {
    if (channel <= kZposition) return true;
  }
  return false;
}

bool hasRotationChannels(const std::vector<JointChannel>& channels) {
  for (JointChannel channel : channels) {
    if (channel >= kXrotation && channel <= kZrotation) return true;
  }
  return false;
}

RotationOrder channelRotationOrder(const std::vector<JointChannel>& channels) {
  std::string letters;
  for (JointChannel channel : channels) {
    if (channel < kXrotation || channel > kZrotation) continue;
    const char letter = static_cast<char>('X' + (channel - kXrotation));
    if (letters.find(letter) != std::string::npos) return kOrderInvalid;
    letters += letter;
  }
  if (letters.empty()) return kOrderInvalid;
  for (char letter : {'X', 'Y', 'Z'}) {
    if (letters.find(letter) == std::string::npos) letters += letter;
  }
  return parseRotationOrder(letters);
}
