#include "tiling/curve_numbers.h"

#include "tiling/entity_attrs.h"

namespace plattero {

namespace {

using tiling_detail::AttrOf;
using tiling_detail::IsFilteredEntry;

std::uint32_t Renumbered(std::int64_t index_plus_base, bool negative) {
  // Wrapped to 32 bits, as the format stores it; no signed overflow.
  const auto v = static_cast<std::uint64_t>(index_plus_base);
  return static_cast<std::uint32_t>(negative ? (~v + 1) : v);
}

}  // namespace

void TCurveNumbers::Reset() {
  CrvNo1.clear();
  index_.clear();
}

void TCurveNumbers::Count(std::uint32_t c) {
  const auto v = static_cast<std::int32_t>(c);
  if (v == 0) return;
  if (index_.emplace(v, static_cast<std::int32_t>(CrvNo1.size())).second) CrvNo1.push_back(v);
}

std::int32_t TCurveNumbers::Index(std::uint32_t c) const {
  const auto v = static_cast<std::int32_t>(c);
  if (v == 0) return -1;
  const auto it = index_.find(v);
  return it == index_.end() ? -1 : it->second;
}

void TCurveNumbers::JWWGetCrvNo(TJwwData& base) {
  Reset();
  for (TEntJwwBlockDef& b : base.EntBlockDef) {
    if (!b.ref_flag) continue;
    EntityListsOut l = NestedLists(b);
    for (const TEntJwwNo& no : b.mNo) {
      if (const TEntJwwAttr* att = AttrOf(l, no)) Count(att->lGroup);
    }
  }
  EntityListsOut top = TopLevelLists(base);
  for (const TEntJwwNo& no : base.EntNo) {
    if (const TEntJwwAttr* att = AttrOf(top, no)) Count(att->lGroup);
  }
}

void TCurveNumbers::JWW2GetCrvNo(TJwwData& added, const std::vector<bool>& counted) {
  Reset();
  auto walk = [this](EntityListsOut l) {
    for (const TEntJwwNo& no : l.order) {
      const TEntJwwAttr* att = AttrOf(l, no);
      if (att && !IsFilteredEntry(l, no)) Count(att->lGroup);
    }
  };
  for (std::size_t i = 0; i < added.EntBlockDef.size() && i < counted.size(); ++i) {
    if (counted[i]) walk(NestedLists(added.EntBlockDef[i]));
  }
  walk(TopLevelLists(added));
}

void TCurveNumbers::JWWSetCrvNo1(std::uint32_t& c) const {
  const std::int32_t i = Index(c);
  if (i >= 0) c = Renumbered(std::int64_t{i} + 1, static_cast<std::int32_t>(c) < 0);
}

void TCurveNumbers::JWW2SetCrvNo1(std::uint32_t& c) const {
  const std::int32_t i = Index(c);
  if (i >= 0) c = Renumbered(std::int64_t{i} + CrvNo, static_cast<std::int32_t>(c) < 0);
}

}  // namespace plattero
