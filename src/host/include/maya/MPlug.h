#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MString;

// An attribute of a node. Reading a value the node computes evaluates it first; a driven plug
// reads its source, evaluated (an animation curve at the current time, through any
// unitConversion). Values are in internal units: centimetres, radians.
class MPlug {
 public:
  MPlug();
  MPlug(const MObject& node, const MObject& attribute);
  MPlug(const MPlug& other);
  MPlug& operator=(const MPlug& other);
  ~MPlug();

  bool isNull(MStatus* ReturnStatus = nullptr) const;
  MObject attribute(MStatus* ReturnStatus = nullptr) const;
  MObject node(MStatus* ReturnStatus = nullptr) const;
  // "node.attributeLongName".
  MString name(MStatus* ReturnStatus = nullptr) const;
  operator MObject() const;
  bool operator==(const MPlug& other) const;
  bool operator==(const MObject& other) const;
  bool operator!=(const MPlug& other) const;
  bool operator!=(const MObject& other) const;

  // String attributes only; kInvalidParameter for others.
  MString asString(MStatus* ReturnStatus = nullptr) const;
  // Numeric attributes (booleans read 0 or 1); kInvalidParameter for strings and compounds.
  double asDouble(MStatus* ReturnStatus = nullptr) const;

  bool isKeyable(MStatus* ReturnStatus = nullptr) const;
  MStatus setKeyable(bool keyable);
  bool isLocked(MStatus* ReturnStatus = nullptr) const;
  MStatus setLocked(bool locked);
  // True when the plug is the source or the destination of a connection.
  bool isConnected(MStatus* ReturnStatus = nullptr) const;

 private:
  MObject nodeObject;
  MObject attributeObject;
};

OPENMAYA_NAMESPACE_CLOSE
