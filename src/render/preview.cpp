#include "render/preview.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <unordered_set>

#include "messages/tiling_messages.h"
#include "tiling/paper_plan.h"
#include "util/files.h"
#include "util/text.h"

namespace plattero::render {

namespace {

// Offsets beyond this (huge gaps) are not drawn, as the scene leaves out
// coordinates beyond it.
constexpr double kMaxOffset = 1e12;

bool Usable(double v) {
  return std::isfinite(v) && std::fabs(v) <= kMaxOffset;
}

std::u16string StateNote(const TPreviewScene& s) {
  switch (s.state) {
    case TPreviewState::kMissing:
      return u"（見つかりません）";
    case TPreviewState::kNotDrawing:
      return u"（図面ではありません）";
    case TPreviewState::kPartial:
      return u"（一部のみ読込）";
    case TPreviewState::kSkipped:
      return u"（表示省略）";
    case TPreviewState::kRead:
      break;
  }
  return s.scene->cut ? u"（一部のみ表示）" : u"";
}

TPreviewScene EmptyScene(TPreviewState state) {
  return {std::make_shared<const TScene>(), state, nullptr};
}

}  // namespace

// --- Layout -------------------------------------------------------------------

TPreviewLayout LayoutPreview(const TTilingInputs& in, const TPaperSize* paper) {
  TPreviewLayout layout;
  // No paper: the window could not read the base drawing.
  if ((layout.refusal = CheckChoices(in, paper != nullptr))) return layout;
  const std::vector<TTilePlace> places = TilePlaces(in, *paper, {});
  if ((layout.refusal = CheckOffsets(places))) return layout;
  layout.paper = *paper;
  for (const TTilePlace& p : places)
    layout.offsets.push_back({p.x, p.y});
  layout.frames = TileFrames(layout.offsets, paper->papx, paper->papy, TileLabels(in.files));
  return layout;
}

// --- Reading ------------------------------------------------------------------

TPreviewScene ReadPreviewScene(const std::u16string& path, std::size_t max_shapes) {
  // Only regular files: a FIFO or a device could block the reader for ever.
  if (!IsExistingFile(path)) return EmptyScene(TPreviewState::kMissing);
  try {
    TJwwData doc;  // no image folder and no extraction: nothing is written
    const bool whole = doc.FileIn(path);
    auto scene = std::make_shared<const TScene>(BuildScene(doc, max_shapes));
    const TPreviewState state = whole                         ? TPreviewState::kRead
                                : doc.Status().no_signature() ? TPreviewState::kNotDrawing
                                                              : TPreviewState::kPartial;
    TPreviewScene read{std::move(scene), state, nullptr};
    if (doc.Status().header) read.traits = std::make_shared<const TDrawingTraits>(TraitsOf(doc));
    return read;
  } catch (const std::exception&) {  // out of memory for this drawing
    return EmptyScene(TPreviewState::kPartial);
  }
}

TSceneCache::TSceneCache(std::size_t max_shapes)
    : max_shapes_(std::clamp<std::size_t>(max_shapes, 1, kMaxSceneShapes)) {}

std::size_t TSceneCache::Shapes() const {
  std::lock_guard lock(mutex_);
  return shapes_;
}

void TSceneCache::EraseLocked(std::unordered_map<std::u16string, TEntry>::iterator it) {
  shapes_ -= it->second.value.scene->shapes.size();
  used_.erase(it->second.used);
  entries_.erase(it);
}

TPreviewScene TSceneCache::Get(const std::u16string& path) {
  return Get(path, max_shapes_);
}

TPreviewScene TSceneCache::Get(const std::u16string& path, std::size_t room) {
  const std::optional<platform::TFileStamp> stamp = platform::FileStampOf(path);
  {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(path);
    if (it != entries_.end()) {
      if (stamp && it->second.stamp == *stamp) {
        if (it->second.value.scene->shapes.size() > room)
          return EmptyScene(TPreviewState::kSkipped);
        used_.splice(used_.begin(), used_, it->second.used);
        return it->second.value;
      }
      EraseLocked(it);
    }
    if (auto large = too_large_.find(path); large != too_large_.end()) {
      if (stamp && large->second.first == *stamp && large->second.second > room)
        return EmptyScene(TPreviewState::kSkipped);
      too_large_.erase(large);
    }
  }
  if (!stamp) return EmptyScene(TPreviewState::kMissing);
  // Read without the lock. A file changed meanwhile is kept under the stamp
  // seen before reading, so the next look reads it again.
  TPreviewScene value = ReadPreviewScene(path, max_shapes_);
  if (value.state == TPreviewState::kMissing) return value;
  std::lock_guard lock(mutex_);
  if (value.scene->shapes.size() > room) {
    // Kept, it would push out scenes that the preview shows beside it, only
    // to be read again at the next look. A path takes a few dozen bytes.
    if (too_large_.size() >= 4096) too_large_.clear();
    too_large_[path] = {*stamp, value.scene->shapes.size()};
    return EmptyScene(TPreviewState::kSkipped);
  }
  if (auto it = entries_.find(path); it != entries_.end()) EraseLocked(it);
  used_.push_front(path);
  entries_.emplace(path, TEntry{*stamp, value, used_.begin()});
  shapes_ += value.scene->shapes.size();
  // A scene holds at most max_shapes_ shapes, so the newest one always stays.
  while (shapes_ > max_shapes_ && used_.size() > 1)
    EraseLocked(entries_.find(used_.back()));
  return value;
}

TPreviewReader::TPreviewReader(std::shared_ptr<TSceneCache> cache, OnScene on_scene, OnDone on_done)
    : cache_(std::move(cache)), on_scene_(std::move(on_scene)), on_done_(std::move(on_done)) {
  thread_ = std::thread([this] { Run(); });
}

TPreviewReader::~TPreviewReader() {
  Stop();
}

std::uint64_t TPreviewReader::Request(std::vector<std::u16string> paths) {
  std::lock_guard lock(mutex_);
  if (stop_) return last_request_;
  pending_ = std::move(paths);
  ++last_request_;
  wake_.notify_one();
  return last_request_;
}

void TPreviewReader::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    pending_.reset();
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void TPreviewReader::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || pending_.has_value(); });
    if (stop_) return;
    const std::vector<std::u16string> paths = std::move(*pending_);
    pending_.reset();
    const std::uint64_t request = last_request_;
    lock.unlock();

    const std::size_t max_shapes = cache_->MaxShapes();
    std::size_t shapes = 0;
    std::unordered_set<std::u16string> seen;
    bool replaced = false;
    for (const std::u16string& path : paths) {
      {
        std::lock_guard check(mutex_);
        replaced = stop_ || pending_.has_value();
      }
      if (replaced) break;
      if (!seen.insert(path).second) continue;
      TPreviewScene scene = EmptyScene(TPreviewState::kSkipped);
      if (shapes < max_shapes) {
        try {
          scene = cache_->Get(path, max_shapes - shapes);
        } catch (const std::exception&) {
          scene = EmptyScene(TPreviewState::kPartial);
        }
        if (scene.state == TPreviewState::kSkipped) {
          shapes = max_shapes;  // what comes after is not read either
        } else {
          shapes += scene.scene->shapes.size();
        }
      }
      on_scene_(request, path, scene);
    }
    if (!replaced) on_done_(request);
    lock.lock();
  }
}

// --- The picture --------------------------------------------------------------

TPreviewPicture ComposePreview(const TTilingInputs& in, const TPreviewLayout& layout,
                               const std::unordered_map<std::u16string, TPreviewScene>& scenes) {
  TPreviewPicture picture;
  if (layout.refusal) return picture;
  auto find = [&scenes](const std::u16string& path) -> const TPreviewScene* {
    const auto it = scenes.find(path);
    return it == scenes.end() ? nullptr : &it->second;
  };
  auto place = [&picture](double dx, double dy, double k, const TPreviewScene* s) {
    if (!s || s->scene->shapes.empty() || !Usable(dx) || !Usable(dy)) return;
    picture.scenes.push_back({dx, dy, s->scene, k});
    const TBox& e = s->scene->extents;
    if (e.empty) return;
    picture.extents.Add(e.min_x * k + dx, e.min_y * k + dy);
    picture.extents.Add(e.max_x * k + dx, e.max_y * k + dy);
  };
  const TPreviewScene* base = find(in.base_file);
  const std::size_t tiles =
      std::min({in.files.size(), layout.offsets.size(), layout.frames.size()});
  // The tiles as the run places them, with the papers read so far.
  std::vector<TPaperSize> papers(tiles, layout.paper);
  std::vector<const TPreviewScene*> read(tiles);
  std::vector<std::u16string> labels(tiles);
  for (std::size_t i = 0; i < tiles; ++i) {
    read[i] = find(in.files[i]);
    labels[i] = layout.frames[i].label;
    if (!read[i]) continue;
    labels[i] += StateNote(*read[i]);
    if (read[i]->traits) papers[i] = TilePaperOf(read[i]->traits->nZumen, layout.paper);
  }
  TTilingInputs shown = in;
  shown.files.resize(tiles);
  const std::vector<TTilePlace> places = TilePlaces(shown, layout.paper, papers);
  std::vector<TTileWarning> warnings;
  const TTileCells cells(places);
  const std::vector<std::ptrdiff_t> overlapped = cells.OverlappedCells();
  // With groups of their own the drawings take their groups in list order,
  // and each is compared with the groups it ends up in.
  const bool regroups = in.layer_groups == TLayerGroups::kOwn && base && base->traits;
  std::optional<TLayerGroupPlan> groups;
  TDrawingTraits combined;
  if (regroups) {
    combined = *base->traits;
    groups.emplace(combined.scales, UsedGroups(combined));
  }
  for (std::size_t i = 0; i < tiles; ++i) {
    if (!read[i] || !read[i]->traits) continue;
    if (overlapped[i] >= 0)
      warnings.push_back(OverlapWarning(i, static_cast<std::size_t>(overlapped[i]), in.files[i]));
    if (!base || !base->traits) continue;
    TDrawingTraits own = *read[i]->traits;
    if (regroups) {
      // The base drawing listed where it lies is not added again.
      if (in.files[i] == in.base_file && places[i].x == 0 && places[i].y == 0) continue;
      const TDrawingTraits before = own;
      const TGroupAssignment a = PlanGroups(*groups, combined, own);
      std::vector<TGroupPlaced> moved;
      for (int g = 0; g < kTraitGroups; ++g) {
        const int to = a.target[static_cast<std::size_t>(g)];
        if (before.GroupUsed(g) && to != g) moved.push_back({g, to, before.scales[g]});
      }
      if (const std::u16string note = GroupsNote(moved); !note.empty()) labels[i] += u" " + note;
      if (!a.no_free_group.empty()) {
        TTileWarning w;
        w.kind = TTileWarning::kNoFreeGroup;
        w.file = in.files[i];
        w.tile = static_cast<std::ptrdiff_t>(i);
        warnings.push_back(std::move(w));
      }
    }
    for (TTileWarning& w : CompareTraits(regroups ? combined : *base->traits, own, cells, i,
                                         in.tile_size, in.files[i])) {
      // Groups left at another scale are told as having no free group.
      if (regroups && w.kind == TTileWarning::kScale) continue;
      warnings.push_back(std::move(w));
    }
  }
  // A chosen paper or reduction moves and shrinks everything, the base
  // drawing included; the warnings above are the run's, made before.
  const std::optional<TPaperPlan> plan = PlanPaperFit(shown, layout.paper, papers);
  const std::vector<TTilePlace>& at = plan ? plan->places : places;
  const double k = plan ? plan->fit.k : 1;
  place(plan ? plan->fit.dx : 0, plan ? plan->fit.dy : 0, k, base);
  for (std::size_t i = 0; i < tiles; ++i)
    place(at[i].x, at[i].y, k, read[i]);
  std::vector<TPaperFrame> frames = PlaceFrames(at, labels, warnings);
  if (plan) frames.push_back(SheetFrame(plan->fit));
  for (TPaperFrame& frame : frames) {
    if (!Usable(frame.x) || !Usable(frame.y)) continue;
    picture.extents.Add(frame.x, frame.y);
    picture.extents.Add(frame.x + frame.width, frame.y + frame.height);
    picture.frames.push_back(std::move(frame));
  }
  return picture;
}

TPreviewView FitView(const TBox& box, double width, double height, double margin) {
  TPreviewView view;
  view.x0 = width / 2;
  view.y0 = height / 2;
  if (box.empty) return view;
  const double room_x = std::max(1.0, width - 2 * margin);
  const double room_y = std::max(1.0, height - 2 * margin);
  const double w = box.max_x - box.min_x, h = box.max_y - box.min_y;
  double scale = std::numeric_limits<double>::infinity();
  if (w > 0) scale = room_x / w;
  if (h > 0) scale = std::min(scale, room_y / h);
  if (!std::isfinite(scale) || !(scale > 0)) scale = 1;
  view.scale = scale;
  view.x0 = width / 2 - (box.min_x + box.max_x) / 2 * scale;
  view.y0 = height / 2 + (box.min_y + box.max_y) / 2 * scale;
  return view;
}

TPreviewView ZoomView(const TPreviewView& view, double factor, double x, double y, double min_scale,
                      double max_scale) {
  if (!std::isfinite(factor) || !(factor > 0) || !(view.scale > 0)) return view;
  const double scale = std::clamp(view.scale * factor, min_scale, std::max(min_scale, max_scale));
  if (!std::isfinite(scale) || !(scale > 0)) return view;
  // (x - x0) / scale is the drawing x under the cursor, before and after.
  const double k = scale / view.scale;
  return {scale, x - (x - view.x0) * k, y - (y - view.y0) * k};
}

TPreviewView PanView(const TPreviewView& view, double dx, double dy) {
  if (!std::isfinite(dx) || !std::isfinite(dy)) return view;
  return {view.scale, view.x0 + dx, view.y0 + dy};
}

double WheelZoomFactor(double notches) {
  if (!std::isfinite(notches)) return 1;
  return std::pow(1.25, std::clamp(notches, -10.0, 10.0));
}

}  // namespace plattero::render
