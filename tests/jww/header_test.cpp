#include "jww/header_io.h"

#include <gtest/gtest.h>

#include "jww_test_util.h"

namespace plattero {
namespace {

using namespace testing_jww;

Bytes HeaderBytes(const TJwwData& d, std::int32_t ver) {
  MemorySink sink;
  ArchiveWriter w(sink);
  w.SetUtf16((d.FileOutOpt & 0x20) != 0);
  WriteHeader(w, d, {d.EntColS, d.EntLtpS}, ver);
  w.Flush();
  return sink.bytes;
}

// Writes the header for `ver` and reads it back into `back`.
bool RoundTrip(const TJwwData& d, std::int32_t ver, TJwwData& back) {
  Bytes b = HeaderBytes(d, ver);
  ArchiveReader r(b.data(), b.size());
  bool ok = ReadHeader(r, back);
  EXPECT_TRUE(r.AtEnd());
  return ok;
}

TEST(Header, VersionBounds) {
  TJwwData d;
  MakeEmptyDrawing(d);
  for (auto [ver, ok] : {std::pair{219, false}, {220, true}, {700, true}, {701, false}}) {
    Bytes b = HeaderBytes(d, ver);
    ArchiveReader r(b.data(), b.size());
    TJwwData back;
    EXPECT_EQ(ReadHeader(r, back), ok) << ver;
  }
  Bytes b = HeaderBytes(d, 700);
  b[0] = 'X';
  ArchiveReader r(b.data(), b.size());
  TJwwData back;
  EXPECT_FALSE(ReadHeader(r, back));
  EXPECT_EQ(back.Enthd.jwID, u"XwwData.");
}

TEST(Header, EveryCutOfTheHeaderIsRefused) {
  TJwwData d;
  MakeEmptyDrawing(d);
  Bytes b = HeaderBytes(d, 700);
  // Only the last field is checked for delivering bytes: a cut inside it
  // still reads, any earlier cut does not.
  TJwwData back;
  for (std::size_t n = 0; n + 8 <= b.size(); n += (n + 64 < b.size() ? 5 : 1)) {
    ArchiveReader r(b.data(), n);
    EXPECT_FALSE(ReadHeader(r, back)) << n;
  }
  ArchiveReader r(b.data(), b.size() - 7);
  EXPECT_TRUE(ReadHeader(r, back));
}

TEST(Header, LineWidthMode) {
  struct Case {
    std::int32_t w;
    bool haba100;
    std::int32_t bak;
  };
  for (Case c : {Case{-450, true, -50}, Case{-250, true, 50}, Case{-150, true, -100},
                 Case{-350, true, -100}, Case{-100, false, -100}, Case{-101, true, -100},
                 Case{-500, true, -100}, Case{-401, true, -1}, Case{-201, true, 1}}) {
    TJwwData d, back;
    MakeEmptyDrawing(d);
    d.Enthd.nMaxDrawWid = c.w;
    ASSERT_TRUE(RoundTrip(d, 700, back));
    EXPECT_EQ(back.Enthd.nMaxDrawWid, c.w);
    EXPECT_EQ(back.Enthd.bSenHaba100, c.haba100) << c.w;
    EXPECT_EQ(back.Enthd.nMaxDrawWidBak, c.bak) << c.w;
  }
  TJwwData d, back;
  MakeEmptyDrawing(d);
  d.Enthd.nMaxDrawWid = -450;
  ASSERT_TRUE(RoundTrip(d, 420, back));
  EXPECT_EQ(back.Enthd.nMaxDrawWid, -101);
}

TEST(Header, PrintFlagPacksDpi) {
  TJwwData d, back;
  MakeEmptyDrawing(d);
  d.Enthd.nPrtDpi = 12;
  d.Enthd.nPrtDispOnlyNonDraw = 7;
  ASSERT_TRUE(RoundTrip(d, 700, back));
  EXPECT_EQ(back.Enthd.nPrtDpi, 12);
  EXPECT_EQ(back.Enthd.nPrtDispOnlyNonDraw, 7);
  d.Enthd.nPrtDpi = 0;
  d.Enthd.nPrtDispOnlyNonDraw = 1;
  ASSERT_TRUE(RoundTrip(d, 700, back));
  EXPECT_EQ(back.Enthd.nPrtDpi, 1);  // stored as 11
  EXPECT_EQ(back.Enthd.nPrtDispOnlyNonDraw, 1);
  ASSERT_TRUE(RoundTrip(d, 500, back));
  EXPECT_EQ(back.Enthd.nPrtDpi, 0);  // before 600 the dpi is not folded in
}

TEST(Header, VersionDependentGroups) {
  TJwwData d;
  MakeEmptyDrawing(d);
  for (int i = 1; i <= 8; ++i) {
    d.Enthd.dZoomJumpBairitsu[i] = i;
    d.Enthd.nZoomJumpGLay[i] = i;
  }
  d.Enthd.nSolidNinniColor = 1;
  d.Enthd.SolidColor = 0x123456;
  d.Enthd.dMojiBG = 2.5;
  d.Enthd.dTenkuuZuLevel = 9;
  d.Enthd.lnDrawTime = 3725;
  TJwwData v230, v231, v222;
  ASSERT_TRUE(RoundTrip(d, 230, v230));
  EXPECT_EQ(v230.Enthd.dZoomJumpBairitsu[4], 4.0);
  EXPECT_EQ(v230.Enthd.dZoomJumpBairitsu[5], 1.0);  // only four slots: 5 keeps its default
  EXPECT_EQ(v230.Enthd.SolidColor, 0x123456);
  EXPECT_EQ(v230.Enthd.dMojiBG, 0.0);
  EXPECT_EQ(v230.Enthd.dTenkuuZuLevel, 0.0);
  ASSERT_TRUE(RoundTrip(d, 231, v231));
  EXPECT_EQ(v231.Enthd.dZoomJumpBairitsu[8], 8.0);
  EXPECT_EQ(v231.Enthd.nZoomJumpGLay[8], 8);
  EXPECT_EQ(v231.Enthd.dMojiBG, 2.5);
  ASSERT_TRUE(RoundTrip(d, 222, v222));
  EXPECT_EQ(v222.Enthd.lnDrawTime, 0);
  EXPECT_EQ(v222.Enthd.SolidColor, 0);
  // Below 420 the extended tables are neither read nor written.
  EXPECT_EQ(HeaderBytes(d, 700).size() - HeaderBytes(d, 419).size() > 2056u, true);
}

TEST(Header, ExtendedTablesGetDefaultsOnTheirWayOut) {
  TJwwData d, back;
  MakeEmptyDrawing(d);
  d.EntColS[20].astrUDColorName = u" \u3000";
  d.EntColS[20].aPenColor = 0x0000FF;
  d.EntColS[20].aPrtPenColor = 0x00FF00;
  d.EntColS[5].aPrtPenColor = 0x00FF00;
  d.EntLtpS[18].anUDLTypeSegment = 3;
  d.EntLtpS[18].astrUDLTypeName = u"mine";
  d.EntLtpS[5].anUDLTypeSegment = 3;
  d.EntLtpS[5].alLType = 0;
  d.EntLtpS[5].aadUDLTypePitch[1] = 7;
  d.EntLtpS[6].astrUDLTypeName = u"";
  ASSERT_TRUE(RoundTrip(d, 700, back));
  EXPECT_EQ(back.EntColS[20].astrUDColorName, u"Color_20");
  EXPECT_EQ(back.EntColS[20].aPrtPenColor, 0x0000FF);  // screen colour from 17 on
  EXPECT_EQ(back.EntColS[5].aPrtPenColor, 0x00FF00);
  const TEntJwwLineTypeExNo& t18 = back.EntLtpS[18];
  EXPECT_EQ(static_cast<std::uint32_t>(t18.alLType), 0xC3C3C3C3u);
  EXPECT_EQ(t18.anTokushuSenUintDot, 8);
  EXPECT_EQ(t18.anTokushuSenPich, 1);
  EXPECT_EQ(t18.anPrtTokushuSenPich, 8);
  EXPECT_EQ(t18.astrUDLTypeName, u"LType_18");
  EXPECT_EQ(t18.anUDLTypeSegment, 2);
  EXPECT_EQ(t18.aadUDLTypePitch[2], 1.0);
  EXPECT_EQ(t18.aadUDLTypePitch[3], 0.0);
  EXPECT_EQ(back.EntLtpS[5].alLType, -1);
  EXPECT_EQ(back.EntLtpS[5].anUDLTypeSegment, 3);
  EXPECT_EQ(back.EntLtpS[5].aadUDLTypePitch[1], 7.0);
  EXPECT_EQ(back.EntLtpS[6].astrUDLTypeName, u"LType_6");
  EXPECT_EQ(d.EntLtpS[18].astrUDLTypeName, u"mine");  // the document is unchanged
}

TEST(Header, ColourAndTextTableClamps) {
  TJwwData d, back;
  MakeEmptyDrawing(d);
  d.EntCol[0].aPrtPenColor = 0x123456;
  d.EntCol[1].aPenColor = -1;
  d.EntCol[1].anPenWidth = 40;
  d.EntCol[1].anPrtPenWidth = 0;
  d.EntCol[1].adPrtTenHankei = 11;
  d.EntCol[2].adPrtTenHankei = 0.01;
  d.EntMoj[0].adMojiX = -5.0;
  d.EntMoj[1].adMojiX = 0.0;
  d.EntLay[3].aStrLayName = u"壁^m\\n";
  d.EntLay[4].aStrLayName = u"\t\r";
  d.EntLay[5].aStrLayName = u"";
  d.Enthd.strMemo = u"一行目\r\n二行目";
  d.Enthd.abReserved1[0] = 0x5A;
  ASSERT_TRUE(RoundTrip(d, 700, back));
  EXPECT_EQ(back.EntCol[0].aPrtPenColor, 0xFFFFFF);
  EXPECT_EQ(back.EntCol[1].aPenColor, 0);
  EXPECT_EQ(back.EntCol[1].anPenWidth, 16);
  EXPECT_EQ(back.EntCol[1].anPrtPenWidth, 1);
  EXPECT_EQ(back.EntCol[1].adPrtTenHankei, 10.0);
  EXPECT_EQ(back.EntCol[2].adPrtTenHankei, 0.1);
  EXPECT_EQ(back.EntMoj[0].adMojiX, 5.0);
  EXPECT_EQ(back.EntMoj[1].adMojiX, 1e-10);
  EXPECT_EQ(back.EntLay[3].aStrLayName, u"壁");
  EXPECT_EQ(back.EntLay[4].aStrLayName, u" ");
  EXPECT_EQ(back.EntLay[5].aStrLayName, u"");
  EXPECT_EQ(back.Enthd.strMemo, u"一行目\r\n二行目");      // the memo keeps its line breaks
  EXPECT_EQ(back.Enthd.abReserved1, d.Enthd.abReserved1);  // kept as read
}

TEST(Header, Utf16OptionWritesEveryStringInUtf16) {
  TJwwData d, back;
  MakeEmptyDrawing(d);
  d.EntLay[0].aStrLayName = u"レイヤ";
  d.FileOutOpt = 0x20;
  Bytes b = HeaderBytes(d, 700);
  ArchiveReader r(b.data(), b.size());
  ASSERT_TRUE(ReadHeader(r, back));
  EXPECT_TRUE(r.SawUtf16());
  EXPECT_EQ(back.EntLay[0].aStrLayName, u"レイヤ");
  // 16 + 256 + 257 + 33 names and the memo each start with FF FE FF.
  std::size_t markers = 0;
  for (std::size_t i = 0; i + 2 < b.size(); ++i) {
    if (b[i] == 0xFF && b[i + 1] == 0xFE && b[i + 2] == 0xFF) ++markers;
  }
  EXPECT_EQ(markers, 1u + 256 + 16 + 257 + 33);
}

}  // namespace
}  // namespace plattero
