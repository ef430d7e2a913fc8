#pragma once

// What the Windows window needs of the system beyond the plain API: text in
// the API's form, the dots per inch of a window and the sizes and fonts that
// follow from them. Functions of newer Windows versions are looked up when
// first used, so that the program still starts where they are missing.

#include <windows.h>

#include <string>

namespace plattero::win32 {

inline std::wstring W(const std::u16string& s) {
  return {s.begin(), s.end()};
}
inline std::u16string U(const std::wstring& s) {
  return {s.begin(), s.end()};
}

// Registers a window class of this program once (and the common controls
// with the first one): the program's icon, the arrow cursor, the dialog
// colour behind.
void RegisterWindowClass(const wchar_t* name, WNDPROC proc, UINT style = 0);

// A window's text.
std::u16string WindowText(HWND hwnd);

// The dots per inch of the screen a window is on (96 when unknown).
UINT DpiOf(HWND hwnd);

// The system's font for message boxes and dialogs, at a screen's DPI.
LOGFONTW MessageFontFor(UINT dpi);

// The outer size of a window whose client area is `width` x `height` pixels.
SIZE OuterSize(int width, int height, DWORD style, DWORD ex_style, UINT dpi);

// A font made from a LOGFONT, deleted with the object.
class TFont {
 public:
  TFont() = default;
  explicit TFont(const LOGFONTW& lf) : font_(::CreateFontIndirectW(&lf)) {}
  ~TFont() { Reset(); }
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;
  TFont(TFont&& other) noexcept : font_(other.font_) { other.font_ = nullptr; }
  TFont& operator=(TFont&& other) noexcept {
    if (this != &other) {
      Reset();
      font_ = other.font_;
      other.font_ = nullptr;
    }
    return *this;
  }
  HFONT get() const { return font_; }

 private:
  void Reset() {
    if (font_) ::DeleteObject(font_);
    font_ = nullptr;
  }
  HFONT font_ = nullptr;
};

}  // namespace plattero::win32
