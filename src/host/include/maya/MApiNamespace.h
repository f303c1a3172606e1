#pragma once

// Every API class lives in a namespace named after the API version, so that the decorated names
// of a plug-in's functions (initializePlugin(MObject) among them) carry it: a plug-in built
// against another major version fails to load instead of calling into classes it does not know.
// The using declarations below let code name the classes without the namespace.

#define OPENMAYA_MAJOR_NAMESPACE OpenMaya20220000
#define OPENMAYA_MAJOR_NAMESPACE_OPEN \
  namespace Autodesk {                \
  namespace Maya {                    \
  namespace OpenMaya20220000 {
#define OPENMAYA_NAMESPACE_CLOSE \
  }                              \
  }                              \
  }

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MAngle;
class MAnimControl;
class MAnimCurveChange;
class MArgDatabase;
class MArgList;
class MArgParser;
class MCharBuffer;
class MComputation;
class MDGModifier;
class MDagPath;
class MDataBlock;
class MDataHandle;
class MDistance;
class MDoubleArray;
class MEulerRotation;
class MFileObject;
class MFn;
class MFnAnimCurve;
class MFnAttribute;
class MFnBase;
class MFnDagNode;
class MFnData;
class MFnDependencyNode;
class MFnIkJoint;
class MFnNumericAttribute;
class MFnNumericData;
class MFnPlugin;
class MFnStringData;
class MFnTransform;
class MFnTypedAttribute;
class MGlobal;
class MIntArray;
class MItDag;
class MItSelectionList;
class MMatrix;
class MObject;
class MObjectArray;
class MPlug;
class MPxCommand;
class MPxFileTranslator;
class MPxNode;
class MPxThreadedDeviceNode;
class MQuaternion;
class MSelectionList;
class MSpace;
class MStatus;
class MString;
class MStringArray;
class MSyntax;
class MTime;
class MTimeArray;
class MTransformationMatrix;
class MTypeId;
class MVector;

OPENMAYA_NAMESPACE_CLOSE

using Autodesk::Maya::OpenMaya20220000::MAngle;
using Autodesk::Maya::OpenMaya20220000::MAnimControl;
using Autodesk::Maya::OpenMaya20220000::MAnimCurveChange;
using Autodesk::Maya::OpenMaya20220000::MArgDatabase;
using Autodesk::Maya::OpenMaya20220000::MArgList;
using Autodesk::Maya::OpenMaya20220000::MArgParser;
using Autodesk::Maya::OpenMaya20220000::MCharBuffer;
using Autodesk::Maya::OpenMaya20220000::MComputation;
using Autodesk::Maya::OpenMaya20220000::MDagPath;
using Autodesk::Maya::OpenMaya20220000::MDataBlock;
using Autodesk::Maya::OpenMaya20220000::MDataHandle;
using Autodesk::Maya::OpenMaya20220000::MDGModifier;
using Autodesk::Maya::OpenMaya20220000::MDistance;
using Autodesk::Maya::OpenMaya20220000::MDoubleArray;
using Autodesk::Maya::OpenMaya20220000::MEulerRotation;
using Autodesk::Maya::OpenMaya20220000::MFileObject;
using Autodesk::Maya::OpenMaya20220000::MFn;
using Autodesk::Maya::OpenMaya20220000::MFnAnimCurve;
using Autodesk::Maya::OpenMaya20220000::MFnAttribute;
using Autodesk::Maya::OpenMaya20220000::MFnBase;
using Autodesk::Maya::OpenMaya20220000::MFnDagNode;
using Autodesk::Maya::OpenMaya20220000::MFnData;
using Autodesk::Maya::OpenMaya20220000::MFnDependencyNode;
using Autodesk::Maya::OpenMaya20220000::MFnIkJoint;
using Autodesk::Maya::OpenMaya20220000::MFnNumericAttribute;
using Autodesk::Maya::OpenMaya20220000::MFnNumericData;
using Autodesk::Maya::OpenMaya20220000::MFnPlugin;
using Autodesk::Maya::OpenMaya20220000::MFnStringData;
using Autodesk::Maya::OpenMaya20220000::MFnTransform;
using Autodesk::Maya::OpenMaya20220000::MFnTypedAttribute;
using Autodesk::Maya::OpenMaya20220000::MGlobal;
using Autodesk::Maya::OpenMaya20220000::MIntArray;
using Autodesk::Maya::OpenMaya20220000::MItDag;
using Autodesk::Maya::OpenMaya20220000::MItSelectionList;
using Autodesk::Maya::OpenMaya20220000::MMatrix;
using Autodesk::Maya::OpenMaya20220000::MObject;
using Autodesk::Maya::OpenMaya20220000::MObjectArray;
using Autodesk::Maya::OpenMaya20220000::MPlug;
using Autodesk::Maya::OpenMaya20220000::MPxCommand;
using Autodesk::Maya::OpenMaya20220000::MPxFileTranslator;
using Autodesk::Maya::OpenMaya20220000::MPxNode;
using Autodesk::Maya::OpenMaya20220000::MPxThreadedDeviceNode;
using Autodesk::Maya::OpenMaya20220000::MQuaternion;
using Autodesk::Maya::OpenMaya20220000::MSelectionList;
using Autodesk::Maya::OpenMaya20220000::MSpace;
using Autodesk::Maya::OpenMaya20220000::MStatus;
using Autodesk::Maya::OpenMaya20220000::MString;
using Autodesk::Maya::OpenMaya20220000::MStringArray;
using Autodesk::Maya::OpenMaya20220000::MSyntax;
using Autodesk::Maya::OpenMaya20220000::MTime;
using Autodesk::Maya::OpenMaya20220000::MTimeArray;
using Autodesk::Maya::OpenMaya20220000::MTransformationMatrix;
using Autodesk::Maya::OpenMaya20220000::MTypeId;
using Autodesk::Maya::OpenMaya20220000::MVector;
