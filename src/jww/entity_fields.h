#pragma once

// The fields of each entity record, and of the records around the entity
// lists (the head of a block definition, a row of the image section),
// described once. Transfer(io, record, ver) walks a record's fields in file
// order; `io` is the reader, the writer, the skipper or the dump, and decides
// what a field means to it:
//   io.Attr(name, att, kind)    the attribute block of an element of `kind`
//   io.U8/U16/U32/I32/F64(name, v)  a fixed field
//   io.Reserved(name, n)        n bytes nothing reads (written as zeros)
//   io.Size(name, v)            a text width or height (read: a non-finite
//                               value becomes 3; written: ClampTextSize)
//   io.Spacing(name, v)         a text spacing (read: non-finite becomes 0)
//   io.BlockNo(name, v)         a block number (written through ChangeBlockNo)
//   io.Name(name, s)            a font or block name; io.Text(name, s, kind)
//                               a text; io.FileName(name, s) an image's file
//                               name (written as it is; a reader notes a NUL)
//   io.Enter(name), io.Leave()  around a record nested in this one
//   io.Present()                false when a reader finds no byte left: the
//                               record is dropped
//   io.When(cond)               an optional part (the dump shows every part)
// Version branches are branches on `ver` here. A walker that reads sets
// kReads; only then are the values an absent part stands for filled in.

#include <cstdint>
#include <type_traits>

#include "jww/jwwtype.h"

namespace plattero {

template <class Io, class E>
bool Transfer(Io& io, E& e, std::int32_t ver);

template <class Io, class A>
void TransferAttr(Io& io, A& a, std::int32_t ver) {
  io.U32("lGroup", a.lGroup);
  io.U8("nPenStyle", a.nPenStyle);
  io.U16("nPenColor", a.nPenColor);
  if (io.When(ver > 350)) io.U16("nPenWidth", a.nPenWidth);
  io.U16("nLayer", a.nLayer);
  io.U16("nGLayer", a.nGLayer);
  io.U16("sFlg", a.sFlg);
  if constexpr (Io::kReads) {
    if (ver <= 350) a.nPenWidth = 0;
  }
}

template <class Io, class E>
bool TransferLine(Io& io, E& e, std::int32_t) {
  if (!io.Present()) return false;
  io.Attr("att", e.att, kEntLine);
  io.F64("start_x", e.start_x);
  io.F64("start_y", e.start_y);
  io.F64("end_x", e.end_x);
  io.F64("end_y", e.end_y);
  return true;
}

template <class Io, class E>
bool TransferEnko(Io& io, E& e, std::int32_t) {
  if (!io.Present()) return false;
  io.Attr("att", e.att, kEntEnko);
  io.F64("start_x", e.start_x);
  io.F64("start_y", e.start_y);
  io.F64("dHankei", e.dHankei);
  io.F64("radKaishiKaku", e.radKaishiKaku);
  io.F64("radEnkoKaku", e.radEnkoKaku);
  io.F64("radKatamukiKaku", e.radKatamukiKaku);
  io.F64("dHenpeiRitsu", e.dHenpeiRitsu);
  io.U32("bZenEnFlg", e.bZenEnFlg);
  return true;
}

// A point with pen style 100 carries a code, a rotation and a scale; without
// them a reader takes 0, 0 and the reader's point scale.
template <class Io, class E>
bool TransferTen(Io& io, E& e, std::int32_t) {
  if (!io.Present()) return false;
  io.Attr("att", e.att, kEntTen);
  io.F64("start_x", e.start_x);
  io.F64("start_y", e.start_y);
  io.U32("bKariten", e.bKariten);
  if (io.When(e.att.nPenStyle == 100)) {
    io.U32("nCode", e.nCode);
    io.F64("radKaitenKaku", e.radKaitenKaku);
    io.F64("dBairitsu", e.dBairitsu);
  } else if constexpr (Io::kReads) {
    e.nCode = 0;
    e.radKaitenKaku = 0;
    e.dBairitsu = io.PointScale();
  }
  return true;
}

// The text of a CDataMoji or of a dimension (`kind` tells the writer which
// text options apply).
template <class Io, class E>
void TransferMojiFields(Io& io, E& e, int kind) {
  io.Attr("att", e.att, kEntMoji);
  io.F64("start_x", e.start_x);
  io.F64("start_y", e.start_y);
  io.F64("end_x", e.end_x);
  io.F64("end_y", e.end_y);
  io.U32("nMojiShu", e.nMojiShu);
  io.Size("dSizeX", e.dSizeX);
  io.Size("dSizeY", e.dSizeY);
  io.Spacing("dKankaku", e.dKankaku);
  io.F64("degKakudo", e.degKakudo);
  io.Name("strFontName", e.strFontName);
  io.Text("str", e.str, kind);
}

template <class Io, class E>
bool TransferMoji(Io& io, E& e, std::int32_t) {
  if (!io.Present()) return false;
  TransferMojiFields(io, e, kEntMoji);
  return true;
}

// Older files have no parts: a reader builds them from the dimension itself.
void BuildOldDimensionParts(TEntJwwSunpo& e);

// Of a dimension only the text (and from 420 Kt2) is checked for bytes. The
// parts are records of their own, entered and left by name.
template <class Io, class E>
bool TransferSunpo(Io& io, E& e, std::int32_t ver) {
  io.Attr("att", e.att, kEntSunpo);
  io.Enter("Sen");
  TransferLine(io, e.Sen, ver);
  io.Leave();
  if (!io.Present()) return false;
  io.Enter("Moji");
  TransferMojiFields(io, e.Moji, kEntSunpo);
  io.Leave();
  if (io.When(ver >= 420)) {
    io.U16("bSxfMode", e.bSxfMode);
    bool delivered = false;
    auto part = [&](const char* name, auto& rec) {
      io.Enter(name);
      delivered = Transfer(io, rec, ver);
      io.Leave();
    };
    part("Ho1", e.Ho1);
    part("Ho2", e.Ho2);
    part("Te1", e.Te1);
    part("Te2", e.Te2);
    part("Kt1", e.Kt1);
    part("Kt2", e.Kt2);
    return delivered;
  }
  if constexpr (Io::kReads) BuildOldDimensionParts(e);
  return true;
}

// A solid of pen colour 10 carries its own colour.
template <class Io, class E>
bool TransferSolid(Io& io, E& e, std::int32_t) {
  if (!io.Present()) return false;
  io.Attr("att", e.att, kEntSolid);
  io.F64("start_x", e.start_x);
  io.F64("start_y", e.start_y);
  io.F64("end_x", e.end_x);
  io.F64("end_y", e.end_y);
  io.F64("DPoint2_x", e.DPoint2_x);
  io.F64("DPoint2_y", e.DPoint2_y);
  io.F64("DPoint3_x", e.DPoint3_x);
  io.F64("DPoint3_y", e.DPoint3_y);
  if (io.When(e.att.nPenColor == 10)) {
    io.U32("Color", e.Color);
  } else if constexpr (Io::kReads) {
    e.Color = 0;
  }
  return true;
}

template <class Io, class E>
bool TransferBlock(Io& io, E& e, std::int32_t) {
  if (!io.Present()) return false;
  io.Attr("att", e.att, kEntBlock);
  io.F64("DPKijunTen_x", e.DPKijunTen_x);
  io.F64("DPKijunTen_y", e.DPKijunTen_y);
  io.F64("dBairitsuX", e.dBairitsuX);
  io.F64("dBairitsuY", e.dBairitsuY);
  io.F64("radKaitenKaku", e.radKaitenKaku);
  io.BlockNo("nNumber", e.nNumber);
  return true;
}

// The head of a block definition, up to the nested entity list. A time stamp
// with bit 31 set is the long form: 8 more bytes follow it.
template <class Io, class B>
void TransferBlockDefHead(Io& io, B& b, std::int32_t) {
  io.Attr("att", b.att, kEntBlockDef);
  io.BlockNo("nNumber", b.nNumber);
  io.U32("bRefferd", b.bRefferd);
  io.U32("dtime", b.dtime);
  if (io.When(b.dtime >= 0x80000000u)) io.Reserved("dtime_long", 8);
  io.Name("strName", b.strName);
}

// A row of the image section; the file's bytes follow it.
template <class Io, class R>
void TransferImageRow(Io& io, R& row) {
  io.FileName("Fname", row.Fname);
  io.I32("Fsize", row.Fsize);
}

// One entry point per record type, so a walker can take any record.
template <class Io, class E>
bool Transfer(Io& io, E& e, std::int32_t ver) {
  using R = std::remove_const_t<E>;
  if constexpr (std::is_same_v<R, TEntJwwLine>) return TransferLine(io, e, ver);
  if constexpr (std::is_same_v<R, TEntJwwEnko>) return TransferEnko(io, e, ver);
  if constexpr (std::is_same_v<R, TEntJwwTen>) return TransferTen(io, e, ver);
  if constexpr (std::is_same_v<R, TEntJwwMoji>) return TransferMoji(io, e, ver);
  if constexpr (std::is_same_v<R, TEntJwwSunpo>) return TransferSunpo(io, e, ver);
  if constexpr (std::is_same_v<R, TEntJwwSolid>) return TransferSolid(io, e, ver);
  if constexpr (std::is_same_v<R, TEntJwwBlock>) return TransferBlock(io, e, ver);
  return false;
}

}  // namespace plattero
