#include "motion/iSkeleton.h"

#include <utility>

MocapStatus iSkeleton::addJoint(const std::string& name, const std::array<double, 3>& offset,
                                const std::array<double, 3>& orientation) {
  if (jointsByName.count(name) != 0) return kMocapDuplicateName;
  if (current == nullptr && root != nullptr) return kMocapNoJoint;

  auto joint = std::make_unique<iJoint>();
  joint->name = name;
  joint->parent = current;
  joint->offset = offset;
  joint->orientation = orientation;
  iJoint* added = joint.get();
  ownedJoints.push_back(std::move(joint));
  jointsByName.emplace(name, added);
  if (current != nullptr) {
    current->children.push_back(added);
  } else {
    root = added;
  }
  current = added;
  return kMocapOk;
}

iSkeleton::iJoint* iSkeleton::findJoint(const std::string& name) const {
  auto found = jointsByName.find(name);
  return found == jointsByName.end() ? nullptr : found->second;
}

iSkeleton::iJoint* iSkeleton::currentJoint() const { return current; }

MocapStatus iSkeleton::rewind() {
  if (root == nullptr) return kMocapNoJoint;
  current = root;
  return kMocapOk;
}

MocapStatus iSkeleton::ascend() {
  if (current == nullptr || current->parent == nullptr) return kMocapNoJoint;
  current = current->parent;
  return kMocapOk;
}

void iSkeleton::walk(iJoint* start, Visitor visitor, iJoint::icallbackData* data) const {
  if (start == nullptr || visitor == nullptr) return;

  struct Step {
    iJoint* joint;
    std::size_t nextChild;
  };
  std::vector<Step> path;
  visitor(start, data);
  if (data != nullptr) ++data->depth;
  path.push_back({start, 0});
  while (!path.empty()) {
    Step& top = path.back();
    if (top.nextChild < top.joint->children.size()) {
      iJoint* child = top.joint->children[top.nextChild++];
      visitor(child, data);
      if (data != nullptr) ++data->depth;
      path.push_back({child, 0});
    } else {
      if (data != nullptr) --data->depth;
      path.pop_back();
    }
  }
}

std::int32_t jointRotationOrder(const iSkeleton::iJoint& joint, std::int32_t rootOrder) {
  for (const iSkeleton::iJoint* at = &joint; at != nullptr; at = at->parent) {
    if (hasRotationChannels(at->channels)) return channelRotationOrder(at->channels);
  }
  return rootOrder;
}

bool isEndSite(const iSkeleton::iJoint& joint) {
  return joint.channels.empty() && joint.children.empty();
}

std::string endSiteName(const std::string& parentName) {
  return parentName + (parentName.find("_Effector") != std::string::npos ? "X" : "_Effector");
}
