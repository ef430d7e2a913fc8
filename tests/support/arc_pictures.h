#pragma once

// Pictures of one arc inside a square frame, for the tests of each toolkit's
// preview painter: an arc must be inked in the quadrants around the canvas's
// centre that it sweeps, in either direction and on tilted ellipses; a round
// solid (the sector of that arc) must fill them.
// Header only: the tests that use it link the renderer themselves.

#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numbers>
#include <vector>

#include "drawing_builder.h"
#include "render/preview.h"
#include "render/scene.h"

namespace plattero::testing {

struct ArcCase {
  const char* name;
  double start, sweep, tilt, flat;
  std::array<bool, 4> inked;  // upper right, upper left, lower left, lower right
};

inline std::vector<ArcCase> ArcCases() {
  constexpr double kPi = std::numbers::pi;
  return {
      {"quarter, counter-clockwise", 0, kPi / 2, 0, 1, {true, false, false, false}},
      {"quarter, clockwise", 0, -kPi / 2, 0, 1, {false, false, false, true}},
      {"three quarters", 0, 1.5 * kPi, 0, 1, {true, true, true, false}},
      {"tilted ellipse", 0, kPi / 2, kPi / 2, 0.5, {false, true, false, false}},
      {"tilted, clockwise", kPi, -kPi / 2, kPi / 2, 0.5, {false, false, true, false}},
  };
}

// Fewest pixels of a quadrant that a filled sector of the arc covers (a
// quarter of the flattest ellipse less the bands at the axes).
inline constexpr int kFilledQuadrantInk = 2000;

// The arc (radius 100, centred), or with `solid` the round solid filling its
// sector, in a frame 300 wide: on a canvas of 324 x 324 pixels one unit is one
// pixel.
inline render::TPreviewPicture ArcPicture(const ArcCase& c, bool solid = false) {
  TJwwData doc;
  InitDrawing(doc);
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
  if (solid) {
    doc.EntSolid.push_back({arc.att, 0, 0, arc.dHankei, arc.dHenpeiRitsu, arc.radKatamukiKaku,
                            arc.radKaishiKaku, arc.radEnkoKaku, 0, 0});
    doc.EntSolid.back().att.nPenStyle = 101;
  } else {
    doc.EntEnko.push_back(arc);
  }
  doc.MakeBlockTree();
  render::TPreviewPicture picture;
  picture.scenes.push_back({0, 0, std::make_shared<const render::TScene>(render::BuildScene(doc))});
  picture.frames.push_back({-150, -150, 300, 300, u""});
  picture.extents.Add(-150, -150);
  picture.extents.Add(150, 150);
  return picture;
}

// Pixels inked (neither white nor the frames' red) in the four quadrants
// around the canvas's centre: upper right, upper left, lower left, lower
// right. `pixel(x, y)` gives 0xRRGGBB.
inline std::array<int, 4> InkByQuadrant(int width, int height,
                                        const std::function<std::uint32_t(int, int)>& pixel) {
  std::array<int, 4> ink{};
  const int cx = width / 2, cy = height / 2;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = pixel(x, y) & 0xFFFFFF;
      if (c == 0xFFFFFF || c == 0xD02020 || std::abs(x - cx) < 4 || std::abs(y - cy) < 4) continue;
      ink[x > cx ? (y < cy ? 0 : 3) : (y < cy ? 1 : 2)] += 1;
    }
  }
  return ink;
}

}  // namespace plattero::testing
