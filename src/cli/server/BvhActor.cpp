#include "BvhActor.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "motion/iMocapDataBvh.h"
#include "motion/iSkeleton.h"

namespace {

using iJoint = iSkeleton::iJoint;
using J = BrexPlugs::BVH_JOIN;

const char* statusText(int status) {
  switch (status) {
    case kMocapNoStream:
      return "no input";
    case kMocapDuplicateName:
      return "a joint name is used twice";
    case kMocapSyntaxError:
      return "syntax error";
    default:
      return "cannot be read";
  }
}

// The file keeps no channel list per joint, so each joint gets its rotations in the skeleton's
// order, and positions where the file has them (always at the root).
bool hasPositions(const iJoint& joint) {
  if (joint.parent == nullptr) return true;
  for (const iFrame& frame : joint.frames) {
    if (frame.position != std::array<double, 3>{}) return true;
  }
  return false;
}

bool isEndSite(const iJoint& joint) { return joint.frames.empty() && joint.children.empty(); }

void setVector(BrexPlugs::BVH_VECTOR* vector, const std::array<double, 3>& value) {
  vector->set_x(static_cast<float>(value[0]));
  vector->set_y(static_cast<float>(value[1]));
  vector->set_z(static_cast<float>(value[2]));
}

struct Layout {
  const iJoint* joint;
  bool positions;
};

void addJoint(const iJoint& joint, const char* order, J& out, std::vector<Layout>& layout) {
  out.set_joinname(joint.name);
  setVector(out.mutable_offset(), joint.offset);
  const bool positions = hasPositions(joint);
  if (positions) {
    for (J::Channel channel : {J::Xposition, J::Yposition, J::Zposition}) out.add_channels(channel);
  }
  for (const char* letter = order; *letter; ++letter) {
    out.add_channels(static_cast<J::Channel>(J::Xrotation + (*letter - 'X')));
  }
  layout.push_back({&joint, positions});
  for (const iJoint* child : joint.children) {
    if (isEndSite(*child)) {
      // The header holds one End Site per joint; a second is dropped.
      if (!out.has_endsite()) setVector(out.mutable_endsite(), child->offset);
    } else {
      addJoint(*child, order, *out.add_childjoin(), layout);
    }
  }
}

const char* orderLetters(std::int32_t order) {
  switch (order) {
    case kOrderXYZ:
      return "XYZ";
    case kOrderYZX:
      return "YZX";
    case kOrderZYX:
      return "ZYX";
    case kOrderYXZ:
      return "YXZ";
    case kOrderXZY:
      return "XZY";
    default:
      return "ZXY";
  }
}

std::string baseName(const std::string& path) {
  return std::filesystem::u8path(path).stem().u8string();
}

}  // namespace

bool BvhActor::load(const std::string& path, StreamServer::Actor& actor, std::string& error) {
  std::ifstream file(std::filesystem::u8path(path), std::ios::binary);
  if (!file.is_open()) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  iSkeleton skeleton;
  iMocapDataBvh reader(&file, &skeleton);
  const int status = reader.parse("");
  if (status != kMocapOk) {
    error = path + ": not a BVH file the parser accepts (" + statusText(status) + ")";
    return false;
  }
  if (skeleton.root == nullptr || skeleton.root->frames.empty()) {
    error = path + ": no motion to stream";
    return false;
  }

  actor = StreamServer::Actor();
  actor.name = baseName(path);
  actor.framesPerSecond = skeleton.frameTime > 0 ? 1.0 / skeleton.frameTime : 30.0;
  std::vector<Layout> layout;
  addJoint(*skeleton.root, orderLetters(skeleton.rotationOrder), actor.root, layout);

  const char* order = orderLetters(skeleton.rotationOrder);
  std::size_t channels = 0;
  for (const Layout& entry : layout) channels += entry.positions ? 6 : 3;
  const std::size_t frameCount = skeleton.root->frames.size();
  actor.frames.resize(frameCount);
  for (std::size_t index = 0; index < frameCount; ++index) {
    std::vector<float>& values = actor.frames[index];
    values.reserve(channels);
    for (const Layout& entry : layout) {
      const iFrame sample =
          index < entry.joint->frames.size() ? entry.joint->frames[index] : iFrame();
      if (entry.positions) {
        for (double value : sample.position) values.push_back(static_cast<float>(value));
      }
      for (const char* letter = order; *letter; ++letter) {
        values.push_back(static_cast<float>(sample.rotation[*letter - 'X']));
      }
    }
  }
  return true;
}
