#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "stream/protocolBufferProcess.h"
#include "support/LoopbackServer.h"
#include "support/StreamMessages.h"
#include "support/StreamSession.h"

namespace {

using J = BrexPlugs::BVH_JOIN;
using streamMessages::joint;
using streamMessages::withEndSite;

// The texts a fresh processor keeps after headers for the actor that gets the given slot.
std::vector<std::string> textsFor(const std::vector<J>& roots, int slot) {
  StreamSession session([&](LoopbackServer::Connection& client) {
    std::vector<std::pair<std::uint32_t, std::string>> actors;
    for (int i = 0; i <= slot; ++i) actors.emplace_back(100 + i, "actor");
    client.send(streamMessages::packet(streamMessages::actorList(actors)));
    const auto tags = StreamSession::readQueryTags(client, slot + 1);
    for (const J& root : roots)
      client.send(streamMessages::packet(streamMessages::header(tags[slot], root)));
  });
  EXPECT_TRUE(session.waitForPackets(1 + roots.size()));
  return session.process.copyHeaderTexts();
}

std::string textFor(const J& root, int slot) {
  const auto texts = textsFor({root}, slot);
  return texts.size() == 1 ? texts[0] : "(" + std::to_string(texts.size()) + " texts)";
}

const char kMotion[] = "MOTION\nFrames : 0\nFrame Time : 0.01\n";

TEST(HeaderText, RootWithChildAndEndSite) {
  const J root =
      joint("Hips", 0, 90.5f, 0,
            {J::Xposition, J::Yposition, J::Zposition, J::Zrotation, J::Xrotation, J::Yrotation},
            {withEndSite(joint("Spine", 0, 10, 0, {J::Zrotation, J::Xrotation, J::Yrotation}), 0,
                         12.25f, 0)});
  EXPECT_EQ(textFor(root, 1),
            "HIERARCHY\n"
            "ROOT Hips1\n"
            "{\n"
            "OFFSET 0 90.5 0\n"
            "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation \n"
            "JOINT Spine1\n"
            "{\n"
            "OFFSET 0 10 0\n"
            "CHANNELS 3 Zrotation Xrotation Yrotation \n"
            "End Site\n"
            "{\n"
            "OFFSET 0 12.25 0\n"
            "}\n"
            "}\n"
            "}\n"
            "MOTION\n"
            "Frames : 0\n"
            "Frame Time : 0.01\n");
}

TEST(HeaderText, LoneRootInSlotThree) {
  EXPECT_EQ(textFor(joint("Hips", 0, 0, 0, {J::Yrotation, J::Xrotation, J::Zrotation}), 3),
            std::string("HIERARCHY\nROOT Hips3\n{\nOFFSET 0 0 0\n"
                        "CHANNELS 3 Yrotation Xrotation Zrotation \n}\n") +
                kMotion);
}

TEST(HeaderText, NumbersHaveSixSignificantDigits) {
  const J root = joint(
      "R", -0.0f, 12.345678f, 0.0000001f, {J::Xrotation, J::Yrotation, J::Zrotation},
      {withEndSite(
          joint("C", 2500000.0f, 999999.5f, -3.25f, {J::Xrotation, J::Yrotation, J::Zrotation}),
          0.0001f, 123456.7f, -0.00001f)});
  const std::string text = textFor(root, 0);
  EXPECT_NE(text.find("\nOFFSET -0 12.3457 1e-07\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nOFFSET 2.5e+06 1e+06 -3.25\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nOFFSET 0.0001 123457 -1e-05\n"), std::string::npos) << text;
}

TEST(HeaderText, EachHeaderGivesItsOwnText) {
  const J first = joint("A", 1, 2, 3, {J::Xrotation, J::Yrotation, J::Zrotation});
  const J second = joint("B", 4, 5, 6, {J::Xrotation, J::Yrotation, J::Zrotation});
  const auto texts = textsFor({first, second}, 0);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].rfind("HIERARCHY\nROOT A0\n{\nOFFSET 1 2 3\n", 0), 0u) << texts[0];
  EXPECT_EQ(texts[1].rfind("HIERARCHY\nROOT B0\n{\nOFFSET 4 5 6\n", 0), 0u) << texts[1];
}

TEST(HeaderText, NamesAreWrittenUnchanged) {
  const std::string text =
      textFor(joint("Left Arm", 0, 0, 0, {J::Xrotation, J::Yrotation, J::Zrotation},
                    {joint("Hand", 0, 0, 0, {J::Xrotation, J::Yrotation, J::Zrotation})}),
              2);
  EXPECT_NE(text.find("\nROOT Left Arm2\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nJOINT Hand2\n"), std::string::npos) << text;
}

TEST(HeaderText, OtherChannelCountsBecomeThreeRotations) {
  const J root = joint(
      "R", 0, 0, 0,
      {J::Xposition, J::Yposition, J::Zposition, J::Yrotation, J::Xrotation, J::Zrotation},
      {joint("C", 0, 0, 0, {},
             {joint("D", 0, 0, 0, {J::Zrotation, J::Yrotation, J::Xposition, J::Xrotation})})});
  EXPECT_EQ(textFor(root, 0),
            std::string("HIERARCHY\nROOT R0\n{\nOFFSET 0 0 0\n"
                        "CHANNELS 6 Xposition Yposition Zposition Yrotation Xrotation Zrotation \n"
                        "JOINT C0\n{\nOFFSET 0 0 0\n"
                        "CHANNELS 3 Yrotation Xrotation Zrotation \n"
                        "JOINT D0\n{\nOFFSET 0 0 0\n"
                        "CHANNELS 3 Zrotation Yrotation Xrotation \n"
                        "}\n}\n}\n") +
                kMotion);
  EXPECT_EQ(textFor(joint("Lone", 0, 0, 0, {J::Xposition}), 0),
            std::string("HIERARCHY\nROOT Lone0\n{\nOFFSET 0 0 0\n"
                        "CHANNELS 3 Zrotation Xrotation Yrotation \n}\n") +
                kMotion);
}

}  // namespace
