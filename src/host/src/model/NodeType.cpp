#include "model/NodeType.h"

#include <algorithm>
#include <utility>

#include "model/AnimCurve.h"

namespace host {

namespace {

std::shared_ptr<Attribute> unitAttribute(const char* longName, const char* shortName,
                                         AttributeUnit unit, bool keyable) {
  MFn::Type type = unit == AttributeUnit::kAngle      ? MFn::kDoubleAngleAttribute
                   : unit == AttributeUnit::kDistance ? MFn::kDoubleLinearAttribute
                   : unit == AttributeUnit::kTime     ? MFn::kTimeAttribute
                                                      : MFn::kNumericAttribute;
  std::vector<MFn::Type> fnTypes{type};
  if (type != MFn::kNumericAttribute) fnTypes.push_back(MFn::kUnitAttribute);
  fnTypes.push_back(MFn::kAttribute);
  auto attribute =
      std::make_shared<Attribute>(longName, shortName, AttributeKind::kDouble, std::move(fnTypes));
  attribute->unit = unit;
  attribute->keyable = keyable;
  return attribute;
}

// A compound of three doubles named <longName>X/Y/Z and <shortName>x/y/z.
std::shared_ptr<Attribute> vectorAttribute(const std::string& longName,
                                           const std::string& shortName, AttributeUnit unit,
                                           bool keyable) {
  std::vector<std::shared_ptr<Attribute>> children;
  for (const char* axis : {"X", "Y", "Z"}) {
    std::string lower(1, static_cast<char>(axis[0] - 'A' + 'a'));
    children.push_back(
        unitAttribute((longName + axis).c_str(), (shortName + lower).c_str(), unit, keyable));
  }
  auto compound =
      Attribute::compound(longName, shortName, std::move(children),
                          {MFn::kAttribute3Double, MFn::kCompoundAttribute, MFn::kAttribute});
  compound->keyable = keyable;
  return compound;
}

struct TransformAttributes {
  std::shared_ptr<Attribute> translate =
      vectorAttribute("translate", "t", AttributeUnit::kDistance, true);
  std::shared_ptr<Attribute> rotate = vectorAttribute("rotate", "r", AttributeUnit::kAngle, true);
  std::shared_ptr<Attribute> rotateOrder = [] {
    auto attribute =
        std::make_shared<Attribute>("rotateOrder", "ro", AttributeKind::kEnum,
                                    std::vector<MFn::Type>{MFn::kEnumAttribute, MFn::kAttribute});
    attribute->defaultValue = 0;
    attribute->enumNames = {"xyz", "yzx", "zxy", "xzy", "yxz", "zyx"};
    return attribute;
  }();
  std::shared_ptr<Attribute> rotateAxis =
      vectorAttribute("rotateAxis", "ra", AttributeUnit::kAngle, false);
  std::shared_ptr<Attribute> jointOrient =
      vectorAttribute("jointOrient", "jo", AttributeUnit::kAngle, false);
};

std::shared_ptr<NodeType> transformType(const TransformAttributes& attributes, bool joint) {
  std::vector<MFn::Type> fnTypes{MFn::kTransform, MFn::kDagNode, MFn::kDependencyNode};
  if (joint) fnTypes.insert(fnTypes.begin(), MFn::kJoint);
  // Maya's ids of the built-in types: 'XFRM' and 'JOIN'.
  auto type = std::make_shared<NodeType>(joint ? "joint" : "transform",
                                         MTypeId(joint ? 0x4a4f494e : 0x5846524d), fnTypes, true);
  type->addAttribute(attributes.translate);
  type->addAttribute(attributes.rotate);
  type->addAttribute(attributes.rotateOrder);
  type->addAttribute(attributes.rotateAxis);
  if (joint) type->addAttribute(attributes.jointOrient);
  return type;
}

std::shared_ptr<NodeType> animCurveType(const char* name, unsigned int id, MFn::Type fnType,
                                        AttributeUnit outputUnit) {
  auto type = std::make_shared<NodeType>(
      name, MTypeId(id), std::vector<MFn::Type>{fnType, MFn::kAnimCurve, MFn::kDependencyNode},
      false);
  type->addAttribute(unitAttribute("input", "i", AttributeUnit::kTime, false));
  type->addAttribute(unitAttribute("output", "o", outputUnit, false));
  type->makeExtension = [] { return std::make_unique<AnimCurve>(); };
  return type;
}

// Maya's unitConversion: output = input * conversionFactor. Its input and output take numbers
// and compounds of numbers alike, as Maya's generic attributes do.
std::shared_ptr<NodeType> unitConversionType() {
  auto type = std::make_shared<NodeType>("unitConversion", MTypeId(0x44554e43),
                                         std::vector<MFn::Type>{MFn::kDependencyNode}, false);
  type->addAttribute(unitAttribute("input", "i", AttributeUnit::kNone, false));
  type->addAttribute(unitAttribute("output", "o", AttributeUnit::kNone, false));
  auto factor = unitAttribute("conversionFactor", "cf", AttributeUnit::kNone, false);
  factor->defaultValue = 1.0;
  type->addAttribute(factor);
  return type;
}

std::vector<std::shared_ptr<NodeType>> builtInTypes() {
  TransformAttributes attributes;
  return {
      transformType(attributes, false),
      transformType(attributes, true),
      std::make_shared<NodeType>(
          "mesh", MTypeId(0x444d5348),
          std::vector<MFn::Type>{MFn::kMesh, MFn::kShape, MFn::kDagNode, MFn::kDependencyNode},
          true),
      animCurveType("animCurveTL", 0x5441434c, MFn::kAnimCurveTimeToDistance,
                    AttributeUnit::kDistance),
      animCurveType("animCurveTA", 0x54414341, MFn::kAnimCurveTimeToAngular, AttributeUnit::kAngle),
      animCurveType("animCurveTT", 0x54414354, MFn::kAnimCurveTimeToTime, AttributeUnit::kTime),
      animCurveType("animCurveTU", 0x54414355, MFn::kAnimCurveTimeToUnitless, AttributeUnit::kNone),
      unitConversionType(),
  };
}

const std::vector<const Attribute*> kNoAttributes;

}  // namespace

NodeType::NodeType(std::string typeName, MTypeId typeId, std::vector<MFn::Type> types, bool isDag)
    : name(std::move(typeName)), id(typeId), fnTypes(std::move(types)), dag(isDag) {
  if (this->fnTypes.empty()) this->fnTypes.push_back(MFn::kDependencyNode);
}

MStatus NodeType::addAttribute(const std::shared_ptr<Attribute>& attribute) {
  if (!attribute || positions.count(attribute.get())) return MS::kInvalidParameter;
  if (findAttribute(attribute->longName) || findAttribute(attribute->shortName)) {
    return MS::kInvalidParameter;
  }
  for (const auto& child : attribute->children) {
    if (!child || positions.count(child.get()) || findAttribute(child->longName) ||
        findAttribute(child->shortName)) {
      return MS::kInvalidParameter;
    }
  }
  add(attribute);
  for (const auto& child : attribute->children) add(child);
  return MS::kSuccess;
}

void NodeType::add(const std::shared_ptr<Attribute>& attribute) {
  positions[attribute.get()] = static_cast<int>(attributes.size());
  attributes.push_back(attribute);
  // The first attribute to use a name keeps it, as a search in order would find it.
  for (const std::string* attributeName : {&attribute->longName, &attribute->shortName}) {
    if (!attributeName->empty()) named.emplace(*attributeName, attribute);
  }
}

MStatus NodeType::addAffects(const Attribute& whenChanges, const Attribute& isAffected) {
  if (indexOf(whenChanges) < 0 || indexOf(isAffected) < 0) return MS::kInvalidParameter;
  auto& list = affects[&whenChanges];
  if (std::find(list.begin(), list.end(), &isAffected) == list.end()) list.push_back(&isAffected);
  return MS::kSuccess;
}

std::shared_ptr<Attribute> NodeType::findAttribute(const std::string& attributeName) const {
  auto found = named.find(attributeName);
  return found == named.end() ? nullptr : found->second;
}

int NodeType::indexOf(const Attribute& attribute) const {
  auto found = positions.find(&attribute);
  return found == positions.end() ? -1 : found->second;
}

const std::vector<const Attribute*>& NodeType::affected(const Attribute& whenChanges) const {
  auto found = affects.find(&whenChanges);
  return found == affects.end() ? kNoAttributes : found->second;
}

bool NodeType::isAnimCurve() const {
  return std::find(fnTypes.begin(), fnTypes.end(), MFn::kAnimCurve) != fnTypes.end();
}

NodeTypeRegistry::NodeTypeRegistry() : types(builtInTypes()) {}

std::shared_ptr<NodeType> NodeTypeRegistry::find(const std::string& typeName) const {
  for (const auto& type : types) {
    if (type->name == typeName) return type;
  }
  return nullptr;
}

std::shared_ptr<NodeType> NodeTypeRegistry::find(const MTypeId& typeId) const {
  for (const auto& type : types) {
    if (type->id == typeId) return type;
  }
  return nullptr;
}

MStatus NodeTypeRegistry::add(const std::shared_ptr<NodeType>& type) {
  if (!type || type->name.empty()) return MS::kInvalidParameter;
  if (find(type->name) || find(type->id)) return MS::kFailure;
  types.push_back(type);
  return MS::kSuccess;
}

MStatus NodeTypeRegistry::remove(const std::string& typeName) {
  auto found = std::find_if(types.begin(), types.end(),
                            [&](const auto& type) { return type->name == typeName; });
  if (found == types.end()) return MS::kNotFound;
  types.erase(found);
  return MS::kSuccess;
}

const std::vector<std::shared_ptr<NodeType>>& NodeTypeRegistry::all() const { return types; }

}  // namespace host
