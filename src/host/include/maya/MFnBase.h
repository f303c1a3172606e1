#pragma once

#include <maya/MFn.h>
#include <maya/MObject.h>
#include <maya/MStatus.h>

// Base of the function sets: holds the object it is attached to. Not copyable.
class MFnBase {
 public:
  MFnBase();
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
  // Attach when the object supports the given function set type (usable from constructors).
  MStatus attach(const MObject& object, MFn::Type required);
  // The attached object, checked: null when nothing usable is attached.
  MObject attachedObject;

 private:
  MFnBase(const MFnBase&) = delete;
  MFnBase& operator=(const MFnBase&) = delete;
};
