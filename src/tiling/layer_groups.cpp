#include "tiling/layer_groups.h"

#include <algorithm>
#include <cmath>

namespace plattero {

namespace {

constexpr int kGroups = kLayerGroupCount;
constexpr int kLayersPerGroup = kLayerCount / kLayerGroupCount;

}  // namespace

bool SameScale(double a, double b) {
  // An infinite scale is the same only as itself: the relative tolerance
  // below would take it for any other.
  if (!std::isfinite(a) || !std::isfinite(b)) return a == b;
  return a == b || std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

bool TGroupAssignment::Moves() const {
  for (int g = 0; g < kGroups; ++g)
    if (target[g] != g) return true;
  return false;
}

TLayerGroupPlan::TLayerGroupPlan(const TGroupScales& scales, const TGroupsUsed& used)
    : scales_(scales), used_(used) {}

TGroupAssignment TLayerGroupPlan::Assign(const TGroupScales& scales, const TGroupsUsed& used) {
  TGroupAssignment a;
  std::array<bool, kGroups> placed{};  // the group of the added drawing has its target
  std::array<bool, kGroups> taken{};   // a group of the combined drawing this drawing uses
  auto place = [&](int g, int to) {
    a.target[g] = static_cast<std::uint16_t>(to);
    placed[g] = true;
    taken[to] = true;
  };
  for (int g = 0; g < kGroups; ++g) {
    a.target[g] = static_cast<std::uint16_t>(g);
    if (!used[g]) placed[g] = true;
  }
  // 1. The same number at the same scale. Done for every group first, so that
  // a group moving elsewhere does not take the place of one that stays.
  for (int g = 0; g < kGroups; ++g) {
    if (!placed[g] && SameScale(scales_[g], scales[g])) place(g, g);
  }
  const std::vector<int> shared_before = shared_;
  // 2. A group an earlier drawing of this scale went to.
  for (int g = 0; g < kGroups; ++g) {
    if (placed[g]) continue;
    for (int to : shared_before) {
      if (!taken[to] && SameScale(scales_[to], scales[g])) {
        place(g, to);
        break;
      }
    }
  }
  // 3. A free group: its own number first, so that a drawing keeps its
  // numbers where it can, then the lowest.
  auto take_free = [&](int g, int to) {
    place(g, to);
    a.taken.push_back({to, g});
    scales_[to] = scales[g];
  };
  for (int g = 0; g < kGroups; ++g) {
    if (!placed[g] && !used_[g] && !taken[g]) take_free(g, g);
  }
  for (int g = 0; g < kGroups; ++g) {
    if (placed[g]) continue;
    for (int to = 0; to < kGroups; ++to) {
      if (!used_[to] && !taken[to]) {
        take_free(g, to);
        break;
      }
    }
  }
  // 4. No free group left.
  for (int g = 0; g < kGroups; ++g) {
    if (placed[g]) continue;
    place(g, g);
    a.no_free_group.push_back(g);
  }
  for (int g = 0; g < kGroups; ++g) {
    if (!used[g]) continue;
    const int to = a.target[g];
    used_[to] = true;
    if (SameScale(scales_[to], scales[g]) &&
        std::find(shared_.begin(), shared_.end(), to) == shared_.end())
      shared_.push_back(to);
  }
  return a;
}

void TakeGroupSettings(TJwwData& to, int to_group, const TJwwData& from, int from_group) {
  auto fits = [](const TJwwData& d, int g) {
    return g >= 0 && g < kGroups && static_cast<std::size_t>(g) < d.EntLgrp.size() &&
           static_cast<std::size_t>((g + 1) * kLayersPerGroup) <= d.EntLay.size();
  };
  if (!fits(to, to_group) || !fits(from, from_group)) return;
  to.EntLgrp[static_cast<std::size_t>(to_group)] =
      from.EntLgrp[static_cast<std::size_t>(from_group)];
  for (int l = 0; l < kLayersPerGroup; ++l) {
    to.EntLay[static_cast<std::size_t>(to_group * kLayersPerGroup + l)] =
        from.EntLay[static_cast<std::size_t>(from_group * kLayersPerGroup + l)];
  }
}

void Regroup(const TGroupAssignment& a, TEntJwwAttr& att) {
  // A group number beyond the table is written as group 0 and left here.
  if (att.nGLayer < kGroups) att.nGLayer = a.target[att.nGLayer];
}

void Regroup(const TGroupAssignment& a, TEntJwwSunpo& e) {
  for (TEntJwwAttr* att : {&e.att, &e.Sen.att, &e.Moji.att, &e.Ho1.att, &e.Ho2.att, &e.Te1.att,
                           &e.Te2.att, &e.Kt1.att, &e.Kt2.att})
    Regroup(a, *att);
}

}  // namespace plattero
