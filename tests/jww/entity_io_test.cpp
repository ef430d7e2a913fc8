#include "jww/entity_io.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "jww_test_util.h"

namespace plattero {
namespace {

using testing_jww::Bytes;

template <class Fn>
Bytes Encode(Fn fn) {
  MemorySink sink;
  ArchiveWriter w(sink);
  fn(w);
  w.Flush();
  return sink.bytes;
}

EntityWriteContext Ctx(std::int32_t ver) {
  EntityWriteContext ctx;
  ctx.ver = ver;
  return ctx;
}

TEntJwwAttr Attr(std::uint8_t style, std::uint16_t color) {
  TEntJwwAttr a;
  a.lGroup = 7;
  a.nPenStyle = style;
  a.nPenColor = color;
  a.nPenWidth = 3;
  a.nLayer = 2;
  a.nGLayer = 4;
  a.sFlg = 0x11;
  return a;
}

// Style and colour as WriteAttr stores them for a kind and version.
std::pair<int, int> Normalised(std::uint8_t style, std::uint16_t color, int kind, int ver) {
  Bytes b = Encode([&](ArchiveWriter& w) { WriteAttr(w, ver, Attr(style, color), kind); });
  return {b[4], b[5] | (b[6] << 8)};
}

TEST(EntityAttr, NormalisationByKindAndVersion) {
  struct Case {
    int style, color, kind, ver, want_style, want_color;
  };
  const Case cases[] = {
      {33, 105, kEntLine, 400, 3, 4},     // older versions map extended styles and colours
      {33, 105, kEntLine, 420, 33, 105},  // 420 keeps them
      {45, 116, kEntEnko, 300, 17, 2},    {50, 200, kEntLine, 400, 1, 1},
      {12, 3, kEntMoji, 700, 1, 3},  // texts accept styles 1..9 only
      {7, 3, kEntTen, 700, 1, 3},         {100, 3, kEntTen, 700, 100, 3},
      {1, 10, kEntEnko, 700, 1, 1},       {1, 10, kEntSolid, 700, 1, 10},
      {1, 500, kEntBlock, 700, 1, 500},  // block references keep their colour
      {99, 0, kEntBlockDef, 700, 99, 0},  {1, 120, kEntSolid, 400, 1, 1},
      {20, 3, kEntLine, 700, 1, 3},       {62, 356, kEntLine, 700, 62, 356},
      {33, 105, kEntBlock, 400, 33, 105},
  };
  for (const Case& c : cases) {
    auto [style, color] = Normalised(c.style, c.color, c.kind, c.ver);
    EXPECT_EQ(style, c.want_style) << c.style << "/" << c.kind << "/" << c.ver;
    EXPECT_EQ(color, c.want_color) << c.color << "/" << c.kind << "/" << c.ver;
  }
}

TEST(EntityAttr, LayerAndWidthLimitsAndOldLayout) {
  TEntJwwAttr a = Attr(1, 1);
  a.nLayer = 16;
  a.nGLayer = 20;
  a.nPenWidth = 30001;
  Bytes b = Encode([&](ArchiveWriter& w) { WriteAttr(w, 700, a, kEntLine); });
  ASSERT_EQ(b.size(), 15u);
  EXPECT_EQ(b[7] | (b[8] << 8), 0);
  EXPECT_EQ(b[9] | (b[10] << 8), 0);
  EXPECT_EQ(b[11] | (b[12] << 8), 0);
  a.nPenWidth = 30000;
  b = Encode([&](ArchiveWriter& w) { WriteAttr(w, 700, a, kEntLine); });
  EXPECT_EQ(b[7] | (b[8] << 8), 30000);
  EXPECT_EQ(Encode([&](ArchiveWriter& w) { WriteAttr(w, 350, a, kEntLine); }).size(), 13u);

  ArchiveReader r(b.data(), b.size());
  TEntJwwAttr back = ReadAttr(r, 700);
  EXPECT_EQ(back.nPenWidth, 30000);
  ArchiveReader old(b.data(), 13);
  TEntJwwAttr old_back = ReadAttr(old, 350);
  EXPECT_EQ(old_back.nPenWidth, 0);
  EXPECT_EQ(old_back.nLayer, 30000);  // the 13-byte layout has no width
}

TEST(EntityBodies, SizesFollowVersionAndOptionalParts) {
  TEntJwwLine line{Attr(1, 1), 1, 2, 3, 4};
  EXPECT_EQ(Encode([&](ArchiveWriter& w) { WriteBody(w, Ctx(700), line); }).size(), 47u);
  EXPECT_EQ(Encode([&](ArchiveWriter& w) { WriteBody(w, Ctx(350), line); }).size(), 45u);

  TEntJwwTen pt;
  pt.att = Attr(100, 1);
  EXPECT_EQ(Encode([&](ArchiveWriter& w) { WriteBody(w, Ctx(700), pt); }).size(), 55u);
  pt.att.nPenStyle = 7;  // written as style 1, without code, rotation, scale
  Bytes b = Encode([&](ArchiveWriter& w) { WriteBody(w, Ctx(700), pt); });
  EXPECT_EQ(b.size(), 35u);
  EXPECT_EQ(b[4], 1);

  TEntJwwSolid s;
  s.att = Attr(1, 10);
  EXPECT_EQ(Encode([&](ArchiveWriter& w) { WriteBody(w, Ctx(700), s); }).size(), 83u);
  s.att.nPenColor = 3;
  EXPECT_EQ(Encode([&](ArchiveWriter& w) { WriteBody(w, Ctx(700), s); }).size(), 79u);

  TEntJwwEnko arc;
  arc.att = Attr(1, 1);
  EXPECT_EQ(Encode([&](ArchiveWriter& w) { WriteBody(w, Ctx(700), arc); }).size(), 75u);
  EntityWriteContext ctx;
  TEntJwwBlock blk;
  blk.att = Attr(1, 1);
  EXPECT_EQ(Encode([&](ArchiveWriter& w) { WriteBody(w, ctx, blk); }).size(), 59u);
}

TEST(EntityBodies, RoundTripInBothLayouts) {
  for (int ver : {300, 350, 351, 700}) {
    TEntJwwMoji m;
    m.att = Attr(1, 2);
    m.start_x = 1.5;
    m.end_y = -2.25;
    m.nMojiShu = 10003;
    m.dSizeX = 3;
    m.dSizeY = 4;
    m.dKankaku = 0.5;
    m.degKakudo = 30;
    m.strFontName = u"ＭＳ ゴシック";
    m.str = u"寸法・図面 ①～∥";
    EntityWriteContext ctx;
    ctx.ver = ver;
    Bytes b = Encode([&](ArchiveWriter& w) { WriteBody(w, ctx, m); });
    ArchiveReader r(b.data(), b.size());
    TEntJwwMoji back;
    ASSERT_TRUE(ReadBody(r, ver, back));
    EXPECT_TRUE(r.AtEnd());
    if (ver <= 350) m.att.nPenWidth = 0;
    EXPECT_EQ(back, m) << ver;

    TEntJwwTen p;
    p.att = Attr(1, 1);
    p.start_x = 5;
    Bytes pb = Encode([&](ArchiveWriter& w) { WriteBody(w, Ctx(ver), p); });
    ArchiveReader pr(pb.data(), pb.size());
    TEntJwwTen top, nested;
    ASSERT_TRUE(ReadBody(pr, ver, top, 1.0));
    EXPECT_EQ(top.dBairitsu, 1.0);  // a plain point at the top level has scale 1
    ArchiveReader pr2(pb.data(), pb.size());
    ASSERT_TRUE(ReadBody(pr2, ver, nested, 0.0));
    EXPECT_EQ(nested.dBairitsu, 0.0);
  }
}

TEST(EntityBodies, TextSizesAreClampedOnWritingAndRepairedOnReading) {
  TEntJwwMoji m;
  m.att = Attr(1, 1);
  m.str = u"^m";
  m.strFontName = u"";
  struct Case {
    double in, out;
  };
  for (Case c : {Case{0, 1e-10}, Case{-5, 5}, Case{1e12, 1e10}, Case{2.5, 2.5}}) {
    m.dSizeX = m.dSizeY = c.in;
    EntityWriteContext ctx;
    Bytes b = Encode([&](ArchiveWriter& w) { WriteBody(w, ctx, m); });
    ArchiveReader r(b.data(), b.size());
    TEntJwwMoji back;
    ASSERT_TRUE(ReadBody(r, 700, back));
    EXPECT_EQ(back.dSizeX, c.out);
    EXPECT_EQ(back.dSizeY, c.out);
    EXPECT_EQ(back.str, u" ");  // nothing but a break mark is written as one blank
    EXPECT_EQ(back.strFontName, u"");
  }
  m.dSizeX = std::numeric_limits<double>::quiet_NaN();
  m.dSizeY = std::numeric_limits<double>::infinity();
  m.dKankaku = -std::numeric_limits<double>::infinity();
  EntityWriteContext ctx;
  Bytes b = Encode([&](ArchiveWriter& w) { WriteBody(w, ctx, m); });
  ArchiveReader r(b.data(), b.size());
  TEntJwwMoji back;
  ASSERT_TRUE(ReadBody(r, 700, back));
  EXPECT_EQ(back.dSizeX, 3.0);
  EXPECT_EQ(back.dSizeY, 1e10);
  EXPECT_EQ(back.dKankaku, 0.0);
}

TEST(EntityBodies, OldDimensionGetsPartsFromItsOwnAttributes) {
  TEntJwwSunpo d;
  d.att = Attr(1, 5);
  d.Sen.att = Attr(1, 1);
  d.Moji.att = Attr(1, 1);
  d.Moji.str = u"1000";
  EntityWriteContext ctx;
  ctx.ver = 400;
  Bytes b = Encode([&](ArchiveWriter& w) { WriteBody(w, ctx, d); });
  ArchiveReader r(b.data(), b.size());
  TEntJwwSunpo back;
  ASSERT_TRUE(ReadBody(r, 400, back));
  EXPECT_TRUE(r.AtEnd());
  EXPECT_EQ(back.bSxfMode, 0);
  EXPECT_EQ(back.Ho1.att, d.att);
  EXPECT_EQ(back.Ho2.start_x, 0.0);
  EXPECT_EQ(back.Kt2.att.nPenStyle, 0);
  EXPECT_EQ(back.Kt2.att.nPenColor, 5);
  EXPECT_EQ(back.Te1.dBairitsu, 0.0);
}

TEST(EntityBodies, ABodyWithNoBytesIsDropped) {
  Bytes none;
  ArchiveReader r(none.data(), 0);
  TEntJwwLine l;
  EXPECT_FALSE(ReadBody(r, 700, l));
  Bytes partial = {1, 2, 3};
  ArchiveReader r2(partial.data(), partial.size());
  EXPECT_TRUE(ReadBody(r2, 700, l));  // some bytes: accepted, incomplete
}

TEST(EntityWriter, ImageReferenceOptions) {
  const std::u16string ref = u"^@BM%temp%pic.bmp,1,2";
  EXPECT_EQ(MojiTextForWriting(ref, 0, nullptr), ref);
  EXPECT_EQ(MojiTextForWriting(ref, 0x08, nullptr), u"^@BMpic.bmp,1,2");
  EXPECT_EQ(MojiTextForWriting(u"^@BMC:\\img\\pic.bmp,1,2", 0x01, nullptr), u"^@BMpic.bmp,1,2");
  EXPECT_EQ(MojiTextForWriting(u"^@BM/home/u/pic.bmp,1", 0x01, nullptr), u"^@BMpic.bmp,1");
  EXPECT_EQ(MojiTextForWriting(u"^@BMC:\\pic.bmp", 0x01, nullptr), u"^@BMC:\\pic.bmp");  // no comma
  EXPECT_EQ(MojiTextForWriting(u"a^mb", 0, nullptr), u"ab");
}

TEST(EntityWriter, PercentSubstitution) {
  TextSubstitution table;
  table.list = {{u"%%a", u"1"}, {u"%%b", u"2"}, {u"x%%b", u"3"}, {u"%%b", u"4"}};
  table.on = 1;
  EXPECT_EQ(MojiTextForWriting(u"%%b", 0x10, &table), u"2");
  EXPECT_EQ(MojiTextForWriting(u"x%%b", 0x10, &table), u"x%%b");
  EXPECT_EQ(MojiTextForWriting(u"%%b", 0, &table), u"%%b");
  table.on = 2;  // only 1 means on
  EXPECT_EQ(MojiTextForWriting(u"%%b", 0x10, &table), u"%%b");
}

}  // namespace
}  // namespace plattero
