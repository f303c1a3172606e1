#include "support/BvhReference.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "support/TestMatrix.h"

namespace bvhref {
namespace {

using testmatrix::Matrix;
using testmatrix::operator*;

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Whitespace-separated words, with every brace a word of its own.
std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string word; in >> word;) {
    std::string part;
    for (char c : word) {
      if (c == '{' || c == '}') {
        if (!part.empty()) result.push_back(part);
        part.clear();
        result.emplace_back(1, c);
      } else {
        part += c;
      }
    }
    if (!part.empty()) result.push_back(part);
  }
  return result;
}

class Reader {
 public:
  Reader(const std::string& text, Motion& target) : all(words(text)), motion(target) {}

  bool run(std::string& error) {
    if (!isWord("hierarchy") || !isWord("root")) return failed(error, "no HIERARCHY and ROOT");
    if (!readJoint(-1)) return failed(error, problem);
    if (at == all.size()) return true;
    if (!isWord("motion")) return failed(error, "no MOTION after the hierarchy");
    while (at < all.size()) {
      if (!readBlock()) return failed(error, problem);
    }
    return true;
  }

 private:
  bool failed(std::string& error, const std::string& why) {
    error = why + " (word " + std::to_string(at) + ")";
    return false;
  }
  bool fail(const std::string& why) {
    problem = why;
    return false;
  }
  bool isWord(const char* word) {
    if (at >= all.size() || lower(all[at]) != word) return false;
    ++at;
    return true;
  }
  bool number(double& value) {
    if (at >= all.size()) return fail("the text ends early");
    char* end = nullptr;
    value = std::strtod(all[at].c_str(), &end);
    if (end == all[at].c_str() || *end != '\0') return fail("not a number: " + all[at]);
    ++at;
    return true;
  }
  // "Label:", "Label :" or "Label" before a value.
  bool label(const char* name) {
    const std::string glued = std::string(name) + ":";
    if (at < all.size() && lower(all[at]) == glued) {
      ++at;
      return true;
    }
    if (!isWord(name)) return fail(std::string("no ") + name);
    if (at < all.size() && all[at] == ":") ++at;
    return true;
  }
  bool readOffset(Joint& joint) {
    if (!isWord("offset")) return fail("no OFFSET");
    for (double& value : joint.offset) {
      if (!number(value)) return false;
    }
    return true;
  }

  bool readJoint(int parent) {
    Joint joint;
    joint.parent = parent;
    while (at < all.size() && all[at] != "{") {
      joint.name += (joint.name.empty() ? "" : " ") + all[at++];
    }
    if (!isWord("{")) return fail("no brace after a name");
    if (!readOffset(joint)) return false;
    if (!isWord("channels")) return fail("no CHANNELS");
    double count = 0;
    if (!number(count)) return false;
    for (int i = 0; i < static_cast<int>(count); ++i) {
      if (at >= all.size()) return fail("the text ends in a channel list");
      joint.channels.push_back(all[at++]);
    }
    const int index = static_cast<int>(motion.joints.size());
    motion.joints.push_back(joint);
    for (;;) {
      if (isWord("}")) return true;
      if (isWord("joint")) {
        if (!readJoint(index)) return false;
      } else if (isWord("end")) {
        Joint site;
        site.parent = index;
        site.endSite = true;
        if (!isWord("site") || !isWord("{") || !readOffset(site) || !isWord("}")) {
          return fail("a malformed End Site");
        }
        motion.joints.push_back(site);
      } else {
        return fail("an unexpected word in a joint");
      }
    }
  }

  bool readBlock() {
    double frames = 0;
    double frameTime = 0;
    if (!label("frames") || !number(frames)) return false;
    if (!isWord("frame") || !label("time") || !number(frameTime)) return false;
    std::size_t channels = 0;
    for (const Joint& joint : motion.joints) channels += joint.channels.size();
    for (int f = 0; f < static_cast<int>(frames); ++f) {
      std::vector<double> values(channels);
      for (double& value : values) {
        if (!number(value)) return false;
      }
      motion.frames.push_back(values);
    }
    return true;
  }

  std::vector<std::string> all;
  std::size_t at = 0;
  Motion& motion;
  std::string problem;
};

int axisOf(const std::string& channel) {
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(channel[0])));
  return letter - 'X';
}

bool isPosition(const std::string& channel) {
  return lower(channel).find("position") != std::string::npos;
}

}  // namespace

bool read(const std::string& text, Motion& motion, std::string& error) {
  motion = Motion();
  return Reader(text, motion).run(error);
}

std::vector<Vector> worldPositions(const Motion& motion, int frame) {
  const bool still = frame < 0 || static_cast<std::size_t>(frame) >= motion.frames.size();
  std::vector<Matrix> world(motion.joints.size());
  std::vector<Vector> positions(motion.joints.size());
  std::size_t value = 0;
  for (std::size_t j = 0; j < motion.joints.size(); ++j) {
    const Joint& joint = motion.joints[j];
    Vector place = joint.offset;
    Matrix turns = testmatrix::identity();
    for (const std::string& channel : joint.channels) {
      const double v = still ? 0.0 : motion.frames[static_cast<std::size_t>(frame)][value];
      ++value;
      // A channel of no axis moves nothing.
      if (axisOf(channel) < 0 || axisOf(channel) > 2) continue;
      if (isPosition(channel)) {
        if (!still) place[static_cast<std::size_t>(axisOf(channel))] = v;
      } else {
        turns = turns * testmatrix::turn(axisOf(channel), v);
      }
    }
    const Matrix local = testmatrix::translation(place) * turns;
    world[j] = joint.parent < 0 ? local : world[static_cast<std::size_t>(joint.parent)] * local;
    positions[j] = {world[j][0][3], world[j][1][3], world[j][2][3]};
  }
  return positions;
}

}  // namespace bvhref
