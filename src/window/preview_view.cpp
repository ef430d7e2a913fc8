#include "window/preview_view.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_set>

#include "render/canvas.h"
#include "util/numbers.h"

namespace plattero::window {

namespace {

// Rectangles with 64-bit edges: a damaged settings file may hold any int.
struct TEdges {
  long long left, top, right, bottom;
  explicit TEdges(const TRect& r)
      : left(r.left), top(r.top), right(0LL + r.left + r.width), bottom(0LL + r.top + r.height) {}
  TEdges(long long l, long long t, long long r, long long b)
      : left(l), top(t), right(r), bottom(b) {}
  long long Width() const { return std::max(0LL, right - left); }
  long long Height() const { return std::max(0LL, bottom - top); }
};

long long Overlap(const TEdges& a, const TEdges& b) {
  const TEdges both(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                    std::min(a.bottom, b.bottom));
  return both.Width() * both.Height();
}

bool UsableSize(int width, int height) {
  // 32767: what a window system takes as a window's size.
  return width >= 120 && height >= 100 && width <= 32767 && height <= 32767;
}

// Where a window w x h goes in `room` on one side of `main`: against main's
// edge, lined up with main's top or left as far as the room allows.
TRect PlaceInRoom(const TEdges& room, int side, const TEdges& main, long long w, long long h) {
  const auto clamp = [](long long v, long long lo, long long hi) {
    return std::max(lo, std::min(v, hi));
  };
  long long left = 0, top = 0;
  if (side == 0 || side == 2) {  // right, left
    left = side == 0 ? room.left : room.right - w;
    top = clamp(main.top, room.top, room.bottom - h);
  } else {  // below, above
    top = side == 1 ? room.top : room.bottom - h;
    left = clamp(main.left, room.left, room.right - w);
  }
  return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(w), static_cast<int>(h)};
}

}  // namespace

// --- Place -------------------------------------------------------------------------

TRect PlacePreview(const TRect& kept, const TRect& main_rect, int width, int height,
                   const std::vector<TRect>& screens) {
  if (UsableSize(kept.width, kept.height)) {
    const TEdges k(kept);
    const bool visible = std::any_of(screens.begin(), screens.end(), [&k](const TRect& s) {
      const TEdges e(s);
      return std::min(e.right, k.right) - std::max(e.left, k.left) >= 40 &&
             std::min(e.bottom, k.bottom) - std::max(e.top, k.top) >= 20;
    });
    if (visible) return kept;
    width = kept.width;
    height = kept.height;
  }
  if (!UsableSize(width, height)) {
    width = 640;
    height = 480;
  }
  const TEdges main(main_rect);
  if (screens.empty()) return {main_rect.left + main_rect.width, main_rect.top, width, height};

  // The main window's screen first: the one holding most of it.
  std::vector<TEdges> order;
  for (const TRect& s : screens)
    order.emplace_back(s);
  std::stable_sort(order.begin(), order.end(), [&main](const TEdges& a, const TEdges& b) {
    return Overlap(a, main) > Overlap(b, main);
  });

  std::optional<TRect> best;
  long long best_area = 0;
  for (const TEdges& s : order) {
    // Right of, below, left of and above the main window on this screen.
    const std::array<TEdges, 4> rooms = {
        TEdges(std::max(s.left, main.right), s.top, s.right, s.bottom),
        TEdges(s.left, std::max(s.top, main.bottom), s.right, s.bottom),
        TEdges(s.left, s.top, std::min(s.right, main.left), s.bottom),
        TEdges(s.left, s.top, s.right, std::min(s.bottom, main.top)),
    };
    for (int side = 0; side < 4; ++side) {
      const TEdges& room = rooms[static_cast<std::size_t>(side)];
      if (room.Width() >= width && room.Height() >= height)
        return PlaceInRoom(room, side, main, width, height);
      const long long w = std::min<long long>(width, room.Width());
      const long long h = std::min<long long>(height, room.Height());
      if (w >= kMinPreviewWidth && h >= kMinPreviewHeight && w * h > best_area) {
        best_area = w * h;
        best = PlaceInRoom(room, side, main, w, h);
      }
    }
  }
  if (best) return *best;

  // No room beside it anywhere: on the main window's screen, against the
  // edge where it covers the least of the main window (the right one first).
  const TEdges& s = order.front();
  const long long w = std::min<long long>(width, s.Width());
  const long long h = std::min<long long>(height, s.Height());
  const std::array<TEdges, 4> edges = {TEdges(s.right - w, s.top, s.right, s.bottom),
                                       TEdges(s.left, s.bottom - h, s.right, s.bottom),
                                       TEdges(s.left, s.top, s.left + w, s.bottom),
                                       TEdges(s.left, s.top, s.right, s.top + h)};
  TRect least{};
  long long least_overlap = -1;
  for (int side = 0; side < 4; ++side) {
    const TRect r = PlaceInRoom(edges[static_cast<std::size_t>(side)], side, main, w, h);
    const long long o = Overlap(TEdges(r), main);
    if (least_overlap < 0 || o < least_overlap) {
      least_overlap = o;
      least = r;
    }
  }
  return least;
}

// --- View --------------------------------------------------------------------------

namespace {
// Zoomed out to a tenth of the fitted scale at most, in to 2000 times it: a
// sheet of a large arrangement then fills the canvas many times over, and
// the picture stays within what painters draw without overflowing.
constexpr double kMinZoom = 0.1, kMaxZoom = 2000;
}  // namespace

render::TPreviewView TPreviewNavigator::FittedView() const {
  return render::FitView(extents_, width_, height_, render::kPreviewMargin);
}

render::TPreviewView TPreviewNavigator::View() const {
  return user_ ? *user_ : FittedView();
}

void TPreviewNavigator::Resize(double width, double height) {
  if (user_) *user_ = render::PanView(*user_, (width - width_) / 2, (height - height_) / 2);
  width_ = width;
  height_ = height;
}

void TPreviewNavigator::SetExtents(const render::TBox& extents) {
  extents_ = extents;
}

void TPreviewNavigator::Wheel(double notches, double x, double y) {
  const double fitted = FittedView().scale;
  user_ = render::ZoomView(View(), render::WheelZoomFactor(notches), x, y, fitted * kMinZoom,
                           fitted * kMaxZoom);
}

void TPreviewNavigator::Press(double x, double y) {
  grab_ = render::TPoint{x, y};
}

bool TPreviewNavigator::Drag(double x, double y) {
  if (!grab_ || (x == grab_->x && y == grab_->y)) return false;
  user_ = render::PanView(View(), x - grab_->x, y - grab_->y);
  grab_ = render::TPoint{x, y};
  return true;
}

void TPreviewNavigator::Release() {
  grab_.reset();
}

void TPreviewNavigator::Fit() {
  user_.reset();
  grab_.reset();
}

// --- Status ------------------------------------------------------------------------

std::u16string PreviewStatus(
    const TFieldChoices& in, const render::TPreviewLayout& layout,
    const std::unordered_map<std::u16string, render::TPreviewScene>& scenes, bool reading) {
  if (layout.refusal) return RefusalMessage(*layout.refusal, in.count_label);
  int missing = 0, partial = 0, skipped = 0, not_drawing = 0;
  std::unordered_set<std::u16string> seen;
  auto count = [&](const std::u16string& path) {
    if (!seen.insert(path).second) return;
    const auto it = scenes.find(path);
    if (it == scenes.end()) return;
    switch (it->second.state) {
      case render::TPreviewState::kMissing:
        ++missing;
        break;
      case render::TPreviewState::kPartial:
        ++partial;
        break;
      case render::TPreviewState::kSkipped:
        ++skipped;
        break;
      case render::TPreviewState::kNotDrawing:
        ++not_drawing;
        break;
      case render::TPreviewState::kRead:
        break;
    }
  };
  count(in.inputs.base_file);
  for (const std::u16string& file : in.inputs.files)
    count(file);
  std::vector<std::u16string> parts;
  if (reading) parts.push_back(kPreviewReading);
  if (missing) parts.push_back(IntStr(missing) + u" 個の図面が見つかりません。");
  if (not_drawing)
    parts.push_back(IntStr(not_drawing) + u" 個のファイルは図面ファイルではありません。");
  if (partial) parts.push_back(IntStr(partial) + u" 個の図面は一部しか読み込めませんでした。");
  if (skipped) {
    parts.push_back(IntStr(skipped) +
                    u" 個の図面はプレビューで描ける量を超えるため、枠だけを表示しています。");
  }
  std::u16string text;
  for (const std::u16string& part : parts)
    text += (text.empty() ? u"" : u"　") + part;
  return text;
}

}  // namespace plattero::window
