#pragma once

// Function set and object types. The numbers are the host's own, not Maya's (they change between
// Maya versions anyway): compare by name, never store them.
class MFn {
 public:
  enum Type {
    kInvalid = 0,
    kBase,
    kNamedObject,
    kDependencyNode,
    kDagNode,
    kWorld,
    kTransform,
    kJoint,
    kShape,
    kMesh,
    kAnimCurve,
    kAnimCurveTimeToAngular,
    kAnimCurveTimeToDistance,
    kAnimCurveTimeToTime,
    kAnimCurveTimeToUnitless,
    kPluginDependNode,
    kPluginThreadedDevice,
    kAttribute,
    kNumericAttribute,
    kCompoundAttribute,
    kTypedAttribute,
    kEnumAttribute,
    kUnitAttribute,
    kDoubleLinearAttribute,
    kDoubleAngleAttribute,
    kTimeAttribute,
    kAttribute3Double,
    kData,
    kNumericData,
    kStringData,
    kPlugin,
    kLast
  };
};
