#include <maya/MFnTypedAttribute.h>
#include <maya/MString.h>

#include <memory>
#include <string>

#include "api/ReturnStatus.h"
#include "model/Attribute.h"
#include "model/Object.h"
#include "model/StringData.h"

using host::report;

MFnTypedAttribute::MFnTypedAttribute() = default;

MFnTypedAttribute::MFnTypedAttribute(MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kTypedAttribute);
  report(ReturnStatus, status);
}

MFnTypedAttribute::MFnTypedAttribute(const MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kTypedAttribute);
  report(ReturnStatus, status);
}

MFnTypedAttribute::~MFnTypedAttribute() = default;

MFn::Type MFnTypedAttribute::type() const { return MFn::kTypedAttribute; }

MObject MFnTypedAttribute::create(const MString& fullName, const MString& briefName,
                                  MFnData::Type type, MObject defaultData, MStatus* ReturnStatus) {
  std::string initial;
  bool valid = fullName.length() > 0 && briefName.length() > 0 && type == MFnData::kString;
  if (valid && !defaultData.isNull()) {
    auto data = host::ObjectAccess::as<host::StringData>(defaultData);
    valid = data != nullptr;
    if (data) initial = data->text;
  }
  if (!valid) {
    setAttached(MObject());
    report(ReturnStatus, MS::kInvalidParameter);
    return MObject();
  }
  auto attribute = std::make_shared<host::Attribute>(
      fullName.asUTF8(), briefName.asUTF8(), host::AttributeKind::kString,
      std::vector<MFn::Type>{MFn::kTypedAttribute, MFn::kAttribute});
  attribute->defaultValue = initial;
  MObject created = host::ObjectAccess::wrap(attribute);
  setAttached(created);
  report(ReturnStatus, MS::kSuccess);
  return created;
}
