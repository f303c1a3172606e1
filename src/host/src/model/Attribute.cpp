#include "model/Attribute.h"

#include <algorithm>
#include <utility>

namespace host {

Attribute::Attribute(std::string longNameText, std::string shortNameText,
                     AttributeKind attributeKind, std::vector<MFn::Type> types)
    : longName(std::move(longNameText)),
      shortName(std::move(shortNameText)),
      kind(attributeKind),
      fnTypes(std::move(types)) {
  if (this->fnTypes.empty()) this->fnTypes.push_back(MFn::kAttribute);
}

MFn::Type Attribute::apiType() const { return fnTypes.front(); }

bool Attribute::hasFn(MFn::Type type) const {
  return type == MFn::kBase || std::find(fnTypes.begin(), fnTypes.end(), type) != fnTypes.end();
}

std::shared_ptr<Attribute> Attribute::compound(std::string longName, std::string shortName,
                                               std::vector<std::shared_ptr<Attribute>> children,
                                               std::vector<MFn::Type> fnTypes) {
  auto result = std::make_shared<Attribute>(std::move(longName), std::move(shortName),
                                            AttributeKind::kCompound, std::move(fnTypes));
  for (auto& child : children) child->parent = result.get();
  result->children = std::move(children);
  return result;
}

AttributeValue Attribute::initialValue() const {
  switch (kind) {
    case AttributeKind::kDouble:
      if (auto value = std::get_if<double>(&defaultValue)) return *value;
      return 0.0;
    case AttributeKind::kBool:
      if (auto value = std::get_if<bool>(&defaultValue)) return *value;
      if (auto value = std::get_if<double>(&defaultValue)) return *value != 0.0;
      return false;
    case AttributeKind::kInt:
    case AttributeKind::kEnum:
      if (auto value = std::get_if<int>(&defaultValue)) return *value;
      if (auto value = std::get_if<double>(&defaultValue)) return static_cast<int>(*value);
      return 0;
    case AttributeKind::kString:
      if (auto value = std::get_if<std::string>(&defaultValue)) return *value;
      return std::string();
    case AttributeKind::kCompound:
      break;
  }
  return 0.0;
}

std::optional<double> numberOf(const AttributeValue& value) {
  if (auto number = std::get_if<double>(&value)) return *number;
  if (auto flag = std::get_if<bool>(&value)) return *flag ? 1.0 : 0.0;
  if (auto integer = std::get_if<int>(&value)) return *integer;
  return std::nullopt;
}

}  // namespace host
