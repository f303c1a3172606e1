#pragma once

#include <maya/MFileObject.h>
#include <maya/MPxFileTranslator.h>
#include <maya/MStatus.h>
#include <maya/MString.h>

// "hostTest": claims files named *.htst and may claim files starting with "HTST"; records what
// the reader receives. With anyFile set ("anyText") it may claim every file.
class TestTranslator : public MPxFileTranslator {
 public:
  explicit TestTranslator(bool anyFile);
  MStatus reader(const MFileObject& file, const MString& optionsString,
                 FileAccessMode mode) override;
  bool haveReadMethod() const override;
  MFileKind identifyFile(const MFileObject& file, const char* buffer, short size) const override;

  static void* creator();
  static void* anyFileCreator();

 private:
  bool anyFile;
};
