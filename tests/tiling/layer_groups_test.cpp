#include "tiling/layer_groups.h"

#include <gtest/gtest.h>

#include "drawing_builder.h"

namespace plattero {
namespace {

TGroupScales AllAt(double s) {
  TGroupScales scales;
  scales.fill(s);
  return scales;
}

TGroupsUsed UsedOnly(std::initializer_list<int> groups) {
  TGroupsUsed used{};
  for (int g : groups)
    used[g] = true;
  return used;
}

// A drawing all of whose groups are at `s`, with other scales in some groups.
TGroupScales Scales(double s, std::initializer_list<std::pair<int, double>> others = {}) {
  TGroupScales scales = AllAt(s);
  for (auto [g, v] : others)
    scales[g] = v;
  return scales;
}

TEST(LayerGroupPlan, MixedScalesGoToGroupsOfTheirOwn) {
  // A 1:100 base using group 0, then drawings of other scales, in turn.
  TLayerGroupPlan plan(AllAt(100), UsedOnly({0}));
  struct Step {
    const char* what;
    TGroupScales scales;
    TGroupsUsed used;
    std::vector<std::pair<int, int>> moves;  // group -> target, for the used groups
    std::vector<std::pair<int, int>> taken;  // combined group <- own group
  };
  const Step steps[] = {
      {"1:200 in group 0: the lowest free group", AllAt(200), UsedOnly({0}), {{0, 1}}, {{1, 0}}},
      // Group 2 is 1:100 like the base's: it stays and is no longer free;
      // the 1:50 group 0 takes the next free one.
      {"1:50 in group 0 and 1:100 in group 2",
       Scales(100, {{0, 50}}),
       UsedOnly({0, 2}),
       {{0, 3}, {2, 2}},
       {{3, 0}}},
      // Two 1:200 groups of one drawing: the first shares group 1, the second
      // keeps its own number, which is free.
      {"1:200 in groups 0 and 5", AllAt(200), UsedOnly({0, 5}), {{0, 1}, {5, 5}}, {{5, 5}}},
      {"another 1:200 drawing shares group 1", AllAt(200), UsedOnly({0}), {{0, 1}}, {}},
      {"1:50 in group 3 stays where 1:50 went",
       Scales(100, {{3, 50}}),
       UsedOnly({3}),
       {{3, 3}},
       {}},
      {"1:50 in group 6 shares group 3", Scales(100, {{6, 50}}), UsedOnly({6}), {{6, 3}}, {}},
  };
  for (const Step& s : steps) {
    const TGroupAssignment a = plan.Assign(s.scales, s.used);
    for (auto [g, to] : s.moves)
      EXPECT_EQ(a.target[g], to) << s.what << ": group " << g;
    ASSERT_EQ(a.taken.size(), s.taken.size()) << s.what;
    for (std::size_t i = 0; i < s.taken.size(); ++i) {
      EXPECT_EQ(a.taken[i].group, s.taken[i].first) << s.what;
      EXPECT_EQ(a.taken[i].from, s.taken[i].second) << s.what;
    }
    EXPECT_TRUE(a.no_free_group.empty()) << s.what;
  }
  EXPECT_EQ(plan.Scales()[1], 200);
  EXPECT_EQ(plan.Scales()[3], 50);
  EXPECT_EQ(plan.Scales()[5], 200);
}

TEST(LayerGroupPlan, SameScalesChangeNothing) {
  TLayerGroupPlan plan(Scales(100, {{1, 50}}), UsedOnly({0, 1}));
  const TGroupAssignment a = plan.Assign(Scales(100, {{1, 50.00000000001}, {4, 20}}),
                                         UsedOnly({0, 1, 2}));  // group 4 holds nothing
  EXPECT_FALSE(a.Moves());
  EXPECT_TRUE(a.taken.empty());
  EXPECT_TRUE(a.no_free_group.empty());
  EXPECT_EQ(plan.Scales()[4], 100);
}

TEST(LayerGroupPlan, SeventeenScalesLeaveNoFreeGroup) {
  TLayerGroupPlan plan(AllAt(100), UsedOnly({0}));
  for (int i = 1; i <= 15; ++i) {
    const TGroupAssignment a = plan.Assign(AllAt(100 + i), UsedOnly({0}));
    EXPECT_EQ(a.target[0], i);
    EXPECT_TRUE(a.no_free_group.empty());
  }
  const TGroupAssignment a = plan.Assign(Scales(100, {{2, 500}, {7, 103}}), UsedOnly({0, 2, 7}));
  EXPECT_EQ(a.target[0], 0);  // the same scale: no need of a free group
  EXPECT_EQ(a.target[2], 2);  // 1:500 stays in group 2 (1:102), reported
  EXPECT_EQ(a.target[7], 3);  // 1:103 went to group 3 before
  EXPECT_EQ(a.no_free_group, std::vector<int>{2});
  EXPECT_TRUE(a.taken.empty());
}

TEST(LayerGroupPlan, SettingsAndEntitiesMoveWithTheirGroup) {
  TJwwData base, added;
  testing::InitDrawing(base);
  testing::InitDrawing(added);
  TEntJwwLayerGroup group{2, 5, 200, 1, u"配置図"};
  added.EntLgrp[4] = group;
  for (int l = 0; l < 16; ++l)
    added.EntLay[4 * 16 + l] = {l % 3, l % 2, u"層" + std::u16string(1, u'A' + l)};
  const auto layers_before = base.EntLay;
  TakeGroupSettings(base, 9, added, 4);
  EXPECT_EQ(base.EntLgrp[9], group);
  for (int i = 0; i < 256; ++i) {
    const auto& want = i / 16 == 9 ? added.EntLay[4 * 16 + i % 16] : layers_before[i];
    EXPECT_EQ(base.EntLay[i], want) << i;
  }
  TakeGroupSettings(base, 16, added, 4);  // beyond the table: nothing

  TGroupAssignment a;
  for (int g = 0; g < 16; ++g)
    a.target[g] = static_cast<std::uint16_t>(g);
  a.target[4] = 9;
  TEntJwwSunpo dim;
  dim.att.nGLayer = dim.Sen.att.nGLayer = dim.Moji.att.nGLayer = dim.Kt2.att.nGLayer = 4;
  dim.Te1.att.nGLayer = 20;  // out of range: left
  Regroup(a, dim);
  EXPECT_EQ(dim.att.nGLayer, 9);
  EXPECT_EQ(dim.Sen.att.nGLayer, 9);
  EXPECT_EQ(dim.Moji.att.nGLayer, 9);
  EXPECT_EQ(dim.Kt2.att.nGLayer, 9);
  EXPECT_EQ(dim.Ho1.att.nGLayer, 0);
  EXPECT_EQ(dim.Te1.att.nGLayer, 20);
}

}  // namespace
}  // namespace plattero
