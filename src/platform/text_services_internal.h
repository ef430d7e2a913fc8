#pragma once

// What each system supplies to text_services.cpp: conversions of whole
// characters and the case of one code point. The rules around them (which
// bytes form a character, what becomes U+FFFD or "?") live in
// text_services.cpp, once for every system.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plattero::platform {

// Appends the text of `data`, which holds whole characters of code page 932
// by their form (no zero byte), to out. False, and out unchanged, when any of
// them is no character of the system's table.
bool DecodeCharacters(const std::uint8_t* data, std::size_t size, std::u16string& out);

// Appends the code page 932 bytes of a text (no NUL in it) to out, never a
// look-alike. False, and out unchanged, when the system finds a character
// without a form. (Its answer is checked by decoding it back.)
bool EncodeCharacters(std::u16string_view text, std::vector<std::uint8_t>& out);

// The simple upper or lower case of one code point (not a surrogate); the
// code point itself when it has none.
char32_t MapCodePoint(char32_t c, bool upper);

}  // namespace plattero::platform
