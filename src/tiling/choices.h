#pragma once

// What a tiling run is asked to do, as typed values, and the checks a run
// makes of them before it reads any drawing. Turning typed text into these is
// the front ends' part (the window's fields, the command line's options).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plattero {

// The arrangement order: along the first direction until a line holds
// `count` tiles, then the next line in the second direction.
enum class TOrder {
  kRightUp,    // rows from left to right, rows going up
  kRightDown,  // rows from left to right, rows going down
  kUpRight,    // columns from bottom to top, columns going right
  kDownRight,  // columns from top to bottom, columns going right
};
// True for the orders that fill columns first (the count is per column).
inline bool StepsByColumns(TOrder order) {
  return order == TOrder::kUpRight || order == TOrder::kDownRight;
}

// How far apart the tiles lie: every tile the base drawing's paper, or each
// drawing's own paper (rows as tall, columns as wide, as their largest sheet).
enum class TTileSize { kBase, kOwn };

// Where an added drawing's entities go: the base drawing's layer groups of
// the same numbers, or (kOwn) groups of their own scale (TLayerGroupPlan).
enum class TLayerGroups { kBase, kOwn };

// The combined drawing's paper (FitPaper).
struct TPaperChoice {
  enum Kind {
    kBase,   // the base drawing's paper
    kFit,    // the smallest paper that holds the arrangement
    kNamed,  // the paper nZumen
  } kind = kBase;
  std::int32_t nZumen = 3;
  // Every drawing reduced by this factor whatever the paper holds.
  std::optional<double> reduce;
};

struct TTilingInputs {
  std::vector<std::u16string> files;  // full paths, in tiling order
  std::u16string base_file;
  TOrder order = TOrder::kRightUp;
  std::int32_t count = 3;         // tiles per row or column; 1 to 1000 are run
  double gap_x = 10, gap_y = 10;  // paper millimetres, negative ones included
  TTileSize tile_size = TTileSize::kBase;
  TLayerGroups layer_groups = TLayerGroups::kBase;
  // The paper, and the reduction factor given if any (paper.reduce).
  TPaperChoice paper;
};

// Why a run refuses to start, or stops before it adds any drawing, in the
// order the checks are made: the first that applies is the one reported.
enum class TRefusal {
  kNoFiles,         // no drawing listed
  kNoBase,          // no base drawing chosen
  kBaseMissing,     // no file at the base drawing's path
  kBaseNotDrawing,  // the base drawing cannot be read as a drawing
  kCount,           // a count below 1 or above 1000, or one that is no number
  kGapX,            // a gap that is no number, or one putting a tile beyond any number
  kGapY,
};

// Of two refusals, the one checked first.
inline std::optional<TRefusal> FirstRefusal(std::optional<TRefusal> a, std::optional<TRefusal> b) {
  if (!a) return b;
  if (!b) return a;
  return *a < *b ? a : b;
}

// The checks of the choices themselves, told whether the base drawing was
// found (a window checks on its own thread, which must not wait for a file
// system): kNoFiles, kNoBase, kBaseMissing, kCount.
std::optional<TRefusal> CheckChoices(const TTilingInputs& in, bool base_found);

}  // namespace plattero
