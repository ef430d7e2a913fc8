#pragma once

// The fields of the header section and its tables, described once.
// TransferHeader(io, d, ver) walks them in file order after the signature
// and the version; `d` holds Enthd and the tables under the names of
// TJwwData. `io` is the reader or the writer and decides what a field means:
//   io.I32/F64(name, v)       a fixed field
//   io.Bytes(name, a)         reserved bytes (read: a short file keeps the
//                             bytes that are missing)
//   io.CString(name, s)       the memo; io.Name(name, s) a table name
//   io.Size(name, v)          a text width or height (read: a non-finite
//                             value becomes 3; written: ClampTextSize)
//   io.Spacing(name, v)       a text spacing (read: non-finite becomes 0)
//   io.PackedDpi(dpi, only)   nPrtDpi * 10 + nPrtDispOnlyNonDraw in one field
//   io.Mark(field)            a reader records its position in `field`
//   io.Present()              false when a reader finds no byte left
// The writer walks values already normalised for the version written
// (NormalizeHeader); a reader derives what the file does not hold.

#include <cstdint>

#include "jww/jww_data.h"

namespace plattero {

// Derives bSenHaba100 and nMaxDrawWidBak from the line width mode.
void DeriveLineWidthMode(TEntJwwHeader& h);

template <class Io, class T>
void TransferLineType(Io& io, T& t) {
  io.I32("alLType", t.alLType);
  io.I32("anTokushuSenUintDot", t.anTokushuSenUintDot);
  io.I32("anTokushuSenPich", t.anTokushuSenPich);
  io.I32("anPrtTokushuSenPich", t.anPrtTokushuSenPich);
}

template <class Io, class H>
void TransferHeaderView(Io& io, H& h, std::int32_t ver) {
  io.F64("dKageLevel", h.dKageLevel);
  io.F64("dKageIdo", h.dKageIdo);
  io.I32("nKage9_15JiFlg", h.nKage9_15JiFlg);
  io.F64("dKabeKageLevel", h.dKabeKageLevel);
  if (ver >= 300) {
    io.F64("dTenkuuZuLevel", h.dTenkuuZuLevel);
    io.F64("dTenkuuZuEnkoR", h.dTenkuuZuEnkoR);
  }
  io.I32("nMMTani3D", h.nMMTani3D);
  io.F64("dBairitsu", h.dBairitsu);
  io.F64("DPGenten_x", h.DPGenten_x);
  io.F64("DPGenten_y", h.DPGenten_y);
  io.F64("dHanniBairitsu", h.dHanniBairitsu);
  io.F64("DPHanniGenten_x", h.DPHanniGenten_x);
  io.F64("DPHanniGenten_y", h.DPHanniGenten_y);
  const int jumps = ver >= 231 ? 8 : 4;
  for (int i = 1; i <= jumps; ++i) {
    io.F64("dZoomJumpBairitsu", h.dZoomJumpBairitsu[i]);
    io.F64("DPZoomJumpGenten_x", h.DPZoomJumpGenten_x[i]);
    io.F64("DPZoomJumpGenten_y", h.DPZoomJumpGenten_y[i]);
    if (ver >= 231) io.I32("nZoomJumpGLay", h.nZoomJumpGLay[i]);
  }
  if (ver >= 231) {
    io.F64("dDm11", h.dDm11);
    io.F64("dDm12", h.dDm12);
    io.F64("dDm13", h.dDm13);
    io.I32("lnDm1", h.lnDm1);
    io.F64("dDm21", h.dDm21);
    io.F64("dDm22", h.dDm22);
    io.F64("dMojiBG", h.dMojiBG);
    io.I32("nMojiBG", h.nMojiBG);
  }
}

template <class Io, class H>
void TransferHeaderPrinting(Io& io, H& h, std::int32_t ver) {
  io.I32("nDrawGamenTen", h.nDrawGamenTen);
  io.I32("nDrawPrtTen", h.nDrawPrtTen);
  io.I32("nBitMapFirstDraw", h.nBitMapFirstDraw);
  io.I32("nGyakuDraw", h.nGyakuDraw);
  io.I32("nGyakuSearch", h.nGyakuSearch);
  io.I32("nColorPrint", h.nColorPrint);
  io.I32("nLayJunPrint", h.nLayJunPrint);
  io.I32("nColJunPrint", h.nColJunPrint);
  io.I32("nPrtRenzoku", h.nPrtRenzoku);
  io.I32("nPrtKyoutsuuGray", h.nPrtKyoutsuuGray);
  io.PackedDpi(h.nPrtDpi, h.nPrtDispOnlyNonDraw);
  if (ver >= 223) {
    io.I32("lnDrawTime", h.lnDrawTime);
    io.I32("nEyeInit", h.nEyeInit);
    io.I32("dEye_H_Ichi_1", h.dEye_H_Ichi_1);
    io.I32("dEye_H_Ichi_2", h.dEye_H_Ichi_2);
    io.I32("dEye_H_Ichi_3", h.dEye_H_Ichi_3);
    io.F64("dEye_Z_Ichi_1", h.dEye_Z_Ichi_1);
    io.F64("dEye_Y_Ichi_1", h.dEye_Y_Ichi_1);
    io.F64("dEye_Z_Ichi_2", h.dEye_Z_Ichi_2);
    io.F64("dEye_Y_Ichi_2", h.dEye_Y_Ichi_2);
    io.F64("dEye_V_Ichi_3", h.dEye_V_Ichi_3);
  }
  if (ver >= 225) {
    io.F64("dSenNagasaSnpou", h.dSenNagasaSnpou);
    io.F64("dBoxSunpouX", h.dBoxSunpouX);
    io.F64("dBoxSunpouY", h.dBoxSunpouY);
    io.F64("dEnHankeiSnpou", h.dEnHankeiSnpou);
  }
  if (ver >= 230) {
    io.I32("nSolidNinniColor", h.nSolidNinniColor);
    io.I32("SolidColor", h.SolidColor);
  }
}

// The extended colour and line-type tables (from 420 on).
template <class Io, class D>
void TransferExTables(Io& io, D& d) {
  for (auto& c : d.EntColS) {
    io.I32("aPenColor", c.aPenColor);
    io.I32("anPenWidth", c.anPenWidth);
  }
  io.Mark(&TJwwReadStatus::ext_names_begin);
  for (auto& c : d.EntColS) {
    io.Name("astrUDColorName", c.astrUDColorName);
    io.I32("aPrtPenColor", c.aPrtPenColor);
    io.I32("anPrtPenWidth", c.anPrtPenWidth);
    io.F64("adPrtTenHankei", c.adPrtTenHankei);
  }
  for (auto& t : d.EntLtpS)
    TransferLineType(io, t);
  for (auto& t : d.EntLtpS) {
    io.Name("astrUDLTypeName", t.astrUDLTypeName);
    io.I32("anUDLTypeSegment", t.anUDLTypeSegment);
    for (int i = 1; i <= 10; ++i)
      io.F64("aadUDLTypePitch", t.aadUDLTypePitch[i]);
  }
  io.Mark(&TJwwReadStatus::ext_names_end);
}

// False when a reader finds the header ending before its last field.
template <class Io, class D>
bool TransferHeader(Io& io, D& d, std::int32_t ver) {
  auto& h = d.Enthd;
  io.CString("strMemo", h.strMemo);
  io.I32("nZumen", h.nZumen);
  io.I32("nWriteGLay", h.nWriteGLay);
  for (int g = 0; g < kLayerGroupCount; ++g) {
    auto& lg = d.EntLgrp[g];
    io.I32("anGLay", lg.anGLay);
    io.I32("anWriteLay", lg.anWriteLay);
    io.F64("adScale", lg.adScale);
    io.I32("anGLayProtect", lg.anGLayProtect);
    for (int l = 0; l < 16; ++l) {
      auto& ly = d.EntLay[g * 16 + l];
      io.I32("aanLay", ly.aanLay);
      io.I32("aanLayProtect", ly.aanLayProtect);
    }
  }
  io.Bytes("abReserved1", h.abReserved1);
  io.I32("lnSunpou1", h.lnSunpou1);
  io.I32("lnSunpou2", h.lnSunpou2);
  io.I32("lnSunpou3", h.lnSunpou3);
  io.I32("lnSunpou4", h.lnSunpou4);
  io.I32("lnSunpou5", h.lnSunpou5);
  io.Bytes("abReserved2", h.abReserved2);
  io.I32("nMaxDrawWid", h.nMaxDrawWid);
  if constexpr (Io::kReads) DeriveLineWidthMode(h);
  io.F64("DPPrtGenten_x", h.DPPrtGenten_x);
  io.F64("DPPrtGenten_y", h.DPPrtGenten_y);
  io.F64("dPrtBairitsu", h.dPrtBairitsu);
  io.I32("nPrtSet", h.nPrtSet);
  io.I32("nMemoriMode", h.nMemoriMode);
  io.F64("dMemoriHyoujiMin", h.dMemoriHyoujiMin);
  io.F64("dMemoriX", h.dMemoriX);
  io.F64("dMemoriY", h.dMemoriY);
  io.F64("DpMemoriKjTen_x", h.DpMemoriKjTen_x);
  io.F64("DpMemoriKjTen_y", h.DpMemoriKjTen_y);
  for (auto& ly : d.EntLay)
    io.Name("aStrLayName", ly.aStrLayName);
  for (auto& lg : d.EntLgrp)
    io.Name("aStrGLayName", lg.aStrGLayName);
  TransferHeaderView(io, h, ver);
  for (auto& v : h.adFukusenSuuchi)
    io.F64("adFukusenSuuchi", v);
  io.F64("dRyougawaFukusenTomeDe", h.dRyougawaFukusenTomeDe);
  for (auto& c : d.EntCol) {
    io.I32("aPenColor", c.aPenColor);
    io.I32("anPenWidth", c.anPenWidth);
  }
  for (auto& c : d.EntCol) {
    io.I32("aPrtPenColor", c.aPrtPenColor);
    io.I32("anPrtPenWidth", c.anPrtPenWidth);
    io.F64("adPrtTenHankei", c.adPrtTenHankei);
  }
  for (auto& t : d.EntLtp1)
    TransferLineType(io, t);
  for (auto& t : d.EntLtp2) {
    io.I32("alLType", t.alLType);
    io.I32("anRandSenWide", t.anRandSenWide);
    io.I32("anTokushuSenPich", t.anTokushuSenPich);
    io.I32("anPrtRandSenWide", t.anPrtRandSenWide);
    io.I32("anPrtTokushuSenPich", t.anPrtTokushuSenPich);
  }
  for (auto& t : d.EntLtp3)
    TransferLineType(io, t);
  TransferHeaderPrinting(io, h, ver);
  if (ver >= 420) TransferExTables(io, d);
  for (auto& m : d.EntMoj) {
    io.Size("adMojiX", m.adMojiX);
    io.Size("adMojiY", m.adMojiY);
    io.Spacing("adMojiD", m.adMojiD);
    io.I32("anMojiCol", m.anMojiCol);
  }
  io.Size("dMojiSizeX", h.dMojiSizeX);
  io.Size("dMojiSizeY", h.dMojiSizeY);
  io.Spacing("dMojiKankaku", h.dMojiKankaku);
  io.I32("nMojiColor", h.nMojiColor);
  io.I32("nMojiShu", h.nMojiShu);
  io.F64("dMojiSeiriGyouKan", h.dMojiSeiriGyouKan);
  io.F64("dMojiSeiriSuu", h.dMojiSeiriSuu);
  io.I32("nMojiKijunZureOn", h.nMojiKijunZureOn);
  io.F64("adMojiKijunZureX0", h.adMojiKijunZureX0);
  io.F64("adMojiKijunZureX1", h.adMojiKijunZureX1);
  io.F64("adMojiKijunZureX2", h.adMojiKijunZureX2);
  io.F64("adMojiKijunZureY0", h.adMojiKijunZureY0);
  io.F64("adMojiKijunZureY1", h.adMojiKijunZureY1);
  if (!io.Present()) return false;
  io.F64("adMojiKijunZureY2", h.adMojiKijunZureY2);
  return true;
}

}  // namespace plattero
