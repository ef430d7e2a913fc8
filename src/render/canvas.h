#pragma once

// What every painter of a preview picture computes alike, whatever it paints
// with (Qt on Linux, GDI on Windows): where a point lands on the canvas, the
// colour a pen shows on white, the points of an arc, how large a text or a
// label is drawn. A painter only turns the results into its own calls.

#include <cstdint>
#include <optional>
#include <vector>

#include "render/preview.h"
#include "render/scene.h"

namespace plattero::render {

// Canvas coordinates (pixels, y down) of drawing coordinates (y up), for a
// scene moved by (dx, dy). Kept within +-1e7, so that no painter's integer
// pixels overflow however the picture is scaled.
class TCanvasMap {
 public:
  TCanvasMap(const TPreviewView& view, double dx = 0, double dy = 0)
      : view_(view), dx_(dx), dy_(dy) {}
  TPoint operator()(double x, double y) const;
  TPoint operator()(const TPoint& p) const { return (*this)(p.x, p.y); }
  // Pixels per drawing unit.
  double Scale() const { return view_.scale; }

 private:
  TPreviewView view_;
  double dx_, dy_;
};

// The colour a pen shows on a white canvas (0xRRGGBB): colours too pale to
// see turn grey.
std::uint32_t InkOnWhite(std::uint32_t rgb);
// The red of paper frames.
inline constexpr std::uint32_t kFrameInk = 0xD02020;

// The canvas points of an arc that is not a whole ellipse, from its start to
// its end in its own direction, enough of them to look round at this scale.
std::vector<TPoint> ArcPoints(const TShape& arc, const TCanvasMap& map);
// A whole ellipse on the canvas: centre, semi-axes in pixels and rotation in
// degrees counter-clockwise as the canvas shows it; nothing when too large
// to draw.
struct TCanvasEllipse {
  TPoint centre;
  double rx = 0, ry = 0, degrees = 0;
};
std::optional<TCanvasEllipse> EllipseOnCanvas(const TShape& arc, const TCanvasMap& map);

// A text's height in pixels, or nothing when it is too small to read or
// larger than a screen.
std::optional<double> TextPixels(const TShape& text, const TCanvasMap& map);
// How much to stretch a text drawn `natural_px` wide so that it fills its
// base line; 1 when it has none.
double TextStretch(const TShape& text, const TCanvasMap& map, double natural_px);

// The rectangle of an image reference or a paper frame on the canvas, and the
// pixel height of its label (0: no room for one).
struct TCanvasBox {
  double left = 0, top = 0, right = 0, bottom = 0;
  double label_px = 0;
};
TCanvasBox BoxOnCanvas(const TPoint& a, const TPoint& b, const TCanvasMap& map, double label_px);

}  // namespace plattero::render
