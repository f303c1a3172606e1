#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MTypes.h>

#include <vector>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MDagPath;
class MItSelectionList;
class MString;

// Nodes in selection order. Components are not supported.
class MSelectionList {
 public:
  MSelectionList();
  MSelectionList(const MSelectionList& src);
  MSelectionList& operator=(const MSelectionList& src);
  ~MSelectionList();

  unsigned int length(MStatus* ReturnStatus = NULL) const;
  bool isEmpty(MStatus* ReturnStatus = NULL) const;
  MStatus clear();
  // A node of the scene; kInvalidParameter otherwise. With mergeWithExisting, a node already
  // listed is not added again.
  MStatus add(const MObject& object, const bool mergeWithExisting = false);
  // kNotImplemented for a component.
  MStatus add(const MDagPath& object, const MObject& component = MObject::kNullObj,
              const bool mergeWithExisting = false);
  // A node by exact name or full path (no wild cards); kInvalidParameter when none matches.
  MStatus add(const MString& matchString, const bool searchChildNamespacesToo = false);
  MStatus getDependNode(unsigned int index, MObject& depNode) const;

 private:
  friend class MItSelectionList;
  std::vector<MObject> items;
};

OPENMAYA_NAMESPACE_CLOSE
