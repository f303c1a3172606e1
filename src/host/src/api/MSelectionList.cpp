#include <maya/MDagPath.h>
#include <maya/MSelectionList.h>
#include <maya/MString.h>

#include <algorithm>

#include "api/ReturnStatus.h"
#include "model/Node.h"
#include "model/Object.h"
#include "model/Scene.h"
#include "runtime/Session.h"

using host::report;

MSelectionList::MSelectionList() = default;
MSelectionList::MSelectionList(const MSelectionList& src) = default;
MSelectionList& MSelectionList::operator=(const MSelectionList& src) = default;
MSelectionList::~MSelectionList() = default;

unsigned int MSelectionList::length(MStatus* ReturnStatus) const {
  report(ReturnStatus, MS::kSuccess);
  return static_cast<unsigned int>(items.size());
}

bool MSelectionList::isEmpty(MStatus* ReturnStatus) const {
  report(ReturnStatus, MS::kSuccess);
  return items.empty();
}

MStatus MSelectionList::clear() {
  items.clear();
  return MS::kSuccess;
}

MStatus MSelectionList::add(const MObject& object, const bool mergeWithExisting) {
  if (!host::Node::live(object)) return MS::kInvalidParameter;
  if (mergeWithExisting && std::find(items.begin(), items.end(), object) != items.end()) {
    return MS::kSuccess;
  }
  items.push_back(object);
  return MS::kSuccess;
}

MStatus MSelectionList::add(const MDagPath& object, const MObject& component,
                            const bool mergeWithExisting) {
  if (!component.isNull()) return MS::kNotImplemented;
  MStatus status;
  MObject node = object.node(&status);
  if (!status) return status;
  return add(node, mergeWithExisting);
}

MStatus MSelectionList::add(const MString& matchString, const bool) {
  auto node = host::Session::instance().scene.find(matchString.asUTF8());
  if (!node) return MS::kInvalidParameter;
  return add(host::ObjectAccess::wrap(node));
}

MStatus MSelectionList::getDependNode(unsigned int index, MObject& depNode) const {
  if (index >= items.size()) return MS::kInvalidParameter;
  depNode = items[index];
  return MS::kSuccess;
}
