// Text services through ICU (Linux): whole characters of code page 932, the
// case of a code point, and the collation of file names.

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <cstddef>
#include <limits>

#include "platform/text_services.h"
#include "platform/text_services_internal.h"

namespace plattero::platform {

namespace {

// ICU works with int32 lengths internally; longer inputs are fed in pieces.
constexpr std::size_t kIcuChunk = std::size_t{1} << 24;

// One "windows-31j" converter per thread (opening a converter is far more
// expensive than converting a short string), stopping at the first byte
// sequence or character it cannot convert.
class SjisConverter {
 public:
  SjisConverter() {
    UErrorCode err = U_ZERO_ERROR;
    UConverter* conv = ucnv_open("windows-31j", &err);
    if (U_FAILURE(err)) return;
    ucnv_setFallback(conv, false);  // round-trip mappings only, no look-alikes
    ucnv_setToUCallBack(conv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
    ucnv_setFromUCallBack(conv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &err);
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

// Converts data[0 .. size) (no swapped control codes) onto the end of out.
bool DecodeRun(UConverter* conv, const std::uint8_t* data, std::size_t size, std::u16string& out) {
  if (size == 0) return true;
  if (conv == nullptr) {  // no converter data: ASCII only
    if (std::any_of(data, data + size, [](std::uint8_t b) { return b >= 0x80; })) return false;
    out.append(data, data + size);
    return true;
  }
  ucnv_resetToUnicode(conv);
  std::size_t pos = out.size();
  // Every character of code page 932 is one UTF-16 unit and takes at least one byte.
  out.resize(pos + size + 1);
  const char* src = reinterpret_cast<const char*>(data);
  const char* const src_end = src + size;
  for (;;) {
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
    if (U_FAILURE(err)) return false;
    if (flush) break;
  }
  out.resize(pos);
  return true;
}

// Converts text (no swapped control codes) onto the end of out.
bool EncodeRun(UConverter* conv, std::u16string_view text, std::vector<std::uint8_t>& out) {
  if (text.empty()) return true;
  if (conv == nullptr) {
    if (std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x80; })) return false;
    out.insert(out.end(), text.begin(), text.end());
    return true;
  }
  ucnv_resetFromUnicode(conv);
  std::size_t pos = out.size();
  out.resize(pos + 2 * text.size() + 1);  // at most two bytes per code unit
  const UChar* src = text.data();
  const UChar* const src_end = src + text.size();
  for (;;) {
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
    if (U_FAILURE(err)) return false;
    if (flush) break;
  }
  out.resize(pos);
  return true;
}

}  // namespace

bool DecodeCharacters(const std::uint8_t* data, std::size_t size, std::u16string& out) {
  UConverter* conv = ThreadSjisConverter();
  const std::size_t old_size = out.size();
  bool ok = true;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= size && ok; ++i) {
    if (i < size && !IsSwappedControl(data[i])) continue;
    ok = DecodeRun(conv, data + start, i - start, out);
    if (i < size) out.push_back(static_cast<char16_t>(data[i]));
    start = i + 1;
  }
  if (!ok) out.resize(old_size);
  return ok;
}

bool EncodeCharacters(std::u16string_view text, std::vector<std::uint8_t>& out) {
  UConverter* conv = ThreadSjisConverter();
  const std::size_t old_size = out.size();
  bool ok = true;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size() && ok; ++i) {
    if (i < text.size() && !IsSwappedControl(text[i])) continue;
    ok = EncodeRun(conv, text.substr(start, i - start), out);
    if (i < text.size()) out.push_back(static_cast<std::uint8_t>(text[i]));
    start = i + 1;
  }
  if (!ok) out.resize(old_size);
  return ok;
}

char32_t MapCodePoint(char32_t c, bool upper) {
  const UChar32 mapped =
      upper ? u_toupper(static_cast<UChar32>(c)) : u_tolower(static_cast<UChar32>(c));
  return static_cast<char32_t>(mapped);
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
