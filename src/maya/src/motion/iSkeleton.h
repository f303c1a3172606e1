#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "motion/JointChannel.h"
#include "motion/MocapStatus.h"
#include "motion/RotationOrder.h"
#include "motion/iFrame.h"

// One skeleton and its motion: a joint tree with each joint's channels, the declared frame count
// and frame time, and the rotation order of the last joint with channels. Owns every joint, and
// through them their accessories and samples. Used on one thread; operations report through
// MocapStatus codes and never throw on bad input.
class iSkeleton {
 public:
  // One node of the tree. Builders read the fields directly and set `accessory` once.
  class iJoint {
   public:
    // A builder's data for one joint; the joint owns it and deletes it through this base.
    class iaccessory {
     public:
      virtual ~iaccessory() = default;
    };

    // A walk's state, owned by the caller. `depth` is the visited joint's distance from the
    // joint the walk started at.
    class icallbackData {
     public:
      virtual ~icallbackData() = default;

      std::int32_t depth = 0;
    };

    std::unique_ptr<iaccessory> accessory;
    std::string name;  // bytes as in the text, unique within the skeleton
    iJoint* parent = nullptr;
    std::vector<iJoint*> children;        // text order
    std::array<double, 3> offset{};       // from the parent, text length units, unscaled
    std::array<double, 3> orientation{};  // degrees
    // As the text lists them; empty for an End Site. Position channels carry the translation
    // from the parent along their axis (for the root, from the origin) in place of the offset.
    std::vector<JointChannel> channels;
    std::vector<iFrame> frames;  // index n is frame n; empty without channels
  };

  using Visitor = void (*)(iJoint* joint, iJoint::icallbackData* data);

  iSkeleton() = default;
  iSkeleton(const iSkeleton&) = delete;
  iSkeleton& operator=(const iSkeleton&) = delete;
  virtual ~iSkeleton() = default;

  // Adds a joint under `current` (or as the root of an empty skeleton) and makes it current.
  // kMocapDuplicateName if the name is taken; kMocapNoJoint if there is a root but no cursor.
  // On failure nothing changes.
  MocapStatus addJoint(const std::string& name, const std::array<double, 3>& offset,
                       const std::array<double, 3>& orientation);
  // The joint of exactly this name (case-sensitive), or null.
  iJoint* findJoint(const std::string& name) const;
  iJoint* currentJoint() const;
  // Cursor to the root; kMocapNoJoint on an empty skeleton.
  MocapStatus rewind();
  // Cursor to its parent; kMocapNoJoint (cursor unchanged) without a cursor or at the root.
  MocapStatus ascend();
  // Visits `start` and its subtree in pre-order, children in text order, keeping data->depth
  // at each joint's distance from `start`; depth is back at its starting value afterwards.
  // Iterative, so a deeply nested text cannot exhaust the stack.
  void walk(iJoint* start, Visitor visitor, iJoint::icallbackData* data) const;

  iJoint* root = nullptr;
  iJoint* current = nullptr;
  std::unordered_map<std::string, iJoint*> jointsByName;
  // That of the last joint with channels, from its last three names; each joint turns in its
  // own (jointRotationOrder).
  std::int32_t rotationOrder = kOrderZXY;
  std::uint32_t frameCount = 0;
  double frameTime = 0.4;  // seconds per frame
  // Set when a joint other than the root has position channels, so that not only the root
  // moves along them.
  bool translateAllJoints = false;

 private:
  std::vector<std::unique_ptr<iJoint>> ownedJoints;
};

// Whether the joint is an End Site: a leaf without channels. What every path that tells End
// Sites from joints (the stream's records, the stand-in server, the live links) goes by.
bool isEndSite(const iSkeleton::iJoint& joint);

// The name the BVH parser gives the End Site of a joint named parentName: parentName and
// "_Effector", or "X" when parentName holds "_Effector" already. In a scene, where channels do not
// show, a leaf of this name under its parent is the End Site the parser read; a streamed joint's
// name, which ends in its slot number, never is one.
std::string endSiteName(const std::string& parentName);

// The order the joint's rotation channels turn it in, as a BVH file lists them; a joint without
// rotation channels turns as its parent does, and the root then as `rootOrder` says.
// kOrderInvalid when the joint names an axis twice.
std::int32_t jointRotationOrder(const iSkeleton::iJoint& joint, std::int32_t rootOrder);
