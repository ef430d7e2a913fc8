// Locations on Windows.

#include <windows.h>

#include <string>

#include "platform/environment.h"
#include "platform/locations.h"
#include "platform/temporary.h"
#include "platform/win32_internal.h"

namespace plattero::platform {

namespace {

std::u16string WithBackslash(std::u16string folder) {
  if (folder.empty() || (folder.back() != u'\\' && folder.back() != u'/')) folder += u'\\';
  return folder;
}

}  // namespace

std::u16string ExecutableFile() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return TextOfWide(path);
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

std::u16string ConfigHome() {
  const std::u16string appdata = EnvText("APPDATA");
  return appdata.empty() ? std::u16string() : WithBackslash(appdata);
}

std::u16string InstalledSettingsFile() {
  const std::u16string config = ConfigHome();
  return config.empty() ? std::u16string() : config + u"Plattero\\plattero.dat";
}

std::u16string InstalledImageRoot() {
  const std::u16string local = EnvText("LOCALAPPDATA");
  return local.empty() ? std::u16string() : WithBackslash(local) + u"Plattero\\";
}

std::u16string PrivateImageRoot() {
  const std::u16string local = EnvText("LOCALAPPDATA");
  if (local.empty()) return TempRoot();
  const std::u16string root = WithBackslash(local) + u"Plattero";
  MakeFolders(root);
  return root;
}

char16_t PathSeparator() {
  return u'\\';
}

}  // namespace plattero::platform
