// Jw_cad on Windows: the association from HKEY_CLASSES_ROOT, and Jw_cad
// started as a process of its own.

#include <windows.h>

#include "platform/file_system.h"
#include "platform/jwcad.h"
#include "platform/registry_win32.h"
#include "platform/win32_internal.h"
#include "util/text.h"

namespace plattero::platform {

std::u16string GetJwwAppPath() {
  return JwwAppPathFrom(
      [](const std::u16string& key) { return ReadRegistryDefault(HKEY_CLASSES_ROOT, key); });
}

const bool kJwCadStartWaits = true;

bool OpenInJwCad(const std::u16string& file, const std::u16string& jww_path) {
  if (!IsExistingFile(file)) return false;
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

}  // namespace plattero::platform
