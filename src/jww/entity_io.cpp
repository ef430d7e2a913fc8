#include "jww/entity_io.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "util/memory.h"
#include "util/numbers.h"
#include "util/text.h"

namespace plattero {

namespace {

// The attribute block's size in the file; 13 up to version 350.
constexpr std::size_t kAttrBytes = 15;

// Both set to 1 when the document unit starts, and never changed.
constexpr std::uint8_t kDefaultPenStyle = 1;
constexpr std::uint16_t kDefaultPenColor = 1;

// Older versions know fewer line types and colours: the extended ones map to
// their nearest standard one.
constexpr std::uint8_t kOldStyleOf[15] = {1, 4, 3, 6, 8, 8, 2, 5, 7, 6, 6, 8, 8, 17, 17};  // 31..45
constexpr std::uint16_t kOldColorOf[16] = {2, 8, 3, 6, 4, 5, 1, 2,
                                           5, 8, 4, 3, 6, 5, 2, 2};  // 101..116

bool InRange(unsigned v, unsigned lo, unsigned hi) {
  return v >= lo && v <= hi;
}

// The attribute block, normalised for the version and the kind of entity.
void PutAttr(std::uint8_t*& p, std::int32_t ver, const TEntJwwAttr& att, int kind) {
  unsigned style = att.nPenStyle;
  unsigned color = att.nPenColor;
  if (ver < 420) {
    if (kind == kEntLine || kind == kEntEnko) {
      if (InRange(style, 31, 45)) {
        style = kOldStyleOf[style - 31];
      } else if (InRange(style, 46, 62)) {
        style = kDefaultPenStyle;
      }
    }
    if (kind >= kEntLine && kind <= kEntSolid) {
      if (InRange(color, 101, 116)) {
        color = kOldColorOf[color - 101];
      } else if (InRange(color, 117, 356)) {
        color = kDefaultPenColor;
      }
    }
  }
  switch (kind) {
    case kEntLine:
    case kEntEnko:
      if (!(InRange(style, 1, 9) || InRange(style, 11, 19) || InRange(style, 31, 62))) {
        style = kDefaultPenStyle;
      }
      break;
    case kEntTen:
      if (style != 1 && style != 100) style = 1;
      break;
    case kEntMoji:
      if (!InRange(style, 1, 9)) style = 1;
      break;
    default:
      break;
  }
  if (kind >= kEntLine && kind <= kEntSunpo) {
    if (!(InRange(color, 1, 9) || InRange(color, 101, 356))) color = kDefaultPenColor;
  } else if (kind == kEntSolid) {
    if (!(InRange(color, 1, 10) || InRange(color, 101, 356))) color = kDefaultPenColor;
  }
  PutU32(p, att.lGroup);
  PutU8(p, static_cast<std::uint8_t>(style));
  PutU16(p, static_cast<std::uint16_t>(color));
  if (ver >= 351) PutU16(p, att.nPenWidth > 30000 ? 0 : att.nPenWidth);
  PutU16(p, att.nLayer > 15 ? 0 : att.nLayer);
  PutU16(p, att.nGLayer > 15 ? 0 : att.nGLayer);
  PutU16(p, att.sFlg);
}

}  // namespace

double ClampTextSize(double v) {
  if (std::isnan(v)) return v;
  v = std::fabs(v);
  if (v < 1e-10) return 1e-10;
  if (v > 1e10) return 1e10;
  return v;
}

namespace {

// True when RemoveBreakMarks would change the text; most texts are clean and
// are written without a copy.
bool HasBreakMarks(const std::u16string& s) {
  if (s.empty()) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c < 0x20) return true;
    if ((c == u'^' || c == u'\\') && i + 1 < s.size() && s[i + 1] == (c == u'^' ? u'm' : u'n')) {
      return true;
    }
  }
  return false;
}

void ReadLineCoords(ArchiveReader& r, TEntJwwLine& e) {
  e.start_x = r.ReadF64();
  e.start_y = r.ReadF64();
  e.end_x = r.ReadF64();
  e.end_y = r.ReadF64();
}

// Fixed part of a text: attribute block to degKakudo.
void ReadMojiFixed(ArchiveReader& r, std::int32_t ver, TEntJwwMoji& e) {
  e.att = ReadAttr(r, ver);
  e.start_x = r.ReadF64();
  e.start_y = r.ReadF64();
  e.end_x = r.ReadF64();
  e.end_y = r.ReadF64();
  e.nMojiShu = r.ReadU32();
  e.dSizeX = r.ReadF64();
  e.dSizeY = r.ReadF64();
  e.dKankaku = r.ReadF64();
  e.degKakudo = r.ReadF64();
}

void ReadMojiStrings(ArchiveReader& r, TEntJwwMoji& e) {
  e.strFontName = r.ReadName();
  e.str = r.ReadName();
  if (!IsFiniteNumber(e.dSizeX)) e.dSizeX = 3.0;
  if (!IsFiniteNumber(e.dSizeY)) e.dSizeY = 3.0;
  if (!IsFiniteNumber(e.dKankaku)) e.dKankaku = 0.0;
}

void WriteMojiFixedAndStrings(ArchiveWriter& w, std::int32_t ver, const TEntJwwMoji& e,
                              std::u16string_view text) {
  std::uint8_t* p = w.Room(kAttrBytes + 68);
  PutAttr(p, ver, e.att, kEntMoji);
  PutF64(p, e.start_x);
  PutF64(p, e.start_y);
  PutF64(p, e.end_x);
  PutF64(p, e.end_y);
  PutU32(p, e.nMojiShu);
  PutF64(p, ClampTextSize(e.dSizeX));
  PutF64(p, ClampTextSize(e.dSizeY));
  PutF64(p, e.dKankaku);
  PutF64(p, e.degKakudo);
  w.Commit(p);
  if (HasBreakMarks(e.strFontName)) {
    w.WriteCString(RemoveBreakMarks(e.strFontName));
  } else {
    w.WriteCString(e.strFontName);
  }
  w.WriteCString(text);
}

std::u16string SubstitutePercent(const std::u16string& text, const TextSubstitution* table) {
  if (!table || table->on != 1 || text.size() < 2 || text[0] != u'%' || text[1] != u'%')
    return text;
  for (const TStr2List& pair : table->list) {
    if (pair.s1 == text) return pair.s2;
  }
  return text;
}

}  // namespace

TEntJwwAttr ReadAttr(ArchiveReader& r, std::int32_t ver) {
  TEntJwwAttr a;
  a.lGroup = r.ReadU32();
  a.nPenStyle = r.ReadU8();
  a.nPenColor = r.ReadU16();
  a.nPenWidth = ver > 350 ? r.ReadU16() : 0;
  a.nLayer = r.ReadU16();
  a.nGLayer = r.ReadU16();
  a.sFlg = r.ReadU16();
  return a;
}

void WriteAttr(ArchiveWriter& w, std::int32_t ver, const TEntJwwAttr& att, int kind) {
  std::uint8_t* p = w.Room(kAttrBytes);
  PutAttr(p, ver, att, kind);
  w.Commit(p);
}

void CopyAttr(const TEntJwwAttr& from, TEntJwwAttr& to) {
  to = from;
}

bool ReadLineBody(ArchiveReader& r, std::int32_t ver, TEntJwwLine& e) {
  if (r.AtEnd()) return false;
  e.att = ReadAttr(r, ver);
  ReadLineCoords(r, e);
  return true;
}

bool ReadEnkoBody(ArchiveReader& r, std::int32_t ver, TEntJwwEnko& e) {
  if (r.AtEnd()) return false;
  e.att = ReadAttr(r, ver);
  e.start_x = r.ReadF64();
  e.start_y = r.ReadF64();
  e.dHankei = r.ReadF64();
  e.radKaishiKaku = r.ReadF64();
  e.radEnkoKaku = r.ReadF64();
  e.radKatamukiKaku = r.ReadF64();
  e.dHenpeiRitsu = r.ReadF64();
  e.bZenEnFlg = r.ReadU32();
  return true;
}

bool ReadTenBody(ArchiveReader& r, std::int32_t ver, TEntJwwTen& e, double default_scale) {
  if (r.AtEnd()) return false;
  e.att = ReadAttr(r, ver);
  e.start_x = r.ReadF64();
  e.start_y = r.ReadF64();
  e.bKariten = r.ReadU32();
  if (e.att.nPenStyle == 100) {
    e.nCode = r.ReadU32();
    e.radKaitenKaku = r.ReadF64();
    e.dBairitsu = r.ReadF64();
  } else {
    e.nCode = 0;
    e.radKaitenKaku = 0;
    e.dBairitsu = default_scale;
  }
  return true;
}

bool ReadMojiBody(ArchiveReader& r, std::int32_t ver, TEntJwwMoji& e) {
  if (r.AtEnd()) return false;
  ReadMojiFixed(r, ver, e);
  ReadMojiStrings(r, e);
  return true;
}

bool ReadSunpoBody(ArchiveReader& r, std::int32_t ver, TEntJwwSunpo& e) {
  e.att = ReadAttr(r, ver);
  e.Sen.att = ReadAttr(r, ver);
  ReadLineCoords(r, e.Sen);
  // Of a dimension only the text's fixed part (and from 420 that of Kt2) is
  // checked for delivering bytes.
  if (r.AtEnd()) return false;
  ReadMojiFixed(r, ver, e.Moji);
  ReadMojiStrings(r, e.Moji);
  if (ver >= 420) {
    e.bSxfMode = r.ReadU16();
    ReadLineBody(r, ver, e.Ho1);
    ReadLineBody(r, ver, e.Ho2);
    ReadTenBody(r, ver, e.Te1, 0.0);
    ReadTenBody(r, ver, e.Te2, 0.0);
    ReadTenBody(r, ver, e.Kt1, 0.0);
    if (!ReadTenBody(r, ver, e.Kt2, 0.0)) return false;
    return true;
  }
  // Older files have no parts: build them from the dimension itself.
  e.bSxfMode = 0;
  for (TEntJwwLine* l : {&e.Ho1, &e.Ho2}) {
    *l = TEntJwwLine{};
    CopyAttr(e.att, l->att);
  }
  for (TEntJwwTen* t : {&e.Te1, &e.Te2, &e.Kt1, &e.Kt2}) {
    *t = TEntJwwTen{};
    CopyAttr(e.att, t->att);
    t->att.nPenStyle = 0;
  }
  return true;
}

bool ReadSolidBody(ArchiveReader& r, std::int32_t ver, TEntJwwSolid& e) {
  if (r.AtEnd()) return false;
  e.att = ReadAttr(r, ver);
  e.start_x = r.ReadF64();
  e.start_y = r.ReadF64();
  e.end_x = r.ReadF64();
  e.end_y = r.ReadF64();
  e.DPoint2_x = r.ReadF64();
  e.DPoint2_y = r.ReadF64();
  e.DPoint3_x = r.ReadF64();
  e.DPoint3_y = r.ReadF64();
  e.Color = e.att.nPenColor == 10 ? r.ReadU32() : 0;
  return true;
}

bool ReadBlockBody(ArchiveReader& r, std::int32_t ver, TEntJwwBlock& e) {
  if (r.AtEnd()) return false;
  e.att = ReadAttr(r, ver);
  e.DPKijunTen_x = r.ReadF64();
  e.DPKijunTen_y = r.ReadF64();
  e.dBairitsuX = r.ReadF64();
  e.dBairitsuY = r.ReadF64();
  e.radKaitenKaku = r.ReadF64();
  e.nNumber = r.ReadU32();
  return true;
}

std::u16string MojiTextForWriting(const std::u16string& str, std::int32_t options,
                                  const TextSubstitution* substitution) {
  std::u16string text = RemoveBreakMarks(str);
  if (options & 0x10) text = SubstitutePercent(text, substitution);
  if ((options & 0x08) && text.compare(0, 10, u"^@BM%temp%") == 0) {
    text = u"^@BM" + text.substr(10);
  }
  if ((options & 0x01) && text.compare(0, 4, u"^@BM") == 0) {
    std::size_t comma = text.find(u',');
    if (comma != std::u16string::npos) {
      text =
          u"^@BM" + FileNameOf(std::u16string_view(text).substr(4, comma - 4)) + text.substr(comma);
    }
  }
  return text;
}

void WriteLineBody(ArchiveWriter& w, std::int32_t ver, const TEntJwwLine& e) {
  std::uint8_t* p = w.Room(kAttrBytes + 32);
  PutAttr(p, ver, e.att, kEntLine);
  PutF64(p, e.start_x);
  PutF64(p, e.start_y);
  PutF64(p, e.end_x);
  PutF64(p, e.end_y);
  w.Commit(p);
}

void WriteEnkoBody(ArchiveWriter& w, std::int32_t ver, const TEntJwwEnko& e) {
  std::uint8_t* p = w.Room(kAttrBytes + 60);
  PutAttr(p, ver, e.att, kEntEnko);
  PutF64(p, e.start_x);
  PutF64(p, e.start_y);
  PutF64(p, e.dHankei);
  PutF64(p, e.radKaishiKaku);
  PutF64(p, e.radEnkoKaku);
  PutF64(p, e.radKatamukiKaku);
  PutF64(p, e.dHenpeiRitsu);
  PutU32(p, e.bZenEnFlg);
  w.Commit(p);
}

void WriteTenBody(ArchiveWriter& w, std::int32_t ver, const TEntJwwTen& e) {
  std::uint8_t* p = w.Room(kAttrBytes + 40);
  PutAttr(p, ver, e.att, kEntTen);
  PutF64(p, e.start_x);
  PutF64(p, e.start_y);
  PutU32(p, e.bKariten);
  if (e.att.nPenStyle == 100) {
    PutU32(p, e.nCode);
    PutF64(p, e.radKaitenKaku);
    PutF64(p, e.dBairitsu);
  }
  w.Commit(p);
}

void WriteMojiBody(ArchiveWriter& w, const EntityWriteContext& ctx, const TEntJwwMoji& e) {
  if ((ctx.options & 0x19) == 0 && !HasBreakMarks(e.str)) {
    WriteMojiFixedAndStrings(w, ctx.ver, e, e.str);
  } else {
    WriteMojiFixedAndStrings(w, ctx.ver, e,
                             MojiTextForWriting(e.str, ctx.options, ctx.substitution));
  }
}

void WriteSunpoBody(ArchiveWriter& w, const EntityWriteContext& ctx, const TEntJwwSunpo& e) {
  WriteAttr(w, ctx.ver, e.att, kEntSunpo);
  WriteLineBody(w, ctx.ver, e.Sen);
  std::u16string text = RemoveBreakMarks(e.Moji.str);
  if (ctx.options & 0x10) text = SubstitutePercent(text, ctx.substitution);
  WriteMojiFixedAndStrings(w, ctx.ver, e.Moji, text);
  if (ctx.ver >= 420) {
    w.WriteU16(e.bSxfMode);
    WriteLineBody(w, ctx.ver, e.Ho1);
    WriteLineBody(w, ctx.ver, e.Ho2);
    WriteTenBody(w, ctx.ver, e.Te1);
    WriteTenBody(w, ctx.ver, e.Te2);
    WriteTenBody(w, ctx.ver, e.Kt1);
    WriteTenBody(w, ctx.ver, e.Kt2);
  }
}

void WriteSolidBody(ArchiveWriter& w, std::int32_t ver, const TEntJwwSolid& e) {
  std::uint8_t* p = w.Room(kAttrBytes + 68);
  PutAttr(p, ver, e.att, kEntSolid);
  PutF64(p, e.start_x);
  PutF64(p, e.start_y);
  PutF64(p, e.end_x);
  PutF64(p, e.end_y);
  PutF64(p, e.DPoint2_x);
  PutF64(p, e.DPoint2_y);
  PutF64(p, e.DPoint3_x);
  PutF64(p, e.DPoint3_y);
  if (e.att.nPenColor == 10) PutU32(p, e.Color);
  w.Commit(p);
}

void WriteBlockBody(ArchiveWriter& w, const EntityWriteContext& ctx, const TEntJwwBlock& e) {
  const std::uint32_t number = ctx.block_no ? ctx.block_no(e.nNumber) : e.nNumber;
  std::uint8_t* p = w.Room(kAttrBytes + 44);
  PutAttr(p, ctx.ver, e.att, kEntBlock);
  PutF64(p, e.DPKijunTen_x);
  PutF64(p, e.DPKijunTen_y);
  PutF64(p, e.dBairitsuX);
  PutF64(p, e.dBairitsuY);
  PutF64(p, e.radKaitenKaku);
  PutU32(p, number);
  w.Commit(p);
}

namespace {

// Appends one record read by `read` to `list`; on failure the record is taken
// back. Returns the new record's index or -1.
template <class Rec, class ReadFn>
std::int32_t ReadInto(std::vector<Rec>& list, ReadFn read) {
  list.emplace_back();
  if (!read(list.back())) {
    list.pop_back();
    return -1;
  }
  return static_cast<std::int32_t>(list.size() - 1);
}

}  // namespace

namespace {

void SkipCString(ArchiveReader& r) {
  std::uint32_t len = r.ReadU8();
  if (len == 0xFF) {
    len = r.ReadU16();
    if (len == 0xFFFE) {
      std::uint32_t units = r.ReadU8();
      if (units == 0xFF) units = r.ReadU16();
      len = units * 2;
    }
  }
  r.Skip(len);
}

// Moves past one body, with the same layout the body readers read.
void SkipBody(ArchiveReader& r, std::int32_t ver, int kind) {
  const std::size_t att = ver > 350 ? 15 : 13;
  auto skip_point = [&] {
    std::size_t start = r.Position();
    r.Skip(4);
    const std::uint8_t style = r.ReadU8();
    r.Skip(att - 5 + 20);
    if (r.Position() > start && style == 100) r.Skip(20);
  };
  switch (kind) {
    case kEntLine:
      r.Skip(att + 32);
      break;
    case kEntEnko:
      r.Skip(att + 60);
      break;
    case kEntTen:
      skip_point();
      break;
    case kEntMoji:
      r.Skip(att + 68);
      SkipCString(r);
      SkipCString(r);
      break;
    case kEntSunpo:
      r.Skip(att + (att + 32) + (att + 68));
      SkipCString(r);
      SkipCString(r);
      if (ver >= 420) {
        r.Skip(2 + 2 * (att + 32));
        for (int i = 0; i < 4; ++i)
          skip_point();
      }
      break;
    case kEntSolid: {
      r.Skip(5);
      const std::uint16_t color = r.ReadU16();
      r.Skip(att - 7 + 64);
      if (color == 10) r.Skip(4);
      break;
    }
    case kEntBlock:
      r.Skip(att + 44);
      break;
  }
}

// The number of entities of each kind the list holds, found by a quick pass
// over a copy of the reader, so each list is allocated once at its size.
std::array<std::size_t, 8> CountKinds(const ArchiveReader& from, ClassTable classes,
                                      std::int32_t ver, std::uint32_t count) {
  std::array<std::size_t, 8> n{};
  ArchiveReader r = from;
  for (std::uint32_t k = 0; k < count && !r.AtEnd();) {
    TagRead tag = ReadTag(r);
    int kind = 0;
    if (tag.kind == TagRead::kNewClass) {
      kind = ClassOfName(tag.name);
      if (kind < kEntLine || kind > kEntBlock) break;
      classes.index[kind] = classes.counter++;
    } else if (tag.kind == TagRead::kReference) {
      for (int c = kEntLine; c <= kEntBlock; ++c) {
        if (classes.index[c] != 0 && classes.index[c] == tag.index) kind = c;
      }
    } else {
      break;
    }
    if (kind == 0) continue;
    SkipBody(r, ver, kind);
    ++n[kind];
    ++k;
    ++classes.counter;
  }
  return n;
}

}  // namespace

bool ReadEntityList(ArchiveReader& r, ClassTable& classes, std::int32_t ver, std::uint32_t count,
                    bool nested, const char* where, EntityListsOut lists) {
  const double point_scale = nested ? 0.0 : 1.0;
  {
    const std::array<std::size_t, 8> n = CountKinds(r, classes, ver, count);
    ReserveLarge(lists.order, lists.order.size() + n[1] + n[2] + n[3] + n[4] + n[5] + n[6] + n[7]);
    ReserveLarge(lists.line, lists.line.size() + n[kEntLine]);
    ReserveLarge(lists.enko, lists.enko.size() + n[kEntEnko]);
    ReserveLarge(lists.ten, lists.ten.size() + n[kEntTen]);
    ReserveLarge(lists.moji, lists.moji.size() + n[kEntMoji]);
    ReserveLarge(lists.sunpo, lists.sunpo.size() + n[kEntSunpo]);
    ReserveLarge(lists.solid, lists.solid.size() + n[kEntSolid]);
    ReserveLarge(lists.block, lists.block.size() + n[kEntBlock]);
  }
  std::uint32_t k = 0;
  while (k < count) {
    std::size_t tag_offset = r.Position();
    TagRead tag = ReadTag(r);
    int kind = 0;
    switch (tag.kind) {
      case TagRead::kEnd:
        r.Fail(tag_offset, std::string(where) + ": data ends before the list");
        return false;
      case TagRead::kNameTooLong:
        r.Fail(tag_offset, std::string(where) + ": class name too long");
        return false;
      case TagRead::kNewClass:
        kind = ClassOfName(tag.name);
        if (kind < kEntLine || kind > kEntBlock) {
          r.Fail(tag_offset, std::string(where) + ": unknown class name");
          return false;
        }
        classes.index[kind] = classes.counter++;
        break;
      case TagRead::kReference:
        for (int c = kEntLine; c <= kEntBlock; ++c) {
          if (classes.index[c] != 0 && classes.index[c] == tag.index) kind = c;
        }
        break;
    }
    if (kind == 0) continue;  // designates nothing: read the next tag

    std::int32_t index = -1;
    switch (kind) {
      case kEntLine:
        index = ReadInto(lists.line, [&](TEntJwwLine& e) { return ReadLineBody(r, ver, e); });
        break;
      case kEntEnko:
        index = ReadInto(lists.enko, [&](TEntJwwEnko& e) { return ReadEnkoBody(r, ver, e); });
        break;
      case kEntTen:
        index =
            ReadInto(lists.ten, [&](TEntJwwTen& e) { return ReadTenBody(r, ver, e, point_scale); });
        break;
      case kEntMoji:
        index = ReadInto(lists.moji, [&](TEntJwwMoji& e) { return ReadMojiBody(r, ver, e); });
        break;
      case kEntSunpo:
        index = ReadInto(lists.sunpo, [&](TEntJwwSunpo& e) { return ReadSunpoBody(r, ver, e); });
        break;
      case kEntSolid:
        index = ReadInto(lists.solid, [&](TEntJwwSolid& e) { return ReadSolidBody(r, ver, e); });
        break;
      case kEntBlock:
        index = ReadInto(lists.block, [&](TEntJwwBlock& e) { return ReadBlockBody(r, ver, e); });
        break;
    }
    // A dropped entity leaves a zero entry, which designates nothing. A body
    // that found the data at its end was cut off: the file is incomplete even
    // when nothing after it is read.
    if (index < 0 && r.AtEnd()) r.MarkShortRead();
    lists.order.push_back(index >= 0 ? TEntJwwNo{kind, index} : TEntJwwNo{});
    ++k;
    ++classes.counter;
  }
  return true;
}

bool DesignatesRecord(const TEntJwwNo& no, const EntityListsIn& lists) {
  if (no.EntNo < 0) return false;
  std::size_t i = static_cast<std::size_t>(no.EntNo);
  switch (no.EntType) {
    case kEntLine:
      return i < lists.line.size();
    case kEntEnko:
      return i < lists.enko.size();
    case kEntTen:
      return i < lists.ten.size();
    case kEntMoji:
      return i < lists.moji.size();
    case kEntSunpo:
      return i < lists.sunpo.size();
    case kEntSolid:
      return i < lists.solid.size();
    case kEntBlock:
      return i < lists.block.size();
    default:
      return false;
  }
}

namespace {

bool SplitsDimension(const EntityWriteContext& ctx, const TEntJwwSunpo& d) {
  return ctx.ver < 420 && ctx.doc_ver >= 420 && d.bSxfMode != 0;
}

}  // namespace

std::uint32_t CountEntityObjects(const EntityWriteContext& ctx, const EntityListsIn& lists) {
  std::uint32_t n = 0;
  for (const TEntJwwNo& no : lists.order) {
    if (!DesignatesRecord(no, lists)) continue;
    ++n;
    if (no.EntType == kEntSunpo && SplitsDimension(ctx, lists.sunpo[no.EntNo])) n += 6;
  }
  return n;
}

void WriteEntityList(ArchiveWriter& w, ClassTable& classes, const EntityWriteContext& ctx,
                     const EntityListsIn& lists) {
  const auto schema = static_cast<std::uint16_t>(ctx.ver);
  for (const TEntJwwNo& no : lists.order) {
    if (!DesignatesRecord(no, lists)) continue;
    w.WriteClassTag(classes, no.EntType, schema);
    switch (no.EntType) {
      case kEntLine:
        WriteLineBody(w, ctx.ver, lists.line[no.EntNo]);
        break;
      case kEntEnko:
        WriteEnkoBody(w, ctx.ver, lists.enko[no.EntNo]);
        break;
      case kEntTen:
        WriteTenBody(w, ctx.ver, lists.ten[no.EntNo]);
        break;
      case kEntMoji:
        WriteMojiBody(w, ctx, lists.moji[no.EntNo]);
        break;
      case kEntSunpo:
        WriteSunpoBody(w, ctx, lists.sunpo[no.EntNo]);
        break;
      case kEntSolid:
        WriteSolidBody(w, ctx.ver, lists.solid[no.EntNo]);
        break;
      case kEntBlock:
        WriteBlockBody(w, ctx, lists.block[no.EntNo]);
        break;
    }
    ++classes.counter;
    if (no.EntType == kEntSunpo && SplitsDimension(ctx, lists.sunpo[no.EntNo])) {
      // Older versions know no extended dimension: its parts follow as lines
      // and points of their own; the temporary points stay temporary.
      const TEntJwwSunpo& d = lists.sunpo[no.EntNo];
      for (const TEntJwwLine* l : {&d.Ho1, &d.Ho2}) {
        w.WriteClassTag(classes, kEntLine, schema);
        WriteLineBody(w, ctx.ver, *l);
        ++classes.counter;
      }
      for (int i = 0; i < 4; ++i) {
        TEntJwwTen t = i == 0 ? d.Te1 : i == 1 ? d.Te2 : i == 2 ? d.Kt1 : d.Kt2;
        if (i >= 2) t.bKariten = 1;
        w.WriteClassTag(classes, kEntTen, schema);
        WriteTenBody(w, ctx.ver, t);
        ++classes.counter;
      }
    }
  }
}

}  // namespace plattero
