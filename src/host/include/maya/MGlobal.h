#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MSelectionList;

class MGlobal {
 public:
  enum ListAdjustment { kReplaceList, kXORWithList, kAddToList, kRemoveFromList, kAddToHeadOfList };
  enum MMayaState { kInteractive, kBatch, kLibraryApp, kBaseUIMode };

  // kBatch unless the host was told otherwise (host/Computation.h).
  static MMayaState mayaState(MStatus* ReturnStatus = NULL);

  // Records the message with the scene and writes "// Error: <message>" to standard error.
  static void displayError(const MString& theError);
  // Records the message with the scene and writes "// Warning: <message>" to standard error.
  static void displayWarning(const MString& theWarning);
  static MStatus getActiveSelectionList(MSelectionList& dest,
                                        bool orderedSelectionIfAvailable = false);
  static MStatus setActiveSelectionList(const MSelectionList& src,
                                        ListAdjustment listAdjustment = kReplaceList);
  // Deletes the node with its DAG descendants; kInvalidParameter when it is not in the scene.
  static MStatus deleteNode(MObject& object);
};

OPENMAYA_NAMESPACE_CLOSE
