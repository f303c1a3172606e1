// Internal units (centimetres, radians) apart from the scene's UI units, currentUnit, and the
// unitConversion nodes Maya puts on connections between plugs of different unit types.
#include <gtest/gtest.h>
#include <host/HostScene.h>
#include <host/Plugins.h>
#include <host/SceneMayaAscii.h>
#include <maya/MAngle.h>
#include <maya/MDGModifier.h>
#include <maya/MDistance.h>
#include <maya/MFnAnimCurve.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MPlug.h>
#include <maya/MTime.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "support/TextFiles.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

class Units : public ::testing::Test {
 protected:
  void SetUp() override {
    host::resetScene();
    ASSERT_TRUE(host::createNode("joint", "Hips"));
    hips = host::findNode("Hips");
  }
  void TearDown() override { host::resetScene(); }

  MPlug plug(const char* name) { return MFnDependencyNode(hips).findPlug(name, false); }

  // A curve of the type on the attribute with keys (seconds, internal value).
  MObject keyed(const char* attribute, MFnAnimCurve::AnimCurveType type,
                const std::vector<std::array<double, 2>>& keys) {
    MFnAnimCurve curve;
    MStatus status;
    MObject made = curve.create(hips, plug(attribute), type, nullptr, &status);
    EXPECT_EQ(status, MS::kSuccess);
    for (const auto& key : keys) curve.addKey(MTime(key[0], MTime::kSeconds), key[1]);
    return made;
  }

  static std::string query(const char* flag, bool full = false) {
    std::vector<std::string> args{"-q", flag};
    if (full) args.push_back("-f");
    EXPECT_EQ(host::runCommand("currentUnit", args), MS::kSuccess);
    return host::lastCommandResult();
  }

  static double factorOf(const std::string& conversion) {
    host::Value value;
    EXPECT_EQ(host::getAttribute(conversion + ".conversionFactor", value), MS::kSuccess);
    return std::get<double>(value);
  }

  MObject hips;
};

TEST_F(Units, DistancesAndAnglesConvertBetweenUnits) {
  EXPECT_DOUBLE_EQ(MDistance(1.0, MDistance::kInches).asCentimeters(), 2.54);
  EXPECT_DOUBLE_EQ(MDistance(250.0, MDistance::kCentimeters).asMeters(), 2.5);
  EXPECT_DOUBLE_EQ(MDistance(1.0, MDistance::kFeet).as(MDistance::kInches), 12.0);
  EXPECT_DOUBLE_EQ(MDistance(1.0, MDistance::kMiles).as(MDistance::kKilometers), 1.609344);
  EXPECT_DOUBLE_EQ(MDistance(3.0, MDistance::kYards).asUnits(MDistance::kFeet), 9.0);
  EXPECT_DOUBLE_EQ(MDistance(5.0, MDistance::kMillimeters).asCentimeters(), 0.5);
  EXPECT_EQ(MDistance().unit(), MDistance::kCentimeters);
  MStatus status;
  EXPECT_EQ(MDistance(1.0, MDistance::kMeters).as(MDistance::kInvalid, &status), 0.0);
  EXPECT_EQ(status, MS::kInvalidParameter);

  EXPECT_DOUBLE_EQ(MAngle(180.0, MAngle::kDegrees).asRadians(), kPi);
  EXPECT_DOUBLE_EQ(MAngle(kPi / 2).asDegrees(), 90.0);
  EXPECT_DOUBLE_EQ(MAngle(1.0, MAngle::kDegrees).as(MAngle::kAngMinutes), 60.0);
  EXPECT_DOUBLE_EQ(MAngle(1.0, MAngle::kAngMinutes).as(MAngle::kAngSeconds), 60.0);
  EXPECT_EQ(MAngle().unit(), MAngle::kRadians);
  EXPECT_EQ(MAngle(1.0, MAngle::kLast).as(MAngle::kRadians, &status), 0.0);
  EXPECT_EQ(status, MS::kInvalidParameter);

  // Maya's order: the numbers are part of the binary interface.
  EXPECT_EQ(static_cast<int>(MDistance::kMeters), 8);
  EXPECT_EQ(static_cast<int>(MAngle::kAngSeconds), 4);
  EXPECT_EQ(static_cast<int>(MTime::k120FPS), 26);
  EXPECT_EQ(MTime::k24FPS, MTime::kFilm);
  EXPECT_EQ(MTime::k60FPS, MTime::kNTSCField);
  EXPECT_EQ(static_cast<int>(MTime::k6000FPS), 42);
  EXPECT_EQ(static_cast<int>(MTime::k90FPS), 50);
  EXPECT_DOUBLE_EQ(MTime(1.0, MTime::k29_97FPS).as(MTime::kSeconds), 1001.0 / 30000);
}

TEST_F(Units, UiUnitsAreTheScenesAndANewSceneHasMayasDefaults) {
  EXPECT_EQ(MDistance::uiUnit(), MDistance::kCentimeters);
  EXPECT_EQ(MAngle::uiUnit(), MAngle::kDegrees);
  EXPECT_EQ(MTime::uiUnit(), MTime::kFilm);
  EXPECT_EQ(MDistance::internalUnit(), MDistance::kCentimeters);
  EXPECT_EQ(MAngle::internalUnit(), MAngle::kRadians);
  EXPECT_DOUBLE_EQ(MAngle::internalToUI(kPi), 180.0);

  EXPECT_EQ(MDistance::setUIUnit(MDistance::kMeters), MS::kSuccess);
  EXPECT_EQ(MAngle::setUIUnit(MAngle::kRadians), MS::kSuccess);
  EXPECT_EQ(MTime::setUIUnit(MTime::kNTSCFrame), MS::kSuccess);
  EXPECT_DOUBLE_EQ(MDistance::uiToInternal(1.5), 150.0);
  EXPECT_DOUBLE_EQ(MDistance::internalToUI(96.0), 0.96);
  EXPECT_DOUBLE_EQ(MAngle::uiToInternal(2.0), 2.0);
  EXPECT_EQ(query("-l"), "m");
  EXPECT_EQ(query("-a"), "rad");
  EXPECT_EQ(query("-t"), "ntsc");

  EXPECT_EQ(MDistance::setUIUnit(MDistance::kInvalid), MS::kInvalidParameter);
  EXPECT_EQ(MAngle::setUIUnit(MAngle::kLast), MS::kInvalidParameter);
  EXPECT_EQ(MTime::setUIUnit(MTime::kUserDef), MS::kInvalidParameter);
  EXPECT_EQ(MDistance::uiUnit(), MDistance::kMeters);

  host::emptyScene();
  EXPECT_EQ(MDistance::uiUnit(), MDistance::kCentimeters);
  EXPECT_EQ(MAngle::uiUnit(), MAngle::kDegrees);
  EXPECT_EQ(MTime::uiUnit(), MTime::kFilm);
}

TEST_F(Units, CurrentUnitSetsAndQueriesAsMayasCommand) {
  EXPECT_EQ(query("-l"), "cm");
  EXPECT_EQ(query("-linear", true), "centimeter");
  EXPECT_EQ(query("-a"), "deg");
  EXPECT_EQ(query("-angle", true), "degree");
  EXPECT_EQ(query("-time"), "film");

  ASSERT_EQ(host::runCommand("currentUnit", {"-l", "inch", "-a", "rad", "-t", "120fps"}),
            MS::kSuccess);
  EXPECT_EQ(MDistance::uiUnit(), MDistance::kInches);
  EXPECT_EQ(MAngle::uiUnit(), MAngle::kRadians);
  EXPECT_EQ(MTime::uiUnit(), MTime::k120FPS);
  EXPECT_EQ(query("-l"), "in");
  ASSERT_EQ(host::runPythonCommand("currentUnit", {{"linear", std::string("mm")}}), MS::kSuccess);
  ASSERT_EQ(host::runPythonCommand("currentUnit", {{"q", true}, {"l", true}}), MS::kSuccess);
  EXPECT_EQ(host::lastCommandResult(), "mm");

  // A bad unit sets nothing, not even the good flags before it.
  EXPECT_EQ(host::runCommand("currentUnit", {"-l", "m", "-a", "grad"}), MS::kInvalidParameter);
  EXPECT_EQ(MDistance::uiUnit(), MDistance::kMillimeters);
  EXPECT_EQ(host::errors().back(), "currentUnit: 'grad' is no unit of flag '-a'");
  EXPECT_EQ(host::runCommand("currentUnit", {"-l"}), MS::kInvalidParameter);
  EXPECT_EQ(host::runCommand("currentUnit", {"-x", "m"}), MS::kInvalidParameter);
  EXPECT_EQ(host::runCommand("currentUnit", {"-q", "-l", "-a"}), MS::kInvalidParameter);
}

TEST_F(Units, PlugValuesAreInternalAndHostControlsShowUiUnits) {
  ASSERT_TRUE(host::runCommand("currentUnit", {"-l", "m"}));
  ASSERT_TRUE(host::setAttribute("Hips.translate", std::array<double, 3>{0, 0.96, 0}));
  ASSERT_TRUE(host::setAttribute("Hips.rotateX", 90.0));
  EXPECT_DOUBLE_EQ(plug("translateY").asDouble(), 96.0);
  EXPECT_DOUBLE_EQ(plug("rotateX").asDouble(), kPi / 2);
  host::Value shown;
  ASSERT_TRUE(host::getAttribute("Hips.translateY", shown));
  EXPECT_EQ(std::get<double>(shown), 0.96);

  // The same stored values, shown in other units.
  ASSERT_TRUE(host::runCommand("currentUnit", {"-l", "mm", "-a", "rad"}));
  ASSERT_TRUE(host::getAttribute("Hips.translate", shown));
  EXPECT_EQ((std::get<std::array<double, 3>>(shown)), (std::array<double, 3>{0, 960, 0}));
  ASSERT_TRUE(host::getAttribute("Hips.rotateX", shown));
  EXPECT_DOUBLE_EQ(std::get<double>(shown), kPi / 2);
}

TEST_F(Units, ConnectionsBetweenUnitTypesGetAConversionWithMayasFactor) {
  // A linear curve into an angle: 1 cm (the UI linear unit) arrives as 1 degree.
  keyed("rotateX", MFnAnimCurve::kAnimCurveTL, {{0, 90}});
  ASSERT_EQ(host::listNodes("unitConversion"), (std::vector<std::string>{"unitConversion1"}));
  EXPECT_DOUBLE_EQ(factorOf("unitConversion1"), kPi / 180);
  EXPECT_DOUBLE_EQ(plug("rotateX").asDouble(), kPi / 2);
  MStatus status;
  MFnAnimCurve found(plug("rotateX"), &status);
  EXPECT_EQ(status, MS::kSuccess) << "the curve behind the conversion is the plug's";
  EXPECT_EQ(found.animCurveType(), MFnAnimCurve::kAnimCurveTL);

  // Same unit types: no node.
  keyed("rotateY", MFnAnimCurve::kAnimCurveTA, {{0, 1}});
  keyed("translateX", MFnAnimCurve::kAnimCurveTL, {{0, 1}});
  // Unitless into distance needs none while the UI unit is the internal one.
  keyed("translateY", MFnAnimCurve::kAnimCurveTU, {{0, 2}});
  EXPECT_EQ(host::listNodes("unitConversion").size(), 1u);
  EXPECT_DOUBLE_EQ(plug("translateY").asDouble(), 2.0);

  // In metres, 1 (unitless) is 1 m = 100 cm; a linear curve into an angle: 1 m is 1 degree.
  ASSERT_TRUE(host::runCommand("currentUnit", {"-l", "m"}));
  keyed("translateZ", MFnAnimCurve::kAnimCurveTU, {{0, 2}});
  keyed("rotateZ", MFnAnimCurve::kAnimCurveTL, {{0, 100}});
  EXPECT_EQ(host::listNodes("unitConversion"),
            (std::vector<std::string>{"unitConversion1", "unitConversion2", "unitConversion3"}));
  EXPECT_DOUBLE_EQ(factorOf("unitConversion2"), 100.0);
  EXPECT_DOUBLE_EQ(factorOf("unitConversion3"), kPi / 180 / 100);
  EXPECT_DOUBLE_EQ(plug("translateZ").asDouble(), 200.0);
  EXPECT_DOUBLE_EQ(plug("rotateZ").asDouble(), kPi / 180);
  // The factor was fixed when connecting: the first conversion still says degrees per cm.
  EXPECT_DOUBLE_EQ(factorOf("unitConversion1"), kPi / 180);
}

TEST_F(Units, AngleIntoDistanceAndRadiansAgreeingWithUnitless) {
  ASSERT_TRUE(host::createNode("joint", "Other"));
  ASSERT_EQ(host::connectAttributes("Hips.rotateX", "Other.translateX"), MS::kSuccess);
  EXPECT_DOUBLE_EQ(factorOf("unitConversion1"), 180 / kPi);
  ASSERT_TRUE(host::setAttribute("Hips.rotateX", 30.0));
  host::Value value;
  ASSERT_TRUE(host::getAttribute("Other.translateX", value));
  EXPECT_DOUBLE_EQ(std::get<double>(value), 30.0);

  // Radians and centimetres are the internal units: nothing to convert, even between types.
  ASSERT_TRUE(host::runCommand("currentUnit", {"-a", "rad"}));
  ASSERT_EQ(host::connectAttributes("Hips.rotateY", "Other.translateY"), MS::kSuccess);
  ASSERT_EQ(host::connectAttributes("Hips.translateZ", "Other.rotateZ"), MS::kSuccess);
  EXPECT_EQ(host::listNodes("unitConversion").size(), 1u);
}

TEST_F(Units, CompoundsConvertChildByChild) {
  ASSERT_TRUE(host::createNode("joint", "Other"));
  ASSERT_EQ(host::connectAttributes("Hips.translate", "Other.rotate"), MS::kSuccess);
  ASSERT_EQ(host::listNodes("unitConversion").size(), 1u);
  ASSERT_TRUE(host::setAttribute("Hips.translate", std::array<double, 3>{10, -20, 45}));
  host::Value value;
  ASSERT_TRUE(host::getAttribute("Other.rotate", value));
  EXPECT_EQ((std::get<std::array<double, 3>>(value)), (std::array<double, 3>{10, -20, 45}));
  ASSERT_TRUE(host::getAttribute("Other.rotateY", value));
  EXPECT_EQ(std::get<double>(value), -20.0);
}

TEST_F(Units, AConversionGoesWithEitherEnd) {
  keyed("rotateX", MFnAnimCurve::kAnimCurveTL, {{0, 1}});
  ASSERT_TRUE(host::createNode("joint", "Other"));
  ASSERT_EQ(host::connectAttributes("Other.rotateX", "Hips.translateX"), MS::kSuccess);
  ASSERT_EQ(host::listNodes("unitConversion").size(), 2u);
  ASSERT_TRUE(host::deleteNode("Other"));
  EXPECT_EQ(host::listNodes("unitConversion"), (std::vector<std::string>{"unitConversion1"}));
  ASSERT_TRUE(host::deleteNode("Hips_rotateX"));
  EXPECT_TRUE(host::listNodes("unitConversion").empty());
  EXPECT_FALSE(plug("rotateX").isConnected());
}

TEST_F(Units, TimeConnectsOnlyToTime) {
  MFnAnimCurve curve;
  MStatus status;
  curve.create(hips, plug("rotateX"), MFnAnimCurve::kAnimCurveTT, nullptr, &status);
  EXPECT_EQ(status, MS::kNotImplemented);
  EXPECT_TRUE(host::listNodes("animCurveTT").empty());
}

TEST_F(Units, ModifierConnectsOnDoItAndUndoItTakesItBack) {
  MDGModifier modifier;
  MFnAnimCurve curve;
  MStatus status;
  MObject made = curve.create(hips, plug("rotateX"), &modifier, &status);
  ASSERT_EQ(status, MS::kSuccess);
  EXPECT_EQ(curve.animCurveType(), MFnAnimCurve::kAnimCurveTA);
  EXPECT_FALSE(plug("rotateX").isConnected()) << "not before doIt";
  curve.addKey(MTime(0.0, MTime::kSeconds), 0.5);

  ASSERT_TRUE(host::createNode("joint", "Other"));
  MObject other = host::findNode("Other");
  MPlug source = MFnDependencyNode(other).findPlug("translateX", false);
  ASSERT_EQ(modifier.connect(source, plug("rotateY")), MS::kSuccess);
  ASSERT_EQ(modifier.doIt(), MS::kSuccess);
  EXPECT_DOUBLE_EQ(plug("rotateX").asDouble(), 0.5);
  EXPECT_EQ(host::listNodes("unitConversion").size(), 1u);

  ASSERT_EQ(modifier.undoIt(), MS::kSuccess);
  EXPECT_FALSE(plug("rotateX").isConnected());
  EXPECT_FALSE(plug("rotateY").isConnected());
  EXPECT_TRUE(host::listNodes("unitConversion").empty());
  ASSERT_EQ(modifier.doIt(), MS::kSuccess);
  EXPECT_TRUE(plug("rotateY").isConnected());

  MDGModifier bad;
  EXPECT_EQ(bad.connect(made, MFnDependencyNode(other).findPlug("rotateX", false).attribute(), hips,
                        plug("rotateZ").attribute()),
            MS::kInvalidParameter)
      << "that attribute is not the curve's";
}

TEST_F(Units, MayaAsciiWritesConversionsAndValuesInTheFilesUnits) {
  ASSERT_TRUE(host::runCommand("currentUnit", {"-l", "m"}));
  ASSERT_TRUE(host::setAttribute("Hips.translate", std::array<double, 3>{0, 0.96, 0}));
  ASSERT_TRUE(host::setAttribute("Hips.jointOrient", std::array<double, 3>{0, 0, 90}));
  keyed("translateY", MFnAnimCurve::kAnimCurveTL, {{0, 96}, {1.0 / 24, 97.5}});
  keyed("rotateX", MFnAnimCurve::kAnimCurveTA, {{0, kPi / 6}});
  keyed("rotateY", MFnAnimCurve::kAnimCurveTL, {{0, 45}});
  EXPECT_EQ(
      lines(host::sceneMayaAscii("units.ma")),
      (std::vector<std::string>{
          "//Maya ASCII 2022 scene",
          "//Name: units.ma",
          "//Codeset: UTF-8",
          "requires maya \"2022\";",
          "currentUnit -l meter -a degree -t film;",
          "fileInfo \"application\" \"maya\";",
          "fileInfo \"product\" \"Maya 2022\";",
          "fileInfo \"version\" \"2022\";",
          "createNode joint -n \"Hips\";",
          "\tsetAttr \".t\" -type \"double3\" 0 0.96 0 ;",
          "\tsetAttr \".jo\" -type \"double3\" 0 0 90 ;",
          "createNode animCurveTL -n \"Hips_translateY\";",
          "\tsetAttr \".tan\" 18;",
          "\tsetAttr \".wgt\" no;",
          "\tsetAttr -s 2 \".ktv[0:1]\"  0 0.96 1 0.975;",
          "createNode animCurveTA -n \"Hips_rotateX\";",
          "\tsetAttr \".tan\" 18;",
          "\tsetAttr \".wgt\" no;",
          "\tsetAttr -s 1 \".ktv[0:0]\"  0 30;",
          "createNode animCurveTL -n \"Hips_rotateY\";",
          "\tsetAttr \".tan\" 18;",
          "\tsetAttr \".wgt\" no;",
          "\tsetAttr -s 1 \".ktv[0:0]\"  0 0.45;",
          "createNode unitConversion -n \"unitConversion1\";",
          "\tsetAttr \".cf\" 0.00017453292519943296;",
          "createNode script -n \"sceneConfigurationScriptNode\";",
          "\tsetAttr \".b\" -type \"string\" \"playbackOptions -min 1 -max 120 -ast 1 -aet 200 \";",
          "\tsetAttr \".st\" 6;",
          "connectAttr \"Hips_translateY.o\" \"Hips.ty\";",
          "connectAttr \"Hips_rotateX.o\" \"Hips.rx\";",
          "connectAttr \"Hips_rotateY.o\" \"unitConversion1.i\";",
          "connectAttr \"unitConversion1.o\" \"Hips.ry\";",
          "// End of units.ma",
      }));
  // 45 cm in the curve, shown as 0.45 m, arrives as 0.45 degrees: what Maya would play.
  host::Value value;
  ASSERT_TRUE(host::getAttribute("Hips.rotateY", value));
  EXPECT_DOUBLE_EQ(std::get<double>(value), 0.45);
}

}  // namespace
