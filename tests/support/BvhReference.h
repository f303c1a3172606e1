#pragma once

#include <array>
#include <string>
#include <vector>

// A reference reading of BVH text for checking motion by what it looks like: its own small reader
// and forward kinematics, written from the file format alone and sharing nothing with the module.
namespace bvhref {

using Vector = std::array<double, 3>;

struct Joint {
  std::string name;  // the words of its ROOT or JOINT line joined by spaces; empty for End Sites
  int parent = -1;   // index in Motion::joints, -1 for the root
  bool endSite = false;
  Vector offset{};
  std::vector<std::string> channels;  // as listed, e.g. "Zrotation"
};

struct Motion {
  std::vector<Joint> joints;                // pre-order, End Sites included
  std::vector<std::vector<double>> frames;  // every block's frames, each every channel in order
};

// Reads HIERARCHY and MOTION in any keyword case; braces may touch names, colons stand alone or
// touch their keyword. False, with a reason, on anything else.
bool read(const std::string& text, Motion& motion, std::string& error);

// World position of every joint at the frame: each joint moves by translate(OFFSET, each axis
// that has a position channel taking that channel's value instead), then turns by its rotation
// channels in the order listed (the first listed outermost), below its parent. A negative frame,
// or a motion without frames, gives the pose of the OFFSETs.
std::vector<Vector> worldPositions(const Motion& motion, int frame);

}  // namespace bvhref
