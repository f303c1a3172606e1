#pragma once

#include <cstdint>
#include <string_view>

// Number conversions of single BVH tokens. Both read a leading number and ignore whatever
// follows it; a token that does not begin with a number gives 0. Neither depends on the
// process locale: the decimal separator is always ".".

// Unsigned decimal with an optional "+". A "-" sign gives 0 (a negative count means nothing);
// a value beyond 32 bits saturates to 4294967295. "120.5" reads as 120.
std::uint32_t parseCount(std::string_view text);

// Optional sign ("+" or "-"), digits with an optional fraction (".5" and "5." are numbers) and
// an optional exponent, rounded to the nearest 32-bit float and widened to double. A value
// beyond the float range gives -FLT_MAX or FLT_MAX; one below the smallest float gives a zero of
// its sign. "inf", "nan" and hexadecimal forms are not numbers.
double parseReal(std::string_view text);

// What parseReal reads from the shortest text of a 32-bit float (the text std::to_chars
// writes): the float itself, widened, since that text rounds back to it; 0 for an infinity or a
// NaN, whose texts ("inf", "nan") do not begin a number.
double floatReal(float value);

// parseReal on the text from `first` on: stores the value and returns the end of the number, or
// returns `first` and leaves `value` alone when the text does not begin with a number.
const char* readReal(const char* first, const char* last, double& value);
