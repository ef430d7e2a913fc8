#include "util/numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <system_error>

namespace plattero {

namespace {

bool IsDecimalDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// Value of a digit in the given base, or -1.
int DigitValue(char16_t c, int base) {
  if (IsDecimalDigit(c)) return c - u'0';
  if (base == 16) {
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  }
  return -1;
}

std::size_t SkipBlanks(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == u' ')
    ++i;
  return i;
}

// The syntax of StrToIntOr0; nothing for a text that does not follow it.
std::optional<std::int32_t> ParseInt(std::u16string_view text) {
  const std::size_t n = text.size();
  std::size_t i = SkipBlanks(text);
  bool negative = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  int base = 10;
  if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    base = 16;
    i += 2;
  }
  if (i == n) return std::nullopt;  // empty, or a sign or prefix without digits

  // Hexadecimal digits may give any 32-bit pattern; decimal ones must fit in
  // int32 once the sign is applied.
  const std::uint64_t limit = base == 16 ? 0xFFFFFFFFu : (negative ? 0x80000000u : 0x7FFFFFFFu);
  std::uint64_t value = 0;
  for (; i < n; ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0) return std::nullopt;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (value > limit) return std::nullopt;
  }
  std::uint32_t bits = static_cast<std::uint32_t>(value);
  if (negative) bits = 0u - bits;
  return static_cast<std::int32_t>(bits);  // two's complement pattern
}

// The syntax of StrToFloatOr0 with at least one digit; nothing for a text
// that does not follow it. Beyond the largest double: an infinity.
std::optional<double> ParseFloat(std::u16string_view text) {
  const std::size_t n = text.size();
  std::size_t i = SkipBlanks(text);
  std::string ascii;  // the validated number in the form std::from_chars takes
  bool negative = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    if (negative) ascii.push_back('-');
    ++i;
    if (i == n) return std::nullopt;  // a sign with nothing after it
  }
  if (i == n) return std::nullopt;  // empty

  // Mantissa: digits with at most one ".". The decimal exponent of its leading
  // significant digit tells overflow from underflow when the value is out of range.
  bool seen_dot = false;
  bool seen_digit = false;
  bool seen_significant = false;
  std::int64_t magnitude = 0;
  for (; i < n; ++i) {
    const char16_t c = text[i];
    if (IsDecimalDigit(c)) {
      seen_digit = true;
      if (c != u'0') seen_significant = true;
      if (!seen_dot && seen_significant) ++magnitude;
      if (seen_dot && !seen_significant) --magnitude;
    } else if (c == u'.' && !seen_dot) {
      seen_dot = true;
    } else {
      break;
    }
    ascii.push_back(static_cast<char>(c));
  }

  // Exponent: "e" or "E", optional sign, at least one digit.
  std::int64_t exponent = 0;
  if (i < n && (text[i] == u'e' || text[i] == u'E')) {
    ascii.push_back('e');
    ++i;
    bool exponent_negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
      exponent_negative = text[i] == u'-';
      if (exponent_negative) ascii.push_back('-');
      ++i;
    }
    if (i == n) return std::nullopt;
    for (; i < n && IsDecimalDigit(text[i]); ++i) {
      // Saturates far beyond any double's range.
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (text[i] - u'0');
      ascii.push_back(static_cast<char>(text[i]));
    }
    if (exponent_negative) exponent = -exponent;
  }
  if (i != n) return std::nullopt;       // trailing characters or an exponent without digits
  if (!seen_digit) return std::nullopt;  // ".", "-." and the like (0 to StrToFloatOr0)

  double value = 0.0;
  const auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: a value beyond the largest double
    // becomes an infinity of its sign, one below the smallest becomes zero.
    if (magnitude + exponent > 0) {
      value = negative ? -std::numeric_limits<double>::infinity()
                       : std::numeric_limits<double>::infinity();
    } else {
      value = negative ? -0.0 : 0.0;
    }
  } else if (result.ec != std::errc() || result.ptr != ascii.data() + ascii.size()) {
    return std::nullopt;  // cannot happen after the checks above
  }
  return value;
}

bool IsTypedBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\u3000';  // U+3000: the full-width blank
}

// A character an input method types for one of the ASCII ones a number is
// written with, as that ASCII character: the full-width forms of ASCII
// ("１", "－", "．", "＋", "ｅ") and the minus sign "−".
char16_t TypedCharacter(char16_t c) {
  if (c >= u'\uFF01' && c <= u'\uFF5E') return static_cast<char16_t>(c - 0xFEE0);
  if (c == u'\u2212') return u'-';
  return c;
}

// The text without the blanks around it, in ASCII where an input method gave
// other forms. A blank within it stays and makes it no number.
std::u16string TypedAscii(std::u16string_view text) {
  std::size_t first = 0, last = text.size();
  while (first < last && IsTypedBlank(text[first]))
    ++first;
  while (last > first && IsTypedBlank(text[last - 1]))
    --last;
  std::u16string ascii;
  ascii.reserve(last - first);
  for (std::size_t i = first; i < last; ++i)
    ascii.push_back(TypedCharacter(text[i]));
  return ascii;
}

}  // namespace

std::int32_t StrToIntOr0(std::u16string_view text) {
  return ParseInt(text).value_or(0);
}

double StrToFloatOr0(std::u16string_view text) {
  return ParseFloat(text).value_or(0.0);
}

std::optional<std::int32_t> TypedInteger(std::u16string_view text) {
  return ParseInt(TypedAscii(text));
}

std::optional<double> TypedNumber(std::u16string_view text) {
  const std::optional<double> value = ParseFloat(TypedAscii(text));
  if (!value || !IsFiniteNumber(*value)) return std::nullopt;
  return value;
}

std::u16string IntStr(std::int32_t value) {
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::u16string(buffer, result.ptr);
}

bool IsFiniteNumber(double value) {
  return std::isfinite(value);
}

bool SamePoint(double x1, double y1, double x2, double y2) {
  constexpr long double kTolerance = 1e-12L;
  return std::fabs(static_cast<long double>(x1) - x2) <= kTolerance &&
         std::fabs(static_cast<long double>(y1) - y2) <= kTolerance;
}

}  // namespace plattero
