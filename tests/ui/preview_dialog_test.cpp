// Painting the preview with Qt: arcs land on the side of the centre they
// sweep, in either direction and on tilted ellipses, and round solids fill
// their sectors.

#include "ui/preview_dialog.h"

#include <gtest/gtest.h>

#include "arc_pictures.h"

namespace plattero::ui {
namespace {

TEST(PreviewCanvas, ArcsAndRoundSolidsAreDrawnOnTheSideTheySweep) {
  for (const bool solid : {false, true}) {
    for (const testing::ArcCase& c : testing::ArcCases()) {
      TPreviewCanvas canvas(nullptr);
      canvas.resize(324, 324);
      canvas.SetPicture(testing::ArcPicture(c, solid));
      const QImage image = canvas.grab().toImage();
      const std::array<int, 4> ink = testing::InkByQuadrant(
          image.width(), image.height(), [&image](int x, int y) { return image.pixel(x, y); });
      const int least = solid ? testing::kFilledQuadrantInk : 20;
      for (int q = 0; q < 4; ++q)
        EXPECT_EQ(ink[q] > least, c.inked[q])
            << c.name << (solid ? " (solid)" : "") << ", quadrant " << q << ": " << ink[q];
    }
  }
}

}  // namespace
}  // namespace plattero::ui
