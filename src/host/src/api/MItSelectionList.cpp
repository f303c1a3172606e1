#include <maya/MDagPath.h>
#include <maya/MItSelectionList.h>

#include "api/ReturnStatus.h"
#include "model/Node.h"

using host::report;

MItSelectionList::MItSelectionList(const MSelectionList& list, MFn::Type filter,
                                   MStatus* ReturnStatus)
    : position(0) {
  for (const MObject& item : list.items) {
    if (filter == MFn::kInvalid || item.hasFn(filter)) items.push_back(item);
  }
  report(ReturnStatus, MS::kSuccess);
}

MItSelectionList::~MItSelectionList() = default;

bool MItSelectionList::isDone(MStatus* ReturnStatus) {
  report(ReturnStatus, MS::kSuccess);
  return position >= items.size();
}

MStatus MItSelectionList::next() {
  if (position < items.size()) ++position;
  return MS::kSuccess;
}

MStatus MItSelectionList::reset() {
  position = 0;
  return MS::kSuccess;
}

MStatus MItSelectionList::getDagPath(MDagPath& dagPath) {
  if (position >= items.size()) return MS::kFailure;
  if (!MDagPath::getAPathTo(items[position], dagPath)) return MS::kFailure;
  return MS::kSuccess;
}

MStatus MItSelectionList::getDependNode(MObject& depNode) {
  if (position >= items.size() || !host::Node::live(items[position])) return MS::kFailure;
  depNode = items[position];
  return MS::kSuccess;
}
