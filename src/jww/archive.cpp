#include "jww/archive.h"

#include <cstring>

#include "jww/limits.h"
#include "util/text.h"

namespace plattero {

std::uint32_t ArchiveReader::ReadCount(bool* delivered) {
  std::uint8_t b[2];
  std::size_t got = Read(b, 2);
  if (delivered) *delivered = got > 0;
  std::uint32_t n = static_cast<std::uint32_t>(b[0] | (b[1] << 8));
  if (n == 0xFFFF) n = ReadU32();
  return n;
}

std::u16string ArchiveReader::ReadCString(bool* held_nul) {
  std::uint32_t len = ReadU8();
  if (len == 0xFF) {
    len = ReadU16();
    if (len == 0xFFFE) {
      // The UTF-16 marker FF FE FF, then the length in code units.
      saw_utf16_ = true;
      std::uint32_t units = ReadU8();
      if (units == 0xFF) units = ReadU16();
      std::size_t got = 0;
      const std::uint8_t* p = Take(std::size_t{units} * 2, got);
      std::u16string text = Utf16BytesToStr(p, got);
      if (held_nul) *held_nul = text.size() < got / 2;
      return text;
    }
  }
  std::size_t got = 0;
  const std::uint8_t* p = Take(len, got);
  if (held_nul) *held_nul = got > 0 && std::memchr(p, 0, got) != nullptr;
  return SjisBytesToStr(p, got);
}

std::u16string ArchiveReader::ReadName(bool* held_nul) {
  std::u16string s = ReadCString(held_nul);
  for (char16_t c : s) {
    if (c < 0x20) return RemoveCtrlChars(s);
  }
  return s;
}

TagRead ReadTagSlow(ArchiveReader& r) {
  TagRead tag;
  std::uint8_t b[2];
  if (r.Read(b, 2) == 0) {
    tag.kind = TagRead::kEnd;
    return tag;
  }
  std::uint16_t t = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
  if (t == 0xFFFF) {
    r.ReadU16();  // schema, not looked at
    std::uint16_t n = r.ReadU16();
    if (n >= kMaxClassNameBytes) {
      tag.kind = TagRead::kNameTooLong;
      return tag;
    }
    std::size_t got = 0;
    const std::uint8_t* p = r.Take(n, got);
    tag.kind = TagRead::kNewClass;
    tag.name = std::string_view(reinterpret_cast<const char*>(p), got);
    return tag;
  }
  tag.kind = TagRead::kReference;
  if (t == 0x7FFF) {
    std::uint32_t d = r.ReadU32();
    tag.index = d & 0x7FFFFFFFu;
  } else {
    // Tags below 0x8000 do not occur in well-formed files; they wrap to
    // indices no class holds and so designate nothing.
    tag.index = static_cast<std::uint16_t>(t - 0x8000u);
  }
  return tag;
}

int ClassOfName(std::string_view name) {
  for (int c = 1; c <= 8; ++c) {
    if (kClassNames[c] == name) return c;
  }
  return 0;
}

bool ArchiveWriter::Flush() {
  if (used_ > 0) {
    if (ok_ && !sink_.Write(buf_.get(), used_)) ok_ = false;
    if (ok_) written_ += used_;
    used_ = 0;
  }
  return ok_;
}

void ArchiveWriter::WriteSlow(const void* data, std::size_t n) {
  Flush();
  if (n <= kBufferSize) {
    std::memcpy(buf_.get(), data, n);
    used_ = n;
    return;
  }
  if (ok_ && !sink_.Write(data, n)) ok_ = false;
  if (ok_) written_ += n;
}

namespace {

// The length of the longest prefix of Shift-JIS bytes that ends on a character
// boundary, is at most `limit` and is not 65534 (whose prefix FF FE FF would
// read as the UTF-16 marker).
std::size_t SjisCutLength(const ByteBuffer& bytes, std::size_t length, std::size_t limit) {
  std::size_t best = 0;
  std::size_t i = 0;
  while (i < length) {
    std::uint8_t c = bytes[i];
    std::size_t width = ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) ? 2 : 1;
    if (i + width > length || i + width > limit) break;
    i += width;
    if (i != 0xFFFE) best = i;
  }
  return best;
}

}  // namespace

void ArchiveWriter::WriteCString(std::u16string_view text) {
  if (utf16_) {
    std::size_t units = text.size();
    if (units > kMaxStringLength) {
      units = kMaxStringLength;
      // Keep a surrogate pair whole.
      if (text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF) --units;
    }
    const std::uint8_t marker[3] = {0xFF, 0xFE, 0xFF};
    Write(marker, 3);
    if (units < 0xFF) {
      WriteU8(static_cast<std::uint8_t>(units));
    } else {
      WriteU8(0xFF);
      WriteU16(static_cast<std::uint16_t>(units));
    }
    if (units > 0) {
      ByteBuffer bytes = StrToUtf16Bytes(text.substr(0, units));
      Write(bytes.data(), bytes.size());
    }
    return;
  }
  // Plain ASCII texts, the most common ones, go straight to the buffer.
  std::size_t ascii = 0;
  while (ascii < text.size() && text[ascii] > 0 && text[ascii] < 0x80)
    ++ascii;
  if (ascii == text.size() && ascii < 0xFF) {
    std::uint8_t b[0xFF];
    b[0] = static_cast<std::uint8_t>(ascii);
    for (std::size_t i = 0; i < ascii; ++i)
      b[i + 1] = static_cast<std::uint8_t>(text[i]);
    Write(b, ascii + 1);
    return;
  }
  ByteBuffer& bytes = scratch_;
  bytes.clear();
  AppendSjisBytes(text, bytes);
  // The stored text ends at its first NUL character, which encodes as the only
  // zero byte.
  std::size_t length = 0;
  while (length < bytes.size() && bytes[length] != 0)
    ++length;
  if (length > kMaxStringLength || length == 0xFFFE) {
    length = SjisCutLength(bytes, length, kMaxStringLength);
  }
  if (length < 0xFF) {
    WriteU8(static_cast<std::uint8_t>(length));
  } else {
    WriteU8(0xFF);
    WriteU16(static_cast<std::uint16_t>(length));
  }
  if (length > 0) Write(bytes.data(), length);
}

void ArchiveWriter::WriteCount(std::uint32_t n) {
  if (n < 0xFFFF) {
    WriteU16(static_cast<std::uint16_t>(n));
  } else {
    WriteU16(0xFFFF);
    WriteU32(n);
  }
}

void ArchiveWriter::WriteClassRef(std::uint32_t index) {
  if (index < 0x7FFF) {
    WriteU16(static_cast<std::uint16_t>(0x8000 + index));
  } else {
    WriteU16(0x7FFF);
    WriteU32(0x80000000u + index);
  }
}

void ArchiveWriter::WriteClassTag(ClassTable& classes, int cls, std::uint16_t schema) {
  if (classes.index[cls] != 0) {
    WriteClassRef(classes.index[cls]);
    return;
  }
  std::string_view name = kClassNames[cls];
  WriteU16(0xFFFF);
  WriteU16(schema);
  WriteU16(static_cast<std::uint16_t>(name.size()));
  Write(name.data(), name.size());
  classes.index[cls] = classes.counter++;
}

}  // namespace plattero
