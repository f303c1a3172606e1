#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFn.h>
#include <maya/MStatus.h>

#include <memory>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MObject;

// Base of the function sets: holds the object it is attached to. Not copyable; only derived
// function sets are constructed.
class MFnBase {
 public:
  virtual ~MFnBase();

  virtual MFn::Type type() const;
  bool hasObj(MFn::Type type) const;
  bool hasObj(const MObject& object) const;
  // The attached object; kNullObj and kInvalidParameter when none is attached.
  MObject object(MStatus* ReturnStatus = nullptr) const;
  // Attaches the function set to an object it supports. Anything else, kNullObj included,
  // detaches it and returns kInvalidParameter.
  virtual MStatus setObject(MObject& object);
  virtual MStatus setObject(const MObject& object);

 protected:
  MFnBase();
  // Attach when the object supports the given function set type (usable from constructors).
  MStatus attach(const MObject& object, MFn::Type required);
  // The attached object, checked: null when nothing usable is attached.
  const MObject& attached() const;
  void setAttached(const MObject& object);

 private:
  MFnBase(const MFnBase&) = delete;
  MFnBase& operator=(const MFnBase&) = delete;

  // Behind a pointer: this header leaves MObject incomplete, as Maya's does.
  std::unique_ptr<MObject> attachedObject;
};

OPENMAYA_NAMESPACE_CLOSE
