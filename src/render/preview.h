#pragma once

// The arrangement preview, apart from any screen: the tiles' paper frames for
// what the user chose, each drawing's scene read once and kept while its file
// stays the same, a reader thread that fetches the scenes for a window, and
// the picture they make together.
//
// The window's thread only lays out frames and paints; every file is looked
// at (stat and read) on the reader's thread.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "render/scene.h"
#include "render/svg.h"
#include "tiling/choices.h"
#include "tiling/drawing_traits.h"
#include "tiling/layout.h"

namespace plattero::render {

// --- Layout -------------------------------------------------------------------

// The tiles as Start would place them.
struct TPreviewLayout {
  // Why Start would refuse these inputs (no drawings, no base drawing, a
  // count out of range, a gap putting a tile beyond any number); nothing is
  // laid out then.
  std::optional<TRefusal> refusal;
  // Offset and paper frame of list row i, labelled "<i + 1>: <file name>",
  // with every drawing on the base drawing's paper: ComposePreview places
  // them by their own papers once they are read.
  std::vector<std::pair<double, double>> offsets;
  std::vector<TPaperFrame> frames;
  TPaperSize paper;  // the base drawing's
};

// `paper` is the base drawing's paper, or null when no base drawing could be
// read. The tiles are placed as the tiling run places them.
TPreviewLayout LayoutPreview(const TTilingInputs& in, const TPaperSize* paper);

// --- Reading ------------------------------------------------------------------

enum class TPreviewState {
  kRead,        // read whole
  kPartial,     // damaged: what could be read
  kMissing,     // no regular file at the path
  kNotDrawing,  // a file that does not begin as a drawing does
  kSkipped,     // not read: the drawings before it fill the preview's share of memory
};

struct TPreviewScene {
  std::shared_ptr<const TScene> scene;  // never null; empty unless kRead or kPartial
  TPreviewState state = TPreviewState::kMissing;
  // Paper, scales, layers and reach of the drawing (TraitsOf), when its
  // header was read.
  std::shared_ptr<const TDrawingTraits> traits;
};

// Reads the drawing at `path` without extracting its images (no file is
// written) and flattens it into at most max_shapes shapes.
TPreviewScene ReadPreviewScene(const std::u16string& path, std::size_t max_shapes);

// Scenes of drawings by path, each kept while its file keeps its size, times
// and identity. When the scenes kept hold more than max_shapes shapes, the
// least recently used ones are dropped. Safe to use from several threads.
class TSceneCache {
 public:
  // A shape takes some 300 bytes: about 150 MB of scenes.
  static constexpr std::size_t kDefaultMaxShapes = 500'000;
  explicit TSceneCache(std::size_t max_shapes = kDefaultMaxShapes);

  // The scene of the drawing at `path`: the kept one when the file did not
  // change, otherwise read now on the calling thread (and cut at max_shapes).
  TPreviewScene Get(const std::u16string& path);
  // The same when it holds at most `room` shapes. A larger one comes back
  // empty as kSkipped and is not kept, so nothing kept is let go for it; its
  // size is remembered while its file stays the same, so asking again with no
  // more room does not read it again.
  TPreviewScene Get(const std::u16string& path, std::size_t room);

  std::size_t MaxShapes() const { return max_shapes_; }
  // Shapes of the scenes kept.
  std::size_t Shapes() const;

 private:
  struct TEntry {
    platform::TFileStamp stamp;  // identifies one version of the file
    TPreviewScene value;
    std::list<std::u16string>::iterator used;
  };
  void EraseLocked(std::unordered_map<std::u16string, TEntry>::iterator it);

  const std::size_t max_shapes_;
  mutable std::mutex mutex_;
  std::list<std::u16string> used_;  // most recently used first
  std::unordered_map<std::u16string, TEntry> entries_;
  std::size_t shapes_ = 0;
  // Drawings found larger than the room they were asked with: their shapes.
  std::unordered_map<std::u16string, std::pair<platform::TFileStamp, std::size_t>> too_large_;
};

// Reads the drawings of a preview on a thread of its own. A new request
// replaces the one under way before its next drawing. The scenes of one
// request share the cache's bound: once the drawings before hold
// MaxShapes() shapes, the rest are delivered as kSkipped without reading.
class TPreviewReader {
 public:
  // Called on the reader's thread: each distinct path of a request in order,
  // then once with the request done.
  using OnScene = std::function<void(std::uint64_t request, const std::u16string& path,
                                     const TPreviewScene& scene)>;
  using OnDone = std::function<void(std::uint64_t request)>;

  TPreviewReader(std::shared_ptr<TSceneCache> cache, OnScene on_scene, OnDone on_done);
  ~TPreviewReader();
  TPreviewReader(const TPreviewReader&) = delete;
  TPreviewReader& operator=(const TPreviewReader&) = delete;

  // Queues the paths (in place of a request not finished) and returns the
  // request's number, counting from 1.
  std::uint64_t Request(std::vector<std::u16string> paths);

  // Ends the thread once the drawing being read is done. Nothing is delivered
  // after it returns; requests are ignored from then on.
  void Stop();

 private:
  void Run();

  std::shared_ptr<TSceneCache> cache_;
  OnScene on_scene_;
  OnDone on_done_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::uint64_t last_request_ = 0;
  std::optional<std::vector<std::u16string>> pending_;
  bool stop_ = false;
  std::thread thread_;
};

// --- The picture --------------------------------------------------------------

// A scene drawn scaled by k and moved by (dx, dy): its point p at p * k + (dx, dy).
struct TPlacedScene {
  double dx = 0, dy = 0;
  std::shared_ptr<const TScene> scene;
  double k = 1;
};

struct TPreviewPicture {
  std::vector<TPlacedScene> scenes;  // the base drawing first, then the tiles in order
  // Labels say when a drawing is missing or incomplete, and where its layer
  // groups went; the combined drawing's paper comes last when one is chosen.
  std::vector<TPaperFrame> frames;
  TBox extents;  // of the frames and the moved scenes
};

// The base drawing at (0, 0) and every tile at its place, with the scenes
// known so far (`scenes` by path; a path not in it is not read yet). Tiles
// are placed by the papers of the drawings read (TilePlaces; the base paper
// for the others); each shows its paper frame, its cell where that differs,
// and is marked when CompareTraits warns about it against the base drawing or
// its cell overlaps an earlier one (TTileCells::OverlappedCells).
// With a paper or a reduction chosen (in.paper), everything lies as the run
// puts it (PlanPaperFit): reduced, centred on that paper, whose frame is
// shown too. With groups of their own (in.layer_groups), the drawings read
// are given their groups in list order as the run gives them (PlanGroups),
// the labels say where a drawing's groups went ("[2] 1/200") and the
// warnings are those against the groups they went to.
// Tiles and frames whose offset is not a usable coordinate are left out.
TPreviewPicture ComposePreview(const TTilingInputs& in, const TPreviewLayout& layout,
                               const std::unordered_map<std::u16string, TPreviewScene>& scenes);

// A drawing point (x, y) lies on the canvas at (x0 + x * scale, y0 - y * scale).
struct TPreviewView {
  double scale = 1, x0 = 0, y0 = 0;
};

// The view that fits the box into a canvas of width x height with a margin
// on every side, centred.
TPreviewView FitView(const TBox& box, double width, double height, double margin);

// The view scaled by `factor` about the canvas point (x, y): the drawing point
// there stays there. The scale is kept within [min_scale, max_scale]; a factor
// that is not a positive number leaves the view as it is.
TPreviewView ZoomView(const TPreviewView& view, double factor, double x, double y, double min_scale,
                      double max_scale);

// The view with the picture moved by (dx, dy) canvas pixels.
TPreviewView PanView(const TPreviewView& view, double dx, double dy);

// The zoom of `notches` turns of a mouse wheel (a notch is 120 of the
// toolkits' units; fractions come from touch pads): 1.25 per notch, in when
// positive.
double WheelZoomFactor(double notches);

}  // namespace plattero::render
