#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <numbers>

#include "jww/limits.h"
#include "jww_test_util.h"

namespace plattero {
namespace {

TEntJwwBlock Ref(std::uint32_t number, double x = 0, double y = 0, double rot = 0, double sx = 1,
                 double sy = 1) {
  TEntJwwBlock b;
  b.att.nPenStyle = 1;
  b.att.nPenColor = 1;
  b.nNumber = number;
  b.DPKijunTen_x = x;
  b.DPKijunTen_y = y;
  b.radKaitenKaku = rot;
  b.dBairitsuX = sx;
  b.dBairitsuY = sy;
  return b;
}

TEntJwwBlockDef Def(std::uint32_t number, std::u16string name,
                    std::vector<TEntJwwBlock> refs = {}) {
  TEntJwwBlockDef d;
  d.nNumber = number;
  d.strName = std::move(name);
  for (TEntJwwBlock& r : refs) {
    d.mNo.push_back({kEntBlock, static_cast<std::int32_t>(d.mBlock.size())});
    d.mBlock.push_back(r);
  }
  return d;
}

TEST(BlockTree, FlagsAndCompactNumbers) {
  TJwwData d;
  d.EntBlockDef = {Def(5, u"五"), Def(7, u"七"), Def(9, u"九", {Ref(5)})};
  d.EntBlock = {Ref(9)};
  d.MakeBlockTree();
  EXPECT_TRUE(d.EntBlockDef[0].ref_flag);
  EXPECT_FALSE(d.EntBlockDef[1].ref_flag);
  EXPECT_TRUE(d.EntBlockDef[2].ref_flag);
  EXPECT_EQ(d.EntBlockDef[0].ref_no, 0);
  EXPECT_EQ(d.EntBlockDef[1].ref_no, -1);
  EXPECT_EQ(d.EntBlockDef[2].ref_no, 1);
  EXPECT_EQ(d.EntBlockNum, 2);
  EXPECT_EQ(d.ChangeBlockNo(9), 1u);
  EXPECT_EQ(d.ChangeBlockNo(5), 0u);
  EXPECT_EQ(d.ChangeBlockNo(7), 7u);
  EXPECT_EQ(d.ChangeBlockNo(8), 8u);  // no such definition: written as a number none takes
  ASSERT_EQ(d.EntBlockTree.size(), 2u);
  EXPECT_EQ(d.EntBlockTree[1].name, u"五");
  EXPECT_EQ(d.EntBlockTree[1].parent, 0);
  EXPECT_EQ(d.EntBlockTree[1].level, 1);

  // Without references nothing is flagged, whatever was set before.
  d.EntBlock.clear();
  d.MakeBlockTree();
  EXPECT_TRUE(d.EntBlockTree.empty());
  EXPECT_EQ(d.EntBlockNum, 0);
  EXPECT_FALSE(d.EntBlockDef[2].ref_flag);
}

TEST(BlockTree, PlacementMapsCompose) {
  TJwwData d;
  d.EntBlockDef = {Def(1, u"outer", {Ref(2, 1, 0)}), Def(2, u"inner")};
  d.EntBlock = {Ref(1, 10, 20, std::numbers::pi / 2, 2, 3)};
  d.MakeBlockTree();
  ASSERT_EQ(d.EntBlockTree.size(), 2u);
  const TEntJwwBlockTree& top = d.EntBlockTree[0];
  EXPECT_NEAR(top.r1, 0, 1e-12);
  EXPECT_DOUBLE_EQ(top.r2, -3);
  EXPECT_DOUBLE_EQ(top.r3, 2);
  EXPECT_NEAR(top.r4, 0, 1e-12);
  const TEntJwwBlockTree& in = d.EntBlockTree[1];
  EXPECT_NEAR(in.x, 10, 1e-12);
  EXPECT_DOUBLE_EQ(in.y, 22);
  EXPECT_NEAR(in.r1, 0, 1e-12);
  EXPECT_DOUBLE_EQ(in.r2, -3);
  EXPECT_DOUBLE_EQ(in.r3, 2);
}

TEST(BlockTree, DuplicatesMissingDefinitionsAndBreadthFirstOrder) {
  TJwwData d;
  d.EntBlockDef = {Def(1, u"a", {Ref(3), Ref(3)}), Def(1, u"a2"), Def(2, u"b", {Ref(3)}),
                   Def(3, u"c")};
  d.EntBlock = {Ref(1), Ref(2), Ref(42)};
  d.MakeBlockTree();
  EXPECT_TRUE(d.EntBlockDef[0].ref_flag);
  EXPECT_FALSE(d.EntBlockDef[1].ref_flag);  // the second of the same number never
  std::vector<std::pair<int, std::uint32_t>> rows;
  for (const auto& r : d.EntBlockTree)
    rows.push_back({r.parent, r.no});
  EXPECT_EQ(rows, (std::vector<std::pair<int, std::uint32_t>>{
                      {-1, 1}, {-1, 2}, {-1, 42}, {0, 3}, {0, 3}, {1, 3}}));
  EXPECT_EQ(d.EntBlockTree[2].defno, -1);
  EXPECT_EQ(d.ChangeBlockNo(42), 42u);
  EXPECT_EQ(d.ChangeBlockNo(0), 0xFFFFFFFFu);  // 0 is a written definition's new number
  EXPECT_EQ(d.EntBlockNum, 3);
}

TEST(BlockTree, CyclesEnd) {
  TJwwData self;
  self.EntBlockDef = {Def(1, u"self", {Ref(1)})};
  self.EntBlock = {Ref(1)};
  self.MakeBlockTree();
  EXPECT_EQ(self.EntBlockTree.size(), 2u);  // placed once more, then not expanded
  EXPECT_EQ(self.EntBlockNum, 1);

  TJwwData pair;
  pair.EntBlockDef = {Def(1, u"a", {Ref(2)}), Def(2, u"b", {Ref(1)})};
  pair.EntBlock = {Ref(1)};
  pair.MakeBlockTree();
  EXPECT_EQ(pair.EntBlockTree.size(), 3u);
  EXPECT_EQ(pair.EntBlockNum, 2);
  EXPECT_FALSE(pair.EntBlockTreeCut);
}

TEST(BlockTree, TenLevelsOfTenPlacementsStayBoundedAndExact) {
  TJwwData d;
  for (std::uint32_t level = 0; level < 10; ++level) {
    std::vector<TEntJwwBlock> refs;
    if (level < 9) refs.assign(10, Ref(level + 1));
    d.EntBlockDef.push_back(Def(level, u"L", refs));
  }
  d.EntBlockDef.push_back(Def(99, u"unused"));
  d.EntBlock.assign(10, Ref(0));
  auto start = std::chrono::steady_clock::now();
  d.MakeBlockTree();
  auto elapsed = std::chrono::steady_clock::now() - start;
  // Unbounded, this would never end; bounded it takes a fraction of a second
  // (the limit leaves room for a loaded machine and the sanitizers).
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  EXPECT_TRUE(d.EntBlockTreeCut);
  EXPECT_LE(d.EntBlockTree.size(), kMaxBlockTreeRows);
  EXPECT_EQ(d.EntBlockNum, 10);  // reachability is exact even when the tree is cut
  EXPECT_FALSE(d.EntBlockDef[10].ref_flag);
  EXPECT_EQ(d.EntBlockDef[9].ref_no, 9);
}

}  // namespace
}  // namespace plattero

namespace plattero {
namespace {

TEST(AddEntPre, GivesRoomWithoutTouchingCounts) {
  TJwwData d;
  d.EntLine.resize(1500);
  d.EntBlockDef.resize(1);
  d.EntBlockDef[0].mMoji.resize(3);
  ASSERT_TRUE(d.AddEntPre());
  ASSERT_TRUE(d.AddEntPre());
  EXPECT_EQ(d.EntLine.size(), 1500u);
  EXPECT_GE(d.EntLine.capacity(), 2500u);
  EXPECT_GE(d.EntNo.capacity(), 1000u);
  EXPECT_GE(d.EntBlockDef[0].mMoji.capacity(), 503u);
  // The room is there: appending within it moves nothing.
  const TEntJwwLine* first = d.EntLine.data();
  for (int i = 0; i < 1000; ++i)
    d.EntLine.emplace_back();
  EXPECT_EQ(d.EntLine.data(), first);
  const TEntJwwMoji* nested = d.EntBlockDef[0].mMoji.data();
  for (int i = 0; i < 500; ++i)
    d.EntBlockDef[0].mMoji.emplace_back();
  EXPECT_EQ(d.EntBlockDef[0].mMoji.data(), nested);
}

TEST(DataInitAndFree, EmptyTheDocumentAndKeepTheImageFolder) {
  TJwwData d;
  d.BindImageFolder = u"/tmp/x/";
  d.EntBlockDef.resize(2);
  d.EntBlockDef[1].mLine.resize(10);
  d.EntLine.resize(3);
  d.SetFileOutOption(32);
  EXPECT_EQ(d.FileOutOpt, 32);
  d.SetFileOutOption(64);
  EXPECT_EQ(d.FileOutOpt, 0);
  d.SetFileOutOption(-1);
  EXPECT_EQ(d.FileOutOpt, 0);
  d.DataFree();
  EXPECT_TRUE(d.EntBlockDef.empty());
  EXPECT_TRUE(d.EntLine.empty());
  EXPECT_EQ(d.BindImageFolder, u"/tmp/x/");
  EXPECT_EQ(d.Enthd.dZoomJumpBairitsu[8], 1.0);
  EXPECT_EQ(d.Enthd.nZoomJumpGLay[1], -1);
}

}  // namespace
}  // namespace plattero
