#include "tiling/drawing_traits.h"

#include <type_traits>

#include "jww/entity_lists.h"
#include "jww/entity_visit.h"
#include "jww/extents.h"
#include "tiling/layer_groups.h"
#include "tiling/text_types.h"

namespace plattero {

namespace {

void Use(TDrawingTraits& t, const TEntJwwAttr& att) {
  if (att.nGLayer < kTraitGroups && att.nLayer < 16)
    t.layers_used[att.nGLayer * 16 + att.nLayer] = true;
}

TTileWarning Make(TTileWarning::Kind kind, const std::u16string& file, std::size_t tile) {
  TTileWarning w;
  w.kind = kind;
  w.file = file;
  w.tile = static_cast<std::ptrdiff_t>(tile);
  return w;
}

// Layers with entities shown by `shows` and hidden by `hides`: whole groups
// named as a group when `hides` hides the group and `shows` shows it.
std::vector<TLayerRef> VisibilityChanges(const TDrawingTraits& used_in, const TDrawingTraits& shows,
                                         const TDrawingTraits& hides) {
  std::vector<TLayerRef> names;
  for (int g = 0; g < kTraitGroups; ++g) {
    if (!used_in.GroupUsed(g) || !shows.groups_shown[g]) continue;
    if (!hides.groups_shown[g]) {
      bool any = false;
      for (int l = 0; l < 16 && !any; ++l)
        any = used_in.layers_used[g * 16 + l] && shows.layers_shown[g * 16 + l];
      if (any) names.push_back({g, -1});
      continue;
    }
    for (int l = 0; l < 16; ++l) {
      const int i = g * 16 + l;
      if (used_in.layers_used[i] && shows.layers_shown[i] && !hides.layers_shown[i])
        names.push_back({g, l});
    }
  }
  return names;
}

}  // namespace

bool TDrawingTraits::GroupUsed(int g) const {
  for (int l = 0; l < 16; ++l)
    if (layers_used[g * 16 + l]) return true;
  return false;
}

TDrawingTraits TraitsOf(const TJwwData& doc) {
  TDrawingTraits t;
  t.nZumen = doc.Enthd.nZumen;
  for (int g = 0; g < kTraitGroups && static_cast<std::size_t>(g) < doc.EntLgrp.size(); ++g) {
    t.scales[g] = doc.EntLgrp[g].adScale;
    t.groups_shown[g] = doc.EntLgrp[g].anGLay != 0;
  }
  for (int i = 0; i < kTraitLayers && static_cast<std::size_t>(i) < doc.EntLay.size(); ++i)
    t.layers_shown[i] = doc.EntLay[i].aanLay != 0;
  // Texts the merge leaves out neither use a layer nor take room.
  TExtents box;
  const EntityListsIn lists = TopLevelLists(doc);
  ForEachEntity(lists, [&](const auto& e) {
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype(e)>, TEntJwwMoji>) {
      if (IsFilteredText(e)) return;
    }
    Use(t, e.att);
    AddExtents(box, e);
  });
  t.content_empty = box.empty;
  t.min_x = box.min_x;
  t.min_y = box.min_y;
  t.max_x = box.max_x;
  t.max_y = box.max_y;
  return t;
}

std::vector<TTileWarning> CompareTraits(const TDrawingTraits& base, const TDrawingTraits& own,
                                        const TTileCells& cells, std::size_t tile,
                                        TTileSize tile_size, const std::u16string& file) {
  const std::vector<TTilePlace>& places = cells.Places();
  std::vector<TTileWarning> out;
  const TPaperSize base_paper = PaperSizeOf(base.nZumen);
  const TPaperSize paper = TilePaperOf(own.nZumen, base_paper);
  if (tile_size == TTileSize::kBase &&
      (paper.papx != base_paper.papx || paper.papy != base_paper.papy)) {
    TTileWarning w = Make(TTileWarning::kPaperSize, file, tile);
    w.paper = paper;
    w.tile_paper = base_paper;
    out.push_back(std::move(w));
  }
  if (tile < places.size() && !own.content_empty) {
    const TTilePlace& p = places[tile];
    const bool beyond_paper =
        own.min_x < -paper.papx / 2 - kCellTouch || own.max_x > paper.papx / 2 + kCellTouch ||
        own.min_y < -paper.papy / 2 - kCellTouch || own.max_y > paper.papy / 2 + kCellTouch;
    const bool beyond_cell =
        own.min_x < -p.cell_w / 2 - kCellTouch || own.max_x > p.cell_w / 2 + kCellTouch ||
        own.min_y < -p.cell_h / 2 - kCellTouch || own.max_y > p.cell_h / 2 + kCellTouch;
    if (beyond_paper && beyond_cell) {
      const std::size_t other = cells.FirstOverlap(own.min_x + p.x, own.min_y + p.y,
                                                   own.max_x + p.x, own.max_y + p.y, tile);
      if (other < places.size()) {
        TTileWarning w = Make(TTileWarning::kBeyondCell, file, tile);
        w.other_tile = other;
        out.push_back(std::move(w));
      }
    }
  }
  TTileWarning scale = Make(TTileWarning::kScale, file, tile);
  for (int g = 0; g < kTraitGroups; ++g) {
    if (own.GroupUsed(g) && !SameScale(own.scales[g], base.scales[g]))
      scale.scales.push_back({g, own.scales[g], base.scales[g]});
  }
  if (!scale.scales.empty()) out.push_back(std::move(scale));
  TTileWarning hidden = Make(TTileWarning::kHidden, file, tile);
  hidden.layers = VisibilityChanges(own, own, base);
  if (!hidden.layers.empty()) out.push_back(std::move(hidden));
  TTileWarning unhidden = Make(TTileWarning::kUnhidden, file, tile);
  unhidden.layers = VisibilityChanges(own, base, own);
  if (!unhidden.layers.empty()) out.push_back(std::move(unhidden));
  return out;
}

TTileWarning OverlapWarning(std::size_t tile, std::size_t other, const std::u16string& file) {
  TTileWarning w = Make(TTileWarning::kOverlap, file, tile);
  w.other_tile = other;
  return w;
}

}  // namespace plattero
