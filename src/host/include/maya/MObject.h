#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFn.h>

#include <memory>

namespace host {
class Object;
struct ObjectAccess;
}  // namespace host

OPENMAYA_MAJOR_NAMESPACE_OPEN

// Handle to a node, an attribute or a data object of the host. Copies designate the same object;
// a handle keeps its object's memory but not its presence in the scene.
class MObject {
 public:
  MObject();
  MObject(const MObject& other);
  MObject& operator=(const MObject& other);
  ~MObject();

  bool isNull() const;
  bool hasFn(MFn::Type fs) const;
  MFn::Type apiType() const;
  bool operator==(const MObject& other) const;
  bool operator!=(const MObject& other) const;

  static MObject kNullObj;

 private:
  friend struct host::ObjectAccess;
  std::shared_ptr<host::Object> object;
};

OPENMAYA_NAMESPACE_CLOSE
