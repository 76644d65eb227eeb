// Numbers to text and text to numbers, the way the POS hosts and the gateway have always seen
// them: decimal point, no thousands separator, banker's rounding on conversion to integers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tovalix {

// A Double in its shortest form with up to 15 significant digits, a point as separator and no
// trailing zeros: 150 -> "150", 99.9 -> "99.9", 1e20 -> "1E+20", 0.0001 -> "0.0001".
std::string TextOfDouble(double value);

// The number a text holds: digits with an optional sign, decimal point and exponent,
// surrounded by optional blanks. nullopt for anything else ("", "12a", "1,5").
std::optional<double> ParseNumber(std::string_view text);

// True when ParseNumber accepts the text.
inline bool IsNumeric(std::string_view text) {
  return ParseNumber(text).has_value();
}

// The leading number of a text, blanks ignored anywhere, 0 when there is none: "12ab" -> 12,
// " 1 2" -> 12, "abc" -> 0.
double LeadingNumber(std::string_view text);

// A text converted to a 32-bit or 16-bit integer, rounded to nearest with halves to even.
// Throw Failure "No coinciden los tipos" when the text is not numeric and "Desbordamiento"
// when the value does not fit.
std::int32_t ToLong(std::string_view text);
std::int16_t ToInteger(std::string_view text);
// The same rounding and range check for a number.
std::int32_t RoundToLong(double value);

// `text` without blanks at either end (only the blank, as the control trimmed).
std::string_view TrimBlanks(std::string_view text);

// `text` without the white space of XML and HTTP (blank, tab, CR, LF) at either end.
std::string_view TrimWhiteSpace(std::string_view text);

}  // namespace tovalix
