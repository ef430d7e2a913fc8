#pragma once

// The preview window's logic that either toolkit shares: where it opens
// beside the main window, how the view follows the wheel, drags and
// double-clicks, and what its status line says about the drawings.

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "render/preview.h"
#include "window/form.h"

namespace plattero::window {

// The smallest preview that is worth opening beside the main window; with
// less room than this on every side it opens at its size where it covers the
// least of the main window.
inline constexpr int kMinPreviewWidth = 240;
inline constexpr int kMinPreviewHeight = 180;

// Where the preview's frame goes. `kept` is where it was last (a width or
// height below 120 x 100 means none): it goes there again when that lies on
// a screen. Otherwise it opens beside the main window's frame `main`, `width`
// x `height` large (kept's size when usable): on the main window's screen to
// its right, else below it, else to its left, else above it, else the same
// on another screen; where there is room only for a smaller one, in the
// largest such room, shrunk to it. `screens` are the screens' work areas.
TRect PlacePreview(const TRect& kept, const TRect& main, int width, int height,
                   const std::vector<TRect>& screens);

// The preview's view of its picture as the mouse moves it: fitted to the
// canvas until the user zooms or drags, then where the user put it until a
// double-click fits it again. A toolkit hands its events here and paints
// with View().
class TPreviewNavigator {
 public:
  // The canvas's size in pixels. A view the user set keeps its centre.
  void Resize(double width, double height);
  // The picture's extents; a fitted view follows them.
  void SetExtents(const render::TBox& extents);
  // Wheel turned by `notches` (positive: away from the user) with the cursor
  // at (x, y): zooms in or out about that point, between a tenth of the
  // fitted scale and 2000 times it.
  void Wheel(double notches, double x, double y);
  // Left button pressed, the mouse moved, the button released: the picture
  // follows the mouse. Drag is true when the view changed.
  void Press(double x, double y);
  bool Drag(double x, double y);
  void Release();
  bool Dragging() const { return grab_.has_value(); }
  // A double-click: everything fits the canvas again.
  void Fit();
  bool Fitted() const { return !user_.has_value(); }

  render::TPreviewView View() const;

 private:
  render::TPreviewView FittedView() const;

  double width_ = 0, height_ = 0;
  render::TBox extents_;
  std::optional<render::TPreviewView> user_;  // none: fitted
  std::optional<render::TPoint> grab_;        // where the mouse was last while dragging
};

// The preview's status line: Start's message when it would refuse the
// choices (the layout's refusal); else that drawings are being read, and how many drawings are
// missing, no drawings at all, only partly read, or shown as a frame only because those before
// them fill what the preview draws.
std::u16string PreviewStatus(
    const TFieldChoices& in, const render::TPreviewLayout& layout,
    const std::unordered_map<std::u16string, render::TPreviewScene>& scenes, bool reading);

}  // namespace plattero::window
