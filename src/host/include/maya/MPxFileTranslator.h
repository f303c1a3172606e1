#pragma once

#include <maya/MApiNamespace.h>
#include <maya/MFileObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// Base of plug-in file translators. The host keeps one object per registered translator, created
// at registration and deleted at deregistration.
class MPxFileTranslator {
 public:
  enum MFileKind { kIsMyFileType, kCouldBeMyFileType, kNotMyFileType };
  enum FileAccessMode {
    kUnknownAccessMode,
    kOpenAccessMode,
    kReferenceAccessMode,
    kImportAccessMode,
    kSaveAccessMode,
    kExportAccessMode,
    kExportActiveAccessMode
  };

  MPxFileTranslator();
  virtual ~MPxFileTranslator();

  // Both return kFailure unless overridden.
  virtual MStatus reader(const MFileObject& file, const MString& optionsString,
                         FileAccessMode mode);
  virtual MStatus writer(const MFileObject& file, const MString& optionsString,
                         FileAccessMode mode);
  virtual bool haveReadMethod() const;
  virtual bool haveWriteMethod() const;
  virtual bool haveNamespaceSupport() const;
  virtual bool haveReferenceMethod() const;
  virtual bool allowMultipleFileOptimization() const;
  virtual MString defaultExtension() const;
  virtual MString filter() const;
  virtual bool canBeOpened() const;
  // kNotMyFileType unless overridden.
  virtual MFileKind identifyFile(const MFileObject& file, const char* buffer, short size) const;
};

OPENMAYA_NAMESPACE_CLOSE
