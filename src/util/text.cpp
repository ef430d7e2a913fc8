#include "util/text.h"

#include "util/posix_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>

namespace plattero {

namespace {

constexpr char16_t kReplacementChar = 0xFFFD;

// ICU works with int32 lengths internally; longer inputs are fed in pieces.
constexpr std::size_t kIcuChunk = std::size_t{1} << 24;

std::int32_t ClampToInt32(std::size_t n) {
  return static_cast<std::int32_t>(
      std::min<std::size_t>(n, static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())));
}

// --- Code page 932 ---------------------------------------------------------

// Every undecodable byte sequence becomes U+FFFD. (The converter's own
// substitute for a single bad byte would be U+001A, a control character that
// the cleaning filters would silently drop.)
void ToUnicodeReplacement(const void* /*context*/, UConverterToUnicodeArgs* args,
                          const char* /*codeUnits*/, int32_t /*length*/,
                          UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;  // reset, close or clone: nothing to write
  *err = U_ZERO_ERROR;
  const UChar replacement = kReplacementChar;
  ucnv_cbToUWriteUChars(args, &replacement, 1, 0, err);
}

// One "windows-31j" converter per thread: opening a converter is far more
// expensive than converting a short string.
class SjisConverter {
 public:
  SjisConverter() {
    UErrorCode err = U_ZERO_ERROR;
    UConverter* conv = ucnv_open("windows-31j", &err);
    if (U_FAILURE(err)) return;
    ucnv_setSubstChars(conv, "?", 1, &err);
    ucnv_setToUCallBack(conv, ToUnicodeReplacement, nullptr, nullptr, nullptr, &err);
    if (U_FAILURE(err)) {
      ucnv_close(conv);
      return;
    }
    conv_ = conv;
  }
  ~SjisConverter() {
    if (conv_ != nullptr) ucnv_close(conv_);
  }
  SjisConverter(const SjisConverter&) = delete;
  SjisConverter& operator=(const SjisConverter&) = delete;

  UConverter* get() const { return conv_; }

 private:
  UConverter* conv_ = nullptr;
};

UConverter* ThreadSjisConverter() {
  thread_local SjisConverter converter;
  return converter.get();
}

// ICU's table for code page 932 swaps the control codes 0x1A, 0x1C and 0x7F
// (U+001C, U+007F, U+001A). Code page 932 as written by Windows programs maps
// every byte below 0x80 to the same code point, so these three are passed
// through unchanged, outside the converter. None of them is ever a trail byte.
bool IsSwappedControl(std::uint32_t c) {
  return c == 0x1A || c == 0x1C || c == 0x7F;
}

// Decodes data[0 .. size) (no zero bytes, at least one byte >= 0x80 somewhere)
// and appends the text to out.
void DecodeSjisRun(UConverter* conv, const std::uint8_t* data, std::size_t size,
                   std::u16string& out) {
  if (size == 0) return;
  if (conv == nullptr) {  // no converter data: keep ASCII, replace the rest
    for (std::size_t i = 0; i < size; ++i) {
      out.push_back(data[i] < 0x80 ? static_cast<char16_t>(data[i]) : kReplacementChar);
    }
    return;
  }
  ucnv_resetToUnicode(conv);
  std::size_t pos = out.size();
  // Every character of code page 932 is one UTF-16 unit and takes at least one byte.
  out.resize(pos + size + 1);
  const char* src = reinterpret_cast<const char*>(data);
  const char* const src_end = src + size;
  while (true) {
    const char* chunk_end =
        src_end - src > static_cast<std::ptrdiff_t>(kIcuChunk) ? src + kIcuChunk : src_end;
    const bool flush = chunk_end == src_end;
    UErrorCode err = U_ZERO_ERROR;
    UChar* target = out.data() + pos;
    ucnv_toUnicode(conv, &target, out.data() + out.size(), &src, chunk_end, nullptr, flush, &err);
    pos = static_cast<std::size_t>(target - out.data());
    if (err == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(out.size() + std::min(size, kIcuChunk) / 2 + 16);
      continue;
    }
    if (U_FAILURE(err) || flush) break;
  }
  out.resize(pos);
}

// Encodes text (no NUL, no swapped control codes) and appends the bytes to out.
void EncodeSjisRun(UConverter* conv, std::u16string_view text, ByteBuffer& out) {
  if (text.empty()) return;
  if (conv == nullptr) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char16_t c = text[i];
      if (c < 0x80) {
        out.push_back(static_cast<std::uint8_t>(c));
      } else {
        out.push_back('?');
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
          ++i;
        }
      }
    }
    return;
  }
  ucnv_resetFromUnicode(conv);
  std::size_t pos = out.size();
  out.resize(pos + 2 * text.size() + 1);  // at most two bytes per code unit
  const UChar* src = text.data();
  const UChar* const src_end = src + text.size();
  while (true) {
    const UChar* chunk_end =
        src_end - src > static_cast<std::ptrdiff_t>(kIcuChunk) ? src + kIcuChunk : src_end;
    const bool flush = chunk_end == src_end;
    UErrorCode err = U_ZERO_ERROR;
    char* target = reinterpret_cast<char*>(out.data()) + pos;
    ucnv_fromUnicode(conv, &target, reinterpret_cast<char*>(out.data()) + out.size(), &src,
                     chunk_end, nullptr, flush, &err);
    pos = static_cast<std::size_t>(target - reinterpret_cast<char*>(out.data()));
    if (err == U_BUFFER_OVERFLOW_ERROR) {
      out.resize(out.size() + std::min(text.size(), kIcuChunk) + 16);
      continue;
    }
    if (U_FAILURE(err) || flush) break;
  }
  out.resize(pos);
}

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// Applies a simple case mapping per code point without changing the length.
template <typename Map>
std::u16string MapCase(std::u16string_view text, Map map) {
  std::u16string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const char16_t c = out[i];
    if (IsHighSurrogate(c) && i + 1 < out.size() && IsLowSurrogate(out[i + 1])) {
      const UChar32 cp = 0x10000 + ((static_cast<UChar32>(c) - 0xD800) << 10) +
                         (static_cast<UChar32>(out[i + 1]) - 0xDC00);
      const UChar32 mapped = map(cp);
      if (mapped >= 0x10000 && mapped <= 0x10FFFF) {
        out[i] = static_cast<char16_t>(0xD800 + ((mapped - 0x10000) >> 10));
        out[i + 1] = static_cast<char16_t>(0xDC00 + ((mapped - 0x10000) & 0x3FF));
      }
      ++i;
    } else if (!IsHighSurrogate(c) && !IsLowSurrogate(c)) {
      const UChar32 mapped = map(static_cast<UChar32>(c));
      if (mapped < 0x10000 && !(mapped >= 0xD800 && mapped <= 0xDFFF)) {
        out[i] = static_cast<char16_t>(mapped);
      }
    }
    // A lone surrogate stays as it is.
  }
  return out;
}

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
  UConverter* conv = ThreadSjisConverter();
  out.reserve(length);
  std::size_t start = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (IsSwappedControl(data[i])) {
      DecodeSjisRun(conv, data + start, i - start, out);
      out.push_back(static_cast<char16_t>(data[i]));
      start = i + 1;
    }
  }
  DecodeSjisRun(conv, data + start, length - start, out);
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
  UConverter* conv = ThreadSjisConverter();
  out.reserve(out.size() + 2 * text.size());
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    // NUL and the swapped control codes are single bytes of their own value.
    if (text[i] == 0 || IsSwappedControl(text[i])) {
      EncodeSjisRun(conv, text.substr(start, i - start), out);
      out.push_back(static_cast<std::uint8_t>(text[i]));
      start = i + 1;
    }
  }
  EncodeSjisRun(conv, text.substr(start), out);
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
  return MapCase(text, [](UChar32 c) { return u_toupper(c); });
}

std::u16string LowerStr(std::u16string_view text) {
  return MapCase(text, [](UChar32 c) { return u_tolower(c); });
}

// --- File names and files ----------------------------------------------------

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

namespace {

// Fills `st` for an existing regular file.
bool StatRegularFile(std::u16string_view path, struct stat& st) {
  const std::string os_path = OsPath(path);
  return !os_path.empty() && ::stat(os_path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool IsExistingFile(std::u16string_view path) {
  struct stat st {};
  return StatRegularFile(path, st);
}

std::uint64_t RegularFileSize(std::u16string_view path) {
  struct stat st {};
  if (!StatRegularFile(path, st) || st.st_size < 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

bool DeleteFileQuiet(std::u16string_view path) {
  const std::string os_path = OsPath(path);
  if (os_path.empty()) return false;
  struct stat st {};
  if (::lstat(os_path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return ::unlink(os_path.c_str()) == 0;
}

void CopyFileKeepTimes(std::u16string_view source, std::u16string_view destination) {
  const std::string src_path = OsPath(source);
  struct stat src_stat {};
  if (src_path.empty() || ::stat(src_path.c_str(), &src_stat) != 0) {
    throw std::runtime_error("File not found: " + Utf16ToUtf8(source));
  }
  if (!S_ISREG(src_stat.st_mode)) {
    throw std::runtime_error("Not a file: " + src_path);
  }
  // O_NONBLOCK keeps open() from waiting should the name have become a FIFO.
  FileDescriptor in(::open(src_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (in.get() < 0 || ::fstat(in.get(), &src_stat) != 0 || !S_ISREG(src_stat.st_mode)) {
    throw std::runtime_error("Cannot open file: " + src_path);
  }

  const std::string dst_path = OsPath(destination);
  if (dst_path.empty()) return;
  struct stat dst_stat {};
  if (::stat(dst_path.c_str(), &dst_stat) == 0 && dst_stat.st_dev == src_stat.st_dev &&
      dst_stat.st_ino == src_stat.st_ino) {
    return;  // the same file: truncating the destination would destroy the source
  }
  // When the destination cannot be created it is left alone: it was not touched.
  FileDescriptor out(
      ::open(dst_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666));
  if (out.get() < 0) return;

  bool ok = true;
  std::array<std::uint8_t, 4096> block;
  while (true) {
    const ssize_t got = ::read(in.get(), block.data(), block.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (got == 0) break;
    if (!WriteAll(out.get(), block.data(), static_cast<std::size_t>(got))) {
      ok = false;
      break;
    }
  }
  if (!out.Close()) ok = false;
  if (!ok) {
    ::unlink(dst_path.c_str());
    return;
  }
  // Last-access, then last-write time, to the nanosecond. This platform has no
  // way to set a file's creation time, so the copy keeps its own. A failure
  // here leaves the finished copy in place.
  const struct timespec times[2] = {src_stat.st_atim, src_stat.st_mtim};
  ::utimensat(AT_FDCWD, dst_path.c_str(), times, 0);
}

// --- Bridges to the operating system's byte paths and to UTF-8 --------------

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t cp = text[i];
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<std::uint32_t>(text[i + 1]) - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacementChar;  // lone surrogate
    }
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
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  // Ill-formed sequences become one U+FFFD per maximal ill-formed subpart.
  std::u16string out;
  out.reserve(text.size());
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
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
      out.push_back(kReplacementChar);
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
      out.push_back(kReplacementChar);
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

}  // namespace plattero
