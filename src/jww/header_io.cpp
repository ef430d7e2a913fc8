#include "jww/header_io.h"

#include <algorithm>

#include "jww/entity_io.h"
#include "util/numbers.h"
#include "util/text.h"

namespace plattero {

namespace {

constexpr char kSignature[] = "JwwData.";

// Derives bSenHaba100 and nMaxDrawWidBak from the line width mode.
void DeriveLineWidthMode(TEntJwwHeader& h) {
  const std::int32_t w = h.nMaxDrawWid;
  h.bSenHaba100 = false;
  h.nMaxDrawWidBak = w;
  if (w <= -101) {
    h.bSenHaba100 = true;
    if (w >= -500 && w <= -401) {
      h.nMaxDrawWidBak = 400 + w;  // 400 - |w|
    } else if (w >= -300 && w <= -201) {
      h.nMaxDrawWidBak = -w - 200;  // |w| - 200
    } else {
      h.nMaxDrawWidBak = -100;
    }
  }
}

double FiniteOr(double v, double fallback) {
  return IsFiniteNumber(v) ? v : fallback;
}

std::int32_t ColorOr0(std::int32_t c) {
  return c < 0 || c > 0xFFFFFF ? 0 : c;
}

bool IsUserSegmentCount(std::int32_t n) {
  return n == 2 || n == 4 || n == 6 || n == 8;
}

// A name for the file: break marks removed, and a default when nothing but
// blanks would remain.
std::u16string NameOrDefault(const std::u16string& name, const char16_t* prefix, int i) {
  std::u16string s = RemoveBreakMarks(name);
  if (RemoveSpaces(s).empty()) return prefix + IntStr(i);
  return s;
}

// The extended tables of a new drawing, as Jw_cad 7.11 writes them for a
// drawing whose version has none. Names are left empty: the writer names
// them "Color_<i>" and "LType_<i>".
constexpr std::int32_t kNewExPenWidth = 18;
constexpr double kNewExPrtTenHankei = 0.18;
// Colours 0..16 (0x00BBGGRR); 17..32 are light grey, the rest black.
constexpr std::int32_t kNewExColors[17] = {
    0x000000, 0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF, 0xFFFF00, 0xFFFFFF,
    0x8000C0, 0x4080C0, 0x0080FF, 0x80C080, 0xFF8000, 0xFF4080, 0xC0C0C0, 0x808080};
constexpr std::int32_t kNewExSpareColor = 0xC0C0C0;
constexpr int kNewExSpareColorsEnd = 33;

struct NewExLineType {
  std::uint32_t alLType;
  std::int32_t anTokushuSenUintDot, anTokushuSenPich, anPrtTokushuSenPich;
  std::int32_t anUDLTypeSegment;
  double pitch[10];
};
constexpr NewExLineType kNewExLineTypes[17] = {
    {0x00000000u, 0, 0, 0, 0, {}},
    {0xFFFFFFFFu, 32, 1, 10, 0, {}},
    {0xFE3FFE3Fu, 16, 1, 15, 2, {6, 1.5}},
    {0xF00FF00Fu, 16, 1, 24, 2, {6, 6}},
    {0xFFFBBFFFu, 32, 1, 15, 4, {12, 1.5, 0.25, 1.5}},
    {0xFFEEEFFFu, 32, 1, 17, 6, {12, 1.5, 0.25, 1.5, 0.25, 1.5}},
    {0xFFBBBBFFu, 32, 1, 19, 8, {12, 1.5, 0.25, 1.5, 0.25, 1.5, 0.25, 1.5}},
    {0x10101010u, 8, 1, 7, 2, {0.25, 1.5}},
    {0xFFFDBFFFu, 32, 1, 19, 4, {12, 1.5, 3.5, 1.5}},
    {0xFFF6DFFFu, 32, 1, 24, 6, {12, 1.5, 3.5, 1.5, 3.5, 1.5}},
    {0xFFE083FFu, 32, 1, 9, 4, {6, 1.5, 0.25, 1.5}},
    {0xFC7FF11Fu, 32, 1, 17, 6, {6, 1.5, 6, 1.5, 0.25, 1.5}},
    {0xFF8421FFu, 32, 1, 11, 6, {6, 1.5, 0.25, 1.5, 0.25, 1.5}},
    {0xF8FF888Fu, 32, 1, 19, 8, {6, 1.5, 6, 1.5, 0.25, 1.5, 0.25, 1.5}},
    {0xFE10843Fu, 32, 1, 13, 8, {6, 1.5, 0.25, 1.5, 0.25, 1.5, 0.25, 1.5}},
    {0xF9FF249Fu, 32, 1, 20, 10, {6, 1.5, 6, 1.5, 0.25, 1.5, 0.25, 1.5, 0.25, 1.5}},
    {0xFFFFFFFFu, 32, 1, 10, 0, {}},
};
// Line types 17..32 are empty patterns with these unit counts, print pitch 10.
constexpr std::int32_t kNewExSpareLineTypeDots[16] = {32, 16, 16, 32, 32, 32, 8,  32,
                                                      32, 32, 32, 32, 32, 32, 32, 32};

}  // namespace

void InitExTables(std::vector<TEntJwwColorExNo>& colors,
                  std::vector<TEntJwwLineTypeExNo>& line_types) {
  colors.assign(kColorExCount, {});
  for (int i = 0; i < kColorExCount; ++i) {
    TEntJwwColorExNo& c = colors[i];
    c.aPenColor = i < 17 ? kNewExColors[i] : i < kNewExSpareColorsEnd ? kNewExSpareColor : 0;
    c.anPenWidth = kNewExPenWidth;
    c.aPrtPenColor = c.aPenColor;
    c.anPrtPenWidth = kNewExPenWidth;
    c.adPrtTenHankei = kNewExPrtTenHankei;
  }
  line_types.assign(kLineTypeExCount, {});
  for (int i = 0; i < kLineTypeExCount; ++i) {
    TEntJwwLineTypeExNo& t = line_types[i];
    if (i >= 17) {
      t.anTokushuSenUintDot = kNewExSpareLineTypeDots[i - 17];
      t.anTokushuSenPich = 1;
      t.anPrtTokushuSenPich = 10;
      continue;
    }
    const NewExLineType& n = kNewExLineTypes[i];
    t.alLType = static_cast<std::int32_t>(n.alLType);
    t.anTokushuSenUintDot = n.anTokushuSenUintDot;
    t.anTokushuSenPich = n.anTokushuSenPich;
    t.anPrtTokushuSenPich = n.anPrtTokushuSenPich;
    t.anUDLTypeSegment = n.anUDLTypeSegment;
    std::copy(std::begin(n.pitch), std::end(n.pitch), t.aadUDLTypePitch.begin() + 1);
  }
}

void SizeHeaderTables(TJwwData& doc) {
  doc.EntLgrp.resize(kLayerGroupCount);
  doc.EntLay.resize(kLayerCount);
  doc.EntCol.resize(kColorCount);
  doc.EntLtp1.resize(kLineTypeCount);
  doc.EntLtp2.resize(kRandomLineCount);
  doc.EntLtp3.resize(kDoubleLineTypeCount);
  doc.EntMoj.resize(kMojiTypeCount);
  doc.EntColS.resize(kColorExCount);
  doc.EntLtpS.resize(kLineTypeExCount);
}

bool ReadSignature(ArchiveReader& r, TEntJwwHeader& h) {
  std::uint8_t sig[8];
  r.Read(sig, 8);
  h.jwID = SjisBytesToStr(sig, 8);
  if (h.jwID != u"JwwData.") {
    r.Fail(0, "header: not a drawing (signature)");
    return false;
  }
  h.jwVer = r.ReadI32();
  if (h.jwVer < 220 || h.jwVer > 700) {
    r.Fail(8, "header: version " + std::to_string(h.jwVer) + " outside 220..700");
    return false;
  }
  return true;
}

bool ReadHeader(ArchiveReader& r, TJwwData& doc, TJwwReadStatus* where) {
  SizeHeaderTables(doc);
  TEntJwwHeader& h = doc.Enthd;
  if (!ReadSignature(r, h)) return false;
  const std::int32_t ver = h.jwVer;
  h.strMemo = r.ReadCString();
  h.nZumen = r.ReadI32();
  h.nWriteGLay = r.ReadI32();
  for (int g = 0; g < kLayerGroupCount; ++g) {
    TEntJwwLayerGroup& lg = doc.EntLgrp[g];
    lg.anGLay = r.ReadI32();
    lg.anWriteLay = r.ReadI32();
    lg.adScale = r.ReadF64();
    lg.anGLayProtect = r.ReadI32();
    for (int l = 0; l < 16; ++l) {
      TEntJwwLayer& ly = doc.EntLay[g * 16 + l];
      ly.aanLay = r.ReadI32();
      ly.aanLayProtect = r.ReadI32();
    }
  }
  {
    // Kept as found; what is missing at the end of a short file stays as it was.
    std::uint8_t buf[56];
    std::size_t got = r.Read(buf, 56);
    std::copy(buf, buf + got, h.abReserved1.begin());
  }
  h.lnSunpou1 = r.ReadI32();
  h.lnSunpou2 = r.ReadI32();
  h.lnSunpou3 = r.ReadI32();
  h.lnSunpou4 = r.ReadI32();
  h.lnSunpou5 = r.ReadI32();
  {
    std::uint8_t buf[4];
    std::size_t got = r.Read(buf, 4);
    std::copy(buf, buf + got, h.abReserved2.begin());
  }
  h.nMaxDrawWid = r.ReadI32();
  DeriveLineWidthMode(h);
  h.DPPrtGenten_x = r.ReadF64();
  h.DPPrtGenten_y = r.ReadF64();
  h.dPrtBairitsu = r.ReadF64();
  h.nPrtSet = r.ReadI32();
  h.nMemoriMode = r.ReadI32();
  h.dMemoriHyoujiMin = r.ReadF64();
  h.dMemoriX = r.ReadF64();
  h.dMemoriY = r.ReadF64();
  h.DpMemoriKjTen_x = r.ReadF64();
  h.DpMemoriKjTen_y = r.ReadF64();
  for (TEntJwwLayer& ly : doc.EntLay)
    ly.aStrLayName = r.ReadName();
  for (TEntJwwLayerGroup& lg : doc.EntLgrp)
    lg.aStrGLayName = r.ReadName();
  h.dKageLevel = r.ReadF64();
  h.dKageIdo = r.ReadF64();
  h.nKage9_15JiFlg = r.ReadI32();
  h.dKabeKageLevel = r.ReadF64();
  if (ver >= 300) {
    h.dTenkuuZuLevel = r.ReadF64();
    h.dTenkuuZuEnkoR = r.ReadF64();
  }
  h.nMMTani3D = r.ReadI32();
  h.dBairitsu = r.ReadF64();
  h.DPGenten_x = r.ReadF64();
  h.DPGenten_y = r.ReadF64();
  h.dHanniBairitsu = r.ReadF64();
  h.DPHanniGenten_x = r.ReadF64();
  h.DPHanniGenten_y = r.ReadF64();
  if (ver >= 231) {
    for (int i = 1; i <= 8; ++i) {
      h.dZoomJumpBairitsu[i] = r.ReadF64();
      h.DPZoomJumpGenten_x[i] = r.ReadF64();
      h.DPZoomJumpGenten_y[i] = r.ReadF64();
      h.nZoomJumpGLay[i] = r.ReadI32();
    }
    h.dDm11 = r.ReadF64();
    h.dDm12 = r.ReadF64();
    h.dDm13 = r.ReadF64();
    h.lnDm1 = r.ReadI32();
    h.dDm21 = r.ReadF64();
    h.dDm22 = r.ReadF64();
    h.dMojiBG = r.ReadF64();
    h.nMojiBG = r.ReadI32();
  } else {
    for (int i = 1; i <= 4; ++i) {
      h.dZoomJumpBairitsu[i] = r.ReadF64();
      h.DPZoomJumpGenten_x[i] = r.ReadF64();
      h.DPZoomJumpGenten_y[i] = r.ReadF64();
    }
  }
  for (double& d : h.adFukusenSuuchi)
    d = r.ReadF64();
  h.dRyougawaFukusenTomeDe = r.ReadF64();
  for (TEntJwwColorNo& c : doc.EntCol) {
    c.aPenColor = r.ReadI32();
    c.anPenWidth = r.ReadI32();
  }
  for (TEntJwwColorNo& c : doc.EntCol) {
    c.aPrtPenColor = r.ReadI32();
    c.anPrtPenWidth = r.ReadI32();
    c.adPrtTenHankei = r.ReadF64();
  }
  auto read_line_type = [&](TEntJwwLineTypeNo& t) {
    t.alLType = r.ReadI32();
    t.anTokushuSenUintDot = r.ReadI32();
    t.anTokushuSenPich = r.ReadI32();
    t.anPrtTokushuSenPich = r.ReadI32();
  };
  for (TEntJwwLineTypeNo& t : doc.EntLtp1)
    read_line_type(t);
  for (TEntJwwRandomLineNo& t : doc.EntLtp2) {
    t.alLType = r.ReadI32();
    t.anRandSenWide = r.ReadI32();
    t.anTokushuSenPich = r.ReadI32();
    t.anPrtRandSenWide = r.ReadI32();
    t.anPrtTokushuSenPich = r.ReadI32();
  }
  for (TEntJwwLineTypeNo& t : doc.EntLtp3)
    read_line_type(t);
  h.nDrawGamenTen = r.ReadI32();
  h.nDrawPrtTen = r.ReadI32();
  h.nBitMapFirstDraw = r.ReadI32();
  h.nGyakuDraw = r.ReadI32();
  h.nGyakuSearch = r.ReadI32();
  h.nColorPrint = r.ReadI32();
  h.nLayJunPrint = r.ReadI32();
  h.nColJunPrint = r.ReadI32();
  h.nPrtRenzoku = r.ReadI32();
  h.nPrtKyoutsuuGray = r.ReadI32();
  {
    std::int32_t v = r.ReadI32();
    h.nPrtDpi = v / 10;
    h.nPrtDispOnlyNonDraw = v % 10;
  }
  if (ver >= 223) {
    h.lnDrawTime = r.ReadI32();
    h.nEyeInit = r.ReadI32();
    h.dEye_H_Ichi_1 = r.ReadI32();
    h.dEye_H_Ichi_2 = r.ReadI32();
    h.dEye_H_Ichi_3 = r.ReadI32();
    h.dEye_Z_Ichi_1 = r.ReadF64();
    h.dEye_Y_Ichi_1 = r.ReadF64();
    h.dEye_Z_Ichi_2 = r.ReadF64();
    h.dEye_Y_Ichi_2 = r.ReadF64();
    h.dEye_V_Ichi_3 = r.ReadF64();
  }
  if (ver >= 225) {
    h.dSenNagasaSnpou = r.ReadF64();
    h.dBoxSunpouX = r.ReadF64();
    h.dBoxSunpouY = r.ReadF64();
    h.dEnHankeiSnpou = r.ReadF64();
  }
  if (ver >= 230) {
    h.nSolidNinniColor = r.ReadI32();
    h.SolidColor = r.ReadI32();
  }
  if (ver >= 420) {
    for (TEntJwwColorExNo& c : doc.EntColS) {
      c.aPenColor = r.ReadI32();
      c.anPenWidth = r.ReadI32();
    }
    if (where) where->ext_names_begin = r.Position();
    for (TEntJwwColorExNo& c : doc.EntColS) {
      c.astrUDColorName = r.ReadName();
      c.aPrtPenColor = r.ReadI32();
      c.anPrtPenWidth = r.ReadI32();
      c.adPrtTenHankei = r.ReadF64();
    }
    for (TEntJwwLineTypeExNo& t : doc.EntLtpS) {
      t.alLType = r.ReadI32();
      t.anTokushuSenUintDot = r.ReadI32();
      t.anTokushuSenPich = r.ReadI32();
      t.anPrtTokushuSenPich = r.ReadI32();
    }
    for (TEntJwwLineTypeExNo& t : doc.EntLtpS) {
      t.astrUDLTypeName = r.ReadName();
      t.anUDLTypeSegment = r.ReadI32();
      for (int i = 1; i <= 10; ++i)
        t.aadUDLTypePitch[i] = r.ReadF64();
    }
    if (where) where->ext_names_end = r.Position();
  }
  for (TEntJwwMojiType& m : doc.EntMoj) {
    m.adMojiX = FiniteOr(r.ReadF64(), 3.0);
    m.adMojiY = FiniteOr(r.ReadF64(), 3.0);
    m.adMojiD = FiniteOr(r.ReadF64(), 0.0);
    m.anMojiCol = r.ReadI32();
  }
  h.dMojiSizeX = FiniteOr(r.ReadF64(), 3.0);
  h.dMojiSizeY = FiniteOr(r.ReadF64(), 3.0);
  h.dMojiKankaku = FiniteOr(r.ReadF64(), 0.0);
  h.nMojiColor = r.ReadI32();
  h.nMojiShu = r.ReadI32();
  h.dMojiSeiriGyouKan = r.ReadF64();
  h.dMojiSeiriSuu = r.ReadF64();
  h.nMojiKijunZureOn = r.ReadI32();
  h.adMojiKijunZureX0 = r.ReadF64();
  h.adMojiKijunZureX1 = r.ReadF64();
  h.adMojiKijunZureX2 = r.ReadF64();
  h.adMojiKijunZureY0 = r.ReadF64();
  h.adMojiKijunZureY1 = r.ReadF64();
  if (r.AtEnd()) {
    r.Fail("header: data ends inside the header");
    return false;
  }
  h.adMojiKijunZureY2 = r.ReadF64();
  return true;
}

void WriteHeader(ArchiveWriter& w, const TJwwData& doc, const ExTables& ex, std::int32_t ver) {
  const TEntJwwHeader& h = doc.Enthd;
  w.Write(kSignature, 8);
  w.WriteI32(ver);
  w.WriteCString(h.strMemo);
  w.WriteI32(h.nZumen);
  w.WriteI32(h.nWriteGLay);
  for (int g = 0; g < kLayerGroupCount; ++g) {
    const TEntJwwLayerGroup& lg = doc.EntLgrp[g];
    w.WriteI32(lg.anGLay);
    w.WriteI32(lg.anWriteLay);
    w.WriteF64(lg.adScale);
    w.WriteI32(lg.anGLayProtect);
    for (int l = 0; l < 16; ++l) {
      const TEntJwwLayer& ly = doc.EntLay[g * 16 + l];
      w.WriteI32(ly.aanLay);
      w.WriteI32(ly.aanLayProtect);
    }
  }
  w.Write(h.abReserved1.data(), h.abReserved1.size());
  w.WriteI32(h.lnSunpou1);
  w.WriteI32(h.lnSunpou2);
  w.WriteI32(h.lnSunpou3);
  w.WriteI32(h.lnSunpou4);
  w.WriteI32(h.lnSunpou5);
  w.Write(h.abReserved2.data(), h.abReserved2.size());
  w.WriteI32(ver <= 420 && h.nMaxDrawWid < -101 ? -101 : h.nMaxDrawWid);
  w.WriteF64(h.DPPrtGenten_x);
  w.WriteF64(h.DPPrtGenten_y);
  w.WriteF64(h.dPrtBairitsu);
  w.WriteI32(h.nPrtSet);
  w.WriteI32(h.nMemoriMode);
  w.WriteF64(h.dMemoriHyoujiMin);
  w.WriteF64(h.dMemoriX);
  w.WriteF64(h.dMemoriY);
  w.WriteF64(h.DpMemoriKjTen_x);
  w.WriteF64(h.DpMemoriKjTen_y);
  for (const TEntJwwLayer& ly : doc.EntLay)
    w.WriteCString(RemoveBreakMarks(ly.aStrLayName));
  for (const TEntJwwLayerGroup& lg : doc.EntLgrp) {
    w.WriteCString(RemoveBreakMarks(lg.aStrGLayName));
  }
  w.WriteF64(h.dKageLevel);
  w.WriteF64(h.dKageIdo);
  w.WriteI32(h.nKage9_15JiFlg);
  w.WriteF64(h.dKabeKageLevel);
  if (ver >= 300) {
    w.WriteF64(h.dTenkuuZuLevel);
    w.WriteF64(h.dTenkuuZuEnkoR);
  }
  w.WriteI32(h.nMMTani3D);
  w.WriteF64(h.dBairitsu);
  w.WriteF64(h.DPGenten_x);
  w.WriteF64(h.DPGenten_y);
  w.WriteF64(h.dHanniBairitsu);
  w.WriteF64(h.DPHanniGenten_x);
  w.WriteF64(h.DPHanniGenten_y);
  if (ver >= 231) {
    for (int i = 1; i <= 8; ++i) {
      w.WriteF64(h.dZoomJumpBairitsu[i]);
      w.WriteF64(h.DPZoomJumpGenten_x[i]);
      w.WriteF64(h.DPZoomJumpGenten_y[i]);
      w.WriteI32(h.nZoomJumpGLay[i]);
    }
    w.WriteF64(h.dDm11);
    w.WriteF64(h.dDm12);
    w.WriteF64(h.dDm13);
    w.WriteI32(h.lnDm1);
    w.WriteF64(h.dDm21);
    w.WriteF64(h.dDm22);
    w.WriteF64(h.dMojiBG);
    w.WriteI32(h.nMojiBG);
  } else {
    for (int i = 1; i <= 4; ++i) {
      w.WriteF64(h.dZoomJumpBairitsu[i]);
      w.WriteF64(h.DPZoomJumpGenten_x[i]);
      w.WriteF64(h.DPZoomJumpGenten_y[i]);
    }
  }
  for (double d : h.adFukusenSuuchi)
    w.WriteF64(d);
  w.WriteF64(h.dRyougawaFukusenTomeDe);
  for (const TEntJwwColorNo& c : doc.EntCol) {
    w.WriteI32(ColorOr0(c.aPenColor));
    w.WriteI32(std::clamp(c.anPenWidth, 1, 16));
  }
  for (int i = 0; i < kColorCount; ++i) {
    const TEntJwwColorNo& c = doc.EntCol[i];
    w.WriteI32(i == 0 ? 0xFFFFFF : ColorOr0(c.aPrtPenColor));
    w.WriteI32(std::clamp(c.anPrtPenWidth, 1, 500));
    double radius = c.adPrtTenHankei;
    if (radius < 0.1) radius = 0.1;
    if (radius > 10) radius = 10;
    w.WriteF64(radius);
  }
  auto write_line_type = [&](const TEntJwwLineTypeNo& t) {
    w.WriteI32(t.alLType);
    w.WriteI32(t.anTokushuSenUintDot);
    w.WriteI32(t.anTokushuSenPich);
    w.WriteI32(t.anPrtTokushuSenPich);
  };
  for (const TEntJwwLineTypeNo& t : doc.EntLtp1)
    write_line_type(t);
  for (const TEntJwwRandomLineNo& t : doc.EntLtp2) {
    w.WriteI32(t.alLType);
    w.WriteI32(t.anRandSenWide);
    w.WriteI32(t.anTokushuSenPich);
    w.WriteI32(t.anPrtRandSenWide);
    w.WriteI32(t.anPrtTokushuSenPich);
  }
  for (const TEntJwwLineTypeNo& t : doc.EntLtp3)
    write_line_type(t);
  w.WriteI32(h.nDrawGamenTen);
  w.WriteI32(h.nDrawPrtTen);
  w.WriteI32(h.nBitMapFirstDraw);
  w.WriteI32(h.nGyakuDraw);
  w.WriteI32(h.nGyakuSearch);
  w.WriteI32(h.nColorPrint);
  w.WriteI32(h.nLayJunPrint);
  w.WriteI32(h.nColJunPrint);
  w.WriteI32(h.nPrtRenzoku);
  w.WriteI32(h.nPrtKyoutsuuGray);
  {
    // Computed in 64 bits and wrapped, so no value of nPrtDpi can overflow.
    std::int64_t v = h.nPrtDispOnlyNonDraw;
    if (ver >= 600) v += h.nPrtDpi > 0 ? std::int64_t{10} * h.nPrtDpi : 10;
    w.WriteU32(static_cast<std::uint32_t>(v));
  }
  if (ver >= 223) {
    w.WriteI32(h.lnDrawTime);
    w.WriteI32(h.nEyeInit);
    w.WriteI32(h.dEye_H_Ichi_1);
    w.WriteI32(h.dEye_H_Ichi_2);
    w.WriteI32(h.dEye_H_Ichi_3);
    w.WriteF64(h.dEye_Z_Ichi_1);
    w.WriteF64(h.dEye_Y_Ichi_1);
    w.WriteF64(h.dEye_Z_Ichi_2);
    w.WriteF64(h.dEye_Y_Ichi_2);
    w.WriteF64(h.dEye_V_Ichi_3);
  }
  if (ver >= 225) {
    w.WriteF64(h.dSenNagasaSnpou);
    w.WriteF64(h.dBoxSunpouX);
    w.WriteF64(h.dBoxSunpouY);
    w.WriteF64(h.dEnHankeiSnpou);
  }
  if (ver >= 230) {
    w.WriteI32(h.nSolidNinniColor);
    w.WriteI32(h.SolidColor);
  }
  if (ver >= 420) {
    for (const TEntJwwColorExNo& c : ex.colors) {
      w.WriteI32(c.aPenColor);
      w.WriteI32(c.anPenWidth);
    }
    for (int i = 0; i < kColorExCount; ++i) {
      const TEntJwwColorExNo& c = ex.colors[i];
      w.WriteCString(NameOrDefault(c.astrUDColorName, u"Color_", i));
      w.WriteI32(i <= 16 ? c.aPrtPenColor : c.aPenColor);
      w.WriteI32(c.anPrtPenWidth);
      w.WriteF64(c.adPrtTenHankei);
    }
    for (int i = 0; i < kLineTypeExCount; ++i) {
      const TEntJwwLineTypeExNo& t = ex.line_types[i];
      if (i >= 17 && !IsUserSegmentCount(t.anUDLTypeSegment)) {
        w.WriteU32(0xC3C3C3C3u);
        w.WriteI32(8);
        w.WriteI32(1);
        w.WriteI32(8);
      } else {
        w.WriteI32(t.alLType == 0 ? -1 : t.alLType);
        w.WriteI32(t.anTokushuSenUintDot);
        w.WriteI32(t.anTokushuSenPich);
        w.WriteI32(t.anPrtTokushuSenPich);
      }
    }
    for (int i = 0; i < kLineTypeExCount; ++i) {
      const TEntJwwLineTypeExNo& t = ex.line_types[i];
      if (i >= 17 && !IsUserSegmentCount(t.anUDLTypeSegment)) {
        w.WriteCString(u"LType_" + IntStr(i));
        w.WriteI32(2);
        w.WriteF64(1.0);
        w.WriteF64(1.0);
        for (int k = 0; k < 8; ++k)
          w.WriteF64(0.0);
      } else {
        w.WriteCString(NameOrDefault(t.astrUDLTypeName, u"LType_", i));
        w.WriteI32(t.anUDLTypeSegment);
        for (int k = 1; k <= 10; ++k)
          w.WriteF64(t.aadUDLTypePitch[k]);
      }
    }
  }
  for (const TEntJwwMojiType& m : doc.EntMoj) {
    w.WriteF64(ClampTextSize(m.adMojiX));
    w.WriteF64(ClampTextSize(m.adMojiY));
    w.WriteF64(m.adMojiD);
    w.WriteI32(m.anMojiCol);
  }
  w.WriteF64(ClampTextSize(h.dMojiSizeX));
  w.WriteF64(ClampTextSize(h.dMojiSizeY));
  w.WriteF64(h.dMojiKankaku);
  w.WriteI32(h.nMojiColor);
  w.WriteI32(h.nMojiShu);
  w.WriteF64(h.dMojiSeiriGyouKan);
  w.WriteF64(h.dMojiSeiriSuu);
  w.WriteI32(h.nMojiKijunZureOn);
  w.WriteF64(h.adMojiKijunZureX0);
  w.WriteF64(h.adMojiKijunZureX1);
  w.WriteF64(h.adMojiKijunZureX2);
  w.WriteF64(h.adMojiKijunZureY0);
  w.WriteF64(h.adMojiKijunZureY1);
  w.WriteF64(h.adMojiKijunZureY2);
}

}  // namespace plattero
