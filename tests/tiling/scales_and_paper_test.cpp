// Drawings of several scales on one sheet: each scale in a layer group of its
// own, a paper that holds the arrangement, and a reduced sheet whose lengths
// still measure what they measured in their own drawings.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "messages/tiling_messages.h"
#include "tile_run.h"
#include "tiling/text_types.h"
#include "util/text.h"

namespace plattero {
namespace {

using testing::InitDrawing;
using testing::kA3;
using testing::Put;
using testing::Segment;
using testing::Sheet;
using testing::TileRun;

// A drawing on A3 with a line in each group of `scales` (group g at scale
// scales[g]; 0 leaves the group empty at 1:1).
void Scaled(TJwwData& d, const std::vector<double>& scales) {
  InitDrawing(d, 700, kA3);
  for (std::size_t g = 0; g < scales.size(); ++g) {
    if (scales[g] == 0) continue;
    d.EntLgrp[g].adScale = scales[g];
    Put(d, Segment(0, 0, 10, static_cast<double>(g), static_cast<int>(g), 3));
  }
}

TTilingInputs OwnGroups(const std::u16string& base, std::vector<std::u16string> files) {
  TTilingInputs in;
  in.base_file = base;
  in.files = std::move(files);
  in.layer_groups = TLayerGroups::kOwn;
  return in;
}

std::vector<const TTileWarning*> OfKind(const std::vector<TTileWarning>& items,
                                        TTileWarning::Kind kind) {
  std::vector<const TTileWarning*> found;
  for (const TTileWarning& w : items)
    if (w.kind == kind) found.push_back(&w);
  return found;
}

// The groups of the result's lines, in the order they were appended.
std::vector<int> LineGroups(const TJwwData& d) {
  std::vector<int> groups;
  for (const TEntJwwLine& l : d.EntLine)
    groups.push_back(l.att.nGLayer);
  return groups;
}

TEST(LayerGroupsOfTheirOwn, EachScaleGoesToAGroupOfThatScaleWithItsSettings) {
  TileRun r;
  TJwwData base, site, detail, site2, same;
  Scaled(base, {100});
  base.EntLgrp[0].aStrGLayName = u"平面図";
  // 1:200 in group 0, with its group's settings and a dimension and a block
  // reference in the group.
  Scaled(site, {200});
  site.EntLgrp[0] = {1, 5, 200, 1, u"配置図"};
  site.EntLay[3] = {1, 1, u"敷地"};
  TEntJwwSunpo dim;
  dim.att = dim.Sen.att = dim.Moji.att = Segment(0, 0, 0, 0).att;
  dim.Sen = Segment(0, 0, 20, 0);
  dim.Moji.str = u"4000";
  dim.Moji.dSizeX = dim.Moji.dSizeY = 3;
  dim.bSxfMode = 1;
  for (TEntJwwAttr* a :
       {&dim.Ho1.att, &dim.Ho2.att, &dim.Te1.att, &dim.Te2.att, &dim.Kt1.att, &dim.Kt2.att})
    a->nPenStyle = 1;
  site.EntNo.push_back({kEntSunpo, 0});
  site.EntSunpo.push_back(dim);
  TEntJwwBlockDef def;
  def.strName = u"樹木";
  def.mLine.push_back(Segment(0, 0, 1, 1));
  def.mNo.push_back({kEntLine, 0});
  site.EntBlockDef.push_back(def);
  TEntJwwBlock ref;
  ref.att.nPenStyle = 1;
  ref.dBairitsuX = ref.dBairitsuY = 1;
  site.EntNo.push_back({kEntBlock, 0});
  site.EntBlock.push_back(ref);
  // 1:50 in group 0 and 1:100 in group 1; another 1:200; one all at 1:100.
  Scaled(detail, {50, 100});
  Scaled(site2, {200});
  Scaled(same, {100});
  const std::u16string b = r.Save(base, "base.jww");
  TTilingInputs in = OwnGroups(b, {r.Save(site, "site.jww"), r.Save(detail, "detail.jww"),
                                   r.Save(site2, "site2.jww"), r.Save(same, "same.jww")});
  TJwwData out;
  r.Tile(in, &out);
  if (HasFatalFailure()) return;

  // The base keeps group 0; the site plan takes group 1 with all its
  // settings; the detail's 1:50 and 1:100 take groups 2 and 3; the second
  // site plan shares group 1; the drawing at the base's scale stays.
  EXPECT_EQ(out.EntLgrp[0], base.EntLgrp[0]);
  EXPECT_EQ(out.EntLgrp[1], site.EntLgrp[0]);
  for (int l = 0; l < 16; ++l)
    EXPECT_EQ(out.EntLay[16 + l], site.EntLay[l]) << l;
  EXPECT_EQ(out.EntLgrp[2].adScale, 50);
  EXPECT_EQ(out.EntLgrp[3].adScale, 100);
  EXPECT_EQ(LineGroups(out), (std::vector<int>{0, 1, 2, 3, 1, 0}));
  ASSERT_EQ(out.EntSunpo.size(), 1u);
  for (const TEntJwwAttr* a :
       {&out.EntSunpo[0].att, &out.EntSunpo[0].Sen.att, &out.EntSunpo[0].Moji.att,
        &out.EntSunpo[0].Ho1.att, &out.EntSunpo[0].Te2.att, &out.EntSunpo[0].Kt2.att})
    EXPECT_EQ(a->nGLayer, 1);
  ASSERT_EQ(out.EntBlock.size(), 1u);
  EXPECT_EQ(out.EntBlock[0].att.nGLayer, 1);
  ASSERT_EQ(out.EntBlockDef.size(), 1u);
  EXPECT_EQ(out.EntBlockDef[0].mLine[0].att.nGLayer, 0);  // definitions keep their contents

  // Where each drawing went, and no warning about scales.
  const TTilingReport& rep = r.engine.Report();
  const auto placed = OfKind(rep.notices, TTileWarning::kGroups);
  ASSERT_EQ(placed.size(), 3u);
  EXPECT_EQ(placed[0]->tile, 0);
  ASSERT_EQ(placed[0]->placed.size(), 1u);
  EXPECT_EQ(placed[0]->placed[0].to, 1);
  EXPECT_EQ(placed[0]->placed[0].scale, 200);
  EXPECT_EQ(placed[1]->placed.size(), 2u);
  EXPECT_EQ(placed[2]->tile, 2);
  EXPECT_TRUE(rep.warnings.empty()) << Utf16ToUtf8(WarningLine(rep.warnings[0]));
  EXPECT_EQ(WarningLine(*placed[0]),
            u"図面ファイル「" + in.files[0] + u"」のレイヤグループ：[0]→[1] 1/200");

  // The default leaves every drawing in the base's groups and warns.
  TileRun plain;
  in.layer_groups = TLayerGroups::kBase;
  TJwwData kept;
  plain.Tile(in, &kept);
  EXPECT_EQ(LineGroups(kept), (std::vector<int>{0, 0, 0, 1, 0, 0}));
  EXPECT_EQ(OfKind(plain.engine.Report().warnings, TTileWarning::kScale).size(), 3u);
  EXPECT_TRUE(plain.engine.Report().notices.empty());
}

TEST(LayerGroupsOfTheirOwn, SeventeenScalesLeaveTheLastWithoutAFreeGroup) {
  TileRun r;
  TJwwData base;
  Scaled(base, {100});
  const std::u16string b = r.Save(base, "base.jww");
  std::vector<std::u16string> files;
  for (int i = 1; i <= 16; ++i) {
    TJwwData d;
    Scaled(d, {100.0 + i});
    files.push_back(r.Save(d, "d" + std::to_string(i) + ".jww"));
  }
  TJwwData out;
  r.Tile(OwnGroups(b, files), &out);
  if (HasFatalFailure()) return;
  const auto none = OfKind(r.engine.Report().warnings, TTileWarning::kNoFreeGroup);
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(none[0]->tile, 15);
  ASSERT_EQ(none[0]->scales.size(), 1u);
  EXPECT_EQ(none[0]->scales[0].group, 0);
  EXPECT_EQ(none[0]->scales[0].scale, 116);
  EXPECT_EQ(none[0]->scales[0].base_scale, 100);
  EXPECT_NE(WarningLine(*none[0]).find(u"空いているレイヤグループが残っていない"),
            std::u16string::npos);
  // Fifteen drawings took groups 1 to 15; the last stayed in group 0.
  std::vector<int> want{0};
  for (int g = 1; g <= 15; ++g)
    want.push_back(g);
  want.push_back(0);
  EXPECT_EQ(LineGroups(out), want);
  for (int g = 1; g <= 15; ++g)
    EXPECT_EQ(out.EntLgrp[g].adScale, 100 + g);
}

// The box of every line of the result.
struct TBox {
  double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
};
TBox LineBox(const TJwwData& d) {
  TBox b;
  for (const TEntJwwLine& l : d.EntLine) {
    b.x0 = std::min({b.x0, l.start_x, l.end_x});
    b.x1 = std::max({b.x1, l.start_x, l.end_x});
    b.y0 = std::min({b.y0, l.start_y, l.end_y});
    b.y1 = std::max({b.y1, l.start_y, l.end_y});
  }
  return b;
}

TEST(PaperOfTheArrangement, FitCentresEveryOrderOnTheSmallestPaperThatHoldsIt) {
  // Four A3 sheets, the first the base itself, 10 mm apart: three per row
  // or column make 1,280 x 604 or 850 x 911 mm, on 2A either way; one per
  // row 420 x 1,218 mm, on 3A; two per column 850 x 604 mm, on A0.
  struct Case {
    TOrder order;
    std::int32_t count;
    std::int32_t nZumen;
  } cases[] = {{TOrder::kRightUp, 3, 8},   {TOrder::kRightDown, 3, 8}, {TOrder::kUpRight, 3, 8},
               {TOrder::kDownRight, 3, 8}, {TOrder::kRightUp, 1, 9},   {TOrder::kUpRight, 2, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.order) * 10 + c.count);
    TileRun r;
    TJwwData sheet;
    Sheet(sheet, kA3);
    const std::u16string s = r.Save(sheet, "a3.jww");
    TTilingInputs in;
    in.base_file = s;
    in.files.assign(4, s);
    in.order = c.order;
    in.count = c.count;
    in.paper.kind = TPaperChoice::kFit;
    TJwwData out;
    r.Tile(in, &out);
    if (HasFatalFailure()) return;
    EXPECT_EQ(out.Enthd.nZumen, c.nZumen);
    const TPaperSize paper = PaperSizeOf(c.nZumen);
    const TBox b = LineBox(out);
    EXPECT_NEAR(b.x0 + b.x1, 0, 1e-9);
    EXPECT_NEAR(b.y0 + b.y1, 0, 1e-9);
    EXPECT_LE(b.x1 - b.x0, paper.papx);
    EXPECT_LE(b.y1 - b.y0, paper.papy);
    ASSERT_TRUE(r.engine.Report().paper.has_value());
    EXPECT_EQ(r.engine.Report().paper->k, 1);
    EXPECT_EQ(PaperLines(r.engine.Report()),
              u"用紙" + PaperCaption(c.nZumen) + u"に配置しました。");
    // Each tile's place is where its sheet now lies.
    for (const TTilePlace& p : r.engine.Report().places)
      EXPECT_TRUE(p.x - 210 >= b.x0 - 1e-9 && p.x + 210 <= b.x1 + 1e-9) << p.x;
  }
}

TEST(ReducedSheet, EveryDrawingHalvedCentredAndMeasuringAsBefore) {
  TileRun r;
  TJwwData base, added;
  Sheet(base, kA3);
  base.EntLgrp[0].adScale = 100;
  base.EntLgrp[2].adScale = 50;
  InitDrawing(added, 700, kA3);
  added.EntLgrp[0].adScale = 100;
  added.EntLgrp[2].adScale = 50;
  Put(added, Segment(-100, -50, 100, 50, 2));
  TEntJwwMoji text;
  text.att.nPenStyle = 1;
  text.att.nPenColor = 1;
  text.start_x = 10;
  text.end_x = 40;
  text.nMojiShu = 3;  // of type 3; halved, it takes the type of its new size or none
  text.dSizeX = added.EntMoj[2].adMojiX;
  text.dSizeY = added.EntMoj[2].adMojiY;
  text.dKankaku = added.EntMoj[2].adMojiD;
  text.str = u"寸法";
  added.EntNo.push_back({kEntMoji, 0});
  added.EntMoji.push_back(text);
  TEntJwwMoji image = text;
  image.nMojiShu = 0;
  image.str = u"^@BM%temp%pic.bmp,100,75,3,4,1,0";
  added.EntNo.push_back({kEntMoji, 1});
  added.EntMoji.push_back(image);
  TEntJwwBlockDef def;
  def.strName = u"部品";
  def.mLine.push_back(Segment(0, 0, 4, 4));
  def.mNo.push_back({kEntLine, 0});
  added.EntBlockDef.push_back(def);
  TEntJwwBlock ref;
  ref.att.nPenStyle = 1;
  ref.DPKijunTen_x = 20;
  ref.DPKijunTen_y = -20;
  ref.dBairitsuX = 2;
  ref.dBairitsuY = 3;
  added.EntNo.push_back({kEntBlock, 0});
  added.EntBlock.push_back(ref);
  TTilingInputs in;
  in.base_file = r.Save(base, "base.jww");
  in.files = {in.base_file, r.Save(added, "added.jww")};
  in.count = 2;
  in.gap_x = 0;
  in.paper.reduce = 0.5;  // on the base's A3
  TJwwData out;
  r.Tile(in, &out);
  if (HasFatalFailure()) return;

  // Two A3 sheets at half size side by side: 420 x 148.5 mm, just A3,
  // centred: the base's centre at (-105, 0), the added drawing's at (105, 0).
  EXPECT_EQ(out.Enthd.nZumen, kA3);
  ASSERT_EQ(out.EntLine.size(), 5u);
  EXPECT_EQ(out.EntLine[0].start_x, -210 * 0.5 - 105);
  EXPECT_EQ(out.EntLine[0].start_y, -148.5 * 0.5);
  EXPECT_EQ(out.EntLine[4].start_x, -50 + 105);
  EXPECT_EQ(out.EntLine[4].end_y, 25);
  ASSERT_EQ(out.EntBlock.size(), 1u);
  EXPECT_EQ(out.EntBlock[0].DPKijunTen_x, 10 + 105);
  EXPECT_EQ(out.EntBlock[0].DPKijunTen_y, -10);
  EXPECT_EQ(out.EntBlock[0].dBairitsuX, 1);
  EXPECT_EQ(out.EntBlock[0].dBairitsuY, 1.5);
  EXPECT_EQ(out.EntBlockDef[0].mLine[0].end_x, 4);  // the definition is not scaled
  ASSERT_EQ(out.EntMoji.size(), 2u);
  EXPECT_EQ(out.EntMoji[0].dSizeX, added.EntMoj[2].adMojiX / 2);
  EXPECT_EQ(out.EntMoji[1].str, u"^@BM%temp%pic.bmp,50,37.5,3,4,1,0");
  // Every group's scale doubled, so that each length measures as before.
  EXPECT_EQ(out.EntLgrp[0].adScale, 200);
  EXPECT_EQ(out.EntLgrp[2].adScale, 100);
  EXPECT_EQ(out.EntLgrp[1].adScale, 2);
  // The halved text takes the type of its new size, when there is one.
  const std::uint32_t type = GetJWWMojisyuNo(out.EntMoj, out.EntMoji[0].dSizeX,
                                             out.EntMoji[0].dSizeY, out.EntMoji[0].dKankaku, 1);
  EXPECT_EQ(out.EntMoji[0].nMojiShu, type);

  const TTilingReport& rep = r.engine.Report();
  ASSERT_TRUE(rep.paper.has_value());
  EXPECT_EQ(rep.paper->k, 0.5);
  EXPECT_TRUE(rep.warnings.empty()) << Utf16ToUtf8(WarningLine(rep.warnings[0]));
  EXPECT_EQ(PaperLines(rep), u"用紙（A3）に配置しました。\n縮小 1/2（[0] 1/200、[2] 1/100）");
  // The places are where the tiles now lie, at their reduced size.
  ASSERT_EQ(rep.places.size(), 2u);
  EXPECT_EQ(rep.places[0].x, -105);
  EXPECT_EQ(rep.places[1].x, 105);
  EXPECT_EQ(rep.places[1].paper_w, 210);
}

TEST(ReducedSheet, APaperTooSmallEvenReducedWarns) {
  TileRun r;
  TJwwData sheet;
  Sheet(sheet, kA3);
  TTilingInputs in;
  in.base_file = r.Save(sheet, "a3.jww");
  in.files.assign(12, in.base_file);
  in.count = 6;
  in.paper = {TPaperChoice::kNamed, 4, std::nullopt};
  TJwwData out;
  r.Tile(in, &out);
  if (HasFatalFailure()) return;
  const auto small = OfKind(r.engine.Report().warnings, TTileWarning::kPaperTooSmall);
  ASSERT_EQ(small.size(), 1u);
  EXPECT_EQ(WarningLine(*small[0]), u"用紙（A4）には縮小 1/10 でも収まりません。");
  EXPECT_EQ(out.Enthd.nZumen, 4);
}

}  // namespace
}  // namespace plattero
