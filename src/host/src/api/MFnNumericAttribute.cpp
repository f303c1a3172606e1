#include <maya/MFnNumericAttribute.h>
#include <maya/MString.h>

#include <memory>
#include <vector>

#include "api/ReturnStatus.h"
#include "model/Attribute.h"
#include "model/Object.h"

using host::report;

namespace {

std::shared_ptr<host::Attribute> freeNumericChild(const MObject& object) {
  auto attribute = host::ObjectAccess::as<host::Attribute>(object);
  if (!attribute || attribute->parent != nullptr) return nullptr;
  switch (attribute->kind) {
    case host::AttributeKind::kDouble:
    case host::AttributeKind::kBool:
    case host::AttributeKind::kInt:
      return attribute;
    default:
      return nullptr;
  }
}

}  // namespace

MFnNumericAttribute::MFnNumericAttribute() = default;

MFnNumericAttribute::MFnNumericAttribute(MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kNumericAttribute);
  report(ReturnStatus, status);
}

MFnNumericAttribute::MFnNumericAttribute(const MObject& object, MStatus* ReturnStatus) {
  MStatus status = attach(object, MFn::kNumericAttribute);
  report(ReturnStatus, status);
}

MFnNumericAttribute::~MFnNumericAttribute() = default;

MFn::Type MFnNumericAttribute::type() const { return MFn::kNumericAttribute; }

MObject MFnNumericAttribute::create(const MString& fullName, const MString& briefName,
                                    MFnNumericData::Type unitType, double defaultValue,
                                    MStatus* ReturnStatus) {
  host::AttributeKind kind = host::AttributeKind::kDouble;
  host::AttributeValue initial = defaultValue;
  bool valid = fullName.length() > 0 && briefName.length() > 0;
  switch (unitType) {
    case MFnNumericData::kBoolean:
      kind = host::AttributeKind::kBool;
      initial = defaultValue != 0.0;
      break;
    case MFnNumericData::kInt:
      kind = host::AttributeKind::kInt;
      initial = static_cast<int>(defaultValue);
      break;
    case MFnNumericData::kFloat:
    case MFnNumericData::kDouble:
      break;
    default:
      valid = false;
  }
  if (!valid) {
    setAttached(MObject());
    report(ReturnStatus, MS::kInvalidParameter);
    return MObject();
  }
  auto attribute = std::make_shared<host::Attribute>(
      fullName.asUTF8(), briefName.asUTF8(), kind,
      std::vector<MFn::Type>{MFn::kNumericAttribute, MFn::kAttribute});
  attribute->defaultValue = initial;
  MObject created = host::ObjectAccess::wrap(attribute);
  setAttached(created);
  report(ReturnStatus, MS::kSuccess);
  return created;
}

MObject MFnNumericAttribute::create(const MString& fullName, const MString& briefName,
                                    const MObject& child1, const MObject& child2,
                                    const MObject& child3, MStatus* ReturnStatus) {
  std::vector<std::shared_ptr<host::Attribute>> children{
      freeNumericChild(child1), freeNumericChild(child2), freeNumericChild(child3)};
  bool valid = fullName.length() > 0 && briefName.length() > 0 && children[0] && children[1] &&
               children[2] && children[0] != children[1] && children[1] != children[2] &&
               children[0] != children[2];
  if (!valid) {
    setAttached(MObject());
    report(ReturnStatus, MS::kInvalidParameter);
    return MObject();
  }
  auto attribute = host::Attribute::compound(
      fullName.asUTF8(), briefName.asUTF8(), std::move(children),
      {MFn::kAttribute3Double, MFn::kNumericAttribute, MFn::kCompoundAttribute, MFn::kAttribute});
  MObject created = host::ObjectAccess::wrap(attribute);
  setAttached(created);
  report(ReturnStatus, MS::kSuccess);
  return created;
}
