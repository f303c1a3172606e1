#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MTypes.h>

#include <memory>

namespace host {
struct HandleSlot;
}  // namespace host

OPENMAYA_MAJOR_NAMESPACE_OPEN

// One attribute's value inside a data block during compute. Writes reach the node at set3Double,
// setClean and when compute returns; a handle must not outlive its data block.
class MDataHandle {
 public:
  MDataHandle();
  MDataHandle(const MDataHandle& other);
  MDataHandle& operator=(const MDataHandle& other);
  ~MDataHandle();

  // The three doubles of a compound of three numeric children; a scratch triple for any
  // other handle.
  double3& asDouble3() const;
  void set3Double(double x, double y, double z);
  void setClean();

 private:
  friend class MDataBlock;
  std::shared_ptr<host::HandleSlot> slot;
};

OPENMAYA_NAMESPACE_CLOSE
