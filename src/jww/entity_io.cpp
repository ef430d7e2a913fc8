#include "jww/entity_io.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "jww/entity_fields.h"
#include "jww/entity_visit.h"
#include "util/memory.h"
#include "util/numbers.h"
#include "util/text.h"

namespace plattero {

namespace {

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

std::u16string SubstitutePercent(const std::u16string& text, const TextSubstitution* table) {
  if (!table || table->on != 1 || text.size() < 2 || text[0] != u'%' || text[1] != u'%') {
    return text;
  }
  for (const TStr2List& pair : table->list) {
    if (pair.s1 == text) return pair.s2;
  }
  return text;
}

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

// Reads the fields into the record. With kSkip the strings are passed over
// unread (the counting pre-pass only needs to find where a record ends).
template <bool kSkip>
class ReaderIoT {
 public:
  static constexpr bool kReads = true;
  ReaderIoT(ArchiveReader& r, std::int32_t ver, double point_scale)
      : r_(r), ver_(ver), point_scale_(point_scale) {}

  bool Present() const { return !r_.AtEnd(); }
  bool When(bool c) const { return c; }
  // The parts of a dimension take scale 0, wherever the dimension is.
  double PointScale() const { return depth_ ? 0.0 : point_scale_; }
  void Enter(const char*) { ++depth_; }
  void Leave() { --depth_; }

  void Attr(const char*, TEntJwwAttr& a, int) { TransferAttr(*this, a, ver_); }
  void U8(const char*, std::uint8_t& v) { v = r_.ReadU8(); }
  void U16(const char*, std::uint16_t& v) { v = r_.ReadU16(); }
  void U32(const char*, std::uint32_t& v) { v = r_.ReadU32(); }
  void I32(const char*, std::int32_t& v) { v = r_.ReadI32(); }
  void F64(const char*, double& v) { v = r_.ReadF64(); }
  void Reserved(const char*, std::size_t n) { r_.Skip(n); }
  void Size(const char*, double& v) { v = FiniteOr(r_.ReadF64(), 3.0); }
  void Spacing(const char*, double& v) { v = FiniteOr(r_.ReadF64(), 0.0); }
  void BlockNo(const char*, std::uint32_t& v) { v = r_.ReadU32(); }
  void Name(const char*, std::u16string& s) {
    if constexpr (kSkip) {
      SkipCString(r_);
    } else {
      s = r_.ReadName();
    }
  }
  void Text(const char* name, std::u16string& s, int) { Name(name, s); }
  void FileName(const char*, std::u16string& s) { s = r_.ReadName(&held_nul_); }
  // True when the last file name held a NUL among its bytes.
  bool HeldNul() const { return held_nul_; }

 private:
  static double FiniteOr(double v, double fallback) { return IsFiniteNumber(v) ? v : fallback; }

  ArchiveReader& r_;
  std::int32_t ver_;
  double point_scale_;
  int depth_ = 0;
  bool held_nul_ = false;
};
using ReaderIo = ReaderIoT<false>;
using SkipperIo = ReaderIoT<true>;

// Stores the fields of one record through a cursor into the writer's buffer,
// so a run of fixed fields costs no call per field (see ArchiveWriter::Room).
class WriterIo {
 public:
  static constexpr bool kReads = false;
  WriterIo(ArchiveWriter& w, const EntityWriteContext& ctx) : w_(w), ctx_(ctx) { Open(); }
  ~WriterIo() { w_.Commit(p_); }
  WriterIo(const WriterIo&) = delete;
  WriterIo& operator=(const WriterIo&) = delete;

  bool Present() const { return true; }
  bool When(bool c) const { return c; }
  void Enter(const char*) {}
  void Leave() {}

  void Attr(const char*, const TEntJwwAttr& a, int kind) {
    const TEntJwwAttr out = AttrForWriting(a, ctx_.ver, kind);
    TransferAttr(*this, out, ctx_.ver);
  }
  void U8(const char*, std::uint8_t v) {
    Fit(1);
    PutU8(p_, v);
  }
  void U16(const char*, std::uint16_t v) {
    Fit(2);
    PutU16(p_, v);
  }
  void U32(const char*, std::uint32_t v) {
    Fit(4);
    PutU32(p_, v);
  }
  void I32(const char* name, std::int32_t v) { U32(name, static_cast<std::uint32_t>(v)); }
  void Reserved(const char* name, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
      U8(name, 0);
  }
  void F64(const char*, double v) {
    Fit(8);
    PutF64(p_, v);
  }
  void Size(const char* name, double v) { F64(name, ClampTextSize(v)); }
  void Spacing(const char* name, double v) { F64(name, v); }
  void BlockNo(const char* name, std::uint32_t v) {
    U32(name, ctx_.block_no ? ctx_.block_no(v) : v);
  }
  void Name(const char*, const std::u16string& s) {
    if (HasBreakMarks(s)) {
      String(RemoveBreakMarks(s));
    } else {
      String(s);
    }
  }
  void FileName(const char*, const std::u16string& s) { String(s); }
  // A text passes the writer's text options; of them only the "%%"
  // substitution applies to a dimension's text.
  void Text(const char*, const std::u16string& s, int kind) {
    if (kind == kEntSunpo) {
      std::u16string text = RemoveBreakMarks(s);
      if (ctx_.options & 0x10) text = SubstitutePercent(text, ctx_.substitution);
      String(text);
    } else if ((ctx_.options & 0x19) == 0 && !HasBreakMarks(s)) {
      String(s);
    } else {
      String(MojiTextForWriting(s, ctx_.options, ctx_.substitution));
    }
  }

 private:
  void Open() {
    p_ = w_.Room(ArchiveWriter::kMaxRoom);
    end_ = p_ + ArchiveWriter::kMaxRoom;
  }
  void Fit(std::size_t n) {
    if (static_cast<std::size_t>(end_ - p_) < n) {
      w_.Commit(p_);
      Open();
    }
  }
  void String(std::u16string_view s) {
    w_.Commit(p_);
    w_.WriteCString(s);
    Open();
  }

  ArchiveWriter& w_;
  const EntityWriteContext& ctx_;
  std::uint8_t* p_ = nullptr;
  std::uint8_t* end_ = nullptr;
};

}  // namespace

TEntJwwAttr AttrForWriting(const TEntJwwAttr& att, std::int32_t ver, int kind) {
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
  TEntJwwAttr out = att;
  out.nPenStyle = static_cast<std::uint8_t>(style);
  out.nPenColor = static_cast<std::uint16_t>(color);
  if (out.nPenWidth > 30000) out.nPenWidth = 0;
  if (out.nLayer > 15) out.nLayer = 0;
  if (out.nGLayer > 15) out.nGLayer = 0;
  return out;
}

double ClampTextSize(double v) {
  if (std::isnan(v)) return v;
  v = std::fabs(v);
  if (v < 1e-10) return 1e-10;
  if (v > 1e10) return 1e10;
  return v;
}

void BuildOldDimensionParts(TEntJwwSunpo& e) {
  e.bSxfMode = 0;
  for (TEntJwwLine* l : {&e.Ho1, &e.Ho2}) {
    *l = TEntJwwLine{};
    l->att = e.att;
  }
  for (TEntJwwTen* t : {&e.Te1, &e.Te2, &e.Kt1, &e.Kt2}) {
    *t = TEntJwwTen{};
    t->att = e.att;
    t->att.nPenStyle = 0;
  }
}

TEntJwwAttr ReadAttr(ArchiveReader& r, std::int32_t ver) {
  TEntJwwAttr a;
  ReaderIo io(r, ver, 1.0);
  io.Attr("att", a, 0);
  return a;
}

void WriteAttr(ArchiveWriter& w, std::int32_t ver, const TEntJwwAttr& att, int kind) {
  EntityWriteContext ctx;
  ctx.ver = ver;
  WriterIo io(w, ctx);
  io.Attr("att", att, kind);
}

void ReadBlockDefHead(ArchiveReader& r, std::int32_t ver, std::uint32_t index, TEntJwwBlockDef& b) {
  ReaderIo io(r, ver, 0.0);
  TransferBlockDefHead(io, b, ver);
  RepairBlockDefTime(b, index);
}

void RepairBlockDefTime(TEntJwwBlockDef& b, std::uint32_t index) {
  if (b.dtime >= 0x80000000u) b.dtime = index + 1;
}

void WriteBlockDefHead(ArchiveWriter& w, const EntityWriteContext& ctx, const TEntJwwBlockDef& b) {
  WriterIo io(w, ctx);
  TransferBlockDefHead(io, b, ctx.ver);
}

TBindImageType ReadImageRow(ArchiveReader& r, bool& held_nul) {
  TBindImageType row;
  ReaderIo io(r, 700, 0.0);
  TransferImageRow(io, row);
  held_nul = io.HeldNul();
  return row;
}

void WriteImageRow(ArchiveWriter& w, const TBindImageType& row) {
  const EntityWriteContext ctx;
  WriterIo io(w, ctx);
  TransferImageRow(io, row);
}

template <class E>
bool ReadBody(ArchiveReader& r, std::int32_t ver, E& e, double point_scale) {
  ReaderIo io(r, ver, point_scale);
  return Transfer(io, e, ver);
}

template <class E>
void WriteBody(ArchiveWriter& w, const EntityWriteContext& ctx, const E& e) {
  WriterIo io(w, ctx);
  Transfer(io, e, ctx.ver);
}

template bool ReadBody(ArchiveReader&, std::int32_t, TEntJwwLine&, double);
template bool ReadBody(ArchiveReader&, std::int32_t, TEntJwwEnko&, double);
template bool ReadBody(ArchiveReader&, std::int32_t, TEntJwwTen&, double);
template bool ReadBody(ArchiveReader&, std::int32_t, TEntJwwMoji&, double);
template bool ReadBody(ArchiveReader&, std::int32_t, TEntJwwSunpo&, double);
template bool ReadBody(ArchiveReader&, std::int32_t, TEntJwwSolid&, double);
template bool ReadBody(ArchiveReader&, std::int32_t, TEntJwwBlock&, double);
template void WriteBody(ArchiveWriter&, const EntityWriteContext&, const TEntJwwLine&);
template void WriteBody(ArchiveWriter&, const EntityWriteContext&, const TEntJwwEnko&);
template void WriteBody(ArchiveWriter&, const EntityWriteContext&, const TEntJwwTen&);
template void WriteBody(ArchiveWriter&, const EntityWriteContext&, const TEntJwwMoji&);
template void WriteBody(ArchiveWriter&, const EntityWriteContext&, const TEntJwwSunpo&);
template void WriteBody(ArchiveWriter&, const EntityWriteContext&, const TEntJwwSolid&);
template void WriteBody(ArchiveWriter&, const EntityWriteContext&, const TEntJwwBlock&);

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

// The entity kind a tag designates (0: none), recording a new class.
// `ok` turns false on a tag that ends the list.
int KindOfTag(const TagRead& tag, ClassTable& classes) {
  if (tag.kind == TagRead::kNewClass) {
    const int kind = ClassOfName(tag.name);
    if (kind < kEntLine || kind > kEntBlock) return -1;
    classes.index[kind] = classes.counter++;
    return kind;
  }
  int kind = 0;
  if (tag.kind == TagRead::kReference) {
    for (int c = kEntLine; c <= kEntBlock; ++c) {
      if (classes.index[c] != 0 && classes.index[c] == tag.index) kind = c;
    }
  }
  return kind;
}

// The number of entities of each kind the list holds, found by a quick pass
// over a copy of the reader, so each list is allocated once at its size.
std::array<std::size_t, 8> CountKinds(const ArchiveReader& from, ClassTable classes,
                                      std::int32_t ver, std::uint32_t count) {
  std::array<std::size_t, 8> n{};
  ArchiveReader r = from;
  for (std::uint32_t k = 0; k < count && !r.AtEnd();) {
    TagRead tag = ReadTag(r);
    if (tag.kind != TagRead::kNewClass && tag.kind != TagRead::kReference) break;
    const int kind = KindOfTag(tag, classes);
    if (kind < 0) break;
    if (kind == 0) continue;
    WithEntityKind(kind, [&](auto type) {
      typename decltype(type)::type scratch;
      SkipperIo io(r, ver, 0.0);
      Transfer(io, scratch, ver);
    });
    ++n[kind];
    ++k;
    ++classes.counter;
  }
  return n;
}

}  // namespace

bool ReadEntityList(ArchiveReader& r, ClassTable& classes, std::int32_t ver, std::uint32_t count,
                    bool nested, TReadSection section, EntityListsOut lists) {
  const double point_scale = nested ? 0.0 : 1.0;
  {
    const std::array<std::size_t, 8> n = CountKinds(r, classes, ver, count);
    ReserveLarge(lists.order, lists.order.size() + n[1] + n[2] + n[3] + n[4] + n[5] + n[6] + n[7]);
    WithEachEntityKind([&](auto type) {
      using E = typename decltype(type)::type;
      auto& list = ListOf<E>(lists);
      ReserveLarge(list, list.size() + n[KindOf<E>()]);
    });
  }
  std::uint32_t k = 0;
  while (k < count) {
    std::size_t tag_offset = r.Position();
    TagRead tag = ReadTag(r);
    switch (tag.kind) {
      case TagRead::kEnd:
        r.Fail(tag_offset, TReadFailure::kEndsBeforeList, section);
        return false;
      case TagRead::kNameTooLong:
        r.Fail(tag_offset, TReadFailure::kClassNameTooLong, section);
        return false;
      default:
        break;
    }
    const int kind = KindOfTag(tag, classes);
    if (kind < 0) {
      r.Fail(tag_offset, TReadFailure::kUnknownClass, section);
      return false;
    }
    if (kind == 0) continue;  // designates nothing: read the next tag

    std::int32_t index = -1;
    WithEntityKind(kind, [&](auto type) {
      using E = typename decltype(type)::type;
      index = ReadInto(ListOf<E>(lists), [&](E& e) { return ReadBody(r, ver, e, point_scale); });
    });
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
  return VisitEntity(no, lists, [](const auto&) {});
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
    VisitEntity(no, lists, [&](const auto& e) {
      w.WriteClassTag(classes, no.EntType, schema);
      WriteBody(w, ctx, e);
      ++classes.counter;
    });
    if (no.EntType != kEntSunpo || !DesignatesRecord(no, lists) ||
        !SplitsDimension(ctx, lists.sunpo[no.EntNo])) {
      continue;
    }
    // Older versions know no extended dimension: its parts follow as lines
    // and points of their own; the temporary points stay temporary.
    const TEntJwwSunpo& d = lists.sunpo[no.EntNo];
    for (const TEntJwwLine* l : {&d.Ho1, &d.Ho2}) {
      w.WriteClassTag(classes, kEntLine, schema);
      WriteBody(w, ctx, *l);
      ++classes.counter;
    }
    for (int i = 0; i < 4; ++i) {
      TEntJwwTen t = i == 0 ? d.Te1 : i == 1 ? d.Te2 : i == 2 ? d.Kt1 : d.Kt2;
      if (i >= 2) t.bKariten = 1;
      w.WriteClassTag(classes, kEntTen, schema);
      WriteBody(w, ctx, t);
      ++classes.counter;
    }
  }
}

}  // namespace plattero
