#include "render/canvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "util/text.h"

namespace plattero::render {

namespace {

constexpr double kPi = std::numbers::pi;

double Clamp(double v) {
  return std::isfinite(v) ? std::clamp(v, -1e7, 1e7) : 0.0;
}

// Parameter angle of a point on the arc's ellipse, in its axes' frame.
double ParamOf(const TShape& s, const TPoint& p) {
  const double c = std::cos(s.rot), sn = std::sin(s.rot);
  const double u = (p.x - s.a.x) * c + (p.y - s.a.y) * sn;
  const double v = -(p.x - s.a.x) * sn + (p.y - s.a.y) * c;
  return std::atan2(v / s.ry, u / s.rx);
}

// Canvas points of the shape's ellipse from parameter t0 over sweep, steps + 1
// of them.
std::vector<TPoint> EllipsePoints(const TShape& s, const TCanvasMap& map, double t0, double sweep,
                                  int steps) {
  const double c = std::cos(s.rot), sn = std::sin(s.rot);
  std::vector<TPoint> points;
  points.reserve(static_cast<std::size_t>(steps) + 1);
  for (int i = 0; i <= steps; ++i) {
    const double t = t0 + sweep * i / steps;
    const double u = s.rx * std::cos(t), v = s.ry * std::sin(t);
    points.push_back(map(s.a.x + u * c - v * sn, s.a.y + u * sn + v * c));
  }
  return points;
}

// Enough points for `sweep` of an ellipse rx_px wide to look round.
int StepsFor(double sweep, double rx_px, double most) {
  return static_cast<int>(std::clamp(std::fabs(sweep) * rx_px / 3, 2.0, most));
}

}  // namespace

TPoint TCanvasMap::operator()(double x, double y) const {
  return {Clamp(view_.x0 + (x * k_ + dx_) * view_.scale),
          Clamp(view_.y0 - (y * k_ + dy_) * view_.scale)};
}

std::uint32_t InkOnWhite(std::uint32_t rgb) {
  const std::uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  if (r > 0xE0 && g > 0xE0 && b > 0xE0) return 0xA0A0A0;
  return rgb & 0xFFFFFF;
}

std::vector<TPoint> ArcPoints(const TShape& s, const TCanvasMap& map) {
  const double rx_px = s.rx * map.Scale();
  if (!(s.rx > 0) || !(s.ry > 0) || !(rx_px < 1e7)) {
    return {map(s.start), map(s.mid), map(s.end)};  // degenerate or huge: its three points
  }
  // The middle point lies half way along the arc; the half sweep is below
  // half a turn, in the arc's direction.
  const double t0 = ParamOf(s, s.start);
  double half = std::fmod(ParamOf(s, s.mid) - t0 + 4 * kPi, 2 * kPi);
  if (!s.ccw) half = -std::fmod(t0 - ParamOf(s, s.mid) + 4 * kPi, 2 * kPi);
  const double sweep = 2 * half;
  return EllipsePoints(s, map, t0, sweep, StepsFor(sweep, rx_px, 90));
}

std::vector<TPoint> RoundSolidOutline(const TShape& s, const TCanvasMap& map) {
  if (!s.full) {
    std::vector<TPoint> points = ArcPoints(s, map);
    if (s.sector) points.insert(points.begin(), map(s.a));
    return points;
  }
  const double rx_px = s.rx * map.Scale();
  if (!(rx_px < 1e7)) return {};
  return EllipsePoints(s, map, 0, 2 * kPi, std::max(8, StepsFor(2 * kPi, rx_px, 180)));
}

std::optional<TCanvasEllipse> EllipseOnCanvas(const TShape& s, const TCanvasMap& map) {
  const double rx_px = s.rx * map.Scale(), ry_px = s.ry * map.Scale();
  if (!(rx_px < 1e7)) return std::nullopt;
  return TCanvasEllipse{map(s.a), rx_px, ry_px, s.rot * 180 / kPi};
}

std::optional<double> TextPixels(const TShape& s, const TCanvasMap& map) {
  const double px = s.height * map.Scale();
  if (!(px >= 3) || !(px <= 2000)) return std::nullopt;  // unreadable, or larger than a screen
  return px;
}

double TextStretch(const TShape& s, const TCanvasMap& map, double natural_px) {
  if (!(s.length > 0)) return 1;
  const double wanted = s.length * map.Scale();
  return natural_px > 0 && wanted > 0 && wanted < 1e7 ? wanted / natural_px : 1;
}

TCanvasBox BoxOnCanvas(const TPoint& a, const TPoint& b, const TCanvasMap& map, double label_px) {
  const TPoint p = map(std::min(a.x, b.x), std::max(a.y, b.y));
  const TPoint q = map(std::max(a.x, b.x), std::min(a.y, b.y));
  TCanvasBox box{std::min(p.x, q.x), std::min(p.y, q.y), std::max(p.x, q.x), std::max(p.y, q.y), 0};
  const bool room =
      label_px >= 6 && box.bottom - box.top >= label_px + 4 && box.right - box.left >= 16;
  box.label_px = room ? std::min(label_px, 200.0) : 0;
  return box;
}

namespace {

void PaintShape(const TShape& s, const TCanvasMap& map, TCanvasPainter& painter) {
  const std::uint32_t ink = InkOnWhite(s.pen.rgb);
  const bool dashed = !s.pen.dash.empty();
  switch (s.kind) {
    case TShapeKind::kLine:
      painter.Line(map(s.a), map(s.b), ink, dashed);
      break;
    case TShapeKind::kArc:
      if (!s.full) {
        painter.Polyline(ArcPoints(s, map), ink, dashed);
      } else if (const auto e = EllipseOnCanvas(s, map)) {
        painter.Ellipse(*e, ink, dashed);
      }
      break;
    case TShapeKind::kPoint:
      painter.Dot(map(s.a), ink);
      break;
    case TShapeKind::kSolid:
      painter.Polygon({map(s.quad[0]), map(s.quad[1]), map(s.quad[2]), map(s.quad[3])}, ink);
      break;
    case TShapeKind::kRoundSolid:
      if (const auto outline = RoundSolidOutline(s, map); !outline.empty())
        painter.Polygon(outline, ink);
      break;
    case TShapeKind::kText:
      if (const auto px = TextPixels(s, map)) {
        const std::u16string text = Utf8ToUtf16(s.text);
        const double stretch = TextStretch(s, map, painter.TextWidth(text, *px));
        painter.Text(map(s.a), text, *px, s.angle, stretch, ink);
      }
      break;
    case TShapeKind::kImage:
    case TShapeKind::kFrame:
      painter.Box(BoxOnCanvas(s.a, s.b, map, s.height * map.Scale()), Utf8ToUtf16(s.text), ink,
                  false);
      break;
  }
}

}  // namespace

void PaintPreview(const TPreviewPicture& picture, double width, double height, double label_px,
                  TCanvasPainter& painter) {
  PaintPreview(picture, FitView(picture.extents, width, height, kPreviewMargin), width, height,
               label_px, painter);
}

void PaintPreview(const TPreviewPicture& picture, const TPreviewView& view, double width,
                  double height, double label_px, TCanvasPainter& painter) {
  for (const TPlacedScene& placed : picture.scenes) {
    const TCanvasMap map(view, placed.dx, placed.dy, placed.k);
    const TBox& e = placed.scene->extents;
    if (!e.empty) {
      // Zoomed in on one tile, the others need no painting. The extents hold
      // a text's start only: a canvas's breadth of room is left for its run.
      const TPoint a = map(e.min_x, e.max_y), b = map(e.max_x, e.min_y);
      if (b.x < -width || a.x > 2 * width || b.y < -height || a.y > 2 * height) continue;
    }
    for (const TShape& s : placed.scene->shapes)
      PaintShape(s, map, painter);
  }
  const TCanvasMap map(view);
  for (const TPaperFrame& f : picture.frames) {
    painter.Box(BoxOnCanvas({f.x, f.y}, {f.x + f.width, f.y + f.height}, map,
                            f.label.empty() ? 0 : label_px),
                f.label, FrameRgb(f), FrameDashed(f));
  }
}

}  // namespace plattero::render
