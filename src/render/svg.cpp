#include "render/svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "messages/tiling_messages.h"
#include "util/numbers.h"
#include "util/text.h"

namespace plattero::render {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr std::uint32_t kFrameRgb = 0xD02020;
// Frames of tiles that warn, and cells that are not their tile's paper.
constexpr std::uint32_t kWarnFrameRgb = 0xE07800;
constexpr std::uint32_t kCellFrameRgb = 0x9098A8;
// The paper the tiles are placed on.
constexpr std::uint32_t kSheetFrameRgb = 0x2058C8;

// Pen width 1 in millimetres, as thin printed lines are.
constexpr double kPenWidthMm = 0.13;

std::string Color(std::uint32_t rgb) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%06x", static_cast<unsigned>(rgb & 0xFFFFFFu));
  return buf;
}

std::string EscapeXml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// font-family value: the drawing's font quoted, then a generic family.
std::string FontFamily(const std::string& font) {
  std::string name;
  for (char c : font)
    if (c != '"' && c != '\\' && c != ';') name += c;
  if (name.empty()) return "sans-serif";
  return "&quot;" + EscapeXml(name) + "&quot;, sans-serif";
}

class SvgWriter {
 public:
  explicit SvgWriter(const TScene& scene) : scene_(scene) {}

  std::string Write() {
    TBox box = scene_.extents;
    if (box.empty) {
      box.Add(-50, -50);
      box.Add(50, 50);
    }
    double w = box.max_x - box.min_x, h = box.max_y - box.min_y;
    const double margin = std::max({w, h, 1.0}) * 0.03;
    box.min_x -= margin;
    box.min_y -= margin;
    box.max_x += margin;
    box.max_y += margin;
    w = box.max_x - box.min_x;
    h = box.max_y - box.min_y;
    // Lines never thinner than this share of the picture, so that a sheet
    // seen whole still shows them.
    min_stroke_ = std::max(w, h) / 2000;
    dash_unit_ = std::max(scene_.dash_unit, 1.5 * min_stroke_);
    dot_radius_ = std::max(0.3, 1.5 * min_stroke_);

    out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out_ += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + N(w) +
            "mm\" height=\"" + N(h) + "mm\" viewBox=\"" + N(box.min_x) + " " + N(-box.max_y) + " " +
            N(w) + " " + N(h) + "\">\n";
    if (scene_.cut) out_ += "<!-- too many shapes: the drawing is shown in part -->\n";
    out_ += "<rect class=\"background\" x=\"" + N(box.min_x) + "\" y=\"" + N(-box.max_y) +
            "\" width=\"" + N(w) + "\" height=\"" + N(h) + "\" fill=\"#ffffff\"/>\n";
    out_ += "<g fill=\"none\" stroke-linecap=\"butt\" stroke-linejoin=\"round\">\n";
    for (const TShape& s : scene_.shapes)
      Shape(s);
    out_ += "</g>\n</svg>\n";
    return std::move(out_);
  }

 private:
  static std::string N(double v) { return FormatNumber(v); }
  static std::string X(double x) { return N(x); }
  static std::string Y(double y) { return N(-y); }

  static const char* Class(const TShape& s, const char* own) {
    return s.source == TShapeSource::kDimension ? "dimension" : own;
  }

  double StrokeWidth(const TPen& pen) const {
    return std::max(min_stroke_, kPenWidthMm * pen.width);
  }

  std::string Stroke(const TPen& pen) const {
    std::string a =
        " stroke=\"" + Color(pen.rgb) + "\" stroke-width=\"" + N(StrokeWidth(pen)) + "\"";
    if (!pen.dash.empty()) {
      a += " stroke-dasharray=\"";
      for (std::size_t i = 0; i < pen.dash.size(); ++i) {
        if (i) a += ' ';
        a += N(pen.dash[i] * dash_unit_);
      }
      a += "\"";
    }
    return a;
  }

  void Shape(const TShape& s) {
    switch (s.kind) {
      case TShapeKind::kLine:
        out_ += std::string("<line class=\"") + Class(s, "line") + "\" x1=\"" + X(s.a.x) +
                "\" y1=\"" + Y(s.a.y) + "\" x2=\"" + X(s.b.x) + "\" y2=\"" + Y(s.b.y) + "\"" +
                Stroke(s.pen) + "/>\n";
        break;
      case TShapeKind::kArc:
        Arc(s);
        break;
      case TShapeKind::kRoundSolid:
        RoundSolid(s);
        break;
      case TShapeKind::kPoint:
        out_ += "<circle class=\"point\" cx=\"" + X(s.a.x) + "\" cy=\"" + Y(s.a.y) + "\" r=\"" +
                N(dot_radius_) + "\" fill=\"" + Color(s.pen.rgb) + "\"/>\n";
        break;
      case TShapeKind::kSolid: {
        out_ += "<polygon class=\"solid\" points=\"";
        for (int i = 0; i < 4; ++i) {
          if (i) out_ += ' ';
          out_ += X(s.quad[i].x) + "," + Y(s.quad[i].y);
        }
        out_ += "\" fill=\"" + Color(s.pen.rgb) + "\"/>\n";
        break;
      }
      case TShapeKind::kText:
        Text(s, Class(s, "text"));
        break;
      case TShapeKind::kImage:
      case TShapeKind::kFrame:
        Boxed(s);
        break;
    }
  }

  void Arc(const TShape& s) {
    const std::string stroke = Stroke(s.pen);
    if (s.full) return WholeEllipse(s, "arc", stroke);
    out_ += "<path class=\"arc\" d=\"M" + X(s.start.x) + " " + Y(s.start.y) + ArcTo(s) + "\"" +
            stroke + "/>\n";
  }

  // A whole ellipse, or its arc closed through the centre or along the chord.
  void RoundSolid(const TShape& s) {
    const std::string fill = " fill=\"" + Color(s.pen.rgb) + "\"";
    if (s.full) return WholeEllipse(s, "solid", fill);
    out_ += "<path class=\"solid\" d=\"M";
    if (s.sector) out_ += X(s.a.x) + " " + Y(s.a.y) + " L";
    out_ += X(s.start.x) + " " + Y(s.start.y) + ArcTo(s) + " Z\"" + fill + "/>\n";
  }

  // <circle> or <ellipse> of the shape's whole ellipse, with the given paint.
  void WholeEllipse(const TShape& s, const char* cls, const std::string& paint) {
    if (s.rx - s.ry <= 1e-9 * std::max(1.0, s.rx)) {
      out_ += std::string("<circle class=\"") + cls + "\" cx=\"" + X(s.a.x) + "\" cy=\"" +
              Y(s.a.y) + "\" r=\"" + N(s.rx) + "\"" + paint + "/>\n";
      return;
    }
    out_ += std::string("<ellipse class=\"") + cls + "\" cx=\"" + X(s.a.x) + "\" cy=\"" + Y(s.a.y) +
            "\" rx=\"" + N(s.rx) + "\" ry=\"" + N(s.ry) + "\"";
    const std::string angle = N(-s.rot * 180 / kPi);
    if (angle != "0")
      out_ += " transform=\"rotate(" + angle + " " + X(s.a.x) + " " + Y(s.a.y) + ")\"";
    out_ += paint + "/>\n";
  }

  // Path commands from an arc's start to its end.
  static std::string ArcTo(const TShape& s) {
    // y is negated, which turns counter-clockwise into SVG's positive sweep.
    const std::string radii =
        N(s.rx) + " " + N(std::max(s.ry, 0.0)) + " " + N(-s.rot * 180 / kPi) + " ";
    const char* sweep = s.ccw ? "1" : "0";
    std::string d;
    if (s.large) {
      // Two halves, each less than half the ellipse: no large-arc ambiguity.
      d += " A" + radii + "0 " + sweep + " " + X(s.mid.x) + " " + Y(s.mid.y);
    }
    return d + " A" + radii + "0 " + sweep + " " + X(s.end.x) + " " + Y(s.end.y);
  }

  void Text(const TShape& s, const char* cls) {
    const std::string x = X(s.a.x), y = Y(s.a.y);
    out_ += std::string("<text class=\"") + cls + "\" x=\"" + x + "\" y=\"" + y +
            "\" font-size=\"" + N(s.height) + "\" font-family=\"" + FontFamily(s.font) +
            "\" fill=\"" + Color(s.pen.rgb) + "\"";
    const std::string angle = N(-s.angle);
    if (angle != "0") out_ += " transform=\"rotate(" + angle + " " + x + " " + y + ")\"";
    if (s.length > 0) {
      out_ += " textLength=\"" + N(s.length) + "\" lengthAdjust=\"spacingAndGlyphs\"";
    } else if (s.spacing != 0) {
      out_ += " letter-spacing=\"" + N(s.spacing) + "\"";
    }
    out_ += '>';
    out_ += EscapeXml(s.text);
    out_ += "</text>\n";
  }

  // An image reference or a paper frame: a rectangle with a label inside its
  // top left corner.
  void Boxed(const TShape& s) {
    const bool frame = s.kind == TShapeKind::kFrame;
    const double x0 = std::min(s.a.x, s.b.x), x1 = std::max(s.a.x, s.b.x);
    const double y0 = std::min(s.a.y, s.b.y), y1 = std::max(s.a.y, s.b.y);
    const double stroke = frame ? 2 * std::max(min_stroke_, kPenWidthMm) : StrokeWidth(s.pen);
    out_ += std::string("<g class=\"") + (frame ? "frame" : "image") + "\">";
    out_ += "<rect x=\"" + X(x0) + "\" y=\"" + Y(y1) + "\" width=\"" + N(x1 - x0) + "\" height=\"" +
            N(y1 - y0) + "\" stroke=\"" + Color(s.pen.rgb) + "\" stroke-width=\"" + N(stroke) +
            "\"";
    if (frame && !s.pen.dash.empty())
      out_ += " stroke-dasharray=\"" + N(6 * stroke) + " " + N(3 * stroke) + "\"";
    out_ += "/>";
    if (!s.text.empty()) {
      const double h = s.height;
      out_ += "<text x=\"" + X(x0 + 0.5 * h) + "\" y=\"" + Y(y1 - 1.3 * h) + "\" font-size=\"" +
              N(h) + "\" font-family=\"sans-serif\" fill=\"" + Color(s.pen.rgb) + "\">" +
              EscapeXml(s.text) + "</text>";
    }
    out_ += "</g>\n";
  }

  const TScene& scene_;
  std::string out_;
  double min_stroke_ = 0, dash_unit_ = 0.5, dot_radius_ = 0.3;
};

}  // namespace

std::string FormatNumber(double v) {
  if (!std::isfinite(v)) return "0";
  if (std::fabs(v) < 1e9) v = std::round(v * 1e4) / 1e4;
  if (v == 0) return "0";  // also -0
  char buf[64];
  const auto result = std::fabs(v) < 1e9
                          ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed)
                          : std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 10);
  return std::string(buf, result.ptr);
}

std::vector<std::u16string> TileLabels(const std::vector<std::u16string>& files) {
  std::vector<std::u16string> labels;
  labels.reserve(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::u16string name = FileNameOf(files[i]);
    if (name.empty()) name = files[i];
    labels.push_back(IntStr(static_cast<std::int32_t>(i + 1)) + u": " + name);
  }
  return labels;
}

std::vector<TPaperFrame> TileFrames(const std::vector<std::pair<double, double>>& offsets,
                                    double papx, double papy,
                                    const std::vector<std::u16string>& labels) {
  std::vector<TPaperFrame> frames;
  frames.reserve(offsets.size());
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    TPaperFrame f;
    f.x = offsets[i].first - papx / 2;
    f.y = offsets[i].second - papy / 2;
    f.width = papx;
    f.height = papy;
    if (i < labels.size()) f.label = labels[i];
    frames.push_back(std::move(f));
  }
  return frames;
}

std::uint32_t FrameRgb(const TPaperFrame& f) {
  return f.warn ? kWarnFrameRgb : f.cell ? kCellFrameRgb : f.sheet ? kSheetFrameRgb : kFrameRgb;
}

bool FrameDashed(const TPaperFrame& f) {
  return !f.warn && !f.sheet;
}

TPaperFrame SheetFrame(const TPaperFit& fit) {
  const TPaperSize sheet = PaperSizeOf(fit.nZumen);
  TPaperFrame f;
  f.x = -sheet.papx / 2;
  f.y = -sheet.papy / 2;
  f.width = sheet.papx;
  f.height = sheet.papy;
  f.label = SheetLabel(fit);
  f.sheet = true;
  f.warn = !fit.fits;
  return f;
}

std::vector<TPaperFrame> PlaceFrames(const std::vector<TTilePlace>& places,
                                     const std::vector<std::u16string>& labels,
                                     const std::vector<TTileWarning>& warnings) {
  std::vector<std::u16string> notes(places.size());
  for (const TTileWarning& w : warnings) {
    if (w.tile < 0 || static_cast<std::size_t>(w.tile) >= places.size()) continue;
    const std::u16string note = WarningNote(w.kind);
    std::u16string& n = notes[static_cast<std::size_t>(w.tile)];
    if (note.empty() || n.find(note) != std::u16string::npos) continue;
    n += (n.empty() ? u"" : u"・") + note;
  }
  std::vector<TPaperFrame> frames;
  frames.reserve(places.size());
  for (std::size_t i = 0; i < places.size(); ++i) {
    const TTilePlace& p = places[i];
    if (p.cell_w != p.paper_w || p.cell_h != p.paper_h) {
      TPaperFrame c;
      c.x = p.x - p.cell_w / 2;
      c.y = p.y - p.cell_h / 2;
      c.width = p.cell_w;
      c.height = p.cell_h;
      c.cell = true;
      frames.push_back(std::move(c));
    }
    TPaperFrame f;
    f.x = p.x - p.paper_w / 2;
    f.y = p.y - p.paper_h / 2;
    f.width = p.paper_w;
    f.height = p.paper_h;
    if (i < labels.size()) f.label = labels[i];
    if (!notes[i].empty()) {
      f.warn = true;
      f.label += u"（" + notes[i] + u"）";
    }
    frames.push_back(std::move(f));
  }
  return frames;
}

void AddFrames(TScene& scene, const std::vector<TPaperFrame>& frames) {
  for (const TPaperFrame& f : frames) {
    if (!std::isfinite(f.x) || !std::isfinite(f.y) || !std::isfinite(f.width) ||
        !std::isfinite(f.height))
      continue;
    TShape s;
    s.kind = TShapeKind::kFrame;
    s.pen.rgb = FrameRgb(f);
    if (FrameDashed(f)) s.pen.dash = {6, 3};
    s.a = {f.x, f.y};
    s.b = {f.x + f.width, f.y + f.height};
    s.height = std::max(std::min(std::fabs(f.width), std::fabs(f.height)) / 25, 1.0);
    s.text = XmlSafeUtf8(f.label);
    AddShape(scene, std::move(s));
  }
}

std::string SceneToSvg(const TScene& scene) {
  return SvgWriter(scene).Write();
}

std::string RenderSvg(const TJwwData& doc, const std::vector<TPaperFrame>& frames, bool* cut) {
  TScene scene = BuildScene(doc);
  if (cut) *cut = scene.cut;
  AddFrames(scene, frames);
  return SceneToSvg(scene);
}

}  // namespace plattero::render
