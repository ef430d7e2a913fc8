#pragma once

// Within the tiling library: the attribute block of the entity an order entry
// designates, for the merge tables that renumber or count what every entity
// carries whatever its kind.

#include <cstddef>

#include "jww/entity_lists.h"
#include "tiling/text_types.h"

namespace plattero::tiling_detail {

// The attribute block of the entity an order entry designates, or null.
inline TEntJwwAttr* AttrOf(EntityListsOut& l, const TEntJwwNo& no) {
  if (no.EntNo < 0) return nullptr;
  const auto i = static_cast<std::size_t>(no.EntNo);
  auto at = [i](auto& list) -> TEntJwwAttr* { return i < list.size() ? &list[i].att : nullptr; };
  switch (no.EntType) {
    case kEntLine:
      return at(l.line);
    case kEntEnko:
      return at(l.enko);
    case kEntTen:
      return at(l.ten);
    case kEntMoji:
      return at(l.moji);
    case kEntSunpo:
      return at(l.sunpo);
    case kEntSolid:
      return at(l.solid);
    case kEntBlock:
      return at(l.block);
    default:
      return nullptr;
  }
}

// A text the merge leaves out (IsFilteredText) that the entry designates.
inline bool IsFilteredEntry(EntityListsOut& l, const TEntJwwNo& no) {
  return no.EntType == kEntMoji && AttrOf(l, no) &&
         IsFilteredText(l.moji[static_cast<std::size_t>(no.EntNo)]);
}

}  // namespace plattero::tiling_detail
