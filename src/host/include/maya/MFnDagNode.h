#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFnDependencyNode.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MFnDagNode : public MFnDependencyNode {
 public:
  MFnDagNode();
  MFnDagNode(MObject& object, MStatus* ReturnStatus = nullptr);
  MFnDagNode(const MObject& object, MStatus* ReturnStatus = nullptr);
  ~MFnDagNode() override;
  MFn::Type type() const override;

  // Children in creation order.
  unsigned int childCount(MStatus* ReturnStatus = NULL) const;
  MObject child(unsigned int i, MStatus* ReturnStatus = NULL) const;
  // Always 1 in the host (no instancing); the parent of a top node is the world object
  // (MFn::kWorld).
  unsigned int parentCount(MStatus* ReturnStatus = NULL) const;
  MObject parent(unsigned int i, MStatus* ReturnStatus = NULL) const;
  MString fullPathName(MStatus* ReturnStatus = NULL) const;
  MStatus setObject(MObject& object) override;
  MStatus setObject(const MObject& object) override;

 protected:
  // A new node of the built-in DAG type under the parent (kNullObj or the world: the top of the
  // DAG), to which the function set is attached.
  MObject createAttached(const char* typeName, const MObject& parent, MStatus* ReturnStatus);

 private:
  MFnDagNode(const MFnDagNode&) = delete;
  MFnDagNode& operator=(const MFnDagNode&) = delete;
};

OPENMAYA_NAMESPACE_CLOSE
