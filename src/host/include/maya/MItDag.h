#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFn.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

#include <cstddef>
#include <vector>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MDagPath;

// Walks the DAG below the world, parents before children, siblings in creation order, keeping
// only nodes with the filter's function set (MFn::kInvalid keeps every DAG node). The nodes are
// those in the scene when it is made (or reset). The host walks depth first only: kBreadthFirst
// is refused with kNotImplemented and walks nothing.
class MItDag {
 public:
  enum TraversalType { kInvalidType = 0, kDepthFirst, kBreadthFirst };

  MItDag(TraversalType = kDepthFirst, MFn::Type = MFn::kInvalid, MStatus* ReturnStatus = NULL);
  virtual ~MItDag();

  MStatus reset();
  MObject currentItem(MStatus* ReturnStatus = NULL);
  MStatus next();
  bool isDone(MStatus* ReturnStatus = NULL) const;
  // kFailure when done.
  MStatus getPath(MDagPath& path) const;

 private:
  MItDag(const MItDag&) = delete;
  MItDag& operator=(const MItDag&) = delete;

  MFn::Type filter;
  std::vector<MObject> items;
  std::size_t position;
};

OPENMAYA_NAMESPACE_CLOSE
