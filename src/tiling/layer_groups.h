#pragma once

// Layer groups of their own for the drawings of a tiling: stored coordinates
// are paper millimetres and a layer group's scale says what they measure, so
// an added drawing's entities go to a group of the combined drawing with
// their own group's scale.
//
// For each group of an added drawing that holds entities, in this order of
// preference:
//   1. the combined drawing's group of the same number, when its scale is the
//      same;
//   2. a group that took entities of that scale from an earlier drawing of
//      the run (so several 1:200 drawings share one group);
//   3. a free group, one that holds no entity of the base drawing or of any
//      tile so far: its own number when that one is free, else the lowest;
//      it takes over the added group's settings;
//   4. else its own number, at the other scale, and the assignment says so.
// Distinct groups of one drawing go to distinct groups of the combined
// drawing wherever steps 1 to 3 allow, so its layers stay apart.

#include <array>
#include <cstdint>
#include <vector>

#include "jww/jww_data.h"
#include "jww/jwwtype.h"

namespace plattero {

// True when two layer-group scales are the same (relative tolerance 1e-9; an
// infinite or NaN scale only as itself).
bool SameScale(double a, double b);

using TGroupScales = std::array<double, kLayerGroupCount>;  // adScale: 100 is 1:100
using TGroupsUsed = std::array<bool, kLayerGroupCount>;     // the group holds entities

// Where one added drawing's groups go.
struct TGroupAssignment {
  // For each group of the added drawing, the group of the combined drawing
  // its entities go to (its own number for groups without entities).
  std::array<std::uint16_t, kLayerGroupCount> target{};
  // Free groups of the combined drawing given to this drawing: they take the
  // settings of its group `from` (TakeGroupSettings).
  struct TTaken {
    int group = 0;
    int from = 0;
  };
  std::vector<TTaken> taken;
  // Groups of the added drawing that hold entities and stay in their own
  // number at another scale than it has in the combined drawing, as no free
  // group was left.
  std::vector<int> no_free_group;

  // True when some group's entities go to another number.
  bool Moves() const;
};

class TLayerGroupPlan {
 public:
  // The combined drawing as the run starts: its groups' scales and the groups
  // that hold entities of the base drawing.
  TLayerGroupPlan(const TGroupScales& scales, const TGroupsUsed& used);

  // Decides where the groups of a drawing with these scales and used groups
  // go, and notes its groups as used and the scales the free ones took.
  TGroupAssignment Assign(const TGroupScales& scales, const TGroupsUsed& used);

  // The combined drawing's groups as the assignments so far left them.
  const TGroupScales& Scales() const { return scales_; }
  const TGroupsUsed& Used() const { return used_; }

 private:
  TGroupScales scales_;
  TGroupsUsed used_;
  // Groups that took entities of earlier drawings at their own scale, in the
  // order they took them: where a later drawing of that scale goes.
  std::vector<int> shared_;
};

// The layer group `to_group` of `to` takes the settings of group `from_group`
// of `from`: scale, state, write layer, protection, name, and its sixteen
// layers' states, protection and names. Groups outside a table are left.
void TakeGroupSettings(TJwwData& to, int to_group, const TJwwData& from, int from_group);

// The entity's group as the assignment sends it; a dimension's eight parts
// go with it.
void Regroup(const TGroupAssignment& a, TEntJwwAttr& att);
void Regroup(const TGroupAssignment& a, TEntJwwSunpo& e);

}  // namespace plattero
