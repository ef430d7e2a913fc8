#pragma once

// A drawing as an SVG picture, and the paper frames of a tiling laid over it.
//
// The picture's coordinates are the drawing's in millimetres with y negated
// (SVG's y axis points down, the drawing's up): a point (x, y) of the drawing
// is written as (x, -y). The view box is the extents of what is drawn with a
// margin. The same drawing always gives the same bytes.
//
// Elements, each with a class naming what it shows: "line" <line>, "arc"
// <circle>/<ellipse> for whole circles and ellipses, <path> for arcs,
// "point" <circle>, "solid" <polygon> (<circle>/<ellipse>/<path> for round
// solids), "text" <text>, "dimension" <line> and
// <text>, "image" <g> with a <rect> and a <text>, "frame" <g> with a <rect>
// and a <text>.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "jww/jww_data.h"
#include "render/scene.h"
#include "tiling/layout.h"
#include "tiling/report.h"

namespace plattero::render {

// A paper frame: a rectangle from (x, y) to (x + width, y + height) in drawing
// coordinates, with a label in its top left corner.
struct TPaperFrame {
  double x = 0, y = 0, width = 0, height = 0;
  std::u16string label;
  // A tile's cell where it is not its paper (drawn pale, without a label).
  bool cell = false;
  // The drawing of this tile warns (drawn in the warning colour, solid).
  bool warn = false;
  // The combined drawing's paper, not a tile's (drawn solid in its own colour).
  bool sheet = false;
};

// The colour 0xRRGGBB a frame is drawn in, and whether it is dashed.
std::uint32_t FrameRgb(const TPaperFrame& f);
bool FrameDashed(const TPaperFrame& f);

// The frames of tiles at these places: for each tile its cell when that is
// not its paper, then its paper labelled labels[i]. A tile that `warnings`
// name (by tile) is marked warn, and its label ends with their notes in
// brackets ("（縮尺違い・はみ出し）").
std::vector<TPaperFrame> PlaceFrames(const std::vector<TTilePlace>& places,
                                     const std::vector<std::u16string>& labels,
                                     const std::vector<TTileWarning>& warnings);

// The combined drawing's paper that a run chose, round the tiles: labelled
// with the paper and the reduction, in the warning colour when the
// arrangement does not fit it.
TPaperFrame SheetFrame(const TPaperFit& fit);

// The labels of the tiles of these drawings: "<i + 1>: <file name>" (the
// whole path where it names no file).
std::vector<std::u16string> TileLabels(const std::vector<std::u16string>& files);

// The paper frames of tiles whose papers are papx by papy and centred on the
// tile offsets (a drawing's origin is the centre of its paper). labels[i]
// labels tile i; missing labels are empty.
std::vector<TPaperFrame> TileFrames(const std::vector<std::pair<double, double>>& offsets,
                                    double papx, double papy,
                                    const std::vector<std::u16string>& labels);

// Adds the frames to the scene, after its drawing.
void AddFrames(TScene& scene, const std::vector<TPaperFrame>& frames);

// Writes the scene as an SVG document.
std::string SceneToSvg(const TScene& scene);

// BuildScene, the frames, SceneToSvg. `cut` tells whether the picture stopped
// at its bound on shapes (kMaxSceneShapes).
std::string RenderSvg(const TJwwData& doc, const std::vector<TPaperFrame>& frames = {},
                      bool* cut = nullptr);

// A number as the picture writes it: at most four decimals, no exponent below
// 1e9, no "-0".
std::string FormatNumber(double v);

}  // namespace plattero::render
