#include <maya/MObject.h>

#include "model/Object.h"

MObject MObject::kNullObj;

MObject::MObject() = default;
MObject::MObject(const MObject& other) = default;
MObject& MObject::operator=(const MObject& other) = default;
MObject::~MObject() = default;

bool MObject::isNull() const { return object == nullptr; }

bool MObject::hasFn(MFn::Type fs) const { return object != nullptr && object->hasFn(fs); }

MFn::Type MObject::apiType() const { return object ? object->apiType() : MFn::kInvalid; }

bool MObject::operator==(const MObject& other) const { return object == other.object; }

bool MObject::operator!=(const MObject& other) const { return object != other.object; }
