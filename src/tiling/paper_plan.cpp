#include "tiling/paper_plan.h"

namespace plattero {

namespace {

TPaperSize Reduced(TPaperSize p, double k) {
  p.papx *= k;
  p.papy *= k;
  return p;
}

}  // namespace

std::optional<TPaperPlan> PlanPaperFit(const TTilingInputs& in, const TPaperSize& base,
                                       const std::vector<TPaperSize>& papers) {
  if (in.paper.kind == TPaperChoice::kBase && !in.paper.reduce) return std::nullopt;
  // Reduced sheets lie the gaps apart: the gaps do not shrink.
  auto places_at = [&](double k) {
    std::vector<TPaperSize> reduced;
    reduced.reserve(papers.size());
    for (const TPaperSize& p : papers)
      reduced.push_back(Reduced(p, k));
    return TilePlaces(in, Reduced(base, k), reduced);
  };
  TPaperPlan plan;
  plan.fit = FitPaper(in.paper, base.nZumen, [&](double k) { return BoxOfCells(places_at(k)); });
  plan.places = places_at(plan.fit.k);
  for (TTilePlace& p : plan.places) {
    p.x += plan.fit.dx;
    p.y += plan.fit.dy;
  }
  return plan;
}

TGroupsUsed UsedGroups(const TDrawingTraits& traits) {
  TGroupsUsed used{};
  for (int g = 0; g < kTraitGroups && g < kLayerGroupCount; ++g)
    used[static_cast<std::size_t>(g)] = traits.GroupUsed(g);
  return used;
}

TGroupAssignment PlanGroups(TLayerGroupPlan& plan, TDrawingTraits& combined, TDrawingTraits& own) {
  const TGroupsUsed used = UsedGroups(own);
  const TGroupAssignment a = plan.Assign(own.scales, used);
  // A group taken over takes the drawing's group settings, and with them
  // whether it and its layers are shown.
  for (const TGroupAssignment::TTaken& t : a.taken) {
    if (t.group < 0 || t.group >= kTraitGroups || t.from < 0 || t.from >= kTraitGroups) continue;
    combined.scales[t.group] = own.scales[t.from];
    combined.groups_shown[t.group] = own.groups_shown[t.from];
    for (int l = 0; l < 16; ++l)
      combined.layers_shown[t.group * 16 + l] = own.layers_shown[t.from * 16 + l];
  }
  // The drawing's used groups, and the layers it draws on, where they went.
  const TDrawingTraits before = own;
  own.layers_used.fill(false);
  for (int g = 0; g < kTraitGroups; ++g) {
    if (!used[static_cast<std::size_t>(g)]) continue;
    const int to = a.target[static_cast<std::size_t>(g)];
    if (to < 0 || to >= kTraitGroups) continue;
    own.scales[to] = before.scales[g];
    own.groups_shown[to] = before.groups_shown[g];
    for (int l = 0; l < 16; ++l) {
      own.layers_shown[to * 16 + l] = before.layers_shown[g * 16 + l];
      own.layers_used[to * 16 + l] = before.layers_used[g * 16 + l];
    }
  }
  return a;
}

}  // namespace plattero
