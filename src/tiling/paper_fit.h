#pragma once

// The paper of a combined drawing: the base drawing's, the smallest that
// holds the arrangement of tiles, or one the user names; a reduction factor
// when the arrangement does not fit that paper; and the offset that centres
// the arrangement on it (stored coordinates have their origin at the centre
// of the paper).

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "tiling/layout.h"

namespace plattero {

// A box in the combined drawing's coordinates (paper millimetres).
struct TCellBox {
  double min_x = 0, min_y = 0, max_x = 0, max_y = 0;
};
// The box around every tile's cell.
TCellBox BoxOfCells(const std::vector<TTilePlace>& places);

// The reductions tried, largest first, when a paper does not hold the
// arrangement: they turn common scales into common scales.
inline constexpr double kReductions[] = {2.0 / 3, 1.0 / 2, 2.0 / 5, 1.0 / 3,
                                         1.0 / 4, 1.0 / 5, 1.0 / 8, 1.0 / 10};
// A factor a user may give: above 0.001 and at most 1.
bool IsUsableReduction(double k);

struct TPaperFit {
  std::int32_t nZumen = 3;  // the paper code of the combined drawing
  double k = 1;             // every drawing's reduction
  double dx = 0, dy = 0;    // what moves the (reduced) arrangement's centre onto the paper's
  // The paper's frame holds every cell. False for the base paper that is too
  // small, and for a paper too small even at the smallest reduction (k is
  // then that reduction).
  bool fits = true;
  // The factor given was not usable (IsUsableReduction) and was ignored.
  bool factor_refused = false;
};

// The arrangement's cells with every drawing reduced by k; the gaps between
// the cells stay as given, so the box does not shrink by k itself.
using TArrangementAt = std::function<TCellBox(double k)>;

// The paper, reduction and offset for a choice. kBase without a factor leaves
// everything where it is (k = 1, no offset). kFit takes the smallest paper of
// the table, A4 upwards (A4, A3, A2, A1, A0, 2A ... 5A, 10m, 50m, 100m), that
// holds the arrangement, reduced by the given factor if any; beyond the
// largest it reduces on that paper as kNamed does. kNamed takes that paper
// (an unknown code reads as A0) and, unless a factor is given, the largest
// of kReductions that makes the arrangement fit, or the smallest of them
// when none does.
TPaperFit FitPaper(const TPaperChoice& choice, std::int32_t base_nZumen,
                   const TArrangementAt& arrangement);

}  // namespace plattero
