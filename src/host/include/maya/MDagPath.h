#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFn.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MString;

// Path to a DAG node. The host has no instancing, so a node has exactly one path.
class MDagPath {
 public:
  MDagPath();
  MDagPath(const MDagPath& src);
  MDagPath& operator=(const MDagPath& src);
  ~MDagPath();

  // kInvalidParameter when the object is not a DAG node in the scene.
  static MStatus getAPathTo(const MObject& node, MDagPath& path);

  bool isValid(MStatus* ReturnStatus = nullptr) const;
  bool hasFn(MFn::Type type, MStatus* ReturnStatus = nullptr) const;
  MFn::Type apiType(MStatus* ReturnStatus = nullptr) const;
  // kNullObj and kInvalidParameter for an empty path or a deleted node.
  MObject node(MStatus* ReturnStatus = nullptr) const;
  // "|walk|Hips"; empty and kInvalidParameter for an empty path or a deleted node.
  MString fullPathName(MStatus* ReturnStatus = nullptr) const;
  bool operator==(const MDagPath& other) const;

 private:
  MObject nodeObject;
};

OPENMAYA_NAMESPACE_CLOSE
