#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// A file name. The host resolves a name by expanding environment variables ("$HOME/a.bvh",
// "${HOME}/a.bvh"); unlike Maya it does not search project paths, and resolving never fails.
class MFileObject {
 public:
  MFileObject();
  MFileObject(const MFileObject& other);
  MFileObject& operator=(const MFileObject& other);
  virtual ~MFileObject();

  MStatus setRawFullName(const MString& fullName);
  // Name part ("walk.bvh"), directory with its trailing "/" ("data/"), and both.
  MString rawName() const;
  MString rawPath() const;
  MString rawFullName() const;
  MString resolvedName() const;
  MString resolvedPath() const;
  MString resolvedFullName() const;
  MString expandedFullName() const;
  bool exists();

  [[deprecated("Use MFileObject::resolvedName() instead.")]] MString name() const;
  [[deprecated("Use MFileObject::resolvedFullName() instead.")]] MString fullName() const;

 private:
  MString raw;
};

OPENMAYA_NAMESPACE_CLOSE
