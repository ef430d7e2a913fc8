#pragma once

// UTF-8 and UTF-16, and the byte names of files.
//
// Texts live in memory as UTF-16. A file name on a POSIX system is bytes,
// usually UTF-8; a name from an old disk may hold Shift-JIS bytes instead.
// Such a name is carried as text by keeping every byte that is no part of a
// UTF-8 character as one code unit U+DC80 + (byte - 0x80) (a lone low
// surrogate, which no UTF-8 text decodes to), so that the name comes back
// byte for byte. Converting for display happens only where text is shown
// (DisplayText in util/text.h).

#include <string>
#include <string_view>

namespace plattero {

// UTF-8 of a text; lone surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// The text of UTF-8; every maximal ill-formed subpart becomes one U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// The first and last code unit standing for a byte that is no part of a
// UTF-8 character (bytes below 0x80 always are).
inline constexpr char16_t kFirstEscapedByte = 0xDC80;
inline constexpr char16_t kLastEscapedByte = 0xDCFF;

inline bool IsEscapedByte(char16_t c) {
  return c >= kFirstEscapedByte && c <= kLastEscapedByte;
}

// Bytes as a file name or an argument holds them, as text: UTF-8 characters
// decoded, every other byte kept as an escaped byte.
std::u16string TextFromOsBytes(std::string_view bytes);
// The inverse: escaped bytes become their bytes again, everything else UTF-8
// (other lone surrogates become U+FFFD). OsBytesFromText(TextFromOsBytes(b))
// is b for all bytes b.
std::string OsBytesFromText(std::u16string_view text);

}  // namespace plattero
