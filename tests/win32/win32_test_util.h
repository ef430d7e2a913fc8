#pragma once

// Driving the Windows window in-process: a window whose dialogs the test
// answers, the thread's messages pumped until something holds, files dropped
// as Explorer drops them, and pixels painted into a bitmap.

#include <windows.h>
// (after windows.h)
#include <shlobj.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dialog_answers.h"
#include "win32/form_window.h"

namespace plattero::win32::testing {

// The main window with its dialogs answered by the test.
class TTestWindow : public TFormWindow, public ::plattero::testing::DialogAnswers {
 public:
  using TFormWindow::TFormWindow;
  std::vector<std::u16string> OpenDrawings(const window::TFileDialogRequest& r) override {
    return AnswerOpen(r);
  }
  std::optional<std::u16string> SaveDrawing(const window::TFileDialogRequest& r) override {
    return AnswerSave(r);
  }
  void ShowMessage(const std::u16string& text) override { messages.push_back(text); }
  bool AskYesNo(const std::u16string& text) override { return AnswerQuestion(text); }
};

// Dispatches this thread's messages one at a time, calling `each` after
// every one, until `done` holds or a minute has passed.
inline bool PumpUntil(const std::function<bool()>& done,
                      const std::function<void()>& each = nullptr) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!done() && std::chrono::steady_clock::now() < end) {
    MSG msg;
    if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
      if (each) each();
    } else {
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }
  return done();
}

// Dispatches what is queued now.
inline void Pump() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// A drop as Explorer hands it over: DROPFILES followed by the wide paths,
// each ended by a NUL, the list by a second one. The receiver frees it.
inline HDROP MakeDrop(const std::vector<std::u16string>& paths) {
  std::size_t chars = 1;
  for (const std::u16string& p : paths)
    chars += p.size() + 1;
  const HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->pt = {10, 10};
  drop->fWide = TRUE;
  auto* out = reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES));
  for (const std::u16string& p : paths) {
    for (const char16_t c : p)
      *out++ = static_cast<wchar_t>(c);
    *out++ = L'\0';
  }
  ::GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

// What a paint call drew into a bitmap of `width` x `height` pixels.
struct TPixels {
  int width = 0, height = 0;
  std::vector<std::uint32_t> rgb;  // 0xRRGGBB, rows from the top
  std::uint32_t at(int x, int y) const {
    return rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(x)];
  }
  int Count(const std::function<bool(std::uint32_t)>& which) const {
    int n = 0;
    for (const std::uint32_t c : rgb)
      n += which(c);
    return n;
  }
};

inline TPixels Capture(int width, int height, const std::function<void(HDC)>& paint) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const HDC screen = ::GetDC(nullptr);
  void* bits = nullptr;
  const HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HDC dc = ::CreateCompatibleDC(screen);
  const HGDIOBJ old = ::SelectObject(dc, bitmap);
  paint(dc);
  ::GdiFlush();
  TPixels pixels{width, height, {}};
  const auto* p = static_cast<const std::uint32_t*>(bits);
  pixels.rgb.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int i = 0; i < width * height; ++i)
    pixels.rgb.push_back(p[i] & 0xFFFFFF);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::DeleteObject(bitmap);
  ::ReleaseDC(nullptr, screen);
  return pixels;
}

}  // namespace plattero::win32::testing
