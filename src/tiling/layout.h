#pragma once

// Where the tiles go: the paper sizes, the offsets of the four orders, the
// places of drawings stepped by the base paper or by their own, and one index
// of the tiles' cells that finds the cells a box reaches into and the cells
// that overlap. The run and the preview lay out alike through these.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "tiling/choices.h"

namespace plattero {

// Paper size of a drawing, landscape, in millimetres; `nZumen` is the code it
// was looked up by.
struct TPaperSize {
  double papx = 0, papy = 0;
  std::int32_t nZumen = 0;
};
// The size of a paper code; any code not in the table is A0.
TPaperSize PaperSizeOf(std::int32_t nZumen);
// True for the codes of the paper size table; any other code reads as A0.
bool IsKnownPaper(std::int32_t nZumen);
// The paper a tile is laid out with: the drawing's own when its code is
// known, else the base drawing's.
TPaperSize TilePaperOf(std::optional<std::int32_t> nZumen, const TPaperSize& base);

// Cells that only touch do not overlap, nor does content that reaches this
// little past its paper: rounding in the offsets must not make them.
inline constexpr double kCellTouch = 1e-6;

// Where one listed drawing goes: its origin (the centre of its paper) moves
// to (x, y); its cell, centred there, is cell_w by cell_h; its own paper is
// paper_w by paper_h. Cells of neighbours lie the gaps apart and overlap only
// when a gap is negative.
struct TTilePlace {
  double x = 0, y = 0;
  double cell_w = 0, cell_h = 0;
  double paper_w = 0, paper_h = 0;
};

// The tile offsets of n files for an order, count and gaps, each step summed
// left to right as (x + papx) + gx. A count below 1 starts a new line with
// every tile.
std::vector<std::pair<double, double>> TileOffsets(std::size_t files, TOrder order,
                                                   std::int32_t count, double gx, double gy,
                                                   double papx, double papy);

// The places of the listed drawings. papers[i] is drawing i's paper
// (TilePaperOf); missing entries count as the base paper. kBase: the offsets
// of TileOffsets and cells of the base paper. kOwn: each row (column, for the
// orders stepping up or down first) as tall (wide) as its largest sheet, each
// cell as wide (tall) as its own sheet, rows and cells aligned on the first
// tile's edges, the first tile at (0, 0).
std::vector<TTilePlace> TilePlaces(const TTilingInputs& in, const TPaperSize& base,
                                   const std::vector<TPaperSize>& papers);

// kGapX or kGapY when a place is no finite number (a gap too large for the
// format), else nothing.
std::optional<TRefusal> CheckOffsets(const std::vector<TTilePlace>& places);

// The tiles' cells, indexed by where they lie: finding the cells a box
// reaches into looks at the tiles near it, not at every tile, however far
// apart or stacked the tiles are. Cells that are no finite box are in no
// answer.
class TTileCells {
 public:
  explicit TTileCells(std::vector<TTilePlace> places);

  const std::vector<TTilePlace>& Places() const { return places_; }
  // The first tile in list order, other than `except`, whose cell the box
  // from (x0, y0) to (x1, y1) overlaps (touching is no overlap); the number
  // of tiles when there is none.
  std::size_t FirstOverlap(double x0, double y0, double x1, double y1, std::size_t except) const;
  // For each tile, the first earlier one whose cell overlaps its own by more
  // than an edge, or -1. The first cell is the base drawing's too.
  std::vector<std::ptrdiff_t> OverlappedCells() const;

 private:
  // Tiles whose cells are the same box, the first of them first.
  struct TSpot {
    double x0, y0, x1, y1;
    std::vector<std::size_t> tiles;
  };
  // The first tile below `bound`, other than `except`, of the spots the box
  // overlaps; `bound` when there is none.
  std::size_t First(double x0, double y0, double x1, double y1, std::size_t except,
                    std::size_t bound) const;

  std::vector<TTilePlace> places_;
  std::vector<TSpot> spots_;  // in the order of their first tiles
  // Squares of the smallest cell's size, keyed by column and row, each
  // listing the spots that reach into it in order. Spots over more squares
  // than a few are listed in large_ instead and compared with every box.
  std::map<std::pair<double, double>, std::vector<std::size_t>> squares_;
  std::vector<std::size_t> large_;
  double square_w_ = 0, square_h_ = 0;
};

}  // namespace plattero
