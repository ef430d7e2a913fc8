// Code page 932 and case mapping, the same on every system: which bytes form
// a character, and what becomes of bytes and characters the code page lacks.
// The system converts only whole characters (text_services_internal.h).
//
// Our code page 932 is the table that Windows and ICU share. Where their own
// conversions differ, ours decides:
//  - the bytes 0x80, 0xA0 and 0xFD..0xFF are no characters (U+FFFD each;
//    Windows reads U+0080 and private-use characters there);
//  - a lead byte followed by a byte that cannot follow it becomes U+FFFD,
//    and the byte after it is read afresh (Windows swallows both into one
//    U+30FB); a lead and trail byte pair without a character becomes one
//    U+FFFD;
//  - a character is written only when its bytes read back as that very
//    character; every other one becomes one "?": a surrogate pair (Windows
//    writes "??"), a default-ignorable character (ICU drops it silently),
//    U+0080 and the private-use characters above.

#include <string>

#include "platform/text_services.h"
#include "platform/text_services_internal.h"

namespace plattero::platform {

namespace {

constexpr char16_t kReplacementChar = 0xFFFD;

bool IsLeadByte(std::uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsTrailByte(std::uint8_t b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// The length of the character that starts at data[i] (1 or 2); 0 when no
// character starts there.
std::size_t CharLength(const std::uint8_t* data, std::size_t size, std::size_t i) {
  const std::uint8_t b = data[i];
  if (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) return 1;
  if (IsLeadByte(b) && i + 1 < size && IsTrailByte(data[i + 1])) return 2;
  return 0;
}

// Decodes whole characters: in one call when the system knows them all (the
// usual case), else one by one, U+FFFD for each it does not know.
void DecodeWholeCharacters(const std::uint8_t* data, std::size_t size, std::u16string& out) {
  if (size == 0 || DecodeCharacters(data, size, out)) return;
  for (std::size_t i = 0; i < size;) {
    const std::size_t n = CharLength(data, size, i);
    if (!DecodeCharacters(data + i, n, out)) out.push_back(kReplacementChar);
    i += n;
  }
}

// The text of bytes that are all characters; false when any is not.
bool DecodeExactly(const std::uint8_t* data, std::size_t size, std::u16string& out) {
  for (std::size_t i = 0; i < size;) {
    const std::size_t n = CharLength(data, size, i);
    if (n == 0) return false;
    i += n;
  }
  return DecodeCharacters(data, size, out);
}

// Appends the bytes of a text when every character has a form that reads
// back as itself; false, and out unchanged, otherwise.
bool EncodeExactly(std::u16string_view text, std::vector<std::uint8_t>& out) {
  const std::size_t pos = out.size();
  if (EncodeCharacters(text, out)) {
    thread_local std::u16string back;  // reused: this runs for every string written
    back.clear();
    if (DecodeExactly(out.data() + pos, out.size() - pos, back) && back == text) return true;
  }
  out.resize(pos);
  return false;
}

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// The number of code units of the code point at text[i]: 2 for a surrogate
// pair, else 1 (a lone surrogate counts as one).
std::size_t CodePointUnits(std::u16string_view text, std::size_t i) {
  return IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]) ? 2 : 1;
}

std::u16string MapCase(std::u16string_view text, bool upper) {
  std::u16string out(text);
  for (std::size_t i = 0; i < out.size();) {
    const std::size_t n = CodePointUnits(out, i);
    if (n == 2) {
      const char32_t c = 0x10000 + ((static_cast<char32_t>(out[i]) - 0xD800) << 10) +
                         (static_cast<char32_t>(out[i + 1]) - 0xDC00);
      const char32_t mapped = MapCodePoint(c, upper);
      // Only to another supplementary code point: the length never changes.
      if (mapped >= 0x10000 && mapped <= 0x10FFFF) {
        out[i] = static_cast<char16_t>(0xD800 + ((mapped - 0x10000) >> 10));
        out[i + 1] = static_cast<char16_t>(0xDC00 + ((mapped - 0x10000) & 0x3FF));
      }
    } else if (!IsHighSurrogate(out[i]) && !IsLowSurrogate(out[i])) {
      const char32_t mapped = MapCodePoint(out[i], upper);
      if (mapped < 0x10000 && !(mapped >= 0xD800 && mapped <= 0xDFFF)) {
        out[i] = static_cast<char16_t>(mapped);
      }
    }
    i += n;
  }
  return out;
}

}  // namespace

void DecodeCodePage932(const std::uint8_t* data, std::size_t size, std::u16string& out) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < size;) {
    const std::size_t n = CharLength(data, size, i);
    if (n != 0) {
      i += n;
      continue;
    }
    DecodeWholeCharacters(data + start, i - start, out);
    out.push_back(kReplacementChar);
    start = ++i;
  }
  DecodeWholeCharacters(data + start, size - start, out);
}

void EncodeCodePage932(std::u16string_view text, std::vector<std::uint8_t>& out) {
  if (text.empty() || EncodeExactly(text, out)) return;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t n = CodePointUnits(text, i);
    if (!EncodeExactly(text.substr(i, n), out)) out.push_back('?');
    i += n;
  }
}

std::u16string UpperCase(std::u16string_view text) {
  return MapCase(text, true);
}

std::u16string LowerCase(std::u16string_view text) {
  return MapCase(text, false);
}

}  // namespace plattero::platform
