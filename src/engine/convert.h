// Conversions between the texts of the window's boxes and numbers.
// One module, used by every part that reads a setting or writes a readout.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ravelin {

// An ASCII digit, whatever the locale.
constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A number text, reduced to plain ASCII: an optional '-', digits, at most one '.'.
// Blanks around it are gone and full-width forms are mapped to their ASCII twins.
// Returns nothing when the text does not follow the grammar.
std::optional<std::string> normaliseNumberText(std::string_view text);

// A 16-bit signed integer; a fractional value rounds half to even ("10.5" -> 10,
// "11.5" -> 12), exactly on the decimal digits. Out of range after rounding: nothing.
std::optional<std::int16_t> toInt16(std::string_view text);

// The single-precision value nearest the decimal text; nothing when not finite.
std::optional<float> toSingle(std::string_view text);

// The double-precision value nearest the decimal text; nothing when not finite.
std::optional<double> toDouble(std::string_view text);

// A double rounded to the nearest whole number, a half to the even neighbour.
double roundHalfEven(double value);

// Integers as plain decimal digits.
std::string integerText(std::int64_t value);

// A single rounded to seven significant digits, no exponent, trailing zeros dropped,
// a leading zero below 1: 0.25, 0.138, 0, 1.5. Dose texts everywhere use this.
std::string singleText(float value);

// The trend graph's numeric print form: a blank for the sign (or '-'), the shortest
// decimal form with at most 15 significant digits, a trailing blank: " 0.8 ".
std::string printNumberText(double value);

}  // namespace ravelin
