#include "render/scene.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "util/text.h"

namespace plattero::render {

namespace {

constexpr double kPi = std::numbers::pi;
// Coordinates beyond this are not drawn: nothing real lies there, and they
// would stretch the picture until nothing else is visible.
constexpr double kMaxCoordinate = 1e12;
// Solid styles: from 101 on a solid is round (a filled ellipse or part of
// one), 102 the part between an arc and its chord.
constexpr std::uint32_t kRoundSolidStyle = 101;
constexpr std::uint32_t kSegmentSolidStyle = 102;

bool Usable(double v) {
  return std::isfinite(v) && std::fabs(v) <= kMaxCoordinate;
}
bool Usable(const TPoint& p) {
  return Usable(p.x) && Usable(p.y);
}

// A Windows colour value keeps red in its low byte: 0x00BBGGRR.
std::uint32_t ColorRefToRgb(std::uint32_t c) {
  return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

// On/off runs of a 32-bit line pattern repeating every `period` bits (the
// highest bit first), rotated to start with the first "on" run after an "off"
// bit. Solid (all on) and blank (all off) patterns give no runs.
std::vector<int> DashRuns(std::uint32_t pattern, std::int32_t period) {
  const int n = period >= 1 && period <= 32 ? period : 32;
  auto bit = [&](int i) { return ((pattern >> (31 - (i % n))) & 1u) != 0; };
  int start = -1;
  for (int i = 0; i < n; ++i) {
    if (bit(i) && !bit(i + n - 1)) {
      start = i;
      break;
    }
  }
  if (start < 0) return {};
  std::vector<int> runs;
  bool on = true;
  int length = 0;
  for (int i = 0; i < n; ++i) {
    if (bit(start + i) == on) {
      ++length;
    } else {
      runs.push_back(length);
      on = !on;
      length = 1;
    }
  }
  runs.push_back(length);
  if (runs.size() % 2 != 0) runs.push_back(0);  // cannot happen: the cycle ends "off"
  return runs;
}

class SceneBuilder {
 public:
  SceneBuilder(const TJwwData& doc, TScene& scene, std::size_t max_shapes)
      : doc_(doc), scene_(scene), max_shapes_(max_shapes) {}

  void Build() {
    const TMap identity;
    DrawList(doc_.EntLine, doc_.EntEnko, doc_.EntTen, doc_.EntMoji, doc_.EntSunpo, doc_.EntSolid,
             identity, true);
    // Rows of the nesting tree come parent first. What each placement would
    // draw with everything placed below it is counted first, so that one
    // that cannot fit whole is passed over instead of walked: a nest of
    // doubling blocks places a leaf millions of times.
    const auto& tree = doc_.EntBlockTree;
    std::vector<std::uint64_t> below(tree.size(), 0);
    for (std::size_t k = tree.size(); k-- > 0;) {
      below[k] = SaturatingAdd(below[k], OwnShapes(tree[k]));
      const std::int32_t parent = tree[k].parent;
      if (parent >= 0 && static_cast<std::size_t>(parent) < k) {
        below[static_cast<std::size_t>(parent)] =
            SaturatingAdd(below[static_cast<std::size_t>(parent)], below[k]);
      }
    }
    // A row is shown when the top-level reference it descends from lies on a
    // shown layer, and everything above it was drawn.
    std::vector<char> shown(tree.size(), 1);
    // Once the picture is full every row left is passed over at once.
    for (std::size_t k = 0; k < tree.size(); ++k) {
      const TEntJwwBlockTree& row = tree[k];
      if (row.parent < 0) {
        shown[k] = LayerShown(doc_, row.att.nGLayer, row.att.nLayer);
      } else if (static_cast<std::size_t>(row.parent) < k) {
        shown[k] = shown[static_cast<std::size_t>(row.parent)];
      }
      if (!shown[k] || row.defno < 0 ||
          static_cast<std::size_t>(row.defno) >= doc_.EntBlockDef.size())
        continue;
      if (below[k] > max_shapes_ - scene_.shapes.size()) {
        shown[k] = 0;  // neither this placement nor anything below it
        scene_.cut = true;
        continue;
      }
      const TMap map{row.x, row.y, row.r1, row.r2, row.r3, row.r4};
      if (!Usable(map.x) || !Usable(map.y) || !Usable(map.r1) || !Usable(map.r2) ||
          !Usable(map.r3) || !Usable(map.r4))
        continue;
      const TEntJwwBlockDef& def = doc_.EntBlockDef[static_cast<std::size_t>(row.defno)];
      DrawList(def.mLine, def.mEnko, def.mTen, def.mMoji, def.mSunpo, def.mSolid, map, false);
    }
  }

 private:
  bool Full() const { return scene_.shapes.size() >= max_shapes_; }

  static std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
  }

  // The most shapes a row's definition draws itself (a dimension is up to
  // three lines and a text).
  std::uint64_t OwnShapes(const TEntJwwBlockTree& row) const {
    if (row.defno < 0 || static_cast<std::size_t>(row.defno) >= doc_.EntBlockDef.size()) return 0;
    const TEntJwwBlockDef& d = doc_.EntBlockDef[static_cast<std::size_t>(row.defno)];
    return d.mLine.size() + d.mEnko.size() + d.mTen.size() + d.mMoji.size() + 4 * d.mSunpo.size() +
           d.mSolid.size();
  }

  bool Visible(const TEntJwwAttr& att, bool top) const {
    return !top || LayerShown(doc_, att.nGLayer, att.nLayer);
  }

  // Solids first so that their fill never hides the lines over them.
  void DrawList(const std::vector<TEntJwwLine>& lines, const std::vector<TEntJwwEnko>& arcs,
                const std::vector<TEntJwwTen>& points, const std::vector<TEntJwwMoji>& texts,
                const std::vector<TEntJwwSunpo>& dims, const std::vector<TEntJwwSolid>& solids,
                const TMap& map, bool top) {
    // Once full, nothing more is looked at.
    for (const auto& s : solids) {
      if (Full()) return Stop();
      if (Visible(s.att, top)) Solid(s, map);
    }
    for (const auto& l : lines) {
      if (Full()) return Stop();
      if (Visible(l.att, top)) Line(l, map, TShapeSource::kEntity);
    }
    for (const auto& e : arcs) {
      if (Full()) return Stop();
      if (Visible(e.att, top)) Arc(e, map);
    }
    for (const auto& p : points) {
      if (Full()) return Stop();
      if (Visible(p.att, top)) Point(p, map);
    }
    for (const auto& d : dims) {
      if (Full()) return Stop();
      if (Visible(d.att, top)) Dimension(d, map);
    }
    for (const auto& t : texts) {
      if (Full()) return Stop();
      if (Visible(t.att, top)) Text(t, map, TShapeSource::kEntity);
    }
  }

  void Stop() { scene_.cut = true; }

  void Add(TShape&& shape) {
    if (Full()) {
      scene_.cut = true;
      return;
    }
    AddShape(scene_, std::move(shape));
  }

  TPen PenOf(const TEntJwwAttr& att) const {
    TPen pen;
    pen.rgb = PenRgb(doc_, att.nPenColor);
    int width = 0;
    const std::uint32_t c = att.nPenColor;
    if (c >= 1 && c <= 9 && c < doc_.EntCol.size()) {
      width = doc_.EntCol[c].anPenWidth;
    } else if (c >= 101 && c <= 356 && c - 100 < doc_.EntColS.size()) {
      width = doc_.EntColS[c - 100].anPenWidth;
    }
    if (att.nPenWidth >= 1 && att.nPenWidth <= 16) width = att.nPenWidth;
    pen.width = std::clamp(width, 1, 16);
    const std::uint32_t style = att.nPenStyle;
    if (style >= 2 && style <= 9 && style - 2 < doc_.EntLtp1.size()) {
      const TEntJwwLineTypeNo& t = doc_.EntLtp1[style - 2];
      pen.dash = DashRuns(static_cast<std::uint32_t>(t.alLType), t.anTokushuSenUintDot);
    } else if (style >= 31 && style <= 62 && style - 30 < doc_.EntLtpS.size()) {
      const TEntJwwLineTypeExNo& t = doc_.EntLtpS[style - 30];
      pen.dash = DashRuns(static_cast<std::uint32_t>(t.alLType), t.anTokushuSenUintDot);
    }
    return pen;
  }

  void Line(const TEntJwwLine& l, const TMap& map, TShapeSource source) {
    TShape s;
    s.kind = TShapeKind::kLine;
    s.source = source;
    s.pen = PenOf(l.att);
    s.a = map(l.start_x, l.start_y);
    s.b = map(l.end_x, l.end_y);
    if (!Usable(s.a) || !Usable(s.b)) return;
    Add(std::move(s));
  }

  // An ellipse, centre + map * tilt * (r cos t, r flat sin t), and unless it
  // is whole the arc of it from t0 over sweep.
  struct TEllipseArc {
    double cx, cy, r, flat, tilt, t0, sweep;
    bool whole;
  };

  // Places the ellipse in s (a, rx, ry, rot, full; for an arc start, mid,
  // end, ccw, large) and puts what it covers into box. False when a value
  // cannot be drawn.
  static bool PlaceEllipse(const TEllipseArc& e, const TMap& map, TShape& s, TBox& box) {
    double flat = std::fabs(e.flat);
    if (!(flat > 0) || !std::isfinite(flat)) flat = 1;
    const double r = std::fabs(e.r);
    if (!Usable(r) || !Usable(e.tilt) || !Usable(e.t0) || !std::isfinite(e.sweep)) return false;
    // The ellipse is centre + m * (cos t, sin t), m = map * tilt * (r, r*flat).
    const double ct = std::cos(e.tilt), st = std::sin(e.tilt);
    const double l11 = r * ct, l12 = -r * flat * st, l21 = r * st, l22 = r * flat * ct;
    const double a = map.r1 * l11 + map.r2 * l21, b = map.r1 * l12 + map.r2 * l22;
    const double c = map.r3 * l11 + map.r4 * l21, d = map.r3 * l12 + map.r4 * l22;
    s.a = map(e.cx, e.cy);
    if (!Usable(s.a) || !Usable(a) || !Usable(b) || !Usable(c) || !Usable(d)) return false;
    const double sum = a * a + b * b + c * c + d * d, det = a * d - b * c;
    const double disc = std::sqrt(std::max(0.0, sum * sum - 4 * det * det));
    s.rx = std::sqrt((sum + disc) / 2);
    s.ry = std::sqrt(std::max(0.0, (sum - disc) / 2));
    s.rot = 0.5 * std::atan2(2 * (a * c + b * d), a * a + b * b - c * c - d * d);
    const double sweep = std::clamp(e.sweep, -4 * kPi, 4 * kPi);
    s.full = e.whole || std::fabs(sweep) >= 2 * kPi - 1e-9;
    auto at = [&](double t) {
      return TPoint{s.a.x + a * std::cos(t) + b * std::sin(t),
                    s.a.y + c * std::cos(t) + d * std::sin(t)};
    };
    if (!s.full) {
      const double t0 = e.t0;
      s.start = at(t0);
      s.mid = at(t0 + sweep / 2);
      s.end = at(t0 + sweep);
      s.ccw = (det > 0) == (sweep > 0);
      s.large = std::fabs(sweep) > kPi;
      // Extents from points along the arc: an arc of a huge circle must not
      // stretch the picture to the whole circle.
      constexpr int kSteps = 32;
      for (int i = 0; i <= kSteps; ++i)
        box.Add(at(t0 + sweep * i / kSteps));
      return true;
    }
    const double hx = std::sqrt(a * a + b * b), hy = std::sqrt(c * c + d * d);
    box.Add(s.a.x - hx, s.a.y - hy);
    box.Add(s.a.x + hx, s.a.y + hy);
    return true;
  }

  void Arc(const TEntJwwEnko& e, const TMap& map) {
    TShape s;
    s.kind = TShapeKind::kArc;
    s.pen = PenOf(e.att);
    TBox box;
    if (!PlaceEllipse({e.start_x, e.start_y, e.dHankei, e.dHenpeiRitsu, e.radKatamukiKaku,
                       e.radKaishiKaku, e.radEnkoKaku, e.bZenEnFlg != 0},
                      map, s, box))
      return;
    AddWithBox(std::move(s), box);
  }

  void AddWithBox(TShape&& s, const TBox& box) {
    if (Full()) {
      scene_.cut = true;
      return;
    }
    scene_.shapes.push_back(std::move(s));
    if (!box.empty) {
      scene_.extents.Add(box.min_x, box.min_y);
      scene_.extents.Add(box.max_x, box.max_y);
    }
  }

  void Point(const TEntJwwTen& p, const TMap& map) {
    if (p.bKariten != 0) return;  // temporary points are construction aids
    TShape s;
    s.kind = TShapeKind::kPoint;
    s.pen = PenOf(p.att);
    s.pen.dash.clear();
    s.a = map(p.start_x, p.start_y);
    if (!Usable(s.a)) return;
    Add(std::move(s));
  }

  void Solid(const TEntJwwSolid& q, const TMap& map) {
    TShape s;
    s.pen = PenOf(q.att);
    s.pen.dash.clear();
    if (q.att.nPenColor == 10) s.pen.rgb = ColorRefToRgb(q.Color);
    if (q.att.nPenStyle >= kRoundSolidStyle) return RoundSolid(q, map, std::move(s));
    s.kind = TShapeKind::kSolid;
    s.quad[0] = map(q.start_x, q.start_y);
    s.quad[1] = map(q.end_x, q.end_y);
    s.quad[2] = map(q.DPoint2_x, q.DPoint2_y);
    s.quad[3] = map(q.DPoint3_x, q.DPoint3_y);
    for (const TPoint& p : s.quad)
      if (!Usable(p)) return;
    Add(std::move(s));
  }

  // From style 101 on a solid is round. Its start is the centre; the other
  // pairs hold what an arc holds: end_x the radius, end_y the flattening,
  // DPoint2_x the tilt, DPoint2_y the start angle, DPoint3_x the angle swept.
  // Style 102 fills between the arc and its chord, every other style between
  // the arc and the centre; over a whole turn either is the whole ellipse.
  void RoundSolid(const TEntJwwSolid& q, const TMap& map, TShape&& s) {
    s.kind = TShapeKind::kRoundSolid;
    s.sector = q.att.nPenStyle != kSegmentSolidStyle;
    // No angle bounds no part: such a solid is taken as the whole ellipse,
    // not left out.
    const bool whole = q.DPoint3_x == 0;
    TBox box;
    if (!PlaceEllipse(
            {q.start_x, q.start_y, q.end_x, q.end_y, q.DPoint2_x, q.DPoint2_y, q.DPoint3_x, whole},
            map, s, box))
      return;
    if (!s.full && s.sector) box.Add(s.a);
    AddWithBox(std::move(s), box);
  }

  void Dimension(const TEntJwwSunpo& d, const TMap& map) {
    Line(d.Sen, map, TShapeSource::kDimension);
    for (const TEntJwwLine* aux : {&d.Ho1, &d.Ho2}) {
      if (aux->start_x != aux->end_x || aux->start_y != aux->end_y)
        Line(*aux, map, TShapeSource::kDimension);
    }
    Text(d.Moji, map, TShapeSource::kDimension);
  }

  void Text(const TEntJwwMoji& m, const TMap& map, TShapeSource source) {
    if (m.str.empty()) return;
    const double scale = std::sqrt(std::fabs(map.r1 * map.r4 - map.r2 * map.r3));
    TShape s;
    s.source = source;
    s.pen = PenOf(m.att);
    s.pen.dash.clear();
    s.a = map(m.start_x, m.start_y);
    const TPoint e = map(m.end_x, m.end_y);
    s.height = std::fabs(m.dSizeY) * scale;
    s.angle = m.degKakudo + std::atan2(map.r3, map.r1) * 180 / kPi;
    s.spacing = m.dKankaku * scale;
    if (!Usable(s.a) || !Usable(e) || !Usable(s.height) || !Usable(s.angle) || !Usable(s.spacing))
      return;
    s.angle = std::fmod(s.angle, 360.0);
    s.font = XmlSafeUtf8(m.strFontName);
    if (m.str.size() >= 4 && m.str.compare(0, 4, u"^@BM") == 0) {
      Image(std::move(s), m.str);
      return;
    }
    s.kind = TShapeKind::kText;
    s.text = XmlSafeUtf8(m.str);
    if (s.text.empty()) return;
    s.length = std::hypot(e.x - s.a.x, e.y - s.a.y);
    // The text's box: its base line and the same line lifted by its height.
    const double width = s.length > 0 ? s.length : s.height * static_cast<double>(m.str.size());
    const double rad = s.angle * kPi / 180;
    const double ux = std::cos(rad), uy = std::sin(rad);
    TBox box;
    box.Add(s.a);
    box.Add(s.a.x + ux * width, s.a.y + uy * width);
    box.Add(s.a.x - uy * s.height, s.a.y + ux * s.height);
    box.Add(s.a.x + ux * width - uy * s.height, s.a.y + uy * width + ux * s.height);
    AddWithBox(std::move(s), box);
  }

  // "^@BM" path "," placement: a frame at the text's start point with the
  // image's file name in it.
  void Image(TShape&& s, const std::u16string& str) {
    std::u16string path = str.substr(
        4, str.find(u',') == std::u16string::npos ? std::u16string::npos : str.find(u',') - 4);
    if (path.size() >= 6 && LowerStr(path.substr(0, 6)) == u"%temp%") path.erase(0, 6);
    std::u16string name = FileNameOf(path);
    if (name.empty()) name = path;
    s.kind = TShapeKind::kImage;
    s.text = XmlSafeUtf8(name);
    const double h = s.height > 0 ? s.height : 2.5;
    s.height = h;
    s.angle = 0;
    s.b = {s.a.x + h * (static_cast<double>(name.size()) + 2), s.a.y + 3 * h};
    Add(std::move(s));
  }

  const TJwwData& doc_;
  TScene& scene_;
  std::size_t max_shapes_;
};

}  // namespace

void TBox::Add(double x, double y) {
  if (empty) {
    min_x = max_x = x;
    min_y = max_y = y;
    empty = false;
    return;
  }
  min_x = std::min(min_x, x);
  max_x = std::max(max_x, x);
  min_y = std::min(min_y, y);
  max_y = std::max(max_y, y);
}

std::uint32_t PenRgb(const TJwwData& doc, std::uint32_t pen_color) {
  if (pen_color >= 1 && pen_color <= 9 && pen_color < doc.EntCol.size())
    return ColorRefToRgb(static_cast<std::uint32_t>(doc.EntCol[pen_color].aPenColor));
  if (pen_color >= 101 && pen_color <= 356 && pen_color - 100 < doc.EntColS.size())
    return ColorRefToRgb(static_cast<std::uint32_t>(doc.EntColS[pen_color - 100].aPenColor));
  return 0;
}

bool LayerShown(const TJwwData& doc, std::uint32_t group, std::uint32_t layer) {
  if (group < doc.EntLgrp.size() && doc.EntLgrp[group].anGLay == 0) return false;
  if (layer < 16) {
    const std::size_t index = group * 16 + layer;
    if (group < 16 && index < doc.EntLay.size() && doc.EntLay[index].aanLay == 0) return false;
  }
  return true;
}

void AddShape(TScene& scene, TShape shape) {
  TBox& box = scene.extents;
  switch (shape.kind) {
    case TShapeKind::kLine:
    case TShapeKind::kImage:
    case TShapeKind::kFrame:
      box.Add(shape.a);
      box.Add(shape.b);
      break;
    case TShapeKind::kPoint:
      box.Add(shape.a);
      break;
    case TShapeKind::kSolid:
      for (const TPoint& p : shape.quad)
        box.Add(p);
      break;
    case TShapeKind::kArc:
    case TShapeKind::kRoundSolid:
      box.Add(shape.a.x - shape.rx, shape.a.y - shape.rx);
      box.Add(shape.a.x + shape.rx, shape.a.y + shape.rx);
      break;
    case TShapeKind::kText:
      box.Add(shape.a);
      box.Add(shape.a.x, shape.a.y + shape.height);
      break;
  }
  scene.shapes.push_back(std::move(shape));
}

TScene BuildScene(const TJwwData& doc, std::size_t max_shapes) {
  TScene scene;
  SceneBuilder(doc, scene, std::min(max_shapes, kMaxSceneShapes)).Build();
  return scene;
}

std::string XmlSafeUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x20 || c == 0xFFFE || c == 0xFFFF) continue;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace plattero::render
