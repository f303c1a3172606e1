#pragma once

#include <maya/MFn.h>

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "model/Object.h"

namespace host {

enum class AttributeKind { kDouble, kBool, kInt, kEnum, kString, kCompound };

// Units of double attributes. Values are stored in Maya's internal units: centimetres for
// distances, radians for angles, seconds for times.
enum class AttributeUnit { kNone, kDistance, kAngle, kTime };

using AttributeValue = std::variant<double, bool, int, std::string>;

// A value as a number, booleans as 0 or 1; nothing for a string.
std::optional<double> numberOf(const AttributeValue& value);

// A generic attribute definition, shared by built-in and plug-in node types: built-in types make
// theirs in NodeType.cpp, plug-in types get theirs from MFn*Attribute::create.
class Attribute : public Object {
 public:
  // fnTypes lists the attribute's MFn types, its own type first.
  Attribute(std::string longName, std::string shortName, AttributeKind kind,
            std::vector<MFn::Type> fnTypes);

  MFn::Type apiType() const override;
  bool hasFn(MFn::Type type) const override;

  // A compound whose children are the given attributes (they get this one as parent).
  static std::shared_ptr<Attribute> compound(std::string longName, std::string shortName,
                                             std::vector<std::shared_ptr<Attribute>> children,
                                             std::vector<MFn::Type> fnTypes);

  // The value a new node starts with: defaultValue, or 0 / false / "" of the kind.
  AttributeValue initialValue() const;

  std::string longName;
  std::string shortName;
  AttributeKind kind;
  AttributeUnit unit = AttributeUnit::kNone;
  std::vector<MFn::Type> fnTypes;
  AttributeValue defaultValue = 0.0;
  bool hidden = false;
  bool keyable = false;
  bool readable = true;
  bool writable = true;
  bool storable = true;
  // Enum fields by value, for kEnum attributes.
  std::vector<std::string> enumNames;
  // Children are owned by their compound; parent is null for top-level attributes.
  std::vector<std::shared_ptr<Attribute>> children;
  Attribute* parent = nullptr;
};

}  // namespace host
