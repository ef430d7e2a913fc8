#include "jww/header_io.h"

#include <algorithm>

#include "jww/entity_io.h"
#include "jww/header_fields.h"
#include "util/numbers.h"
#include "util/text.h"

namespace plattero {

namespace {

constexpr char kSignature[] = "JwwData.";

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
    r.Fail(0, TReadFailure::kNoSignature, TReadSection::kHeader);
    return false;
  }
  h.jwVer = r.ReadI32();
  if (h.jwVer < 220 || h.jwVer > 700) {
    r.Fail(8, TReadFailure::kVersion, TReadSection::kHeader);
    return false;
  }
  return true;
}

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

namespace {

class HeaderReader {
 public:
  static constexpr bool kReads = true;
  HeaderReader(ArchiveReader& r, TJwwReadStatus* where) : r_(r), where_(where) {}

  bool Present() const { return !r_.AtEnd(); }
  void I32(const char*, std::int32_t& v) { v = r_.ReadI32(); }
  void F64(const char*, double& v) { v = r_.ReadF64(); }
  void Size(const char*, double& v) { v = FiniteOr(r_.ReadF64(), 3.0); }
  void Spacing(const char*, double& v) { v = FiniteOr(r_.ReadF64(), 0.0); }
  void CString(const char*, std::u16string& s) { s = r_.ReadCString(); }
  void Name(const char*, std::u16string& s) { s = r_.ReadName(); }
  template <std::size_t N>
  void Bytes(const char*, std::array<std::uint8_t, N>& a) {
    // Kept as found; what is missing at the end of a short file stays as it was.
    std::uint8_t buf[N];
    const std::size_t got = r_.Read(buf, N);
    std::copy(buf, buf + got, a.begin());
  }
  void PackedDpi(std::int32_t& dpi, std::int32_t& only) {
    const std::int32_t v = r_.ReadI32();
    dpi = v / 10;
    only = v % 10;
  }
  void Mark(std::uint64_t TJwwReadStatus::*field) {
    if (where_) where_->*field = r_.Position();
  }

 private:
  ArchiveReader& r_;
  TJwwReadStatus* where_;
};

class HeaderWriter {
 public:
  static constexpr bool kReads = false;
  explicit HeaderWriter(ArchiveWriter& w) : w_(w) {}

  bool Present() const { return true; }
  void I32(const char*, std::int32_t v) { w_.WriteI32(v); }
  void F64(const char*, double v) { w_.WriteF64(v); }
  void Size(const char*, double v) { w_.WriteF64(ClampTextSize(v)); }
  void Spacing(const char*, double v) { w_.WriteF64(v); }
  void CString(const char*, const std::u16string& s) { w_.WriteCString(s); }
  void Name(const char*, const std::u16string& s) { w_.WriteCString(s); }
  template <std::size_t N>
  void Bytes(const char*, const std::array<std::uint8_t, N>& a) {
    w_.Write(a.data(), N);
  }
  // Computed in 64 bits and wrapped, so no value of nPrtDpi can overflow.
  void PackedDpi(std::int32_t dpi, std::int32_t only) {
    w_.WriteU32(static_cast<std::uint32_t>(only + std::int64_t{10} * dpi));
  }
  void Mark(std::uint64_t TJwwReadStatus::*) {}

 private:
  ArchiveWriter& w_;
};

// Clamps, default names and the replacements Jw_cad expects of version `ver`.
// The header and its tables as written: a copy of the document's, with the
// extended tables `ex`, normalised for version `ver`.
TJwwHeaderTables NormalizeHeader(const TJwwData& doc, const ExTables& ex, std::int32_t ver) {
  TJwwHeaderTables d = doc;
  d.EntColS = ex.colors;
  d.EntLtpS = ex.line_types;
  TEntJwwHeader& h = d.Enthd;
  if (ver <= 420 && h.nMaxDrawWid < -101) h.nMaxDrawWid = -101;
  for (TEntJwwLayer& ly : d.EntLay)
    ly.aStrLayName = RemoveBreakMarks(ly.aStrLayName);
  for (TEntJwwLayerGroup& lg : d.EntLgrp)
    lg.aStrGLayName = RemoveBreakMarks(lg.aStrGLayName);
  for (int i = 0; i < kColorCount; ++i) {
    TEntJwwColorNo& c = d.EntCol[i];
    c.aPenColor = ColorOr0(c.aPenColor);
    c.anPenWidth = std::clamp(c.anPenWidth, 1, 16);
    c.aPrtPenColor = i == 0 ? 0xFFFFFF : ColorOr0(c.aPrtPenColor);
    c.anPrtPenWidth = std::clamp(c.anPrtPenWidth, 1, 500);
    if (c.adPrtTenHankei < 0.1) c.adPrtTenHankei = 0.1;
    if (c.adPrtTenHankei > 10) c.adPrtTenHankei = 10;
  }
  h.nPrtDpi = ver < 600 ? 0 : h.nPrtDpi > 0 ? h.nPrtDpi : 1;
  for (int i = 0; i < kColorExCount; ++i) {
    TEntJwwColorExNo& c = d.EntColS[i];
    c.astrUDColorName = NameOrDefault(c.astrUDColorName, u"Color_", i);
    if (i > 16) c.aPrtPenColor = c.aPenColor;
  }
  for (int i = 0; i < kLineTypeExCount; ++i) {
    TEntJwwLineTypeExNo& t = d.EntLtpS[i];
    if (i >= 17 && !IsUserSegmentCount(t.anUDLTypeSegment)) {
      // An unusable user line type: a plain dotted one in its place.
      t = {static_cast<std::int32_t>(0xC3C3C3C3u), 8, 1, 8, u"LType_" + IntStr(i), 2, {}};
      t.aadUDLTypePitch[1] = 1.0;
      t.aadUDLTypePitch[2] = 1.0;
      continue;
    }
    if (t.alLType == 0) t.alLType = -1;
    t.astrUDLTypeName = NameOrDefault(t.astrUDLTypeName, u"LType_", i);
  }
  return d;
}

}  // namespace

bool ReadHeader(ArchiveReader& r, TJwwData& doc, TJwwReadStatus* where) {
  SizeHeaderTables(doc);
  if (!ReadSignature(r, doc.Enthd)) return false;
  HeaderReader io(r, where);
  if (!TransferHeader(io, doc, doc.Enthd.jwVer)) {
    r.Fail(TReadFailure::kEndsInHeader, TReadSection::kHeader);
    return false;
  }
  return true;
}

void WriteHeader(ArchiveWriter& w, const TJwwData& doc, const ExTables& ex, std::int32_t ver) {
  w.Write(kSignature, 8);
  w.WriteI32(ver);
  const TJwwHeaderTables d = NormalizeHeader(doc, ex, ver);
  HeaderWriter io(w);
  TransferHeader(io, d, ver);
}

}  // namespace plattero
