#include "tiling/paper_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace plattero {
namespace {

// `files` A3 sheets, `count` per row (column), 10 mm apart, every sheet
// reduced by k and the gaps as given.
TArrangementAt A3Sheets(std::size_t files, int order, std::int32_t count) {
  return [=](double k) {
    TTilingInputs in;
    in.files.assign(files, u"x.jww");
    in.order = static_cast<TOrder>(order);
    in.count = count;
    return BoxOfCells(TilePlaces(in, TPaperSize{420 * k, 297 * k, 3}, {}));
  };
}

TPaperChoice Choice(TPaperChoice::Kind kind, std::int32_t nZumen = 3,
                    std::optional<double> reduce = std::nullopt) {
  return {kind, nZumen, reduce};
}

TEST(PaperFit, ChoicesOverArrangements) {
  struct Case {
    const char* what;
    TPaperChoice choice;
    TArrangementAt arrangement;
    std::int32_t nZumen;
    double k, dx, dy;
    bool fits;
  };
  const Case cases[] = {
      // Four sheets, three per row or column: 1280 x 604 or 850 x 911 mm,
      // both only on 2A; centred in each order's own direction.
      {"fit, right-up", Choice(TPaperChoice::kFit), A3Sheets(4, 0, 3), 8, 1, -430, -153.5, true},
      {"fit, right-down", Choice(TPaperChoice::kFit), A3Sheets(4, 1, 3), 8, 1, -430, 153.5, true},
      {"fit, up-right", Choice(TPaperChoice::kFit), A3Sheets(4, 2, 3), 8, 1, -215, -307, true},
      {"fit, down-right", Choice(TPaperChoice::kFit), A3Sheets(4, 3, 3), 8, 1, -215, 307, true},
      {"fit, one sheet", Choice(TPaperChoice::kFit), A3Sheets(1, 0, 3), 3, 1, 0, 0, true},
      {"fit, two sheets side by side: 850 mm, A0", Choice(TPaperChoice::kFit), A3Sheets(2, 0, 3), 0,
       1, -215, 0, true},
      {"fit beyond 5A", Choice(TPaperChoice::kFit),
       [](double) {
         return TCellBox{0, 0, 6000, 10};
       },
       12, 1, -3000, -5, true},
      {"base paper: nothing moves", Choice(TPaperChoice::kBase), A3Sheets(4, 0, 3), 3, 1, 0, 0,
       false},
      {"named A0 that holds", Choice(TPaperChoice::kNamed, 0), A3Sheets(2, 0, 3), 0, 1, -215, 0,
       true},
      // On A1 (841 x 594) 2/3 gives 860 mm, 1/2 gives 650 x 307.
      {"named A1 needs a half", Choice(TPaperChoice::kNamed, 1), A3Sheets(4, 0, 3), 1, 0.5, -220,
       -79.25, true},
      // Ten sheets, five per row, on A4: 302.5 mm wide at 1/8, 250 at 1/10.
      {"named A4 needs a tenth", Choice(TPaperChoice::kNamed, 4), A3Sheets(10, 0, 5), 4, 0.1, -104,
       -19.85, true},
      // Twelve, six per row: 302 mm at 1/10, still too wide.
      {"named A4 too small", Choice(TPaperChoice::kNamed, 4), A3Sheets(12, 0, 6), 4, 0.1, -130,
       -19.85, false},
      {"named unknown paper reads as A0", Choice(TPaperChoice::kNamed, 6), A3Sheets(1, 0, 3), 0, 1,
       0, 0, true},
      {"factor on the fitting paper", Choice(TPaperChoice::kFit, 3, 0.5), A3Sheets(4, 0, 3), 1, 0.5,
       -220, -79.25, true},
      {"factor on the base paper", Choice(TPaperChoice::kBase, 3, 0.5), A3Sheets(4, 0, 3), 3, 0.5,
       -220, -79.25, false},
      {"factor on a named paper", Choice(TPaperChoice::kNamed, 2, 0.25), A3Sheets(4, 0, 3), 2, 0.25,
       -115, -42.125, true},
  };
  for (const Case& c : cases) {
    const TPaperFit fit = FitPaper(c.choice, 3, c.arrangement);
    EXPECT_EQ(fit.nZumen, c.nZumen) << c.what;
    EXPECT_EQ(fit.k, c.k) << c.what;
    EXPECT_NEAR(fit.dx, c.dx, 1e-9) << c.what;
    EXPECT_NEAR(fit.dy, c.dy, 1e-9) << c.what;
    EXPECT_EQ(fit.fits, c.fits) << c.what;
    EXPECT_FALSE(fit.factor_refused) << c.what;
  }
}

TEST(PaperFit, UnusableFactorsAndBoxes) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double bad : {0.0, -0.5, 1.5, 0.0005, nan}) {
    const TPaperFit fit = FitPaper(Choice(TPaperChoice::kFit, 3, bad), 3, A3Sheets(1, 0, 3));
    EXPECT_TRUE(fit.factor_refused) << bad;
    EXPECT_EQ(fit.k, 1) << bad;
    EXPECT_EQ(fit.nZumen, 3) << bad;
  }
  // A box that is no number: the smallest reduction, nothing moved, no fit.
  const TPaperFit fit = FitPaper(Choice(TPaperChoice::kFit), 3, [&](double) {
    return TCellBox{nan, 0, 1, 1};
  });
  EXPECT_EQ(fit.k, 0.1);
  EXPECT_EQ(fit.dx, 0);
  EXPECT_FALSE(fit.fits);
}

}  // namespace
}  // namespace plattero
