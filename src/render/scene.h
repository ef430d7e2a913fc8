#pragma once

// A drawing flattened into simple shapes in drawing coordinates (millimetres
// on paper, y axis up): block references expanded through the nesting tree,
// hidden layers left out, colours and line types resolved from the drawing's
// tables. Any canvas can paint it; svg.h writes it as SVG.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jww/jww_data.h"

namespace plattero::render {

struct TPoint {
  double x = 0, y = 0;
};

// How a shape is stroked or filled.
struct TPen {
  std::uint32_t rgb = 0;  // 0xRRGGBB
  int width = 1;          // pen width 1..16 from the pen or its colour
  // Dash pattern as on/off run lengths in pattern units, starting with "on";
  // empty for a solid line.
  std::vector<int> dash;
};

enum class TShapeKind {
  kLine,   // a, b
  kArc,    // an elliptic arc or a whole ellipse (see TShape)
  kPoint,  // a
  kSolid,  // quad[0..3], filled
  // A filled whole ellipse, or the part of one that an arc bounds: closed
  // through the centre (a sector) or along the arc's chord (a segment). The
  // ellipse and the arc as for kArc.
  kRoundSolid,
  kText,   // text at a with height, angle, length
  kImage,  // image reference: frame from a to b, label text
  kFrame,  // paper frame: rectangle from a to b, label text
};

// Where a shape came from, for the SVG class and for tests.
enum class TShapeSource { kEntity, kDimension };

struct TShape {
  TShapeKind kind = TShapeKind::kLine;
  TShapeSource source = TShapeSource::kEntity;
  TPen pen;
  TPoint a, b;
  TPoint quad[4];
  // Arc: centre a, semi-axes rx >= ry, rotation of the rx axis (radians, from
  // the x axis counter-clockwise), start and end points, a point half way and
  // the direction. `full` draws the whole ellipse.
  double rx = 0, ry = 0, rot = 0;
  TPoint start, mid, end;
  bool ccw = true;
  bool full = false;
  bool large = false;   // the arc sweeps more than half the ellipse
  bool sector = false;  // round solid: closed through the centre, not along the chord
  // Text: height (character height), angle in degrees counter-clockwise,
  // length of the base line (0 = natural width), spacing between characters,
  // font name and the text as UTF-8.
  double height = 0, angle = 0, length = 0, spacing = 0;
  std::string font;
  std::string text;
};

struct TBox {
  double min_x = 0, min_y = 0, max_x = 0, max_y = 0;
  bool empty = true;
  void Add(double x, double y);
  void Add(const TPoint& p) { Add(p.x, p.y); }
};

struct TScene {
  std::vector<TShape> shapes;
  TBox extents;
  // Pattern units are millimetres times this (line types are defined in
  // whole units; 0.5 mm each looks like the printed patterns).
  double dash_unit = 0.5;
  // Shapes stopped at the cap on their number; the rest is not drawn.
  bool cut = false;
};

// A point (px, py) of a block definition lies at (x + r1*px + r2*py,
// y + r3*px + r4*py).
struct TMap {
  double x = 0, y = 0, r1 = 1, r2 = 0, r3 = 0, r4 = 1;
  TPoint operator()(double px, double py) const {
    return {x + r1 * px + r2 * py, y + r3 * px + r4 * py};
  }
};

// The colour 0xRRGGBB of a pen colour number: 1..9 from the pen-colour table,
// 101..356 from the extended table; black when the tables lack it.
std::uint32_t PenRgb(const TJwwData& doc, std::uint32_t pen_color);

// False when the layer group or the layer of (group, layer) is switched off
// (state 0). Layers outside the tables count as shown.
bool LayerShown(const TJwwData& doc, std::uint32_t group, std::uint32_t layer);

// A damaged nesting tree can place a large definition hundreds of thousands
// of times; a picture stops growing here.
inline constexpr std::size_t kMaxSceneShapes = 1'000'000;

// Flattens the drawing. Entities with coordinates that are not finite or
// beyond 1e12 are left out; so are temporary points. The scene stops at
// max_shapes shapes (at most kMaxSceneShapes) and is then marked cut.
TScene BuildScene(const TJwwData& doc, std::size_t max_shapes = kMaxSceneShapes);

// Adds the shape to the scene and its extents.
void AddShape(TScene& scene, TShape shape);

// UTF-8 of a text with everything XML cannot carry dropped (control
// characters) or replaced (lone surrogates become U+FFFD).
std::string XmlSafeUtf8(std::u16string_view text);

}  // namespace plattero::render
