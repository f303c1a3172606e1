#pragma once

#include <maya/MApiNamespace.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// Function set and object types, with Maya 2022's values so that a printed or logged value means
// the same here and in Maya. Only the types in use are listed. The values change between Maya
// versions: compare by name, never store them.
class MFn {
 public:
  enum Type {
    kInvalid = 0,
    kBase = 1,
    kNamedObject = 2,
    kDependencyNode = 4,
    kAnimCurve = 7,
    kAnimCurveTimeToAngular = 8,
    kAnimCurveTimeToDistance = 9,
    kAnimCurveTimeToTime = 10,
    kAnimCurveTimeToUnitless = 11,
    kDagNode = 107,
    kTransform = 110,
    kJoint = 121,
    kWorld = 247,
    kShape = 248,
    kMesh = 296,
    kPluginDependNode = 459,
    kAttribute = 565,
    kNumericAttribute = 566,
    kDoubleAngleAttribute = 567,
    kDoubleLinearAttribute = 569,
    kTimeAttribute = 571,
    kEnumAttribute = 572,
    kUnitAttribute = 573,
    kTypedAttribute = 574,
    kCompoundAttribute = 575,
    kPlugin = 581,
    kData = 582,
    kNumericData = 592,
    kStringData = 605,
    kAttribute3Double = 751,
    kPluginThreadedDevice = 1079,
    kLast = 1150
  };
};

OPENMAYA_NAMESPACE_CLOSE
