#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MStatus.h>
#include <maya/MTime.h>
#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MAnimCurveChange;
class MDGModifier;
class MDoubleArray;
class MObject;
class MPlug;
class MTimeArray;

// Keys are kept sorted by time, one key per time at Maya's tick resolution. Values are in
// internal units: centimetres for kAnimCurveTL, radians for kAnimCurveTA. Each key has an in
// and an out tangent type; kTangentGlobal given for a key becomes the scene's default, auto.
class MFnAnimCurve : public MFnDependencyNode {
 public:
  enum AnimCurveType {
    kAnimCurveTA = 0,
    kAnimCurveTL,
    kAnimCurveTT,
    kAnimCurveTU,
    kAnimCurveUA,
    kAnimCurveUL,
    kAnimCurveUT,
    kAnimCurveUU,
    kAnimCurveUnknown
  };
  enum TangentType {
    kTangentGlobal,
    kTangentFixed,
    kTangentLinear,
    kTangentFlat,
    kTangentSmooth,
    kTangentStep,
    kTangentSlow,
    kTangentFast,
    kTangentClamped,
    kTangentPlateau,
    kTangentStepNext,
    kTangentAuto,
    kTangentAutoMix,
    kTangentAutoEase,
    kTangentAutoCustom
  };
  typedef double TangentValue;

  MFnAnimCurve();
  MFnAnimCurve(MObject& object, MStatus* ReturnStatus = nullptr);
  MFnAnimCurve(const MObject& object, MStatus* ReturnStatus = nullptr);
  // Attaches to the curve driving the plug, directly or through a unitConversion: kSuccess;
  // kNotImplemented (not attached) when something other than a curve drives it;
  // kInvalidParameter when nothing drives it.
  MFnAnimCurve(const MPlug& plug, MStatus* ReturnStatus = NULL);
  ~MFnAnimCurve() override;
  MFn::Type type() const override;

  // A new curve named "<node>_<attribute>" driving the node's attribute; the function set is
  // attached to it. The first form takes its type from the attribute (timedAnimCurveTypeForPlug).
  // Connected at once, or by the modifier's doIt when one is given; a curve whose output unit
  // differs from the attribute's drives it through a unitConversion node. kInvalidParameter
  // when the attribute is not a number on that node, is locked or is already driven;
  // kNotImplemented for the unitless-input types (kAnimCurveU*).
  MObject create(const MObject& node, const MObject& attribute, MDGModifier* modifier = NULL,
                 MStatus* ReturnStatus = NULL);
  MObject create(const MObject& node, const MObject& attribute, AnimCurveType animCurveType,
                 MDGModifier* modifier = NULL, MStatus* ReturnStatus = NULL);
  AnimCurveType animCurveType(MStatus* ReturnStatus = NULL) const;
  // TL for a distance plug, TA for an angle, TT for a time, TU otherwise; kInvalidParameter
  // (kAnimCurveUnknown) for a plug that is no number.
  AnimCurveType timedAnimCurveTypeForPlug(MPlug& plug, MStatus* ReturnStatus = NULL) const;
  unsigned int numKeys(MStatus* ReturnStatus = NULL) const;
  // Whether a key sits at the time; index receives it.
  bool find(const MTime& time, unsigned int& index, MStatus* ReturnStatus = NULL) const;
  // Index of the key nearest the time, the earlier one on a tie. On a curve without keys:
  // 0 and kNotFound.
  unsigned int findClosest(const MTime& time, MStatus* ReturnStatus = NULL) const;
  // Key time in seconds; kInvalidParameter for an index out of range.
  MTime time(unsigned int index, MStatus* ReturnStatus = NULL) const;
  double value(unsigned int index, MStatus* ReturnStatus = NULL) const;
  // Later keys move down one index. kInvalidParameter for an index out of range.
  MStatus remove(unsigned int index, MAnimCurveChange* change = NULL);
  // Adds a key in time order with auto tangents. Where a key already sits at that time, its
  // value is replaced and its tangents kept: a curve never holds two keys at one time.
  MStatus addKeyframe(const MTime& time, double value, MAnimCurveChange* change = NULL);
  // Adds the keys of both arrays (same length, else kInvalidParameter and nothing added), each
  // with the given tangent types. keepExistingKeys false removes the keys within the new keys'
  // time span first; true keeps them, a new key replacing one at its own time.
  MStatus addKeys(MTimeArray* timeArray, MDoubleArray* valueArray,
                  TangentType tangentInType = kTangentGlobal,
                  TangentType tangentOutType = kTangentGlobal, bool keepExistingKeys = false,
                  MAnimCurveChange* change = NULL);
  // The new key's index; a key at that time is replaced, tangents and all.
  unsigned int addKey(const MTime& time, double value, TangentType tangentInType = kTangentGlobal,
                      TangentType tangentOutType = kTangentGlobal, MAnimCurveChange* change = NULL,
                      MStatus* ReturnStatus = NULL);
  TangentType inTangentType(unsigned int index, MStatus* ReturnStatus = NULL) const;
  TangentType outTangentType(unsigned int index, MStatus* ReturnStatus = NULL) const;
  MStatus setInTangentType(unsigned int index, TangentType tangentType,
                           MAnimCurveChange* change = NULL);
  MStatus setOutTangentType(unsigned int index, TangentType tangentType,
                            MAnimCurveChange* change = NULL);
  // The tangent as a unit vector: x in seconds, y in internal units (its slope y / x). Step
  // tangents read flat.
  MStatus getTangent(unsigned int index, TangentValue& x, TangentValue& y, bool inTangent) const;
  // Fixes the tangent to the direction (x, y), x > 0 (else kInvalidParameter): the tangent
  // type becomes kTangentFixed. With convertUnits, y is in the output's UI unit per second,
  // else in its internal unit.
  MStatus setTangent(unsigned int index, TangentValue x, TangentValue y, bool inTangent,
                     MAnimCurveChange* change = NULL, bool convertUnits = true);
  // The curve at any time, in internal units: between keys by their tangents (step, linear and
  // the spline family as cubic Bezier segments), constant outside them; 0 without keys.
  double evaluate(const MTime& atTime, MStatus* ReturnStatus = NULL) const;
  MStatus evaluate(const MTime& atTime, double& value) const;

 private:
  MFnAnimCurve(const MFnAnimCurve&) = delete;
  MFnAnimCurve& operator=(const MFnAnimCurve&) = delete;
};

OPENMAYA_NAMESPACE_CLOSE
