#include "tiling/tiling_engine.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <new>
#include <stdexcept>
#include <system_error>

#include "jww/limits.h"
#include "platform/file_system.h"
#include "tiling/append.h"
#include "tiling/paper_fit.h"
#include "tiling/paper_plan.h"
#include "tiling/text_types.h"
#include "util/files.h"
#include "util/memory.h"
#include "util/text.h"

namespace plattero {

namespace {

TTileWarning Item(TTileWarning::Kind kind, const std::u16string& file) {
  TTileWarning w;
  w.kind = kind;
  w.file = file;
  return w;
}

// Every top-level entity of `doc` into the group the assignment sends its
// group to; a dimension with its parts, a block reference with its reference.
void RegroupEntities(const TGroupAssignment& a, TJwwData& doc) {
  const auto each = [&a](auto& list) {
    for (auto& e : list)
      Regroup(a, e.att);
  };
  each(doc.EntLine);
  each(doc.EntEnko);
  each(doc.EntTen);
  each(doc.EntMoji);
  each(doc.EntSolid);
  each(doc.EntBlock);
  for (TEntJwwSunpo& e : doc.EntSunpo)
    Regroup(a, e);
}

}  // namespace

std::optional<TRefusal> CheckChoices(const TTilingInputs& in, bool base_found) {
  if (in.files.empty()) return TRefusal::kNoFiles;
  if (in.base_file.empty()) return TRefusal::kNoBase;
  if (!base_found) return TRefusal::kBaseMissing;
  if (in.count <= 0 || in.count > 1000) return TRefusal::kCount;
  // A gap too large for a double is refused rather than taken as 0.
  if (!std::isfinite(in.gap_x)) return TRefusal::kGapX;
  if (!std::isfinite(in.gap_y)) return TRefusal::kGapY;
  return std::nullopt;
}

TTilingEngine::TTilingEngine(std::u16string tmp_path, std::u16string tmp_path2)
    : TmpPath(std::move(tmp_path)), images_(TmpPath, tmp_path2) {
  JWW.BindImageFolder = TmpPath;
  JWW2.BindImageFolder = std::move(tmp_path2);
  ExtractImages(true);
  // A drawing read ahead keeps its images in memory; they are extracted into
  // JWW2's folder when its turn comes.
  ahead_doc_->BindImageKeep = true;
}

void TTilingEngine::ExtractImages(bool on) {
  for (TJwwData* doc : {&JWW, &JWW2})
    doc->BindImageExp = doc->BindImageExr = on;
}

bool TTilingEngine::ExtractsImages() const {
  return JWW.BindImageExp && JWW2.BindImageExp;
}

std::optional<TRefusal> TTilingEngine::CheckInputs(const TTilingInputs& in) {
  return CheckChoices(in,
                      !in.files.empty() && !in.base_file.empty() && IsExistingFile(in.base_file));
}

void TTilingEngine::JwwDataFree(TJwwData& doc) {
  doc.BindImageDeleteGzFile();
  doc.BindImageDeleteNonGzFile();
  doc.DataFree();
  doc.BindImageInit();
}

void TTilingEngine::Warn(TTileWarning w) {
  report_.warnings.push_back(std::move(w));
}

void TTilingEngine::SetBaseFile(const std::u16string& base_file) {
  JwwMoji = false;
  base_paper_.reset();
  if (base_file.empty() || !IsExistingFile(base_file)) return;
  JwwDataFree(JWW);
  if (!JWW.FileIn(base_file)) {
    // A file that is no drawing has no paper to show, and no run can be
    // based on it.
    if (!JWW.Status().header) return;
    TTileWarning w = Item(TTileWarning::kBasePartlyRead, base_file);
    w.read = JWW.Status();
    Warn(std::move(w));
  }
  if (unpack_budget_ == 0) unpack_budget_ = RunUnpackBudget({base_file});
  JWW.BindImageExplode(&unpack_budget_);
  NoteImagesLeftOut(JWW, base_file);
  base_paper_ = PaperSizeOf(JWW.Enthd.nZumen);
  if (JWW.MojiEncode) JwwMoji = true;
}

std::optional<TRefusal> TTilingEngine::Merge(const TTilingInputs& in,
                                             const std::function<void(std::size_t)>& on_row) {
  report_ = {};
  std::vector<std::u16string> inputs = in.files;
  inputs.push_back(in.base_file);
  unpack_budget_ = RunUnpackBudget(inputs);
  SetBaseFile(in.base_file);
  if (!base_paper_) {
    report_.refusal = TRefusal::kBaseNotDrawing;
    report_.base_read = JWW.Status();
    return report_.refusal;
  }
  const TPaperSize base_paper = *base_paper_;
  std::vector<TTilePlace>& places = report_.places;
  const std::vector<TPaperSize> papers = ReadPapers(in, base_paper);
  places = TilePlaces(in, base_paper, papers);
  if ((report_.refusal = CheckOffsets(places))) return report_.refusal;
  const std::vector<TMoveScale> moves = PlanPaper(in, papers);
  const TTileCells cells(places);
  const std::vector<std::ptrdiff_t> overlapped = cells.OverlappedCells();
  // The base drawing listed where it lies itself would double its content.
  std::vector<bool> is_base(in.files.size());
  for (std::size_t i = 0; i < in.files.size(); ++i) {
    is_base[i] =
        places[i].x == 0 && places[i].y == 0 && platform::SameFile(in.files[i], in.base_file);
  }
  const TDrawingTraits base_traits = TraitsOf(JWW);
  plan_.reset();
  if (in.layer_groups == TLayerGroups::kOwn) {
    plan_.emplace(base_traits.scales, UsedGroups(base_traits));
    combined_traits_ = base_traits;
  }
  blocks_.GetBlockName1(JWW);
  NoteRenamedBlocks(in.base_file);
  curves_.JWWGetCrvNo(JWW);
  SetBlockNumber1(JWW, blocks_, curves_);
  NoteDanglingBlocks(in.base_file);
  AddEntRoom(JWW, nullptr);
  // The base content moves and shrinks with the arrangement, before any
  // drawing joins it.
  if (!moves.empty()) MoveAndScale(JWW, moves.back());
  images_.Start(JWW.BindImage);

  // File sizes, so that the lists can be sized for the drawings still to come.
  std::vector<std::uint64_t> sizes(in.files.size());
  std::uint64_t bytes_ahead = 0;
  for (std::size_t i = 0; i < in.files.size(); ++i) {
    sizes[i] = RegularFileSize(in.files[i]);
    bytes_ahead += sizes[i];
  }
  curves_.StartRanges();
  // Each drawing is read on a second thread while the one before it is
  // appended. Leaving the loop in any way waits for that read to end.
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
      TTileWarning notice = Item(TTileWarning::kSameAsBase, in.files[i]);
      notice.tile = static_cast<std::ptrdiff_t>(i);
      report_.notices.push_back(std::move(notice));
      curves_.Reset();  // it adds no curve numbers
      continue;
    }
    const std::size_t warned = report_.warnings.size();
    // The drawing read ahead is taken before the next one is read into its place.
    const bool found = TakeAhead(ahead.get(), in.files[i]);
    if (i + 1 < in.files.size()) ahead = read_ahead(i + 1);
    if (found) {
      LoadAddFile(i, in, base_traits, cells, overlapped[i],
                  moves.empty() ? std::nullopt : std::optional(moves[i]));
    }
    for (std::size_t k = warned; k < report_.warnings.size(); ++k)
      report_.warnings[k].tile = static_cast<std::ptrdiff_t>(i);
    curves_.NextRange();
  }
  drawings_ahead_ = 1.0;
  JwwDataFree(JWW2);
  ahead_doc_->DataFree();
  JWW.EntBlockDef.shrink_to_fit();
  JWW.MakeBlockTree();
  JWW.BindImage = images_.Rows();
  if (!moves.empty()) FinishPaper();
  return std::nullopt;
}

std::vector<TMoveScale> TTilingEngine::PlanPaper(const TTilingInputs& in,
                                                 const std::vector<TPaperSize>& papers) {
  moved_places_.clear();
  const std::optional<TPaperPlan> plan = PlanPaperFit(in, *base_paper_, papers);
  if (!plan) return {};
  const TPaperFit& fit = plan->fit;
  report_.paper = fit;
  if (!fit.fits) {
    TTileWarning w = Item(TTileWarning::kPaperTooSmall, {});
    w.paper.nZumen = fit.nZumen;
    w.reduction = fit.k;
    Warn(std::move(w));
  }
  moved_places_ = plan->places;
  std::vector<TMoveScale> moves;
  moves.reserve(in.files.size() + 1);
  for (const TTilePlace& p : moved_places_)
    moves.push_back({fit.k, p.x, p.y});
  // The last one moves the base drawing.
  moves.push_back({fit.k, fit.dx, fit.dy});
  return moves;
}

void TTilingEngine::FinishPaper() {
  const TPaperFit& fit = *report_.paper;
  JWW.Enthd.nZumen = fit.nZumen;
  // The places where the tiles now lie, their papers as large as drawn.
  for (std::size_t i = 0; i < report_.places.size() && i < moved_places_.size(); ++i) {
    TTilePlace& p = report_.places[i];
    const TTilePlace& moved = moved_places_[i];
    p = {moved.x, moved.y, moved.cell_w, moved.cell_h, p.paper_w * fit.k, p.paper_h * fit.k};
  }
  if (fit.k == 1) return;
  const TDrawingTraits traits = TraitsOf(JWW);
  DivideGroupScales(JWW, fit.k);
  for (int g = 0; g < kTraitGroups && static_cast<std::size_t>(g) < JWW.EntLgrp.size(); ++g) {
    if (traits.GroupUsed(g))
      report_.reduced_scales.push_back({g, JWW.EntLgrp[g].adScale, traits.scales[g]});
  }
  // Text sizes changed: each numbered text takes the type of its new size.
  for (TEntJwwMoji& m : JWW.EntMoji)
    MatchTextType(JWW.EntMoj, m);
  for (TEntJwwSunpo& d : JWW.EntSunpo)
    MatchTextType(JWW.EntMoj, d.Moji);
}

void TTilingEngine::LoadAddFile(std::size_t tile, const TTilingInputs& in,
                                const TDrawingTraits& base_traits, const TTileCells& cells,
                                std::ptrdiff_t overlapped, const std::optional<TMoveScale>& move) {
  const std::u16string& fn = in.files[tile];
  if (overlapped >= 0) Warn(OverlapWarning(tile, static_cast<std::size_t>(overlapped), fn));
  TTilePlace& place = report_.places[tile];
  if (in.tile_size == TTileSize::kBase) {
    // Its own paper, for frames: the tiles all stay the base paper apart.
    const TPaperSize own = TilePaperOf(JWW2.Enthd.nZumen, *base_paper_);
    place.paper_w = own.papx;
    place.paper_h = own.papy;
  }
  // Compared before the merge moves and renumbers the drawing; with groups
  // of their own, against the groups it ends up in.
  TDrawingTraits own = TraitsOf(JWW2);
  const bool regroups = plan_.has_value();
  if (regroups) PlaceGroups(tile, own);
  for (TTileWarning& w : CompareTraits(regroups ? combined_traits_ : base_traits, own, cells, tile,
                                       in.tile_size, fn)) {
    // The groups left at another scale are told by kNoFreeGroup.
    if (regroups && w.kind == TTileWarning::kScale) continue;
    Warn(std::move(w));
  }
  AppendAddFile(place.x, place.y, move);
}

void TTilingEngine::PlaceGroups(std::size_t tile, TDrawingTraits& own) {
  const TDrawingTraits before = own;
  const TGroupAssignment a = PlanGroups(*plan_, combined_traits_, own);
  for (const TGroupAssignment::TTaken& t : a.taken)
    TakeGroupSettings(JWW, t.group, JWW2, t.from);
  RegroupEntities(a, JWW2);
  TTileWarning placed = Item(TTileWarning::kGroups, current_file_);
  placed.tile = static_cast<std::ptrdiff_t>(tile);
  for (int g = 0; g < kTraitGroups; ++g) {
    if (before.GroupUsed(g))
      placed.placed.push_back({g, a.target[static_cast<std::size_t>(g)], before.scales[g]});
  }
  if (a.Moves()) report_.notices.push_back(std::move(placed));
  if (!a.no_free_group.empty()) {
    TTileWarning w = Item(TTileWarning::kNoFreeGroup, current_file_);
    for (int g : a.no_free_group)
      w.scales.push_back({g, before.scales[g], plan_->Scales()[static_cast<std::size_t>(g)]});
    Warn(std::move(w));
  }
}

std::future<TTilingEngine::TAheadRead> TTilingEngine::ReadAhead(const std::u16string& fn) {
  TJwwData* doc = ahead_doc_.get();
  auto read = [doc, fn] {
    doc->DataInit();
    if (fn.empty() || !IsExistingFile(fn)) return TAheadRead::kMissing;
    if (doc->FileIn(fn)) return TAheadRead::kRead;
    return doc->Status().no_signature() ? TAheadRead::kNotDrawing : TAheadRead::kPartlyRead;
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
    Warn(Item(TTileWarning::kMissing, fn));
    return false;
  }
  if (read == TAheadRead::kNotDrawing) {
    TTileWarning w = Item(TTileWarning::kNotDrawing, fn);
    w.read = ahead_doc_->Status();
    Warn(std::move(w));
    // It counts no curve numbers: the drawing before it must not count twice
    // (a missing drawing does, as the run always did).
    curves_.Reset();
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
    TTileWarning w = Item(TTileWarning::kPartlyRead, fn);
    w.read = JWW2.Status();
    Warn(std::move(w));
  }
  return true;
}

void TTilingEngine::AppendAddFile(double x, double y, const std::optional<TMoveScale>& move) {
  if (JWW2.MojiEncode) JwwMoji = true;
  JWW2.BindImageExplode(&unpack_budget_);
  NoteImagesLeftOut(JWW2, current_file_);
  for (TImageLeftOut& left : images_.Merge(JWW2.BindImage)) {
    TTileWarning w = Item(TTileWarning::kImageLeftOut, current_file_);
    w.image = std::move(left);
    Warn(std::move(w));
  }
  images_.RenameImageReferences(JWW2.EntMoji);
  // Before contents are compared: a renamed image is another image.
  for (TEntJwwBlockDef& b : JWW2.EntBlockDef)
    images_.RenameImageReferences(b.mMoji);
  blocks_.PlanDefinitions(JWW2);
  NoteRenamedBlocks(current_file_);
  curves_.JWW2GetCrvNo(JWW2, blocks_.NewDefinitions(JWW2));
  if (move) {
    const TEntityMark mark = EntityMarkOf(JWW);
    AppendDrawing(JWW, JWW2, 0, 0, blocks_, curves_, drawings_ahead_);
    MoveAndScale(JWW, *move, mark);
  } else {
    AppendDrawing(JWW, JWW2, x, y, blocks_, curves_, drawings_ahead_);
  }
  NoteDanglingBlocks(current_file_);
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
    TTileWarning w = Item(TTileWarning::kImageLeftOut, file);
    w.image = left;
    Warn(std::move(w));
  }
}

void TTilingEngine::NoteDanglingBlocks(const std::u16string& file) {
  if (const std::size_t references = blocks_.TakeDangling()) {
    TTileWarning w = Item(TTileWarning::kDanglingBlock, file);
    w.references = references;
    Warn(std::move(w));
  }
}

void TTilingEngine::NoteRenamedBlocks(const std::u16string& file) {
  std::vector<TBlockRename> renamed = blocks_.TakeRenamed();
  if (renamed.empty()) return;
  TTileWarning w = Item(TTileWarning::kBlockRenamed, file);
  w.blocks = std::move(renamed);
  Warn(std::move(w));
}

TSaveResult TTilingEngine::Save(const std::u16string& fn) {
  JWW.SetFileOutOption(JwwMoji ? 32 : 0);
  TSaveResult result;
  result.file = fn;
  result.ok = JWW.FileOut(fn, 700);
  if (!result.ok) {
    result.failure = JWW.WriteFailure();
    result.status = JWW.WriteStatus();
  }
  return result;
}

void TTilingEngine::Cleanup() {
  // The combined list covers the base drawing's images and every file copied
  // in, so releasing JWW with it removes them all, also after a failure.
  if (!images_.Rows().empty()) JWW.BindImage = images_.Rows();
  images_.Clear();
  JwwDataFree(JWW);
  JwwDataFree(JWW2);
  ahead_doc_->DataFree();
  blocks_.ForgetContents();
  unpack_budget_ = 0;
}

}  // namespace plattero
