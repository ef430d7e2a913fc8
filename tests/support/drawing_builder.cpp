#include "drawing_builder.h"

#include "test_system.h"

#include <stdlib.h>
#include <zlib.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "jww/header_fields.h"
#include "util/numbers.h"
#include "util/text.h"

namespace plattero::testing {

namespace {

// splitmix64: the same sequence on every platform and library, unlike the
// standard distributions.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x1234567ull) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n-1 (n > 0).
  std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }
  // lo .. hi inclusive.
  std::uint32_t Between(std::uint32_t lo, std::uint32_t hi) { return lo + Below(hi - lo + 1); }
  bool OneIn(std::uint32_t n) { return Below(n) == 0; }
  // [lo, hi) with 53 random bits.
  double Real(double lo, double hi) {
    return lo + (hi - lo) * (static_cast<double>(Next() >> 11) * 0x1.0p-53);
  }

 private:
  std::uint64_t state_;
};

// Landscape paper sizes in millimetres by nZumen; other codes draw on A0.
void PaperSize(std::int32_t code, double& w, double& h) {
  static constexpr double kSizes[15][2] = {
      {1189, 841},  {841, 594},   {594, 420},    {420, 297},     {297, 210},
      {1189, 841},  {1189, 841},  {1189, 841},   {1682, 1189},   {2378, 1682},
      {3364, 2378}, {4756, 3364}, {10000, 7073}, {50000, 35366}, {100000, 70732}};
  const int i = code >= 0 && code <= 14 ? code : 0;
  w = kSizes[i][0];
  h = kSizes[i][1];
}

std::u16string Num(std::size_t n) {
  return IntStr(static_cast<std::int32_t>(n));
}

// Names of the first 17 extended colours and of the extended line types, as a
// drawing made by Jw_cad carries them.
constexpr const char16_t* kColorNames[17] = {
    u"background", u"black",     u"red",      u"green",     u"blue",    u"yellow",
    u"magenta",    u"cyan",      u"white",    u"deeppink",  u"brown",   u"orange",
    u"lightgreen", u"lightblue", u"lavender", u"lightgray", u"darkgray"};
constexpr const char16_t* kLineTypeNames[17] = {u"continuous",
                                                u"dashed",
                                                u"dashed spaced",
                                                u"long dashed dotted",
                                                u"long dashed double-dotted",
                                                u"long dashed triplicate-dotted",
                                                u"dotted",
                                                u"chain",
                                                u"chain double dash",
                                                u"dashed dotted",
                                                u"double-dashed dotted",
                                                u"dashed double-dotted",
                                                u"double-dashed double-dotted",
                                                u"dashed triplicate-dotted",
                                                u"double-dashed triplicate-dotted",
                                                u"long dashed",
                                                u"double-dotted"};

constexpr const char16_t* kJapaneseTexts[] = {
    u"平面図",    u"立面図",   u"断面図",         u"通り芯",
    u"部品表",    u"仕上げ表", u"縮尺１／１００", u"株式会社 山田設計",
    u"設計図 第", u"階段詳細", u"キッチン",       u"和室 ６畳"};
constexpr const char16_t* kLatinTexts[] = {
    u"PLAN",       u"ELEVATION",       u"SECTION",     u"GRID",
    u"PARTS LIST", u"FINISH SCHEDULE", u"SCALE 1/100", u"Yamada Design Office",
    u"SHEET No.",  u"STAIR DETAIL"};
// Characters that only the UTF-16 form can carry (no code page 932 form).
constexpr const char16_t* kUtf16Texts[] = {u"𠮷野家", u"한국어", u"Ελληνικά é", u"😀 smile"};

constexpr const char16_t* kJapaneseFonts[] = {u"ＭＳ ゴシック", u"ＭＳ 明朝", u"ＭＳ Ｐゴシック"};
constexpr const char16_t* kLatinFonts[] = {u"Arial", u"Courier New", u"Times New Roman"};

class Builder {
 public:
  Builder(const DrawingSpec& spec, TJwwData& doc)
      : spec_(spec), doc_(doc), rng_(spec.seed), ver_(spec.version) {
    PaperSize(spec.paper, paper_w_, paper_h_);
  }

  void Run();

 private:
  // --- attributes -----------------------------------------------------------
  std::uint32_t NextGroup() {
    if (spec_.curve_numbers == 0 || rng_.OneIn(3)) return 0;
    return static_cast<std::uint32_t>(group_counter_++ % spec_.curve_numbers) + 1;
  }
  std::uint16_t PenColor(bool allow_ten) {
    if (allow_ten && rng_.OneIn(6)) return 10;
    if (ver_ >= 420 && rng_.OneIn(8)) return static_cast<std::uint16_t>(rng_.Between(101, 356));
    return static_cast<std::uint16_t>(rng_.Between(1, 9));
  }
  std::uint8_t LineStyle() {
    if (rng_.OneIn(10)) return static_cast<std::uint8_t>(rng_.Between(11, 19));
    if (ver_ >= 420 && rng_.OneIn(10)) return static_cast<std::uint8_t>(rng_.Between(31, 62));
    return static_cast<std::uint8_t>(rng_.Between(1, 9));
  }
  TEntJwwAttr Attr(int kind) {
    TEntJwwAttr a;
    a.lGroup = NextGroup();
    switch (kind) {
      case kEntLine:
      case kEntEnko:
        a.nPenStyle = LineStyle();
        a.nPenColor = PenColor(false);
        break;
      case kEntTen:
        a.nPenStyle = rng_.OneIn(4) ? 100 : 1;
        a.nPenColor = PenColor(false);
        break;
      case kEntMoji:
        a.nPenStyle = static_cast<std::uint8_t>(rng_.Between(1, 9));
        a.nPenColor = PenColor(false);
        break;
      case kEntSunpo:
        a.nPenStyle = 1;
        a.nPenColor = PenColor(false);
        break;
      case kEntSolid:
        a.nPenStyle = 1;
        a.nPenColor = PenColor(true);
        break;
      default:  // block reference and definition: written as they are
        a.nPenStyle = 1;
        a.nPenColor = static_cast<std::uint16_t>(rng_.Between(1, 9));
        break;
    }
    // Files of version 350 and below carry no pen width.
    if (ver_ > 350 && rng_.OneIn(4))
      a.nPenWidth = static_cast<std::uint16_t>(rng_.Between(1, 30000));
    a.nLayer = static_cast<std::uint16_t>(rng_.Below(16));
    a.nGLayer = static_cast<std::uint16_t>(rng_.Below(16));
    if (spec_.groups) a.nGLayer %= spec_.groups;
    if (rng_.OneIn(8)) a.sFlg = static_cast<std::uint16_t>(rng_.Next());
    return a;
  }

  // Positions lie on the paper, whose centre is the drawing's origin; inside
  // a block definition they lie within a tenth of it around the block's origin.
  double X() { return rng_.Real(-0.45, 0.45) * paper_w_ * extent_; }
  double Y() { return rng_.Real(-0.45, 0.45) * paper_h_ * extent_; }

  // --- entities -------------------------------------------------------------
  TEntJwwLine Line() {
    TEntJwwLine e;
    e.att = Attr(kEntLine);
    e.start_x = X();
    e.start_y = Y();
    e.end_x = X();
    e.end_y = Y();
    return e;
  }
  TEntJwwEnko Arc() {
    TEntJwwEnko e;
    e.att = Attr(kEntEnko);
    e.start_x = X();
    e.start_y = Y();
    e.dHankei = rng_.Real(0.5, paper_h_ / 8) * extent_;
    if (rng_.OneIn(3)) {
      e.radKaishiKaku = 0;
      e.radEnkoKaku = 2 * std::numbers::pi;
      e.bZenEnFlg = 1;
    } else {
      e.radKaishiKaku = rng_.Real(0, 2 * std::numbers::pi);
      e.radEnkoKaku = rng_.Real(0.1, 2 * std::numbers::pi);
    }
    if (rng_.OneIn(5)) {
      e.radKatamukiKaku = rng_.Real(0, std::numbers::pi);
      e.dHenpeiRitsu = rng_.Real(0.2, 0.9);
    } else {
      e.dHenpeiRitsu = 1.0;
    }
    return e;
  }
  // A point without code gets, from a reader, scale 1 at the top level and 0
  // inside a block definition or a dimension.
  TEntJwwTen Point(double default_scale, std::uint32_t kariten) {
    TEntJwwTen e;
    e.att = Attr(kEntTen);
    e.start_x = X();
    e.start_y = Y();
    e.bKariten = kariten;
    if (e.att.nPenStyle == 100) {
      e.nCode = rng_.Between(1, 20);
      e.radKaitenKaku = rng_.Real(0, 2 * std::numbers::pi);
      e.dBairitsu = rng_.Real(0.5, 3.0);
    } else {
      e.dBairitsu = default_scale;
    }
    return e;
  }
  std::u16string Phrase() {
    if (spec_.utf16 && rng_.OneIn(4)) return kUtf16Texts[rng_.Below(std::size(kUtf16Texts))];
    if (spec_.japanese) return kJapaneseTexts[rng_.Below(std::size(kJapaneseTexts))];
    return kLatinTexts[rng_.Below(std::size(kLatinTexts))];
  }
  std::u16string Font() {
    if (spec_.japanese) return kJapaneseFonts[rng_.Below(std::size(kJapaneseFonts))];
    return kLatinFonts[rng_.Below(std::size(kLatinFonts))];
  }
  TEntJwwMoji Text(std::u16string str) {
    TEntJwwMoji e;
    e.att = Attr(kEntMoji);
    e.start_x = X();
    e.start_y = Y();
    const std::uint32_t type = rng_.Below(11);  // 0 = free size
    if (type == 0) {
      e.dSizeX = rng_.Real(1.0, 20.0);
      e.dSizeY = rng_.Real(1.0, 20.0);
      e.dKankaku = rng_.Real(0.0, 2.0);
    } else {
      const TEntJwwMojiType& t = doc_.EntMoj[type - 1];
      e.dSizeX = t.adMojiX;
      e.dSizeY = t.adMojiY;
      e.dKankaku = t.adMojiD;
    }
    // Higher digits of the type are carried unchanged.
    e.nMojiShu = type + (rng_.OneIn(10) ? 10000 : 0);
    e.degKakudo = rng_.OneIn(4) ? (rng_.OneIn(2) ? 90.0 : rng_.Real(-180, 180)) : 0.0;
    const double len = static_cast<double>(str.size()) * (e.dSizeX + e.dKankaku);
    const double rad = e.degKakudo * std::numbers::pi / 180;
    e.end_x = e.start_x + len * std::cos(rad);
    e.end_y = e.start_y + len * std::sin(rad);
    e.strFontName = Font();
    e.str = std::move(str);
    return e;
  }
  TEntJwwMoji PlainText() { return Text(Phrase() + Num(text_counter_++)); }

  TEntJwwSunpo Dimension(double point_scale) {
    TEntJwwSunpo d;
    d.att = Attr(kEntSunpo);
    d.Sen = Line();
    if (rng_.OneIn(2)) d.Sen.end_y = d.Sen.start_y;  // horizontal
    const double length = std::hypot(d.Sen.end_x - d.Sen.start_x, d.Sen.end_y - d.Sen.start_y);
    d.Moji = Text(Num(static_cast<std::size_t>(std::lround(length * 10))));
    d.Moji.start_x = (d.Sen.start_x + d.Sen.end_x) / 2;
    d.Moji.start_y = (d.Sen.start_y + d.Sen.end_y) / 2;
    if (ver_ >= 420) {
      d.bSxfMode = 1;
      d.Ho1 = Line();
      d.Ho2 = Line();
      d.Te1 = Point(point_scale, 0);
      d.Te2 = Point(point_scale, 0);
      d.Kt1 = Point(point_scale, 1);
      d.Kt2 = Point(point_scale, 1);
    } else {
      // What a reader builds for a file without the extended parts.
      for (TEntJwwLine* l : {&d.Ho1, &d.Ho2})
        l->att = d.att;
      for (TEntJwwTen* t : {&d.Te1, &d.Te2, &d.Kt1, &d.Kt2}) {
        t->att = d.att;
        t->att.nPenStyle = 0;
      }
    }
    return d;
  }
  TEntJwwSolid Solid() {
    TEntJwwSolid e;
    e.att = Attr(kEntSolid);
    e.start_x = X();
    e.start_y = Y();
    e.end_x = e.start_x + rng_.Real(1, 50);
    e.end_y = e.start_y;
    e.DPoint2_x = e.end_x;
    e.DPoint2_y = e.start_y + rng_.Real(1, 50);
    e.DPoint3_x = e.start_x;
    e.DPoint3_y = e.DPoint2_y;
    if (e.att.nPenColor == 10) e.Color = static_cast<std::uint32_t>(rng_.Next() & 0xFFFFFF);
    return e;
  }
  TEntJwwBlock BlockRef(std::uint32_t number) {
    TEntJwwBlock e;
    e.att = Attr(kEntBlock);
    e.DPKijunTen_x = X();
    e.DPKijunTen_y = Y();
    if (rng_.OneIn(2)) {
      e.dBairitsuX = e.dBairitsuY = 1.0;
    } else {
      e.dBairitsuX = rng_.Real(0.25, 2);
      e.dBairitsuY = rng_.OneIn(2) ? e.dBairitsuX : rng_.Real(0.25, 2);
    }
    e.radKaitenKaku = rng_.OneIn(2) ? 0.0 : rng_.Real(0, 2 * std::numbers::pi);
    e.nNumber = number;
    return e;
  }

  void MakeBlockDef(std::size_t i);
  void MakeImages();
  void MakeTopLevel();

  const DrawingSpec& spec_;
  TJwwData& doc_;
  Rng rng_;
  const std::int32_t ver_;
  double paper_w_ = 0, paper_h_ = 0;
  double extent_ = 1.0;
  std::uint64_t group_counter_ = 0;
  std::size_t text_counter_ = 0;
  std::vector<std::u16string> image_texts_;
};

// Appends one entity to a set of lists and its entry to the order.
template <class Rec>
void Append(std::vector<TEntJwwNo>& order, std::vector<Rec>& list, int kind, Rec rec) {
  order.push_back({kind, static_cast<std::int32_t>(list.size())});
  list.push_back(std::move(rec));
}

void Builder::MakeBlockDef(std::size_t i) {
  const std::size_t depth = spec_.nesting == 0 ? 1 : spec_.nesting;
  TEntJwwBlockDef& b = doc_.EntBlockDef[i];
  b.att = Attr(kEntBlockDef);
  b.nNumber = static_cast<std::uint32_t>(i);
  b.bRefferd = 1;
  b.dtime = 0x5F000000u + static_cast<std::uint32_t>(i) * 37;
  b.strName = (spec_.japanese ? u"部品" : u"PART") + Num(i);
  if (i % 4 == 3) b.strName += u"@@SfigorgFlag@@" + Num(i % 7);

  extent_ = 0.1;
  struct Restore {
    double& v;
    ~Restore() { v = 1.0; }
  } restore{extent_};
  std::vector<int> kinds = {kEntLine, kEntLine, kEntLine, kEntEnko, kEntMoji, kEntTen};
  if (i % 3 == 0) {
    kinds.push_back(kEntSolid);
    kinds.push_back(kEntSunpo);
  }
  if (i % depth != depth - 1 && i + 1 < spec_.block_defs) kinds.push_back(kEntBlock);
  for (std::size_t k = kinds.size(); k > 1; --k) {
    std::swap(kinds[k - 1], kinds[rng_.Below(static_cast<std::uint32_t>(k))]);
  }
  for (int kind : kinds) {
    switch (kind) {
      case kEntLine:
        Append(b.mNo, b.mLine, kind, Line());
        break;
      case kEntEnko:
        Append(b.mNo, b.mEnko, kind, Arc());
        break;
      case kEntTen:
        Append(b.mNo, b.mTen, kind, Point(0.0, 0));
        break;
      case kEntMoji:
        Append(b.mNo, b.mMoji, kind, PlainText());
        break;
      case kEntSunpo:
        Append(b.mNo, b.mSunpo, kind, Dimension(0.0));
        break;
      case kEntSolid:
        Append(b.mNo, b.mSolid, kind, Solid());
        break;
      case kEntBlock:
        Append(b.mNo, b.mBlock, kind, BlockRef(static_cast<std::uint32_t>(i + 1)));
        break;
    }
  }
}

// A small 24-bit BMP whose pixels depend on `n`.
std::vector<std::uint8_t> SmallBmp(std::size_t n) {
  const std::uint32_t w = 4 + static_cast<std::uint32_t>(n % 5), h = 3;
  const std::uint32_t row = (w * 3 + 3) / 4 * 4;
  const std::uint32_t image = row * h, total = 54 + image;
  std::vector<std::uint8_t> b;
  auto u16 = [&](std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  auto u32 = [&](std::uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  b.push_back('B');
  b.push_back('M');
  u32(total);
  u32(0);
  u32(54);
  u32(40);  // BITMAPINFOHEADER
  u32(w);
  u32(h);
  u16(1);
  u16(24);
  u32(0);  // no compression
  u32(image);
  u32(2835);
  u32(2835);
  u32(0);
  u32(0);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < row; ++x) {
      b.push_back(x < w * 3 ? static_cast<std::uint8_t>(n * 31 + y * 7 + x * 13) : 0);
    }
  }
  return b;
}

std::vector<std::uint8_t> Gzip(const std::vector<std::uint8_t>& data) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(data.size())) + 32);
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate failed");
  return out;
}

void Builder::MakeImages() {
  if (spec_.images == 0 || ver_ < 700) return;
  if (doc_.BindImageFolder.empty() ||
      !std::filesystem::is_directory(std::filesystem::path(doc_.BindImageFolder))) {
    throw std::invalid_argument("BuildDrawing: images need an existing BindImageFolder");
  }
  doc_.BindImageExp = true;
  doc_.BindImageExr = true;
  for (std::size_t i = 0; i < spec_.images; ++i) {
    const std::u16string name = (spec_.japanese ? u"画像" : u"image") + Num(i) + u".bmp";
    const std::u16string file = name + u".gz";
    const std::vector<std::uint8_t> packed = Gzip(SmallBmp(i));
    std::ofstream out(std::filesystem::path(doc_.BindImageFolder + file),
                      std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(packed.data()),
              static_cast<std::streamsize>(packed.size()));
    out.close();
    if (!out) throw std::runtime_error("BuildDrawing: cannot write an image file");
    doc_.BindImage.push_back({file, static_cast<std::int32_t>(packed.size()), false});
    image_texts_.push_back(u"^@BM%temp%" + name + u",100,75,0,0,1,0");
  }
}

void Builder::MakeTopLevel() {
  const std::size_t depth = spec_.nesting == 0 ? 1 : spec_.nesting;
  const std::size_t chains = (spec_.block_defs + depth - 1) / depth;
  const std::size_t refs = chains == 0 ? 0 : spec_.block_refs;

  std::vector<std::uint8_t> kinds;
  kinds.reserve(spec_.lines + spec_.arcs + spec_.points + spec_.texts + spec_.dimensions +
                spec_.solids + refs + image_texts_.size());
  kinds.insert(kinds.end(), spec_.lines, kEntLine);
  kinds.insert(kinds.end(), spec_.arcs, kEntEnko);
  kinds.insert(kinds.end(), spec_.points, kEntTen);
  kinds.insert(kinds.end(), spec_.texts + image_texts_.size(), kEntMoji);
  kinds.insert(kinds.end(), spec_.dimensions, kEntSunpo);
  kinds.insert(kinds.end(), spec_.solids, kEntSolid);
  kinds.insert(kinds.end(), refs, kEntBlock);
  for (std::size_t k = kinds.size(); k > 1; --k) {
    std::swap(kinds[k - 1], kinds[rng_.Next() % k]);
  }

  doc_.EntNo.reserve(kinds.size());
  doc_.EntLine.reserve(spec_.lines);
  doc_.EntEnko.reserve(spec_.arcs);
  doc_.EntTen.reserve(spec_.points);
  doc_.EntMoji.reserve(spec_.texts + image_texts_.size());
  doc_.EntSunpo.reserve(spec_.dimensions);
  doc_.EntSolid.reserve(spec_.solids);
  doc_.EntBlock.reserve(refs);

  std::size_t image_text = 0, plain_texts = spec_.texts, ref = 0;
  for (std::uint8_t kind : kinds) {
    switch (kind) {
      case kEntLine:
        Append(doc_.EntNo, doc_.EntLine, kind, Line());
        break;
      case kEntEnko:
        Append(doc_.EntNo, doc_.EntEnko, kind, Arc());
        break;
      case kEntTen:
        Append(doc_.EntNo, doc_.EntTen, kind, Point(1.0, rng_.OneIn(5) ? 1 : 0));
        break;
      case kEntMoji:
        // The text slots are the plain texts and the image references together.
        if (image_text < image_texts_.size() && (plain_texts == 0 || rng_.OneIn(2))) {
          Append(doc_.EntNo, doc_.EntMoji, kind, Text(image_texts_[image_text++]));
        } else {
          --plain_texts;
          Append(doc_.EntNo, doc_.EntMoji, kind, PlainText());
        }
        break;
      case kEntSunpo:
        Append(doc_.EntNo, doc_.EntSunpo, kind, Dimension(0.0));
        break;
      case kEntSolid:
        Append(doc_.EntNo, doc_.EntSolid, kind, Solid());
        break;
      case kEntBlock:
        // References go round the heads of the nesting chains.
        Append(doc_.EntNo, doc_.EntBlock, kind,
               BlockRef(static_cast<std::uint32_t>((ref++ % chains) * depth)));
        break;
    }
  }
}

void Builder::Run() {
  doc_.EntNo.clear();
  doc_.EntLine.clear();
  doc_.EntEnko.clear();
  doc_.EntTen.clear();
  doc_.EntMoji.clear();
  doc_.EntSunpo.clear();
  doc_.EntSolid.clear();
  doc_.EntBlock.clear();
  doc_.EntBlockDef.clear();
  doc_.BindImage.clear();
  if (spec_.utf16) doc_.MojiEncode = true;

  doc_.EntBlockDef.resize(spec_.block_defs);
  for (std::size_t i = 0; i < spec_.block_defs; ++i)
    MakeBlockDef(i);
  MakeImages();
  MakeTopLevel();
  doc_.MakeBlockTree();
}

bool HoldsDrawingOf(const TJwwData& d, std::int32_t version) {
  return d.Enthd.jwVer == version && d.EntLgrp.size() == kLayerGroupCount &&
         d.EntLay.size() == kLayerCount && d.EntCol.size() == kColorCount &&
         d.EntLtp1.size() == kLineTypeCount && d.EntLtp2.size() == kRandomLineCount &&
         d.EntLtp3.size() == kDoubleLineTypeCount && d.EntColS.size() == kColorExCount &&
         d.EntLtpS.size() == kLineTypeExCount && d.EntMoj.size() == kMojiTypeCount;
}

}  // namespace

void InitDrawing(TJwwData& doc, std::int32_t version, std::int32_t paper) {
  doc.DataInit();
  const std::int32_t ver = version;
  TEntJwwHeader& h = doc.Enthd;
  h.jwID = u"JwwData.";
  h.jwVer = ver;
  h.strMemo = u"合成図面\r\nPlattero";
  h.nZumen = paper;
  h.nWriteGLay = 0;

  doc.EntLgrp.assign(kLayerGroupCount, {});
  doc.EntLay.assign(kLayerCount, {});
  for (int g = 0; g < kLayerGroupCount; ++g) {
    TEntJwwLayerGroup& lg = doc.EntLgrp[g];
    lg.anGLay = g == 0 ? 2 : 1;
    lg.anWriteLay = g % 16;
    lg.adScale = 1.0;
    lg.anGLayProtect = 0;
    lg.aStrGLayName =
        g < 4 ? std::u16string(g % 2 ? u"配置図" : u"平面図") + Num(g) : std::u16string();
    for (int l = 0; l < 16; ++l) {
      TEntJwwLayer& ly = doc.EntLay[g * 16 + l];
      ly.aanLay = 2;
      ly.aanLayProtect = l == 15 ? 1 : 0;
      if (g < 2) ly.aStrLayName = u"レイヤ" + Num(g) + u"-" + Num(l);
    }
  }
  h.abReserved1.fill(0x20);
  h.abReserved2.fill(0);
  h.lnSunpou1 = 1;
  h.lnSunpou2 = 0;
  h.lnSunpou3 = 2;
  h.lnSunpou4 = 1;
  h.lnSunpou5 = 0;
  h.nMaxDrawWid = 1;
  DeriveLineWidthMode(h);
  h.DPPrtGenten_x = 0;
  h.DPPrtGenten_y = 0;
  h.dPrtBairitsu = 1.0;
  h.nPrtSet = 1;
  h.nMemoriMode = 0;
  h.dMemoriHyoujiMin = 2.0;
  h.dMemoriX = 10.0;
  h.dMemoriY = 10.0;
  h.DpMemoriKjTen_x = 0;
  h.DpMemoriKjTen_y = 0;
  h.dKageLevel = 0;
  h.dKageIdo = 35.0;
  h.nKage9_15JiFlg = 0;
  h.dKabeKageLevel = 0;
  if (ver >= 300) {
    h.dTenkuuZuLevel = 1500.0;
    h.dTenkuuZuEnkoR = 100.0;
  }
  h.nMMTani3D = 0;
  h.dBairitsu = 1.0;
  h.DPGenten_x = 210.0;
  h.DPGenten_y = 148.5;
  h.dHanniBairitsu = 1.0;
  h.DPHanniGenten_x = 0;
  h.DPHanniGenten_y = 0;
  const int slots = ver >= 231 ? 8 : 4;
  for (int i = 1; i <= slots; ++i) {
    h.dZoomJumpBairitsu[i] = 1.0 + i;
    h.DPZoomJumpGenten_x[i] = 10.0 * i;
    h.DPZoomJumpGenten_y[i] = 5.0 * i;
    if (ver >= 231) h.nZoomJumpGLay[i] = i % 3 == 0 ? -1 : i;
  }
  if (ver >= 231) {
    h.dMojiBG = 0.5;
    h.nMojiBG = 1;
  }
  for (int i = 0; i < 10; ++i)
    h.adFukusenSuuchi[i] = 1.0 + i;
  h.dRyougawaFukusenTomeDe = 0;

  doc.EntCol.assign(kColorCount, {});
  static constexpr std::int32_t kScreen[10] = {0xFFFFFF, 0x000000, 0x0000FF, 0x00C000, 0xFF0000,
                                               0xFF00FF, 0xFFFF00, 0x00FFFF, 0x808080, 0x008080};
  for (int i = 0; i < kColorCount; ++i) {
    TEntJwwColorNo& c = doc.EntCol[i];
    c.aPenColor = kScreen[i];
    c.anPenWidth = 1 + i % 16;
    c.aPrtPenColor = i == 0 ? 0xFFFFFF : kScreen[i];
    c.anPrtPenWidth = 1 + i * 50;
    c.adPrtTenHankei = 0.1 + 0.2 * i;
  }
  doc.EntLtp1.assign(kLineTypeCount, {});
  static constexpr std::uint32_t kPatterns[8] = {0xFFFFFFFF, 0xFFFF0000, 0xFF00FF00, 0xF0F0F0F0,
                                                 0xFFF0FF00, 0xFF0F0F00, 0xFFFF0F0F, 0xCCCCCCCC};
  for (int i = 0; i < kLineTypeCount; ++i) {
    TEntJwwLineTypeNo& t = doc.EntLtp1[i];
    t.alLType = static_cast<std::int32_t>(kPatterns[i]);
    t.anTokushuSenUintDot = 16 + i;
    t.anTokushuSenPich = 1 + i;
    t.anPrtTokushuSenPich = 2 + i;
  }
  doc.EntLtp2.assign(kRandomLineCount, {});
  for (int i = 0; i < kRandomLineCount; ++i) {
    TEntJwwRandomLineNo& t = doc.EntLtp2[i];
    t.alLType = static_cast<std::int32_t>(kPatterns[i] ^ 0x0F0F0F0Fu);
    t.anRandSenWide = 10 + i;
    t.anTokushuSenPich = 3 + i;
    t.anPrtRandSenWide = 20 + i;
    t.anPrtTokushuSenPich = 4 + i;
  }
  doc.EntLtp3.assign(kDoubleLineTypeCount, {});
  for (int i = 0; i < kDoubleLineTypeCount; ++i) {
    TEntJwwLineTypeNo& t = doc.EntLtp3[i];
    t.alLType = static_cast<std::int32_t>(kPatterns[i + 4]);
    t.anTokushuSenUintDot = 32;
    t.anTokushuSenPich = 2 + i;
    t.anPrtTokushuSenPich = 3 + i;
  }
  h.nDrawGamenTen = 1;
  h.nDrawPrtTen = 1;
  h.nBitMapFirstDraw = 0;
  h.nGyakuDraw = 0;
  h.nGyakuSearch = 0;
  h.nColorPrint = 1;
  h.nLayJunPrint = 0;
  h.nColJunPrint = 0;
  h.nPrtRenzoku = 0;
  h.nPrtKyoutsuuGray = 0;
  // Version 600 and above keep the print resolution beside the flag; below,
  // only the flag survives a file.
  h.nPrtDpi = ver >= 600 ? 60 : 0;
  h.nPrtDispOnlyNonDraw = 1;
  if (ver >= 223) {
    h.lnDrawTime = 3725;
    h.nEyeInit = 1;
    h.dEye_H_Ichi_1 = 100;
    h.dEye_H_Ichi_2 = 200;
    h.dEye_H_Ichi_3 = 300;
    h.dEye_Z_Ichi_1 = 1.5;
    h.dEye_Y_Ichi_1 = 2.5;
    h.dEye_Z_Ichi_2 = 3.5;
    h.dEye_Y_Ichi_2 = 4.5;
    h.dEye_V_Ichi_3 = 5.5;
  }
  if (ver >= 225) {
    h.dSenNagasaSnpou = 1.0;
    h.dBoxSunpouX = 2.0;
    h.dBoxSunpouY = 3.0;
    h.dEnHankeiSnpou = 4.0;
  }
  if (ver >= 230) {
    h.nSolidNinniColor = 1;
    h.SolidColor = 0x00C0C0C0;
  }

  doc.EntColS.assign(kColorExCount, {});
  doc.EntLtpS.assign(kLineTypeExCount, {});
  if (ver >= 420) {
    for (int i = 0; i < kColorExCount; ++i) {
      TEntJwwColorExNo& c = doc.EntColS[i];
      c.aPenColor =
          static_cast<std::int32_t>((static_cast<std::uint32_t>(i) * 0x010305u) & 0xFFFFFF);
      c.anPenWidth = 1 + i % 10;
      c.astrUDColorName = i < 17 ? std::u16string(kColorNames[i]) : u"Color_" + Num(i);
      // Entries from 17 on are written with their screen colour as print colour.
      c.aPrtPenColor = i < 17 ? (c.aPenColor ^ 0x0F0F0F) : c.aPenColor;
      c.anPrtPenWidth = 1 + i % 50;
      c.adPrtTenHankei = 0.5 + 0.01 * i;
    }
    for (int i = 0; i < kLineTypeExCount; ++i) {
      TEntJwwLineTypeExNo& t = doc.EntLtpS[i];
      t.alLType = static_cast<std::int32_t>(kPatterns[i % 8] ^ static_cast<std::uint32_t>(i));
      t.anTokushuSenUintDot = 8 + i % 8;
      t.anTokushuSenPich = 1 + i % 4;
      t.anPrtTokushuSenPich = 1 + i % 5;
      t.astrUDLTypeName = i < 17 ? std::u16string(kLineTypeNames[i]) : u"user" + Num(i);
      t.anUDLTypeSegment = 2 * (1 + i % 4);  // 2, 4, 6 or 8
      for (int k = 1; k <= 10; ++k)
        t.aadUDLTypePitch[k] = k <= t.anUDLTypeSegment ? 0.5 * k : 0;
    }
  }
  doc.EntMoj.assign(kMojiTypeCount, {});
  for (int i = 0; i < kMojiTypeCount; ++i) {
    TEntJwwMojiType& m = doc.EntMoj[i];
    m.adMojiX = 2.0 + 0.5 * i;
    m.adMojiY = 2.5 + 0.5 * i;
    m.adMojiD = 0.1 * i;
    m.anMojiCol = 1 + i % 9;
  }
  h.dMojiSizeX = 3.0;
  h.dMojiSizeY = 3.5;
  h.dMojiKankaku = 0.0;
  h.nMojiColor = 1;
  h.nMojiShu = 3;
  h.dMojiSeiriGyouKan = 1.5;
  h.dMojiSeiriSuu = 10.0;
  h.nMojiKijunZureOn = 1;
  h.adMojiKijunZureX0 = 0.1;
  h.adMojiKijunZureX1 = 0.2;
  h.adMojiKijunZureX2 = 0.3;
  h.adMojiKijunZureY0 = 0.4;
  h.adMojiKijunZureY1 = 0.5;
  h.adMojiKijunZureY2 = 0.6;
}

void BuildDrawing(const DrawingSpec& spec, TJwwData& doc) {
  if (!HoldsDrawingOf(doc, spec.version)) InitDrawing(doc, spec.version, spec.paper);
  if (spec.scale != 1) {
    for (TEntJwwLayerGroup& g : doc.EntLgrp)
      g.adScale = spec.scale;
  }
  Builder(spec, doc).Run();
}

bool WriteDrawing(const DrawingSpec& spec, const std::string& path) {
  TempDir images;
  TJwwData doc;
  doc.BindImageFolder = images.upath();
  BuildDrawing(spec, doc);
  doc.SetFileOutOption(spec.utf16 ? 32 : 0);
  return doc.FileOut(Utf8ToUtf16(path), spec.version);
}

bool WriteSampleSheets(const std::string& folder) {
  DrawingSpec spec;
  spec.lines = 10;
  for (const auto& [name, scale] : {std::pair{"配置図.jww", 200},
                                    {"1階平面図.jww", 100},
                                    {"2階平面図.jww", 100},
                                    {"立面図.jww", 100},
                                    {"断面図.jww", 50}}) {
    spec.scale = scale;
    spec.groups = 1;
    if (!WriteDrawing(spec, folder + name)) return false;
  }
  return true;
}

TempDir::TempDir() : path_(MakeScratchFolder()) {}

TempDir::~TempDir() {
  RemoveScratchFolder(path_);
}

std::u16string TempDir::upath() const {
  return Utf8ToUtf16(path_);
}

std::u16string TempDir::ufile(const std::string& name) const {
  return Utf8ToUtf16(path_ + name);
}

}  // namespace plattero::testing
