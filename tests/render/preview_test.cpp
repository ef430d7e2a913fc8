// The arrangement preview without a screen: frames for the user's choices,
// the scene cache and its bound, the reader thread, the combined picture.

#include "render/preview.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <thread>

#include "drawing_builder.h"
#include "messages/tiling_messages.h"
#include "tiling/tiling_engine.h"
#include "util/text.h"

namespace plattero::render {
namespace {

namespace fs = std::filesystem;
using testing::DrawingSpec;
using testing::TempDir;
using testing::WriteDrawing;

using Offsets = std::vector<std::pair<double, double>>;

// `order` counts the orders as the window's arrangement list does.
TTilingInputs Inputs(std::size_t files, int order, std::int32_t count, double gx, double gy) {
  TTilingInputs in;
  for (std::size_t i = 0; i < files; ++i)
    in.files.push_back(u"/plans/d" + std::u16string(1, static_cast<char16_t>(u'a' + i)) + u".jww");
  in.base_file = u"/plans/base.jww";
  in.order = static_cast<TOrder>(order);
  in.count = count;
  in.gap_x = gx;
  in.gap_y = gy;
  return in;
}

TEST(PreviewLayout, TilesStepAsTheRunStepsThem) {
  const TPaperSize a3{420, 297, 3};
  const struct {
    int order;
    std::int32_t count;
    double gx, gy;
    Offsets expected;
  } cases[] = {
      {0, 3, 10, 10, {{0, 0}, {430, 0}, {860, 0}, {0, 307}, {430, 307}}},
      {1, 3, 10, 10, {{0, 0}, {430, 0}, {860, 0}, {0, -307}, {430, -307}}},
      {2, 3, 10, 10, {{0, 0}, {0, 307}, {0, 614}, {430, 0}, {430, 307}}},
      {3, 3, 10, 10, {{0, 0}, {0, -307}, {0, -614}, {430, 0}, {430, -307}}},
      // Negative gaps overlap.
      {0, 2, 0, 0, {{0, 0}, {420, 0}, {0, 297}, {420, 297}, {0, 594}}},
      {0, 1000, -5, 0, {{0, 0}, {415, 0}, {830, 0}, {1245, 0}, {1660, 0}}},
      {0, 1, 10, 10, {{0, 0}, {0, 307}, {0, 614}, {0, 921}, {0, 1228}}},
  };
  for (const auto& c : cases) {
    const TPreviewLayout layout = LayoutPreview(Inputs(5, c.order, c.count, c.gx, c.gy), &a3);
    EXPECT_FALSE(layout.refusal.has_value());
    EXPECT_EQ(layout.offsets, c.expected) << c.order << " " << c.count;
    ASSERT_EQ(layout.frames.size(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
      // A drawing's origin is the centre of its paper.
      EXPECT_EQ(layout.frames[i].x, c.expected[i].first - 210);
      EXPECT_EQ(layout.frames[i].y, c.expected[i].second - 148.5);
      EXPECT_EQ(layout.frames[i].width, 420);
      EXPECT_EQ(layout.frames[i].height, 297);
    }
  }
  TTilingInputs in = Inputs(2, 0, 3, 10, 10);
  in.files[1] = u"C:\\zumen\\平面図.jww";
  const TPreviewLayout layout = LayoutPreview(in, &a3);
  EXPECT_EQ(layout.frames[0].label, u"1: da.jww");
  EXPECT_EQ(layout.frames[1].label, u"2: 平面図.jww");
}

TEST(PreviewLayout, WhatStartWouldRefuseIsRefusedAlike) {
  const TPaperSize a4{297, 210, 4};
  TTilingInputs none = Inputs(0, 0, 3, 10, 10);
  none.base_file.clear();  // the list is checked first
  EXPECT_EQ(LayoutPreview(none, nullptr).refusal, TRefusal::kNoFiles);
  TTilingInputs no_base = Inputs(1, 0, 3, 10, 10);
  no_base.base_file.clear();
  EXPECT_EQ(LayoutPreview(no_base, &a4).refusal, TRefusal::kNoBase);
  EXPECT_EQ(LayoutPreview(Inputs(1, 0, 3, 10, 10), nullptr).refusal, TRefusal::kBaseMissing);
  for (const std::int32_t count : {0, -1, 1001}) {
    const TPreviewLayout layout = LayoutPreview(Inputs(2, 2, count, 10, 10), &a4);
    EXPECT_EQ(layout.refusal, TRefusal::kCount);
    EXPECT_TRUE(layout.frames.empty());
  }
  for (const double gap : {std::numeric_limits<double>::infinity(), 1.7e308}) {
    const TPreviewLayout layout = LayoutPreview(Inputs(3, 2, 3, 10, gap), &a4);
    EXPECT_EQ(layout.refusal, TRefusal::kGapY);
    EXPECT_TRUE(layout.frames.empty());
  }
}

TPreviewScene SceneWith(std::size_t lines, TPreviewState state = TPreviewState::kRead) {
  auto scene = std::make_shared<TScene>();
  for (std::size_t i = 0; i < lines; ++i) {
    TShape s;
    s.a = {0, 0};
    s.b = {10, 5};
    AddShape(*scene, s);
  }
  return {scene, state, nullptr};
}

TEST(PreviewPicture, ScenesMoveWithTheirTilesAndLabelsTellWhatIsMissing) {
  const TPaperSize a3{420, 297, 3};
  TTilingInputs in = Inputs(4, 0, 2, 10, 10);
  const TPreviewLayout layout = LayoutPreview(in, &a3);
  std::unordered_map<std::u16string, TPreviewScene> scenes;
  scenes[in.base_file] = SceneWith(1);
  scenes[in.files[0]] = SceneWith(2);
  scenes[in.files[1]] = SceneWith(0, TPreviewState::kMissing);
  scenes[in.files[2]] = SceneWith(3, TPreviewState::kPartial);  // in.files[3]: not read yet
  const TPreviewPicture picture = ComposePreview(in, layout, scenes);
  ASSERT_EQ(picture.scenes.size(), 3u);
  EXPECT_EQ(picture.scenes[0].scene, scenes[in.base_file].scene);
  EXPECT_EQ(picture.scenes[0].dx, 0);
  EXPECT_EQ(picture.scenes[2].scene, scenes[in.files[2]].scene);
  EXPECT_EQ(picture.scenes[2].dx, 0);
  EXPECT_EQ(picture.scenes[2].dy, 307);
  ASSERT_EQ(picture.frames.size(), 4u);
  EXPECT_EQ(picture.frames[0].label, u"1: da.jww");
  EXPECT_EQ(picture.frames[1].label, u"2: db.jww（見つかりません）");
  EXPECT_EQ(picture.frames[2].label, u"3: dc.jww（一部のみ読込）");
  EXPECT_EQ(picture.frames[3].label, u"4: dd.jww");
  EXPECT_EQ(picture.extents.min_x, -210);
  EXPECT_EQ(picture.extents.max_x, 430 + 210);
  EXPECT_EQ(picture.extents.max_y, 307 + 148.5);

  // Offsets too far out to draw are left out; the rest stays.
  const TPreviewLayout far = LayoutPreview(Inputs(3, 0, 1, 0, 1e300), &a3);
  const TPreviewPicture near = ComposePreview(Inputs(3, 0, 1, 0, 1e300), far, {});
  ASSERT_EQ(near.frames.size(), 1u);
  EXPECT_EQ(near.extents.max_y, 148.5);
}

TEST(PreviewPicture, OwnPapersPlaceTheTilesAndWarningsMarkThem) {
  // An A4 base at 1:100; an A4 and an A2 drawing at 1:50, read as the
  // reader thread reads them.
  TempDir dir;
  auto write = [&](const std::string& name, std::int32_t paper, double scale) {
    TJwwData d;
    testing::InitDrawing(d, 700, paper);
    for (auto& g : d.EntLgrp)
      g.adScale = scale;
    d.EntLine.push_back({});
    d.EntLine.back().end_x = 10;
    d.EntNo.push_back({kEntLine, 0});
    d.MakeBlockTree();
    EXPECT_TRUE(d.FileOut(dir.ufile(name), 700));
    return dir.ufile(name);
  };
  TTilingInputs in;
  in.base_file = write("base.jww", 4, 100);
  in.files = {write("a4.jww", 4, 100), write("a2.jww", 2, 50)};
  in.tile_size = TTileSize::kOwn;
  const TPaperSize a4 = PaperSizeOf(4);
  std::unordered_map<std::u16string, TPreviewScene> scenes;
  for (const auto& f : {in.base_file, in.files[0], in.files[1]})
    scenes[f] = ReadPreviewScene(f, 1000);
  ASSERT_TRUE(scenes[in.files[1]].traits);
  EXPECT_EQ(scenes[in.files[1]].traits->nZumen, 2);

  const TPreviewLayout layout = LayoutPreview(in, &a4);
  // Before anything is read every tile has the base paper.
  EXPECT_EQ(ComposePreview(in, layout, {}).frames.size(), 2u);
  TPreviewPicture picture = ComposePreview(in, layout, scenes);
  // The A4 sheet in the A2 sheet's row shows its cell; the A2 one its paper,
  // marked for its scale.
  ASSERT_EQ(picture.frames.size(), 3u);
  EXPECT_TRUE(picture.frames[0].cell);
  EXPECT_EQ(picture.frames[0].height, 420);
  EXPECT_EQ(picture.frames[1].label, u"1: a4.jww");
  EXPECT_FALSE(picture.frames[1].warn);
  EXPECT_EQ(picture.frames[2].label, u"2: a2.jww（縮尺違い）");
  EXPECT_TRUE(picture.frames[2].warn);
  EXPECT_EQ(picture.frames[2].x, 148.5 + 10);
  EXPECT_EQ(picture.frames[2].width, 594);
  ASSERT_EQ(picture.scenes.size(), 3u);
  EXPECT_EQ(picture.scenes[2].dx, 148.5 + 10 + 297);

  // Base stepping: the A2 sheet on an A4 cell, marked for both.
  in.tile_size = TTileSize::kBase;
  picture = ComposePreview(in, LayoutPreview(in, &a4), scenes);
  ASSERT_EQ(picture.frames.size(), 3u);
  EXPECT_TRUE(picture.frames[1].cell);
  EXPECT_EQ(picture.frames[1].x, 307 - 148.5);
  EXPECT_EQ(picture.frames[2].label, u"2: a2.jww（用紙違い・縮尺違い）");
  EXPECT_EQ(picture.frames[2].x, 307 - 297);

  // A gap that stacks the tiles: the later one is marked for it too, as
  // the run warns.
  in.gap_x = -297;
  picture = ComposePreview(in, LayoutPreview(in, &a4), scenes);
  ASSERT_EQ(picture.frames.size(), 3u);
  EXPECT_EQ(picture.frames[0].label, u"1: a4.jww");
  EXPECT_EQ(picture.frames[2].label, u"2: a2.jww（重なり・用紙違い・縮尺違い）");
}

// What the run would make, shown before it: with groups of their own each
// drawing's label says where its scales went, as the run places them in list
// order (1:200 twice sharing one group); with a paper chosen everything lies
// reduced and centred on it, and its frame is shown.
TEST(PreviewPicture, GroupsOfTheirOwnAndAChosenPaperShowAsTheRunMakesThem) {
  TempDir dir;
  auto write = [&](const std::string& name, double scale) {
    DrawingSpec spec;
    spec.lines = 1;
    spec.scale = scale;
    spec.groups = 1;
    EXPECT_TRUE(WriteDrawing(spec, dir.file(name)));
    return dir.ufile(name);
  };
  TTilingInputs in;
  in.base_file = write("base.jww", 100);
  in.files = {write("same.jww", 100), write("site.jww", 200), write("detail.jww", 50),
              write("site2.jww", 200)};
  std::unordered_map<std::u16string, TPreviewScene> scenes;
  for (const auto& f : {in.base_file, in.files[0], in.files[1], in.files[2], in.files[3]})
    scenes[f] = ReadPreviewScene(f, 1000);
  const TPaperSize a3 = PaperSizeOf(3);

  const std::u16string own[] = {u"1: same.jww", u"2: site.jww [1] 1/200", u"3: detail.jww [2] 1/50",
                                u"4: site2.jww [1] 1/200"};
  const std::u16string base[] = {u"1: same.jww", u"2: site.jww（縮尺違い）",
                                 u"3: detail.jww（縮尺違い）", u"4: site2.jww（縮尺違い）"};
  // Four A3 sheets, three to a row: 1280 x 604 mm around (430, 153.5).
  const struct {
    const char* name;
    TLayerGroups groups;
    TPaperChoice paper;
    const std::u16string* labels;
    const char16_t* sheet;  // the paper's frame label; null: no frame
    bool fits;
    double k, x0, y0;  // every drawing's reduction; where the first tile's origin lies
  } cases[] = {
      {"groups only", TLayerGroups::kOwn, {}, own, nullptr, true, 1, 0, 0},
      {"nothing chosen", TLayerGroups::kBase, {}, base, nullptr, true, 1, 0, 0},
      {"fit: 2A",
       TLayerGroups::kOwn,
       {TPaperChoice::kFit, 3, std::nullopt},
       own,
       u"用紙（2A）",
       true,
       1,
       -430,
       -153.5},
      // At 1/4 the sheets are 105 x 74.25 mm, the gaps still 10 mm.
      {"A3: reduced",
       TLayerGroups::kBase,
       {TPaperChoice::kNamed, 3, std::nullopt},
       base,
       u"用紙（A3） 縮小 1/4",
       true,
       0.25,
       -115,
       -42.125},
      {"a factor too weak for the base paper",
       TLayerGroups::kOwn,
       {TPaperChoice::kBase, 3, 0.5},
       own,
       u"用紙（A3） 縮小 1/2",
       false,
       0.5,
       -220,
       -79.25},
  };
  for (const auto& c : cases) {
    in.layer_groups = c.groups;
    in.paper = c.paper;
    const TPreviewPicture picture = ComposePreview(in, LayoutPreview(in, &a3), scenes);
    const std::size_t tiles = in.files.size();
    ASSERT_EQ(picture.frames.size(), tiles + (c.sheet ? 1 : 0)) << c.name;
    for (std::size_t i = 0; i < tiles; ++i)
      EXPECT_EQ(picture.frames[i].label, c.labels[i]) << c.name << " " << i;
    // The first tile's paper frame, reduced, around its origin.
    EXPECT_DOUBLE_EQ(picture.frames[0].x, c.x0 - 210 * c.k) << c.name;
    EXPECT_DOUBLE_EQ(picture.frames[0].width, 420 * c.k) << c.name;
    if (c.sheet) {
      const TPaperFrame& sheet = picture.frames.back();
      EXPECT_TRUE(sheet.sheet) << c.name;
      EXPECT_EQ(sheet.label, c.sheet) << c.name;
      EXPECT_EQ(sheet.warn, !c.fits) << c.name;
      EXPECT_EQ(sheet.x, -sheet.width / 2) << c.name;
      EXPECT_EQ(sheet.y, -sheet.height / 2) << c.name;
    }
    // The base drawing and the first tile lie where the first tile's origin
    // is, everything reduced alike; the last tile (4) starts the second row.
    ASSERT_EQ(picture.scenes.size(), tiles + 1) << c.name;
    for (const TPlacedScene& s : picture.scenes)
      EXPECT_EQ(s.k, c.k) << c.name;
    EXPECT_DOUBLE_EQ(picture.scenes[0].dx, c.x0) << c.name;
    EXPECT_DOUBLE_EQ(picture.scenes[0].dy, c.y0) << c.name;
    EXPECT_DOUBLE_EQ(picture.scenes[1].dx, c.x0) << c.name;
    EXPECT_DOUBLE_EQ(picture.scenes[4].dx, c.x0) << c.name;
    EXPECT_DOUBLE_EQ(picture.scenes[4].dy, c.y0 + 297 * c.k + 10) << c.name;
    EXPECT_DOUBLE_EQ(picture.scenes[2].dx, c.x0 + 420 * c.k + 10) << c.name;
  }
}

// On the real drawings, tiled by groups of their own on the paper that fits
// and reduced onto A1: every drawing read whole is labelled with the groups
// the run sends it to, and everything lies where the run puts it.
TEST(PreviewCorpus, TheRunsGroupsAndPaperAreThoseThePreviewShows) {
  std::vector<std::u16string> files;
  std::error_code ec;
  if (fs::is_directory(PLATTERO_CORPUS_DIR, ec)) {
    for (auto& e : fs::recursive_directory_iterator(PLATTERO_CORPUS_DIR, ec)) {
      if (e.is_regular_file() && e.path().extension() == ".jww")
        files.push_back(e.path().u16string());
    }
  }
  if (files.empty()) GTEST_SKIP() << "no corpus at " << PLATTERO_CORPUS_DIR;
  std::sort(files.begin(), files.end());
  TTilingInputs in;
  in.files = files;
  in.base_file = files[0];
  in.count = 5;
  in.layer_groups = TLayerGroups::kOwn;
  std::unordered_map<std::u16string, TPreviewScene> scenes;
  for (const std::u16string& f : files)
    scenes[f] = ReadPreviewScene(f, 200000);
  ASSERT_TRUE(scenes[in.base_file].traits);
  const TPaperSize paper = PaperSizeOf(scenes[in.base_file].traits->nZumen);
  const std::vector<std::u16string> names = TileLabels(files);
  for (const TPaperChoice& choice : {TPaperChoice{TPaperChoice::kFit, 3, std::nullopt},
                                     TPaperChoice{TPaperChoice::kNamed, 1, std::nullopt}}) {
    in.paper = choice;
    const TPreviewPicture picture = ComposePreview(in, LayoutPreview(in, &paper), scenes);
    std::vector<std::u16string> labels;
    for (const TPaperFrame& f : picture.frames) {
      if (!f.cell && !f.sheet) labels.push_back(f.label);
    }
    ASSERT_EQ(labels.size(), files.size());
    TempDir tmp, tmp2;
    TTilingEngine engine(tmp.upath(), tmp2.upath());
    ASSERT_FALSE(engine.Merge(in).has_value());
    std::vector<std::u16string> notes(files.size());
    for (const TTileWarning& n : engine.Report().notices) {
      std::vector<TGroupPlaced> moved;
      for (const TGroupPlaced& g : n.placed) {
        if (g.to != g.from) moved.push_back(g);
      }
      if (n.kind == TTileWarning::kGroups)
        notes[static_cast<std::size_t>(n.tile)] = GroupsNote(moved);
    }
    std::size_t checked = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
      const TPreviewScene& s = scenes[files[i]];
      if (s.state != TPreviewState::kRead || !s.traits || s.scene->cut) continue;
      const std::u16string expected = names[i] + (notes[i].empty() ? u"" : u" " + notes[i]);
      EXPECT_TRUE(labels[i] == expected || labels[i].rfind(expected + u"（", 0) == 0)
          << Utf16ToUtf8(labels[i]) << " / " << Utf16ToUtf8(expected);
      ++checked;
    }
    EXPECT_GT(checked, files.size() / 2);
    const auto& fit = engine.Report().paper;
    ASSERT_TRUE(fit.has_value());
    EXPECT_EQ(fit->k, picture.scenes[0].k);
    EXPECT_EQ(fit->dx, picture.scenes[0].dx);
    EXPECT_EQ(fit->dy, picture.scenes[0].dy);
    EXPECT_EQ(picture.frames.back().label, SheetLabel(*fit));
  }
}

TEST(PreviewPicture, ViewFitsTheBoxWithYUp) {
  TBox box;
  box.Add(-100, 0);
  box.Add(300, 100);
  const TPreviewView v = FitView(box, 420, 320, 10);
  EXPECT_DOUBLE_EQ(v.scale, 1);  // width limits: 400 / 400
  EXPECT_DOUBLE_EQ(v.x0 + -100 * v.scale, 10);
  EXPECT_DOUBLE_EQ(v.x0 + 300 * v.scale, 410);
  EXPECT_DOUBLE_EQ(v.y0 - 100 * v.scale, 110);  // the top of the box is above its bottom
  EXPECT_DOUBLE_EQ(v.y0 - 0 * v.scale, 210);
  const TPreviewView empty = FitView(TBox{}, 100, 80, 10);
  EXPECT_EQ(empty.scale, 1);
}

// Zooming keeps the drawing point under the cursor where it is and the scale
// within its bounds; panning moves by pixels; nonsense leaves the view alone.
TEST(PreviewTest, ZoomAboutAPointAndPan) {
  const TPreviewView v{2, 100, 300};  // drawing (0, 0) at canvas (100, 300)
  const struct {
    const char* name;
    double factor, x, y, min, max;
    double scale;  // expected
  } zooms[] = {
      {"in about the origin's pixel", 2, 100, 300, 0.1, 100, 4},
      {"in about another point", 1.25, 400, 20, 0.1, 100, 2.5},
      {"out", 0.5, 37, 411, 0.1, 100, 1},
      {"in beyond the largest scale", 1000, 50, 60, 0.1, 8, 8},
      {"out beyond the smallest", 1e-6, 50, 60, 0.5, 8, 0.5},
      {"a factor of 0", 0, 50, 60, 0.1, 100, 2},
      {"a negative factor", -2, 50, 60, 0.1, 100, 2},
      {"not a number", std::nan(""), 50, 60, 0.1, 100, 2},
  };
  for (const auto& z : zooms) {
    const TPreviewView w = ZoomView(v, z.factor, z.x, z.y, z.min, z.max);
    EXPECT_DOUBLE_EQ(w.scale, z.scale) << z.name;
    // The drawing point under (x, y) before is there after.
    const double dx = (z.x - v.x0) / v.scale, dy = (v.y0 - z.y) / v.scale;
    EXPECT_NEAR(w.x0 + dx * w.scale, z.x, 1e-9) << z.name;
    EXPECT_NEAR(w.y0 - dy * w.scale, z.y, 1e-9) << z.name;
  }
  const TPreviewView moved = PanView(v, -30, 12.5);
  EXPECT_EQ(moved.scale, 2);
  EXPECT_EQ(moved.x0, 70);
  EXPECT_EQ(moved.y0, 312.5);
  EXPECT_EQ(PanView(v, INFINITY, 0).x0, 100);
  EXPECT_DOUBLE_EQ(WheelZoomFactor(1), 1.25);
  EXPECT_DOUBLE_EQ(WheelZoomFactor(-2), 1 / 1.5625);
  EXPECT_DOUBLE_EQ(WheelZoomFactor(0), 1);
  EXPECT_EQ(WheelZoomFactor(std::nan("")), 1);
  EXPECT_TRUE(std::isfinite(WheelZoomFactor(1e300)));
}

class SceneCacheTest : public ::testing::Test {
 protected:
  std::u16string Drawing(const std::string& name, std::size_t lines) {
    DrawingSpec spec;
    spec.lines = lines;
    EXPECT_TRUE(WriteDrawing(spec, dir.file(name)));
    return dir.ufile(name);
  }
  TempDir dir;
};

TEST_F(SceneCacheTest, AnUnchangedFileIsReadOnceAndAChangedOneAgain) {
  const std::u16string path = Drawing("a.jww", 5);
  TSceneCache cache;
  const TPreviewScene first = cache.Get(path);
  EXPECT_EQ(first.state, TPreviewState::kRead);
  const std::size_t five = first.scene->shapes.size();
  EXPECT_GT(five, 0u);
  EXPECT_EQ(cache.Get(path).scene, first.scene);  // the same scene, not read again

  Drawing("a.jww", 9);
  fs::last_write_time(dir.file("a.jww"),
                      fs::last_write_time(dir.file("a.jww")) + std::chrono::seconds(5));
  const TPreviewScene second = cache.Get(path);
  EXPECT_NE(second.scene, first.scene);
  EXPECT_GT(second.scene->shapes.size(), five);
  EXPECT_EQ(cache.Shapes(), second.scene->shapes.size());

  fs::remove(dir.file("a.jww"));
  EXPECT_EQ(cache.Get(path).state, TPreviewState::kMissing);
  EXPECT_EQ(cache.Shapes(), 0u);
}

TEST_F(SceneCacheTest, DamagedMissingAndSpecialFilesGiveEmptyOrPartialScenes) {
  const std::u16string whole = Drawing("whole.jww", 40);
  std::ifstream in(dir.file("whole.jww"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::ofstream(dir.file("cut.jww"), std::ios::binary) << bytes.substr(0, bytes.size() * 2 / 3);
  std::ofstream(dir.file("text.jww"), std::ios::binary) << "not a drawing at all";
  fs::create_directory(dir.file("folder.jww"));
#ifndef _WIN32  // FIFOs in a folder are a POSIX thing; Windows pipes live apart from files
  ASSERT_EQ(::mkfifo(dir.file("pipe.jww").c_str(), 0600), 0);  // opening it would block
#endif

  TSceneCache cache;
  const TPreviewScene cut = cache.Get(dir.ufile("cut.jww"));
  EXPECT_EQ(cut.state, TPreviewState::kPartial);
  EXPECT_LT(cut.scene->shapes.size(), cache.Get(whole).scene->shapes.size());
  const TPreviewScene text = cache.Get(dir.ufile("text.jww"));
  EXPECT_EQ(text.state, TPreviewState::kNotDrawing);  // named so, not as partly read
  EXPECT_TRUE(text.scene->shapes.empty());
  for (const char* name : {"gone.jww", "folder.jww", "pipe.jww", ""}) {
    const TPreviewScene s = cache.Get(dir.ufile(name));
    EXPECT_EQ(s.state, TPreviewState::kMissing) << name;
    ASSERT_TRUE(s.scene) << name;
    EXPECT_TRUE(s.scene->shapes.empty()) << name;
  }
  EXPECT_EQ(cache.Get(u"").state, TPreviewState::kMissing);
}

TEST_F(SceneCacheTest, TheShapesKeptStayWithinTheBound) {
  const std::u16string a = Drawing("a.jww", 30), b = Drawing("b.jww", 30);
  const std::size_t each = ReadPreviewScene(a, kMaxSceneShapes).scene->shapes.size();
  ASSERT_GT(each, 2u);
  TSceneCache cache(each + each / 2);
  const auto first_a = cache.Get(a).scene;
  cache.Get(b);
  EXPECT_EQ(cache.Shapes(), each);  // a was let go for b
  EXPECT_NE(cache.Get(a).scene, first_a);

  // A drawing larger than the room it is asked with is not kept, and nothing
  // kept is let go for it, until there is room for it.
  TSceneCache roomy(each * 2);
  const auto kept_a = roomy.Get(a).scene;
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(roomy.Get(b, each / 2).state, TPreviewState::kSkipped);
    EXPECT_EQ(roomy.Shapes(), each);
  }
  EXPECT_EQ(roomy.Get(a).scene, kept_a);
  EXPECT_EQ(roomy.Get(a, 1).state, TPreviewState::kSkipped);
  EXPECT_EQ(roomy.Get(b, each).state, TPreviewState::kRead);
  EXPECT_EQ(roomy.Shapes(), 2 * each);

  // A drawing larger than the bound is cut to it.
  TSceneCache small(each / 2);
  const TPreviewScene cut = small.Get(a);
  EXPECT_EQ(cut.scene->shapes.size(), each / 2);
  EXPECT_TRUE(cut.scene->cut);
}

// What a reader delivered, as its thread handed it over.
struct Delivered {
  std::mutex mutex;
  std::vector<std::pair<std::u16string, TPreviewState>> scenes;
  std::vector<std::uint64_t> done;
  std::atomic<int> calls{0};
};

std::unique_ptr<TPreviewReader> ReaderInto(Delivered& d, std::shared_ptr<TSceneCache> cache) {
  return std::make_unique<TPreviewReader>(
      std::move(cache),
      [&d](std::uint64_t, const std::u16string& path, const TPreviewScene& s) {
        std::lock_guard lock(d.mutex);
        d.scenes.emplace_back(path, s.state);
        ++d.calls;
      },
      [&d](std::uint64_t request) {
        std::lock_guard lock(d.mutex);
        d.done.push_back(request);
        ++d.calls;
      });
}

bool WaitFor(const std::function<bool()>& ready) {
  for (int i = 0; i < 3000 && !ready(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return ready();
}

TEST_F(SceneCacheTest, TheReaderDeliversEachDrawingOnceWithinTheBound) {
  const std::u16string a = Drawing("a.jww", 30), b = Drawing("b.jww", 30), c = Drawing("c.jww", 1);
  const std::size_t each = ReadPreviewScene(a, kMaxSceneShapes).scene->shapes.size();
  Delivered d;
  auto reader = ReaderInto(d, std::make_shared<TSceneCache>(each + each / 2));
  const std::uint64_t request = reader->Request({a, dir.ufile("gone.jww"), a, b, c});
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard lock(d.mutex);
    return !d.done.empty();
  }));
  std::lock_guard lock(d.mutex);
  EXPECT_EQ(d.done, std::vector<std::uint64_t>{request});
  // b does not fit beside a; c comes after it and is not read at all.
  const std::vector<std::pair<std::u16string, TPreviewState>> expected = {
      {a, TPreviewState::kRead},
      {dir.ufile("gone.jww"), TPreviewState::kMissing},
      {b, TPreviewState::kSkipped},
      {c, TPreviewState::kSkipped}};
  EXPECT_EQ(d.scenes, expected);
}

TEST_F(SceneCacheTest, NothingIsDeliveredOnceTheReaderStopped) {
  std::vector<std::u16string> paths;
  for (int i = 0; i < 6; ++i)
    paths.push_back(Drawing("big" + std::to_string(i) + ".jww", 4000));
  Delivered d;
  auto reader = ReaderInto(d, std::make_shared<TSceneCache>());
  reader->Request(paths);
  reader->Request(paths);  // replaces the first before or while it runs
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  reader->Stop();
  const int calls = d.calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(d.calls, calls);
  EXPECT_EQ(reader->Request(paths), reader->Request(paths));  // ignored after Stop
  reader.reset();
  EXPECT_EQ(d.calls, calls);
}

}  // namespace
}  // namespace plattero::render
