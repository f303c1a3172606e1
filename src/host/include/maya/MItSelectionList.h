#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFn.h>
#include <maya/MObject.h>
#include <maya/MSelectionList.h>
#include <maya/MStatus.h>
#include <maya/MTypes.h>

#include <vector>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MDagPath;

// Iterates a copy of the list, keeping only items that have the filter's function set
// (MFn::kInvalid keeps everything).
class MItSelectionList {
 public:
  MItSelectionList(const MSelectionList& list, MFn::Type = MFn::kInvalid,
                   MStatus* ReturnStatus = NULL);
  ~MItSelectionList();

  bool isDone(MStatus* ReturnStatus = NULL);
  MStatus next();
  MStatus reset();
  // kFailure when done or when the item is not a DAG node.
  MStatus getDagPath(MDagPath& dagPath);
  MStatus getDependNode(MObject& depNode);

 private:
  MItSelectionList(const MItSelectionList&) = delete;
  MItSelectionList& operator=(const MItSelectionList&) = delete;

  std::vector<MObject> items;
  std::size_t position;
};

OPENMAYA_NAMESPACE_CLOSE
