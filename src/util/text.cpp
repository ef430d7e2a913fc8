#include "util/text.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/text_services.h"

namespace plattero {

namespace {

std::int32_t ClampToInt32(std::size_t n) {
  return static_cast<std::int32_t>(
      std::min<std::size_t>(n, static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())));
}

constexpr char16_t kReplacementChar = 0xFFFD;

// --- Paths and files ---------------------------------------------------------

bool IsInvalidPathChar(char16_t c) {
  return c < 0x20 || c == u'"' || c == u'<' || c == u'>' || c == u'|';
}

bool HasInvalidPathChar(std::u16string_view path) {
  return std::any_of(path.begin(), path.end(), IsInvalidPathChar);
}

}  // namespace

// --- Conversions between text and bytes -----------------------------------

std::u16string SjisBytesToStr(const std::uint8_t* data, std::size_t size) {
  // A zero byte is never part of a double-byte character (trail bytes are
  // 0x40 .. 0xFC), so the text ends at the first zero byte.
  std::size_t length = 0;
  bool ascii = true;
  for (; length < size && data[length] != 0; ++length) {
    if (data[length] >= 0x80) ascii = false;
  }
  std::u16string out;
  if (ascii) {
    out.resize(length);
    for (std::size_t i = 0; i < length; ++i)
      out[i] = static_cast<char16_t>(data[i]);
    return out;
  }
  out.reserve(length);
  platform::DecodeCodePage932(data, length, out);
  return out;
}

std::u16string SjisBytesToStr(const ByteBuffer& bytes) {
  return SjisBytesToStr(bytes.data(), bytes.size());
}

std::u16string Utf16BytesToStr(const std::uint8_t* data, std::size_t size) {
  std::u16string out;
  out.reserve(size / 2);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) break;
    out.push_back(unit);
  }
  return out;
}

std::u16string Utf16BytesToStr(const ByteBuffer& bytes) {
  return Utf16BytesToStr(bytes.data(), bytes.size());
}

void AppendSjisBytes(std::u16string_view text, ByteBuffer& out) {
  if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) {
    const std::size_t pos = out.size();
    out.resize(pos + text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
      out[pos + i] = static_cast<std::uint8_t>(text[i]);
    return;
  }
  out.reserve(out.size() + 2 * text.size());
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == 0) {  // a NUL is a zero byte of its own
      platform::EncodeCodePage932(text.substr(start, i - start), out);
      out.push_back(0);
      start = i + 1;
    }
  }
  platform::EncodeCodePage932(text.substr(start), out);
}

ByteBuffer StrToSjisBytes(std::u16string_view text) {
  ByteBuffer out;
  AppendSjisBytes(text, out);
  return out;
}

ByteBuffer StrToUtf16Bytes(std::u16string_view text) {
  ByteBuffer out(2 * text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    out[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
    out[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
  }
  return out;
}

std::int32_t SjisByteLength(std::u16string_view text) {
  const std::size_t nul = text.find(u'\0');
  if (nul != std::u16string_view::npos) text = text.substr(0, nul);
  if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) {
    return ClampToInt32(text.size());
  }
  return ClampToInt32(StrToSjisBytes(text).size());
}

std::int32_t ByteStrLen(const ByteBuffer& bytes) {
  const void* zero = bytes.empty() ? nullptr : std::memchr(bytes.data(), 0, bytes.size());
  if (zero == nullptr) return ClampToInt32(bytes.size());
  return ClampToInt32(
      static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - bytes.data()));
}

std::uint8_t FillBytes(std::uint8_t value, std::int32_t count, ByteBuffer& bytes) {
  if (count > 0) {
    const std::size_t n = std::min(bytes.size(), static_cast<std::size_t>(count));
    std::fill_n(bytes.begin(), n, value);
  }
  return value;
}

// --- Cleaning filters -------------------------------------------------------

std::u16string RemoveCtrlChars(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (const char16_t c : text) {
    if (c >= 0x20) out.push_back(c);
  }
  return out;
}

std::u16string RemoveSpaces(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (const char16_t c : text) {
    if (c > 0x20 && c != 0x3000) out.push_back(c);
  }
  return out;
}

std::u16string RemoveBreakMarks(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (i + 1 < text.size() &&
        ((text[i] == u'^' && text[i + 1] == u'm') || (text[i] == u'\\' && text[i + 1] == u'n'))) {
      i += 2;
      continue;
    }
    if (text[i] >= 0x20) out.push_back(text[i]);
    ++i;
  }
  if (out.empty() && !text.empty()) out = u" ";
  return out;
}

// --- Positions, substrings and case -----------------------------------------

std::u16string CharAt(std::u16string_view s, std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= s.size()) return {};
  return std::u16string(1, s[static_cast<std::size_t>(index)]);
}

std::int32_t PosIndex(std::u16string_view sub, std::u16string_view s) {
  if (sub.empty() || s.empty()) return -1;
  const std::size_t pos = s.find(sub);
  if (pos == std::u16string_view::npos) return -1;
  return ClampToInt32(pos);
}

std::u16string SubStrFrom(std::u16string_view s, std::int32_t index) {
  const std::size_t start = index < 0 ? 0 : static_cast<std::size_t>(index);
  if (start >= s.size()) return {};
  return std::u16string(s.substr(start));
}

std::u16string SubStr(std::u16string_view s, std::int32_t index, std::int32_t count) {
  if (count <= 0) return {};
  const std::size_t start = index < 0 ? 0 : static_cast<std::size_t>(index);
  if (start >= s.size()) return {};
  return std::u16string(s.substr(start, static_cast<std::size_t>(count)));
}

std::u16string UpperStr(std::u16string_view text) {
  return platform::UpperCase(text);
}

std::u16string LowerStr(std::u16string_view text) {
  return platform::LowerCase(text);
}

// --- File names ----------------------------------------------------------------

std::u16string FileNameOf(std::u16string_view path) {
  if (HasInvalidPathChar(path)) return {};
  if (std::all_of(path.begin(), path.end(), [](char16_t c) { return c <= 0x20 || c == 0x3000; })) {
    return {};
  }
  const std::size_t sep = path.find_last_of(u"\\/:");
  if (sep == std::u16string_view::npos) return std::u16string(path);
  return std::u16string(path.substr(sep + 1));
}

std::u16string LowerFileExt(std::u16string_view path) {
  if (HasInvalidPathChar(path)) throw InvalidPathError("Illegal characters in path.");
  for (std::size_t i = path.size(); i > 0; --i) {
    const char16_t c = path[i - 1];
    if (c == u'\\' || c == u'/') break;
    if (c == u'.') return LowerStr(path.substr(i - 1));
  }
  return {};
}

std::u16string ChangeExt(std::u16string_view path, std::u16string_view ext) {
  if (path.empty()) return {};
  const std::size_t sep = path.find_last_of(u"\\/:");
  const std::size_t dot = path.find_last_of(u'.');
  std::u16string out;
  if (dot != std::u16string_view::npos && (sep == std::u16string_view::npos || dot > sep)) {
    out = path.substr(0, dot);
  } else {
    out = path;
  }
  out += ext;
  return out;
}

std::u16string DisplayText(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  // Name by name: a file name from an old disk is Shift-JIS as a whole, while
  // the folders above it may be UTF-8.
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(u"/\\", start);
    if (end == std::u16string_view::npos) end = text.size();
    const std::u16string_view name = text.substr(start, end - start);
    if (std::none_of(name.begin(), name.end(), IsEscapedByte)) {
      out += name;
    } else {
      const std::string raw = OsBytesFromText(name);
      const ByteBuffer bytes(raw.begin(), raw.end());
      const std::u16string decoded = SjisBytesToStr(bytes);
      if (decoded.find(kReplacementChar) == std::u16string::npos &&
          StrToSjisBytes(decoded) == bytes) {
        out += decoded;
      } else {
        for (const char16_t c : name)
          out.push_back(IsEscapedByte(c) ? kReplacementChar : c);
      }
    }
    if (end < text.size()) out.push_back(text[end]);
    start = end + 1;
  }
  return out;
}

}  // namespace plattero
