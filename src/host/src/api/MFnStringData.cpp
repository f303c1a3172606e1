#include <maya/MFnStringData.h>
#include <maya/MObject.h>
#include <maya/MString.h>

#include <memory>

#include "api/ReturnStatus.h"
#include "model/Object.h"
#include "model/StringData.h"
#include "model/Utf8String.h"

using host::report;

MFnStringData::MFnStringData() = default;

MFnStringData::MFnStringData(MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kStringData);
  report(ReturnStatus, status);
}

MFnStringData::MFnStringData(const MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kStringData);
  report(ReturnStatus, status);
}

MFnStringData::~MFnStringData() = default;

MFn::Type MFnStringData::type() const { return MFn::kStringData; }

MObject MFnStringData::create(const MString& str, MStatus* ReturnStatus) {
  MObject created = host::ObjectAccess::wrap(std::make_shared<host::StringData>(str.asUTF8()));
  MStatus status = attach(created, MFn::kStringData);
  report(ReturnStatus, status);
  return created;
}

MString MFnStringData::string(MStatus* ReturnStatus) const {
  auto data = host::ObjectAccess::as<host::StringData>(attached());
  report(ReturnStatus, data ? MS::kSuccess : MS::kInvalidParameter);
  return data ? host::utf8String(data->text) : MString();
}
