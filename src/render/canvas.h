#pragma once

// What every painter of a preview picture computes alike, whatever it paints
// with (Qt on Linux, GDI on Windows): where a point lands on the canvas, the
// colour a pen shows on white, the points of an arc, how large a text or a
// label is drawn, and which shape is drawn with which call. A painter only
// turns the calls of TCanvasPainter into its toolkit's own.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "render/preview.h"
#include "render/scene.h"

namespace plattero::render {

// Canvas coordinates (pixels, y down) of drawing coordinates (y up), for a
// scene scaled by k and moved by (dx, dy). Kept within +-1e7, so that no
// painter's integer pixels overflow however the picture is scaled.
class TCanvasMap {
 public:
  TCanvasMap(const TPreviewView& view, double dx = 0, double dy = 0, double k = 1)
      : view_(view), dx_(dx), dy_(dy), k_(k) {}
  TPoint operator()(double x, double y) const;
  TPoint operator()(const TPoint& p) const { return (*this)(p.x, p.y); }
  // Pixels per unit of the scene's drawing.
  double Scale() const { return view_.scale * k_; }

 private:
  TPreviewView view_;
  double dx_, dy_, k_;
};

// The colour a pen shows on a white canvas (0xRRGGBB): colours too pale to
// see turn grey.
std::uint32_t InkOnWhite(std::uint32_t rgb);
// The red of paper frames.
inline constexpr std::uint32_t kFrameInk = 0xD02020;

// The canvas points of an arc that is not a whole ellipse, from its start to
// its end in its own direction, enough of them to look round at this scale.
std::vector<TPoint> ArcPoints(const TShape& arc, const TCanvasMap& map);
// The canvas outline of a round solid, closed by its last point's edge back
// to the first: its whole ellipse, or its arc with the centre before it (a
// sector) or alone (a segment); nothing when too large to draw.
std::vector<TPoint> RoundSolidOutline(const TShape& solid, const TCanvasMap& map);
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

// What a toolkit draws a preview picture with: canvas pixels (y down), ink as
// 0xRRGGBB already made visible on white, lines one pixel wide, solid or
// dashed.
class TCanvasPainter {
 public:
  virtual ~TCanvasPainter() = default;
  virtual void Line(const TPoint& a, const TPoint& b, std::uint32_t ink, bool dashed) = 0;
  virtual void Polyline(const std::vector<TPoint>& points, std::uint32_t ink, bool dashed) = 0;
  virtual void Ellipse(const TCanvasEllipse& e, std::uint32_t ink, bool dashed) = 0;
  // A point: a dot two pixels across.
  virtual void Dot(const TPoint& p, std::uint32_t ink) = 0;
  // A filled polygon without an outline.
  virtual void Polygon(const std::vector<TPoint>& points, std::uint32_t ink) = 0;
  // How wide `text` is drawn in the canvas's font at a pixel size of `px`
  // (rounded to whole pixels, at least 1).
  virtual double TextWidth(const std::u16string& text, double px) = 0;
  // `text` at that size with its base line starting at `at`, turned `degrees`
  // counter-clockwise and stretched `stretch` times along its base line.
  virtual void Text(const TPoint& at, const std::u16string& text, double px, double degrees,
                    double stretch, std::uint32_t ink) = 0;
  // A rectangle without fill; the label, when box.label_px is not 0, inside
  // its top left corner at that pixel size, cut short with an ellipsis where
  // the box is too narrow.
  virtual void Box(const TCanvasBox& box, const std::u16string& label, std::uint32_t ink,
                   bool dashed) = 0;
};

// Pixels left free around a preview picture on its canvas.
inline constexpr double kPreviewMargin = 12;

// Paints a preview picture fitted into a canvas of `width` x `height` pixels
// (on a background the painter has filled): the scenes in their order, then
// every frame in its colour (FrameRgb: kFrameInk for a paper, dashed) with
// its label `label_px` high.
void PaintPreview(const TPreviewPicture& picture, double width, double height, double label_px,
                  TCanvasPainter& painter);
// The same seen through `view` (zoomed or moved by the user); scenes that lie
// wholly off the canvas are not painted.
void PaintPreview(const TPreviewPicture& picture, const TPreviewView& view, double width,
                  double height, double label_px, TCanvasPainter& painter);

}  // namespace plattero::render
