#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "motion/MocapStatus.h"
#include "motion/iMocapDataBvh.h"
#include "motion/iSkeleton.h"
#include "stream/bvhHeaderText.h"
#include "support/StreamMessages.h"

namespace {

using J = BrexPlugs::BVH_JOIN;
using streamMessages::joint;
using streamMessages::withEndSite;

struct Parsed {
  int status;
  iSkeleton skeleton;
};

void parse(const std::string& text, Parsed& parsed) {
  std::istringstream stream(text);
  iMocapDataBvh reader(&stream, &parsed.skeleton);
  parsed.status = reader.parse("");
}

// Joint names in walk order with their depth.
struct WalkedNames : iSkeleton::iJoint::icallbackData {
  std::vector<std::pair<std::string, int>> names;
};

void collect(iSkeleton::iJoint* joint, iSkeleton::iJoint::icallbackData* data) {
  static_cast<WalkedNames*>(data)->names.emplace_back(joint->name, data->depth);
}

TEST(HeaderRoundTrip, WrittenTextParsesBackIntoTheSameTree) {
  const J root =
      joint("Hips", 0, 90.5f, 0,
            {J::Xposition, J::Yposition, J::Zposition, J::Zrotation, J::Xrotation, J::Yrotation},
            {withEndSite(joint("Spine", 0, 10, 0, {J::Zrotation, J::Xrotation, J::Yrotation}), 0,
                         12.25f, 0),
             joint("Left Leg", -9.5f, -0.0f, 1e-7f, {J::Zrotation, J::Xrotation, J::Yrotation},
                   {withEndSite(joint("Foot", 0, -40, 2500000, {}), 0, -3, 0)})});
  const std::string text = bvhHeaderText(root, 0);
  Parsed parsed;
  parse(text, parsed);
  ASSERT_EQ(parsed.status, kMocapOk) << text;
  WalkedNames walked;
  parsed.skeleton.walk(parsed.skeleton.root, collect, &walked);
  EXPECT_EQ(walked.names, (std::vector<std::pair<std::string, int>>{{"Hips0", 0},
                                                                    {"Spine0", 1},
                                                                    {"Spine0_Effector", 2},
                                                                    {"Left_Leg0", 1},
                                                                    {"Foot0", 2},
                                                                    {"Foot0_Effector", 3}}));

  const auto offset = [&](const char* name) { return parsed.skeleton.findJoint(name)->offset; };
  // The text reaches MOTION, so the root's offset reads back as zero.
  EXPECT_EQ(offset("Hips0"), (std::array<double, 3>{0, 0, 0}));
  EXPECT_EQ(offset("Spine0_Effector"), (std::array<double, 3>{0, 12.25, 0}));
  EXPECT_EQ(offset("Left_Leg0"), (std::array<double, 3>{-9.5, -0.0, double(1e-7f)}));
  EXPECT_EQ(offset("Foot0"), (std::array<double, 3>{0, -40, 2500000}));
  EXPECT_EQ(parsed.skeleton.frameCount, 0u);
  EXPECT_EQ(parsed.skeleton.frameTime, double(0.01f));
  // Foot has no channels of its own: it repeats Left Leg's Z X Y, the actor's order.
  EXPECT_EQ(parsed.skeleton.rotationOrder, kOrderZXY);
}

}  // namespace
