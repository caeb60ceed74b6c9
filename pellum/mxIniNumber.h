// The text forms of the numbers kept in settings files. They never depend on
// the process locale (a GUI toolkit may set one with a decimal comma): the
// C locale's form is read and written whatever locale is in force.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mxIniNumber {

// The decimal number at the start of the text. A leading '-' negates it
// modulo 2^32, which is how formatUInt stores values above 2147483647; a
// text without digits or a number outside -2147483648..4294967295 gives
// nothing.
std::optional<unsigned> parseUInt(std::string_view text);

// The decimal number at the start of the text (digits, a point, an
// exponent). Hexadecimal, infinite and not-a-number values, and numbers
// beyond a float's range, give nothing.
std::optional<float> parseFloat(std::string_view text);

// "%d" of the value taken as a signed 32-bit number.
std::string formatUInt(unsigned value);

// "%f" (six decimals); nothing for a value that is not finite, since it
// would not read back.
std::optional<std::string> formatFloat(float value);

}  // namespace mxIniNumber
