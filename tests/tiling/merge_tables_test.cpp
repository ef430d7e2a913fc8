// The merge tables on their own: block names (a drawing's definition
// numbers to rows), curve numbers (old to new), text types and the index of
// the tiles' cells.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "drawing_builder.h"
#include "tiling/block_names.h"
#include "tiling/curve_numbers.h"
#include "tiling/images.h"
#include "tiling/layout.h"
#include "tiling/text_types.h"

namespace plattero {
namespace {

TEntJwwLine Line(double x, std::uint32_t group = 0) {
  TEntJwwLine l;
  l.att.lGroup = group;
  l.att.nPenStyle = l.att.nPenColor = 1;
  l.start_x = l.end_x = x;
  l.end_y = 1;
  return l;
}

template <class Rec>
void Add(std::vector<Rec>& list, std::vector<TEntJwwNo>& order, int kind, const Rec& r) {
  order.push_back({kind, static_cast<std::int32_t>(list.size())});
  list.push_back(r);
}

void AddRef(TJwwData& d, std::uint32_t n) {
  TEntJwwBlock b;
  b.nNumber = n;
  b.dBairitsuX = b.dBairitsuY = 1;
  Add(d.EntBlock, d.EntNo, kEntBlock, b);
}

TEntJwwBlockDef Def(std::uint32_t n, std::u16string name, double x) {
  TEntJwwBlockDef b;
  b.nNumber = n;
  b.strName = std::move(name);
  Add(b.mLine, b.mNo, kEntLine, Line(x));
  return b;
}

// Rows for the base's used definitions; an added drawing's definitions map
// to the row of one of the same name key and contents, or to new rows under
// their own name or, when their name key is taken by other contents, a name
// of their own. References to numbers without definition map to none.
TEST(BlockNameTable, MapsEachDrawingsDefinitionNumbersToRows) {
  TJwwData base;
  testing::InitDrawing(base);
  base.EntBlockDef = {Def(5, u"扉", 1), Def(7, u"未使用", 2), Def(9, u"窓@@SfigorgFlag@@3", 3)};
  AddRef(base, 9);
  AddRef(base, 5);
  base.MakeBlockTree();
  TBlockNameTable t;
  t.GetBlockName1(base);
  ASSERT_EQ(t.Rows().size(), 2u);
  EXPECT_EQ(t.Rows()[0].idx, 0);
  EXPECT_EQ(t.Rows()[1].nn, 9u);
  EXPECT_EQ(t.Rows()[1].nam2, u"窓");
  EXPECT_EQ(t.GetBlockNameNo(u"窓@@sfigorgflag@@8"), 1);
  EXPECT_EQ(t.GetBlockNameNo(u"未使用"), -1);
  EXPECT_EQ(t.GetBlockNumberNo(9), 1u);
  EXPECT_EQ(t.TakeDangling(), 0u);
  EXPECT_EQ(t.GetBlockNumberNo(7), TBlockNameTable::kNoBlockRow);  // unused: no row
  EXPECT_EQ(t.GetBlockNumberNo(42), TBlockNameTable::kNoBlockRow);
  EXPECT_EQ(t.TakeDangling(), 2u);
  EXPECT_TRUE(t.TakeRenamed().empty());

  TJwwData added;
  testing::InitDrawing(added);
  added.EntBlockDef = {Def(1, u"扉", 1), Def(2, u"扉", 4), Def(3, u"机", 5), Def(4, u"不要", 6)};
  for (std::uint32_t n : {1, 2, 3})
    AddRef(added, n);
  added.MakeBlockTree();
  t.PlanDefinitions(added);
  EXPECT_EQ(t.GetBlockNumberNo2(1), 0u);  // the base's "扉": same contents
  EXPECT_EQ(t.GetBlockNumberNo2(2), 2u);  // copied: other contents
  EXPECT_EQ(t.GetBlockNumberNo2(3), 3u);
  EXPECT_EQ(t.GetBlockNumberNo2(4), TBlockNameTable::kNoBlockRow);  // unused
  EXPECT_EQ(t.TakeDangling(), 1u);
  EXPECT_FALSE(t.CopyAs(0).has_value());
  EXPECT_EQ(t.CopyAs(1), u"扉_2");
  EXPECT_EQ(t.CopyAs(2), u"机");
  EXPECT_FALSE(t.CopyAs(3).has_value());
  EXPECT_FALSE(t.CopyAs(99).has_value());
  EXPECT_EQ(t.NewDefinitions(added), (std::vector<bool>{false, true, true, false}));
  const std::vector<TBlockRename> renamed = t.TakeRenamed();
  ASSERT_EQ(renamed.size(), 1u);
  EXPECT_EQ(renamed[0].name, u"扉");
  EXPECT_EQ(renamed[0].new_name, u"扉_2");
  // The copies take their rows as they are appended.
  TJwwData combined;
  combined.EntBlockDef = {Def(0, u"扉_2", 4)};
  EXPECT_EQ(t.GetBlockName2(combined), 2u);
  EXPECT_EQ(t.GetBlockNameNo(u"扉_2"), 2);
}

// Each drawing's distinct curve numbers get a range of their own, in the
// order of first appearance, keeping their sign; 0 and numbers not counted
// stay.
TEST(CurveNumbers, MapOldNumbersToEachDrawingsRange) {
  TJwwData base;
  testing::InitDrawing(base);
  for (std::uint32_t g : {0u, 12u, 12u, 40u, 0xFFFFFFF9u /* -7 */})
    Add(base.EntLine, base.EntNo, kEntLine, Line(0, g));
  TCurveNumbers c;
  c.JWWGetCrvNo(base);
  const struct {
    std::uint32_t old, now;
  } base_cases[] = {
      {0, 0}, {12, 1}, {40, 2}, {0xFFFFFFF9u, static_cast<std::uint32_t>(-3)}, {99, 99}};
  for (const auto& k : base_cases) {
    std::uint32_t n = k.old;
    c.JWWSetCrvNo1(n);
    EXPECT_EQ(n, k.now) << k.old;
  }
  c.StartRanges();
  EXPECT_EQ(c.RangeStart(), 4);

  TJwwData added;
  testing::InitDrawing(added);
  for (std::uint32_t g : {12u, 5u, 0x80000001u})
    Add(added.EntLine, added.EntNo, kEntLine, Line(0, g));
  // A text the merge leaves out counts no number.
  TEntJwwMoji gone;
  gone.att.lGroup = 77;
  gone.start_x = gone.end_x = 1;
  Add(added.EntMoji, added.EntNo, kEntMoji, gone);
  c.JWW2GetCrvNo(added, {});
  const struct {
    std::uint32_t old, now;
  } added_cases[] = {{12, 4}, {5, 5}, {0x80000001u, static_cast<std::uint32_t>(-6)}, {77, 77}};
  for (const auto& k : added_cases) {
    std::uint32_t n = k.old;
    c.JWW2SetCrvNo1(n);
    EXPECT_EQ(n, k.now) << k.old;
  }
  c.NextRange();
  EXPECT_EQ(c.RangeStart(), 7);
  c.Reset();  // a drawing that adds nothing takes no range
  c.NextRange();
  EXPECT_EQ(c.RangeStart(), 7);
}

TEST(TextTypes, AddedTextsTakeTheBaseTypeOfTheirSizeAndColour) {
  std::vector<TEntJwwMojiType> types(10);
  types[2] = {3.5, 4.0, 0.5, 2};
  types[6] = {3.5, 4.0, 0.5, 2};  // the lower number wins
  EXPECT_EQ(GetJWWMojisyuNo(types, 3.5, 4.0, 0.5 + 1e-9, 2), 3u);
  EXPECT_EQ(GetJWWMojisyuNo(types, 3.5, 4.0, 0.5, 3), 0u);
  TEntJwwMoji m;
  m.dSizeX = 3.5;
  m.dSizeY = 4.0;
  m.dKankaku = 0.5;
  m.att.nPenColor = 2;
  for (const auto& [before, after] : std::vector<std::pair<std::uint32_t, std::uint32_t>>{
           {10003, 10003}, {10009, 10003}, {205, 203}, {200, 200}, {0, 0}}) {
    m.nMojiShu = before;
    MatchTextType(types, m);
    EXPECT_EQ(m.nMojiShu, after) << before;
  }
  m.att.nPenColor = 5;  // no type of that colour
  m.nMojiShu = 10004;
  MatchTextType(types, m);
  EXPECT_EQ(m.nMojiShu, 10000u);
}

// Images: the same image under a name in any case is shared; another image
// of a listed name takes a name of its own, which later tiles' identical
// images share, and the drawing's references are rewritten to it. The files
// move from the added drawing's folder into the combined drawing's.
TEST(ImageTable, MapsEachDrawingsImageNamesToTheCombinedList) {
  testing::TempDir tmp, tmp2;
  auto put = [](const testing::TempDir& dir, const char* name, const char* content) {
    std::ofstream(dir.file(name), std::ios::binary) << content;
  };
  auto names = [](const TImageTable& t) {
    std::vector<std::u16string> n;
    for (const TBindImageType& row : t.Rows())
      n.push_back(row.Fname);
    return n;
  };
  auto reference = [](const std::u16string& name) {
    TEntJwwMoji m;
    m.str = u"^@BM%temp%" + name + u",100,100,0,0,1";
    return m;
  };
  TImageTable t(tmp.upath(), tmp2.upath());
  put(tmp, "logo.bmp", "BASE");
  t.Start({{u"logo.bmp", 4, false}});

  put(tmp2, "LOGO.BMP", "BASE");
  put(tmp2, "new.bmp", "NEW");
  EXPECT_TRUE(t.Merge({{u"LOGO.BMP", 4, false}, {u"new.bmp", 3, false}}).empty());
  EXPECT_EQ(names(t), (std::vector<std::u16string>{u"logo.bmp", u"new.bmp"}));
  EXPECT_TRUE(std::filesystem::exists(tmp.file("new.bmp")));
  EXPECT_FALSE(std::filesystem::exists(tmp2.file("new.bmp")));
  std::vector<TEntJwwMoji> texts = {reference(u"LOGO.BMP"), reference(u"new.bmp")};
  t.RenameImageReferences(texts);
  EXPECT_EQ(texts[0].str, reference(u"LOGO.BMP").str);  // shared, unchanged

  for (int tile = 0; tile < 2; ++tile) {
    std::filesystem::remove(tmp2.file("LOGO.BMP"));
    put(tmp2, "logo.bmp", "OTHER");
    EXPECT_TRUE(t.Merge({{u"logo.bmp", 5, false}}).empty());
    texts = {reference(u"logo.bmp"), reference(u"other.bmp")};
    t.RenameImageReferences(texts);
    EXPECT_EQ(texts[0].str, reference(u"logo_2.bmp").str) << tile;
    EXPECT_EQ(texts[1].str, reference(u"other.bmp").str) << tile;
    EXPECT_EQ(names(t), (std::vector<std::u16string>{u"logo.bmp", u"new.bmp", u"logo_2.bmp"}));
  }
  t.Clear();
  EXPECT_TRUE(t.Rows().empty());
}

// One index answers both questions: the first cell a box reaches into, and
// which earlier cell each tile's own overlaps. Cells that are no finite box
// are in no answer.
TEST(TileCells, OneIndexForBoxesAndOverlaps) {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<TTilePlace> places = {
      {0, 0, 100, 50, 100, 50},   {100, 0, 100, 50, 100, 50},  // touching: no overlap
      {150, 0, 100, 50, 100, 50}, {0, 0, 100, 50, 100, 50},    // on the first
      {inf, 0, 100, 50, 100, 50}, {1e6, 1e6, 10, 10, 10, 10},
  };
  const TTileCells cells(places);
  EXPECT_EQ(cells.OverlappedCells(), (std::vector<std::ptrdiff_t>{-1, -1, 1, 0, -1, -1}));
  EXPECT_EQ(cells.FirstOverlap(-10, -10, 10, 10, 99), 0u);
  EXPECT_EQ(cells.FirstOverlap(-10, -10, 10, 10, 0), 3u);
  EXPECT_EQ(cells.FirstOverlap(120, -1, 130, 1, 99), 1u);
  EXPECT_EQ(cells.FirstOverlap(180, -1, 190, 1, 99), 2u);
  EXPECT_EQ(cells.FirstOverlap(50, 25, 60, 30, 99), places.size());  // touches the edge only
  EXPECT_EQ(cells.FirstOverlap(1e6 - 1, 1e6 - 1, 1e6 + 1, 1e6 + 1, 99), 5u);
  EXPECT_EQ(cells.FirstOverlap(-1e7, -1e7, 1e7, 1e7, 0), 1u);
}

}  // namespace
}  // namespace plattero
