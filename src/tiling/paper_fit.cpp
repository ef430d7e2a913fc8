#include "tiling/paper_fit.h"

#include <algorithm>
#include <cmath>

namespace plattero {

namespace {

// The papers of the table from the smallest up.
constexpr std::int32_t kPapersBySize[] = {4, 3, 2, 1, 0, 8, 9, 10, 11, 12, 13, 14};

bool Finite(const TCellBox& b) {
  return std::isfinite(b.min_x) && std::isfinite(b.min_y) && std::isfinite(b.max_x) &&
         std::isfinite(b.max_y);
}

// Cells exactly as large as the paper fit: rounding in the offsets must not
// make them stick out.
bool Holds(std::int32_t nZumen, const TCellBox& b) {
  if (!Finite(b)) return false;
  const TPaperSize paper = PaperSizeOf(nZumen);
  return b.max_x - b.min_x <= paper.papx * (1 + 1e-9) &&
         b.max_y - b.min_y <= paper.papy * (1 + 1e-9);
}

// Paper and factor decided: the offset that centres the arrangement.
TPaperFit Centred(std::int32_t nZumen, double k, const TCellBox& b) {
  TPaperFit fit;
  fit.nZumen = nZumen;
  fit.k = k;
  fit.fits = Holds(nZumen, b);
  if (Finite(b)) {
    fit.dx = -(b.min_x + b.max_x) / 2;
    fit.dy = -(b.min_y + b.max_y) / 2;
  }
  return fit;
}

// The largest reduction that makes the arrangement fit the paper, or the
// smallest one.
TPaperFit Reduced(std::int32_t nZumen, const TArrangementAt& arrangement) {
  for (double k : kReductions) {
    const TCellBox b = arrangement(k);
    if (Holds(nZumen, b)) return Centred(nZumen, k, b);
  }
  const double smallest = kReductions[std::size(kReductions) - 1];
  return Centred(nZumen, smallest, arrangement(smallest));
}

}  // namespace

TCellBox BoxOfCells(const std::vector<TTilePlace>& places) {
  TCellBox box;
  bool first = true;
  for (const TTilePlace& p : places) {
    const TCellBox cell{p.x - p.cell_w / 2, p.y - p.cell_h / 2, p.x + p.cell_w / 2,
                        p.y + p.cell_h / 2};
    if (first) {
      box = cell;
      first = false;
      continue;
    }
    box.min_x = std::min(box.min_x, cell.min_x);
    box.min_y = std::min(box.min_y, cell.min_y);
    box.max_x = std::max(box.max_x, cell.max_x);
    box.max_y = std::max(box.max_y, cell.max_y);
  }
  return box;
}

bool IsUsableReduction(double k) {
  return std::isfinite(k) && k > 0.001 && k <= 1;
}

TPaperFit FitPaper(const TPaperChoice& choice, std::int32_t base_nZumen,
                   const TArrangementAt& arrangement) {
  const bool refused = choice.reduce && !IsUsableReduction(*choice.reduce);
  const std::optional<double> factor = refused ? std::nullopt : choice.reduce;
  TPaperFit fit;
  switch (choice.kind) {
    case TPaperChoice::kBase:
      if (factor) {
        fit = Centred(base_nZumen, *factor, arrangement(*factor));
      } else {
        // As every run has always done: nothing moves.
        fit.nZumen = base_nZumen;
        fit.fits = Holds(base_nZumen, arrangement(1));
      }
      break;
    case TPaperChoice::kFit: {
      const double k = factor.value_or(1.0);
      const TCellBox b = arrangement(k);
      const std::int32_t largest = kPapersBySize[std::size(kPapersBySize) - 1];
      const auto it = std::find_if(std::begin(kPapersBySize), std::end(kPapersBySize),
                                   [&](std::int32_t paper) { return Holds(paper, b); });
      if (it != std::end(kPapersBySize)) {
        fit = Centred(*it, k, b);
      } else {
        fit = factor ? Centred(largest, k, b) : Reduced(largest, arrangement);
      }
      break;
    }
    case TPaperChoice::kNamed: {
      const std::int32_t paper = IsKnownPaper(choice.nZumen) ? choice.nZumen : 0;
      if (factor) {
        fit = Centred(paper, *factor, arrangement(*factor));
        break;
      }
      const TCellBox b = arrangement(1);
      fit = Holds(paper, b) ? Centred(paper, 1, b) : Reduced(paper, arrangement);
      break;
    }
  }
  fit.factor_refused = refused;
  return fit;
}

}  // namespace plattero
