#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "drawing_builder.h"
#include "render/svg.h"
#include "util/text.h"

namespace plattero::render {
namespace {

using testing::InitDrawing;

// One element of the picture: its tag, attributes and text content.
struct Element {
  std::string tag;
  std::map<std::string, std::string> attr;
  std::string text;
  double num(const std::string& name) const { return std::stod(attr.at(name)); }
};

// Attributes name="value" of the text between from and to.
void ReadAttributes(const std::string& s, std::size_t from, std::size_t to,
                    std::map<std::string, std::string>& attr) {
  for (std::size_t eq = s.find("=\"", from); eq != std::string::npos && eq < to;
       eq = s.find("=\"", eq + 1)) {
    const std::size_t name = s.rfind(' ', eq) + 1;
    const std::size_t end = s.find('"', eq + 2);
    attr.emplace(s.substr(name, eq - name), s.substr(eq + 2, end - eq - 2));
    eq = end;
  }
}

// The elements with the given class, in order. The picture puts one element
// per line; an image or a frame is a <g> holding a rect (whose attributes it
// takes) and a label (its text).
std::vector<Element> Find(const std::string& svg, const std::string& cls) {
  std::vector<Element> found;
  const std::string marker = " class=\"" + cls + "\"";
  std::size_t line = 0;
  while (line < svg.size()) {
    std::size_t next = svg.find('\n', line);
    if (next == std::string::npos) next = svg.size();
    const std::string text = svg.substr(line, next - line);
    line = next + 1;
    const std::size_t at = text.find(marker);
    if (text.empty() || text[0] != '<' || at == std::string::npos || text.find(' ') != at) continue;
    Element e;
    e.tag = text.substr(1, at - 1);
    const std::size_t close = text.find('>');
    ReadAttributes(text, at + marker.size(), close, e.attr);
    std::size_t label = close + 1;
    if (e.tag == "g") {
      ReadAttributes(text, close, text.find('>', close + 1), e.attr);
      const std::size_t t = text.find("<text");
      label = t == std::string::npos ? std::string::npos : text.find('>', t) + 1;
    }
    if (label != std::string::npos && label < text.size()) {
      const std::size_t end = text.find("</", label);
      if (end != std::string::npos) e.text = text.substr(label, end - label);
    }
    found.push_back(e);
  }
  return found;
}

TEntJwwAttr Attr(std::uint16_t color = 2, std::uint8_t style = 1) {
  TEntJwwAttr a;
  a.nPenColor = color;
  a.nPenStyle = style;
  return a;
}

// A drawing with the tables a fresh drawing has, every layer shown, and no
// entities.
class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitDrawing(doc);
    for (auto& g : doc.EntLgrp)
      g.anGLay = 2;
    for (auto& l : doc.EntLay)
      l.aanLay = 2;
    doc.EntCol[2].aPenColor = 0x00000000;
    doc.EntCol[3].aPenColor = 0x00336699;  // red 0x99, green 0x66, blue 0x33
    doc.EntColS[5].aPenColor = 0x00010203;
    doc.EntLtp1[1].alLType = static_cast<std::int32_t>(0xF0F0F0F0u);  // style 3
    doc.EntLtp1[1].anTokushuSenUintDot = 8;
    doc.EntLtp1[0].alLType = static_cast<std::int32_t>(0x99999999u);  // style 2
    doc.EntLtp1[0].anTokushuSenUintDot = 4;
  }

  std::string Svg(const std::vector<TPaperFrame>& frames = {}) {
    doc.MakeBlockTree();
    return RenderSvg(doc, frames);
  }

  TJwwData doc;
};

TEST_F(RenderTest, LinesWithColourTablesAndLineTypes) {
  doc.EntLine.push_back({Attr(3, 1), 1, 2, 30, 40});
  doc.EntLine.push_back({Attr(105, 3), -5, 0, 5, 0});
  doc.EntLine.push_back({Attr(2, 2), 0, 0, 0, 10});
  doc.EntLine.push_back({Attr(0, 1), 0, 0, 1, 1});  // colour 0: black, not the background
  const std::string svg = Svg();
  const auto lines = Find(svg, "line");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].attr.at("x1"), "1");
  EXPECT_EQ(lines[0].attr.at("y1"), "-2");
  EXPECT_EQ(lines[0].attr.at("x2"), "30");
  EXPECT_EQ(lines[0].attr.at("y2"), "-40");
  EXPECT_EQ(lines[0].attr.at("stroke"), "#996633");
  EXPECT_EQ(lines[0].attr.count("stroke-dasharray"), 0u);
  EXPECT_EQ(lines[1].attr.at("stroke"), "#030201");
  EXPECT_EQ(lines[1].attr.at("stroke-dasharray"), "2 2");  // 4 on, 4 off, 0.5 mm each
  EXPECT_EQ(lines[2].attr.at("stroke-dasharray"), "1 1");  // 1001: two on, two off
  EXPECT_EQ(lines[3].attr.at("stroke"), "#000000");
  EXPECT_GT(lines[0].num("stroke-width"), 0);
  // The view box holds everything with a margin; y is negated.
  const std::size_t box = svg.find("viewBox=\"");
  ASSERT_NE(box, std::string::npos);
  std::istringstream numbers(svg.substr(box + 9, svg.find('"', box + 9) - box - 9));
  double x = 0, y = 0, w = 0, h = 0;
  numbers >> x >> y >> w >> h;
  EXPECT_LT(x, -5);
  EXPECT_LT(y, -40);
  EXPECT_GT(x + w, 30);
  EXPECT_GT(y + h, 0);
}

TEST_F(RenderTest, ArcsCirclesAndEllipses) {
  constexpr double kPi = std::numbers::pi;
  TEntJwwEnko circle{Attr(), 10, 20, 5, 0, 2 * kPi, 0, 1, 1};
  TEntJwwEnko quarter{Attr(), 10, 20, 5, 0, kPi / 2, 0, 1, 0};
  TEntJwwEnko clockwise{Attr(), 0, 0, 2, kPi / 2, -kPi / 2, 0, 1, 0};
  TEntJwwEnko ellipse{Attr(), 0, 0, 4, 0, 2 * kPi, kPi / 6, 0.5, 1};
  TEntJwwEnko three_quarters{Attr(), 0, 0, 1, 0, 1.5 * kPi, 0, 1, 0};
  doc.EntEnko = {circle, quarter, clockwise, ellipse, three_quarters};
  const auto arcs = Find(Svg(), "arc");
  ASSERT_EQ(arcs.size(), 5u);
  EXPECT_EQ(arcs[0].tag, "circle");
  EXPECT_EQ(arcs[0].attr.at("cx"), "10");
  EXPECT_EQ(arcs[0].attr.at("cy"), "-20");
  EXPECT_EQ(arcs[0].attr.at("r"), "5");
  // Counter-clockwise in the drawing is the positive sweep once y is negated.
  EXPECT_EQ(arcs[1].attr.at("d"), "M15 -20 A5 5 0 0 1 10 -25");
  EXPECT_EQ(arcs[2].attr.at("d"), "M0 -2 A2 2 0 0 0 2 0");
  EXPECT_EQ(arcs[3].tag, "ellipse");
  EXPECT_EQ(arcs[3].attr.at("rx"), "4");
  EXPECT_EQ(arcs[3].attr.at("ry"), "2");
  EXPECT_EQ(arcs[3].attr.at("transform"), "rotate(-30 0 0)");
  // More than half a turn: two halves through the point half way.
  EXPECT_EQ(arcs[4].attr.at("d"), "M1 0 A1 1 0 0 1 -0.7071 -0.7071 A1 1 0 0 1 0 1");
}

TEST_F(RenderTest, PointsSolidsTextsDimensionsAndImages) {
  TEntJwwTen point{Attr(3), 7, 8};
  TEntJwwTen temporary{Attr(3), 9, 9, 1};
  doc.EntTen = {point, temporary};
  TEntJwwSolid own{Attr(10), 0, 0, 4, 0, 4, 3, 0, 3, 0x000000FF};
  TEntJwwSolid pen{Attr(3), 10, 10, 11, 10, 11, 11, 10, 11, 0};
  doc.EntSolid = {own, pen};
  TEntJwwMoji text;
  text.att = Attr(3);
  text.start_x = 5;
  text.start_y = 6;
  text.end_x = 5 + 12 * std::cos(std::numbers::pi / 6);
  text.end_y = 6 + 12 * std::sin(std::numbers::pi / 6);
  text.dSizeY = 2.5;
  text.degKakudo = 30;
  text.strFontName = u"ＭＳ ゴシック";
  text.str = u"台所 <&>\"";
  doc.EntMoji.push_back(text);
  TEntJwwMoji image = text;
  image.degKakudo = 0;
  image.str = u"^@BM%temp%写真.jpg,100,80,0,0,1,0";
  doc.EntMoji.push_back(image);
  TEntJwwSunpo dim;
  dim.att = Attr(3);
  dim.Sen = {Attr(3), 0, -10, 20, -10};
  dim.Moji = text;
  dim.Moji.degKakudo = 0;
  dim.Moji.str = u"2000";
  doc.EntSunpo.push_back(dim);
  const std::string svg = Svg();

  const auto points = Find(svg, "point");
  ASSERT_EQ(points.size(), 1u);  // temporary points are not drawn
  EXPECT_EQ(points[0].attr.at("cx"), "7");
  EXPECT_EQ(points[0].attr.at("cy"), "-8");
  EXPECT_EQ(points[0].attr.at("fill"), "#996633");

  const auto solids = Find(svg, "solid");
  ASSERT_EQ(solids.size(), 2u);
  EXPECT_EQ(solids[0].attr.at("points"), "0,0 4,0 4,-3 0,-3");
  EXPECT_EQ(solids[0].attr.at("fill"), "#ff0000");  // own colour, red in its low byte
  EXPECT_EQ(solids[1].attr.at("fill"), "#996633");

  const auto texts = Find(svg, "text");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].attr.at("x"), "5");
  EXPECT_EQ(texts[0].attr.at("y"), "-6");
  EXPECT_EQ(texts[0].attr.at("font-size"), "2.5");
  EXPECT_EQ(texts[0].attr.at("transform"), "rotate(-30 5 -6)");
  EXPECT_EQ(texts[0].attr.at("textLength"), "12");
  EXPECT_NE(texts[0].attr.at("font-family").find("ＭＳ ゴシック"), std::string::npos);
  EXPECT_EQ(texts[0].text, "台所 &lt;&amp;&gt;&quot;");

  const auto dims = Find(svg, "dimension");
  ASSERT_EQ(dims.size(), 2u);
  EXPECT_EQ(dims[0].tag, "line");
  EXPECT_EQ(dims[0].attr.at("y1"), "10");
  EXPECT_EQ(dims[0].attr.at("x2"), "20");
  EXPECT_EQ(dims[1].tag, "text");
  EXPECT_EQ(dims[1].text, "2000");

  const auto images = Find(svg, "image");
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].attr.at("x"), "5");
  EXPECT_EQ(images[0].text, "写真.jpg");
}

// From style 101 on a solid is round: centre, then radius, flattening, tilt,
// start and swept angle where a quadrilateral has its other corners.
TEST_F(RenderTest, RoundSolidsAreFilledEllipsesSectorsAndSegments) {
  constexpr double kPi = std::numbers::pi;
  auto round = [](std::uint16_t color, std::uint8_t style, double x, double y, double r,
                  double flat, double tilt, double start, double sweep) {
    return TEntJwwSolid{Attr(color, style), x, y, r, flat, tilt, start, sweep, 0, 0x000000FF};
  };
  struct Case {
    TEntJwwSolid solid;
    std::string tag;
    std::map<std::string, std::string> attr;
  } cases[] = {
      {round(3, 101, 10, 20, 5, 1, 0, 0, 2 * kPi),
       "circle",
       {{"cx", "10"}, {"cy", "-20"}, {"r", "5"}, {"fill", "#996633"}}},
      {round(10, 101, 0, 0, 4, 0.5, kPi / 6, 0, 2 * kPi),
       "ellipse",
       {{"rx", "4"}, {"ry", "2"}, {"transform", "rotate(-30 0 0)"}, {"fill", "#ff0000"}}},
      {round(3, 101, 0, 0, 5, 1, 0, 0, 0), "circle", {{"r", "5"}}},  // no angle: whole
      {round(3, 101, 1, 1, 5, 1, 0, 0, kPi / 2), "path", {{"d", "M1 -1 L6 -1 A5 5 0 0 1 1 -6 Z"}}},
      {round(3, 102, 0, 0, 5, 1, 0, 0, kPi / 2), "path", {{"d", "M5 0 A5 5 0 0 1 0 -5 Z"}}},
      {round(3, 103, 0, 0, 5, 1, 0, 0, -kPi / 2), "path", {{"d", "M0 0 L5 0 A5 5 0 0 0 0 5 Z"}}},
      // Three quarters from the top, clockwise: in two halves.
      {round(3, 102, 0, 0, 2, 1, 0, kPi / 2, -1.5 * kPi),
       "path",
       {{"d", "M0 -2 A2 2 0 0 0 1.4142 1.4142 A2 2 0 0 0 -2 0 Z"}}},
  };
  for (const Case& c : cases)
    doc.EntSolid.push_back(c.solid);
  const auto solids = Find(Svg(), "solid");
  ASSERT_EQ(solids.size(), std::size(cases));
  for (std::size_t i = 0; i < solids.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(solids[i].tag, cases[i].tag);
    for (const auto& [name, value] : cases[i].attr)
      EXPECT_EQ(solids[i].attr.count(name) ? solids[i].attr.at(name) : "", value) << name;
  }
  // The picture holds the whole circle, not only its centre.
  doc.EntSolid = {round(3, 101, 100, 0, 50, 1, 0, 0, 2 * kPi)};
  doc.MakeBlockTree();
  const TBox box = BuildScene(doc).extents;
  EXPECT_EQ(box.min_x, 50);
  EXPECT_EQ(box.max_y, 50);
}

TEST_F(RenderTest, HiddenLayersAndGroupsAreLeftOut) {
  TEntJwwLine shown{Attr(), 0, 0, 1, 0};
  shown.att.nGLayer = 1;
  shown.att.nLayer = 2;
  TEntJwwLine hidden_layer = shown;
  hidden_layer.start_x = 100;
  hidden_layer.att.nLayer = 3;
  TEntJwwLine hidden_group = shown;
  hidden_group.start_x = 200;
  hidden_group.att.nGLayer = 4;
  doc.EntLay[1 * 16 + 3].aanLay = 0;
  doc.EntLgrp[4].anGLay = 0;
  doc.EntLine = {shown, hidden_layer, hidden_group};
  // A block placed on a hidden layer hides all it holds.
  TEntJwwBlockDef def;
  def.nNumber = 1;
  def.mLine.push_back({Attr(), 0, 0, 0, 1});
  doc.EntBlockDef.push_back(def);
  TEntJwwBlock ref{hidden_layer.att, 50, 50, 1, 1, 0, 1};
  doc.EntBlock.push_back(ref);
  const auto lines = Find(Svg(), "line");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].attr.at("x1"), "0");
}

// A definition placed rotated by a quarter turn with scales 2 and 3 holds a
// line, a circle, a text and a further placement of a second definition.
TEST_F(RenderTest, NestedBlocksLandWhereTheTreeSays) {
  constexpr double kPi = std::numbers::pi;
  TEntJwwBlockDef outer;
  outer.nNumber = 1;
  outer.mLine.push_back({Attr(), 0, 0, 1, 0});
  outer.mEnko.push_back({Attr(), 0, 0, 1, 0, 2 * kPi, 0, 1, 1});
  TEntJwwMoji t;
  t.att = Attr();
  t.dSizeY = 1;
  t.end_x = 2;
  t.str = u"A";
  outer.mMoji.push_back(t);
  outer.mBlock.push_back({Attr(), 1, 0, 1, 1, 0, 2});
  TEntJwwBlockDef inner;
  inner.nNumber = 2;
  inner.mLine.push_back({Attr(), 0, 0, 0, 1});
  doc.EntBlockDef = {outer, inner};
  doc.EntBlock.push_back({Attr(), 10, 20, 2, 3, kPi / 2, 1});
  const std::string svg = Svg();
  ASSERT_EQ(doc.EntBlockTree.size(), 2u);
  const TEntJwwBlockTree& row = doc.EntBlockTree[1];
  EXPECT_NEAR(row.x, 10, 1e-9);
  EXPECT_NEAR(row.y, 22, 1e-9);

  const auto lines = Find(svg, "line");
  ASSERT_EQ(lines.size(), 2u);
  // (0,0)-(1,0) of the outer definition: (10,20)-(10,22).
  EXPECT_EQ(lines[0].attr.at("x1"), "10");
  EXPECT_EQ(lines[0].attr.at("y1"), "-20");
  EXPECT_EQ(lines[0].attr.at("x2"), "10");
  EXPECT_EQ(lines[0].attr.at("y2"), "-22");
  // (0,0)-(0,1) of the inner one, placed at (1,0) of the outer: (10,22)-(7,22).
  EXPECT_EQ(lines[1].attr.at("x1"), "10");
  EXPECT_EQ(lines[1].attr.at("y1"), "-22");
  EXPECT_EQ(lines[1].attr.at("x2"), "7");
  EXPECT_EQ(lines[1].attr.at("y2"), "-22");
  // The unit circle becomes an ellipse 3 by 2 with its long axis along x.
  const auto arcs = Find(svg, "arc");
  ASSERT_EQ(arcs.size(), 1u);
  EXPECT_EQ(arcs[0].tag, "ellipse");
  EXPECT_EQ(arcs[0].attr.at("cx"), "10");
  EXPECT_EQ(arcs[0].attr.at("cy"), "-20");
  EXPECT_EQ(arcs[0].attr.at("rx"), "3");
  EXPECT_EQ(arcs[0].attr.at("ry"), "2");
  // The text turns with the block.
  const auto texts = Find(svg, "text");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].attr.at("transform"), "rotate(-90 10 -20)");
  EXPECT_EQ(texts[0].attr.at("textLength"), "4");
}

// A nest that doubles at every level places its leaf 2^17 times: a placement
// that cannot fit whole is passed over at once, and what fits is drawn.
TEST_F(RenderTest, DoublingNestsStayWithinTheBoundAndTheirTime) {
  constexpr std::uint32_t kLevels = 17;
  std::vector<TEntJwwBlockDef> defs(kLevels + 2);
  for (std::uint32_t i = 0; i < kLevels; ++i) {
    defs[i].nNumber = i;
    defs[i].mBlock.assign(2, {Attr(), 0, 0, 1, 1, 0, i + 1});
  }
  defs[kLevels].nNumber = kLevels;
  defs[kLevels].mLine.assign(20'000, {Attr(), 0, 0, 1, 0});
  defs[kLevels + 1].nNumber = 100;
  defs[kLevels + 1].mLine.push_back({Attr(), 5, 5, 6, 6});
  doc.EntBlockDef = std::move(defs);
  // The nest, then the leaf alone three times, then a small block.
  doc.EntBlock = {{Attr(), 0, 0, 1, 1, 0, 0},
                  {Attr(), 0, 0, 1, 1, 0, kLevels},
                  {Attr(), 0, 0, 1, 1, 0, kLevels},
                  {Attr(), 0, 0, 1, 1, 0, kLevels},
                  {Attr(), 0, 0, 1, 1, 0, 100}};
  doc.MakeBlockTree();
  const struct {
    std::size_t max;
    std::size_t drawn;
  } cases[] = {{kMaxSceneShapes, 60'001}, {50'000, 40'001}, {1, 1}};
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const TScene scene = BuildScene(doc, c.max);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << c.max;
    EXPECT_TRUE(scene.cut) << c.max;
    EXPECT_EQ(scene.shapes.size(), c.drawn) << c.max;
    EXPECT_EQ(scene.shapes.back().a.x, 5) << c.max;  // the small block came through
  }
  bool cut = false;
  RenderSvg(doc, {}, &cut);
  EXPECT_TRUE(cut);
}

TEST_F(RenderTest, PaperFramesAreCentredOnTheTileOffsets) {
  const auto frames = TileFrames({{0, 0}, {430, 0}}, 420, 297, {u"1: a.jww", u"2: b&c.jww"});
  const auto found = Find(Svg(frames), "frame");
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].attr.at("x"), "-210");
  EXPECT_EQ(found[0].attr.at("y"), "-148.5");
  EXPECT_EQ(found[0].attr.at("width"), "420");
  EXPECT_EQ(found[0].attr.at("height"), "297");
  EXPECT_EQ(found[0].text, "1: a.jww");
  EXPECT_EQ(found[1].attr.at("x"), "220");
  EXPECT_EQ(found[1].text, "2: b&amp;c.jww");
}

TEST_F(RenderTest, SameDrawingSameBytes) {
  testing::DrawingSpec spec;
  spec.lines = spec.arcs = spec.points = spec.texts = spec.dimensions = spec.solids = 20;
  spec.block_defs = 4;
  spec.block_refs = 6;
  spec.nesting = 2;
  TJwwData a, b;
  testing::BuildDrawing(spec, a);
  testing::BuildDrawing(spec, b);
  const std::string first = RenderSvg(a);
  EXPECT_EQ(first, RenderSvg(a));
  EXPECT_EQ(first, RenderSvg(b));
  EXPECT_GT(Find(first, "line").size(), 20u);  // block contents are drawn too
}

TEST_F(RenderTest, UnusableValuesAndMissingTablesDoNotBreakThePicture) {
  const double nan = std::nan("");
  doc.EntLine.push_back({Attr(), nan, 0, 1, 1});
  doc.EntLine.push_back({Attr(), 0, 0, 1e300, 1});
  doc.EntLine.push_back({Attr(9999, 200), 0, 0, 1, 1});  // no such colour or line type
  doc.EntEnko.push_back({Attr(), 0, 0, INFINITY, 0, 1, 0, 1, 0});
  TEntJwwMoji bad;
  bad.att = Attr();
  bad.str = std::u16string(u"x\x01y") + char16_t(0xD800);  // a control and a lone surrogate
  doc.EntMoji.push_back(bad);
  std::string svg = Svg();
  EXPECT_EQ(Find(svg, "line").size(), 1u);
  EXPECT_TRUE(Find(svg, "arc").empty());
  ASSERT_EQ(Find(svg, "text").size(), 1u);
  EXPECT_EQ(Find(svg, "text")[0].text, "xy\xEF\xBF\xBD");
  // Without any table everything is black and shown.
  doc.EntCol.clear();
  doc.EntLay.clear();
  doc.EntLgrp.clear();
  doc.EntLtp1.clear();
  svg = Svg();
  EXPECT_EQ(Find(svg, "line")[0].attr.at("stroke"), "#000000");
  // An empty drawing still gives a picture.
  TJwwData empty;
  svg = RenderSvg(empty);
  EXPECT_EQ(svg.rfind("</svg>\n"), svg.size() - 7);
}

TEST(RenderDamaged, CutFilesRenderWhatWasRead) {
  testing::TempDir dir;
  testing::DrawingSpec spec;
  spec.lines = spec.arcs = spec.texts = spec.solids = spec.dimensions = 30;
  spec.block_defs = 3;
  spec.block_refs = 3;
  ASSERT_TRUE(testing::WriteDrawing(spec, dir.file("whole.jww")));
  std::ifstream in(dir.file("whole.jww"), std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  std::size_t previous_lines = 0;
  for (std::size_t eighths = 1; eighths < 8; ++eighths) {
    const std::size_t cut = bytes.size() * eighths / 8;
    TJwwData doc;
    EXPECT_FALSE(doc.FileInBytes(bytes.data(), cut));
    const std::string svg = RenderSvg(doc);
    EXPECT_EQ(svg.rfind("</svg>\n"), svg.size() - 7);
    // The further the file was read, the more is drawn.
    const std::size_t lines = Find(svg, "line").size();
    EXPECT_GE(lines, previous_lines);
    previous_lines = lines;
  }
  EXPECT_GT(previous_lines, 0u);
}

TEST(FormatNumber, FixedShortDeterministic) {
  const std::vector<std::pair<double, std::string>> cases = {
      {0.1 + 0.2, "0.3"}, {-0.0, "0"},        {-0.00001, "0"}, {12.34567, "12.3457"},
      {-148.5, "-148.5"}, {1e8, "100000000"}, {1e10, "1e+10"}, {std::nan(""), "0"}};
  for (const auto& [value, text] : cases)
    EXPECT_EQ(FormatNumber(value), text) << value;
}

}  // namespace
}  // namespace plattero::render
