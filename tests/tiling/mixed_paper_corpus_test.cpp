// Real drawings of papers A0 to A4 and scales 1:1 to 1:200 tiled together:
// by their own papers no two sheets overlap in the written result; by the
// base drawing's paper every drawing that overlaps or changes scale is named;
// with layer groups of their own every line keeps its scale, on a fitted
// paper every tile lies on the sheet, and on a reduced one every line still
// measures what it measured.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <set>

#include "drawing_builder.h"
#include "tiling/layer_groups.h"
#include "tiling/text_types.h"
#include "tiling/tiling_engine.h"

namespace plattero {
namespace {

using testing::TempDir;
using Box = std::array<double, 4>;  // min x, min y, max x, max y

std::vector<std::u16string> CorpusDrawings() {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  if (!std::filesystem::is_directory(PLATTERO_CORPUS_DIR, ec)) return {};
  for (auto& e : std::filesystem::recursive_directory_iterator(PLATTERO_CORPUS_DIR, ec)) {
    if (e.is_regular_file() && e.path().extension() == ".jww") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::u16string> out;
  for (const auto& f : files)
    out.push_back(f.u16string());
  return out;
}

void Grow(Box& b, double x, double y) {
  b = {std::min(b[0], x), std::min(b[1], y), std::max(b[2], x), std::max(b[3], y)};
}

Box LineBox(const std::vector<TEntJwwLine>& lines, std::size_t first, std::size_t n) {
  Box b = {1e300, 1e300, -1e300, -1e300};
  for (std::size_t k = first; k < first + n; ++k) {
    Grow(b, lines[k].start_x, lines[k].start_y);
    Grow(b, lines[k].end_x, lines[k].end_y);
  }
  return b;
}

bool Overlapping(const Box& a, const Box& b) {
  constexpr double kTouch = 1e-6;
  return a[0] < b[2] - kTouch && b[0] < a[2] - kTouch && a[1] < b[3] - kTouch &&
         b[1] < a[3] - kTouch;
}

Box Frame(double x, double y, double w, double h) {
  return {x - w / 2, y - h / 2, x + w / 2, y + h / 2};
}

struct Tiled {
  TempDir tmp, tmp2, out;
  TTilingEngine engine{tmp.upath(), tmp2.upath()};
  TJwwData result;
};

void TileAll(const std::vector<std::u16string>& files, TTileSize size, Tiled& t,
             TLayerGroups groups = TLayerGroups::kBase, TPaperChoice paper = {}) {
  TTilingInputs in;
  in.files = files;
  in.base_file = files[0];
  in.count = 5;
  in.tile_size = size;
  in.layer_groups = groups;
  in.paper = paper;
  TTilingRun run(t.engine);
  ASSERT_FALSE(t.engine.Merge(in).has_value());
  ASSERT_TRUE(t.engine.Save(t.out.ufile("out.jww")).ok);
  ASSERT_TRUE(t.result.FileIn(t.out.ufile("out.jww")));
}

TEST(MixedPaperCorpus, OwnPapersKeepEverySheetApart) {
  const auto files = CorpusDrawings();
  if (files.empty()) GTEST_SKIP() << "no corpus at " << PLATTERO_CORPUS_DIR;
  Tiled t;
  TileAll(files, TTileSize::kOwn, t);
  const auto& places = t.engine.Report().places;
  ASSERT_EQ(places.size(), files.size());
  TJwwData base;
  ASSERT_TRUE(base.FileIn(files[0]));
  std::size_t line = base.EntLine.size();
  std::vector<Box> frames;
  for (std::size_t i = 0; i < files.size(); ++i) {
    TJwwData d;
    ASSERT_TRUE(d.FileIn(files[i]));
    const TPaperSize paper = PaperSizeOf(d.Enthd.nZumen);
    EXPECT_EQ(places[i].paper_w, paper.papx);
    frames.push_back(Frame(places[i].x, places[i].y, paper.papx, paper.papy));
    // Its lines lie in the written file where its place moves them. The
    // base drawing, listed first, lies there already and is not added.
    const std::size_t n = i == 0 ? 0 : d.EntLine.size();
    if (n) {
      const Box own = LineBox(d.EntLine, 0, n), written = LineBox(t.result.EntLine, line, n);
      EXPECT_NEAR(written[0], own[0] + places[i].x, 1e-6) << i;
      EXPECT_NEAR(written[3], own[3] + places[i].y, 1e-6) << i;
    }
    line += n;
  }
  EXPECT_EQ(line, t.result.EntLine.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    for (std::size_t j = i + 1; j < frames.size(); ++j)
      EXPECT_FALSE(Overlapping(frames[i], frames[j])) << i << " and " << j;
  }
  for (const TTileWarning& w : t.engine.Report().warnings)
    EXPECT_NE(w.kind, TTileWarning::kPaperSize);
}

TEST(MixedPaperCorpus, BasePapersNameEveryDrawingThatOverlapsOrChangesScale) {
  const auto files = CorpusDrawings();
  if (files.empty()) GTEST_SKIP() << "no corpus at " << PLATTERO_CORPUS_DIR;
  Tiled t;
  TileAll(files, TTileSize::kBase, t);
  std::set<std::pair<std::size_t, TTileWarning::Kind>> warned;
  for (const TTileWarning& w : t.engine.Report().warnings)
    warned.insert({static_cast<std::size_t>(w.tile), w.kind});
  TJwwData base;
  ASSERT_TRUE(base.FileIn(files[0]));
  const TPaperSize tile = PaperSizeOf(base.Enthd.nZumen);
  const auto& places = t.engine.Report().places;
  std::size_t line = base.EntLine.size();
  std::size_t expected = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(i);
    TJwwData d;
    ASSERT_TRUE(d.FileIn(files[i]));
    const TPaperSize paper = PaperSizeOf(d.Enthd.nZumen);
    const bool other_paper = paper.papx != tile.papx || paper.papy != tile.papy;
    if (other_paper) {
      EXPECT_TRUE(warned.count({i, TTileWarning::kPaperSize}));
    }
    // Lines that leave the paper and reach another tile's cell (the base
    // drawing, listed first, is not added again).
    const std::size_t n = i == 0 ? 0 : d.EntLine.size();
    if (n && !other_paper) {
      const Box own = LineBox(d.EntLine, 0, n), written = LineBox(t.result.EntLine, line, n);
      const bool off_paper = own[0] < -paper.papx / 2 || own[2] > paper.papx / 2 ||
                             own[1] < -paper.papy / 2 || own[3] > paper.papy / 2;
      bool reaches = false;
      for (std::size_t j = 0; j < places.size(); ++j) {
        reaches =
            reaches ||
            (j != i && Overlapping(written, Frame(places[j].x, places[j].y, tile.papx, tile.papy)));
      }
      if (off_paper && reaches) {
        ++expected;
        EXPECT_TRUE(warned.count({i, TTileWarning::kBeyondCell}));
      }
    }
    line += n;
    // Groups holding entities at another scale than the base's.
    bool other_scale = false;
    auto look = [&](const TEntJwwAttr& a) {
      if (a.nGLayer < 16 && d.EntLgrp[a.nGLayer].adScale != base.EntLgrp[a.nGLayer].adScale)
        other_scale = true;
    };
    for (const auto& e : d.EntLine)
      look(e.att);
    for (const auto& e : d.EntEnko)
      look(e.att);
    for (const auto& e : d.EntMoji)
      if (!IsFilteredText(e)) look(e.att);
    if (other_scale) {
      ++expected;
      EXPECT_TRUE(warned.count({i, TTileWarning::kScale}));
    }
  }
  EXPECT_GT(expected, 0u);  // the corpus mixes scales, and one drawing leaves its paper
}

// Every line of every drawing and the same line in the result of tiling
// them all: whether its group's scale there, times the run's reduction, is
// the scale it had, and its real length (on paper times that scale) in both.
struct TRealLength {
  std::size_t tile = 0;
  double own = 0, written = 0;
  bool same_scale = false;
};

double ScaleOf(const TJwwData& d, const TEntJwwLine& l) {
  return l.att.nGLayer < 16 ? d.EntLgrp[l.att.nGLayer].adScale : 1.0;
}

double RealLength(const TJwwData& d, const TEntJwwLine& l) {
  return std::hypot(l.end_x - l.start_x, l.end_y - l.start_y) * ScaleOf(d, l);
}

std::vector<TRealLength> RealLengths(const std::vector<std::u16string>& files, const Tiled& t) {
  const double k = t.engine.Report().paper ? t.engine.Report().paper->k : 1.0;
  std::vector<TRealLength> lengths;
  // The base drawing's lines come first; listed first, it is not added again.
  std::size_t line = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    TJwwData d;
    EXPECT_TRUE(d.FileIn(files[i]));
    const std::size_t first = i == 0 ? 0 : line;
    for (std::size_t n = 0; n < d.EntLine.size() && first + n < t.result.EntLine.size(); ++n) {
      const TEntJwwLine& own = d.EntLine[n];
      const TEntJwwLine& written = t.result.EntLine[first + n];
      lengths.push_back({i, RealLength(d, own), RealLength(t.result, written),
                         SameScale(ScaleOf(d, own), ScaleOf(t.result, written) * k)});
    }
    line += d.EntLine.size();
  }
  EXPECT_EQ(line, t.result.EntLine.size());
  return lengths;
}

TEST(ScalesCorpus, OwnGroupsOnAFittedPaperKeepEveryScaleAndHoldEveryTile) {
  const auto files = CorpusDrawings();
  if (files.empty()) GTEST_SKIP() << "no corpus at " << PLATTERO_CORPUS_DIR;
  Tiled t;
  TileAll(files, TTileSize::kOwn, t, TLayerGroups::kOwn,
          TPaperChoice{TPaperChoice::kFit, 3, std::nullopt});
  if (HasFatalFailure()) return;
  const TTilingReport& rep = t.engine.Report();
  ASSERT_TRUE(rep.paper.has_value());
  EXPECT_EQ(rep.paper->k, 1);
  EXPECT_TRUE(rep.paper->fits);
  EXPECT_EQ(t.result.Enthd.nZumen, rep.paper->nZumen);
  for (const TTileWarning& w : rep.warnings) {
    EXPECT_NE(w.kind, TTileWarning::kScale);
    EXPECT_NE(w.kind, TTileWarning::kNoFreeGroup);
  }
  const TPaperSize paper = PaperSizeOf(rep.paper->nZumen);
  const Box sheet = Frame(0, 0, paper.papx, paper.papy);
  for (const TTilePlace& p : rep.places) {
    const Box cell = Frame(p.x, p.y, p.cell_w, p.cell_h);
    EXPECT_TRUE(cell[0] >= sheet[0] - 1e-9 && cell[2] <= sheet[2] + 1e-9 &&
                cell[1] >= sheet[1] - 1e-9 && cell[3] <= sheet[3] + 1e-9);
  }
  std::size_t lines = 0;
  for (const TRealLength& l : RealLengths(files, t)) {
    EXPECT_TRUE(l.same_scale) << l.tile;
    ++lines;
  }
  EXPECT_GT(lines, 1000u);
}

TEST(ScalesCorpus, AReducedSheetKeepsEveryLinesRealLength) {
  const auto files = CorpusDrawings();
  if (files.empty()) GTEST_SKIP() << "no corpus at " << PLATTERO_CORPUS_DIR;
  Tiled t;
  TileAll(files, TTileSize::kOwn, t, TLayerGroups::kOwn,
          TPaperChoice{TPaperChoice::kNamed, 1, std::nullopt});
  if (HasFatalFailure()) return;
  const TTilingReport& rep = t.engine.Report();
  ASSERT_TRUE(rep.paper.has_value());
  EXPECT_LT(rep.paper->k, 1);
  EXPECT_EQ(t.result.Enthd.nZumen, 1);
  std::size_t measured = 0;
  for (const TRealLength& l : RealLengths(files, t)) {
    EXPECT_TRUE(l.same_scale) << l.tile;
    if (l.own == 0) continue;
    EXPECT_NEAR(l.written / l.own, 1, 1e-9) << l.tile;
    ++measured;
  }
  EXPECT_GT(measured, 1000u);
}

}  // namespace
}  // namespace plattero
