#include "tiling/drawing_traits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tiling/layer_groups.h"
#include "util/numbers.h"
#include "util/text.h"

namespace plattero {

namespace {

// Lists in a warning stop after this many entries.
constexpr std::size_t kMaxListed = 8;
// Cells that only touch do not overlap; rounding in the offsets must not make
// them.
constexpr double kTouch = 1e-6;

struct TBoxAdder {
  TDrawingTraits& t;
  void operator()(double x, double y) const {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (t.content_empty) {
      t.min_x = t.max_x = x;
      t.min_y = t.max_y = y;
      t.content_empty = false;
      return;
    }
    t.min_x = std::min(t.min_x, x);
    t.max_x = std::max(t.max_x, x);
    t.min_y = std::min(t.min_y, y);
    t.max_y = std::max(t.max_y, y);
  }
};

void Use(TDrawingTraits& t, const TEntJwwAttr& att) {
  if (att.nGLayer < kTraitGroups && att.nLayer < 16)
    t.layers_used[att.nGLayer * 16 + att.nLayer] = true;
}

template <class T>
const T* At(const std::vector<T>& list, std::int32_t i) {
  return i >= 0 && static_cast<std::size_t>(i) < list.size() ? &list[static_cast<std::size_t>(i)]
                                                             : nullptr;
}

char16_t HexDigit(int v) {
  return static_cast<char16_t>(v < 10 ? u'0' + v : u'A' + v - 10);
}

// Built by appending: GCC 12 warns falsely (-Wrestrict) about a literal
// followed by concatenations.
std::u16string GroupName(int g) {
  std::u16string s(1, u'[');
  s += HexDigit(g);
  s += u']';
  return s;
}

std::u16string LayerName(int g, int l) {
  std::u16string s(1, u'[');
  s += HexDigit(g);
  s += u'-';
  s += HexDigit(l);
  s += u']';
  return s;
}

std::string Ascii(const std::u16string& s) {
  return std::string(s.begin(), s.end());
}

// "1/100" for a scale of 100; fractions as the shortest decimals.
std::u16string ScaleText(double s) {
  // Spelled out: C libraries print these differently.
  if (std::isnan(s)) return u"1/nan";
  if (std::isinf(s)) return s > 0 ? u"1/inf" : u"1/-inf";
  if (std::fabs(s) < 1e9 && s == std::floor(s)) {
    return u"1/" + IntStr(static_cast<std::int32_t>(s));
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", s);
  const std::string t = buf;
  return u"1/" + std::u16string(t.begin(), t.end());
}

std::string JoinAscii(const std::vector<std::u16string>& items) {
  std::string out;
  for (std::size_t i = 0; i < items.size() && i < kMaxListed; ++i) {
    if (i) out += ", ";
    out += Ascii(items[i]);
  }
  if (items.size() > kMaxListed) out += ", ...";
  return out;
}

bool Overlap(double ax0, double ay0, double ax1, double ay1, const TTilePlace& c) {
  return ax0 < c.x + c.cell_w / 2 - kTouch && ax1 > c.x - c.cell_w / 2 + kTouch &&
         ay0 < c.y + c.cell_h / 2 - kTouch && ay1 > c.y - c.cell_h / 2 + kTouch;
}

// Column and row of a bucket (whole numbers below 1e15) as a key.
std::uint64_t BucketKey(double column, double row) {
  const auto c = static_cast<std::uint64_t>(static_cast<std::int64_t>(column));
  const auto r = static_cast<std::uint64_t>(static_cast<std::int64_t>(row));
  return c * 0x9E3779B97F4A7C15u ^ r;
}

TTileWarning Make(TTileWarning::Kind kind, const std::u16string& file, std::size_t tile) {
  TTileWarning w;
  w.kind = kind;
  w.file = file;
  w.tile = static_cast<std::ptrdiff_t>(tile);
  return w;
}

// Layers with entities shown by `shows` and hidden by `hides`: whole groups
// named as a group when `hides` hides the group and `shows` shows it.
std::vector<std::u16string> VisibilityChanges(const TDrawingTraits& used_in,
                                              const TDrawingTraits& shows,
                                              const TDrawingTraits& hides) {
  std::vector<std::u16string> names;
  for (int g = 0; g < kTraitGroups; ++g) {
    if (!used_in.GroupUsed(g) || !shows.groups_shown[g]) continue;
    if (!hides.groups_shown[g]) {
      bool any = false;
      for (int l = 0; l < 16 && !any; ++l)
        any = used_in.layers_used[g * 16 + l] && shows.layers_shown[g * 16 + l];
      if (any) names.push_back(GroupName(g));
      continue;
    }
    for (int l = 0; l < 16; ++l) {
      const int i = g * 16 + l;
      if (used_in.layers_used[i] && shows.layers_shown[i] && !hides.layers_shown[i])
        names.push_back(LayerName(g, l));
    }
  }
  return names;
}

}  // namespace

bool TDrawingTraits::GroupUsed(int g) const {
  for (int l = 0; l < 16; ++l)
    if (layers_used[g * 16 + l]) return true;
  return false;
}

TDrawingTraits TraitsOf(const TJwwData& doc) {
  TDrawingTraits t;
  t.nZumen = doc.Enthd.nZumen;
  for (int g = 0; g < kTraitGroups && static_cast<std::size_t>(g) < doc.EntLgrp.size(); ++g) {
    t.scales[g] = doc.EntLgrp[g].adScale;
    t.groups_shown[g] = doc.EntLgrp[g].anGLay != 0;
  }
  for (int i = 0; i < kTraitLayers && static_cast<std::size_t>(i) < doc.EntLay.size(); ++i)
    t.layers_shown[i] = doc.EntLay[i].aanLay != 0;
  const TBoxAdder add{t};
  for (const TEntJwwNo& no : doc.EntNo) {
    switch (no.EntType) {
      case kEntLine:
        if (const auto* e = At(doc.EntLine, no.EntNo)) {
          Use(t, e->att);
          add(e->start_x, e->start_y);
          add(e->end_x, e->end_y);
        }
        break;
      case kEntEnko:
        if (const auto* e = At(doc.EntEnko, no.EntNo)) {
          Use(t, e->att);
          // The box of the whole circle: enough to tell whether it leaves
          // its paper.
          const double r = std::fabs(e->dHankei) * std::max(1.0, std::fabs(e->dHenpeiRitsu));
          add(e->start_x - r, e->start_y - r);
          add(e->start_x + r, e->start_y + r);
        }
        break;
      case kEntTen:
        if (const auto* e = At(doc.EntTen, no.EntNo)) {
          Use(t, e->att);
          if (e->bKariten == 0) add(e->start_x, e->start_y);
        }
        break;
      case kEntMoji:
        if (const auto* e = At(doc.EntMoji, no.EntNo); e && !IsFilteredText(*e)) {
          Use(t, e->att);
          add(e->start_x, e->start_y);
          add(e->end_x, e->end_y);
        }
        break;
      case kEntSunpo:
        if (const auto* e = At(doc.EntSunpo, no.EntNo)) {
          Use(t, e->att);
          add(e->Sen.start_x, e->Sen.start_y);
          add(e->Sen.end_x, e->Sen.end_y);
          add(e->Moji.start_x, e->Moji.start_y);
          add(e->Moji.end_x, e->Moji.end_y);
        }
        break;
      case kEntSolid:
        if (const auto* e = At(doc.EntSolid, no.EntNo)) {
          Use(t, e->att);
          add(e->start_x, e->start_y);
          if (e->att.nPenStyle < 101) {
            add(e->end_x, e->end_y);
            add(e->DPoint2_x, e->DPoint2_y);
            add(e->DPoint3_x, e->DPoint3_y);
          }
        }
        break;
      case kEntBlock:
        if (const auto* e = At(doc.EntBlock, no.EntNo)) {
          Use(t, e->att);
          add(e->DPKijunTen_x, e->DPKijunTen_y);
        }
        break;
      default:
        break;
    }
  }
  return t;
}

TTileCells::TTileCells(std::vector<TTilePlace> places) : places_(std::move(places)) {
  for (const TTilePlace& p : places_) {
    bucket_w_ = std::max(bucket_w_, p.cell_w);
    bucket_h_ = std::max(bucket_h_, p.cell_h);
  }
  // Columns and rows are counted in doubles and must stay exact integers.
  constexpr double kMaxBucket = 1e15;
  const auto bucket = [](double v, double size) { return std::floor(v / size); };
  bool usable =
      bucket_w_ > 0 && bucket_h_ > 0 && std::isfinite(bucket_w_) && std::isfinite(bucket_h_);
  for (std::size_t i = 0; usable && i < places_.size(); ++i) {
    const TTilePlace& p = places_[i];
    const double c0 = bucket(p.x - p.cell_w / 2, bucket_w_),
                 c1 = bucket(p.x + p.cell_w / 2, bucket_w_);
    const double r0 = bucket(p.y - p.cell_h / 2, bucket_h_),
                 r1 = bucket(p.y + p.cell_h / 2, bucket_h_);
    if (!(std::fabs(c0) < kMaxBucket && std::fabs(c1) < kMaxBucket && std::fabs(r0) < kMaxBucket &&
          std::fabs(r1) < kMaxBucket)) {
      usable = false;
      break;
    }
    if (i == 0 || c0 < min_col_) min_col_ = c0;
    if (i == 0 || c1 > max_col_) max_col_ = c1;
    if (i == 0 || r0 < min_row_) min_row_ = r0;
    if (i == 0 || r1 > max_row_) max_row_ = r1;
    for (double c = c0; c <= c1; ++c) {
      for (double r = r0; r <= r1; ++r)
        buckets_[BucketKey(c, r)].push_back(i);
    }
  }
  if (!usable) buckets_.clear();
}

std::size_t TTileCells::Scan(double x0, double y0, double x1, double y1, std::size_t except) const {
  for (std::size_t j = 0; j < places_.size(); ++j) {
    if (j != except && Overlap(x0, y0, x1, y1, places_[j])) return j;
  }
  return places_.size();
}

std::size_t TTileCells::FirstOverlap(double x0, double y0, double x1, double y1,
                                     std::size_t except) const {
  const std::size_t none = places_.size();
  if (buckets_.empty()) return Scan(x0, y0, x1, y1, except);
  // A cell and a box that overlap share a bucket: both reach into the
  // bucket of any point they share.
  const double c0 = std::max(min_col_, std::floor(x0 / bucket_w_));
  const double c1 = std::min(max_col_, std::floor(x1 / bucket_w_));
  const double r0 = std::max(min_row_, std::floor(y0 / bucket_h_));
  const double r1 = std::min(max_row_, std::floor(y1 / bucket_h_));
  if (!(c0 <= c1 && r0 <= r1)) return none;
  // A box over more buckets than there are is over much of the arrangement:
  // the first tiles are the likely ones.
  if ((c1 - c0 + 1) * (r1 - r0 + 1) > static_cast<double>(buckets_.size()))
    return Scan(x0, y0, x1, y1, except);
  std::size_t first = none;
  for (double c = c0; c <= c1; ++c) {
    for (double r = r0; r <= r1; ++r) {
      const auto it = buckets_.find(BucketKey(c, r));
      if (it == buckets_.end()) continue;
      for (const std::size_t j : it->second) {
        if (j >= first) break;
        if (j != except && Overlap(x0, y0, x1, y1, places_[j])) first = j;
      }
    }
  }
  return first;
}

std::vector<TTileWarning> CompareTraits(const TDrawingTraits& base, const TDrawingTraits& own,
                                        const TTileCells& cells, std::size_t tile,
                                        TTileSize tile_size, const std::u16string& file) {
  const std::vector<TTilePlace>& places = cells.Places();
  std::vector<TTileWarning> out;
  const TPaperSize base_paper = PaperSizeOf(base.nZumen);
  const TPaperSize paper = TilePaperOf(own.nZumen, base_paper);
  if (tile_size == TTileSize::kBase &&
      (paper.papx != base_paper.papx || paper.papy != base_paper.papy)) {
    TTileWarning w = Make(TTileWarning::kPaperSize, file, tile);
    w.detail = paper.caption;
    w.detail2 = base_paper.caption;
    w.reason = "paper " + std::to_string(static_cast<int>(paper.papx)) + " x " +
               std::to_string(static_cast<int>(paper.papy)) + " mm, tiles " +
               std::to_string(static_cast<int>(base_paper.papx)) + " x " +
               std::to_string(static_cast<int>(base_paper.papy)) + " mm";
    out.push_back(std::move(w));
  }
  if (tile < places.size() && !own.content_empty) {
    const TTilePlace& p = places[tile];
    const bool beyond_paper =
        own.min_x < -paper.papx / 2 - kTouch || own.max_x > paper.papx / 2 + kTouch ||
        own.min_y < -paper.papy / 2 - kTouch || own.max_y > paper.papy / 2 + kTouch;
    const bool beyond_cell =
        own.min_x < -p.cell_w / 2 - kTouch || own.max_x > p.cell_w / 2 + kTouch ||
        own.min_y < -p.cell_h / 2 - kTouch || own.max_y > p.cell_h / 2 + kTouch;
    if (beyond_paper && beyond_cell) {
      const std::size_t other = cells.FirstOverlap(own.min_x + p.x, own.min_y + p.y,
                                                   own.max_x + p.x, own.max_y + p.y, tile);
      if (other < places.size()) {
        TTileWarning w = Make(TTileWarning::kBeyondCell, file, tile);
        w.reason = "its content leaves its paper and reaches into the cell of tile " +
                   std::to_string(other + 1);
        out.push_back(std::move(w));
      }
    }
  }
  std::vector<std::u16string> scales;
  std::string scale_reason;
  for (int g = 0; g < kTraitGroups; ++g) {
    if (!own.GroupUsed(g) || SameScale(own.scales[g], base.scales[g])) continue;
    scales.push_back(GroupName(g) + u" " + ScaleText(own.scales[g]) + u"→" +
                     ScaleText(base.scales[g]));
    if (scales.size() <= kMaxListed) {
      if (!scale_reason.empty()) scale_reason += ", ";
      scale_reason += "group " + std::string(1, static_cast<char>(HexDigit(g))) + " at " +
                      Ascii(ScaleText(own.scales[g])) + ", base " +
                      Ascii(ScaleText(base.scales[g]));
    }
  }
  if (!scales.empty()) {
    TTileWarning w = Make(TTileWarning::kScale, file, tile);
    w.detail = WarningList(scales);
    w.reason = scale_reason + (scales.size() > kMaxListed ? ", ..." : "");
    out.push_back(std::move(w));
  }
  const std::vector<std::u16string> hidden = VisibilityChanges(own, own, base);
  if (!hidden.empty()) {
    TTileWarning w = Make(TTileWarning::kHidden, file, tile);
    w.detail = WarningList(hidden);
    w.reason = "entities on layers the base drawing hides: " + JoinAscii(hidden);
    out.push_back(std::move(w));
  }
  const std::vector<std::u16string> unhidden = VisibilityChanges(own, base, own);
  if (!unhidden.empty()) {
    TTileWarning w = Make(TTileWarning::kUnhidden, file, tile);
    w.detail = WarningList(unhidden);
    w.reason = "entities on layers it hides that the base drawing shows: " + JoinAscii(unhidden);
    out.push_back(std::move(w));
  }
  return out;
}

TTileWarning OverlapWarning(std::size_t tile, std::size_t other, const std::u16string& file) {
  TTileWarning w = Make(TTileWarning::kOverlap, file, tile);
  w.detail = IntStr(static_cast<std::int32_t>(std::min<std::size_t>(other + 1, INT32_MAX)));
  w.reason =
      "its cell overlaps the cell of tile " + std::to_string(other + 1) + " (a negative gap)";
  return w;
}

std::u16string WarningList(const std::vector<std::u16string>& items) {
  std::u16string out;
  for (std::size_t i = 0; i < items.size() && i < kMaxListed; ++i) {
    if (i) out += u"、";
    out += items[i];
  }
  if (items.size() > kMaxListed) out += u"、…";
  return out;
}

std::u16string WarningNote(TTileWarning::Kind kind) {
  switch (kind) {
    case TTileWarning::kPaperSize:
      return u"用紙違い";
    case TTileWarning::kBeyondCell:
      return u"はみ出し";
    case TTileWarning::kScale:
      return u"縮尺違い";
    case TTileWarning::kHidden:
      return u"非表示になる図形";
    case TTileWarning::kUnhidden:
      return u"表示される図形";
    case TTileWarning::kOverlap:
      return u"重なり";
    default:
      return {};
  }
}

}  // namespace plattero
