#include <maya/MDagPath.h>
#include <maya/MItDag.h>

#include <memory>

#include "api/ReturnStatus.h"
#include "model/Node.h"
#include "model/Object.h"
#include "model/Scene.h"
#include "runtime/Session.h"

using host::report;

namespace {

void collect(const std::shared_ptr<host::Node>& node, MFn::Type filter,
             std::vector<MObject>& items) {
  if (filter == MFn::kInvalid || node->hasFn(filter)) {
    items.push_back(host::ObjectAccess::wrap(node));
  }
  for (const auto& child : node->children()) collect(child, filter, items);
}

}  // namespace

MItDag::MItDag(TraversalType type, MFn::Type filterType, MStatus* ReturnStatus)
    : filter(filterType), position(0) {
  if (type != kDepthFirst) {
    report(ReturnStatus, MS::kNotImplemented);
    return;
  }
  report(ReturnStatus, reset());
}

MItDag::~MItDag() = default;

MStatus MItDag::reset() {
  items.clear();
  position = 0;
  for (const auto& node : host::Session::instance().scene.nodes()) {
    if (node->parent() == nullptr && node->hasFn(MFn::kDagNode)) collect(node, filter, items);
  }
  return MS::kSuccess;
}

MObject MItDag::currentItem(MStatus* ReturnStatus) {
  if (position >= items.size()) {
    report(ReturnStatus, MS::kFailure);
    return MObject();
  }
  report(ReturnStatus, MS::kSuccess);
  return items[position];
}

MStatus MItDag::next() {
  if (position < items.size()) ++position;
  return MS::kSuccess;
}

bool MItDag::isDone(MStatus* ReturnStatus) const {
  report(ReturnStatus, MS::kSuccess);
  return position >= items.size();
}

MStatus MItDag::getPath(MDagPath& path) const {
  if (position >= items.size()) return MS::kFailure;
  return MDagPath::getAPathTo(items[position], path);
}
