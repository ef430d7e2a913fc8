// The Windows program: one window, no command-line arguments.

#include <windows.h>

#include "platform/temporary.h"
#include "win32/form_window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  // Before any thread: the window's private folders go when the program is
  // ended from outside.
  plattero::platform::InstallInterruptCleanup();
  plattero::win32::TFormWindow form(plattero::win32::TFormOptions{{}, true});
  form.Show(show);
  MSG msg{};
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (form.TranslateNavigation(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
