#include "win32/system.h"

#include <commctrl.h>

#include <cmath>

namespace plattero::win32 {

namespace {

// Looked up once: these exist from Windows 10 version 1607 on.
template <class F>
F UserFunction(const char* name) {
  static const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(user32, name)))
                : nullptr;
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

UINT SystemDpi() {
  const HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

void RegisterWindowClass(const wchar_t* name, WNDPROC proc, UINT style) {
  static const bool controls = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES |
                                             ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    return ::InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)controls;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  if (::GetClassInfoExW(wc.hInstance, name, &wc)) return;  // registered before
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hIcon = ::LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  ::RegisterClassExW(&wc);
}

std::u16string WindowText(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return U(text);
}

UINT DpiOf(HWND hwnd) {
  static const auto get_dpi = UserFunction<GetDpiForWindowFn>("GetDpiForWindow");
  if (get_dpi && hwnd) {
    if (const UINT dpi = get_dpi(hwnd)) return dpi;
  }
  return SystemDpi();
}

LOGFONTW MessageFontFor(UINT dpi) {
  static const auto for_dpi =
      UserFunction<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (for_dpi && for_dpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
    return metrics.lfMessageFont;
  // Older systems give the font at the system's DPI.
  if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    LOGFONTW fallback{};
    fallback.lfHeight = -12;
    fallback.lfCharSet = DEFAULT_CHARSET;
    ::lstrcpynW(fallback.lfFaceName, L"MS Shell Dlg 2", LF_FACESIZE);
    metrics.lfMessageFont = fallback;
  }
  LOGFONTW lf = metrics.lfMessageFont;
  lf.lfHeight = static_cast<LONG>(std::lround(lf.lfHeight * double(dpi) / SystemDpi()));
  return lf;
}

SIZE OuterSize(int width, int height, DWORD style, DWORD ex_style, UINT dpi) {
  static const auto adjust = UserFunction<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
  RECT r{0, 0, width, height};
  if (!adjust || !adjust(&r, style, FALSE, ex_style, dpi))
    ::AdjustWindowRectEx(&r, style, FALSE, ex_style);
  return {r.right - r.left, r.bottom - r.top};
}

}  // namespace plattero::win32
