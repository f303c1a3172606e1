#include "stream/bvhHeaderText.h"

#include <algorithm>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const kChannelNames[] = {"Xposition", "Yposition", "Zposition",
                                     "Xrotation", "Yrotation", "Zrotation"};

class TextWriter {
 public:
  explicit TextWriter(int actorSlot) : slot(actorSlot) { text.imbue(std::locale::classic()); }

  void writeJoint(const BrexPlugs::BVH_JOIN& joint, bool root) {
    if (root)
      text << "HIERARCHY\nROOT ";
    else
      text << "JOINT ";
    text << joint.joinname() << slot << "\n{\n";
    writeOffset(joint.offset());
    writeChannels(joint);
    int closingBraces = 1;
    if (joint.has_endsite()) {
      text << "End Site\n{\n";
      writeOffset(joint.endsite());
      ++closingBraces;
    }
    for (const BrexPlugs::BVH_JOIN& child : joint.childjoin()) writeJoint(child, false);
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

  void writeChannels(const BrexPlugs::BVH_JOIN& joint) {
    const int count = joint.channels_size();
    std::vector<int> written;
    if (count == 3 || count == 6) {
      written.assign(joint.channels().begin(), joint.channels().end());
      rotationFallback.assign(written.end() - 3, written.end());
    } else {
      // A BVH reader takes only 3 or 6 channels. The text carries no motion, so the channel
      // list only decides the skeleton's rotation order: write the joint's own three
      // rotations, or else those of the joint written before it, which leaves that order as
      // it was.
      for (int channel : joint.channels()) {
        const bool rotation = channel >= BrexPlugs::BVH_JOIN::Xrotation;
        if (rotation && std::find(written.begin(), written.end(), channel) == written.end()) {
          written.push_back(channel);
        }
      }
      if (written.size() != 3) written = rotationFallback;
    }
    text << "CHANNELS " << written.size() << " ";
    for (int channel : written) text << kChannelNames[channel] << " ";
    text << "\n";
  }

  int slot;
  std::ostringstream text;
  // Rotation channels written last (Z X Y before any).
  std::vector<int> rotationFallback = {5, 3, 4};
};

}  // namespace

std::string bvhHeaderText(const BrexPlugs::BVH_JOIN& root, int slot) {
  TextWriter writer(slot);
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
