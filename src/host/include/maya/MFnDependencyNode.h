#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFnBase.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTypeId.h>
#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MObject;
class MPlug;

class MFnDependencyNode : public MFnBase {
 public:
  MFnDependencyNode();
  MFnDependencyNode(MObject& object, MStatus* ReturnStatus = nullptr);
  MFnDependencyNode(const MObject& object, MStatus* ReturnStatus = nullptr);
  ~MFnDependencyNode() override;
  MFn::Type type() const override;

  MString name(MStatus* ReturnStatus = NULL) const;
  // Renames the node and returns the name it received: a name in use gets a number, illegal
  // characters become "_". A namespace in the name must exist unless createNamespace is set.
  MString setName(const MString& name, bool createNamespace = false, MStatus* ReturnStatus = NULL);
  MTypeId typeId(MStatus* ReturnStatus = NULL) const;
  MString typeName(MStatus* ReturnStatus = NULL) const;
  // By long or short attribute name; kInvalidParameter when the node has no such attribute.
  MPlug findPlug(const MString& attrName, bool wantNetworkedPlug,
                 MStatus* ReturnStatus = NULL) const;
  [[deprecated(
      "Use MFnDependencyNode::findPlug(const MString& attrName, bool wantNetworkedPlug, "
      "MStatus* ReturnStatus) instead.")]] MPlug
  findPlug(const MString& attrName, MStatus* ReturnStatus = NULL) const;

 private:
  MFnDependencyNode(const MFnDependencyNode&) = delete;
  MFnDependencyNode& operator=(const MFnDependencyNode&) = delete;
};

OPENMAYA_NAMESPACE_CLOSE
