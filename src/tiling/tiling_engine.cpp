#include "tiling/tiling_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <future>
#include <map>
#include <new>
#include <stdexcept>
#include <system_error>
#include <tuple>

#include "jww/archive.h"
#include "jww/entity_io.h"
#include "jww/limits.h"
#include "platform/file_system.h"
#include "tiling/drawing_traits.h"
#include "util/files.h"
#include "util/memory.h"
#include "util/numbers.h"
#include "util/text.h"

namespace plattero {

namespace {

constexpr char16_t kSigMarker[] = u"@@SFIGORGFLAG@@";

TTileWarning Warning(TTileWarning::Kind kind, const std::u16string& file, std::string reason = {}) {
  TTileWarning w;
  w.kind = kind;
  w.file = file;
  w.reason = std::move(reason);
  return w;
}

EntityListsOut TopLevel(TJwwData& d) {
  return {d.EntNo, d.EntLine, d.EntEnko, d.EntTen, d.EntMoji, d.EntSunpo, d.EntSolid, d.EntBlock};
}

EntityListsOut Nested(TEntJwwBlockDef& b) {
  return {b.mNo, b.mLine, b.mEnko, b.mTen, b.mMoji, b.mSunpo, b.mSolid, b.mBlock};
}

// The attribute block of the entity an order entry designates, or null.
TEntJwwAttr* AttrOf(EntityListsOut& l, const TEntJwwNo& no) {
  if (no.EntNo < 0) return nullptr;
  const auto i = static_cast<std::size_t>(no.EntNo);
  switch (no.EntType) {
    case kEntLine:
      return i < l.line.size() ? &l.line[i].att : nullptr;
    case kEntEnko:
      return i < l.enko.size() ? &l.enko[i].att : nullptr;
    case kEntTen:
      return i < l.ten.size() ? &l.ten[i].att : nullptr;
    case kEntMoji:
      return i < l.moji.size() ? &l.moji[i].att : nullptr;
    case kEntSunpo:
      return i < l.sunpo.size() ? &l.sunpo[i].att : nullptr;
    case kEntSolid:
      return i < l.solid.size() ? &l.solid[i].att : nullptr;
    case kEntBlock:
      return i < l.block.size() ? &l.block[i].att : nullptr;
    default:
      return nullptr;
  }
}

bool IsFilteredEntry(EntityListsOut& l, const TEntJwwNo& no) {
  return no.EntType == kEntMoji && AttrOf(l, no) && IsFilteredText(l.moji[no.EntNo]);
}

// The count and the gaps as typed (util/numbers.h); where a text is no number
// the run was refused by CheckChoices, and what is laid out meanwhile takes 0.
std::int32_t CountOf(const std::u16string& text) {
  return TypedInteger(text).value_or(0);
}


// What a definition shows, as bytes that are equal exactly when two
// definitions show the same: its attributes and its entities as the writer
// stores them, curve numbers by their order of first appearance (each
// drawing numbers its own) and nested references by what `placed` makes of
// their numbers (the row of the definition they place). Name, number and
// time stay out.
std::string BlockContents(const TEntJwwBlockDef& def,
                          const std::function<std::uint32_t(std::uint32_t)>& placed) {
  TEntJwwBlockDef b = def;
  EntityListsOut lists = Nested(b);
  std::unordered_map<std::uint32_t, std::uint32_t> order;
  auto renumber = [&order](std::uint32_t& c) {
    if (c != 0) c = order.emplace(c, static_cast<std::uint32_t>(order.size() + 1)).first->second;
  };
  renumber(b.att.lGroup);
  for (const TEntJwwNo& no : b.mNo) {
    if (TEntJwwAttr* att = AttrOf(lists, no)) renumber(att->lGroup);
  }
  MemorySink sink;
  {
    ArchiveWriter w(sink);
    w.SetUtf16(true);  // no text may lose characters to the code page
    WriteAttr(w, 700, b.att, kEntBlockDef);
    ClassTable classes;
    EntityWriteContext ctx;
    ctx.block_no = placed;
    WriteEntityList(w, classes, ctx,
                    {b.mNo, b.mLine, b.mEnko, b.mTen, b.mMoji, b.mSunpo, b.mSolid, b.mBlock});
    w.Flush();
  }
  return std::string(sink.bytes.begin(), sink.bytes.end());
}

// A name key and contents as one text, for looking both up at once.
std::string Keyed(const std::u16string& key, const std::string& contents) {
  std::string s = std::to_string(key.size()) + ':';
  for (char16_t c : key) {
    s += static_cast<char>(c & 0xFF);
    s += static_cast<char>(c >> 8);
  }
  return s + contents;
}

double GapOf(const std::u16string& text) {
  return TypedNumber(text).value_or(0.0);
}

std::uint32_t Renumbered(std::int64_t index_plus_base, bool negative) {
  // Wrapped to 32 bits, as the format stores it; no signed overflow.
  const auto v = static_cast<std::uint64_t>(index_plus_base);
  return static_cast<std::uint32_t>(negative ? (~v + 1) : v);
}

bool SameFileContents(const std::u16string& a, const std::u16string& b) {
  platform::TInputFile fa, fb;
  if (!fa.Open(a) || !fb.Open(b) || fa.Size() != fb.Size()) return false;
  std::vector<std::uint8_t> ba(65536), bb(65536);
  for (;;) {
    const std::ptrdiff_t na = fa.ReadFully(ba.data(), ba.size());
    const std::ptrdiff_t nb = fb.ReadFully(bb.data(), bb.size());
    if (na < 0 || na != nb) return false;
    if (!std::equal(ba.begin(), ba.begin() + na, bb.begin())) return false;
    if (na == 0) return true;
  }
}

// A hash of a file's contents (FNV-1a, 64 bits); 0 for a file that cannot be
// read. Equal files have equal hashes; SameFileContents decides.
std::uint64_t ContentHash(const std::u16string& path) {
  platform::TInputFile f;
  if (!f.Open(path)) return 0;
  std::uint64_t h = 0xcbf29ce484222325ull;
  std::vector<std::uint8_t> buf(65536);
  for (;;) {
    const std::ptrdiff_t n = f.Read(buf.data(), buf.size());
    if (n <= 0) return n < 0 ? 0 : h;
    for (std::ptrdiff_t i = 0; i < n; ++i)
      h = (h ^ buf[static_cast<std::size_t>(i)]) * 0x100000001b3ull;
  }
}

// Gives a list room for `incoming` more entries, and at least `spare`. A list
// too small grows to `expected` entries when that is more, else by half its
// capacity at least, so that appending drawing after drawing copies every
// entry a bounded number of times (an exact reservation per drawing would
// copy the whole list on every drawing).
template <class T>
void RoomFor(std::vector<T>& list, std::size_t incoming, std::size_t spare = 0,
             std::size_t expected = 0) {
  const std::size_t need = list.size() + std::max(incoming, spare);
  if (need <= list.capacity()) return;
  ReserveLarge(list, std::max({need, expected, list.capacity() + list.capacity() / 2}));
}

// Room in the combined drawing's top-level lists for the entities of `from`
// (when given), and at least 1000 more of every kind. `scale` (at least 1)
// tells how many drawings like `from` are still to come, this one included:
// a list that must grow is sized for all of them at once, so that a long
// run moves its entries once instead of at every growth. The nested lists of
// definitions get none: the merge copies definitions whole and never appends
// to them. When memory runs out the lists stay as they are; appending grows
// them itself.
void AddEntRoom(TJwwData& to, const TJwwData* from, double scale = 1.0) {
  constexpr std::size_t kSpare = 1000;
  auto count = [from](auto member) { return from ? (from->*member).size() : 0; };
  auto room = [&](auto& list, auto member) {
    const std::size_t incoming = count(member);
    const double expected =
        static_cast<double>(list.size()) + scale * static_cast<double>(incoming);
    // Never more than the lists could ever hold; a wild guess only costs
    // address space, as untouched room is not backed by memory.
    const double cap = static_cast<double>(list.max_size() / 2);
    RoomFor(list, incoming, kSpare, static_cast<std::size_t>(std::min(expected, cap)));
  };
  try {
    room(to.EntNo, &TJwwData::EntNo);
    room(to.EntLine, &TJwwData::EntLine);
    room(to.EntEnko, &TJwwData::EntEnko);
    room(to.EntTen, &TJwwData::EntTen);
    room(to.EntMoji, &TJwwData::EntMoji);
    room(to.EntSunpo, &TJwwData::EntSunpo);
    room(to.EntSolid, &TJwwData::EntSolid);
    room(to.EntBlock, &TJwwData::EntBlock);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
}

// Moves an image file of the drawing being added into the combined
// drawing's folder, under `destination` when no file has that name yet (the
// two folders lie side by side, so this is a rename: nothing is copied). A
// file that cannot be moved is copied; false when neither worked.
bool MoveIfAbsent(const std::u16string& source, const std::u16string& destination,
                  platform::TFileStatus& status) {
  if (!IsExistingFile(source) || IsExistingFile(destination)) return true;
  if (platform::MoveFileNoReplace(source, destination, &status)) return true;
  if (platform::KindOf(destination) != platform::TFileKind::kMissing) return true;
  try {
    CopyFileKeepTimes(source, destination);
  } catch (...) {
  }
  if (IsExistingFile(destination)) return true;
  DeleteFileQuiet(destination);
  if (status.ok()) status = {platform::TFileError::kOther, 0, "could not be copied"};
  return false;
}

}  // namespace

TPaperSize PaperSizeOf(std::int32_t nZumen) {
  switch (nZumen) {
    case 1:
      return {841, 594, u"（A1）"};
    case 2:
      return {594, 420, u"（A2）"};
    case 3:
      return {420, 297, u"（A3）"};
    case 4:
      return {297, 210, u"（A4）"};
    case 8:
      return {1682, 1189, u"（2A）"};
    case 9:
      return {2378, 1682, u"（3A）"};
    case 10:
      return {3364, 2378, u"（4A）"};
    case 11:
      return {4756, 3364, u"（5A）"};
    case 12:
      return {10000, 7073, u"（10m）"};
    case 13:
      return {50000, 35366, u"（50m）"};
    case 14:
      return {100000, 70732, u"（100m）"};
    default:
      return {1189, 841, u"（A0）"};
  }
}

bool IsKnownPaper(std::int32_t nZumen) {
  return (nZumen >= 0 && nZumen <= 4) || (nZumen >= 8 && nZumen <= 14);
}

TPaperSize TilePaperOf(std::optional<std::int32_t> nZumen, const TPaperSize& base) {
  return nZumen && IsKnownPaper(*nZumen) ? PaperSizeOf(*nZumen) : base;
}

std::u16string CountLabelFor(int order) {
  return order > 1 ? u"縦数：" : u"横数：";
}

std::u16string ReenterMessage(std::u16string_view caption) {
  return std::u16string(caption) + u" の数値を再入力して下さい。";
}

std::u16string FileErrorReason(const platform::TFileStatus& status) {
  using platform::TFileError;
  switch (status.error) {
    case TFileError::kNone:
      return {};
    case TFileError::kNotFound:
      return u"ファイルまたはフォルダーが見つかりません。";
    case TFileError::kPermission:
      return u"アクセスが拒否されました。";
    case TFileError::kNoSpace:
      return u"ディスクの空き容量が足りません。";
    case TFileError::kTooLarge:
      return u"ファイルが大きすぎます（ファイルサイズの上限を超えます）。";
    case TFileError::kNameTooLong:
      return u"ファイル名が長すぎます。";
    case TFileError::kNotRegular:
      return u"通常のファイルではありません（デバイス、FIFO など）。";
    case TFileError::kIsFolder:
      return u"同じ名前のフォルダーがあります。";
    case TFileError::kInUse:
      return u"ほかのプログラムが使用中です。";
    case TFileError::kSameFile:
      return u"読み込む図面と同じファイルです。";
    case TFileError::kOther:
      break;
  }
  return u"ファイルを書き込めませんでした。";
}

std::u16string BlockNameKey(const std::u16string& name) {
  std::int32_t p = PosIndex(kSigMarker, UpperStr(name));
  return p >= 0 ? SubStr(name, 0, p) : name;
}

bool IsFilteredText(const TEntJwwMoji& m) {
  if (SamePoint(m.start_x, m.start_y, m.end_x, m.end_y)) return true;
  return SamePoint(m.start_x, m.start_y, 0, 0) && SamePoint(m.end_x, m.end_y, 0.01, 0.01);
}

std::vector<std::pair<double, double>> TileOffsets(std::size_t files, int order, std::int32_t n,
                                                   double gx, double gy, double papx, double papy) {
  std::vector<std::pair<double, double>> offsets;
  offsets.reserve(files);
  double x = 0, y = 0;
  std::int32_t k = 0;
  for (std::size_t i = 0; i < files; ++i) {
    offsets.push_back({x, y});
    ++k;
    switch (order) {
      case 0:
        x = (x + papx) + gx;
        if (k >= n) k = 0, x = 0, y = (y + papy) + gy;
        break;
      case 1:
        x = (x + papx) + gx;
        if (k >= n) k = 0, x = 0, y = (y - papy) - gy;
        break;
      case 2:
        y = (y + papy) + gy;
        if (k >= n) k = 0, y = 0, x = (x + papx) + gx;
        break;
      default:
        y = (y - papy) - gy;
        if (k >= n) k = 0, y = 0, x = (x + papx) + gx;
        break;
    }
  }
  return offsets;
}

std::vector<std::pair<double, double>> TileOffsets(const TTilingInputs& in, double papx,
                                                   double papy) {
  return TileOffsets(in.files.size(), in.order, CountOf(in.count_text), GapOf(in.gap_x_text),
                     GapOf(in.gap_y_text), papx, papy);
}

std::vector<TTilePlace> TilePlaces(const TTilingInputs& in, const TPaperSize& base,
                                   const std::vector<TPaperSize>& papers) {
  const std::size_t count = in.files.size();
  std::vector<TTilePlace> places(count);
  for (std::size_t i = 0; i < count; ++i) {
    const TPaperSize& paper = i < papers.size() ? papers[i] : base;
    places[i].paper_w = paper.papx;
    places[i].paper_h = paper.papy;
    places[i].cell_w = base.papx;
    places[i].cell_h = base.papy;
  }
  if (in.tile_size == TTileSize::kBase) {
    const auto offsets = TileOffsets(in, base.papx, base.papy);
    for (std::size_t i = 0; i < count; ++i)
      std::tie(places[i].x, places[i].y) = offsets[i];
    return places;
  }
  if (count == 0) return places;
  // A count below 1 starts a new line with every tile, as TileOffsets does.
  const std::size_t n = static_cast<std::size_t>(std::max(1, CountOf(in.count_text)));
  const double gx = GapOf(in.gap_x_text), gy = GapOf(in.gap_y_text);
  // Rows for orders 0 and 1, columns for the others. Along a line each cell
  // is as long as its own sheet; across, as deep as the line's largest.
  const bool rows = in.order == 0 || in.order == 1;
  const double along_gap = rows ? gx : gy;
  const double across_gap = rows ? gy : gx;
  // Orders 1 and 3 step downwards: rows go down (1), tiles in a column go down (3).
  const double across_sign = in.order == 1 ? -1.0 : 1.0;
  const double along_sign = in.order == 0 || in.order == 1 || in.order == 2 ? 1.0 : -1.0;
  auto along = [&](std::size_t i) { return rows ? places[i].paper_w : places[i].paper_h; };
  auto across = [&](std::size_t i) { return rows ? places[i].paper_h : places[i].paper_w; };
  // Every line starts at the first tile's edge; the first line's middle is 0.
  const double start = -along(0) / 2;
  double middle = 0, previous_depth = 0;
  for (std::size_t first = 0; first < count; first += n) {
    const std::size_t last = std::min(count, first + n);
    double depth = 0;
    for (std::size_t i = first; i < last; ++i)
      depth = std::max(depth, across(i));
    if (first > 0) middle += across_sign * ((previous_depth / 2 + across_gap) + depth / 2);
    previous_depth = depth;
    double edge = start;  // measured in the direction the line grows
    for (std::size_t i = first; i < last; ++i) {
      const double centre = along_sign * (edge + along(i) / 2);
      edge = (edge + along(i)) + along_gap;
      TTilePlace& p = places[i];
      (rows ? p.x : p.y) = centre;
      (rows ? p.y : p.x) = middle;
      p.cell_w = rows ? p.paper_w : depth;
      p.cell_h = rows ? depth : p.paper_h;
    }
  }
  return places;
}

std::vector<std::ptrdiff_t> OverlappedCells(const std::vector<TTilePlace>& places) {
  // Cells that only touch do not overlap; rounding in the offsets must not
  // make them.
  constexpr double kTouch = 1e-6;
  struct TBox {
    double x0, y0, x1, y1;
  };
  auto box = [&](std::size_t i) {
    const TTilePlace& p = places[i];
    return TBox{p.x - p.cell_w / 2, p.y - p.cell_h / 2, p.x + p.cell_w / 2, p.y + p.cell_h / 2};
  };
  auto overlap = [](const TBox& a, const TBox& b) {
    return a.x0 < b.x1 - kTouch && b.x0 < a.x1 - kTouch && a.y0 < b.y1 - kTouch &&
           b.y0 < a.y1 - kTouch;
  };
  // Cells are found through a grid of the smallest cell's size, so that a
  // long list costs about as much per tile as a short one. A cell covering
  // many squares of it is compared with every other one instead. Squares
  // are numbered by doubles: far out, where they are no longer consecutive
  // integers, they are the representable ones.
  constexpr double kMaxSquares = 64;
  double gw = HUGE_VAL, gh = HUGE_VAL;
  for (const TTilePlace& p : places) {
    if (p.cell_w > 0 && p.cell_h > 0) gw = std::min(gw, p.cell_w), gh = std::min(gh, p.cell_h);
  }
  auto step = [](double v) {
    const double next = v + 1;
    return next > v ? next : std::nextafter(v, HUGE_VAL);
  };
  std::vector<std::ptrdiff_t> earlier(places.size(), -1);
  std::map<std::pair<double, double>, std::vector<std::size_t>> grid;
  std::map<std::tuple<double, double, double, double>, std::size_t> spots;
  std::vector<std::size_t> large, seen;
  for (std::size_t i = 0; i < places.size(); ++i) {
    const TBox b = box(i);
    if (!std::isfinite(b.x0) || !std::isfinite(b.y0) || !std::isfinite(b.x1) ||
        !std::isfinite(b.y1)) {
      continue;
    }
    // Tiles stacked on one spot: the first of them stands for all, so that
    // the grid keeps each box once.
    const auto [same, first] = spots.try_emplace(std::tuple(b.x0, b.y0, b.x1, b.y1), i);
    if (!first) {
      if (overlap(b, b)) earlier[i] = static_cast<std::ptrdiff_t>(same->second);
      continue;
    }
    auto check = [&](std::size_t j) {
      if (earlier[i] < 0 && overlap(b, box(j))) earlier[i] = static_cast<std::ptrdiff_t>(j);
    };
    for (std::size_t j : large)
      check(j);
    const double cx0 = std::floor(b.x0 / gw), cx1 = std::floor(b.x1 / gw);
    const double cy0 = std::floor(b.y0 / gh), cy1 = std::floor(b.y1 / gh);
    if (!((cx1 - cx0 + 1) * (cy1 - cy0 + 1) <= kMaxSquares)) {
      for (std::size_t j : seen)
        check(j);
      large.push_back(i);
      seen.push_back(i);
      continue;
    }
    for (double x = cx0; x <= cx1; x = step(x)) {
      for (double y = cy0; y <= cy1; y = step(y)) {
        std::vector<std::size_t>& square = grid[{x, y}];
        for (std::size_t k = 0; k < square.size() && earlier[i] < 0; ++k)
          check(square[k]);
        square.push_back(i);
      }
    }
    seen.push_back(i);
  }
  return earlier;
}

TTilingEngine::TTilingEngine(std::u16string tmp_path, std::u16string tmp_path2)
    : TmpPath(std::move(tmp_path)), TmpPath2(std::move(tmp_path2)) {
  JWW.BindImageFolder = TmpPath;
  JWW2.BindImageFolder = TmpPath2;
  JWW.BindImageExp = JWW.BindImageExr = true;
  JWW2.BindImageExp = JWW2.BindImageExr = true;
  // A drawing read ahead keeps its images in memory; they are extracted into
  // JWW2's folder when its turn comes.
  ahead_doc_->BindImageKeep = true;
}

std::optional<std::u16string> TTilingEngine::CheckInputs(const TTilingInputs& in) {
  return CheckChoices(in,
                      !in.files.empty() && !in.base_file.empty() && IsExistingFile(in.base_file));
}

std::optional<std::u16string> TTilingEngine::CheckChoices(const TTilingInputs& in,
                                                          bool base_found) {
  if (in.files.empty()) return u"図面ファイルを[追加]して下さい";
  if (in.base_file.empty()) return u"ベース図面を指定して下さい";
  if (!base_found) return kBaseMissingMessage;
  const std::int32_t n = CountOf(in.count_text);
  if (n <= 0 || n > 1000) return ReenterMessage(CountLabelFor(in.order));
  // A gap that is no number ("10mm", "1O", empty) or too large for a double
  // (1e400) is refused rather than taken as 0.
  if (!TypedNumber(in.gap_x_text)) return ReenterMessage(kGapXCaption);
  if (!TypedNumber(in.gap_y_text)) return ReenterMessage(kGapYCaption);
  return std::nullopt;
}

std::optional<std::u16string> TTilingEngine::CheckOffsets(const TTilingInputs& in, double papx,
                                                          double papy) {
  for (const auto& [x, y] : TileOffsets(in, papx, papy)) {
    if (!IsFiniteNumber(x)) return ReenterMessage(kGapXCaption);
    if (!IsFiniteNumber(y)) return ReenterMessage(kGapYCaption);
  }
  return std::nullopt;
}

std::optional<std::u16string> TTilingEngine::CheckOffsets(const std::vector<TTilePlace>& places) {
  for (const TTilePlace& p : places) {
    if (!IsFiniteNumber(p.x)) return ReenterMessage(kGapXCaption);
    if (!IsFiniteNumber(p.y)) return ReenterMessage(kGapYCaption);
  }
  return std::nullopt;
}

void TTilingEngine::JwwDataFree(TJwwData& doc) {
  doc.BindImageDeleteGzFile();
  doc.BindImageDeleteNonGzFile();
  doc.DataFree();
  doc.BindImageInit();
}

void TTilingEngine::SetBaseFile(const std::u16string& base_file) {
  JwwMoji = false;
  LabelPap = kNoPaperCaption;
  base_read_ = false;
  if (base_file.empty() || !IsExistingFile(base_file)) return;
  JwwDataFree(JWW);
  if (!JWW.FileIn(base_file)) {
    // A file that is no drawing has no paper to show, and no run can be
    // based on it.
    if (!JWW.Status().header) return;
    warnings_.push_back(Warning(TTileWarning::kBasePartlyRead, base_file, JWW.Status().reason));
  }
  base_read_ = true;
  if (unpack_budget_ == 0) unpack_budget_ = RunUnpackBudget({base_file});
  JWW.BindImageExplode(&unpack_budget_);
  NoteImagesLeftOut(JWW, base_file);
  TPaperSize paper = PaperSizeOf(JWW.Enthd.nZumen);
  papx = paper.papx;
  papy = paper.papy;
  LabelPap = paper.caption;
  if (JWW.MojiEncode) JwwMoji = true;
}

std::optional<std::u16string> TTilingEngine::Merge(const TTilingInputs& in,
                                                   const std::function<void(std::size_t)>& on_row) {
  warnings_.clear();
  notices_.clear();
  renamed_.clear();
  std::vector<std::u16string> inputs = in.files;
  inputs.push_back(in.base_file);
  unpack_budget_ = RunUnpackBudget(inputs);
  SetBaseFile(in.base_file);
  if (!base_read_) return kBaseNotDrawingMessage;
  const TPaperSize base_paper = PaperSizeOf(JWW.Enthd.nZumen);
  places_ = TilePlaces(in, base_paper, ReadPapers(in, base_paper));
  if (auto message = CheckOffsets(places_)) return message;
  const std::vector<std::ptrdiff_t> overlapped = OverlappedCells(places_);
  // The base drawing listed where it lies itself would double its content.
  std::vector<bool> is_base(in.files.size());
  for (std::size_t i = 0; i < in.files.size(); ++i) {
    is_base[i] =
        places_[i].x == 0 && places_[i].y == 0 && platform::SameFile(in.files[i], in.base_file);
  }
  const TDrawingTraits base_traits = TraitsOf(JWW);
  GetBlockName1();
  NoteRenamedBlocks(in.base_file);
  JWWGetCrvNo();
  SetBlockNumber1();
  NoteDanglingBlocks(in.base_file);
  AddEntRoom(JWW, nullptr);
  GFile = JWW.BindImage;
  gfile_rows_.clear();
  for (std::size_t i = 0; i < GFile.size(); ++i)
    gfile_rows_.emplace(UpperStr(GFile[i].Fname), i);

  // File sizes, so that the lists can be sized for the drawings still to come.
  std::vector<std::uint64_t> sizes(in.files.size());
  std::uint64_t bytes_ahead = 0;
  for (std::size_t i = 0; i < in.files.size(); ++i) {
    sizes[i] = RegularFileSize(in.files[i]);
    bytes_ahead += sizes[i];
  }
  CrvNo = static_cast<std::int64_t>(CrvNo1.size()) + 1;
  // Each drawing is read on a second thread while the one before it is
  // appended. Leaving the loop in any way waits for that read to end.
  const TTileCells cells(places_);
  std::future<TAheadRead> ahead;
  auto read_ahead = [&](std::size_t i) {
    return ReadAhead(is_base[i] ? std::u16string() : in.files[i]);
  };
  if (!in.files.empty()) ahead = read_ahead(0);
  for (std::size_t i = 0; i < in.files.size(); ++i) {
    if (on_row) on_row(i);
    drawings_ahead_ =
        sizes[i] ? static_cast<double>(bytes_ahead) / static_cast<double>(sizes[i]) : 1.0;
    bytes_ahead -= sizes[i];
    if (is_base[i]) {
      ahead.get();
      if (i + 1 < in.files.size()) ahead = read_ahead(i + 1);
      TTileWarning notice = Warning(TTileWarning::kSameAsBase, in.files[i]);
      notice.tile = static_cast<std::ptrdiff_t>(i);
      notices_.push_back(std::move(notice));
      ResetCurveNumbers();  // it adds no curve numbers
      continue;
    }
    const std::size_t warned = warnings_.size();
    const bool found = TakeAhead(ahead.get(), in.files[i]);
    if (i + 1 < in.files.size()) ahead = read_ahead(i + 1);
    if (found) {
      if (overlapped[i] >= 0)
        warnings_.push_back(
            OverlapWarning(i, static_cast<std::size_t>(overlapped[i]), in.files[i]));
      if (in.tile_size == TTileSize::kBase) {
        // Its own paper, for frames: the tiles all stay the base paper apart.
        const TPaperSize own = TilePaperOf(JWW2.Enthd.nZumen, base_paper);
        places_[i].paper_w = own.papx;
        places_[i].paper_h = own.papy;
      }
      // Compared before the merge moves and renumbers the drawing.
      for (TTileWarning& w :
           CompareTraits(base_traits, TraitsOf(JWW2), cells, i, in.tile_size, in.files[i]))
        warnings_.push_back(std::move(w));
      AppendAddFile(places_[i].x, places_[i].y);
    }
    for (std::size_t k = warned; k < warnings_.size(); ++k)
      warnings_[k].tile = static_cast<std::ptrdiff_t>(i);
    CrvNo += static_cast<std::int64_t>(CrvNo1.size());
  }
  drawings_ahead_ = 1.0;
  JwwDataFree(JWW2);
  ahead_doc_->DataFree();
  JWW.EntBlockDef.shrink_to_fit();
  JWW.MakeBlockTree();
  JWW.BindImage = GFile;
  return std::nullopt;
}

std::vector<TPaperSize> TTilingEngine::ReadPapers(const TTilingInputs& in,
                                                  const TPaperSize& base) const {
  std::vector<TPaperSize> papers;
  if (in.tile_size != TTileSize::kOwn) return papers;
  // Only the headers: a missing or unreadable file takes the base paper here
  // and is reported when its turn comes.
  TJwwData doc;
  papers.reserve(in.files.size());
  for (const std::u16string& f : in.files) {
    const bool read = IsExistingFile(f) && doc.HeaderIn(f);
    papers.push_back(TilePaperOf(read ? std::optional(doc.Enthd.nZumen) : std::nullopt, base));
  }
  return papers;
}

std::uint64_t TTilingEngine::RunUnpackBudget(const std::vector<std::u16string>& inputs) const {
  std::uint64_t bytes = 0;
  for (const std::u16string& f : inputs)
    bytes += RegularFileSize(f);
  std::uint64_t budget = UnpackAllowance(bytes);
  // Never more than the disk can hold besides the result, which is about as
  // large as the drawings together.
  if (const auto free = platform::FreeSpace(TmpPath)) {
    budget = std::min(budget, *free > bytes ? *free - bytes : 0);
  }
  return std::max<std::uint64_t>(budget, 1);
}

void TTilingEngine::NoteImagesLeftOut(const TJwwData& doc, const std::u16string& file) {
  for (const TImageLeftOut& left : doc.BindImageLeftOut) {
    TTileWarning w = Warning(TTileWarning::kImageLeftOut, file, ImageLeftOutReason(left));
    w.image = left.name;
    w.image_problem = left.kind;
    w.status = left.status;
    warnings_.push_back(std::move(w));
  }
}

void TTilingEngine::NoteDanglingBlocks(const std::u16string& file) {
  if (dangling_blocks_ == 0) return;
  warnings_.push_back(
      Warning(TTileWarning::kDanglingBlock, file,
              std::to_string(dangling_blocks_) + " block reference(s) without definition"));
  dangling_blocks_ = 0;
}

TTilingEngine::TSaveResult TTilingEngine::Save(const std::u16string& fn) {
  JWW.SetFileOutOption(JwwMoji ? 32 : 0);
  TSaveResult result;
  result.ok = JWW.FileOut(fn, 700);
  const std::u16string shown = DisplayText(fn);
  if (!result.ok) {
    result.status = JWW.WriteStatus();
    result.message = u"図面ファイル「" + shown + u"」の保存に失敗しました。";
    const std::u16string reason = FileErrorReason(result.status);
    if (!reason.empty()) result.message += u"\n" + reason;
    return result;
  }
  result.message = u"図面ファイル「" + shown + u"」を保存しました。";
  for (const auto* list : {&notices_, &warnings_}) {
    for (const TTileWarning& w : *list)
      result.message += u"\n" + WarningLine(w);
  }
  return result;
}

std::u16string TTilingEngine::WarningLine(const TTileWarning& w) {
  const std::u16string file = DisplayText(w.file);
  switch (w.kind) {
    case TTileWarning::kMissing:
      return u"図面ファイル「" + file + u"」が見つからないため、追加しませんでした。";
    case TTileWarning::kPartlyRead:
      return u"図面ファイル「" + file + u"」は一部しか読み込めませんでした。";
    case TTileWarning::kBasePartlyRead:
      return u"ベース図面「" + file + u"」は一部しか読み込めませんでした。";
    case TTileWarning::kImageLeftOut: {
      std::u16string why;
      switch (w.image_problem) {
        case TImageLeftOut::kUnusableName:
          why = u"ファイル名として使えない名前です。";
          break;
        case TImageLeftOut::kNameWithNul:
          why = u"名前に NUL 文字が含まれています。";
          break;
        case TImageLeftOut::kNotWritten:
          why = FileErrorReason(w.status);
          break;
        case TImageLeftOut::kCut:
          why = u"図面が画像の途中で終わっています。";
          break;
        case TImageLeftOut::kNotUnpacked:
          why = w.status.ok() ? u"圧縮データを展開できません。" : FileErrorReason(w.status);
          break;
        case TImageLeftOut::kOverLimit:
          why = u"展開すると大きさが上限を超えます。";
          break;
      }
      return u"図面ファイル「" + file + u"」の画像「" + DisplayText(w.image) +
             u"」は結合できませんでした。" + why;
    }
    case TTileWarning::kDanglingBlock:
      return u"図面ファイル「" + file +
             u"」には定義のないブロックへの参照があります（参照先のないまま残しました）。";
    case TTileWarning::kNotDrawing:
      return u"「" + file + u"」は図面ファイルではありません。";
    case TTileWarning::kPaperSize:
      return u"図面ファイル「" + file + u"」の用紙" + w.detail + u"はベース図面の用紙" + w.detail2 +
             u"と異なります。";
    case TTileWarning::kBeyondCell:
      return u"図面ファイル「" + file + u"」の図形が用紙からはみ出し、隣の図面に重なります。";
    case TTileWarning::kScale:
      return u"図面ファイル「" + file + u"」の縮尺がベース図面と異なります（" + w.detail + u"）。";
    case TTileWarning::kHidden:
      return u"図面ファイル「" + file +
             u"」の図形の一部はベース図面で非表示のレイヤにあり、表示されません（" + w.detail +
             u"）。";
    case TTileWarning::kUnhidden:
      return u"図面ファイル「" + file + u"」で非表示のレイヤの図形が表示されます（" + w.detail +
             u"）。";
    case TTileWarning::kOverlap:
      return u"図面ファイル「" + file + u"」は " + w.detail +
             u" 番目の図面と重なる位置に置かれます（間隔が負の値です）。";
    case TTileWarning::kBlockRenamed:
      return u"図面ファイル「" + file + u"」のブロック" + w.detail +
             u"は、同じ名前で内容の異なるブロックが先にあるため、名前を変えて結合しました。";
    case TTileWarning::kSameAsBase:
      return u"図面ファイル「" + file +
             u"」はベース図面と同じファイルのため、重ねて追加しませんでした。";
  }
  return {};
}

std::string ImageLeftOutReason(const TImageLeftOut& left) {
  switch (left.kind) {
    case TImageLeftOut::kUnusableName:
      return "its name cannot be a file name";
    case TImageLeftOut::kNameWithNul:
      return "its name holds a NUL character";
    case TImageLeftOut::kNotWritten:
      return platform::FileErrorText(left.status);
    case TImageLeftOut::kCut:
      return "the drawing ends inside the image";
    case TImageLeftOut::kNotUnpacked:
      return left.status.ok() ? "its compressed data is damaged"
                              : platform::FileErrorText(left.status);
    case TImageLeftOut::kOverLimit:
      return "it would unpack to more than the limit";
  }
  return {};
}

void TTilingEngine::Cleanup() {
  // The combined list covers the base drawing's images and every file copied
  // in, so releasing JWW with it removes them all, also after a failure.
  if (!GFile.empty()) JWW.BindImage = GFile;
  GFile.clear();
  JwwDataFree(JWW);
  JwwDataFree(JWW2);
  ahead_doc_->DataFree();
  image_renames_.clear();
  renamed_.clear();
  gfile_rows_.clear();
  content_row_.clear();
  unpack_budget_ = 0;
}

// --- Block names -------------------------------------------------------------

void TTilingEngine::AppendBlockRow(std::int32_t idx, std::uint32_t nn, const std::u16string& name) {
  const auto row = static_cast<std::int32_t>(BlkNam.size());
  TBlkNameList& r = BlkNam.emplace_back();
  r.idx = idx;
  r.nn = nn;
  r.nam1 = name;
  r.nam2 = BlockNameKey(name);
  name_row_.emplace(r.nam2, row);
  nn_row_.emplace(nn, row);
}

void TTilingEngine::GetBlockName1() {
  BlkNam.clear();
  name_row_.clear();
  nn_row_.clear();
  content_row_.clear();
  next_block_suffix_.clear();
  renamed_blocks_.clear();
  for (std::size_t i = 0; i < JWW.EntBlockDef.size(); ++i) {
    const TEntJwwBlockDef& b = JWW.EntBlockDef[i];
    if (b.ref_flag) AppendBlockRow(static_cast<std::int32_t>(i), b.nNumber, b.strName);
  }
  // A definition named like an earlier one of other contents takes a name of
  // its own (or that of its twin among the renamed); its references keep
  // their row, found by number. Twins under one name stay as they are.
  std::unordered_set<std::u16string> taken;
  for (const TEntJwwBlockDef& b : JWW.EntBlockDef)
    taken.insert(BlockNameKey(b.strName));
  auto placed = [this](std::uint32_t n) {
    auto it = nn_row_.find(n);
    return it == nn_row_.end() ? kNoBlockRow : static_cast<std::uint32_t>(it->second);
  };
  for (std::size_t r = 0; r < BlkNam.size(); ++r) {
    TEntJwwBlockDef& b = JWW.EntBlockDef[static_cast<std::size_t>(BlkNam[r].idx)];
    const std::u16string key = BlkNam[r].nam2;
    std::string contents = BlockContents(b, placed);
    std::u16string name;
    auto twin = content_row_.find(Keyed(key, contents));
    if (twin != content_row_.end()) {
      if (BlkNam[twin->second].nam2 != key) name = BlkNam[twin->second].nam1;
    } else if (name_row_.at(key) != static_cast<std::int32_t>(r)) {
      name = FreeBlockName(b.strName, taken);
    }
    if (!name.empty()) {
      renamed_blocks_.emplace_back(b.strName, name);
      b.strName = name;
      BlkNam[r].nam1 = name;
      BlkNam[r].nam2 = BlockNameKey(name);
      name_row_.emplace(BlkNam[r].nam2, static_cast<std::int32_t>(r));
      taken.insert(BlkNam[r].nam2);
    }
    NoteBlockContents(key, std::move(contents), static_cast<std::int32_t>(r));
  }
}

void TTilingEngine::NoteBlockContents(const std::u16string& key, std::string contents,
                                      std::int32_t row) {
  content_row_.emplace(Keyed(key, contents), row);
}

std::u16string TTilingEngine::FreeBlockName(const std::u16string& name,
                                            const std::unordered_set<std::u16string>& taken) {
  std::u16string key = BlockNameKey(name);
  // The marker and what follows it stay, so the result is still the same
  // kind of block name. A name too long to take a number is cut first.
  std::u16string rest = name.substr(key.size());
  constexpr std::size_t kKept = 1024;
  if (rest.size() > kKept) rest.clear();
  if (key.size() > kKept) {
    key.resize(kKept);
    if (key.back() >= 0xD800 && key.back() <= 0xDBFF) key.pop_back();
  }
  std::int32_t& next = next_block_suffix_.try_emplace(key, 2).first->second;
  for (;; ++next) {
    const std::u16string candidate = key + u"_" + IntStr(next);
    if (!name_row_.count(candidate) && !taken.count(candidate)) {
      ++next;
      return candidate + rest;
    }
  }
}

void TTilingEngine::PlanBlockDefinitions() {
  const std::size_t count = JWW2.EntBlockDef.size();
  jww2_row_.assign(count, -1);
  jww2_copy_as_.assign(count, std::nullopt);
  // While planning, a definition stands for the row it shares, or for a
  // number past every row (it is new here): contents that place it then
  // match no row's, so a definition placing a new one is new itself.
  const std::uint64_t rows = BlkNam.size();
  std::vector<std::uint32_t> identity(count);
  for (std::size_t d = 0; d < count; ++d)
    identity[d] = static_cast<std::uint32_t>(rows + d);
  std::vector<bool> is_new(count, false), copied(count, false);
  std::vector<std::ptrdiff_t> twin_of(count, -1);
  auto def_of = [this](std::uint32_t n) -> std::int32_t {
    auto it = jww2_def_of_.find(n);
    return it == jww2_def_of_.end() ? -1 : it->second;
  };
  auto placed = [&](std::uint32_t n) {
    const std::int32_t d = def_of(n);
    return d < 0 ? kNoBlockRow : identity[static_cast<std::size_t>(d)];
  };
  // Definitions new in this drawing by name key and contents: a second one
  // alike is their twin and shares the first one's copy.
  std::unordered_map<std::string, std::size_t> firsts;
  auto decide = [&](std::size_t d, bool must_be_new) {
    const TEntJwwBlockDef& b = JWW2.EntBlockDef[d];
    std::string keyed = Keyed(BlockNameKey(b.strName), BlockContents(b, placed));
    if (!must_be_new) {
      auto it = content_row_.find(keyed);
      if (it != content_row_.end()) {
        identity[d] = static_cast<std::uint32_t>(it->second);
        jww2_row_[d] = it->second;
        return;
      }
    }
    is_new[d] = true;
    const auto [first, inserted] = firsts.emplace(std::move(keyed), d);
    if (inserted) {
      copied[d] = true;
    } else {
      twin_of[d] = static_cast<std::ptrdiff_t>(first->second);
      identity[d] = identity[first->second];
    }
  };
  // Depth first with an explicit stack (nesting depth is up to the file): a
  // definition is decided after everything it places. One met again on its
  // own path (a cycle) makes the path new.
  enum : std::uint8_t { kUnseen, kOpen, kDecided };
  std::vector<std::uint8_t> state(count, kUnseen);
  struct TFrame {
    std::size_t def;
    std::size_t next = 0;
    bool must_be_new = false;
  };
  std::vector<TFrame> stack;
  for (std::size_t root = 0; root < count; ++root) {
    if (!JWW2.EntBlockDef[root].ref_flag || state[root] != kUnseen) continue;
    state[root] = kOpen;
    stack.push_back({root});
    while (!stack.empty()) {
      TFrame& f = stack.back();
      const std::vector<TEntJwwBlock>& refs = JWW2.EntBlockDef[f.def].mBlock;
      if (f.next == refs.size()) {
        const TFrame done = f;
        stack.pop_back();
        decide(done.def, done.must_be_new);
        state[done.def] = kDecided;
        if (!stack.empty() && is_new[done.def]) stack.back().must_be_new = true;
        continue;
      }
      const std::int32_t c = def_of(refs[f.next++].nNumber);
      if (c < 0) continue;
      const auto child = static_cast<std::size_t>(c);
      if (state[child] == kOpen || (state[child] == kDecided && is_new[child])) {
        f.must_be_new = true;
      } else if (state[child] == kUnseen) {
        state[child] = kOpen;
        stack.push_back({child});
      }
    }
  }

  // Rows in list order, as the copies are appended; names: its own, unless
  // a row or an earlier copy of this drawing has its name key already.
  std::unordered_set<std::u16string> taken, claimed;
  for (const TEntJwwBlockDef& b : JWW2.EntBlockDef)
    taken.insert(BlockNameKey(b.strName));
  auto row = static_cast<std::int32_t>(rows);
  for (std::size_t d = 0; d < count; ++d) {
    if (!copied[d]) continue;
    jww2_row_[d] = row++;
    const std::u16string& own = JWW2.EntBlockDef[d].strName;
    const std::u16string key = BlockNameKey(own);
    if (!name_row_.count(key) && claimed.insert(key).second) {
      jww2_copy_as_[d] = own;
    } else {
      jww2_copy_as_[d] = FreeBlockName(own, taken);
      claimed.insert(BlockNameKey(*jww2_copy_as_[d]));
      taken.insert(BlockNameKey(*jww2_copy_as_[d]));
    }
  }
  for (std::size_t d = 0; d < count; ++d) {
    if (twin_of[d] >= 0) jww2_row_[d] = jww2_row_[static_cast<std::size_t>(twin_of[d])];
  }
  auto placed_row = [&](std::uint32_t n) {
    const std::int32_t d = def_of(n);
    return d < 0 ? kNoBlockRow : static_cast<std::uint32_t>(jww2_row_[static_cast<std::size_t>(d)]);
  };
  for (std::size_t d = 0; d < count; ++d) {
    if (jww2_row_[d] < 0) continue;
    const std::u16string& own = JWW2.EntBlockDef[d].strName;
    const std::size_t source = twin_of[d] >= 0 ? static_cast<std::size_t>(twin_of[d]) : d;
    const std::u16string& now =
        is_new[d] ? *jww2_copy_as_[source] : BlkNam[static_cast<std::size_t>(jww2_row_[d])].nam1;
    if (BlockNameKey(now) != BlockNameKey(own)) renamed_blocks_.emplace_back(own, now);
    if (copied[d]) {
      NoteBlockContents(BlockNameKey(own), BlockContents(JWW2.EntBlockDef[d], placed_row),
                        jww2_row_[d]);
    }
  }
}

void TTilingEngine::NoteRenamedBlocks(const std::u16string& file) {
  if (renamed_blocks_.empty()) return;
  std::vector<std::u16string> pairs;
  for (const auto& [own, now] : renamed_blocks_)
    pairs.push_back(u"「" + DisplayText(own) + u"」→「" + DisplayText(now) + u"」");
  std::string reason = "block \"" + Utf16ToUtf8(DisplayText(renamed_blocks_[0].first)) +
                       "\" is now \"" + Utf16ToUtf8(DisplayText(renamed_blocks_[0].second)) + "\"";
  if (renamed_blocks_.size() > 1)
    reason += " and " + std::to_string(renamed_blocks_.size() - 1) + " more";
  reason += ": an earlier block of that name has other contents";
  TTileWarning w = Warning(TTileWarning::kBlockRenamed, file, std::move(reason));
  w.detail = WarningList(pairs);
  warnings_.push_back(std::move(w));
  renamed_blocks_.clear();
}

void TTilingEngine::GetBlockName2() {
  const TEntJwwBlockDef& b = JWW.EntBlockDef.back();
  AppendBlockRow(0, 0, b.strName);
}

std::int32_t TTilingEngine::GetBlockNameNo(const std::u16string& s) const {
  auto it = name_row_.find(BlockNameKey(s));
  return it == name_row_.end() ? -1 : it->second;
}

std::uint32_t TTilingEngine::GetBlockNumberNo(std::uint32_t n) const {
  auto it = nn_row_.find(n);
  if (it != nn_row_.end()) return static_cast<std::uint32_t>(it->second);
  // No definition of the drawing has this number: the reference points at
  // nothing, as it did in its own drawing, and not at whatever row 0 is.
  ++dangling_blocks_;
  return kNoBlockRow;
}

std::uint32_t TTilingEngine::GetBlockNumberNo2(std::uint32_t n) const {
  auto it = jww2_def_of_.find(n);
  const std::int32_t row =
      it == jww2_def_of_.end() || static_cast<std::size_t>(it->second) >= jww2_row_.size()
          ? -1
          : jww2_row_[static_cast<std::size_t>(it->second)];
  if (row >= 0) return static_cast<std::uint32_t>(row);
  ++dangling_blocks_;
  return kNoBlockRow;
}

void TTilingEngine::SetBlockNumber1() {
  for (TEntJwwBlockDef& b : JWW.EntBlockDef) {
    if (!b.ref_flag) continue;
    EntityListsOut l = Nested(b);
    for (const TEntJwwNo& no : b.mNo) {
      TEntJwwAttr* att = AttrOf(l, no);
      if (!att) continue;
      JWWSetCrvNo1(att->lGroup);
      if (no.EntType == kEntBlock) {
        b.mBlock[no.EntNo].nNumber = GetBlockNumberNo(b.mBlock[no.EntNo].nNumber);
      }
    }
  }
  EntityListsOut top = TopLevel(JWW);
  for (const TEntJwwNo& no : JWW.EntNo) {
    TEntJwwAttr* att = AttrOf(top, no);
    if (!att) continue;
    JWWSetCrvNo1(att->lGroup);
    if (no.EntType == kEntBlock) {
      JWW.EntBlock[no.EntNo].nNumber = GetBlockNumberNo(JWW.EntBlock[no.EntNo].nNumber);
    }
  }
  // Definitions take the number of their row, so a reference and the
  // definition it means agree; an unused definition gets a number no row
  // can have, so it never captures a reference.
  for (std::size_t r = 0; r < BlkNam.size(); ++r) {
    JWW.EntBlockDef[BlkNam[r].idx].nNumber = static_cast<std::uint32_t>(r);
  }
  for (std::size_t i = 0; i < JWW.EntBlockDef.size(); ++i) {
    TEntJwwBlockDef& b = JWW.EntBlockDef[i];
    if (!b.ref_flag) b.nNumber = 0xFFFFFFFFu - static_cast<std::uint32_t>(i);
  }
}

// --- Curve numbers -------------------------------------------------------------

void TTilingEngine::ResetCurveNumbers() {
  CrvNo1.clear();
  crv_index_.clear();
}

void TTilingEngine::CountCurveNumber(std::int32_t c) {
  if (c == 0) return;
  if (crv_index_.emplace(c, static_cast<std::int32_t>(CrvNo1.size())).second) CrvNo1.push_back(c);
}

std::int32_t TTilingEngine::CurveIndex(std::int32_t c) const {
  auto it = crv_index_.find(c);
  return it == crv_index_.end() ? -1 : it->second;
}

void TTilingEngine::JWWGetCrvNo() {
  ResetCurveNumbers();
  for (TEntJwwBlockDef& b : JWW.EntBlockDef) {
    if (!b.ref_flag) continue;
    EntityListsOut l = Nested(b);
    for (const TEntJwwNo& no : b.mNo) {
      if (TEntJwwAttr* att = AttrOf(l, no))
        CountCurveNumber(static_cast<std::int32_t>(att->lGroup));
    }
  }
  EntityListsOut top = TopLevel(JWW);
  for (const TEntJwwNo& no : JWW.EntNo) {
    if (TEntJwwAttr* att = AttrOf(top, no))
      CountCurveNumber(static_cast<std::int32_t>(att->lGroup));
  }
}

void TTilingEngine::JWW2GetCrvNo() {
  ResetCurveNumbers();
  // The used definitions of names new to the run, and those copied under a
  // name of their own (PlanBlockDefinitions).
  for (std::size_t i = 0; i < JWW2.EntBlockDef.size(); ++i) {
    TEntJwwBlockDef& b = JWW2.EntBlockDef[i];
    const bool copied = i < jww2_copy_as_.size() && jww2_copy_as_[i];
    if (!copied && (!b.ref_flag || GetBlockNameNo(b.strName) != -1)) continue;
    EntityListsOut l = Nested(b);
    for (const TEntJwwNo& no : b.mNo) {
      TEntJwwAttr* att = AttrOf(l, no);
      if (att && !IsFilteredEntry(l, no)) CountCurveNumber(static_cast<std::int32_t>(att->lGroup));
    }
  }
  EntityListsOut top = TopLevel(JWW2);
  for (const TEntJwwNo& no : JWW2.EntNo) {
    TEntJwwAttr* att = AttrOf(top, no);
    if (att && !IsFilteredEntry(top, no)) CountCurveNumber(static_cast<std::int32_t>(att->lGroup));
  }
}

void TTilingEngine::JWWSetCrvNo1(std::uint32_t& c) const {
  const auto v = static_cast<std::int32_t>(c);
  const std::int32_t i = v == 0 ? -1 : CurveIndex(v);
  if (i >= 0) c = Renumbered(std::int64_t{i} + 1, v < 0);
}

void TTilingEngine::JWW2SetCrvNo1(std::uint32_t& c) const {
  const auto v = static_cast<std::int32_t>(c);
  const std::int32_t i = v == 0 ? -1 : CurveIndex(v);
  if (i >= 0) c = Renumbered(std::int64_t{i} + CrvNo, v < 0);
}

// --- Text types ------------------------------------------------------------------

std::uint32_t TTilingEngine::GetJWWMojisyuNo(double mx, double my, double md,
                                             std::int32_t co) const {
  for (std::size_t r = 0; r < JWW.EntMoj.size() && r < 10; ++r) {
    const TEntJwwMojiType& t = JWW.EntMoj[r];
    if (t.anMojiCol == co && std::fabs(t.adMojiX - mx) <= 1e-8 &&
        std::fabs(t.adMojiY - my) <= 1e-8 && std::fabs(t.adMojiD - md) <= 1e-8) {
      return static_cast<std::uint32_t>(r + 1);
    }
  }
  return 0;
}

namespace {

void MatchTextType(const TTilingEngine& e, TEntJwwMoji& m) {
  if (m.nMojiShu % 100 != 0) {
    m.nMojiShu = e.GetJWWMojisyuNo(m.dSizeX, m.dSizeY, m.dKankaku, m.att.nPenColor) +
                 (m.nMojiShu / 100) * 100;
  }
}

void MoveBy(TEntJwwLine& l, double x, double y) {
  l.start_x += x;
  l.start_y += y;
  l.end_x += x;
  l.end_y += y;
}

void MoveBy(TEntJwwTen& p, double x, double y) {
  p.start_x += x;
  p.start_y += y;
}

void MoveBy(TEntJwwMoji& m, double x, double y) {
  m.start_x += x;
  m.start_y += y;
  m.end_x += x;
  m.end_y += y;
}

// Appends a record to a list and its entry to the order. When memory runs out
// the entity is dropped and both lists stay as they were.
template <class Rec>
void Append(std::vector<Rec>& list, std::vector<TEntJwwNo>& order, int kind, Rec&& rec) {
  try {
    list.push_back(std::move(rec));
  } catch (const std::bad_alloc&) {
    return;
  }
  try {
    order.push_back({kind, static_cast<std::int32_t>(list.size() - 1)});
  } catch (const std::bad_alloc&) {
    list.pop_back();
  }
}

}  // namespace

// --- Images ------------------------------------------------------------------------

void TTilingEngine::MergeImages(const std::u16string& file) {
  image_renames_.clear();
  auto move = [&](const std::u16string& from, const std::u16string& to,
                  const std::u16string& image) {
    platform::TFileStatus status;
    if (MoveIfAbsent(from, to, status)) return;
    TTileWarning w = Warning(TTileWarning::kImageLeftOut, file, platform::FileErrorText(status));
    w.image = image;
    w.image_problem = TImageLeftOut::kNotWritten;
    w.status = status;
    warnings_.push_back(std::move(w));
  };
  for (const TBindImageType& row : JWW2.BindImage) {
    const std::u16string upper = UpperStr(row.Fname);
    if (row.Fname.empty()) {
      if (gfile_rows_.emplace(upper, GFile.size()).second) GFile.push_back(row);
      continue;
    }
    const bool gz = IsGzImageName(row.Fname);
    const std::u16string plain = gz ? ChangeExt(row.Fname, u"") : std::u16string();
    const std::u16string source = TmpPath2 + row.Fname;
    // Does a file of this name, with other contents, already stand for
    // another drawing's image?
    auto clashes = [&](const std::u16string& name) {
      const std::u16string dest = TmpPath + name;
      return IsExistingFile(dest) && IsExistingFile(TmpPath2 + name) &&
             !SameFileContents(TmpPath2 + name, dest);
    };
    auto it = gfile_rows_.find(upper);
    if (it != gfile_rows_.end()) {
      // Listed already (names compare regardless of case): the same image
      // is shared, another one under that name is a clash.
      const std::u16string listed_file = TmpPath + GFile[it->second].Fname;
      const bool clash = IsExistingFile(source) && IsExistingFile(listed_file) &&
                         !SameFileContents(source, listed_file);
      if (!clash) continue;
    } else if (!clashes(row.Fname) && !(gz && clashes(plain))) {
      move(source, TmpPath + row.Fname, row.Fname);
      if (gz) move(TmpPath2 + plain, TmpPath + plain, row.Fname);
      gfile_rows_.emplace(upper, GFile.size());
      GFile.push_back(row);
      continue;
    }
    // Another image under the same name: this drawing's image takes a name of
    // its own, or that of an earlier tile's identical image, and its
    // references are rewritten to it. Identical images are found by their
    // contents' hash, so each clash costs the same however many came before.
    const std::u16string shown = gz ? plain : row.Fname;
    const std::u16string gz_suffix = gz ? row.Fname.substr(plain.size()) : std::u16string();
    TRenames& renames = renamed_[UpperStr(shown)];
    const std::uint64_t hash = ContentHash(source);
    std::u16string new_name, new_shown;
    const auto [first, last] = renames.by_hash.equal_range(hash);
    for (auto r = first; r != last && new_name.empty(); ++r) {
      if (SameFileContents(source, TmpPath + GFile[r->second].Fname))
        new_name = GFile[r->second].Fname;
    }
    const bool reuse = !new_name.empty();
    if (reuse) {
      new_shown = gz ? ChangeExt(new_name, u"") : new_name;
    } else {
      new_shown = FreeImageName(shown, gz_suffix);
      new_name = new_shown + gz_suffix;
    }
    image_renames_[UpperStr(shown)] = new_shown;
    if (gz) image_renames_[upper] = new_name;
    if (reuse) continue;
    move(source, TmpPath + new_name, row.Fname);
    if (gz) move(TmpPath2 + plain, TmpPath + new_shown, row.Fname);
    TBindImageType renamed = row;
    renamed.Fname = new_name;
    renames.by_hash.emplace(hash, GFile.size());
    gfile_rows_.emplace(UpperStr(new_name), GFile.size());
    GFile.push_back(std::move(renamed));
  }
}

std::u16string TTilingEngine::FreeImageName(const std::u16string& shown,
                                            const std::u16string& gz_suffix) {
  const std::size_t dot = shown.find_last_of(u'.');
  const std::u16string stem = dot == std::u16string::npos ? shown : shown.substr(0, dot);
  const std::u16string ext = dot == std::u16string::npos ? std::u16string() : shown.substr(dot);
  // The numbers already given for this name are not tried again.
  std::int32_t& next = renamed_[UpperStr(shown)].next;
  for (;; ++next) {
    const std::u16string candidate = stem + u"_" + IntStr(next) + ext;
    const std::u16string packed = candidate + gz_suffix;
    if (!gfile_rows_.count(UpperStr(packed)) && !gfile_rows_.count(UpperStr(candidate)) &&
        !IsExistingFile(TmpPath + packed) && !IsExistingFile(TmpPath + candidate)) {
      ++next;
      return candidate;
    }
  }
}

void TTilingEngine::RenameImageReferences(std::vector<TEntJwwMoji>& texts) const {
  if (image_renames_.empty()) return;
  for (TEntJwwMoji& m : texts) {
    if (m.str.size() < 11 || m.str.compare(0, 10, u"^@BM%temp%") != 0) continue;
    const std::size_t comma = m.str.find(u',');
    if (comma == std::u16string::npos || comma < 10) continue;
    auto it = image_renames_.find(UpperStr(m.str.substr(10, comma - 10)));
    if (it != image_renames_.end()) m.str = u"^@BM%temp%" + it->second + m.str.substr(comma);
  }
}

// --- Adding one drawing --------------------------------------------------------------

void TTilingEngine::LoadAddFile(const std::u16string& fn, double x, double y) {
  if (TakeAhead(ReadAhead(fn).get(), fn)) AppendAddFile(x, y);
}

std::future<TTilingEngine::TAheadRead> TTilingEngine::ReadAhead(const std::u16string& fn) {
  TJwwData* doc = ahead_doc_.get();
  auto read = [doc, fn] {
    doc->DataInit();
    if (fn.empty() || !IsExistingFile(fn)) return TAheadRead::kMissing;
    if (doc->FileIn(fn)) return TAheadRead::kRead;
    return doc->Status().no_signature ? TAheadRead::kNotDrawing : TAheadRead::kPartlyRead;
  };
  try {
    return std::async(std::launch::async, read);
  } catch (const std::system_error&) {
    return std::async(std::launch::deferred, read);  // no thread to be had: read when asked
  }
}

bool TTilingEngine::TakeAhead(TAheadRead read, const std::u16string& fn) {
  current_file_ = fn;
  if (read == TAheadRead::kMissing) {
    warnings_.push_back(Warning(TTileWarning::kMissing, fn));
    return false;
  }
  if (read == TAheadRead::kNotDrawing) {
    warnings_.push_back(Warning(TTileWarning::kNotDrawing, fn, ahead_doc_->Status().reason));
    // It counts no curve numbers: the drawing before it must not count twice
    // (a missing drawing does, as the run always did).
    ResetCurveNumbers();
    return false;
  }
  // The previous drawing's lists are emptied but not freed and go back to
  // the reading thread, so reading reuses their room instead of asking the
  // system for fresh memory for every drawing.
  JWW2.BindImageDeleteGzFile();
  JWW2.BindImageDeleteNonGzFile();
  JWW2.DataInit();
  JWW2.SwapContents(*ahead_doc_);
  JWW2.BindImageWriteKept();
  if (read == TAheadRead::kPartlyRead) {
    warnings_.push_back(Warning(TTileWarning::kPartlyRead, fn, JWW2.Status().reason));
  }
  return true;
}

void TTilingEngine::AppendAddFile(double x, double y) {
  if (JWW2.MojiEncode) JwwMoji = true;
  JWW2.BindImageExplode(&unpack_budget_);
  NoteImagesLeftOut(JWW2, current_file_);
  MergeImages(current_file_);
  RenameImageReferences(JWW2.EntMoji);

  try {
    RoomFor(JWW.EntBlockDef, JWW2.EntBlockDef.size());
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  // Used definitions of the added drawing, by number (the first one wins).
  jww2_def_of_.clear();
  for (std::size_t i = 0; i < JWW2.EntBlockDef.size(); ++i) {
    TEntJwwBlockDef& b = JWW2.EntBlockDef[i];
    if (b.ref_flag) jww2_def_of_.emplace(b.nNumber, static_cast<std::int32_t>(i));
    // Before contents are compared: a renamed image is another image.
    RenameImageReferences(b.mMoji);
  }
  PlanBlockDefinitions();
  NoteRenamedBlocks(current_file_);
  JWW2GetCrvNo();

  // Copy the definitions that are new, then renumber their contents, so
  // that a definition placing one copied after it finds that one's row.
  const std::size_t first_copy = JWW.EntBlockDef.size();
  for (std::size_t i = 0; i < JWW2.EntBlockDef.size(); ++i) {
    if (!jww2_copy_as_[i]) continue;
    JWW.EntBlockDef.push_back(JWW2.EntBlockDef[i]);
    JWW.EntBlockDef.back().strName = *jww2_copy_as_[i];
    GetBlockName2();
    JWW.EntBlockDef.back().nNumber = static_cast<std::uint32_t>(BlkNam.size() - 1);
  }
  for (std::size_t d = first_copy; d < JWW.EntBlockDef.size(); ++d) {
    TEntJwwBlockDef& b = JWW.EntBlockDef[d];
    EntityListsOut l = Nested(b);
    for (const TEntJwwNo& no : b.mNo) {
      TEntJwwAttr* att = AttrOf(l, no);
      if (!att) continue;
      if (no.EntType == kEntMoji) {
        if (IsFilteredText(b.mMoji[no.EntNo])) continue;
        JWW2SetCrvNo1(*att);
        MatchTextType(*this, b.mMoji[no.EntNo]);
        continue;
      }
      JWW2SetCrvNo1(att->lGroup);
      if (no.EntType == kEntSunpo) MatchTextType(*this, b.mSunpo[no.EntNo].Moji);
      if (no.EntType == kEntBlock) {
        b.mBlock[no.EntNo].nNumber = GetBlockNumberNo2(b.mBlock[no.EntNo].nNumber);
      }
    }
  }

  AddEntRoom(JWW, &JWW2, drawings_ahead_);
  EntityListsOut src = TopLevel(JWW2);
  for (const TEntJwwNo& no : JWW2.EntNo) {
    TEntJwwAttr* att = AttrOf(src, no);
    if (!att) continue;
    const std::size_t j = static_cast<std::size_t>(no.EntNo);
    JWW2SetCrvNo1(att->lGroup);
    switch (no.EntType) {
      case kEntLine: {
        TEntJwwLine& e = JWW2.EntLine[j];
        MoveBy(e, x, y);
        Append(JWW.EntLine, JWW.EntNo, kEntLine, std::move(e));
        break;
      }
      case kEntEnko: {
        TEntJwwEnko& e = JWW2.EntEnko[j];
        e.start_x += x;
        e.start_y += y;
        Append(JWW.EntEnko, JWW.EntNo, kEntEnko, std::move(e));
        break;
      }
      case kEntTen: {
        TEntJwwTen& e = JWW2.EntTen[j];
        MoveBy(e, x, y);
        Append(JWW.EntTen, JWW.EntNo, kEntTen, std::move(e));
        break;
      }
      case kEntMoji: {
        TEntJwwMoji& e = JWW2.EntMoji[j];
        if (IsFilteredText(e)) break;
        MatchTextType(*this, e);
        MoveBy(e, x, y);
        Append(JWW.EntMoji, JWW.EntNo, kEntMoji, std::move(e));
        break;
      }
      case kEntSunpo: {
        TEntJwwSunpo& e = JWW2.EntSunpo[j];
        MatchTextType(*this, e.Moji);
        MoveBy(e.Sen, x, y);
        MoveBy(e.Moji, x, y);
        if (e.bSxfMode != 0) {
          MoveBy(e.Ho1, x, y);
          MoveBy(e.Ho2, x, y);
          for (TEntJwwTen* p : {&e.Te1, &e.Te2, &e.Kt1, &e.Kt2})
            MoveBy(*p, x, y);
        }
        Append(JWW.EntSunpo, JWW.EntNo, kEntSunpo, std::move(e));
        break;
      }
      case kEntSolid: {
        TEntJwwSolid& e = JWW2.EntSolid[j];
        e.start_x += x;
        e.start_y += y;
        // From style 101 on the other pairs hold radius, flattening and
        // angles of a circular solid, not points.
        if (e.att.nPenStyle < 101) {
          e.end_x += x;
          e.end_y += y;
          e.DPoint2_x += x;
          e.DPoint2_y += y;
          e.DPoint3_x += x;
          e.DPoint3_y += y;
        }
        Append(JWW.EntSolid, JWW.EntNo, kEntSolid, std::move(e));
        break;
      }
      case kEntBlock: {
        TEntJwwBlock& e = JWW2.EntBlock[j];
        e.DPKijunTen_x += x;
        e.DPKijunTen_y += y;
        e.nNumber = GetBlockNumberNo2(e.nNumber);
        Append(JWW.EntBlock, JWW.EntNo, kEntBlock, std::move(e));
        break;
      }
    }
  }
  NoteDanglingBlocks(current_file_);
}

}  // namespace plattero
