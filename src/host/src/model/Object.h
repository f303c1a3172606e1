#pragma once

#include <maya/MFn.h>
#include <maya/MObject.h>

#include <memory>

namespace host {

// Base of everything an MObject can designate: scene nodes, attribute definitions, data objects
// and the world. Subclasses say which function sets they support.
class Object {
 public:
  virtual ~Object();
  virtual MFn::Type apiType() const = 0;
  // True for the object's own type and the types it derives from; by default only its own.
  virtual bool hasFn(MFn::Type type) const;
};

// The only way from internal objects to MObject handles and back.
struct ObjectAccess {
  static MObject wrap(std::shared_ptr<Object> object);
  static const std::shared_ptr<Object>& get(const MObject& handle);
  // The designated object as T, or null when the handle is null or designates something else.
  template <typename T>
  static std::shared_ptr<T> as(const MObject& handle) {
    return std::dynamic_pointer_cast<T>(handle.object);
  }
};

}  // namespace host
