#include "platform/unicode.h"

#include <cstdint>

namespace plattero {

namespace {

constexpr char16_t kReplacementChar = 0xFFFD;

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendUtf8(std::uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string EncodeUtf8(std::u16string_view text, bool escaped_bytes) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t cp = text[i];
    if (escaped_bytes && IsEscapedByte(text[i])) {
      out.push_back(static_cast<char>(cp - 0xDC00));
      continue;
    }
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<std::uint32_t>(text[i + 1]) - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacementChar;  // lone surrogate
    }
    AppendUtf8(cp, out);
  }
  return out;
}

// Ill-formed sequences become one U+FFFD per maximal ill-formed subpart, or,
// with `escaped_bytes`, one escaped byte per byte of it.
std::u16string DecodeUtf8(std::string_view text, bool escaped_bytes) {
  std::u16string out;
  out.reserve(text.size());
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const auto ill_formed = [&](std::size_t from, std::size_t to) {
    if (!escaped_bytes) {
      out.push_back(kReplacementChar);
      return;
    }
    for (std::size_t k = from; k < to; ++k)
      out.push_back(static_cast<char16_t>(0xDC00 + byte(k)));
  };
  std::size_t i = 0;
  while (i < text.size()) {
    const std::uint8_t lead = byte(i);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    std::size_t trail_count = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;  // allowed range of the first trail byte
    std::uint32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      trail_count = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      trail_count = 2;
      cp = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      trail_count = 3;
      cp = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      ill_formed(i, i + 1);
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool complete = true;
    for (std::size_t k = 0; k < trail_count; ++k, ++j) {
      const std::uint8_t lo = k == 0 ? low : 0x80;
      const std::uint8_t hi = k == 0 ? high : 0xBF;
      if (j >= text.size() || byte(j) < lo || byte(j) > hi) {
        complete = false;
        break;
      }
      cp = (cp << 6) | (byte(j) & 0x3F);
    }
    if (!complete) {
      ill_formed(i, j);
      i = j;  // resume at the byte that broke the sequence
      continue;
    }
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i = j;
  }
  return out;
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  return EncodeUtf8(text, false);
}

std::u16string Utf8ToUtf16(std::string_view text) {
  return DecodeUtf8(text, false);
}

std::u16string TextFromOsBytes(std::string_view bytes) {
  return DecodeUtf8(bytes, true);
}

std::string OsBytesFromText(std::u16string_view text) {
  return EncodeUtf8(text, true);
}

}  // namespace plattero
