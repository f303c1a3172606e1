#include <gtest/gtest.h>
#include <maya/MArgList.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>
#include <maya/MTime.h>
#include <maya/MTypeId.h>

#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::vector<std::string> pieces(const char* text, char separator) {
  MStringArray array;
  array.append("stale");
  EXPECT_EQ(MString(text).split(separator, array), MS::kSuccess);
  std::vector<std::string> result;
  for (unsigned int i = 0; i < array.length(); ++i) result.push_back(array[i].asChar());
  return result;
}

MStatus fails() { return MS::kInvalidParameter; }

}  // namespace

TEST(MStatus, ConvertsToBoolAndComparesWithCodes) {
  MStatus status;
  EXPECT_TRUE(status);
  EXPECT_FALSE(status.error());
  status = fails();
  EXPECT_FALSE(status);
  EXPECT_TRUE(status.error());
  EXPECT_EQ(status, MS::kInvalidParameter);
  EXPECT_NE(status, MS::kFailure);
  EXPECT_EQ(status.statusCode(), MStatus::kInvalidParameter);
  EXPECT_EQ(status, MStatus(MS::kInvalidParameter));
}

TEST(MStatus, ErrorStringNamesTheCode) {
  EXPECT_STREQ(MStatus(MS::kFailure).errorString().asChar(),
               "(kFailure): Unexpected Internal Failure");
  EXPECT_STREQ(MStatus(MS::kInvalidParameter).errorString().asChar(),
               "(kInvalidParameter): Object is incompatible with this method");
  EXPECT_STREQ(MStatus(MS::kNotFound).errorString().asChar(), "(kNotFound): Not Found");
}

TEST(MString, AppendsNumbersInShortestForm) {
  MString text("Marvik");
  EXPECT_STREQ((text + 0.0).asChar(), "Marvik0");
  EXPECT_STREQ((text + 12.0).asChar(), "Marvik12");
  EXPECT_STREQ((text + 0.1).asChar(), "Marvik0.1");
  EXPECT_STREQ((text + -2.5).asChar(), "Marvik-2.5");
  MString suffix("outputTranslateX");
  suffix += 59;
  suffix += 7u;
  suffix += 0.5f;
  EXPECT_STREQ(suffix.asChar(), "outputTranslateX5970.5");
  MString assigned;
  assigned = 1e20;
  EXPECT_STREQ(assigned.asChar(), "1e+20");
  EXPECT_STREQ(("a" + MString("b") + "c").asChar(), "abc");
}

TEST(MString, ComparesWithText) {
  MString text("Hips");
  EXPECT_TRUE(text == "Hips");
  EXPECT_TRUE(text != "hips");
  EXPECT_TRUE(text == MString("Hips"));
  EXPECT_TRUE(MString(nullptr) == "");
  EXPECT_STREQ(MString("abcdef", 3).asChar(), "abc");
  std::ostringstream out;
  out << text;
  EXPECT_EQ(out.str(), "Hips");
}

TEST(MString, SplitDropsEmptyPieces) {
  EXPECT_EQ(pieces("bonesOnly=false;merge=true", ';'),
            (std::vector<std::string>{"bonesOnly=false", "merge=true"}));
  EXPECT_EQ(pieces(";a;;b;", ';'), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(pieces("rig:arm:LeftArm", ':'), (std::vector<std::string>{"rig", "arm", "LeftArm"}));
  EXPECT_EQ(pieces("scale=", '='), (std::vector<std::string>{"scale"}));
  EXPECT_EQ(pieces("", ';'), (std::vector<std::string>{}));
  EXPECT_EQ(pieces(";;", ';'), (std::vector<std::string>{}));
  EXPECT_EQ(pieces("whole", ';'), (std::vector<std::string>{"whole"}));
}

TEST(MString, IndexSubstringAndCase) {
  MString name("data/walk.cycle.bvh");
  EXPECT_EQ(name.index('.'), 9);
  EXPECT_EQ(name.rindex('.'), 15);
  EXPECT_EQ(name.rindex('#'), -1);
  EXPECT_STREQ(name.substring(0, name.rindex('.') - 1).asChar(), "data/walk.cycle");
  EXPECT_STREQ(name.substring(16, 100).asChar(), "bvh");
  EXPECT_STREQ(name.substring(-5, 3).asChar(), "data");
  EXPECT_STREQ(name.substring(4, 3).asChar(), "");
  MString mixed("LeftArm_XYZ");
  EXPECT_STREQ(mixed.toLowerCase().asChar(), "leftarm_xyz");
  EXPECT_STREQ(mixed.toUpperCase().asChar(), "LEFTARM_XYZ");
}

TEST(MString, ConvertsNumbersAndNonNumbers) {
  EXPECT_EQ(MString("42").asInt(), 42);
  EXPECT_EQ(MString("  -7").asInt(), -7);
  EXPECT_EQ(MString("12abc").asInt(), 12);
  EXPECT_EQ(MString("1.9").asInt(), 1);
  EXPECT_EQ(MString("abc").asInt(), 0);
  EXPECT_EQ(MString("").asInt(), 0);
  EXPECT_EQ(MString("99999999999").asInt(), 2147483647);
  EXPECT_EQ(MString("2147483648").asUnsigned(), 2147483648u);
  EXPECT_EQ(MString("99999999999").asUnsigned(), 4294967295u);
  EXPECT_EQ(MString("-1").asUnsigned(), 0u);
  EXPECT_EQ(MString("none").asUnsigned(), 0u);
  EXPECT_FLOAT_EQ(MString("1.5").asFloat(), 1.5f);
  EXPECT_FLOAT_EQ(MString("2.5cm").asFloat(), 2.5f);
  EXPECT_FLOAT_EQ(MString("xyz").asFloat(), 0.0f);
  EXPECT_DOUBLE_EQ(MString("-0.25").asDouble(), -0.25);
}

// Maya's char* forms are the system's encoding, the ANSI code page on Windows: a module that
// hands UTF-8 to MString(const char*) or builds a path from asChar garbles every letter beyond
// ASCII there, and the tests under Wine must see that. setUTF8 and asUTF8 are UTF-8 everywhere.
TEST(MString, CharFormsAreTheSystemEncodingAndUtf8FormsTheText) {
  const char* text =
      "Mocap \xC5\x81\xC3\xB3"
      "d\xC5\xBA \xE6\xAD\xA9 \xF0\x9F\x8E\xAC";
  MString string;
  EXPECT_EQ(&string.setUTF8(text), &string);
  EXPECT_STREQ(string.asUTF8(), text);
  EXPECT_STREQ(MString("plain ASCII").asChar(), "plain ASCII");
  EXPECT_STREQ(MString("plain ASCII").asUTF8(), "plain ASCII");
  EXPECT_STREQ(string.setUTF8(nullptr).asUTF8(), "");
  string.setUTF8(text);
#ifdef _WIN32
  if (GetACP() == CP_UTF8) GTEST_SKIP() << "the ANSI code page is UTF-8";
  // No code page holds the clapper board (U+1F3AC): its "?" stays whatever the others give.
  const std::string ansi = string.asChar();
  EXPECT_EQ(ansi.rfind("Mocap ", 0), 0u);
  EXPECT_NE(ansi.find('?'), std::string::npos);
  EXPECT_NE(ansi, text);
  // The text itself is unchanged by the conversion.
  EXPECT_STREQ(string.asUTF8(), text);
  // UTF-8 given as char* is read as the code page's letters: other text.
  EXPECT_STRNE(MString(text).asUTF8(), text);
  MString appended("Mocap ");
  appended += "\xC3\xA9";
  EXPECT_STRNE(appended.asUTF8(), "Mocap \xC3\xA9");
  // What asChar gives reads back through the char* forms as the same letters, where the code
  // page has them all ("é" is in every Latin code page).
  MString latin;
  latin.setUTF8("caf\xC3\xA9");
  const std::string latinAnsi = latin.asChar();
  if (latinAnsi.find('?') == std::string::npos) {
    EXPECT_STREQ(MString(latinAnsi.c_str()).asUTF8(), "caf\xC3\xA9");
    EXPECT_TRUE(MString(latinAnsi.c_str()) == latin);
  }
#else
  // The locale's encoding, taken as UTF-8: bytes as given.
  EXPECT_STREQ(string.asChar(), text);
  EXPECT_STREQ(MString(text).asUTF8(), text);
#endif
}

TEST(MArgList, AsDoubleFailsOnWhatIsNotANumber) {
  MArgList args;
  for (const char* arg : {"29.97", "-1e3", "30fps", "", "fast"}) args.addArg(arg);
  MStatus status;
  EXPECT_EQ(args.asDouble(0, &status), 29.97);
  EXPECT_EQ(status, MS::kSuccess);
  EXPECT_EQ(args.asDouble(1, &status), -1000.0);
  EXPECT_EQ(status, MS::kSuccess);
  for (unsigned int i : {2u, 3u, 4u, 5u}) {
    EXPECT_EQ(args.asDouble(i, &status), 0.0) << i;
    EXPECT_EQ(status, MS::kInvalidParameter) << i;
  }
}

TEST(MTime, ConvertsBetweenSecondsAndFrames) {
  MTime frame(1.0, MTime::kFilm);
  EXPECT_DOUBLE_EQ(frame.as(MTime::kSeconds), 1.0 / 24);
  EXPECT_DOUBLE_EQ(MTime(2.0, MTime::kSeconds).as(MTime::kFilm), 48.0);
  EXPECT_DOUBLE_EQ(MTime(1.0, MTime::kSeconds).as(MTime::kNTSCFrame), 30.0);
  EXPECT_DOUBLE_EQ(MTime(3.0, MTime::kGames).as(MTime::kSeconds), 0.2);
  EXPECT_DOUBLE_EQ(MTime(1.0, MTime::k120FPS).as(MTime::kMilliseconds), 1000.0 / 120);
  EXPECT_EQ(MTime().unit(), MTime::kFilm);
  EXPECT_EQ(MTime(5.0).unit(), MTime::kFilm);
  EXPECT_EQ(MTime(1.0, MTime::kFilm), MTime(1.0 / 24, MTime::kSeconds));
}

TEST(MTime, ArithmeticKeepsTheLeftUnit) {
  MTime start(5.0, MTime::kSeconds);
  MTime step(0.5, MTime::kSeconds);
  MTime end = start + step * 10;
  EXPECT_EQ(end.unit(), MTime::kSeconds);
  EXPECT_DOUBLE_EQ(end.value(), 10.0);
  MTime frames(10.0, MTime::kFilm);
  frames += MTime(1.0, MTime::kSeconds);
  EXPECT_EQ(frames.unit(), MTime::kFilm);
  EXPECT_DOUBLE_EQ(frames.value(), 34.0);
  MTime key = start;
  for (int i = 0; i < 9; ++i) key += step;
  EXPECT_EQ(key, MTime(9.5, MTime::kSeconds));
  EXPECT_LT(start, end);
  EXPECT_GE(end, key);
  EXPECT_NE(start, end);
}

TEST(MTypeId, ComparesByValue) {
  MTypeId id = 0x0012345;
  EXPECT_EQ(id.id(), 0x0012345u);
  EXPECT_EQ(id, MTypeId(0x0012345));
  EXPECT_NE(id, MTypeId(0x0012346));
}
