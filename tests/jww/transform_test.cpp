#include "jww/transform.h"

#include <gtest/gtest.h>

#include "drawing_builder.h"
#include "jww_test_util.h"

namespace plattero {
namespace {

using testing_jww::Bytes;
using testing_jww::ScratchDir;

// Half size, then moved by (10, -20).
constexpr TMoveScale kHalf{0.5, 10, -20};

TEntJwwAttr Att(std::uint8_t style = 2) {
  return {7, style, 3, 25, 4, 5, 0x11};
}

template <class T>
void ExpectMoved(T before, const T& want, const char* what) {
  MoveAndScale(kHalf, before);
  EXPECT_EQ(before, want) << what;
}

TEST(MoveAndScale, EveryEntityKindByHand) {
  ExpectMoved(TEntJwwLine{Att(), 2, 4, -6, 8}, TEntJwwLine{Att(), 11, -18, 7, -16}, "line");
  // Angles, tilt and flattening stay; the radius halves.
  ExpectMoved(TEntJwwEnko{Att(), 4, -2, 6, 0.3, 1.2, 0.5, 0.4, 0},
              TEntJwwEnko{Att(), 12, -21, 3, 0.3, 1.2, 0.5, 0.4, 0}, "ellipse arc");
  ExpectMoved(TEntJwwTen{Att(100), 8, 8, 1, 3, 0.7, 2}, TEntJwwTen{Att(100), 14, -16, 1, 3, 0.7, 2},
              "temporary point with code");
  ExpectMoved(TEntJwwMoji{Att(1), 0, 0, 20, 0, 205, 4, 5, 1, 30, u"ＭＳ 明朝", u"文字"},
              TEntJwwMoji{Att(1), 10, -20, 20, -20, 205, 2, 2.5, 0.5, 30, u"ＭＳ 明朝", u"文字"},
              "text");
  ExpectMoved(
      TEntJwwMoji{Att(1), 4, 4, 4, 4, 0, 2, 2, 0, 0, u"", u"^@BM%temp%pic.bmp,100,75,3,4,1,0"},
      TEntJwwMoji{Att(1), 12, -18, 12, -18, 0, 1, 1, 0, 0, u"",
                  u"^@BM%temp%pic.bmp,50,37.5,3,4,1,0"},
      "image text");

  TEntJwwSunpo dim;
  dim.att = Att(1);
  dim.Sen = {Att(1), 0, 0, 100, 0};
  dim.Moji = {Att(1), 40, 2, 60, 2, 0, 3, 3, 0.5, 0, u"", u"100"};
  dim.bSxfMode = 1;
  dim.Ho1 = {Att(1), 0, -6, 0, 0};
  dim.Ho2 = {Att(1), 100, -6, 100, 0};
  dim.Te1 = {Att(100), 0, 0, 0, 5, 0, 1};
  dim.Te2 = {Att(100), 100, 0, 0, 5, 3.14, 1};
  dim.Kt1 = {Att(1), 0, -6, 1, 0, 0, 0};
  dim.Kt2 = {Att(1), 100, -6, 1, 0, 0, 0};
  TEntJwwSunpo dim_want = dim;
  dim_want.Sen = {Att(1), 10, -20, 60, -20};
  dim_want.Moji = {Att(1), 30, -19, 40, -19, 0, 1.5, 1.5, 0.25, 0, u"", u"100"};
  dim_want.Ho1 = {Att(1), 10, -23, 10, -20};
  dim_want.Ho2 = {Att(1), 60, -23, 60, -20};
  dim_want.Te1 = {Att(100), 10, -20, 0, 5, 0, 1};
  dim_want.Te2 = {Att(100), 60, -20, 0, 5, 3.14, 1};
  dim_want.Kt1 = {Att(1), 10, -23, 1, 0, 0, 0};
  dim_want.Kt2 = {Att(1), 60, -23, 1, 0, 0, 0};
  ExpectMoved(dim, dim_want, "extended dimension");
  // Without the extended form the six parts stay as they are.
  dim.bSxfMode = 0;
  dim_want.bSxfMode = 0;
  dim_want.Ho1 = dim.Ho1;
  dim_want.Ho2 = dim.Ho2;
  dim_want.Te1 = dim.Te1;
  dim_want.Te2 = dim.Te2;
  dim_want.Kt1 = dim.Kt1;
  dim_want.Kt2 = dim.Kt2;
  ExpectMoved(dim, dim_want, "plain dimension");

  ExpectMoved(TEntJwwSolid{Att(1), 0, 0, 10, 0, 10, 10, 0, 10, 0x123456},
              TEntJwwSolid{Att(1), 10, -20, 15, -20, 15, -15, 10, -15, 0x123456}, "solid");
  // Round solid: centre and radius; flattening and angles stay.
  ExpectMoved(TEntJwwSolid{Att(101), 4, 6, 8, 0.5, 0.1, 0.2, 0.3, 0.4, 0},
              TEntJwwSolid{Att(101), 12, -17, 4, 0.5, 0.1, 0.2, 0.3, 0.4, 0}, "round solid");
  ExpectMoved(TEntJwwBlock{Att(1), 20, 40, 1, 2, 0.5, 3},
              TEntJwwBlock{Att(1), 20, 0, 0.5, 1, 0.5, 3}, "block reference");
}

TEST(MoveAndScale, ImageSizeInItsText) {
  struct Case {
    const char16_t* text;
    double k;
    const char16_t* want;
  };
  const Case cases[] = {
      {u"^@BM%temp%pic.bmp,100,75", 0.5, u"^@BM%temp%pic.bmp,50,37.5"},
      {u"^@BMC:\\img\\a.bmp,10,20,0,0,1,0", 0.1, u"^@BMC:\\img\\a.bmp,1,2,0,0,1,0"},
      {u"^@BM%temp%a.bmp,100,80,0", 2.0 / 3,
       u"^@BM%temp%a.bmp,66.66666666666666,53.33333333333333,0"},
      {u"^@BM%temp%a.bmp,1e-3,2", 0.5, u"^@BM%temp%a.bmp,0.0005,1"},  // never an exponent
      {u"^@BM%temp%a.bmp,100.0,75", 1, u"^@BM%temp%a.bmp,100.0,75"},  // k = 1: not rewritten
      {u"^@BM%temp%a.bmp,100", 0.5, u"^@BM%temp%a.bmp,100"},          // no height
      {u"^@BM%temp%a.bmp,abc,75", 0.5, u"^@BM%temp%a.bmp,abc,75"},    // no number
      {u"^@BM%temp%a.bmp, 100,75", 0.5, u"^@BM%temp%a.bmp, 100,75"},
      {u"^@BM%temp%a.bmp,nan,75", 0.5, u"^@BM%temp%a.bmp,nan,75"},
      {u"^@BM%temp%a.bmp,1e308,75", 1e10, u"^@BM%temp%a.bmp,1e308,75"},  // beyond a double
      {u"^@BM%temp%a.bmp", 0.5, u"^@BM%temp%a.bmp"},
      {u"100,75", 0.5, u"100,75"},
      {u"", 0.5, u""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ScaleImageText(c.text, c.k), c.want) << Utf16ToUtf8(c.text);
}

TEST(MoveAndScale, GroupScalesOfChosenGroups) {
  TJwwData d;
  testing_jww::MakeEmptyDrawing(d);
  d.EntLgrp[0].adScale = 100;
  d.EntLgrp[1].adScale = 50;
  d.EntLgrp[2].adScale = 7;
  d.EntLgrp[3].adScale = 2.5;
  DivideGroupScales(d, 0.5, 0b1011);
  EXPECT_EQ(d.EntLgrp[0].adScale, 200);
  EXPECT_EQ(d.EntLgrp[1].adScale, 100);
  EXPECT_EQ(d.EntLgrp[2].adScale, 7);  // not chosen
  EXPECT_EQ(d.EntLgrp[3].adScale, 5);
  DivideGroupScales(d, 0.7, 0b0100);
  EXPECT_EQ(d.EntLgrp[2].adScale, 10);  // 7 / 0.7 is 10.000000000000002 before tidying
  DivideGroupScales(d, 0, 0xFFFF);      // no factor: nothing changes
  EXPECT_EQ(d.EntLgrp[2].adScale, 10);
}

// A drawing of every entity kind, block definitions and an image text.
void BuildEveryKind(TJwwData& d) {
  testing::DrawingSpec spec;
  spec.lines = spec.arcs = spec.points = spec.texts = spec.dimensions = spec.solids = 12;
  spec.block_defs = 3;
  spec.block_refs = 6;
  spec.curve_numbers = 4;
  testing::BuildDrawing(spec, d);
  d.EntNo.push_back({kEntMoji, static_cast<std::int32_t>(d.EntMoji.size())});
  d.EntMoji.push_back(TEntJwwMoji{Att(1), 1, 1, 1, 1, 0, 2, 2, 0, 0, u"", u"^@BMa.bmp,100.5,75"});
}

TEST(MoveAndScale, IdentityKeepsEveryByte) {
  TJwwData d;
  BuildEveryKind(d);
  const Bytes before = testing_jww::WriteToBytes(d, 700);
  ASSERT_FALSE(before.empty());
  MoveAndScale(d, TMoveScale{});
  EXPECT_EQ(testing_jww::WriteToBytes(d, 700), before);
}

TEST(MoveAndScale, DocumentFromAMarkLeavesDefinitionsAndEarlierEntities) {
  TJwwData d;
  BuildEveryKind(d);
  TEntityMark mark = EntityMarkOf(d);
  mark.line = 5;  // the first five lines and everything else stay
  const auto lines = d.EntLine;
  const auto texts = d.EntMoji;
  const auto defs = d.EntBlockDef;
  const auto header = d.Enthd;
  const auto groups = d.EntLgrp;
  MoveAndScale(d, kHalf, mark);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    TEntJwwLine want = lines[i];
    if (i >= 5)
      want = {want.att, want.start_x / 2 + 10, want.start_y / 2 - 20, want.end_x / 2 + 10,
              want.end_y / 2 - 20};
    EXPECT_EQ(d.EntLine[i], want) << i;
  }
  EXPECT_EQ(d.EntMoji, texts);

  // The whole document: every kind changes, definitions and header do not.
  const auto blocks = d.EntBlock;
  ASSERT_FALSE(blocks.empty());
  MoveAndScale(d, kHalf);
  EXPECT_EQ(d.EntBlockDef, defs);
  EXPECT_EQ(d.Enthd, header);
  EXPECT_EQ(d.EntLgrp, groups);
  EXPECT_EQ(d.EntMoji.back().str, u"^@BMa.bmp,50.25,37.5");
  EXPECT_EQ(d.EntBlock[0].dBairitsuX, blocks[0].dBairitsuX / 2);
  EXPECT_EQ(d.EntBlock[0].nNumber, blocks[0].nNumber);
}

}  // namespace
}  // namespace plattero
