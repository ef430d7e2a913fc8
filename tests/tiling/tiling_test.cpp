#include "tiling/tiling_engine.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numeric>
#include <optional>

#include "drawing_builder.h"
#include "messages/tiling_messages.h"
#include "tiling/text_types.h"
#include "util/numbers.h"
#include "util/text.h"

namespace plattero {
namespace {

using testing::InitDrawing;
using testing::TempDir;

// A run's folders: the image folders of the engine and a place for drawings.
struct Fixture {
  TempDir tmp, tmp2, files;
  TTilingEngine engine{tmp.upath(), tmp2.upath()};

  std::u16string Write(TJwwData& d, const std::string& name, int ver = 700) {
    d.MakeBlockTree();
    EXPECT_TRUE(d.FileOut(files.ufile(name), ver));
    return files.ufile(name);
  }
  // Merges, saves and reads the result back.
  TSaveResult Run(const TTilingInputs& in, TJwwData& out) {
    TTilingRun run(engine);
    EXPECT_FALSE(engine.CheckInputs(in).has_value());
    EXPECT_FALSE(engine.Merge(in).has_value());
    auto result = engine.Save(files.ufile("out.jww"));
    if (result.ok) {
      out.BindImageFolder = files.upath() + u"img/";
      std::filesystem::create_directories(files.path() + "img");
      out.BindImageExp = true;
      EXPECT_TRUE(out.FileIn(files.ufile("out.jww")));
    }
    return result;
  }
  // The message the window shows after the save.
  std::u16string Message(const TSaveResult& saved) const {
    return SaveMessage(saved, engine.Report());
  }
};

std::string ReadAll(const std::string& path) {
  std::string s;
  FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return s;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, in)) > 0)
    s.append(buf, n);
  std::fclose(in);
  return s;
}

TEntJwwLine Line(double x1, double y1, double x2, double y2, std::uint32_t group = 0) {
  TEntJwwLine l;
  l.att.lGroup = group;
  l.att.nPenStyle = 1;
  l.att.nPenColor = 1;
  l.start_x = x1;
  l.start_y = y1;
  l.end_x = x2;
  l.end_y = y2;
  return l;
}

TEntJwwMoji Text(std::u16string s, double x1, double y1, double x2, double y2,
                 std::uint32_t shu = 0) {
  TEntJwwMoji m;
  m.att.nPenStyle = 1;
  m.att.nPenColor = 2;
  m.start_x = x1;
  m.start_y = y1;
  m.end_x = x2;
  m.end_y = y2;
  m.nMojiShu = shu;
  m.dSizeX = m.dSizeY = 2.5;
  m.str = std::move(s);
  return m;
}

TEntJwwBlock Ref(std::uint32_t n, double x = 0, double y = 0) {
  TEntJwwBlock b;
  b.att.nPenColor = 1;
  b.nNumber = n;
  b.DPKijunTen_x = x;
  b.DPKijunTen_y = y;
  b.dBairitsuX = b.dBairitsuY = 1;
  return b;
}

template <class Rec>
void Add(std::vector<Rec>& list, std::vector<TEntJwwNo>& order, int kind, const Rec& r) {
  order.push_back({kind, static_cast<std::int32_t>(list.size())});
  list.push_back(r);
}

void AddLine(TJwwData& d, const TEntJwwLine& l) {
  Add(d.EntLine, d.EntNo, kEntLine, l);
}
void AddText(TJwwData& d, const TEntJwwMoji& m) {
  Add(d.EntMoji, d.EntNo, kEntMoji, m);
}
void AddRef(TJwwData& d, const TEntJwwBlock& b) {
  Add(d.EntBlock, d.EntNo, kEntBlock, b);
}

TEntJwwBlockDef Def(std::uint32_t n, std::u16string name, std::vector<TEntJwwBlock> refs = {},
                    std::vector<TEntJwwLine> lines = {}) {
  TEntJwwBlockDef b;
  b.nNumber = n;
  b.strName = std::move(name);
  for (auto& r : refs)
    Add(b.mBlock, b.mNo, kEntBlock, r);
  for (auto& l : lines)
    Add(b.mLine, b.mNo, kEntLine, l);
  return b;
}

TEST(TileOffsets, TheFourOrdersAndTheirSteps) {
  using P = std::vector<std::pair<double, double>>;
  using enum TOrder;
  EXPECT_EQ(TileOffsets(5, kRightUp, 3, 10, 10, 420, 297),
            (P{{0, 0}, {430, 0}, {860, 0}, {0, 307}, {430, 307}}));
  EXPECT_EQ(TileOffsets(5, kRightDown, 3, 10, 10, 420, 297),
            (P{{0, 0}, {430, 0}, {860, 0}, {0, -307}, {430, -307}}));
  EXPECT_EQ(TileOffsets(5, kUpRight, 3, 10, 10, 420, 297),
            (P{{0, 0}, {0, 307}, {0, 614}, {430, 0}, {430, 307}}));
  EXPECT_EQ(TileOffsets(5, kDownRight, 3, 10, 10, 420, 297),
            (P{{0, 0}, {0, -307}, {0, -614}, {430, 0}, {430, -307}}));
  EXPECT_EQ(TileOffsets(3, kRightUp, 1, 10, 10, 420, 297), (P{{0, 0}, {0, 307}, {0, 614}}));
  EXPECT_EQ(TileOffsets(2, kRightUp, 3, -5, 0, 420, 297), (P{{0, 0}, {415, 0}}));
  EXPECT_EQ(TileOffsets(3, kUpRight, 1000, 10, 10, 420, 297), (P{{0, 0}, {0, 307}, {0, 614}}));
}

// Cells overlap when a gap is negative, never when it is 0; each tile
// names the first earlier cell it overlaps, the first cell (the base
// drawing's) included.
TEST(TilePlaces, OverlappingCellsAreFoundAndTouchingOnesAreNot) {
  const TPaperSize a3 = PaperSizeOf(3), a2 = PaperSizeOf(2), a4 = PaperSizeOf(4);
  using O = std::vector<std::ptrdiff_t>;
  const struct {
    TOrder order;
    std::int32_t count;
    double gx, gy;
    TTileSize size;
    O expected;
  } cases[] = {
      {TOrder::kRightUp, 3, 0, 0, TTileSize::kBase, {-1, -1, -1, -1, -1}},
      {TOrder::kRightUp, 3, 10, 10, TTileSize::kOwn, {-1, -1, -1, -1, -1}},
      {TOrder::kRightUp, 3, 0, 0, TTileSize::kOwn, {-1, -1, -1, -1, -1}},
      {TOrder::kRightUp, 3, -5, 10, TTileSize::kBase, {-1, 0, 1, -1, 3}},
      {TOrder::kRightDown, 2, 10, -300, TTileSize::kBase, {-1, -1, 0, 1, 0}},
      {TOrder::kRightUp, 3, -420, 10, TTileSize::kBase, {-1, 0, 0, -1, 3}},
      {TOrder::kDownRight, 2, -420, -297, TTileSize::kBase, {-1, 0, 0, 0, 0}},  // one spot
      {TOrder::kUpRight, 3, 10, -1, TTileSize::kOwn, {-1, 0, 1, -1, 3}},
      {TOrder::kRightUp, 2, -100, 10, TTileSize::kOwn, {-1, 0, -1, 2, -1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.gx) + " " + std::to_string(c.gy) + " " + std::to_string(c.count));
    TTilingInputs in;
    in.files.assign(5, u"x.jww");
    in.order = c.order;
    in.count = c.count;
    in.gap_x = c.gx;
    in.gap_y = c.gy;
    in.tile_size = c.size;
    EXPECT_EQ(TTileCells(TilePlaces(in, a3, {a2, a4, a3, a4, a2})).OverlappedCells(), c.expected);
  }
  // Many tiles on one spot each find an earlier one; far apart, none do.
  TTilingInputs in;
  in.files.assign(20000, u"x.jww");
  in.count = 100;
  in.gap_x = -420;
  const auto stacked = TTileCells(TilePlaces(in, a3, {})).OverlappedCells();
  EXPECT_EQ(std::count(stacked.begin(), stacked.end(), -1), 200);  // the first of each row
  in.gap_x = 1e300;
  const auto far = TTileCells(TilePlaces(in, a3, {})).OverlappedCells();
  EXPECT_EQ(std::count(far.begin(), far.end(), -1), 20000);
}

// The checks come in a fixed order; the first that applies is reported.
// (The fields' texts are read into numbers by the front ends: the window's
// tests check those.)
TEST(TilingChecks, InOrder) {
  Fixture f;
  TJwwData base;
  InitDrawing(base);
  TTilingInputs in;
  in.count = 0;
  EXPECT_EQ(f.engine.CheckInputs(in), TRefusal::kNoFiles);
  in.files = {u"/nowhere/a.jww"};
  EXPECT_EQ(f.engine.CheckInputs(in), TRefusal::kNoBase);
  in.base_file = u"/nowhere/base.jww";
  EXPECT_EQ(f.engine.CheckInputs(in), TRefusal::kBaseMissing);
  in.base_file = f.Write(base, "base.jww");
  for (const std::int32_t bad : {0, -1, 1001, INT32_MIN}) {
    in.count = bad;
    EXPECT_EQ(f.engine.CheckInputs(in), TRefusal::kCount) << bad;
    in.gap_x = std::numeric_limits<double>::infinity();
    EXPECT_EQ(f.engine.CheckInputs(in), TRefusal::kCount) << bad;  // the count comes first
    in.gap_x = 10;
  }
  for (const std::int32_t good : {1, 7, 1000}) {
    in.count = good;
    EXPECT_FALSE(f.engine.CheckInputs(in).has_value()) << good;
  }
  in.gap_x = std::numeric_limits<double>::quiet_NaN();
  in.gap_y = -std::numeric_limits<double>::infinity();
  EXPECT_EQ(f.engine.CheckInputs(in), TRefusal::kGapX);
  in.gap_x = -5;
  EXPECT_EQ(f.engine.CheckInputs(in), TRefusal::kGapY);
}

TEST(Tiling, EntitiesMoveByTheirTileAndTextsAreFilteredAndTyped) {
  Fixture f;
  TJwwData base, add;
  InitDrawing(base);
  AddLine(base, Line(0, 0, 1, 1));
  base.EntMoj[4] = {3.5, 4.0, 0.5, 2};  // text type 5
  InitDrawing(add);
  AddLine(add, Line(1, 2, 3, 4));
  AddText(add, Text(u"消える", 5, 5, 5, 5));           // start = end
  AddText(add, Text(u"消える", 0, 0, 0.01, 0.01));     // the origin marker
  AddText(add, Text(u"残る", 0, 0, 0.02, 0.01, 200));  // free type stays
  TEntJwwMoji typed = Text(u"型5", 1, 1, 9, 1, 10003);
  typed.dSizeX = 3.5;
  typed.dSizeY = 4.0;
  typed.dKankaku = 0.5;
  AddText(add, typed);
  AddText(add, Text(u"合わない", 1, 1, 9, 1, 10003));
  TEntJwwEnko circle;
  circle.att.nPenStyle = circle.att.nPenColor = 1;
  circle.start_x = 10;
  circle.dHankei = 7;
  Add(add.EntEnko, add.EntNo, kEntEnko, circle);
  TEntJwwSolid round, quad;
  round.att.nPenStyle = 101;
  round.att.nPenColor = 1;
  round.end_x = 3;  // the radius of a circular solid
  quad = round;
  quad.att.nPenStyle = 1;
  Add(add.EntSolid, add.EntNo, kEntSolid, round);
  Add(add.EntSolid, add.EntNo, kEntSolid, quad);
  TEntJwwSunpo plain, sxf;
  plain.att.nPenColor = 1;
  plain.Sen = Line(0, 0, 10, 0);
  plain.Moji = Text(u"10", 0, 1, 5, 1);
  for (TEntJwwTen* t : {&plain.Te1, &plain.Te2, &plain.Kt1, &plain.Kt2})
    t->att = plain.Sen.att;
  plain.Ho1 = plain.Ho2 = Line(0, 0, 0, 0);
  sxf = plain;
  sxf.bSxfMode = 1;
  Add(add.EntSunpo, add.EntNo, kEntSunpo, plain);
  Add(add.EntSunpo, add.EntNo, kEntSunpo, sxf);

  TTilingInputs in;
  in.base_file = f.Write(base, "base.jww");
  in.files = {f.Write(add, "a.jww"), f.files.ufile("a.jww")};
  in.order = TOrder::kRightDown;
  in.count = 1;
  in.gap_x = 10;
  in.gap_y = 0;
  TJwwData out;
  auto result = f.Run(in, out);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(f.Message(result),
            u"図面ファイル「" + f.files.ufile("out.jww") + u"」を保存しました。");

  // Second tile at (0, -297): rows go down with one drawing per row.
  ASSERT_EQ(out.EntLine.size(), 3u);
  EXPECT_EQ(out.EntLine[2].start_y, 2 - 297.0);
  EXPECT_EQ(out.EntLine[2].end_x, 3.0);
  ASSERT_EQ(out.EntMoji.size(), 6u);
  EXPECT_EQ(out.EntMoji[0].nMojiShu, 200u);
  EXPECT_EQ(out.EntMoji[1].nMojiShu, 10005u);
  EXPECT_EQ(out.EntMoji[2].nMojiShu, 10000u);
  EXPECT_EQ(out.EntEnko[1].dHankei, 7.0);
  EXPECT_EQ(out.EntEnko[1].start_y, -297.0);
  EXPECT_EQ(out.EntSolid[2].end_x, 3.0);  // circular: only the centre moves
  EXPECT_EQ(out.EntSolid[2].start_y, -297.0);
  EXPECT_EQ(out.EntSolid[3].end_y, -297.0);     // a quadrilateral moves whole
  EXPECT_EQ(out.EntSunpo[2].Ho1.start_y, 0.0);  // parts of a plain dimension stay
  EXPECT_EQ(out.EntSunpo[3].Ho1.start_y, -297.0);
  EXPECT_EQ(out.EntSunpo[3].Kt2.start_y, -297.0);
  EXPECT_EQ(out.EntNo.size(), 1u + 2 * 9);  // two texts of each tile filtered
}

// A base drawing of a version without extended colour and line-type tables
// lends the result those of a new drawing: the added drawing's lines in the
// extended colours keep their colours.
TEST(Tiling, AnOldBaseDrawingGivesTheResultTheTablesOfANewOne) {
  Fixture f;
  TJwwData base, add;
  InitDrawing(base, 351);
  AddLine(base, Line(0, 0, 1, 1));
  InitDrawing(add);
  TEntJwwLine red = Line(1, 2, 3, 4);
  red.att.nPenColor = 102;
  AddLine(add, red);
  TTilingInputs in;
  in.base_file = f.Write(base, "base.jww", 351);
  in.files = {f.Write(add, "a.jww")};
  TJwwData out;
  ASSERT_TRUE(f.Run(in, out).ok);
  EXPECT_EQ(out.EntLine[1].att.nPenColor, 102);
  EXPECT_EQ(out.EntColS[2].aPenColor, 0x0000FF);
  EXPECT_EQ(out.EntColS[2].anPenWidth, 18);
  EXPECT_EQ(out.EntLtpS[4].alLType, static_cast<std::int32_t>(0xFFFBBFFFu));
}

// Definitions numbered 5, 7, 9 in the base and reused numbers for other names
// in the added drawing: every reference of the result reaches the definition
// of the name it placed.
TEST(Tiling, BlockReferencesReachTheDefinitionsOfTheirNames) {
  Fixture f;
  TJwwData base, add;
  InitDrawing(base);
  base.EntBlockDef = {Def(5, u"扉", {}, {Line(0, 0, 1, 0)}), Def(7, u"未使用"),
                      Def(9, u"窓@@SfigorgFlag@@3", {Ref(5)})};
  AddRef(base, Ref(9));
  AddRef(base, Ref(5));
  InitDrawing(add);
  // "机" places "椅子", which comes later in the list; "窓" has the base's key
  // and contents (its "扉" is the base's).
  add.EntBlockDef = {Def(9, u"机", {Ref(5)}), Def(5, u"椅子", {}, {Line(0, 0, 0, 1)}),
                     Def(7, u"窓@@sfigorgflag@@7", {Ref(11)}), Def(3, u"使わない"),
                     Def(11, u"扉", {}, {Line(0, 0, 1, 0)})};
  AddRef(add, Ref(9));
  AddRef(add, Ref(7));
  AddRef(add, Ref(42));  // no definition of that number: it keeps pointing at none

  TTilingInputs in;
  in.base_file = f.Write(base, "base.jww");
  in.files = {f.Write(add, "a.jww"), f.files.ufile("a.jww")};
  TJwwData out;
  ASSERT_TRUE(f.Run(in, out).ok);

  std::vector<std::u16string> names;
  for (const TEntJwwBlock& b : out.EntBlock) {
    std::u16string name;
    for (const TEntJwwBlockDef& d : out.EntBlockDef) {
      if (d.nNumber == b.nNumber) {
        name = d.strName;
        break;
      }
    }
    names.push_back(name);
  }
  const std::u16string window = u"窓@@SfigorgFlag@@3";
  EXPECT_EQ(names,
            (std::vector<std::u16string>{window, u"扉", u"机", window, u"", u"机", window, u""}));
  // One warning per drawing that placed a block it has no definition for.
  const std::vector<TTileWarning>& warnings = f.engine.Report().warnings;
  ASSERT_EQ(warnings.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(warnings[i].kind, TTileWarning::kDanglingBlock);
    EXPECT_EQ(warnings[i].tile, static_cast<std::ptrdiff_t>(i));
    EXPECT_EQ(warnings[i].references, 1u);
  }
  // 扉, 窓, 机, 椅子: the unused base definition and the second tile's copies
  // are not written.
  ASSERT_EQ(out.EntBlockDef.size(), 4u);
  const TEntJwwBlockDef* desk = nullptr;
  for (const auto& d : out.EntBlockDef) {
    if (d.strName == u"机") desk = &d;
  }
  ASSERT_NE(desk, nullptr);
  ASSERT_EQ(desk->mBlock.size(), 1u);
  std::u16string placed;
  for (const auto& d : out.EntBlockDef) {
    if (d.nNumber == desk->mBlock[0].nNumber) placed = d.strName;
  }
  EXPECT_EQ(placed, u"椅子");
}

// What a block reference shows: its definition's name, with the x of each
// line it holds and what its nested references show, in brackets.
std::u16string Shows(const TJwwData& d, std::uint32_t number, int depth = 0) {
  const TEntJwwBlockDef* def = nullptr;
  for (const TEntJwwBlockDef& b : d.EntBlockDef) {
    if (b.nNumber == number && !def) def = &b;
  }
  if (!def || depth > 4) return u"?";
  std::u16string s = def->strName + u"(";
  for (const TEntJwwLine& l : def->mLine)
    s += IntStr(static_cast<std::int32_t>(l.start_x));
  for (const TEntJwwBlock& r : def->mBlock)
    s += Shows(d, r.nNumber, depth + 1);
  return s + u")";
}

// Definitions of one name key and other contents, between drawings and
// within one (the base too), named after a NUL byte or not at all: each
// keeps its contents under a name of its own, and every reference, nested
// ones too, shows its own drawing's lines. Definitions of the same contents
// are shared whatever their curve numbers, also with one renamed before.
TEST(Tiling, BlocksOfOneNameAndOtherContentsKeepTheirOwn) {
  Fixture f;
  TJwwData base, a, b;
  InitDrawing(base);
  base.EntBlockDef = {Def(0, u"扉", {}, {Line(1, 0, 1, 1)}), Def(1, u"外", {Ref(0)}),
                      Def(2, u"B", {}, {Line(5, 0, 5, 1)}), Def(3, u"B", {}, {Line(6, 0, 6, 1)}),
                      Def(4, u"NxB", {}, {Line(12, 0, 12, 1)})};
  for (std::uint32_t n : {0, 1, 2, 3, 4})
    AddRef(base, Ref(n));
  InitDrawing(a);
  a.EntBlockDef = {Def(10, u"扉", {}, {Line(2, 0, 2, 1, 3)}),
                   Def(11, u"外", {Ref(10)}),
                   Def(12, u"2lines@@SfigorgFlag@@4", {}, {Line(7, 0, 7, 1)}),
                   Def(13, u"窓", {}, {Line(3, 0, 3, 1)}),
                   Def(14, u"窓", {}, {Line(4, 0, 4, 1)}),
                   Def(15, u"", {}, {Line(10, 0, 10, 1)}),
                   Def(16, u"NxC", {}, {Line(13, 0, 13, 1)})};
  for (std::uint32_t n : {10, 11, 12, 13, 14, 15, 16})
    AddRef(a, Ref(n));
  InitDrawing(b);
  b.EntBlockDef = {Def(20, u"扉", {}, {Line(2, 0, 2, 1, 8)}),
                   Def(21, u"2lines@@SfigorgFlag@@9", {}, {Line(8, 0, 8, 1)}),
                   Def(22, u"", {}, {Line(11, 0, 11, 1)})};
  for (std::uint32_t n : {20, 21, 22})
    AddRef(b, Ref(n));
  TTilingInputs in;
  in.base_file = f.Write(base, "base.jww");
  in.files = {f.Write(a, "a.jww"), f.files.ufile("a.jww"), f.Write(b, "b.jww")};
  // Names that differ only after a NUL byte read as the same name.
  for (const char* name : {"base.jww", "a.jww"}) {
    std::string bytes = ReadAll(f.files.file(name));
    for (const char* marked : {"NxB", "NxC"}) {
      const std::size_t at = bytes.find(marked);
      if (at != std::string::npos) bytes[at + 1] = '\0';
    }
    std::ofstream(f.files.file(name), std::ios::binary) << bytes;
  }
  TJwwData out;
  const auto saved = f.Run(in, out);
  ASSERT_TRUE(saved.ok);

  std::vector<std::u16string> shown;
  for (const TEntJwwBlock& r : out.EntBlock)
    shown.push_back(Shows(out, r.nNumber));
  const std::vector<std::u16string> tile_a = {
      u"扉_2(2)", u"外_2(扉_2(2))", u"2lines@@SfigorgFlag@@4(7)", u"窓(3)", u"窓_2(4)",
      u"(10)",    u"N_2(13)"};
  std::vector<std::u16string> expected = {u"扉(1)", u"外(扉(1))", u"B(5)", u"B_2(6)", u"N(12)"};
  expected.insert(expected.end(), tile_a.begin(), tile_a.end());
  expected.insert(expected.end(), tile_a.begin(), tile_a.end());
  for (const char16_t* s : {u"扉_2(2)", u"2lines_2@@SfigorgFlag@@9(8)", u"_2(11)"})
    expected.push_back(s);
  EXPECT_EQ(shown, expected);
  EXPECT_EQ(out.EntBlockDef.size(), 14u);  // 5 of the base, 7 of a, 2 of b

  // One warning per drawing, naming each block's own name and the new one.
  std::vector<std::u16string> lines;
  for (const TTileWarning& w : f.engine.Report().warnings) {
    EXPECT_EQ(w.kind, TTileWarning::kBlockRenamed);
    EXPECT_FALSE(WarningReason(w).empty());
    lines.push_back(WarningLine(w));
  }
  const std::u16string renamed =
      u"は、同じ名前で内容の異なるブロックが先にあるため、名前を変えて結合しました。";
  const std::u16string in_a =
      u"」のブロック「扉」→「扉_2」、「外」→「外_2」、「窓」→「窓_2」、「N」→「N_2」" + renamed;
  EXPECT_EQ(lines,
            (std::vector<std::u16string>{
                u"図面ファイル「" + in.base_file + u"」のブロック「B」→「B_2」" + renamed,
                u"図面ファイル「" + in.files[0] + in_a, u"図面ファイル「" + in.files[1] + in_a,
                u"図面ファイル「" + in.files[2] +
                    u"」のブロック「扉」→「扉_2」、「2lines@@SfigorgFlag@@9」→「2lines_2@@"
                    u"SfigorgFlag@@9」、「」→「_2」" +
                    renamed}));
  EXPECT_NE(f.Message(saved).find(lines[0]), std::u16string::npos);
}

TEST(Tiling, CurveNumbersGetARangePerDrawing) {
  Fixture f;
  TJwwData base, a, b;
  InitDrawing(base);
  for (std::uint32_t g : {0u, 12u, 12u, 40u, 0xFFFFFFF9u /* -7 */, 7u}) {
    AddLine(base, Line(0, 0, 1, 1, g));
  }
  InitDrawing(a);
  AddLine(a, Line(0, 0, 1, 1, 12));
  AddLine(a, Line(0, 0, 1, 1, 5));
  AddText(a, [] {
    TEntJwwMoji m = Text(u"x", 1, 1, 1, 1);  // filtered: neither counted nor copied
    m.att.lGroup = 99;
    return m;
  }());
  InitDrawing(b);
  AddLine(b, Line(0, 0, 1, 1, 0x80000001u));
  TTilingInputs in;
  in.base_file = f.Write(base, "base.jww");
  in.files = {f.Write(a, "a.jww"), f.files.ufile("missing.jww"), f.Write(b, "b.jww")};
  TJwwData out;
  auto result = f.Run(in, out);
  ASSERT_TRUE(result.ok);
  std::vector<std::int32_t> groups;
  for (const auto& l : out.EntLine)
    groups.push_back(static_cast<std::int32_t>(l.att.lGroup));
  // Base: 12->1, 40->2, -7->-3, 7->4. a: 12->5, 5->6. The missing drawing
  // still advances the range by a's count (2); b starts at 9.
  EXPECT_EQ(groups, (std::vector<std::int32_t>{0, 1, 1, 2, -3, 4, 5, 6, -9}));
  EXPECT_NE(f.Message(result).find(u"missing.jww」が見つからないため、追加しませんでした。"),
            std::u16string::npos);
}

TEST(Tiling, PartlyReadDrawingsAreMergedAndNamed) {
  Fixture f;
  TJwwData base, a;
  InitDrawing(base);
  InitDrawing(a);
  for (int i = 0; i < 4; ++i)
    AddLine(a, Line(i, 0, i, 1));
  TTilingInputs in;
  in.base_file = f.Write(base, "base.jww");
  f.Write(a, "a.jww");
  std::filesystem::resize_file(f.files.path() + "a.jww",
                               std::filesystem::file_size(f.files.path() + "a.jww") - 60);
  in.files = {f.files.ufile("a.jww")};
  TJwwData out;
  auto result = f.Run(in, out);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(out.EntLine.size(), 3u);
  EXPECT_NE(f.Message(result).find(u"は一部しか読み込めませんでした。"), std::u16string::npos);
}

// Each listed drawing lands at its place in the report; a missing one is
// noted for its row and adds nothing.
TEST(Tiling, EachDrawingIsAppendedAtItsPlaceOrNotedMissing) {
  Fixture f;
  TJwwData base, a;
  InitDrawing(base);
  InitDrawing(a);
  AddLine(a, Line(1, 2, 3, 4));
  TTilingInputs in;
  in.base_file = f.Write(base, "base.jww");
  in.files = {f.files.ufile("missing.jww"), f.Write(a, "a.jww")};
  in.order = TOrder::kUpRight;
  in.gap_y = 50;
  TTilingRun run(f.engine);
  ASSERT_FALSE(f.engine.Merge(in).has_value());
  const TTilingReport& report = f.engine.Report();
  ASSERT_EQ(report.places.size(), 2u);
  const TTilePlace& place = report.places[1];
  EXPECT_EQ(place.x, 0);
  EXPECT_EQ(place.y, PaperSizeOf(base.Enthd.nZumen).papy + 50);
  const TJwwData& combined = f.engine.Combined();
  ASSERT_EQ(combined.EntLine.size(), 1u);
  EXPECT_EQ(combined.EntLine[0].start_x, 1 + place.x);
  EXPECT_EQ(combined.EntLine[0].end_y, 4 + place.y);
  ASSERT_EQ(report.warnings.size(), 1u);
  EXPECT_EQ(report.warnings[0].kind, TTileWarning::kMissing);
  EXPECT_EQ(report.warnings[0].tile, 0);
  EXPECT_EQ(report.warnings[0].file, in.files[0]);
}

std::vector<std::uint8_t> Gzip(const std::string& raw) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::vector<std::uint8_t> out(raw.size() + 1024);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
  z.avail_in = static_cast<uInt>(raw.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// A drawing showing one gzip image `name` whose unpacked content is `content`.
std::u16string DrawingWithImage(Fixture& f, const std::string& file, const std::string& name,
                                const std::string& content) {
  TempDir images;
  TJwwData d;
  d.BindImageFolder = images.upath();
  d.BindImageExp = d.BindImageExr = true;
  InitDrawing(d);
  auto gz = Gzip(content);
  FILE* out = std::fopen(images.file(name).c_str(), "wb");
  std::fwrite(gz.data(), 1, gz.size(), out);
  std::fclose(out);
  d.BindImage = {{Utf8ToUtf16(name), static_cast<std::int32_t>(gz.size()), false}};
  const std::u16string shown = ChangeExt(Utf8ToUtf16(name), u"");
  AddText(d, Text(u"^@BM%temp%" + shown + u",100,100,0,0,1", 0, 0, 10, 0));
  return f.Write(d, file);
}

TEST(TilingImages, SameImagesAreSharedAndDifferentOnesKeepTheirOwn) {
  Fixture f;
  TTilingInputs in;
  in.base_file = DrawingWithImage(f, "base.jww", "logo.bmp.gz", "BASE-LOGO");
  in.files = {DrawingWithImage(f, "same.jww", "LOGO.BMP.GZ", "BASE-LOGO"),
              DrawingWithImage(f, "other.jww", "logo.bmp.gz", "OTHER-LOGO"),
              f.files.ufile("other.jww")};
  TJwwData out;
  ASSERT_TRUE(f.Run(in, out).ok);
  std::vector<std::u16string> names;
  for (auto& row : out.BindImage)
    names.push_back(row.Fname);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"logo.bmp.gz", u"logo_2.bmp.gz"}));
  ASSERT_EQ(out.EntMoji.size(), 4u);
  EXPECT_EQ(out.EntMoji[1].str.substr(0, 19), u"^@BM%temp%LOGO.BMP,");  // shared, unchanged
  EXPECT_EQ(out.EntMoji[2].str.substr(0, 21), u"^@BM%temp%logo_2.bmp,");
  EXPECT_EQ(out.EntMoji[3].str.substr(0, 21), u"^@BM%temp%logo_2.bmp,");
  out.BindImageExplode();
  EXPECT_EQ(
      ReadAll(out.BindImageFolder.empty() ? "" : Utf16ToUtf8(out.BindImageFolder) + "logo_2.bmp"),
      "OTHER-LOGO");
  EXPECT_EQ(ReadAll(Utf16ToUtf8(out.BindImageFolder) + "logo.bmp"), "BASE-LOGO");
  // Nothing is left in the run's image folders.
  EXPECT_TRUE(std::filesystem::is_empty(f.tmp.path()));
  EXPECT_TRUE(std::filesystem::is_empty(f.tmp2.path()));
}

TEST(Tiling, Utf16DrawingsMakeAUtf16ResultAndFailedSavesSaySo) {
  Fixture f;
  testing::DrawingSpec spec;
  spec.lines = 3;
  spec.texts = 2;
  spec.utf16 = true;
  ASSERT_TRUE(testing::WriteDrawing(spec, f.files.file("u.jww")));
  spec.utf16 = false;
  ASSERT_TRUE(testing::WriteDrawing(spec, f.files.file("base.jww")));
  TTilingInputs in;
  in.base_file = f.files.ufile("base.jww");
  in.files = {f.files.ufile("u.jww")};
  TJwwData out;
  ASSERT_TRUE(f.Run(in, out).ok);
  EXPECT_TRUE(out.MojiEncode);

  TTilingRun run(f.engine);
  f.engine.Merge(in);
  auto failed = f.engine.Save(f.files.ufile("no/such/dir/out.jww"));
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.file, f.files.ufile("no/such/dir/out.jww"));
  EXPECT_EQ(f.Message(failed),
            u"図面ファイル「" + f.files.ufile("no/such/dir/out.jww") +
                u"」の保存に失敗しました。\nファイルまたはフォルダーが見つかりません。");
  EXPECT_EQ(failed.status.error, platform::TFileError::kNotFound);
}

TEST(Tiling, ManyTilesOfAGeneratedDrawingAddUp) {
  Fixture f;
  testing::DrawingSpec spec;
  spec.lines = 40;
  spec.arcs = 10;
  spec.points = 5;
  spec.texts = 20;
  spec.dimensions = 3;
  spec.solids = 4;
  spec.block_defs = 6;
  spec.block_refs = 8;
  spec.nesting = 3;
  spec.curve_numbers = 15;
  ASSERT_TRUE(testing::WriteDrawing(spec, f.files.file("g.jww")));
  TJwwData one;
  ASSERT_TRUE(one.FileIn(f.files.ufile("g.jww")));
  std::size_t kept_texts = 0;
  for (auto& m : one.EntMoji)
    kept_texts += IsFilteredText(m) ? 0 : 1;
  TTilingInputs in;
  in.base_file = f.files.ufile("g.jww");
  in.files.assign(8, f.files.ufile("g.jww"));  // the first lies on the base: not added
  TJwwData out;
  ASSERT_TRUE(f.Run(in, out).ok);
  EXPECT_EQ(out.EntLine.size(), 8 * one.EntLine.size());
  EXPECT_EQ(out.EntMoji.size(), one.EntMoji.size() + 7 * kept_texts);
  EXPECT_EQ(out.EntBlock.size(), 8 * one.EntBlock.size());
  for (const TTileWarning& w : f.engine.Report().warnings)
    EXPECT_NE(w.kind, TTileWarning::kBlockRenamed) << Utf16ToUtf8(WarningLine(w));
  EXPECT_EQ(out.EntBlockDef.size(), one.EntBlockDef.size());  // shared by name
  EXPECT_EQ(out.EntBlockNum, one.EntBlockNum);
}

// A gap too large for the format: refused as the field's, before any
// drawing is read, and nothing is written.
TEST(TilingChecks, GapsWhoseTilesWouldLieAtInfinityAreRefused) {
  Fixture f;
  TJwwData base;
  InitDrawing(base);
  AddLine(base, Line(0, 0, 1, 1));
  TTilingInputs in;
  in.base_file = f.Write(base, "base.jww");
  in.files = {in.base_file, in.base_file, in.base_file};
  const double inf = std::numeric_limits<double>::infinity();
  const std::optional<TRefusal> x = TRefusal::kGapX, y = TRefusal::kGapY;
  const struct {
    double gx, gy;
    std::int32_t count;
    std::optional<TRefusal> checked, merged;
  } cases[] = {
      {inf, 10, 3, x, x},                               // no finite number at all
      {10, -inf, 3, y, y},     {1e308, 10, 3, {}, x},   // the third tile would lie at infinity
      {10, 1.7e308, 1, {}, y}, {1e308, 10, 2, {}, {}},  // two tiles a row: still finite
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.gx) + " " + std::to_string(c.gy));
    in.gap_x = c.gx;
    in.gap_y = c.gy;
    in.count = c.count;
    EXPECT_EQ(f.engine.CheckInputs(in), c.checked);
    if (c.checked) continue;
    TTilingRun run(f.engine);
    EXPECT_EQ(f.engine.Merge(in), c.merged);
    EXPECT_EQ(f.engine.Report().refusal, c.merged);
    // No tile added when refused; else two (the first is the base drawing
    // itself, not added twice).
    EXPECT_EQ(f.engine.Combined().EntNo.size(), c.merged ? 1u : 3u);
  }
}

// The base drawing listed where it lies itself would be written twice, one
// copy on the other: it is left out with a notice (no warning), whatever
// path names it; listed elsewhere, or a copy of it, is added.
TEST(Tiling, TheBaseDrawingListedAtTheOriginIsNotAddedTwice) {
  Fixture f;
  TJwwData base;
  InitDrawing(base);
  AddLine(base, Line(0, 0, 1, 1));
  const std::u16string file = f.Write(base, "base.jww");
  const std::u16string copy = f.Write(base, "copy.jww");
  std::filesystem::create_directory(f.files.file("sub"));
  std::filesystem::create_hard_link(f.files.file("base.jww"), f.files.file("link.jww"));
  const std::u16string link = f.files.ufile("link.jww"),
                       roundabout = f.files.ufile("sub/../base.jww");
  const struct {
    std::vector<std::u16string> files;
    TTileSize size;
    double gap_x;
    std::size_t lines, notices, warnings;
  } cases[] = {
      {{file, file}, TTileSize::kBase, 10, 2, 1, 0},  // the second one at (430, 0)
      {{roundabout, copy}, TTileSize::kBase, 10, 2, 1, 0},
      {{link}, TTileSize::kOwn, 10, 1, 1, 0},
      {{copy, file}, TTileSize::kBase, 10, 3, 0, 0},
      // Every tile at (0, 0): each listing of the base is left out, a copy
      // is added and overlaps the base's cell.
      {{file, copy, link}, TTileSize::kBase, -420, 2, 2, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.files[0]));
    TTilingInputs in;
    in.base_file = file;
    in.files = c.files;
    in.tile_size = c.size;
    in.gap_x = c.gap_x;
    TJwwData out;
    const auto saved = f.Run(in, out);
    ASSERT_TRUE(saved.ok);
    EXPECT_EQ(out.EntLine.size(), c.lines);
    EXPECT_EQ(f.engine.Report().warnings.size(), c.warnings);
    ASSERT_EQ(f.engine.Report().notices.size(), c.notices);
    if (c.notices == 0) continue;
    const TTileWarning& n = f.engine.Report().notices[0];
    EXPECT_EQ(n.kind, TTileWarning::kSameAsBase);
    EXPECT_EQ(n.tile, 0);
    const std::u16string line = WarningLine(n);
    EXPECT_EQ(line, u"図面ファイル「" + c.files[0] +
                        u"」はベース図面と同じファイルのため、重ねて追加しませんでした。");
    EXPECT_NE(f.Message(saved).find(u"を保存しました。\n" + line), std::u16string::npos);
  }
}

TEST(Tiling, ABaseDrawingThatIsNoDrawingStopsTheRun) {
  Fixture f;
  TJwwData one;
  InitDrawing(one);
  AddLine(one, Line(0, 0, 1, 1));
  TTilingInputs in;
  in.files = {f.Write(one, "one.jww")};
  in.base_file = f.files.ufile("notes.jww");
  std::ofstream(f.files.file("notes.jww")) << "JwwData? no, a shopping list";
  ASSERT_FALSE(f.engine.CheckInputs(in).has_value());  // it exists
  {
    TTilingRun run(f.engine);
    EXPECT_EQ(f.engine.Merge(in), TRefusal::kBaseNotDrawing);
    EXPECT_TRUE(f.engine.Report().base_read.no_signature());
    EXPECT_TRUE(f.engine.Combined().EntNo.empty());
  }
  f.engine.SetBaseFile(in.base_file);
  EXPECT_FALSE(f.engine.BasePaper().has_value());
  f.engine.SetBaseFile(in.files[0]);
  ASSERT_TRUE(f.engine.BasePaper().has_value());
  EXPECT_EQ(f.engine.BasePaper()->nZumen, one.Enthd.nZumen);
}

// An image that cannot be carried over is named in the success message, as a
// drawing read only in part is; images of the same name and other contents
// take names of their own, numbered on, and identical ones share a name.
TEST(TilingImages, ImagesLeftOutAreNamedAndClashesNumberedOn) {
  Fixture f;
  TTilingInputs in;
  in.base_file = DrawingWithImage(f, "base.jww", "logo.bmp.gz", "BASE");
  in.files = {DrawingWithImage(f, "b.jww", "logo.bmp.gz", "B"),
              DrawingWithImage(f, "c.jww", "logo.bmp.gz", "C"),
              DrawingWithImage(f, "b2.jww", "logo.bmp.gz", "B"),
              DrawingWithImage(f, "bad.jww", "broken.bmp.gz", "")};
  // The last drawing's image is no gzip data: it cannot be unpacked.
  {
    TempDir images;
    TJwwData d;
    d.BindImageFolder = images.upath();
    d.BindImageExp = true;
    ASSERT_TRUE(d.FileIn(in.files.back()));
    std::ofstream(images.file("broken.bmp.gz"), std::ios::binary | std::ios::trunc) << "not gzip";
    d.BindImage[0].Fsize = 8;
    f.Write(d, "bad.jww");
  }
  TJwwData out;
  const auto saved = f.Run(in, out);
  ASSERT_TRUE(saved.ok);
  std::vector<std::u16string> names;
  for (const auto& row : out.BindImage)
    names.push_back(row.Fname);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"logo.bmp.gz", u"logo_2.bmp.gz", u"logo_3.bmp.gz",
                                                u"broken.bmp.gz"}));
  EXPECT_EQ(out.EntMoji[3].str.substr(0, 21), u"^@BM%temp%logo_2.bmp,");  // b2 shares b's
  ASSERT_EQ(f.engine.Report().warnings.size(), 1u);
  const TTileWarning& w = f.engine.Report().warnings[0];
  EXPECT_EQ(w.kind, TTileWarning::kImageLeftOut);
  EXPECT_EQ(w.file, in.files.back());
  EXPECT_EQ(w.tile, 3);
  EXPECT_EQ(w.image.name, u"broken.bmp.gz");
  EXPECT_EQ(w.image.kind, TImageLeftOut::kNotUnpacked);
  EXPECT_NE(f.Message(saved).find(u"\n" + WarningLine(w)), std::u16string::npos);
  EXPECT_NE(f.Message(saved).find(u"broken.bmp.gz"), std::u16string::npos);
}

}  // namespace
}  // namespace plattero
