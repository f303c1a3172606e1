#pragma once

#include <string>

namespace host {

// Shortest text that reads back to the same value: "1", "0.5", "1e+20", "nan", "inf", "-inf".
std::string numberText(double value);
std::string numberText(float value);

}  // namespace host
