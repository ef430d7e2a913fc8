#include "tiling/layout.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "util/numbers.h"

namespace plattero {

namespace {

// A cell reaching over more squares than this is compared with every box
// instead of being listed in each square.
constexpr double kMaxSquares = 64;

// The square after column (row) v. Far out, where doubles are no longer
// consecutive integers, squares are numbered by the representable ones.
double NextSquare(double v) {
  const double next = v + 1;
  return next > v ? next : std::nextafter(v, HUGE_VAL);
}

}  // namespace

TPaperSize PaperSizeOf(std::int32_t nZumen) {
  switch (nZumen) {
    case 1:
      return {841, 594, nZumen};
    case 2:
      return {594, 420, nZumen};
    case 3:
      return {420, 297, nZumen};
    case 4:
      return {297, 210, nZumen};
    case 8:
      return {1682, 1189, nZumen};
    case 9:
      return {2378, 1682, nZumen};
    case 10:
      return {3364, 2378, nZumen};
    case 11:
      return {4756, 3364, nZumen};
    case 12:
      return {10000, 7073, nZumen};
    case 13:
      return {50000, 35366, nZumen};
    case 14:
      return {100000, 70732, nZumen};
    default:
      return {1189, 841, nZumen};
  }
}

bool IsKnownPaper(std::int32_t nZumen) {
  return (nZumen >= 0 && nZumen <= 4) || (nZumen >= 8 && nZumen <= 14);
}

TPaperSize TilePaperOf(std::optional<std::int32_t> nZumen, const TPaperSize& base) {
  return nZumen && IsKnownPaper(*nZumen) ? PaperSizeOf(*nZumen) : base;
}

std::vector<std::pair<double, double>> TileOffsets(std::size_t files, TOrder order, std::int32_t n,
                                                   double gx, double gy, double papx, double papy) {
  std::vector<std::pair<double, double>> offsets;
  offsets.reserve(files);
  double x = 0, y = 0;
  std::int32_t k = 0;
  for (std::size_t i = 0; i < files; ++i) {
    offsets.push_back({x, y});
    ++k;
    switch (order) {
      case TOrder::kRightUp:
        x = (x + papx) + gx;
        if (k >= n) k = 0, x = 0, y = (y + papy) + gy;
        break;
      case TOrder::kRightDown:
        x = (x + papx) + gx;
        if (k >= n) k = 0, x = 0, y = (y - papy) - gy;
        break;
      case TOrder::kUpRight:
        y = (y + papy) + gy;
        if (k >= n) k = 0, y = 0, x = (x + papx) + gx;
        break;
      case TOrder::kDownRight:
        y = (y - papy) - gy;
        if (k >= n) k = 0, y = 0, x = (x + papx) + gx;
        break;
    }
  }
  return offsets;
}

std::vector<TTilePlace> TilePlaces(const TTilingInputs& in, const TPaperSize& base,
                                   const std::vector<TPaperSize>& papers) {
  const std::size_t count = in.files.size();
  std::vector<TTilePlace> places(count);
  for (std::size_t i = 0; i < count; ++i) {
    const TPaperSize& paper = i < papers.size() ? papers[i] : base;
    places[i].paper_w = paper.papx;
    places[i].paper_h = paper.papy;
    places[i].cell_w = base.papx;
    places[i].cell_h = base.papy;
  }
  if (in.tile_size == TTileSize::kBase) {
    const auto offsets =
        TileOffsets(count, in.order, in.count, in.gap_x, in.gap_y, base.papx, base.papy);
    for (std::size_t i = 0; i < count; ++i)
      std::tie(places[i].x, places[i].y) = offsets[i];
    return places;
  }
  if (count == 0) return places;
  // A count below 1 starts a new line with every tile, as TileOffsets does.
  const std::size_t n = static_cast<std::size_t>(std::max(1, in.count));
  const double gx = in.gap_x, gy = in.gap_y;
  // Rows for the orders going right first, columns for the others. Along a
  // line each cell is as long as its own sheet; across, as deep as the line's
  // largest.
  const bool rows = !StepsByColumns(in.order);
  const double along_gap = rows ? gx : gy;
  const double across_gap = rows ? gy : gx;
  // kRightDown and kDownRight step downwards: rows go down, or tiles in a
  // column do.
  const double across_sign = in.order == TOrder::kRightDown ? -1.0 : 1.0;
  const double along_sign = in.order == TOrder::kDownRight ? -1.0 : 1.0;
  auto along = [&](std::size_t i) { return rows ? places[i].paper_w : places[i].paper_h; };
  auto across = [&](std::size_t i) { return rows ? places[i].paper_h : places[i].paper_w; };
  // Every line starts at the first tile's edge; the first line's middle is 0.
  const double start = -along(0) / 2;
  double middle = 0, previous_depth = 0;
  for (std::size_t first = 0; first < count; first += n) {
    const std::size_t last = std::min(count, first + n);
    double depth = 0;
    for (std::size_t i = first; i < last; ++i)
      depth = std::max(depth, across(i));
    if (first > 0) middle += across_sign * ((previous_depth / 2 + across_gap) + depth / 2);
    previous_depth = depth;
    double edge = start;  // measured in the direction the line grows
    for (std::size_t i = first; i < last; ++i) {
      const double centre = along_sign * (edge + along(i) / 2);
      edge = (edge + along(i)) + along_gap;
      TTilePlace& p = places[i];
      (rows ? p.x : p.y) = centre;
      (rows ? p.y : p.x) = middle;
      p.cell_w = rows ? p.paper_w : depth;
      p.cell_h = rows ? depth : p.paper_h;
    }
  }
  return places;
}

std::optional<TRefusal> CheckOffsets(const std::vector<TTilePlace>& places) {
  for (const TTilePlace& p : places) {
    if (!IsFiniteNumber(p.x)) return TRefusal::kGapX;
    if (!IsFiniteNumber(p.y)) return TRefusal::kGapY;
  }
  return std::nullopt;
}

TTileCells::TTileCells(std::vector<TTilePlace> places) : places_(std::move(places)) {
  // Squares of the smallest cell's size: a long list costs about as much per
  // tile as a short one, and a cell covers few of them.
  square_w_ = square_h_ = HUGE_VAL;
  for (const TTilePlace& p : places_) {
    if (p.cell_w > 0 && p.cell_h > 0) {
      square_w_ = std::min(square_w_, p.cell_w);
      square_h_ = std::min(square_h_, p.cell_h);
    }
  }
  // Tiles stacked on one spot share its entry, so that the squares keep
  // each box once.
  std::map<std::tuple<double, double, double, double>, std::size_t> seen;
  for (std::size_t i = 0; i < places_.size(); ++i) {
    const TTilePlace& p = places_[i];
    const double x0 = p.x - p.cell_w / 2, y0 = p.y - p.cell_h / 2;
    const double x1 = p.x + p.cell_w / 2, y1 = p.y + p.cell_h / 2;
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
      continue;
    const auto [at, fresh] = seen.try_emplace(std::tuple(x0, y0, x1, y1), spots_.size());
    if (!fresh) {
      spots_[at->second].tiles.push_back(i);
      continue;
    }
    const std::size_t spot = spots_.size();
    spots_.push_back({x0, y0, x1, y1, {i}});
    const double c0 = std::floor(x0 / square_w_), c1 = std::floor(x1 / square_w_);
    const double r0 = std::floor(y0 / square_h_), r1 = std::floor(y1 / square_h_);
    if (!((c1 - c0 + 1) * (r1 - r0 + 1) <= kMaxSquares)) {
      large_.push_back(spot);
      continue;
    }
    for (double c = c0; c <= c1; c = NextSquare(c)) {
      for (double r = r0; r <= r1; r = NextSquare(r))
        squares_[{c, r}].push_back(spot);
    }
  }
}

std::size_t TTileCells::First(double x0, double y0, double x1, double y1, std::size_t except,
                              std::size_t bound) const {
  std::size_t first = bound;
  // Spots come in the order of their first tiles: once one starts at or past
  // the best found, so do the rest of its list.
  auto consider = [&](std::size_t spot) {
    const TSpot& s = spots_[spot];
    if (s.tiles[0] >= first) return false;
    if (x0 < s.x1 - kCellTouch && x1 > s.x0 + kCellTouch && y0 < s.y1 - kCellTouch &&
        y1 > s.y0 + kCellTouch) {
      const std::size_t tile = s.tiles[0] != except ? s.tiles[0]
                               : s.tiles.size() > 1 ? s.tiles[1]
                                                    : first;
      first = std::min(first, tile);
    }
    return true;
  };
  for (const std::size_t spot : large_) {
    if (!consider(spot)) break;
  }
  const double c0 = std::floor(x0 / square_w_), c1 = std::floor(x1 / square_w_);
  const double r0 = std::floor(y0 / square_h_), r1 = std::floor(y1 / square_h_);
  // A box over many squares is over much of the arrangement (or no finite
  // box): every spot is looked at, the first tiles first.
  if (!((c1 - c0 + 1) * (r1 - r0 + 1) <= kMaxSquares)) {
    for (std::size_t spot = 0; spot < spots_.size(); ++spot) {
      if (!consider(spot)) break;
    }
    return first;
  }
  for (double c = c0; c <= c1; c = NextSquare(c)) {
    for (double r = r0; r <= r1; r = NextSquare(r)) {
      const auto it = squares_.find({c, r});
      if (it == squares_.end()) continue;
      for (const std::size_t spot : it->second) {
        if (!consider(spot)) break;
      }
    }
  }
  return first;
}

std::size_t TTileCells::FirstOverlap(double x0, double y0, double x1, double y1,
                                     std::size_t except) const {
  return First(x0, y0, x1, y1, except, places_.size());
}

std::vector<std::ptrdiff_t> TTileCells::OverlappedCells() const {
  std::vector<std::ptrdiff_t> earlier(places_.size(), -1);
  for (const TSpot& s : spots_) {
    for (const std::size_t i : s.tiles) {
      const std::size_t j = First(s.x0, s.y0, s.x1, s.y1, i, i);
      if (j < i) earlier[i] = static_cast<std::ptrdiff_t>(j);
    }
  }
  return earlier;
}

}  // namespace plattero
