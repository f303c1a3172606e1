#include <maya/MDataHandle.h>

#include "runtime/PluginNode.h"

MDataHandle::MDataHandle() : slot(std::make_shared<host::HandleSlot>()) {}
MDataHandle::MDataHandle(const MDataHandle& other) = default;
MDataHandle& MDataHandle::operator=(const MDataHandle& other) = default;
MDataHandle::~MDataHandle() = default;

double3& MDataHandle::asDouble3() const { return slot->values; }

void MDataHandle::set3Double(double x, double y, double z) {
  slot->values[0] = x;
  slot->values[1] = y;
  slot->values[2] = z;
  slot->commit();
}

void MDataHandle::setClean() {
  slot->commit();
  if (slot->open && slot->node) slot->node->setDirty(*slot->attribute, false);
}
