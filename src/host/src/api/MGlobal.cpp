#include <maya/MGlobal.h>
#include <maya/MSelectionList.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "model/Node.h"
#include "model/Object.h"
#include "model/Scene.h"
#include "runtime/Session.h"

void MGlobal::displayError(const MString& theError) {
  host::Session::instance().scene.displayError(theError.asChar());
}

void MGlobal::displayWarning(const MString& theWarning) {
  host::Session::instance().scene.displayWarning(theWarning.asChar());
}

MStatus MGlobal::getActiveSelectionList(MSelectionList& dest, bool) {
  dest.clear();
  for (const auto& node : host::Session::instance().scene.selection()) {
    dest.add(host::ObjectAccess::wrap(node));
  }
  return MS::kSuccess;
}

MStatus MGlobal::setActiveSelectionList(const MSelectionList& src, ListAdjustment listAdjustment) {
  std::vector<std::shared_ptr<host::Node>> given;
  for (unsigned int i = 0; i < src.length(); ++i) {
    MObject object;
    src.getDependNode(i, object);
    if (auto node = host::Node::live(object)) given.push_back(node);
  }
  auto& scene = host::Session::instance().scene;
  std::vector<std::shared_ptr<host::Node>> result = listAdjustment == kReplaceList
                                                        ? std::vector<std::shared_ptr<host::Node>>()
                                                        : scene.selection();
  auto listed = [&](const std::shared_ptr<host::Node>& node) {
    return std::find(result.begin(), result.end(), node) != result.end();
  };
  for (const auto& node : given) {
    switch (listAdjustment) {
      case kReplaceList:
      case kAddToList:
        if (!listed(node)) result.push_back(node);
        break;
      case kAddToHeadOfList:
        result.erase(std::remove(result.begin(), result.end(), node), result.end());
        result.insert(result.begin(), node);
        break;
      case kRemoveFromList:
        result.erase(std::remove(result.begin(), result.end(), node), result.end());
        break;
      case kXORWithList:
        if (listed(node)) {
          result.erase(std::remove(result.begin(), result.end(), node), result.end());
        } else {
          result.push_back(node);
        }
        break;
    }
  }
  scene.setSelection(std::move(result));
  return MS::kSuccess;
}

MStatus MGlobal::deleteNode(MObject& object) {
  auto node = host::Node::live(object);
  if (!node) return MS::kInvalidParameter;
  return host::Session::instance().scene.deleteNode(*node);
}

MGlobal::MMayaState MGlobal::mayaState(MStatus* ReturnStatus) {
  if (ReturnStatus != nullptr) *ReturnStatus = MS::kSuccess;
  return host::Session::instance().interrupts.mode;
}
