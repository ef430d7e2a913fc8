// Drawings of different papers, scales and layer states: where their tiles
// go with each tile size, that no two sheets overlap in the written result
// when tiled by their own papers, and which warnings a run gives for them.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>

#include "drawing_builder.h"
#include "messages/tiling_messages.h"
#include "tile_run.h"
#include "tiling/drawing_traits.h"
#include "tiling/tiling_engine.h"
#include "util/text.h"

namespace plattero {
namespace {

using testing::InitDrawing;
using testing::kA0;
using testing::kA1;
using testing::kA2;
using testing::kA3;
using testing::kA4;
using testing::Put;
using testing::Segment;
using testing::Sheet;
using testing::TempDir;
using testing::TileRun;

// `order` counts the orders as the window's arrangement list does.
TTilingInputs Inputs(int order, std::int32_t count, TTileSize size) {
  TTilingInputs in;
  in.order = static_cast<TOrder>(order);
  in.count = count;
  in.tile_size = size;
  return in;
}

std::vector<std::pair<double, double>> Offsets(const TTilingInputs& in, const TPaperSize& p) {
  return TileOffsets(in.files.size(), in.order, in.count, in.gap_x, in.gap_y, p.papx, p.papy);
}

TEST(TilePlaces, MixedPapersInTheFourOrders) {
  // A4, A2, A4, two per row (column), gaps of 10: the rows (columns) are as
  // deep as their largest sheet, the cells as long as their own.
  const TPaperSize a4 = PaperSizeOf(kA4), a2 = PaperSizeOf(kA2);
  using P = std::vector<std::pair<double, double>>;
  struct Case {
    int order;
    P offsets;
    P cells;
  } cases[] = {
      {0, {{0, 0}, {455.5, 0}, {0, 325}}, {{297, 420}, {594, 420}, {297, 210}}},
      {1, {{0, 0}, {455.5, 0}, {0, -325}}, {{297, 420}, {594, 420}, {297, 210}}},
      {2, {{0, 0}, {0, 325}, {455.5, 0}}, {{594, 210}, {594, 420}, {297, 210}}},
      {3, {{0, 0}, {0, -325}, {455.5, 0}}, {{594, 210}, {594, 420}, {297, 210}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.order);
    TTilingInputs in = Inputs(c.order, 2, TTileSize::kOwn);
    in.files = {u"a", u"b", u"c"};
    const auto places = TilePlaces(in, a4, {a4, a2, a4});
    ASSERT_EQ(places.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(places[i].x, c.offsets[i].first) << i;
      EXPECT_EQ(places[i].y, c.offsets[i].second) << i;
      EXPECT_EQ(places[i].cell_w, c.cells[i].first) << i;
      EXPECT_EQ(places[i].cell_h, c.cells[i].second) << i;
    }
    // Base stepping keeps the specified offsets whatever the papers.
    in.tile_size = TTileSize::kBase;
    const auto base = TilePlaces(in, a4, {a4, a2, a4});
    const auto offsets = Offsets(in, a4);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(std::make_pair(base[i].x, base[i].y), offsets[i]);
      EXPECT_EQ(base[i].cell_w, a4.papx);
      EXPECT_EQ(base[i].paper_w, i == 1 ? a2.papx : a4.papx);
    }
  }
  // All of one paper: own stepping lands where base stepping does.
  TTilingInputs in = Inputs(1, 3, TTileSize::kOwn);
  in.files.assign(7, u"x");
  const auto own = TilePlaces(in, a2, {});
  const auto offsets = Offsets(in, a2);
  for (std::size_t i = 0; i < 7; ++i)
    EXPECT_EQ(std::make_pair(own[i].x, own[i].y), offsets[i]);
  // Unknown paper codes take the base paper.
  EXPECT_EQ(TilePaperOf(6, a2).papx, a2.papx);
  EXPECT_EQ(TilePaperOf(std::nullopt, a2).papx, a2.papx);
  EXPECT_EQ(TilePaperOf(kA0, a2).papx, 1189);
}

// The cells a box reaches into, found through the index, are those a look
// at every tile finds, the first one in list order: for mixed papers in
// every order, stacked tiles (negative gaps), gaps far larger than the
// sheets, and boxes from a sliver past a sheet's edge to the whole
// arrangement and beyond.
TEST(TileCells, FindTheFirstCellABoxReachesIntoAsALookAtEveryTileDoes) {
  const TPaperSize a4 = PaperSizeOf(kA4), a2 = PaperSizeOf(kA2), a0 = PaperSizeOf(kA0);
  const struct {
    int order;
    std::int32_t count;
    double gap;
    TTileSize size;
  } layouts[] = {
      {0, 7, 10, TTileSize::kBase},   {1, 5, 0, TTileSize::kOwn},    {2, 4, 10, TTileSize::kOwn},
      {3, 9, -420, TTileSize::kBase}, {0, 6, -150, TTileSize::kOwn}, {1, 8, 1e9, TTileSize::kBase},
  };
  for (const auto& l : layouts) {
    TTilingInputs in = Inputs(l.order, l.count, l.size);
    in.gap_x = in.gap_y = l.gap;
    in.files.assign(60, u"x");
    std::vector<TPaperSize> papers;
    for (std::size_t i = 0; i < in.files.size(); ++i)
      papers.push_back(i % 7 == 3 ? a0 : i % 3 == 1 ? a2 : a4);
    const std::vector<TTilePlace> places = TilePlaces(in, a4, papers);
    const TTileCells cells(places);
    auto scan = [&](double x0, double y0, double x1, double y1, std::size_t except) {
      for (std::size_t j = 0; j < places.size(); ++j) {
        if (j != except && x0 < places[j].x + places[j].cell_w / 2 - 1e-6 &&
            x1 > places[j].x - places[j].cell_w / 2 + 1e-6 &&
            y0 < places[j].y + places[j].cell_h / 2 - 1e-6 &&
            y1 > places[j].y - places[j].cell_h / 2 + 1e-6)
          return j;
      }
      return places.size();
    };
    for (std::size_t t = 0; t < places.size(); ++t) {
      const TTilePlace& p = places[t];
      for (const double reach : {0.0, 5.0, 12.0, 300.0, 2000.0, 1e5, 1e12}) {
        // Past the right edge, past the bottom-left corner, all round.
        const double boxes[][4] = {
            {p.x, p.y - 1, p.x + p.cell_w / 2 + reach, p.y + 1},
            {p.x - p.cell_w / 2 - reach, p.y - p.cell_h / 2 - reach, p.x, p.y},
            {p.x - reach, p.y - reach, p.x + reach, p.y + reach},
        };
        for (const auto& b : boxes) {
          EXPECT_EQ(cells.FirstOverlap(b[0], b[1], b[2], b[3], t), scan(b[0], b[1], b[2], b[3], t))
              << "order " << l.order << ", gap " << l.gap << ", tile " << t << ", reach " << reach;
        }
      }
    }
  }
}

// The box of each tile's lines in the result (four per tile after the base's
// own entities).
std::vector<std::array<double, 4>> TileBoxes(const TJwwData& out, std::size_t first,
                                             std::size_t tiles) {
  std::vector<std::array<double, 4>> boxes;
  for (std::size_t t = 0; t < tiles; ++t) {
    std::array<double, 4> b = {1e300, 1e300, -1e300, -1e300};
    for (std::size_t k = first + 4 * t; k < first + 4 * t + 4; ++k) {
      const TEntJwwLine& l = out.EntLine[k];
      for (auto [x, y] : {std::pair{l.start_x, l.start_y}, std::pair{l.end_x, l.end_y}}) {
        b[0] = std::min(b[0], x);
        b[1] = std::min(b[1], y);
        b[2] = std::max(b[2], x);
        b[3] = std::max(b[3], y);
      }
    }
    boxes.push_back(b);
  }
  return boxes;
}

bool Overlapping(const std::array<double, 4>& a, const std::array<double, 4>& b) {
  return a[0] < b[2] && b[0] < a[2] && a[1] < b[3] && b[1] < a[3];
}

TEST(MixedPapers, OwnSizeSheetsNeverOverlapInTheWrittenFile) {
  const std::int32_t papers[] = {kA4, kA2, kA4, kA3, kA1, kA4, kA3};
  for (int order = 0; order < 4; ++order) {
    for (TTileSize size : {TTileSize::kOwn, TTileSize::kBase}) {
      SCOPED_TRACE(std::to_string(order) + (size == TTileSize::kOwn ? " own" : " base"));
      TileRun r;
      TJwwData base;
      Sheet(base, kA4);
      TTilingInputs in = Inputs(order, 3, size);
      in.gap_x = 5;
      in.gap_y = 0;  // sheets of a column or row may touch, never overlap
      in.base_file = r.Save(base, "base.jww");
      for (std::size_t i = 0; i < std::size(papers); ++i) {
        TJwwData d;
        Sheet(d, papers[i]);
        in.files.push_back(r.Save(d, std::to_string(i) + ".jww"));
      }
      TJwwData out;
      r.Tile(in, &out);
      ASSERT_EQ(out.EntLine.size(), 4 * (std::size(papers) + 1));
      const auto boxes = TileBoxes(out, 4, std::size(papers));
      bool any = false;
      for (std::size_t i = 0; i < boxes.size(); ++i) {
        // Each sheet lies where its place says.
        const TTilePlace& p = r.engine.Report().places[i];
        EXPECT_DOUBLE_EQ(boxes[i][0], p.x - PaperSizeOf(papers[i]).papx / 2) << i;
        EXPECT_DOUBLE_EQ(boxes[i][3], p.y + PaperSizeOf(papers[i]).papy / 2) << i;
        for (std::size_t j = i + 1; j < boxes.size(); ++j) {
          if (size == TTileSize::kOwn) {
            EXPECT_FALSE(Overlapping(boxes[i], boxes[j])) << i << " and " << j;
          }
          any = any || Overlapping(boxes[i], boxes[j]);
        }
      }
      // Base stepping does overlap them, and names every sheet of another paper.
      if (size == TTileSize::kBase) {
        EXPECT_TRUE(any);
        std::size_t paper_warnings = 0;
        for (const TTileWarning& w : r.engine.Report().warnings)
          paper_warnings += w.kind == TTileWarning::kPaperSize;
        EXPECT_EQ(paper_warnings, 4u);
      } else {
        for (const TTileWarning& w : r.engine.Report().warnings)
          ADD_FAILURE() << Utf16ToUtf8(WarningLine(w)) << " " << WarningReason(w);
      }
    }
  }
}

// A drawing made to raise one warning against an A4 base whose groups are at
// 1:100, with group 2 and layer [0-3] hidden; `fine` makes the same drawing
// agree with the base.
struct WarningCase {
  const char* name;
  std::function<void(TJwwData&, bool fine)> make;
  TTileWarning::Kind kind;
  std::u16string line;  // WarningLine of the warning, after the file name
};

void BaseLike(TJwwData& d) {
  InitDrawing(d, 700, kA4);
  for (auto& g : d.EntLgrp)
    g.adScale = 100;
  d.EntLgrp[2].anGLay = 0;
  d.EntLay[0 * 16 + 3].aanLay = 0;
}

TEST(MixedPapers, EachDifferenceWarnsAndTheSameDrawingMatchingTheBaseDoesNot) {
  const WarningCase cases[] = {
      {"paper",
       [](TJwwData& d, bool fine) {
         BaseLike(d);
         d.Enthd.nZumen = fine ? kA4 : kA2;
         Put(d, Segment(0, 0, 10, 10));
       },
       TTileWarning::kPaperSize, u"」の用紙（A2）はベース図面の用紙（A4）と異なります。"},
      {"unknown paper counts as the base's",
       [](TJwwData& d, bool fine) {
         BaseLike(d);
         d.Enthd.nZumen = fine ? 6 : kA3;
         Put(d, Segment(0, 0, 10, 10));
       },
       TTileWarning::kPaperSize, u"」の用紙（A3）はベース図面の用紙（A4）と異なります。"},
      {"content past the paper into the next cell",
       [](TJwwData& d, bool fine) {
         BaseLike(d);
         Put(d, Segment(0, 0, fine ? 150 : 200, 0));  // A4: 148.5 to the edge, 10 mm gap
       },
       TTileWarning::kBeyondCell, u"」の図形が用紙からはみ出し、隣の図面に重なります。"},
      {"scale of a group with entities",
       [](TJwwData& d, bool fine) {
         BaseLike(d);
         d.EntLgrp[1].adScale = fine ? 100 : 50;
         d.EntLgrp[5].adScale = 20;  // holds nothing: no warning
         Put(d, Segment(0, 0, 10, 10, 1, 4));
       },
       TTileWarning::kScale, u"」の縮尺がベース図面と異なります（[1] 1/50→1/100）。"},
      {"infinite scale",
       [](TJwwData& d, bool fine) {
         BaseLike(d);
         d.EntLgrp[3].adScale = fine ? 100 : HUGE_VAL;
         Put(d, Segment(0, 0, 10, 10, 3, 0));
       },
       TTileWarning::kScale, u"」の縮尺がベース図面と異なります（[3] 1/inf→1/100）。"},
      {"layer hidden in the base",
       [](TJwwData& d, bool fine) {
         BaseLike(d);
         d.EntLay[3].aanLay = 2;
         Put(d, Segment(0, 0, 10, 10, 0, fine ? 2 : 3));
       },
       TTileWarning::kHidden,
       u"」の図形の一部はベース図面で非表示のレイヤにあり、表示されません（[0-3]）。"},
      {"group hidden in the base",
       [](TJwwData& d, bool fine) {
         BaseLike(d);
         d.EntLgrp[2].anGLay = 1;
         Put(d, Segment(0, 0, 10, 10, fine ? 1 : 2, 7));
       },
       TTileWarning::kHidden,
       u"」の図形の一部はベース図面で非表示のレイヤにあり、表示されません（[2]）。"},
      {"layer hidden in the drawing, shown in the base",
       [](TJwwData& d, bool fine) {
         BaseLike(d);
         d.EntLay[1 * 16 + 10].aanLay = 0;
         Put(d, Segment(0, 0, 10, 10, 1, fine ? 9 : 10));
       },
       TTileWarning::kUnhidden, u"」で非表示のレイヤの図形が表示されます（[1-A]）。"},
  };
  for (const WarningCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool fine : {false, true}) {
      TileRun r;
      TJwwData base, d, neighbour;
      BaseLike(base);
      c.make(d, fine);
      BaseLike(neighbour);
      TTilingInputs in = Inputs(0, 3, TTileSize::kBase);
      in.base_file = r.Save(base, "base.jww");
      in.files = {r.Save(d, "d.jww"), r.Save(neighbour, "n.jww")};
      r.Tile(in);
      const auto& warnings = r.engine.Report().warnings;
      if (fine) {
        EXPECT_TRUE(warnings.empty()) << Utf16ToUtf8(WarningLine(warnings[0]));
        continue;
      }
      ASSERT_EQ(warnings.size(), 1u);
      EXPECT_EQ(warnings[0].kind, c.kind);
      EXPECT_EQ(warnings[0].tile, 0);
      EXPECT_FALSE(WarningReason(warnings[0]).empty());
      EXPECT_EQ(WarningLine(warnings[0]), u"図面ファイル「" + in.files[0] + c.line);
    }
  }
}

TEST(MixedPapers, ContentPastThePaperOnlyWarnsWhereItReachesAnotherCell) {
  // The last tile of a row has no neighbour to its right; with own sizes a
  // small sheet in a tall row has room above and below within its cell.
  TileRun r;
  TJwwData base, wide, tall, big;
  BaseLike(base);
  BaseLike(wide);
  Put(wide, Segment(0, 0, 400, 0));
  BaseLike(tall);
  Put(tall, Segment(0, 0, 0, 150));  // 45 mm past an A4, within an A2 row
  BaseLike(big);
  big.Enthd.nZumen = kA2;
  TTilingInputs in = Inputs(0, 3, TTileSize::kOwn);
  in.base_file = r.Save(base, "base.jww");
  in.files = {r.Save(tall, "tall.jww"), r.Save(big, "big.jww"), r.Save(wide, "wide.jww")};
  r.Tile(in);
  EXPECT_TRUE(r.engine.Report().warnings.empty());
  // Two rows of one: the wide one reaches nothing, the tall one the row above.
  in.count = 1;
  in.files = {in.files[0], in.files[2], in.files[1]};
  r.Tile(in);
  ASSERT_EQ(r.engine.Report().warnings.size(), 1u);
  EXPECT_EQ(r.engine.Report().warnings[0].kind, TTileWarning::kBeyondCell);
  EXPECT_EQ(r.engine.Report().warnings[0].tile, 0);
}

TEST(MixedPapers, AFileThatIsNoDrawingIsCalledSoAndHeadersAreReadAlone) {
  TileRun r;
  TJwwData base, a2;
  Sheet(base, kA4);
  Sheet(a2, kA2);
  TTilingInputs in = Inputs(0, 3, TTileSize::kOwn);
  in.base_file = r.Save(base, "base.jww");
  const std::u16string sheet = r.Save(a2, "a2.jww");
  std::ofstream(r.files.file("text.jww")) << "not a drawing at all\n";
  std::ofstream(r.files.file("empty.jww")).flush();
  in.files = {r.files.ufile("text.jww"), r.files.ufile("empty.jww"), sheet,
              r.files.ufile("gone.jww")};
  TJwwData out;
  r.Tile(in, &out);
  const auto& w = r.engine.Report().warnings;
  ASSERT_EQ(w.size(), 3u);
  EXPECT_EQ(w[0].kind, TTileWarning::kNotDrawing);
  EXPECT_EQ(WarningLine(w[0]), u"「" + in.files[0] + u"」は図面ファイルではありません。");
  EXPECT_EQ(w[1].kind, TTileWarning::kNotDrawing);
  EXPECT_EQ(w[2].kind, TTileWarning::kMissing);
  EXPECT_EQ(w[2].tile, 3);
  // The files that are no drawings and the missing one take the base paper.
  EXPECT_EQ(r.engine.Report().places[1].x, 307);
  EXPECT_EQ(r.engine.Report().places[2].x, 762.5);
  EXPECT_EQ(r.engine.Report().places[3].x, 0);
  EXPECT_EQ(r.engine.Report().places[3].y, 420 / 2 + 10 + 210 / 2);

  // Header only: the paper of a drawing whose entities are damaged, and the
  // header of one whose names make it longer than the first read.
  TJwwData h;
  EXPECT_TRUE(h.HeaderIn(sheet));
  EXPECT_EQ(h.Enthd.nZumen, kA2);
  std::filesystem::resize_file(r.files.path() + "a2.jww", 2000);
  EXPECT_FALSE(h.HeaderIn(sheet));
  EXPECT_FALSE(h.Status().no_signature());
  TJwwData named;
  Sheet(named, kA1);
  for (auto& l : named.EntLay)
    l.aStrLayName = std::u16string(200, u'名');
  EXPECT_TRUE(h.HeaderIn(r.Save(named, "named.jww")));
  EXPECT_EQ(h.Enthd.nZumen, kA1);
  EXPECT_EQ(h.EntLay[255].aStrLayName, named.EntLay[255].aStrLayName);
  EXPECT_FALSE(h.HeaderIn(r.files.ufile("text.jww")));
  EXPECT_TRUE(h.Status().no_signature());
}

}  // namespace
}  // namespace plattero
