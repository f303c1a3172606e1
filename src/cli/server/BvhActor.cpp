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

void setVector(BrexPlugs::BVH_VECTOR* vector, const std::array<double, 3>& value) {
  vector->set_x(static_cast<float>(value[0]));
  vector->set_y(static_cast<float>(value[1]));
  vector->set_z(static_cast<float>(value[2]));
}

// Each joint streams the channels the file gives it, in the file's order; a name that names no
// axis has no channel in the stream, and its values are not sent.
void addJoint(const iJoint& joint, J& out, std::vector<const iJoint*>& layout) {
  out.set_joinname(joint.name);
  setVector(out.mutable_offset(), joint.offset);
  for (JointChannel channel : joint.channels) {
    if (channel != kNoChannel) out.add_channels(static_cast<J::Channel>(channel));
  }
  layout.push_back(&joint);
  for (const iJoint* child : joint.children) {
    if (isEndSite(*child)) {
      // The header holds one End Site per joint; a second is dropped.
      if (!out.has_endsite()) setVector(out.mutable_endsite(), child->offset);
    } else {
      addJoint(*child, *out.add_childjoin(), layout);
    }
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
  std::vector<const iJoint*> layout;
  addJoint(*skeleton.root, actor.root, layout);

  std::size_t channels = 0;
  for (const iJoint* joint : layout) channels += joint->channels.size();
  const std::size_t frameCount = skeleton.root->frames.size();
  actor.frames.resize(frameCount);
  for (std::size_t index = 0; index < frameCount; ++index) {
    std::vector<float>& values = actor.frames[index];
    values.reserve(channels);
    for (const iJoint* joint : layout) {
      const iFrame sample = index < joint->frames.size() ? joint->frames[index] : iFrame();
      for (JointChannel channel : joint->channels) {
        if (channel <= kZposition) {
          values.push_back(static_cast<float>(sample.position[channel]));
        } else if (channel <= kZrotation) {
          values.push_back(static_cast<float>(sample.rotation[channel - kXrotation]));
        }
      }
    }
  }
  return true;
}
