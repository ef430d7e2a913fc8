// Painting the preview: arcs land on the side of the centre they sweep, in
// either direction and on tilted ellipses.

#include "ui/preview_dialog.h"

#include <gtest/gtest.h>

#include <numbers>

#include "drawing_builder.h"

namespace plattero::ui {
namespace {

// Ink (neither background nor frame) in the four quadrants around the
// canvas centre: upper right, upper left, lower left, lower right.
std::array<int, 4> InkByQuadrant(const QImage& image) {
  std::array<int, 4> ink{};
  const int cx = image.width() / 2, cy = image.height() / 2;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y) & 0xFFFFFF;
      if (c == 0xFFFFFF || c == 0xD02020 || std::abs(x - cx) < 4 || std::abs(y - cy) < 4) continue;
      ink[x > cx ? (y < cy ? 0 : 3) : (y < cy ? 1 : 2)] += 1;
    }
  }
  return ink;
}

TEST(PreviewCanvas, ArcsAreDrawnOnTheSideTheySweep) {
  constexpr double kPi = std::numbers::pi;
  const struct {
    const char* name;
    double start, sweep, tilt, flat;
    std::array<bool, 4> inked;  // upper right, upper left, lower left, lower right
  } cases[] = {
      {"quarter, counter-clockwise", 0, kPi / 2, 0, 1, {true, false, false, false}},
      {"quarter, clockwise", 0, -kPi / 2, 0, 1, {false, false, false, true}},
      {"three quarters", 0, 1.5 * kPi, 0, 1, {true, true, true, false}},
      {"tilted ellipse", 0, kPi / 2, kPi / 2, 0.5, {false, true, false, false}},
      {"tilted, clockwise", kPi, -kPi / 2, kPi / 2, 0.5, {false, false, true, false}},
  };
  for (const auto& c : cases) {
    TJwwData doc;
    testing::InitDrawing(doc);
    for (auto& g : doc.EntLgrp)
      g.anGLay = 2;
    for (auto& l : doc.EntLay)
      l.aanLay = 2;
    TEntJwwEnko arc;
    arc.att.nPenColor = 2;
    arc.att.nPenStyle = 1;
    arc.dHankei = 100;
    arc.radKaishiKaku = c.start;
    arc.radEnkoKaku = c.sweep;
    arc.radKatamukiKaku = c.tilt;
    arc.dHenpeiRitsu = c.flat;
    doc.EntEnko.push_back(arc);
    doc.MakeBlockTree();
    render::TPreviewPicture picture;
    picture.scenes.push_back(
        {0, 0, std::make_shared<const render::TScene>(render::BuildScene(doc))});
    picture.frames.push_back({-150, -150, 300, 300, u""});
    picture.extents.Add(-150, -150);
    picture.extents.Add(150, 150);
    TPreviewCanvas canvas(nullptr);
    canvas.resize(324, 324);
    canvas.SetPicture(picture);
    const std::array<int, 4> ink = InkByQuadrant(canvas.grab().toImage());
    for (int q = 0; q < 4; ++q)
      EXPECT_EQ(ink[q] > 20, c.inked[q]) << c.name << ", quadrant " << q << ": " << ink[q];
  }
}

}  // namespace
}  // namespace plattero::ui
