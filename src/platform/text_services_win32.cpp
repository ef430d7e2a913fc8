// Text services through the Windows API: whole characters of code page 932,
// the case of a code point, and the collation of file names.

#include <windows.h>

#include <limits>

#include "platform/text_services.h"
#include "platform/text_services_internal.h"

namespace plattero::platform {

namespace {

constexpr UINT kCodePage = 932;
constexpr std::size_t kMaxInt = static_cast<std::size_t>(std::numeric_limits<int>::max());

}  // namespace

bool DecodeCharacters(const std::uint8_t* data, std::size_t size, std::u16string& out) {
  if (size == 0) return true;
  if (size > kMaxInt / 2) return false;
  const auto* src = reinterpret_cast<const char*>(data);
  const int n = static_cast<int>(size);
  const std::size_t pos = out.size();
  // Every character of code page 932 is one UTF-16 unit and takes at least one byte.
  out.resize(pos + size);
  const int got = ::MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, src, n,
                                        reinterpret_cast<wchar_t*>(out.data() + pos), n);
  out.resize(got > 0 ? pos + static_cast<std::size_t>(got) : pos);
  return got > 0;
}

bool EncodeCharacters(std::u16string_view text, std::vector<std::uint8_t>& out) {
  if (text.empty()) return true;
  if (text.size() > kMaxInt / 2) return false;
  const auto* src = reinterpret_cast<const wchar_t*>(text.data());
  const int n = static_cast<int>(text.size());
  const std::size_t pos = out.size();
  out.resize(pos + 2 * text.size());  // at most two bytes per code unit
  BOOL used_default = FALSE;
  // No best fit: "é" has no form, rather than becoming "e".
  const int got =
      ::WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, src, n,
                            reinterpret_cast<char*>(out.data() + pos), 2 * n, "?", &used_default);
  const bool ok = got > 0 && !used_default;
  out.resize(ok ? pos + static_cast<std::size_t>(got) : pos);
  return ok;
}

char32_t MapCodePoint(char32_t c, bool upper) {
  wchar_t in[2];
  int n = 1;
  if (c >= 0x10000) {
    in[0] = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
    in[1] = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    n = 2;
  } else {
    in[0] = static_cast<wchar_t>(c);
  }
  wchar_t mapped[4];
  // The invariant locale: the same mapping for every user (a Turkish one
  // too), as on other systems.
  const int got = ::LCMapStringEx(
      LOCALE_NAME_INVARIANT, (upper ? LCMAP_UPPERCASE : LCMAP_LOWERCASE) | LCMAP_LINGUISTIC_CASING,
      in, n, mapped, 4, nullptr, nullptr, 0);
  if (got != n) return c;
  if (n == 1) return mapped[0];
  if (mapped[0] < 0xD800 || mapped[0] > 0xDBFF || mapped[1] < 0xDC00 || mapped[1] > 0xDFFF)
    return c;
  return 0x10000 + ((static_cast<char32_t>(mapped[0]) - 0xD800) << 10) +
         (static_cast<char32_t>(mapped[1]) - 0xDC00);
}

struct TFileNameCollator::Impl {};

TFileNameCollator::TFileNameCollator() : impl_(std::make_unique<Impl>()) {}

TFileNameCollator::~TFileNameCollator() = default;

int TFileNameCollator::Compare(std::u16string_view a, std::u16string_view b) const {
  // The user's language; letter case, kana type and width do not count;
  // digits by their value; a hyphen counts like any other sign.
  constexpr DWORD kFlags = NORM_IGNORECASE | NORM_IGNOREKANATYPE | NORM_IGNOREWIDTH |
                           SORT_DIGITSASNUMBERS | SORT_STRINGSORT;
  if (a.size() <= kMaxInt && b.size() <= kMaxInt) {
    // An empty text must be L"", never a null pointer.
    const wchar_t* pa = a.empty() ? L"" : reinterpret_cast<const wchar_t*>(a.data());
    const wchar_t* pb = b.empty() ? L"" : reinterpret_cast<const wchar_t*>(b.data());
    const int r =
        ::CompareStringEx(LOCALE_NAME_USER_DEFAULT, kFlags, pa, static_cast<int>(a.size()), pb,
                          static_cast<int>(b.size()), nullptr, nullptr, 0);
    if (r != 0) return r - CSTR_EQUAL;
  }
  const std::u16string ua = UpperCase(a), ub = UpperCase(b);
  return ua < ub ? -1 : (ub < ua ? 1 : 0);
}

}  // namespace plattero::platform
