// MSyntax and MArgDatabase as a plug-in command reads its arguments with them.
#include <gtest/gtest.h>
#include <maya/MArgDatabase.h>
#include <maya/MArgList.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>
#include <maya/MSyntax.h>

#include <string>
#include <vector>

namespace {

MArgList argList(const std::vector<std::string>& args) {
  MArgList list;
  for (const std::string& arg : args) list.addArg(MString(arg.c_str()));
  return list;
}

// One flag of every argument type, query, and no objects.
MSyntax everyType() {
  MSyntax syntax;
  EXPECT_EQ(syntax.addFlag("-g", "-go"), MS::kSuccess);
  EXPECT_EQ(syntax.addFlag("-b", "-bool", MSyntax::kBoolean), MS::kSuccess);
  EXPECT_EQ(syntax.addFlag("-i", "-int", MSyntax::kLong), MS::kSuccess);
  EXPECT_EQ(syntax.addFlag("-u", "-count", MSyntax::kUnsigned), MS::kSuccess);
  EXPECT_EQ(syntax.addFlag("-d", "-double", MSyntax::kDouble), MS::kSuccess);
  EXPECT_EQ(syntax.addFlag("-s", "-string", MSyntax::kString), MS::kSuccess);
  EXPECT_EQ(syntax.addFlag("-p", "-pair", MSyntax::kDouble, MSyntax::kString), MS::kSuccess);
  syntax.enableQuery(true);
  EXPECT_EQ(syntax.setObjectType(MSyntax::kNone), MS::kSuccess);
  return syntax;
}

TEST(CommandSyntax, FlagsReadByLongOrShortNameWithTypedArguments) {
  MStatus status;
  const MArgDatabase database(everyType(),
                              argList({"-g", "-bool", "off", "-i", "-7", "-count", "4000000000",
                                       "-d", "-.5", "-s", "-q", "-pair", "1e3", "x y"}),
                              &status);
  ASSERT_EQ(status, MS::kSuccess);
  EXPECT_FALSE(database.isQuery());
  EXPECT_EQ(database.numberOfFlagsUsed(), 7u);
  for (const char* name : {"-g", "-go", "g", "go", "-bool", "-b", "-int", "-count", "-d"}) {
    EXPECT_TRUE(database.isFlagSet(name)) << name;
  }
  bool flag = true;
  int whole = 0;
  unsigned int count = 0;
  double number = 0;
  MString text;
  EXPECT_EQ(database.getFlagArgument("-b", 0, flag), MS::kSuccess);
  EXPECT_FALSE(flag);
  EXPECT_EQ(database.getFlagArgument("-int", 0, whole), MS::kSuccess);
  EXPECT_EQ(whole, -7);
  EXPECT_EQ(database.getFlagArgument("-u", 0, count), MS::kSuccess);
  EXPECT_EQ(count, 4000000000u);
  EXPECT_EQ(database.getFlagArgument("-double", 0, number), MS::kSuccess);
  EXPECT_EQ(number, -0.5);
  // A string argument takes the next word whatever it looks like: "-q" is no query here.
  EXPECT_EQ(database.getFlagArgument("-s", 0, text), MS::kSuccess);
  EXPECT_EQ(std::string(text.asChar()), "-q");
  EXPECT_EQ(database.getFlagArgument("-p", 0, number), MS::kSuccess);
  EXPECT_EQ(number, 1000);
  EXPECT_EQ(database.getFlagArgument("-p", 1, text), MS::kSuccess);
  EXPECT_EQ(std::string(text.asChar()), "x y");

  // Arguments that are not there, or not of the type asked.
  EXPECT_EQ(database.getFlagArgument("-p", 2, text), MS::kInvalidParameter);
  EXPECT_EQ(database.getFlagArgument("-go", 0, text), MS::kInvalidParameter);
  EXPECT_EQ(database.getFlagArgument("-s", 0, number), MS::kInvalidParameter);
  EXPECT_EQ(database.getFlagArgument("-d", 0, flag), MS::kInvalidParameter);
  EXPECT_EQ(database.getFlagArgument("-nothing", 0, text), MS::kInvalidParameter);
}

TEST(CommandSyntax, QueryFlagsTakeNoArguments) {
  MStatus status;
  for (const char* query : {"-q", "-query"}) {
    const MArgDatabase database(everyType(), argList({"-double", query, "-s"}), &status);
    ASSERT_EQ(status, MS::kSuccess) << query;
    EXPECT_TRUE(database.isQuery());
    EXPECT_FALSE(database.isEdit());
    EXPECT_TRUE(database.isFlagSet("-d"));
    EXPECT_TRUE(database.isFlagSet("-string"));
    double number = 0;
    EXPECT_EQ(database.getFlagArgument("-d", 0, number), MS::kInvalidParameter);
  }
  MSyntax plain;
  plain.addFlag("-g", "-go");
  const MArgDatabase database(plain, argList({"-q"}), &status);
  EXPECT_EQ(status, MS::kInvalidParameter);
}

TEST(CommandSyntax, ArgumentsThatDoNotFitFailTheParse) {
  const std::vector<std::vector<std::string>> wrong = {
      {"-x"},
      {"-Go"},
      {"-bool", "maybe"},
      {"-bool"},
      {"-int", "1.5"},
      {"-int", "3000000000"},
      {"-count", "-1"},
      {"-double", "abc"},
      {"-double", "nan"},
      {"-double", "inf"},
      {"-double", "1x"},
      {"-double", " 1"},
      {"-double", ""},
      {"-pair", "1"},
      {"-go", "-go"},
      {"object"},
      {"-go", "5"},
  };
  for (const auto& args : wrong) {
    MStatus status;
    const MArgDatabase database(everyType(), argList(args), &status);
    EXPECT_EQ(status, MS::kInvalidParameter) << ::testing::PrintToString(args);
    EXPECT_FALSE(database.isFlagSet("-go"));
    EXPECT_FALSE(database.isQuery());
  }
}

TEST(CommandSyntax, ObjectsMultiUseFlagsAndCopies) {
  MSyntax syntax;
  ASSERT_EQ(syntax.addFlag("-t", "-tag", MSyntax::kString), MS::kSuccess);
  EXPECT_EQ(syntax.addFlag("-t", "-other"), MS::kFailure);
  EXPECT_EQ(syntax.addFlag("-o", "-tag"), MS::kFailure);
  EXPECT_EQ(syntax.addFlag("-q", "-quick"), MS::kFailure);
  EXPECT_EQ(syntax.addFlag("t", "-tee"), MS::kInvalidParameter);
  EXPECT_EQ(syntax.makeFlagMultiUse("-missing"), MS::kFailure);
  ASSERT_EQ(syntax.makeFlagMultiUse("-tag"), MS::kSuccess);
  ASSERT_EQ(syntax.setObjectType(MSyntax::kStringObjects, 1, 2), MS::kSuccess);
  EXPECT_EQ(syntax.setObjectType(MSyntax::kStringObjects, 3, 2), MS::kInvalidParameter);

  MStatus status;
  const MArgDatabase database(syntax, argList({"a", "-t", "x", "-tag", "y", "b"}), &status);
  ASSERT_EQ(status, MS::kSuccess);
  MStringArray objects;
  ASSERT_EQ(database.getObjects(objects), MS::kSuccess);
  ASSERT_EQ(objects.length(), 2u);
  EXPECT_EQ(std::string(objects[0].asChar()) + objects[1].asChar(), "ab");
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"a", "b", "c"}}) {
    const MArgDatabase refused(syntax, argList(args), &status);
    EXPECT_EQ(status, MS::kInvalidParameter) << args.size();
  }

  // A copy is a syntax of its own.
  MSyntax copy = syntax;
  ASSERT_EQ(copy.addFlag("-n", "-new"), MS::kSuccess);
  const MArgDatabase old(syntax, argList({"a", "-new"}), &status);
  EXPECT_EQ(status, MS::kInvalidParameter);
  const MArgDatabase fresh(copy, argList({"a", "-new"}), &status);
  EXPECT_EQ(status, MS::kSuccess);
}

}  // namespace
