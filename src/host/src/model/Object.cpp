#include "model/Object.h"

#include <utility>

namespace host {

Object::~Object() = default;

bool Object::hasFn(MFn::Type type) const { return type == apiType(); }

MObject ObjectAccess::wrap(std::shared_ptr<Object> object) {
  MObject handle;
  handle.object = std::move(object);
  return handle;
}

const std::shared_ptr<Object>& ObjectAccess::get(const MObject& handle) { return handle.object; }

}  // namespace host
