#pragma once

// Number helpers: typed text to numbers without ever failing, integers to text,
// finiteness and point comparison. Independent of the user's locale.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plattero {

// The value of the text, or 0 when it is empty or not a valid integer: leading
// U+0020 blanks, optional sign, decimal digits or a hexadecimal prefix ("$",
// "x", "X", "0x", "0X") and hex digits, nothing after. Decimal values must fit
// in int32; hexadecimal digits may give any 32-bit pattern ("$FFFFFFFF" is -1).
std::int32_t StrToIntOr0(std::u16string_view text);

// The value of the text, or 0.0 when it is empty or not a valid number:
// leading blanks, optional sign, digits with at most one "." (".5", "5." and
// "." are valid), optional exponent "e"/"E" with optional sign and at least
// one digit, nothing after. The separator is always ".".
double StrToFloatOr0(std::u16string_view text);

// A count or a gap as the user types it into a field or on the command line:
// the syntax above, with blanks (U+0020, tab, the full-width U+3000) around
// it, and the forms an input method gives read as the ASCII they show
// (full-width digits and "＋", "－", "．", the minus sign "−"). Nothing when
// the text is no number: empty, "10mm", "1O", "." without a digit, or a value
// beyond the type (a gap beyond the largest double).
std::optional<std::int32_t> TypedInteger(std::u16string_view text);
std::optional<double> TypedNumber(std::u16string_view text);

// The value in decimal with a leading "-" for negatives.
std::u16string IntStr(std::int32_t value);

// False for NaN and infinities.
bool IsFiniteNumber(double value);

// True when both coordinate differences are at most 1e-12.
bool SamePoint(double x1, double y1, double x2, double y2);

}  // namespace plattero
