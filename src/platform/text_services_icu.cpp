// Text services through ICU (Linux).

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <cstddef>
#include <limits>

#include "platform/text_services.h"

namespace plattero::platform {

namespace {

constexpr char16_t kReplacementChar = 0xFFFD;

// ICU works with int32 lengths internally; longer inputs are fed in pieces.
constexpr std::size_t kIcuChunk = std::size_t{1} << 24;

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

// Every code point without a mapping becomes one "?". (ICU's own substitute
// callback would drop default-ignorable code points silently, where Windows
// writes "?".)
void FromUnicodeQuestionMark(const void* /*context*/, UConverterFromUnicodeArgs* args,
                             const UChar* /*codeUnits*/, int32_t /*length*/, UChar32 /*codePoint*/,
                             UConverterCallbackReason reason, UErrorCode* err) {
  if (reason > UCNV_IRREGULAR) return;
  *err = U_ZERO_ERROR;
  ucnv_cbFromUWriteBytes(args, "?", 1, 0, err);
}

// One "windows-31j" converter per thread: opening a converter is far more
// expensive than converting a short string.
class SjisConverter {
 public:
  SjisConverter() {
    UErrorCode err = U_ZERO_ERROR;
    UConverter* conv = ucnv_open("windows-31j", &err);
    if (U_FAILURE(err)) return;
    ucnv_setFallback(conv, false);  // round-trip mappings only, no look-alikes
    ucnv_setToUCallBack(conv, ToUnicodeReplacement, nullptr, nullptr, nullptr, &err);
    ucnv_setFromUCallBack(conv, FromUnicodeQuestionMark, nullptr, nullptr, nullptr, &err);
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

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// Decodes data[0 .. size) (no zero bytes, no swapped control codes) and
// appends the text to out.
void DecodeRun(UConverter* conv, const std::uint8_t* data, std::size_t size, std::u16string& out) {
  if (size == 0) return;
  if (conv == nullptr) {  // no converter data: keep ASCII, replace the rest
    for (std::size_t i = 0; i < size; ++i)
      out.push_back(data[i] < 0x80 ? static_cast<char16_t>(data[i]) : kReplacementChar);
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
void EncodeRun(UConverter* conv, std::u16string_view text, std::vector<std::uint8_t>& out) {
  if (text.empty()) return;
  if (conv == nullptr) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char16_t c = text[i];
      if (c < 0x80) {
        out.push_back(static_cast<std::uint8_t>(c));
        continue;
      }
      out.push_back('?');
      if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ++i;
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
  }
  return out;
}

}  // namespace

void DecodeCodePage932(const std::uint8_t* data, std::size_t size, std::u16string& out) {
  UConverter* conv = ThreadSjisConverter();
  std::size_t start = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (IsSwappedControl(data[i])) {
      DecodeRun(conv, data + start, i - start, out);
      out.push_back(static_cast<char16_t>(data[i]));
      start = i + 1;
    }
  }
  DecodeRun(conv, data + start, size - start, out);
}

void EncodeCodePage932(std::u16string_view text, std::vector<std::uint8_t>& out) {
  UConverter* conv = ThreadSjisConverter();
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsSwappedControl(text[i])) {
      EncodeRun(conv, text.substr(start, i - start), out);
      out.push_back(static_cast<std::uint8_t>(text[i]));
      start = i + 1;
    }
  }
  EncodeRun(conv, text.substr(start), out);
}

std::u16string UpperCase(std::u16string_view text) {
  return MapCase(text, [](UChar32 c) { return u_toupper(c); });
}

std::u16string LowerCase(std::u16string_view text) {
  return MapCase(text, [](UChar32 c) { return u_tolower(c); });
}

struct TFileNameCollator::Impl {
  UCollator* collator = nullptr;
  ~Impl() {
    if (collator) ucol_close(collator);
  }
};

TFileNameCollator::TFileNameCollator() : impl_(std::make_unique<Impl>()) {
  UErrorCode status = U_ZERO_ERROR;
  // The "C" and POSIX locales collate by code point, capitals first: the root
  // collation serves them instead.
  const std::string locale = uloc_getDefault();
  const bool posix = locale.find("POSIX") != std::string::npos || locale == "c";
  impl_->collator = ucol_open(posix ? "" : locale.c_str(), &status);
  if (U_FAILURE(status)) {
    if (impl_->collator) ucol_close(impl_->collator);
    status = U_ZERO_ERROR;
    impl_->collator = ucol_open("", &status);  // the root collation
    if (U_FAILURE(status)) {
      if (impl_->collator) ucol_close(impl_->collator);
      impl_->collator = nullptr;
      return;
    }
  }
  ucol_setStrength(impl_->collator, UCOL_SECONDARY);  // letter case does not count
  ucol_setAttribute(impl_->collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
}

TFileNameCollator::~TFileNameCollator() = default;

int TFileNameCollator::Compare(std::u16string_view a, std::u16string_view b) const {
  constexpr std::size_t kMax = static_cast<std::size_t>(std::numeric_limits<int32_t>::max());
  if (!impl_->collator || a.size() > kMax || b.size() > kMax) {
    const std::u16string ua = UpperCase(a), ub = UpperCase(b);
    return ua < ub ? -1 : (ub < ua ? 1 : 0);
  }
  const UCollationResult r = ucol_strcoll(impl_->collator, a.data(), static_cast<int32_t>(a.size()),
                                          b.data(), static_cast<int32_t>(b.size()));
  return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

}  // namespace plattero::platform
