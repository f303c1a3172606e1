#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stream/bvhHeaderText.h"
#include "stream/safeStreamName.h"
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
      {"offsets that read back as the same floats",
       joint("R", -0.0f, 12.345678f, 0.0000001f, kRotations,
             {withEndSite(joint("C", 2500000.0f, 999999.5f, -3.25f, kRotations), 0.0001f, 123456.7f,
                          -0.00001f)}),
       0,
       "HIERARCHY\nROOT R0\n{\nOFFSET -0 12.3456783 1.00000001e-07\n"
       "CHANNELS 3 Xrotation Yrotation Zrotation \n"
       "JOINT C0\n{\nOFFSET 2500000 999999.5 -3.25\nCHANNELS 3 Xrotation Yrotation Zrotation \n"
       "End Site\n{\nOFFSET 9.99999975e-05 123456.703 -9.99999975e-06\n}\n}\n}\n" +
           kMotion},
      {"names made safe",
       joint("Left Arm", 0, 0, 0, kRotations, {joint("Hand", 0, 0, 0, kRotations)}), 2,
       "HIERARCHY\nROOT Left_Arm2\n{\nOFFSET 0 0 0\nCHANNELS 3 Xrotation Yrotation Zrotation \n"
       "JOINT Hand2\n{\nOFFSET 0 0 0\nCHANNELS 3 Xrotation Yrotation Zrotation \n}\n}\n" +
           kMotion},
      {"names that break the text, and two that become one",
       joint(
           "Hips{1}", 0, 0, 0, kRotations,
           {joint("Spine\nMOTION", 0, 0, 0, kRotations, {joint("Frames: 9", 0, 0, 0, kRotations)}),
            joint("Frames__9", 0, 0, 0, kRotations)}),
       0,
       "HIERARCHY\nROOT Hips_1_0\n{\nOFFSET 0 0 0\nCHANNELS 3 Xrotation Yrotation Zrotation \n"
       "JOINT Spine_MOTION0\n{\nOFFSET 0 0 0\nCHANNELS 3 Xrotation Yrotation Zrotation \n"
       "JOINT Frames__90\n{\nOFFSET 0 0 0\nCHANNELS 3 Xrotation Yrotation Zrotation \n}\n}\n"
       "JOINT Frames__9_20\n{\nOFFSET 0 0 0\nCHANNELS 3 Xrotation Yrotation Zrotation \n}\n}\n" +
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

TEST(HeaderText, NamesMadeSafeByOneRule) {
  const std::pair<std::string, std::string> kNames[] = {
      {"Hips", "Hips"},
      {"left_Foot2", "left_Foot2"},
      {"Hips{1}", "Hips_1_"},
      {"Spine\nMOTION", "Spine_MOTION"},
      {"Spine\r\n\tEnd Site #2", "Spine___End_Site__2"},
      {"Frames: 9", "Frames__9"},
      {"MOTION", "_MOTION"},
      {"Frames", "_Frames"},
      {"FRAMES", "_FRAMES"},
      {"End", "_End"},
      {"Site", "_Site"},
      {"Time", "_Time"},
      {"Frames:", "Frames_"},
      {"HIERARCHY", "_HIERARCHY"},
      {"Root", "Root"},
      {"frames", "frames"},
      {"2nd", "_2nd"},
      {"", "_"},
      {"Kopf\xC3\xBC\xE8\x85\xB0", "Kopf\xC3\xBC\xE8\x85\xB0"},  // Kopfü腰
      {"a\xC2\xA0"
       "b\xE2\x80\xA8"
       "c",
       "a_b_c"},  // no-break space, line separator
      {"a\xFF"
       "b\xC3",
       "a_b_"},                   // not UTF-8
      {"a\xE0\x80\xAF", "a___"},  // an overlong '/'
  };
  for (const auto& name : kNames) EXPECT_EQ(safeStreamName(name.first), name.second) << name.first;
  EXPECT_EQ(safeStreamNames({"a b", "a_b", "a-b", "a_b_2", "MOTION", "_MOTION"}),
            (std::vector<std::string>{"a_b", "a_b_3", "a_b_4", "a_b_2", "_MOTION", "_MOTION_2"}));
}

}  // namespace
