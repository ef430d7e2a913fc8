// Stands in for Jw_cad ("Jw_win.exe") in tests: appends its command line and
// its current folder, each on a line of UTF-8, to the file named by
// PLATTERO_FAKE_JW_RECORD, then waits for input once and ends.

#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::wstring record(32768, L'\0');
  if (!::GetEnvironmentVariableW(L"PLATTERO_FAKE_JW_RECORD", record.data(), 32768)) return 1;
  std::wstring folder(32768, L'\0');
  folder.resize(::GetCurrentDirectoryW(32768, folder.data()));
  const std::wstring text = std::wstring(::GetCommandLineW()) + L"\n" + folder + L"\n";
  std::string bytes(text.size() * 3, '\0');
  bytes.resize(::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                     nullptr));
  const HANDLE file = ::CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  // Idle for input: whoever started us stops waiting.
  MSG msg;
  ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
  return 0;
}
