#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <locale>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "motion/JointChannel.h"
#include "motion/RotationOrder.h"
#include "motion/iFrameSource.h"
#include "motion/iMocapDataBvh.h"
#include "motion/iSkeleton.h"
#include "motion/parseNumber.h"
#include "support/chunkedStream.h"

namespace {

using iJoint = iSkeleton::iJoint;
using Vec = std::array<double, 3>;

const char kWorkedExample[] =
    "HIERARCHY\n"
    "ROOT Hips\n"
    "{\n"
    "OFFSET 1 2 3\n"
    "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
    "JOINT Spine\n"
    "{\n"
    "OFFSET 0 10 0\n"
    "CHANNELS 3 Zrotation Yrotation Xrotation\n"
    "End Site\n"
    "{\n"
    "OFFSET 0 5 0\n"
    "}\n"
    "}\n"
    "}\n"
    "MOTION\n"
    "Frames: 2\n"
    "Frame Time: 0.5\n"
    "10 20 30 1 2 3 4 5 6\n"
    "11 21 31 7 8 9 10 11 12\n";

// A root with six channels and one child with three, then `motion` after "MOTION".
std::string twoJoints(const std::string& motion) {
  return "HIERARCHY\nROOT Hips\n{\nOFFSET 1 2 3\n"
         "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
         "JOINT Spine\n{\nOFFSET 0 10 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n}\n}\nMOTION\n" +
         motion;
}

std::string hierarchy(const std::string& body) { return "HIERARCHY\n" + body; }

// Parses `text` read in chunks of `chunk` bytes (0: seekable, whole).
int parseText(const std::string& text, iSkeleton& skeleton, std::size_t chunk = 0,
              const std::string& suffix = "") {
  if (chunk == 0) {
    std::istringstream stream(text);
    iMocapDataBvh reader(&stream, &skeleton);
    return reader.parse(suffix);
  }
  ChunkedStream stream(text, chunk);
  iMocapDataBvh reader(&stream, &skeleton);
  return reader.parse(suffix);
}

int parseResult(const std::string& text) {
  iSkeleton skeleton;
  return parseText(text, skeleton);
}

std::vector<std::string> childNames(const iJoint* joint) {
  std::vector<std::string> names;
  for (const iJoint* child : joint->children) names.push_back(child->name);
  return names;
}

void expectFrame(const iJoint* joint, std::size_t index, Vec position, Vec rotation) {
  ASSERT_LT(index, joint->frames.size()) << joint->name;
  EXPECT_EQ(position, joint->frames[index].position) << joint->name << " frame " << index;
  EXPECT_EQ(rotation, joint->frames[index].rotation) << joint->name << " frame " << index;
}

void expectWorkedExample(const iSkeleton& skeleton) {
  const iJoint* hips = skeleton.root;
  ASSERT_NE(nullptr, hips);
  EXPECT_EQ("Hips", hips->name);
  EXPECT_EQ((Vec{0, 0, 0}), hips->offset);
  EXPECT_EQ(hips, skeleton.current);
  ASSERT_EQ(std::vector<std::string>{"Spine"}, childNames(hips));
  const iJoint* spine = hips->children[0];
  EXPECT_EQ((Vec{0, 10, 0}), spine->offset);
  ASSERT_EQ(std::vector<std::string>{"Spine_Effector"}, childNames(spine));
  const iJoint* effector = spine->children[0];
  EXPECT_EQ((Vec{0, 5, 0}), effector->offset);
  EXPECT_TRUE(effector->frames.empty());
  EXPECT_TRUE(effector->children.empty());
  EXPECT_EQ(3u, skeleton.jointsByName.size());
  for (const iJoint* joint : {hips, spine, effector}) EXPECT_EQ((Vec{0, 0, 0}), joint->orientation);

  EXPECT_EQ(3, skeleton.rotationOrder);
  EXPECT_EQ(2u, skeleton.frameCount);
  EXPECT_EQ(0.5, skeleton.frameTime);
  EXPECT_FALSE(skeleton.translateAllJoints);
  ASSERT_EQ(2u, hips->frames.size());
  ASSERT_EQ(2u, spine->frames.size());
  expectFrame(hips, 0, {10, 20, 30}, {2, 3, 1});
  expectFrame(hips, 1, {11, 21, 31}, {8, 9, 7});
  expectFrame(spine, 0, {0, 0, 0}, {6, 5, 4});
  expectFrame(spine, 1, {0, 0, 0}, {12, 11, 10});
}

std::string withCrlf(const std::string& text) {
  std::string converted;
  for (char c : text) converted += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return converted;
}

TEST(BvhParser, WorkedExample) {
  for (std::size_t chunk : chunkSizes()) {
    SCOPED_TRACE(chunk);
    iSkeleton skeleton;
    ASSERT_EQ(kMocapOk, parseText(kWorkedExample, skeleton, chunk));
    expectWorkedExample(skeleton);
  }
}

TEST(BvhParser, CrlfAndMixedLineEndings) {
  std::string mixed = kWorkedExample;
  mixed.replace(mixed.find("}\n}\n}\n"), 6, "}\r\n}\n}\t \r\n");
  for (const std::string& text : {withCrlf(kWorkedExample), mixed}) {
    for (std::size_t chunk : chunkSizes()) {
      SCOPED_TRACE(chunk);
      iSkeleton skeleton;
      ASSERT_EQ(kMocapOk, parseText(text, skeleton, chunk));
      expectWorkedExample(skeleton);
    }
  }
}

TEST(BvhParser, MissingStreamOrSkeleton) {
  iSkeleton skeleton;
  iMocapDataBvh noStream(nullptr, &skeleton);
  EXPECT_EQ(kMocapNoStream, noStream.parse(""));
  std::istringstream stream(kWorkedExample);
  iMocapDataBvh noSkeleton(&stream, nullptr);
  EXPECT_EQ(kMocapNoSkeleton, noSkeleton.parse(""));
}

TEST(BvhParser, FailureTable) {
  const std::string root = "HIERARCHY\nROOT a\n{\nOFFSET 0 0 0\nCHANNELS 3 Z X Y\n";
  struct Case {
    std::string text;
    int result;
  };
  const Case kCases[] = {
      {"", kMocapSyntaxError},
      {"ROOT a { }", kMocapSyntaxError},
      {"\xEF\xBB\xBFHIERARCHY\nROOT a\n{\n}\n", kMocapSyntaxError},
      {"\nHIERARCHY\n", kMocapSyntaxError},
      {hierarchy("ROOT a b c d e f g h i j k {\n"), kMocapSyntaxError},
      {hierarchy("ROOT Left Up Leg"), kMocapOk},
      {root + "End Sight\n{\n", kMocapSyntaxError},
      {root + "End Site\nOFFSET 0 0 0\n", kMocapSyntaxError},
      {hierarchy("ROOT a\n{\nOFFSET 0 0 0\nPOSITION 3 X Y Z\n"), kMocapSyntaxError},
      {hierarchy("ROOT a\n{\nCHANNELS 3 Zrotation Xrotation Yrotation\n"), kMocapSyntaxError},
      {hierarchy("ROOT a\n{\nOFFSET 0 0 0\nCHANNELS 4 X Y Z W\n"), kMocapSyntaxError},
      {hierarchy("ROOT a\n{\nOFFSET 0 0 0\nCHANNELS -3 X Y Z\n"), kMocapSyntaxError},
      {root + "}\nMOTION\nFrame Time: 0.1\n", kMocapSyntaxError},
      {root + "}\nMOTION\nFrames: 1\nFrame Time: 0.1\n1 2 3\n4\n", kMocapOk},
      {root + "}\nMOTION\n1 2 3\n", kMocapSyntaxError},
      {root + "}\nMOTION\nFrames: 1\nFrame Time: 0.1\n1 2 3\nFrames: 1\nTime: 0.1\n",
       kMocapSyntaxError},
      {root + "}\nMOTION\nFrames: 1\nTime: 0.1\n", kMocapSyntaxError},
      {root + "}\nMOTION\nFrames: 1\nFrame Rate: 0.1\n", kMocapSyntaxError},
      {root + "JOINT a\n{\nOFFSET 0 0 0\nCHANNELS 3 Z X Y\n", kMocapDuplicateName},
      {root + "JOINT b_Effector\n{\nOFFSET 0 0 0\nCHANNELS 3 Z X Y\n}\nJOINT b\n{\nOFFSET 0 0 0\n"
              "CHANNELS 3 Z X Y\nEnd Site\n{\nOFFSET 0 0 0\n",
       kMocapDuplicateName},
      {hierarchy("ROOT a\n{\nOFFSET 1 2"), kMocapOk},
      {root + "}\nMOTION\nFrames:", kMocapOk},
      {"HIERARCHY", kMocapOk},
  };
  for (const Case& c : kCases) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{0}}) {
      iSkeleton skeleton;
      EXPECT_EQ(c.result, parseText(c.text, skeleton, chunk)) << c.text;
    }
  }
}

TEST(BvhParser, LineOfLastTokenRead) {
  const std::string root = "HIERARCHY\nROOT a\n{\nOFFSET 0 0 0\nCHANNELS 3 Z X Y\n";
  struct Case {
    std::string text;
    int result;
    std::uint64_t line;
  };
  const Case kCases[] = {
      {root + "}\nMOTION\nFrames: 1\nFrame Time: 0.1\n1 2 3\n4\n", kMocapOk, 11},
      {root + "JOINT b\n{\nOFFSET 0 0 0\nCHANNELS 4 X Y Z W\n", kMocapSyntaxError, 9},
      {root + "JOINT a\n{\r\n  OFFSET 0 0 0\r\nCHANNELS 3 Z X Y\n", kMocapDuplicateName, 9},
      {root + "}\nMOTION\nFrames: 3\nFrame Time: 0.1\n1 2\n\n", kMocapOk, 10},
      {std::string(kWorkedExample) + "  \n\n", kMocapOk, 20},
      {"", kMocapSyntaxError, 0},
      {"\nHIERARCHY\n", kMocapSyntaxError, 0},
  };
  for (const Case& c : kCases) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{0}}) {
      iSkeleton skeleton;
      ChunkedStream stream(c.text, chunk);
      iMocapDataBvh reader(&stream, &skeleton);
      EXPECT_EQ(c.result, reader.parse("")) << c.text;
      EXPECT_EQ(c.line, reader.line()) << c.text;
    }
  }
}

TEST(BvhParser, FailureKeepsJointsAddedBefore) {
  iSkeleton skeleton;
  ASSERT_EQ(
      kMocapSyntaxError,
      parseText(
          hierarchy("ROOT a\n{\nOFFSET 1 2 3\nCHANNELS 3 Z X Y\nJOINT b {\nOFFSET 0 0 0\nFOO 3\n"),
          skeleton));
  ASSERT_NE(nullptr, skeleton.findJoint("a"));
  EXPECT_EQ((Vec{1, 2, 3}), skeleton.root->offset);
  EXPECT_EQ(1u, skeleton.jointsByName.size());
}

TEST(BvhParserHeader, FrameCountAndTimeForms) {
  const char* const kForms[] = {
      "Frames: 2\nFrame Time: 0.5\n",
      "Frames : 2\nFrame Time : 0.5\n",
      "Frames 2\nFrame Time 0.5\n",
      "frames: 2\nframe time: 0.5\n",
      "FRAMES:   2   \nFrame\tTime:\t0.5  \n",
      "Frames: 2 Frame Time: 0.5\n",
  };
  for (const char* form : kForms) {
    iSkeleton skeleton;
    ASSERT_EQ(kMocapOk, parseText(twoJoints(form), skeleton)) << form;
    EXPECT_EQ(2u, skeleton.frameCount) << form;
    EXPECT_EQ(0.5, skeleton.frameTime) << form;
    EXPECT_EQ(2u, skeleton.findJoint("Spine")->frames.size()) << form;
  }
  EXPECT_EQ(kMocapSyntaxError, parseResult(twoJoints("Frames:2\nFrame Time: 0.5\n")));
  EXPECT_EQ(kMocapSyntaxError, parseResult(twoJoints("Frames: 2\nFrame Time:0.5\n")));
}

TEST(BvhParserHeader, KeywordsInAnyCase) {
  const std::string text =
      "hierarchy\nRoot Hips\n{\noffset 1 2 3\nchannels 6 xposition yposition zposition zrotation "
      "xrotation yrotation\njoint Spine\n{\nOffset 0 10 0\nChannels 3 zrotation yrotation "
      "xrotation\nend site\n{\noffset 0 5 0\n}\n}\n}\nmotion\nframes: 2\nframe time: 0.5\n"
      "10 20 30 1 2 3 4 5 6\n11 21 31 7 8 9 10 11 12\n";
  iSkeleton skeleton;
  ASSERT_EQ(kMocapOk, parseText(text, skeleton));
  expectWorkedExample(skeleton);
}

TEST(BvhParserHeader, FrameTimeIsFloatNotDouble) {
  iSkeleton skeleton;
  ASSERT_EQ(kMocapOk, parseText(twoJoints("Frames: 0\nFrame Time: 0.0083333\n"), skeleton));
  EXPECT_EQ(static_cast<double>(0.0083333f), skeleton.frameTime);
  EXPECT_NE(0.0083333, skeleton.frameTime);
}

TEST(BvhParserHeader, NumbersIgnoreGlobalLocale) {
  struct CommaPoint : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
  };
  std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaPoint));
  iSkeleton skeleton;
  int result = parseText(kWorkedExample, skeleton);
  std::locale::global(previous);
  ASSERT_EQ(kMocapOk, result);
  EXPECT_EQ(0.5, skeleton.frameTime);
}

TEST(BvhParserHeader, ZeroFramesStillSetsTimeAndOrder) {
  iSkeleton skeleton;
  ASSERT_EQ(kMocapOk, parseText(twoJoints("Frames: 0\nFrame Time: 0.25\n"), skeleton));
  EXPECT_EQ(0.25, skeleton.frameTime);
  EXPECT_EQ(2, skeleton.rotationOrder);
  EXPECT_TRUE(skeleton.root->frames.empty());
  iSkeleton extra;
  ASSERT_EQ(kMocapOk, parseText(twoJoints("Frames: 0\nFrame Time: 0.25\n1\n"), extra));
  EXPECT_TRUE(extra.root->frames.empty());
}

TEST(BvhParserNames, TokensJoinWithUnderscore) {
  iSkeleton skeleton;
  ASSERT_EQ(kMocapOk,
            parseText(hierarchy("ROOT Left Up Leg\n{\nOFFSET 0 0 0\nCHANNELS 3 Z X Y\n"
                                "JOINT a b c d e f g h i j {\nOFFSET 0 0 0\nCHANNELS 3 Z X Y\n"
                                "JOINT mixamorig:Hips{\nOFFSET 0 0 0\nCHANNELS 3 Z X Y\n"),
                      skeleton));
  EXPECT_EQ("Left_Up_Leg", skeleton.root->name);
  iSkeleton unnamed;
  ASSERT_EQ(kMocapOk, parseText(hierarchy("ROOT {\nOFFSET 0 0 0\nCHANNELS 3 Z X Y\n"), unnamed));
  EXPECT_EQ("", unnamed.root->name);
  EXPECT_NE(nullptr, skeleton.findJoint("a_b_c_d_e_f_g_h_i_j"));
  EXPECT_NE(nullptr, skeleton.findJoint("mixamorig:Hips"));
}

TEST(BvhParserNames, EndSiteNames) {
  const std::string body =
      "ROOT Head\n{\nOFFSET 0 0 0\nCHANNELS 3 Z X Y\nEnd Site\n{\nOFFSET 0 1 0\n}\n"
      "End Site\n{\nOFFSET 0 2 0\n}\nEnd Site\n{\nOFFSET 0 3 0\n}\n}\n";
  iSkeleton plain;
  ASSERT_EQ(kMocapOk, parseText(hierarchy(body), plain));
  EXPECT_EQ((std::vector<std::string>{"Head_Effector", "Head_EffectorX", "Head_EffectorXX"}),
            childNames(plain.root));

  iSkeleton suffixed;
  ASSERT_EQ(kMocapOk, parseText(hierarchy(body), suffixed, 0, "S"));
  EXPECT_EQ("HeadS", suffixed.root->name);
  EXPECT_EQ(
      (std::vector<std::string>{"HeadS_EffectorS", "HeadS_EffectorSXS", "HeadS_EffectorSXSXS"}),
      childNames(suffixed.root));
}

TEST(BvhParserStructure, ExtraBracesAndSecondRoot) {
  iSkeleton skeleton;
  ASSERT_EQ(kMocapOk, parseText(hierarchy("ROOT a\n{\nOFFSET 0 0 0\nCHANNELS 3 Z X Y\n}\n}\n}\n{\n"
                                          "ROOT b\n{\nOFFSET 0 0 0\nCHANNELS 3 Z X Y\n}\n"),
                                skeleton));
  EXPECT_EQ("a", skeleton.root->name);
  EXPECT_EQ(std::vector<std::string>{"b"}, childNames(skeleton.root));
}

TEST(BvhParserStructure, EndSiteWithoutOffsetConsumesItsBrace) {
  iSkeleton skeleton;
  ASSERT_EQ(
      kMocapOk,
      parseText(hierarchy("ROOT a\n{\nOFFSET 0 0 0\nCHANNELS 3 Z X Y\nJOINT b\n{\nOFFSET 0 0 0\n"
                          "CHANNELS 3 Z X Y\nEnd Site\n{\n}\n}\nJOINT c\n{\nOFFSET 0 0 0\n"
                          "CHANNELS 3 Z X Y\n}\n}\n"),
                skeleton));
  const iJoint* effector = skeleton.findJoint("b_Effector");
  ASSERT_NE(nullptr, effector);
  EXPECT_EQ((Vec{0, 0, 0}), effector->offset);
  EXPECT_EQ((std::vector<std::string>{"b_Effector", "c"}), childNames(skeleton.findJoint("b")));
}

TEST(BvhParserStructure, EndSiteAsOneWordIsIgnored) {
  iSkeleton skeleton;
  ASSERT_EQ(
      kMocapOk,
      parseText(hierarchy("ROOT a\n{\nOFFSET 0 0 0\nCHANNELS 3 Z X Y\nJOINT b\n{\nOFFSET 0 0 0\n"
                          "CHANNELS 3 Z X Y\nEndSite\n{\nOFFSET 0 1 0\n}\nJOINT c\n{\n"
                          "OFFSET 0 0 0\nCHANNELS 3 Z X Y\n}\n}\n}\n"),
                skeleton));
  EXPECT_EQ(2u + 1u, skeleton.jointsByName.size());
  EXPECT_EQ((std::vector<std::string>{"b", "c"}), childNames(skeleton.root));
}

// One joint "a" with the channel line given, and one frame of the values given.
std::string oneJoint(const std::string& channels, const std::string& values) {
  return hierarchy("ROOT a\n{\nOFFSET 7 8 9\nCHANNELS " + channels +
                   "\n}\nMOTION\nFrames: 1\nFrame Time: 0.1\n" + values + "\n");
}

using Channels = std::vector<JointChannel>;

// A name says its kind; the skeleton's one order still comes from the last three names.
TEST(BvhParserChannels, ValuesGoWhereTheirNamesSay) {
  struct Case {
    const char* channels;
    Channels layout;
    Vec position;
    Vec rotation;
    std::int32_t ownOrder;
    std::int32_t skeletonOrder;
  };
  const Case kCases[] = {
      {"3 Xposition Yposition Zposition",
       {kXposition, kYposition, kZposition},
       {1, 2, 3},
       {0, 0, 0},
       kOrderInvalid,
       kOrderXYZ},
      {"6 Zrotation Xrotation Yrotation Xposition Yposition Zposition",
       {kZrotation, kXrotation, kYrotation, kXposition, kYposition, kZposition},
       {4, 5, 6},
       {2, 3, 1},
       kOrderZXY,
       kOrderXYZ},
      {"6 Xrotation Zposition yROT Yposition zrotation XPOS",
       {kXrotation, kZposition, kYrotation, kYposition, kZrotation, kXposition},
       {6, 4, 2},
       {1, 3, 5},
       kOrderXYZ,
       kOrderYZX},
      // Names that do not say their kind are positions as the first three of six.
      {"6 X Y Z Z X Y",
       {kXposition, kYposition, kZposition, kZrotation, kXrotation, kYrotation},
       {1, 2, 3},
       {5, 6, 4},
       kOrderZXY,
       kOrderZXY},
      {"3 Z X Y", {kZrotation, kXrotation, kYrotation}, {0, 0, 0}, {2, 3, 1}, kOrderZXY, kOrderZXY},
      // Rotations it lacks follow the ones it has; a name of no axis takes its value away.
      {"3 Yposition Zrotation Xrotation",
       {kYposition, kZrotation, kXrotation},
       {0, 1, 0},
       {3, 0, 2},
       kOrderZXY,
       kOrderYZX},
      {"3 Wrotation Yrotation Xposition",
       {kNoChannel, kYrotation, kXposition},
       {3, 0, 0},
       {0, 2, 0},
       kOrderYXZ,
       kOrderInvalid},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.channels);
    iSkeleton skeleton;
    const bool six = c.channels[0] == '6';
    ASSERT_EQ(kMocapOk, parseText(oneJoint(c.channels, six ? "1 2 3 4 5 6" : "1 2 3"), skeleton));
    EXPECT_EQ(c.layout, skeleton.root->channels);
    expectFrame(skeleton.root, 0, c.position, c.rotation);
    EXPECT_EQ(c.skeletonOrder, skeleton.rotationOrder);
    // Without rotation channels the root turns in the order it is given.
    EXPECT_EQ(c.ownOrder == kOrderInvalid ? 4 : c.ownOrder, jointRotationOrder(*skeleton.root, 4));
  }
}

// The root's offset stays along the axes it has no position channel for.
TEST(BvhParserChannels, RootOffsetStaysWhereNoPositionChannelMovesIt) {
  const struct {
    const char* channels;
    Vec offset;
  } kCases[] = {
      {"6 Xposition Yposition Zposition Zrotation Xrotation Yrotation", {0, 0, 0}},
      {"3 Zrotation Xrotation Yrotation", {7, 8, 9}},
      {"3 Yposition Zrotation Xrotation", {7, 0, 9}},
  };
  for (const auto& c : kCases) {
    iSkeleton skeleton;
    ASSERT_EQ(kMocapOk, parseText(oneJoint(c.channels, "0 0 0 0 0 0"), skeleton)) << c.channels;
    EXPECT_EQ(c.offset, skeleton.root->offset) << c.channels;
  }
  // Without MOTION the offsets are all the text's.
  iSkeleton bones;
  ASSERT_EQ(kMocapOk, parseText(hierarchy("ROOT a\n{\nOFFSET 7 8 9\nCHANNELS 6 Xposition "
                                          "Yposition Zposition Zrotation Xrotation Yrotation\n}\n"),
                                bones));
  EXPECT_EQ((Vec{7, 8, 9}), bones.root->offset);
}

// Each joint keeps its own list and turns in its own order; one without rotations (an End Site
// too) turns as its parent does. Positions below the root set translateAllJoints.
TEST(BvhParserChannels, EachJointKeepsItsOwnChannels) {
  const std::string text = hierarchy(
      "ROOT Hips\n{\nOFFSET 0 0 0\nCHANNELS 3 Xposition Yposition Zposition\n"
      "JOINT Spine\n{\nOFFSET 0 10 0\nCHANNELS 6 Xposition Yposition Zposition Xrotation "
      "Zrotation Yrotation\nJOINT Neck\n{\nOFFSET 0 5 0\nCHANNELS 3 Xposition Yposition "
      "Zposition\nEnd Site\n{\nOFFSET 0 2 0\n}\n}\n}\nJOINT Leg\n{\nOFFSET 4 0 0\n"
      "CHANNELS 3 Yrotation Xrotation Zrotation\n}\n}\nMOTION\nFrames: 1\nFrame Time: 0.1\n"
      "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n");
  iSkeleton skeleton;
  ASSERT_EQ(kMocapOk, parseText(text, skeleton));
  const iJoint* spine = skeleton.findJoint("Spine");
  const iJoint* neck = skeleton.findJoint("Neck");
  const iJoint* leg = skeleton.findJoint("Leg");
  EXPECT_EQ((Channels{kXposition, kYposition, kZposition, kXrotation, kZrotation, kYrotation}),
            spine->channels);
  EXPECT_TRUE(skeleton.findJoint("Neck_Effector")->channels.empty());
  expectFrame(skeleton.root, 0, {1, 2, 3}, {0, 0, 0});
  expectFrame(spine, 0, {4, 5, 6}, {7, 9, 8});
  expectFrame(neck, 0, {10, 11, 12}, {0, 0, 0});
  expectFrame(leg, 0, {0, 0, 0}, {14, 13, 15});
  EXPECT_EQ(kOrderYXZ, skeleton.rotationOrder);
  EXPECT_EQ(kOrderYXZ, jointRotationOrder(*skeleton.root, skeleton.rotationOrder));
  EXPECT_EQ(kOrderXZY, jointRotationOrder(*spine, skeleton.rotationOrder));
  EXPECT_EQ(kOrderXZY, jointRotationOrder(*neck, skeleton.rotationOrder));
  EXPECT_EQ(kOrderXZY, jointRotationOrder(*skeleton.findJoint("Neck_Effector"), kOrderXYZ));
  EXPECT_EQ(kOrderYXZ, jointRotationOrder(*leg, kOrderXYZ));
  EXPECT_EQ((Vec{0, 10, 0}), spine->offset);
  EXPECT_TRUE(skeleton.translateAllJoints);

  iSkeleton rootOnly;
  ASSERT_EQ(kMocapOk, parseText(kWorkedExample, rootOnly));
  EXPECT_FALSE(rootOnly.translateAllJoints);
}

TEST(BvhParserChannels, RepeatedLetterGivesInvalidOrderAndLastValueWins) {
  iSkeleton skeleton;
  ASSERT_EQ(
      kMocapOk,
      parseText(hierarchy("ROOT a\n{\nOFFSET 0 0 0\nCHANNELS 3 Xrotation Xrotation Yrotation\n"
                          "}\nMOTION\nFrames: 1\nFrame Time: 0.1\n1 2 3\n"),
                skeleton));
  EXPECT_EQ(-2147483648, skeleton.rotationOrder);
  EXPECT_EQ(kOrderInvalid, jointRotationOrder(*skeleton.root, kOrderXYZ));
  expectFrame(skeleton.root, 0, {0, 0, 0}, {2, 3, 0});
}

TEST(BvhParserChannels, OrderComesFromLastJointWithChannels) {
  iSkeleton skeleton;
  ASSERT_EQ(kMocapOk, parseText(hierarchy("ROOT a\n{\nOFFSET 0 0 0\nCHANNELS 6 Xposition Yposition "
                                          "Zposition Zrotation Xrotation Yrotation\nJOINT b\n{\n"
                                          "OFFSET 0 0 0\nCHANNELS 3 Xrotation Yrotation Zrotation\n"
                                          "End Site\n{\nOFFSET 0 0 0\n}\n}\n}\nMOTION\nFrames: 0\n"
                                          "Frame Time: 0.1\n"),
                                skeleton));
  EXPECT_EQ(0, skeleton.rotationOrder);
}

// A root without rotation channels turns in the last joint's order whatever follows the
// hierarchy: nothing, a whole motion section or one cut short.
TEST(BvhParserChannels, RootWithoutRotationsTurnsInTheLastOrderWhateverFollows) {
  const std::string bones = hierarchy(
      "ROOT a\n{\nOFFSET 0 0 0\nCHANNELS 3 Xposition Yposition Zposition\nJOINT b\n{\n"
      "OFFSET 0 1 0\nCHANNELS 3 Yrotation Zrotation Xrotation\n}\n}\n");
  for (const std::string& text :
       {bones, bones + "MOTION\n", bones + "MOTION\nFrames: 1\nFrame Time: 0.1\n1 2 3 4 5 6\n"}) {
    iSkeleton skeleton;
    ASSERT_EQ(kMocapOk, parseText(text, skeleton)) << text;
    EXPECT_EQ(kOrderYZX, skeleton.rotationOrder) << text;
    EXPECT_EQ(kOrderYZX, jointRotationOrder(*skeleton.root, skeleton.rotationOrder)) << text;
  }
}

TEST(BvhParserMotion, ShortValuesAreZeroAndCountsTruncate) {
  iSkeleton skeleton;
  ASSERT_EQ(
      kMocapOk,
      parseText(twoJoints("Frames: 3.9\nFrame Time: 0.5\n1 2 3 4 5 6 7 abc 9\n10\n"), skeleton));
  EXPECT_EQ(3u, skeleton.frameCount);
  const iJoint* hips = skeleton.root;
  const iJoint* spine = skeleton.findJoint("Spine");
  ASSERT_EQ(3u, hips->frames.size());
  ASSERT_EQ(3u, spine->frames.size());
  expectFrame(spine, 0, {0, 0, 0}, {0, 9, 7});
  expectFrame(hips, 1, {10, 0, 0}, {0, 0, 0});
  expectFrame(hips, 2, {0, 0, 0}, {0, 0, 0});
  expectFrame(spine, 2, {0, 0, 0}, {0, 0, 0});
}

// A value is read up to its token's end: a brace ends it, a colon or letters do not.
TEST(BvhParserMotion, ValueTokensEndOnlyAtDelimiters) {
  for (std::size_t chunk : chunkSizes()) {
    SCOPED_TRACE(chunk);
    iSkeleton skeleton;
    ASSERT_EQ(kMocapOk, parseText(twoJoints("Frames: 1\nFrame Time: 0.5\n"
                                            "0.1abc 2} -.5e1 +2 1e 3:4 {7\n"),
                                  skeleton, chunk));
    expectFrame(skeleton.root, 0, {static_cast<double>(0.1f), 2, 0}, {2, 1, -5});
    expectFrame(skeleton.findJoint("Spine"), 0, {0, 0, 0}, {0, 7, 3});
  }
}

TEST(BvhParserMotion, MultipleBlocksAppend) {
  iSkeleton skeleton;
  ASSERT_EQ(kMocapOk,
            parseText(twoJoints("Frames: 1\nFrame Time: 0.5\n1 2 3 4 5 6 7 8 9\n"
                                "Frames: 2\nFrame Time: 0.25\n"
                                "11 12 13 14 15 16 17 18 19\n21 22 23 24 25 26 27 28 29\n"),
                      skeleton));
  EXPECT_EQ(2u, skeleton.frameCount);
  EXPECT_EQ(0.25, skeleton.frameTime);
  const iJoint* spine = skeleton.findJoint("Spine");
  ASSERT_EQ(3u, skeleton.root->frames.size());
  ASSERT_EQ(3u, spine->frames.size());
  expectFrame(skeleton.root, 0, {1, 2, 3}, {5, 6, 4});
  expectFrame(skeleton.root, 2, {21, 22, 23}, {25, 26, 24});
  expectFrame(spine, 1, {0, 0, 0}, {18, 19, 17});
  EXPECT_EQ((Vec{0, 0, 0}), skeleton.root->offset);
}

TEST(BvhParserMotion, BlankLineEndsInput) {
  iSkeleton beforeMotion;
  ASSERT_EQ(kMocapOk,
            parseText(twoJoints("").insert(twoJoints("").find("MOTION"), "\n"), beforeMotion));
  EXPECT_EQ((Vec{1, 2, 3}), beforeMotion.root->offset);
  EXPECT_EQ(0u, beforeMotion.frameCount);
  EXPECT_EQ(0.4, beforeMotion.frameTime);
  EXPECT_EQ(2, beforeMotion.rotationOrder);
  EXPECT_TRUE(beforeMotion.root->frames.empty());

  iSkeleton insideData;
  ASSERT_EQ(kMocapOk,
            parseText(twoJoints("Frames: 3\nFrame Time: 0.5\n1 2 3 4 5 6 7 8 9\n1 2\n \t\n"
                                "9 9 9 9 9 9 9 9 9 9 9 9 9 9 9 not read\n"),
                      insideData));
  ASSERT_EQ(3u, insideData.root->frames.size());
  expectFrame(insideData.root, 1, {1, 2, 0}, {0, 0, 0});
  expectFrame(insideData.findJoint("Spine"), 2, {0, 0, 0}, {0, 0, 0});
  EXPECT_EQ((Vec{0, 0, 0}), insideData.root->offset);

  iSkeleton trailing;
  ASSERT_EQ(kMocapOk, parseText(std::string(kWorkedExample) + "  \t\n\n\n", trailing));
  expectWorkedExample(trailing);
}

TEST(BvhParserMotion, CountFarBeyondDataIsBounded) {
  for (std::size_t chunk : {std::size_t{4096}, std::size_t{0}}) {
    iSkeleton skeleton;
    ASSERT_EQ(kMocapOk, parseText(twoJoints("Frames: 4294967295\nFrame Time: 0.5\n1 2 3\n"),
                                  skeleton, chunk));
    EXPECT_EQ(4294967295u, skeleton.frameCount);
    // Padding stops at what 1 MiB could hold at two bytes per value, nine values per frame.
    const std::size_t kHeld = ((1u << 20) + 1) / 18;
    ASSERT_EQ(kHeld, skeleton.root->frames.size());
    ASSERT_EQ(kHeld, skeleton.findJoint("Spine")->frames.size());
    expectFrame(skeleton.root, 0, {1, 2, 3}, {0, 0, 0});
    expectFrame(skeleton.root, kHeld - 1, {0, 0, 0}, {0, 0, 0});
  }
}

TEST(BvhParserMotion, LargeTextReadsTheSameChunkedOrWhole) {
  std::string motion = "Frames: 3000\nFrame Time: 0.01\n";
  for (int frame = 0; frame < 3000; ++frame) {
    for (int value = 0; value < 9; ++value) motion += std::to_string(frame * 10 + value) + ".5 ";
    motion += "\n";
  }
  for (std::size_t chunk : {std::size_t{13}, std::size_t{0}}) {
    iSkeleton skeleton;
    ASSERT_EQ(kMocapOk, parseText(twoJoints(motion), skeleton, chunk));
    ASSERT_EQ(3000u, skeleton.root->frames.size());
    ASSERT_EQ(3000u, skeleton.findJoint("Spine")->frames.size());
    expectFrame(skeleton.root, 2999, {29990.5, 29991.5, 29992.5}, {29994.5, 29995.5, 29993.5});
    expectFrame(skeleton.findJoint("Spine"), 1234, {0, 0, 0}, {12347.5, 12348.5, 12346.5});
  }
}

// A motion block as {declared, held, stored}.
using Block = std::array<std::uint32_t, 3>;

std::vector<Block> blocksOf(const iMocapDataBvh& reader) {
  std::vector<Block> blocks;
  for (const auto& block : reader.motionBlocks()) {
    blocks.push_back({block.declared, block.held, block.stored});
  }
  return blocks;
}

// The blocks the reader reports for `text`, read in chunks of `chunk` bytes (0: seekable, whole).
std::vector<Block> blocksOf(const std::string& text, std::size_t chunk = 0) {
  iSkeleton skeleton;
  ChunkedStream chunked(text, chunk);
  std::istringstream whole(text);
  iMocapDataBvh reader(chunk == 0 ? static_cast<std::istream*>(&whole) : &chunked, &skeleton);
  EXPECT_EQ(kMocapOk, reader.parse(""));
  return blocksOf(reader);
}

TEST(BvhParserReport, BlocksCountDeclaredHeldAndStoredFrames) {
  const std::string full = "1 2 3 4 5 6 7 8 9\n";
  for (std::size_t chunk : chunkSizes()) {
    SCOPED_TRACE(chunk);
    EXPECT_EQ(std::vector<Block>({{2, 2, 2}}),
              blocksOf(twoJoints("Frames: 2\nFrame Time: 0.5\n" + full + full), chunk));
    // Cut inside the second frame: it and the third are stored, partly or wholly zero.
    EXPECT_EQ(std::vector<Block>({{3, 1, 3}}),
              blocksOf(twoJoints("Frames: 3\nFrame Time: 0.5\n" + full + "1 2\n"), chunk));
    EXPECT_EQ(std::vector<Block>({{1, 1, 1}, {2, 1, 2}}),
              blocksOf(twoJoints("Frames: 1\nFrame Time: 0.5\n" + full +
                                 "Frames: 2\nFrame Time: 0.5\n" + full),
                       chunk));
  }
  EXPECT_EQ(std::vector<Block>(), blocksOf(twoJoints("")));
  EXPECT_EQ(std::vector<Block>({{0, 0, 0}}), blocksOf(twoJoints("Frames: 0\nFrame Time: 0.5\n")));
  // Zeros past the text stop at the bound for counts far beyond it.
  const std::uint32_t kBound = ((1u << 20) + 1) / 18;
  EXPECT_EQ(std::vector<Block>({{4294967295u, 0, kBound}}),
            blocksOf(twoJoints("Frames: 4294967295\nFrame Time: 0.5\n1 2 3\n")));
}

// Values past a block's declared frames are left out, each line holding some counted once; a
// further Frames line still starts another block.
TEST(BvhParserReport, ValuesPastTheDeclaredFramesAreLeftOut) {
  const std::string full = "1 2 3 4 5 6 7 8 9\n";
  const std::string text =
      twoJoints("Frames: 2\nFrame Time: 0.5\n" + full + full +
                "9 9 9\n9 9 9 9 9 9 9 9 9 9\nx\nFrames: 1\nFrame Time: 0.25\n" +
                "11 12 13 14 15 16 17 18 19\n4 4\n");
  for (std::size_t chunk : chunkSizes()) {
    SCOPED_TRACE(chunk);
    iSkeleton skeleton;
    ChunkedStream stream(text, chunk);
    iMocapDataBvh reader(&stream, &skeleton);
    ASSERT_EQ(kMocapOk, reader.parse(""));
    ASSERT_EQ(2u, reader.motionBlocks().size());
    EXPECT_EQ(3u, reader.motionBlocks()[0].linesLeftOut);
    EXPECT_EQ(17u, reader.motionBlocks()[0].firstLineLeftOut);
    EXPECT_EQ(1u, reader.motionBlocks()[1].linesLeftOut);
    EXPECT_EQ(23u, reader.motionBlocks()[1].firstLineLeftOut);
    EXPECT_EQ((std::vector<Block>{{2, 2, 2}, {1, 1, 1}}), blocksOf(reader));
    ASSERT_EQ(3u, skeleton.root->frames.size());
    expectFrame(skeleton.root, 2, {11, 12, 13}, {15, 16, 14});
    EXPECT_EQ(0u, reader.notNumbers());
    EXPECT_EQ(iMocapDataBvh::CutShort::kNo, reader.cutShort());
  }

  // Values past the last frame on its own line.
  iSkeleton skeleton;
  std::istringstream stream(twoJoints("Frames: 1\nFrame Time: 0.5\n1 2 3 4 5 6 7 8 9 10 11\n"));
  iMocapDataBvh reader(&stream, &skeleton);
  ASSERT_EQ(kMocapOk, reader.parse(""));
  EXPECT_EQ(1u, reader.motionBlocks()[0].linesLeftOut);
  EXPECT_EQ(15u, reader.motionBlocks()[0].firstLineLeftOut);
  expectFrame(skeleton.findJoint("Spine"), 0, {0, 0, 0}, {8, 9, 7});
}

// A text that ends inside its hierarchy or its motion header parses, and says where it ended;
// one whose hierarchy is whole, or that runs short of frame values (the blocks count those),
// does not.
TEST(BvhParserReport, TextsEndingEarlySayWhere) {
  using Cut = iMocapDataBvh::CutShort;
  const std::string root = "HIERARCHY\nROOT a\n{\nOFFSET 0 0 0\nCHANNELS 3 Z X Y\n";
  const struct {
    std::string text;
    Cut cut;
    std::uint64_t line;
  } kCases[] = {
      {root, Cut::kInHierarchy, 5},
      {root + "JOINT b\n{\nOFFSET 0 1", Cut::kInHierarchy, 8},
      {root + "JOINT Left Up", Cut::kInHierarchy, 6},
      {root + "JOINT b\n{\nOFFSET 0 1 0\nCHANNELS 6 X Y", Cut::kInHierarchy, 9},
      {root + "End Site\n{\nOFFSET 0 1 0\n}\n", Cut::kInHierarchy, 9},
      {root + "JOINT b\n{\n\nOFFSET 0 1 0\n}\n}\n", Cut::kInHierarchy, 7},
      {root + "End\n", Cut::kInHierarchy, 6},
      {root + "}\n", Cut::kNo, 6},
      {root + "}\n\nMOTION\nFrames: 1\n", Cut::kNo, 6},
      {root + "}\nMOTION\n", Cut::kInMotionHeader, 7},
      {root + "}\nMOTION\nFrames: 2\nFrame", Cut::kInMotionHeader, 9},
      {root + "}\nMOTION\nFrames: 1\nFrame Time: 0.5\n1 2 3\nFrames: 1\n", Cut::kInMotionHeader,
       11},
      {root + "}\nMOTION\nFrames: 2\nFrame Time: 0.5\n1 2 3\n", Cut::kNo, 10},
      {kWorkedExample, Cut::kNo, 20},
  };
  for (const auto& c : kCases) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{0}}) {
      iSkeleton skeleton;
      ChunkedStream stream(c.text, chunk);
      iMocapDataBvh reader(&stream, &skeleton);
      ASSERT_EQ(kMocapOk, reader.parse("")) << c.text;
      EXPECT_EQ(c.cut, reader.cutShort()) << c.text;
      EXPECT_EQ(c.line, reader.line()) << c.text;
    }
  }
}

// Frame values that do not begin with a number read as 0 and are counted; "4x" reads as 4, and
// offsets and headers are not frame values.
TEST(BvhParserReport, NotNumbersAreCountedWithTheFirstAndItsLine) {
  const std::string text =
      "HIERARCHY\nROOT Hips\n{\nOFFSET 1 y 3\n"
      "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
      "JOINT Spine\n{\nOFFSET 0 10 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n}\n}\nMOTION\n"
      "Frames: 3\nFrame Time: 0.5\n"
      "1 2 3 4 5 6 7 8 9\n"
      "1 2 3 4 first 6 7 8 9\n"
      "nan - 4x 4 5 6 7 8 {\n";
  for (std::size_t chunk : chunkSizes()) {
    SCOPED_TRACE(chunk);
    iSkeleton skeleton;
    ChunkedStream stream(text, chunk);
    iMocapDataBvh reader(&stream, &skeleton);
    ASSERT_EQ(kMocapOk, reader.parse(""));
    EXPECT_EQ(4u, reader.notNumbers());
    EXPECT_EQ("first", reader.firstNotNumber());
    EXPECT_EQ(16u, reader.firstNotNumberLine());
    expectFrame(skeleton.root, 1, {1, 2, 3}, {0, 6, 4});
    expectFrame(skeleton.root, 2, {0, 0, 4}, {5, 6, 4});
    expectFrame(skeleton.findJoint("Spine"), 2, {0, 0, 0}, {8, 0, 7});
  }

  iSkeleton skeleton;
  std::istringstream clean(kWorkedExample);
  iMocapDataBvh reader(&clean, &skeleton);
  ASSERT_EQ(kMocapOk, reader.parse(""));
  EXPECT_EQ(0u, reader.notNumbers());
  EXPECT_EQ("", reader.firstNotNumber());
  EXPECT_EQ(0u, reader.firstNotNumberLine());
  EXPECT_EQ(std::vector<Block>({{2, 2, 2}}), blocksOf(reader));
}

// The text the stream client writes for a streamed skeleton header in actor slot 1.
TEST(BvhParserRoundTrip, StreamHeaderTextReadsBack) {
  const std::string text =
      "HIERARCHY\nROOT Hips1\n{\nOFFSET 0 90.5 0\n"
      "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation \n"
      "JOINT Spine1\n{\nOFFSET 0 10 0\nCHANNELS 3 Zrotation Xrotation Yrotation \n"
      "End Site\n{\nOFFSET 0 12.25 0\n}\n}\n}\nMOTION\nFrames : 0\nFrame Time : 0.01\n";
  for (std::size_t chunk : chunkSizes()) {
    SCOPED_TRACE(chunk);
    iSkeleton skeleton;
    ASSERT_EQ(kMocapOk, parseText(text, skeleton, chunk));
    ASSERT_NE(nullptr, skeleton.root);
    EXPECT_EQ("Hips1", skeleton.root->name);
    EXPECT_EQ((Vec{0, 0, 0}), skeleton.root->offset);
    ASSERT_EQ(std::vector<std::string>{"Spine1"}, childNames(skeleton.root));
    const iJoint* spine = skeleton.root->children[0];
    EXPECT_EQ((Vec{0, 10, 0}), spine->offset);
    ASSERT_EQ(std::vector<std::string>{"Spine1_Effector"}, childNames(spine));
    EXPECT_EQ((Vec{0, 12.25, 0}), spine->children[0]->offset);
    EXPECT_EQ(3u, skeleton.jointsByName.size());
    EXPECT_EQ(2, skeleton.rotationOrder);
    EXPECT_EQ(0u, skeleton.frameCount);
    EXPECT_EQ(static_cast<double>(0.01f), skeleton.frameTime);
    EXPECT_TRUE(skeleton.root->frames.empty());
  }
}

// Frames held as floats (a recorded take) read as the same frames written as text, for values
// the shortest text of a float carries in every form: signs, zeros, exponents, the float range's
// ends, and an infinity and a NaN, whose texts are not numbers.
TEST(BvhParserFrameSource, FloatFramesReadAsTheirShortestTexts) {
  class Floats : public iFrameSource {
   public:
    explicit Floats(const std::vector<std::vector<float>>& values) : frames(values) {}
    std::size_t nextFrame(double* values, std::size_t count) override {
      if (next == frames.size()) return 0;
      const std::vector<float>& frame = frames[next++];
      const std::size_t held = std::min(count, frame.size());
      for (std::size_t i = 0; i < held; ++i) values[i] = floatReal(frame[i]);
      return held;
    }

   private:
    const std::vector<std::vector<float>>& frames;
    std::size_t next = 0;
  };
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<std::vector<float>> frames = {
      {0.1f, -0.0f, 1e-7f, 97.5f, -27.19f, 123456.79f, 3.4028235e38f, 1e-45f, -1.5e-40f},
      {inf, -inf, std::numeric_limits<float>::quiet_NaN(), 0.008333334f, 12.345679f, -7, 1, 2,
       33333.332f}};
  std::string values;
  for (const std::vector<float>& frame : frames) {
    for (float value : frame) {
      char text[32];
      values.append(text, std::to_chars(text, text + sizeof text, value).ptr);
      values += ' ';
    }
    values += '\n';
  }
  const std::string head = twoJoints("Frames: 2\nFrame Time: 0.0083333333\n");
  iSkeleton fromText;
  ASSERT_EQ(kMocapOk, parseText(head + values, fromText));
  iSkeleton fromFloats;
  std::istringstream stream(head);
  Floats source(frames);
  iMocapDataBvh reader(&stream, &fromFloats, &source);
  ASSERT_EQ(kMocapOk, reader.parse(""));

  EXPECT_EQ(fromFloats.frameTime, fromText.frameTime);
  EXPECT_EQ(fromFloats.frameCount, 2u);
  for (const char* name : {"Hips", "Spine"}) {
    const iJoint* text = fromText.findJoint(name);
    const iJoint* floats = fromFloats.findJoint(name);
    ASSERT_NE(floats, nullptr);
    ASSERT_EQ(floats->frames.size(), 2u);
    for (std::size_t f = 0; f < 2; ++f) {
      for (int axis = 0; axis < 3; ++axis) {
        // Bitwise, so that -0 and 0 differ.
        EXPECT_EQ(std::signbit(floats->frames[f].position[axis]),
                  std::signbit(text->frames[f].position[axis]));
        EXPECT_EQ(floats->frames[f].position[axis], text->frames[f].position[axis]) << name << f;
        EXPECT_EQ(floats->frames[f].rotation[axis], text->frames[f].rotation[axis]) << name << f;
      }
    }
  }
  EXPECT_EQ(fromFloats.findJoint("Hips")->frames[0].position[0], static_cast<double>(0.1f));
  EXPECT_EQ(fromFloats.findJoint("Hips")->frames[1].position[0], 0.0);
  EXPECT_EQ(fromFloats.findJoint("Hips")->offset, (Vec{0, 0, 0}));
}

}  // namespace
