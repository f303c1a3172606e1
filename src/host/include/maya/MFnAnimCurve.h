#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MStatus.h>
#include <maya/MTime.h>
#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MAnimCurveChange;
class MDGModifier;
class MObject;
class MPlug;

// Keys are kept sorted by time, one key per time at Maya's tick resolution. Values are in the
// curve's output unit (radians for kAnimCurveTA).
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

  MFnAnimCurve();
  MFnAnimCurve(MObject& object, MStatus* ReturnStatus = nullptr);
  MFnAnimCurve(const MObject& object, MStatus* ReturnStatus = nullptr);
  // Attaches to the curve driving the plug: kSuccess; kNotImplemented (not attached) when
  // something other than a curve drives it; kInvalidParameter when nothing drives it.
  MFnAnimCurve(const MPlug& plug, MStatus* ReturnStatus = NULL);
  ~MFnAnimCurve() override;
  MFn::Type type() const override;

  // A new curve named "<node>_<attribute>" driving the node's attribute; the function set is
  // attached to it. kInvalidParameter when the attribute is not a number on that node, is
  // locked or is already driven; kNotImplemented with a modifier or for the unitless-input
  // types (kAnimCurveU*).
  MObject create(const MObject& node, const MObject& attribute, AnimCurveType animCurveType,
                 MDGModifier* modifier = NULL, MStatus* ReturnStatus = NULL);
  AnimCurveType animCurveType(MStatus* ReturnStatus = NULL) const;
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
  // Adds a key in time order. Where a key already sits at that time, its value is replaced:
  // a curve never holds two keys at one time.
  MStatus addKeyframe(const MTime& time, double value, MAnimCurveChange* change = NULL);
  // Linear between keys and constant outside them (Maya's default tangents are smoother); 0 on
  // a curve without keys.
  double evaluate(const MTime& atTime, MStatus* ReturnStatus = NULL) const;

 private:
  MFnAnimCurve(const MFnAnimCurve&) = delete;
  MFnAnimCurve& operator=(const MFnAnimCurve&) = delete;
};

OPENMAYA_NAMESPACE_CLOSE
