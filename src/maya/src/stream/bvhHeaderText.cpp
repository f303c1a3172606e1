#include "stream/bvhHeaderText.h"

#include <algorithm>
#include <limits>
#include <locale>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "stream/safeStreamName.h"

namespace {

const char* const kChannelNames[] = {"Xposition", "Yposition", "Zposition",
                                     "Xrotation", "Yrotation", "Zrotation"};

class TextWriter {
 public:
  TextWriter(int actorSlot, std::vector<std::string> jointNames)
      : slot(actorSlot), names(std::move(jointNames)) {
    text.imbue(std::locale::classic());
    // Every float reads back as itself: the live outputs carry the offsets exactly.
    text.precision(std::numeric_limits<float>::max_digits10);
  }

  // parentTurns: the rotation channels written for the parent (Z X Y above the root).
  void writeJoint(const BrexPlugs::BVH_JOIN& joint, bool root,
                  const std::vector<int>& parentTurns = {5, 3, 4}) {
    if (root)
      text << "HIERARCHY\nROOT ";
    else
      text << "JOINT ";
    text << names[nextName++] << slot << "\n{\n";
    writeOffset(joint.offset());
    const std::vector<int> turns = writeChannels(joint, parentTurns);
    int closingBraces = 1;
    if (joint.has_endsite()) {
      text << "End Site\n{\n";
      writeOffset(joint.endsite());
      ++closingBraces;
    }
    for (const BrexPlugs::BVH_JOIN& child : joint.childjoin()) writeJoint(child, false, turns);
    for (int i = 0; i < closingBraces; ++i) text << "}\n";
  }

  std::string finish() {
    text << "MOTION\nFrames : 0\nFrame Time : 0.01\n";
    return text.str();
  }

 private:
  void writeOffset(const BrexPlugs::BVH_VECTOR& offset) {
    text << "OFFSET " << offset.x() << " " << offset.y() << " " << offset.z() << "\n";
  }

  // Returns the rotation channels written.
  std::vector<int> writeChannels(const BrexPlugs::BVH_JOIN& joint,
                                 const std::vector<int>& parentTurns) {
    std::vector<int> written(joint.channels().begin(), joint.channels().end());
    std::vector<int> turns;
    std::vector<int> moves;
    for (int channel : written) {
      std::vector<int>& kind = channel >= BrexPlugs::BVH_JOIN::Xrotation ? turns : moves;
      if (std::find(kind.begin(), kind.end(), channel) == kind.end()) kind.push_back(channel);
    }
    if (written.size() != 3 && written.size() != 6) {
      // A BVH reader takes only 3 or 6 channels, and the text carries no motion: the list only
      // decides how the joint turns and whether it has positions. Its own rotations, the axes it
      // lacks after them (turns of 0 about those change nothing), or else its parent's; its
      // positions when it has all three.
      if (turns.empty()) turns = parentTurns;
      for (int channel = BrexPlugs::BVH_JOIN::Xrotation; channel <= BrexPlugs::BVH_JOIN::Zrotation;
           ++channel) {
        if (std::find(turns.begin(), turns.end(), channel) == turns.end()) turns.push_back(channel);
      }
      written = moves.size() == 3 ? moves : std::vector<int>();
      written.insert(written.end(), turns.begin(), turns.end());
    }
    text << "CHANNELS " << written.size() << " ";
    for (int channel : written) text << kChannelNames[channel] << " ";
    text << "\n";
    return turns.empty() ? parentTurns : turns;
  }

  int slot;
  // Of every joint in pre-order, made safe.
  std::vector<std::string> names;
  std::size_t nextName = 0;
  std::ostringstream text;
};

void collectNames(const BrexPlugs::BVH_JOIN& joint, std::vector<std::string>& names) {
  names.push_back(joint.joinname());
  for (const BrexPlugs::BVH_JOIN& child : joint.childjoin()) collectNames(child, names);
}

}  // namespace

std::string bvhHeaderText(const BrexPlugs::BVH_JOIN& root, int slot) {
  std::vector<std::string> names;
  collectNames(root, names);
  TextWriter writer(slot, safeStreamNames(names));
  writer.writeJoint(root, true);
  return writer.finish();
}

std::string actorHierarchy(const std::string& text, int slot) {
  const std::string suffix = std::to_string(slot);
  std::string hierarchy;
  hierarchy.reserve(text.size());
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (line == "MOTION") break;
    const std::size_t keyword = line.rfind("ROOT ", 0) == 0    ? 5
                                : line.rfind("JOINT ", 0) == 0 ? 6
                                                               : line.size();
    // A name that is the suffix alone keeps it: a joint without a name reads as no joint.
    const bool suffixed = line.size() > keyword + suffix.size() &&
                          line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0;
    hierarchy.append(line, 0, suffixed ? line.size() - suffix.size() : line.size());
    hierarchy += '\n';
    start = end + 1;
  }
  return hierarchy;
}
