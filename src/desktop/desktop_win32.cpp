// What the desktop layer needs of Windows: the user's folders, the
// registry, and Jw_cad started as a process of its own.

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "desktop/jwcad.h"
#include "desktop/locations.h"
#include "desktop/registry_win32.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/temporary.h"

namespace plattero::desktop {

namespace {

std::wstring WideText(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

std::u16string TextOfWide(std::wstring_view text) {
  return std::u16string(text.begin(), text.end());
}

}  // namespace

// --- Locations ---------------------------------------------------------------------

namespace {

std::u16string WithBackslash(std::u16string folder) {
  if (folder.empty() || (folder.back() != u'\\' && folder.back() != u'/')) folder += u'\\';
  return folder;
}

}  // namespace

std::u16string ConfigHome() {
  const std::u16string appdata = platform::EnvText("APPDATA");
  return appdata.empty() ? std::u16string() : WithBackslash(appdata);
}

std::u16string InstalledSettingsFile() {
  const std::u16string config = ConfigHome();
  return config.empty() ? std::u16string() : config + u"Plattero\\plattero.dat";
}

std::u16string InstalledImageRoot() {
  const std::u16string local = platform::EnvText("LOCALAPPDATA");
  return local.empty() ? std::u16string() : WithBackslash(local) + u"Plattero\\";
}

std::u16string PrivateImageRoot() {
  const std::u16string local = platform::EnvText("LOCALAPPDATA");
  if (local.empty()) return platform::TempRoot();
  const std::u16string root = WithBackslash(local) + u"Plattero";
  platform::MakeFolders(root);
  return root;
}

// --- The registry -------------------------------------------------------------------

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

// --- Jw_cad -------------------------------------------------------------------------

std::u16string GetJwwAppPath() {
  return JwwAppPathFrom(
      [](const std::u16string& key) { return ReadRegistryDefault(HKEY_CLASSES_ROOT, key); });
}

const bool kJwCadStartWaits = true;

bool StartJwCad(const std::u16string& file, const std::u16string& jww_path) {
  // Jw_cad is given the path in the system's own form.
  std::u16string path = file;
  for (char16_t& c : path) {
    if (c == u'/') c = u'\\';
  }
  std::wstring command = WideText(JwCadCommandLine(path, jww_path));
  const std::wstring folder = WideText(jww_path);
  // Our own start-up information is passed on (how the window is shown);
  // standard handles are not, as nothing is inherited.
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  ::GetStartupInfoW(&startup);
  startup.dwFlags &= ~static_cast<DWORD>(STARTF_USESTDHANDLES);
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nullptr;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE,
                        nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    return false;
  }
  ::WaitForInputIdle(process.hProcess, INFINITE);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

}  // namespace plattero::desktop
