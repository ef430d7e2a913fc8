#pragma once

// What a drawing brings into a tiling that the combined drawing may show
// otherwise than the drawing did on its own: its paper, the scales of its
// layer groups, which layers it draws on and which it hides, and how far its
// content reaches. The tiling run and the preview both compare a drawing's
// traits with the base drawing's through CompareTraits, so they warn alike.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jww/jww_data.h"
#include "tiling/layout.h"
#include "tiling/report.h"

namespace plattero {

inline constexpr int kTraitGroups = 16;
inline constexpr int kTraitLayers = 256;  // group * 16 + layer

struct TDrawingTraits {
  std::int32_t nZumen = 0;
  std::array<double, kTraitGroups> scales{};      // adScale: 100 is 1:100
  std::array<bool, kTraitGroups> groups_shown{};  // anGLay not 0
  std::array<bool, kTraitLayers> layers_shown{};  // aanLay not 0
  std::array<bool, kTraitLayers> layers_used{};   // holds an entity the merge carries over
  // Box around the points of the entities the merge carries over (block
  // references by their insertion point), in the drawing's coordinates.
  bool content_empty = true;
  double min_x = 0, min_y = 0, max_x = 0, max_y = 0;

  bool GroupUsed(int g) const;
};

// The traits of a drawing as read: header, tables and top-level entities.
TDrawingTraits TraitsOf(const TJwwData& doc);

// The warnings for listed drawing `tile` (placed at cells.Places()[tile]
// among the others) against the base drawing, in this order: kPaperSize (only with
// kBase stepping: a known paper other than the base's), kBeyondCell (content
// past its own paper and into another tile's cell), kScale (groups holding
// entities at another scale than the base's same group), kHidden (entities on
// layers or groups the base hides while the drawing shows them), kUnhidden
// (the other way round). Each names `file` and `tile`.
std::vector<TTileWarning> CompareTraits(const TDrawingTraits& base, const TDrawingTraits& own,
                                        const TTileCells& cells, std::size_t tile,
                                        TTileSize tile_size, const std::u16string& file);

// kOverlap for listed drawing `tile`, whose cell overlaps that of the earlier
// tile `other` (TTileCells::OverlappedCells).
TTileWarning OverlapWarning(std::size_t tile, std::size_t other, const std::u16string& file);

}  // namespace plattero
