// Painting the preview with Qt: arcs land on the side of the centre they
// sweep, in either direction and on tilted ellipses.

#include "ui/preview_dialog.h"

#include <gtest/gtest.h>

#include "arc_pictures.h"

namespace plattero::ui {
namespace {

TEST(PreviewCanvas, ArcsAreDrawnOnTheSideTheySweep) {
  for (const testing::ArcCase& c : testing::ArcCases()) {
    TPreviewCanvas canvas(nullptr);
    canvas.resize(324, 324);
    canvas.SetPicture(testing::ArcPicture(c));
    const QImage image = canvas.grab().toImage();
    const std::array<int, 4> ink = testing::InkByQuadrant(
        image.width(), image.height(), [&image](int x, int y) { return image.pixel(x, y); });
    for (int q = 0; q < 4; ++q)
      EXPECT_EQ(ink[q] > 20, c.inked[q]) << c.name << ", quadrant " << q << ": " << ink[q];
  }
}

}  // namespace
}  // namespace plattero::ui
