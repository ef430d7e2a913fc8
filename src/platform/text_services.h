#pragma once

// Text services of the operating system: code page 932 (Shift-JIS as Windows
// writes it), case mapping and the collation of file names. ICU provides them
// on Linux, the Windows API on Windows; both give the same results for every
// text the tests pin down.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plattero::platform {

// Appends the text of code page 932 bytes (no zero byte among them) to out.
// Every byte below 0x80 is its own character; a byte sequence that is no
// character becomes U+FFFD. Never fails.
void DecodeCodePage932(const std::uint8_t* data, std::size_t size, std::u16string& out);

// Appends the code page 932 bytes of a text (no NUL in it) to out. A
// character without a form in the code page becomes one "?" (a surrogate
// pair, a lone surrogate and a default-ignorable character alike); no
// look-alike is ever chosen. Never fails.
void EncodeCodePage932(std::u16string_view text, std::vector<std::uint8_t>& out);

// Simple (length-keeping) upper and lower case mapping of every code point,
// full-width Latin letters included. Lone surrogates stay as they are.
std::u16string UpperCase(std::u16string_view text);
std::u16string LowerCase(std::u16string_view text);

// Compares file names as the user's language orders them, without regard to
// letter case, runs of digits by their value ("sheet2" before "sheet10").
class TFileNameCollator {
 public:
  TFileNameCollator();
  ~TFileNameCollator();
  TFileNameCollator(const TFileNameCollator&) = delete;
  TFileNameCollator& operator=(const TFileNameCollator&) = delete;

  // Negative, zero or positive, as for a < b, a == b, a > b.
  int Compare(std::u16string_view a, std::u16string_view b) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace plattero::platform
