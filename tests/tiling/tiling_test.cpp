#include "tiling/tiling_engine.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <optional>

#include "drawing_builder.h"
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
  TTilingEngine::TSaveResult Run(const TTilingInputs& in, TJwwData& out) {
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
  EXPECT_EQ(TileOffsets(5, 0, 3, 10, 10, 420, 297),
            (P{{0, 0}, {430, 0}, {860, 0}, {0, 307}, {430, 307}}));
  EXPECT_EQ(TileOffsets(5, 1, 3, 10, 10, 420, 297),
            (P{{0, 0}, {430, 0}, {860, 0}, {0, -307}, {430, -307}}));
  EXPECT_EQ(TileOffsets(5, 2, 3, 10, 10, 420, 297),
            (P{{0, 0}, {0, 307}, {0, 614}, {430, 0}, {430, 307}}));
  EXPECT_EQ(TileOffsets(5, 3, 3, 10, 10, 420, 297),
            (P{{0, 0}, {0, -307}, {0, -614}, {430, 0}, {430, -307}}));
  EXPECT_EQ(TileOffsets(3, 7, 3, 10, 10, 420, 297), TileOffsets(3, 3, 3, 10, 10, 420, 297));
  EXPECT_EQ(TileOffsets(3, 0, 1, 10, 10, 420, 297), (P{{0, 0}, {0, 307}, {0, 614}}));
  EXPECT_EQ(TileOffsets(2, 0, 3, -5, 0, 420, 297), (P{{0, 0}, {415, 0}}));
  EXPECT_EQ(TileOffsets(3, 2, 1000, 10, 10, 420, 297), (P{{0, 0}, {0, 307}, {0, 614}}));
}

// Cells overlap when a gap is negative, never when it is 0; each tile
// names the first earlier cell it overlaps, the first cell (the base
// drawing's) included.
TEST(TilePlaces, OverlappingCellsAreFoundAndTouchingOnesAreNot) {
  const TPaperSize a3 = PaperSizeOf(3), a2 = PaperSizeOf(2), a4 = PaperSizeOf(4);
  using O = std::vector<std::ptrdiff_t>;
  const struct {
    int order;
    std::u16string count, gx, gy;
    TTileSize size;
    O expected;
  } cases[] = {
      {0, u"3", u"0", u"0", TTileSize::kBase, {-1, -1, -1, -1, -1}},
      {0, u"3", u"10", u"10", TTileSize::kOwn, {-1, -1, -1, -1, -1}},
      {0, u"3", u"0", u"0", TTileSize::kOwn, {-1, -1, -1, -1, -1}},
      {0, u"3", u"-5", u"10", TTileSize::kBase, {-1, 0, 1, -1, 3}},
      {1, u"2", u"10", u"-300", TTileSize::kBase, {-1, -1, 0, 1, 0}},
      {0, u"3", u"-420", u"10", TTileSize::kBase, {-1, 0, 0, -1, 3}},
      {3, u"2", u"-420", u"-297", TTileSize::kBase, {-1, 0, 0, 0, 0}},  // all on one spot
      {2, u"3", u"10", u"-1", TTileSize::kOwn, {-1, 0, 1, -1, 3}},
      {0, u"2", u"-100", u"10", TTileSize::kOwn, {-1, 0, -1, 2, -1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.gx + u" " + c.gy + u" " + c.count));
    TTilingInputs in;
    in.files.assign(5, u"x.jww");
    in.order = c.order;
    in.count_text = c.count;
    in.gap_x_text = c.gx;
    in.gap_y_text = c.gy;
    in.tile_size = c.size;
    EXPECT_EQ(OverlappedCells(TilePlaces(in, a3, {a2, a4, a3, a4, a2})), c.expected);
  }
  // Many tiles on one spot each find an earlier one; far apart, none do.
  TTilingInputs in;
  in.files.assign(20000, u"x.jww");
  in.count_text = u"100";
  in.gap_x_text = u"-420";
  const auto stacked = OverlappedCells(TilePlaces(in, a3, {}));
  EXPECT_EQ(std::count(stacked.begin(), stacked.end(), -1), 200);  // the first of each row
  in.gap_x_text = u"1e300";
  const auto far = OverlappedCells(TilePlaces(in, a3, {}));
  EXPECT_EQ(std::count(far.begin(), far.end(), -1), 20000);
}

TEST(TilingChecks, InOrderWithTheirFixedMessages) {
  Fixture f;
  TJwwData base;
  InitDrawing(base);
  TTilingInputs in;
  EXPECT_EQ(f.engine.CheckInputs(in), u"図面ファイルを[追加]して下さい");
  in.files = {u"/nowhere/a.jww"};
  EXPECT_EQ(f.engine.CheckInputs(in), u"ベース図面を指定して下さい");
  in.base_file = u"/nowhere/base.jww";
  EXPECT_EQ(f.engine.CheckInputs(in), u"ベース図面が見つかりません。再指定して下さい");
  in.base_file = f.Write(base, "base.jww");
  for (const char16_t* bad : {u"0", u"", u"abc", u"-1", u"1001", u"1.5"}) {
    in.count_text = bad;
    in.order = 0;
    EXPECT_EQ(f.engine.CheckInputs(in), u"横数： の数値を再入力して下さい。");
    in.order = 2;
    EXPECT_EQ(f.engine.CheckInputs(in), u"縦数： の数値を再入力して下さい。");
  }
  for (const char16_t* good : {u"1", u"1000", u"  7", u"$10", u"７ ", u"\u3000１０００"}) {
    in.count_text = good;
    EXPECT_FALSE(f.engine.CheckInputs(in).has_value()) << Utf16ToUtf8(good);
  }
  // A gap that is no number is refused as a count is.
  in.count_text = u"3";
  for (const char16_t* bad : {u"10mm", u"1O", u""}) {
    in.gap_x_text = bad;
    EXPECT_EQ(f.engine.CheckInputs(in), u"横間隔： の数値を再入力して下さい。") << Utf16ToUtf8(bad);
    in.gap_x_text = u"10";
    in.gap_y_text = bad;
    EXPECT_EQ(f.engine.CheckInputs(in), u"縦間隔： の数値を再入力して下さい。") << Utf16ToUtf8(bad);
    in.gap_y_text = u"10";
  }
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
  in.order = 1;
  in.count_text = u"1";
  in.gap_x_text = u"10";
  in.gap_y_text = u"０";  // full width, as an input method types it
  TJwwData out;
  auto result = f.Run(in, out);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.message, u"図面ファイル「" + f.files.ufile("out.jww") + u"」を保存しました。");

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
  ASSERT_EQ(f.engine.Warnings().size(), 2u);
  EXPECT_EQ(f.engine.Warnings()[0].kind, TTileWarning::kDanglingBlock);
  EXPECT_EQ(f.engine.Warnings()[1].kind, TTileWarning::kDanglingBlock);
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
  EXPECT_EQ(f.engine.BlkNam.size(), 4u);  // the table keeps the last run's rows
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
  for (const TTileWarning& w : f.engine.Warnings()) {
    EXPECT_EQ(w.kind, TTileWarning::kBlockRenamed);
    EXPECT_FALSE(w.reason.empty());
    lines.push_back(TTilingEngine::WarningLine(w));
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
  EXPECT_NE(saved.message.find(lines[0]), std::u16string::npos);
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
  EXPECT_NE(result.message.find(u"missing.jww」が見つからないため、追加しませんでした。"),
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
  EXPECT_NE(result.message.find(u"は一部しか読み込めませんでした。"), std::u16string::npos);
}

TEST(Tiling, LoadAddFileAppendsOneDrawingOrNotesItMissing) {
  Fixture f;
  TJwwData a;
  InitDrawing(a);
  AddLine(a, Line(1, 2, 3, 4));
  const std::u16string file = f.Write(a, "a.jww");
  f.engine.JWW.EntLine.clear();
  f.engine.JWW.EntNo.clear();
  f.engine.LoadAddFile(file, 100, -50);
  f.engine.LoadAddFile(f.files.ufile("missing.jww"), 0, 0);
  ASSERT_EQ(f.engine.JWW.EntLine.size(), 1u);
  EXPECT_EQ(f.engine.JWW.EntLine[0].start_x, 101);
  EXPECT_EQ(f.engine.JWW.EntLine[0].end_y, -46);
  ASSERT_EQ(f.engine.Warnings().size(), 1u);
  EXPECT_EQ(f.engine.Warnings()[0].kind, TTileWarning::kMissing);
  f.engine.Cleanup();
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
  EXPECT_EQ(failed.message,
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
  for (const TTileWarning& w : f.engine.Warnings())
    EXPECT_NE(w.kind, TTileWarning::kBlockRenamed) << Utf16ToUtf8(TTilingEngine::WarningLine(w));
  EXPECT_EQ(out.EntBlockDef.size(), one.EntBlockDef.size());  // shared by name
  EXPECT_EQ(out.EntBlockNum, one.EntBlockNum);
}

// A gap too large for the format: refused with the field's message, before
// any drawing is read, and nothing is written.
TEST(TilingChecks, GapsWhoseTilesWouldLieAtInfinityAreRefused) {
  Fixture f;
  TJwwData base;
  InitDrawing(base);
  AddLine(base, Line(0, 0, 1, 1));
  TTilingInputs in;
  in.base_file = f.Write(base, "base.jww");
  in.files = {in.base_file, in.base_file, in.base_file};
  const std::u16string x = u"横間隔： の数値を再入力して下さい。";
  const std::u16string y = u"縦間隔： の数値を再入力して下さい。";
  const struct {
    std::u16string gx, gy, count;
    std::optional<std::u16string> checked, merged;
  } cases[] = {
      {u"1e400", u"10", u"3", x, x},  // no finite number at all
      {u"10", u"-1e400", u"3", y, y},
      {u"1e308", u"10", u"3", {}, x},  // the third tile would lie at infinity
      {u"10", u"1.7e308", u"1", {}, y},
      {u"1e308", u"10", u"2", {}, {}},  // two tiles a row: still finite
      {u"-5", u"abc", u"3", y, y},      // no number at all
  };
  for (const auto& c : cases) {
    in.gap_x_text = c.gx;
    in.gap_y_text = c.gy;
    in.count_text = c.count;
    EXPECT_EQ(f.engine.CheckInputs(in), c.checked) << Utf16ToUtf8(c.gx + u" " + c.gy);
    if (c.checked) continue;
    TTilingRun run(f.engine);
    EXPECT_EQ(f.engine.Merge(in), c.merged) << Utf16ToUtf8(c.gx + u" " + c.gy);
    // No tile added when refused; else two (the first is the base drawing
    // itself, not added twice).
    EXPECT_EQ(f.engine.JWW.EntNo.size(), c.merged ? 1u : 3u);
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
    std::u16string gap_x;
    std::size_t lines, notices, warnings;
  } cases[] = {
      {{file, file}, TTileSize::kBase, u"10", 2, 1, 0},  // the second one at (430, 0)
      {{roundabout, copy}, TTileSize::kBase, u"10", 2, 1, 0},
      {{link}, TTileSize::kOwn, u"10", 1, 1, 0},
      {{copy, file}, TTileSize::kBase, u"10", 3, 0, 0},
      // Every tile at (0, 0): each listing of the base is left out, a copy
      // is added and overlaps the base's cell.
      {{file, copy, link}, TTileSize::kBase, u"-420", 2, 2, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.files[0]));
    TTilingInputs in;
    in.base_file = file;
    in.files = c.files;
    in.tile_size = c.size;
    in.gap_x_text = c.gap_x;
    TJwwData out;
    const auto saved = f.Run(in, out);
    ASSERT_TRUE(saved.ok);
    EXPECT_EQ(out.EntLine.size(), c.lines);
    EXPECT_EQ(f.engine.Warnings().size(), c.warnings);
    ASSERT_EQ(f.engine.Notices().size(), c.notices);
    if (c.notices == 0) continue;
    const TTileWarning& n = f.engine.Notices()[0];
    EXPECT_EQ(n.kind, TTileWarning::kSameAsBase);
    EXPECT_EQ(n.tile, 0);
    const std::u16string line = TTilingEngine::WarningLine(n);
    EXPECT_EQ(line, u"図面ファイル「" + c.files[0] +
                        u"」はベース図面と同じファイルのため、重ねて追加しませんでした。");
    EXPECT_NE(saved.message.find(u"を保存しました。\n" + line), std::u16string::npos);
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
    EXPECT_EQ(f.engine.Merge(in), std::u16string(kBaseNotDrawingMessage));
    EXPECT_TRUE(f.engine.JWW.EntNo.empty());
  }
  f.engine.SetBaseFile(in.base_file);
  EXPECT_FALSE(f.engine.BaseRead());
  EXPECT_EQ(f.engine.LabelPap, kNoPaperCaption);
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
  ASSERT_EQ(f.engine.Warnings().size(), 1u);
  const TTileWarning& w = f.engine.Warnings()[0];
  EXPECT_EQ(w.kind, TTileWarning::kImageLeftOut);
  EXPECT_EQ(w.file, in.files.back());
  EXPECT_EQ(w.image, u"broken.bmp.gz");
  EXPECT_EQ(w.image_problem, TImageLeftOut::kNotUnpacked);
  EXPECT_NE(saved.message.find(u"\n" + TTilingEngine::WarningLine(w)), std::u16string::npos);
  EXPECT_NE(saved.message.find(u"broken.bmp.gz"), std::u16string::npos);
}

}  // namespace
}  // namespace plattero
