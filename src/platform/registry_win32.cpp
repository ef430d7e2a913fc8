#include "platform/registry_win32.h"

#include <algorithm>
#include <vector>

#include "platform/win32_internal.h"

namespace plattero::platform {

namespace {

struct KeyCloser {
  HKEY key = nullptr;
  ~KeyCloser() {
    if (key) ::RegCloseKey(key);
  }
};

// A command longer than this is no program's.
constexpr DWORD kMaxValueBytes = 1u << 16;

std::wstring Expanded(const std::wstring& text) {
  std::wstring out(text.size() + 64, L'\0');
  for (;;) {
    const DWORD n =
        ::ExpandEnvironmentStringsW(text.c_str(), out.data(), static_cast<DWORD>(out.size()));
    if (n == 0) return text;
    if (n <= out.size()) {
      out.resize(n - 1);  // n counts the final NUL
      return out;
    }
    out.resize(n);
  }
}

}  // namespace

std::optional<std::u16string> ReadRegistryDefault(HKEY root, const std::u16string& key) {
  KeyCloser k;
  if (::RegOpenKeyExW(root, WideText(key).c_str(), 0, KEY_QUERY_VALUE, &k.key) != ERROR_SUCCESS)
    return std::nullopt;
  DWORD type = 0, size = 0;
  if (::RegQueryValueExW(k.key, nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || size > kMaxValueBytes) {
    return std::nullopt;
  }
  // The value may change between the two calls; a larger one is read again.
  std::vector<wchar_t> data;
  LONG rc = ERROR_MORE_DATA;
  while (rc == ERROR_MORE_DATA && size <= kMaxValueBytes) {
    data.assign(size / sizeof(wchar_t) + 1, L'\0');
    DWORD bytes = static_cast<DWORD>((data.size() - 1) * sizeof(wchar_t));
    rc = ::RegQueryValueExW(k.key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                            &bytes);
    if (rc == ERROR_MORE_DATA) size = bytes;
    if (rc == ERROR_SUCCESS) data.resize(bytes / sizeof(wchar_t));
  }
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
  // Stored strings need not end with a NUL, and may end with several.
  std::wstring text(data.begin(), data.end());
  text.erase(std::min(text.size(), text.find(L'\0')));
  if (type == REG_EXPAND_SZ) text = Expanded(text);
  return TextOfWide(text);
}

}  // namespace plattero::platform
