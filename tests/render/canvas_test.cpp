// What the preview asks of a toolkit's painter: which call each shape makes,
// in which ink, where on the canvas, and what is left out.

#include "render/canvas.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace plattero::render {
namespace {

std::string P(const TPoint& p) {
  std::ostringstream out;
  out << p.x << "," << p.y;
  return out.str();
}

// Writes every call as a line of text; texts are 10 pixels wide per character.
class RecordingPainter : public TCanvasPainter {
 public:
  std::vector<std::string> calls;

  void Line(const TPoint& a, const TPoint& b, std::uint32_t ink, bool dashed) override {
    Record("line", ink, dashed) << P(a) << " " << P(b);
  }
  void Polyline(const std::vector<TPoint>& points, std::uint32_t ink, bool dashed) override {
    Record("polyline", ink, dashed) << points.size() << " points from " << P(points.front());
  }
  void Ellipse(const TCanvasEllipse& e, std::uint32_t ink, bool dashed) override {
    Record("ellipse", ink, dashed) << P(e.centre) << " " << e.rx << "x" << e.ry << " " << e.degrees;
  }
  void Dot(const TPoint& p, std::uint32_t ink) override { Record("dot", ink, false) << P(p); }
  void Polygon(const std::vector<TPoint>& points, std::uint32_t ink) override {
    Record("polygon", ink, false) << points.size() << " points " << P(points[0]) << " "
                                  << P(points[2]);
  }
  double TextWidth(const std::u16string& text, double) override { return 10.0 * text.size(); }
  void Text(const TPoint& at, const std::u16string& text, double px, double degrees, double stretch,
            std::uint32_t ink) override {
    Record("text", ink, false) << P(at) << " " << text.size() << " chars " << px << "px " << degrees
                               << "deg x" << stretch;
  }
  void Box(const TCanvasBox& box, const std::u16string& label, std::uint32_t ink,
           bool dashed) override {
    Record("box", ink, dashed) << box.left << "," << box.top << " " << box.right << ","
                               << box.bottom << " label " << label.size() << " " << box.label_px;
  }

 private:
  // One call's line, kept when the statement that writes it ends.
  class Entry {
   public:
    Entry(std::vector<std::string>& calls, const char* what, std::uint32_t ink, bool dashed)
        : calls_(calls) {
      text_ << what << " #" << std::hex << ink << std::dec << (dashed ? " dashed " : " ");
    }
    ~Entry() { calls_.push_back(text_.str()); }
    template <class T>
    Entry& operator<<(const T& value) {
      text_ << value;
      return *this;
    }

   private:
    std::vector<std::string>& calls_;
    std::ostringstream text_;
  };
  Entry Record(const char* what, std::uint32_t ink, bool dashed) {
    return Entry(calls, what, ink, dashed);
  }
};

TShape Shape(TShapeKind kind, std::uint32_t rgb) {
  TShape s;
  s.kind = kind;
  s.pen.rgb = rgb;
  return s;
}

// A 200 x 100 picture on a 224 x 124 canvas: one drawing unit is one pixel,
// (0, 0) lands on (12, 112).
TEST(CanvasTest, EveryShapeMakesItsCallAndTheFramesComeLast) {
  auto scene = std::make_shared<TScene>();
  TShape line = Shape(TShapeKind::kLine, 0x0000FF);
  line.pen.dash = {4, 2};
  line.a = {0, 0};
  line.b = {200, 100};
  TShape arc = Shape(TShapeKind::kArc, 0x00FF00);
  arc.a = {50, 50};
  arc.rx = arc.ry = 20;
  arc.start = {70, 50};
  arc.mid = {50, 70};
  arc.end = {30, 50};
  TShape circle = arc;
  circle.full = true;
  circle.rx = 30;
  circle.rot = 0.5;
  TShape point = Shape(TShapeKind::kPoint, 0xFFFFFF);  // white on white: shown grey
  point.a = {10, 20};
  TShape solid = Shape(TShapeKind::kSolid, 0x102030);
  solid.quad[0] = {0, 0};
  solid.quad[2] = {10, 10};
  TShape text = Shape(TShapeKind::kText, 0);
  text.text = "図面ab";
  text.a = {100, 10};
  text.height = 5;
  text.angle = 30;
  text.length = 60;  // the base line: 60 px for 40 px of natural width
  TShape tiny = text;
  tiny.height = 1;  // too small to read: left out
  TShape image = Shape(TShapeKind::kImage, 0x808080);
  image.a = {120, 60};
  image.b = {180, 90};
  image.height = 0;  // no room for a label
  image.text = "画像.bmp";
  // Round solids: the arc with the centre before it, the arc alone, the
  // whole ellipse.
  TShape sector = arc;
  sector.kind = TShapeKind::kRoundSolid;
  sector.sector = true;
  TShape segment = sector;
  segment.sector = false;
  TShape disc = circle;
  disc.kind = TShapeKind::kRoundSolid;
  scene->shapes = {line, arc, circle, point, solid, sector, segment, disc, text, tiny, image};

  TPreviewPicture picture;
  picture.scenes.push_back({0, 0, scene});
  auto tile = std::make_shared<TScene>();
  tile->shapes = {point};
  picture.scenes.push_back({100, 0, tile});
  picture.frames.push_back({0, 0, 200, 100, u"1: a.jww"});
  picture.extents.Add(0, 0);
  picture.extents.Add(200, 100);
  RecordingPainter painter;
  PaintPreview(picture, 224, 124, 11, painter);
  EXPECT_EQ(painter.calls, (std::vector<std::string>{
                               "line #ff dashed 12,112 212,12",
                               "polyline #ff00 21 points from 82,62",
                               "ellipse #ff00 62,62 30x20 28.6479",
                               "dot #a0a0a0 22,92",
                               "polygon #102030 4 points 12,112 22,102",
                               "polygon #ff00 22 points 62,62 81.7538,58.8713",
                               "polygon #ff00 21 points 82,62 81.0211,55.8197",
                               "polygon #ff00 63 points 88.3275,47.6172 85.8584,44.3785",
                               "text #0 112,102 4 chars 5px 30deg x1.5",
                               "box #808080 132,22 192,52 label 6 0",
                               "dot #a0a0a0 122,92",
                               "box #d02020 dashed 12,12 212,112 label 8 11",
                           }));
}

// A scene reduced by k for a reduced sheet: its points, radii, text sizes
// and base lines shrink about the place it is moved to.
TEST(CanvasTest, AReducedSceneIsDrawnSmallerAboutItsPlace) {
  auto scene = std::make_shared<TScene>();
  TShape line = Shape(TShapeKind::kLine, 0x0000FF);
  line.a = {0, 0};
  line.b = {200, 100};
  TShape circle = Shape(TShapeKind::kArc, 0x00FF00);
  circle.full = true;
  circle.a = {50, 50};
  circle.rx = 30;
  circle.ry = 20;
  TShape text = Shape(TShapeKind::kText, 0);
  text.text = "図面ab";
  text.a = {100, 10};
  text.height = 10;
  text.length = 60;
  scene->shapes = {line, circle, text};
  TPreviewPicture picture;
  picture.scenes.push_back({100, 0, scene, 0.5});
  picture.extents.Add(0, 0);
  picture.extents.Add(200, 100);
  RecordingPainter painter;
  PaintPreview(picture, 224, 124, 11, painter);
  EXPECT_EQ(painter.calls, (std::vector<std::string>{
                               "line #ff 112,112 212,62",
                               "ellipse #ff00 137,87 15x10 0",
                               "text #0 162,107 4 chars 5px 0deg x0.75",
                           }));
}

}  // namespace
}  // namespace plattero::render
