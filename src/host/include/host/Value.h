#pragma once

#include <array>
#include <string>
#include <variant>

namespace host {

// A value of an attribute as the host's controls show it: numbers, booleans, texts, and three
// numbers for vector compounds such as "translate".
using Value = std::variant<bool, int, double, std::string, std::array<double, 3>>;

}  // namespace host
