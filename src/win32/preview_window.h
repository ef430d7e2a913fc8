#pragma once

// The arrangement preview on Windows: a top-level window of its own beside
// the main one (not owned by it: either goes behind the other when that is
// clicked) that shows the tiles' paper frames in their order, labelled with
// each drawing's file name, and the drawings themselves once read
// (window::TPreviewModel decides what; this paints it with GDI). The wheel
// zooms at the cursor, dragging moves the picture, a double-click fits it.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "render/preview.h"
#include "win32/system.h"
#include "window/form.h"
#include "window/preview_view.h"

namespace plattero::win32 {

// Paints a preview picture into a device context of `width` x `height`
// pixels, white behind it, texts in `font`'s face; fitted, or through `view`.
void PaintPreviewPicture(HDC dc, int width, int height, const render::TPreviewPicture& picture,
                         const LOGFONTW& font,
                         const std::optional<render::TPreviewView>& view = std::nullopt);

class TPreviewWindow : public window::TPreviewPane {
 public:
  // `post` runs a task on the window's thread later, after a delay in
  // milliseconds (from any thread); `on_activated` is called when the window
  // becomes active again. It is made at the DPI of `main`, hidden.
  TPreviewWindow(HWND main, std::function<void(std::function<void()>, int)> post,
                 std::function<void()> on_activated);
  ~TPreviewWindow() override;
  TPreviewWindow(const TPreviewWindow&) = delete;
  TPreviewWindow& operator=(const TPreviewWindow&) = delete;

  void ShowPicture(const render::TPreviewPicture& picture) override;
  void ShowStatus(const std::u16string& text) override;
  void Post(std::function<void()> task, int delay_ms = 0) override;

  // Shows the window and brings it forward; Hide keeps it for later.
  void Show();
  void Hide();
  bool Visible() const;
  // Goes with the main window.
  void Destroy();

  HWND Handle() const { return hwnd_; }
  HWND StatusText() const { return status_; }
  const render::TPreviewPicture& Picture() const { return picture_; }
  const window::TPreviewNavigator& Navigator() const { return navigator_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void ApplyDpi(UINT dpi);
  void Layout();
  // Paints the client area into `dc` (the window's, or a bitmap's).
  void Paint(HDC dc);
  // The picture's part of the client area (above the status line).
  SIZE CanvasSize() const;
  void ViewChanged();

  HWND hwnd_ = nullptr;
  HWND status_ = nullptr;
  std::function<void(std::function<void()>, int)> post_;
  std::function<void()> on_activated_;
  render::TPreviewPicture picture_;
  window::TPreviewNavigator navigator_;
  LOGFONTW font_{};
  TFont status_font_;
  int status_height_ = 0;
  // The picture painted at the canvas's size, until either changes.
  HBITMAP painted_ = nullptr;
  SIZE painted_size_{};
  render::TPreviewView painted_view_;  // the view painted_ was painted with
};

}  // namespace plattero::win32
