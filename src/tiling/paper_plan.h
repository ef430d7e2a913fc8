#pragma once

// The planning steps of a tiling run that need no drawing's entities, for
// whoever shows in advance what a run will make: where the tiles lie on the
// chosen paper and how far everything shrinks, and where each drawing's
// layer groups go when every scale gets groups of its own.

#include <optional>
#include <vector>

#include "tiling/choices.h"
#include "tiling/drawing_traits.h"
#include "tiling/layer_groups.h"
#include "tiling/layout.h"
#include "tiling/paper_fit.h"

namespace plattero {

// The combined drawing's paper and the tiles on it.
struct TPaperPlan {
  TPaperFit fit;
  // Each listed drawing's place with every sheet reduced by fit.k (its
  // cell and paper too) and the arrangement centred: drawing i's point p
  // goes to p * fit.k + (places[i].x, places[i].y); the base drawing's to
  // p * fit.k + (fit.dx, fit.dy).
  std::vector<TTilePlace> places;
};

// The plan for the choices of `in` (in.paper), with the base drawing's paper
// and the listed drawings' (`papers` as TilePlaces takes them). Nothing when
// the choice leaves every drawing where TilePlaces puts it (the base
// drawing's paper without a reduction).
std::optional<TPaperPlan> PlanPaperFit(const TTilingInputs& in, const TPaperSize& base,
                                       const std::vector<TPaperSize>& papers);

// One listed drawing's step of a run that gives each scale groups of its own
// (TLayerGroupPlan::Assign): where its groups go. `combined` (the base
// drawing's traits when the run starts) takes the scales and states of the
// groups the drawing takes over; `own` becomes the drawing's traits as they
// lie in the combined drawing, so that CompareTraits(combined, own, ...)
// warns as the run does.
TGroupAssignment PlanGroups(TLayerGroupPlan& plan, TDrawingTraits& combined, TDrawingTraits& own);

// The groups of the base drawing that hold entities: where a plan starts.
TGroupsUsed UsedGroups(const TDrawingTraits& traits);

}  // namespace plattero
