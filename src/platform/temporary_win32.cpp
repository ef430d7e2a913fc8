// Temporary folders and interrupts on Windows.

#include <windows.h>

#include <random>

#include "platform/temporary.h"
#include "platform/temporary_internal.h"
#include "platform/win32_internal.h"

namespace plattero::platform {

namespace {

BOOL WINAPI OnConsoleEvent(DWORD event) {
  // Runs on a thread of its own that the system starts for the event.
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT &&
      event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT)
    return FALSE;
  CleanUpForInterrupt();
  // The exit code of a program ended by Ctrl+C.
  ::ExitProcess(STATUS_CONTROL_C_EXIT);
  return TRUE;
}

}  // namespace

std::u16string TempRoot() {
  std::wstring path(MAX_PATH + 1, L'\0');
  for (;;) {
    const DWORD n = ::GetTempPathW(static_cast<DWORD>(path.size()), path.data());
    if (n == 0) return u".";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(n + 1);
  }
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/'))
    path.pop_back();
  return TextOfWide(path);
}

std::optional<std::u16string> MakePrivateFolder(std::u16string_view root,
                                                std::u16string_view prefix, TFileStatus* status) {
  static constexpr char16_t kChars[] =
      u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  std::u16string base(root);
  if (base.empty() || (base.back() != u'\\' && base.back() != u'/')) base += u'\\';
  base += prefix;
  DWORD error = ERROR_ALREADY_EXISTS;
  for (int attempt = 0; attempt < 100 && error == ERROR_ALREADY_EXISTS; ++attempt) {
    // Six random characters, as mkdtemp makes them elsewhere.
    std::u16string path = base;
    for (int i = 0; i < 6; ++i)
      path += kChars[rng() % (sizeof kChars / sizeof kChars[0] - 1)];
    const std::optional<std::u16string> made =
        MakeRegistered([&]() -> std::optional<std::u16string> {
          if (!::CreateDirectoryW(ApiPath(path).c_str(), PrivateFolderSecurity())) {
            error = ::GetLastError();
            return std::nullopt;
          }
          return path;
        });
    if (made) {
      if (status) *status = {};
      return made;
    }
  }
  if (status) *status = StatusFromWin32(error);
  return std::nullopt;
}

void InstallInterruptCleanup() {
  // Ctrl+C, Ctrl+Break and a closed console first remove every registered
  // path. (A file-size limit, as POSIX systems have one, does not exist here.)
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

}  // namespace plattero::platform
