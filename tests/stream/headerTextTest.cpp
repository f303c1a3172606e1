#include <gtest/gtest.h>

#include <string>

#include "stream/bvhHeaderText.h"
#include "support/StreamMessages.h"

namespace {

using J = BrexPlugs::BVH_JOIN;
using streamMessages::joint;
using streamMessages::withEndSite;

const std::string kMotion = "MOTION\nFrames : 0\nFrame Time : 0.01\n";
const std::vector<J::Channel> kRotations = {J::Xrotation, J::Yrotation, J::Zrotation};

struct Case {
  const char* name;
  J root;
  int slot;
  std::string text;
};

TEST(HeaderText, WrittenExactly) {
  const Case kCases[] = {
      {"root with child and end site",
       joint("Hips", 0, 90.5f, 0,
             {J::Xposition, J::Yposition, J::Zposition, J::Zrotation, J::Xrotation, J::Yrotation},
             {withEndSite(joint("Spine", 0, 10, 0, {J::Zrotation, J::Xrotation, J::Yrotation}), 0,
                          12.25f, 0)}),
       1,
       "HIERARCHY\nROOT Hips1\n{\nOFFSET 0 90.5 0\n"
       "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation \n"
       "JOINT Spine1\n{\nOFFSET 0 10 0\n"
       "CHANNELS 3 Zrotation Xrotation Yrotation \n"
       "End Site\n{\nOFFSET 0 12.25 0\n}\n}\n}\n" +
           kMotion},
      {"lone root in slot three",
       joint("Hips", 0, 0, 0, {J::Yrotation, J::Xrotation, J::Zrotation}), 3,
       "HIERARCHY\nROOT Hips3\n{\nOFFSET 0 0 0\nCHANNELS 3 Yrotation Xrotation Zrotation \n}\n" +
           kMotion},
      {"six significant digits",
       joint("R", -0.0f, 12.345678f, 0.0000001f, kRotations,
             {withEndSite(joint("C", 2500000.0f, 999999.5f, -3.25f, kRotations), 0.0001f, 123456.7f,
                          -0.00001f)}),
       0,
       "HIERARCHY\nROOT R0\n{\nOFFSET -0 12.3457 1e-07\n"
       "CHANNELS 3 Xrotation Yrotation Zrotation \n"
       "JOINT C0\n{\nOFFSET 2.5e+06 1e+06 -3.25\nCHANNELS 3 Xrotation Yrotation Zrotation \n"
       "End Site\n{\nOFFSET 0.0001 123457 -1e-05\n}\n}\n}\n" +
           kMotion},
      {"names written unchanged",
       joint("Left Arm", 0, 0, 0, kRotations, {joint("Hand", 0, 0, 0, kRotations)}), 2,
       "HIERARCHY\nROOT Left Arm2\n{\nOFFSET 0 0 0\nCHANNELS 3 Xrotation Yrotation Zrotation \n"
       "JOINT Hand2\n{\nOFFSET 0 0 0\nCHANNELS 3 Xrotation Yrotation Zrotation \n}\n}\n" +
           kMotion},
      {"other channel counts become three rotations",
       joint("R", 0, 0, 0,
             {J::Xposition, J::Yposition, J::Zposition, J::Yrotation, J::Xrotation, J::Zrotation},
             {joint(
                 "C", 0, 0, 0, {},
                 {joint("D", 0, 0, 0, {J::Zrotation, J::Yrotation, J::Xposition, J::Xrotation})})}),
       0,
       "HIERARCHY\nROOT R0\n{\nOFFSET 0 0 0\n"
       "CHANNELS 6 Xposition Yposition Zposition Yrotation Xrotation Zrotation \n"
       "JOINT C0\n{\nOFFSET 0 0 0\nCHANNELS 3 Yrotation Xrotation Zrotation \n"
       "JOINT D0\n{\nOFFSET 0 0 0\nCHANNELS 3 Zrotation Yrotation Xrotation \n}\n}\n}\n" +
           kMotion},
      // A joint's order is its own rotations, those it lacks after them, else its parent's; its
      // positions stay when it has all three.
      {"other channel counts keep the joint's own order",
       joint("R", 0, 0, 0, {J::Yrotation, J::Xrotation, J::Zrotation},
             {joint("A", 0, 0, 0, {J::Zrotation, J::Xrotation, J::Yrotation},
                    {joint("P", 0, 0, 0, {J::Xposition, J::Yposition, J::Zposition, J::Yrotation},
                           {})}),
              joint("B", 0, 0, 0, {J::Zposition}, {joint("Z", 0, 0, 0, {J::Zrotation}, {})})}),
       0,
       "HIERARCHY\nROOT R0\n{\nOFFSET 0 0 0\nCHANNELS 3 Yrotation Xrotation Zrotation \n"
       "JOINT A0\n{\nOFFSET 0 0 0\nCHANNELS 3 Zrotation Xrotation Yrotation \n"
       "JOINT P0\n{\nOFFSET 0 0 0\n"
       "CHANNELS 6 Xposition Yposition Zposition Yrotation Xrotation Zrotation \n}\n}\n"
       "JOINT B0\n{\nOFFSET 0 0 0\nCHANNELS 3 Yrotation Xrotation Zrotation \n"
       "JOINT Z0\n{\nOFFSET 0 0 0\nCHANNELS 3 Zrotation Xrotation Yrotation \n}\n}\n}\n" +
           kMotion},
      {"lone root with one position channel", joint("Lone", 0, 0, 0, {J::Xposition}), 0,
       "HIERARCHY\nROOT Lone0\n{\nOFFSET 0 0 0\nCHANNELS 3 Zrotation Xrotation Yrotation \n}\n" +
           kMotion},
  };
  for (const Case& c : kCases) EXPECT_EQ(bvhHeaderText(c.root, c.slot), c.text) << c.name;
}

}  // namespace
