#pragma once

// Within the tiling library: the attribute block of the entity an order entry
// designates, for the merge tables that renumber or count what every entity
// carries whatever its kind.

#include "jww/entity_lists.h"
#include "jww/entity_visit.h"
#include "tiling/text_types.h"

namespace plattero::tiling_detail {

// The attribute block of the entity an order entry designates, or null.
inline TEntJwwAttr* AttrOf(EntityListsOut& l, const TEntJwwNo& no) {
  TEntJwwAttr* att = nullptr;
  VisitEntity(no, l, [&att](auto& e) { att = &e.att; });
  return att;
}

// A text the merge leaves out (IsFilteredText) that the entry designates.
inline bool IsFilteredEntry(EntityListsOut& l, const TEntJwwNo& no) {
  return no.EntType == kEntMoji && AttrOf(l, no) &&
         IsFilteredText(l.moji[static_cast<std::size_t>(no.EntNo)]);
}

}  // namespace plattero::tiling_detail
