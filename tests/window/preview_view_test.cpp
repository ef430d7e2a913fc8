// The preview window's shared logic: where it opens for main windows and
// screens of every kind, how the view follows the wheel and drags, and what
// its status line says.

#include "window/preview_view.h"

#include <gtest/gtest.h>

namespace plattero::window {
namespace {

using Screens = std::vector<TRect>;

TEST(PreviewPlaceTest, BesideTheMainWindowNeverOverIt) {
  const TRect full_hd{0, 0, 1920, 1050};  // a work area above a task bar
  const TRect small{0, 0, 1024, 768};
  const TRect second{1920, 0, 1280, 1024};
  const struct {
    const char* name;
    TRect kept, main;
    Screens screens;
    TRect want;
  } cases[] = {
      {"room on the right", {}, {100, 100, 542, 497}, {full_hd}, {642, 100, 656, 519}},
      {"right, kept low enough to fit", {}, {100, 900, 542, 120}, {full_hd}, {642, 531, 656, 519}},
      {"no room right: below, within the screen",
       {},
       {1300, 50, 542, 400},
       {full_hd},
       {1264, 450, 656, 519}},
      {"room neither right nor below: left",
       {},
       {1300, 100, 542, 497},
       {full_hd},
       {644, 100, 656, 519}},
      {"only above", {}, {300, 600, 1600, 450}, {full_hd}, {300, 81, 656, 519}},
      {"where it was, even over the main window",
       {150, 120, 700, 500},
       {100, 100, 542, 497},
       {full_hd},
       {150, 120, 700, 500}},
      {"where it was is off every screen: beside, at its size",
       {-5000, -5000, 700, 500},
       {100, 100, 542, 497},
       {full_hd},
       {642, 100, 700, 500}},
      {"a damaged size kept: beside, at the default size",
       {10, 10, 5, 99999},
       {100, 100, 542, 497},
       {full_hd},
       {642, 100, 656, 519}},
      {"main window filling its screen: on the other screen",
       {},
       {0, 0, 1920, 1050},
       {full_hd, second},
       {1920, 0, 656, 519}},
      {"main window on the second screen: right of it there",
       {},
       {2000, 100, 500, 400},
       {full_hd, second},
       {2500, 100, 656, 519}},
      {"room for a smaller one only: the largest room, shrunk",
       {},
       {0, 0, 700, 500},
       {small},
       {0, 500, 656, 268}},
      {"no room anywhere: at the screen's right edge",
       {},
       {0, 0, 1024, 768},
       {small},
       {368, 0, 656, 519}},
      {"no screens known: right of it", {}, {10, 20, 300, 200}, {}, {310, 20, 656, 519}},
      {"edges far out do not overflow",
       {2147483000, 2147483000, 2000, 2000},
       {100, 100, 542, 497},
       {full_hd},
       {642, 0, 1278, 1050}},
  };
  for (const auto& c : cases) {
    const TRect r = PlacePreview(c.kept, c.main, 656, 519, c.screens);
    EXPECT_EQ(r, c.want) << c.name << ": got " << r.left << "," << r.top << " " << r.width << "x"
                         << r.height;
  }
}

TEST(PreviewNavigatorTest, WheelZoomsAtTheCursorDragPansDoubleClickFits) {
  render::TBox box;
  box.Add(0, 0);
  box.Add(400, 300);
  TPreviewNavigator nav;
  nav.Resize(424, 324);
  nav.SetExtents(box);
  const render::TPreviewView fitted = nav.View();
  EXPECT_TRUE(nav.Fitted());
  EXPECT_DOUBLE_EQ(fitted.scale, 1);  // 400 wide into 424 less two margins of 12

  // The drawing point under the cursor stays under it.
  auto drawing_at = [&nav](double x, double y) {
    const render::TPreviewView v = nav.View();
    return std::make_pair((x - v.x0) / v.scale, (v.y0 - y) / v.scale);
  };
  const auto before = drawing_at(100, 80);
  nav.Wheel(1, 100, 80);
  EXPECT_FALSE(nav.Fitted());
  EXPECT_DOUBLE_EQ(nav.View().scale, 1.25);
  const auto after = drawing_at(100, 80);
  EXPECT_NEAR(after.first, before.first, 1e-9);
  EXPECT_NEAR(after.second, before.second, 1e-9);

  // A drag moves the picture with the mouse, and only while the button is down.
  const render::TPreviewView zoomed = nav.View();
  EXPECT_FALSE(nav.Drag(50, 50));
  nav.Press(10, 10);
  EXPECT_FALSE(nav.Drag(10, 10));
  EXPECT_TRUE(nav.Drag(30, 5));
  EXPECT_TRUE(nav.Drag(35, 5));
  nav.Release();
  EXPECT_FALSE(nav.Drag(90, 90));
  EXPECT_DOUBLE_EQ(nav.View().x0, zoomed.x0 + 25);
  EXPECT_DOUBLE_EQ(nav.View().y0, zoomed.y0 - 5);

  // New extents (a drawing read) and a larger canvas keep the user's view,
  // centred as it was.
  const auto centre = drawing_at(212, 162);
  render::TBox more = box;
  more.Add(900, 300);
  nav.SetExtents(more);
  nav.Resize(624, 424);
  const auto moved_centre = drawing_at(312, 212);
  EXPECT_NEAR(moved_centre.first, centre.first, 1e-9);
  EXPECT_NEAR(moved_centre.second, centre.second, 1e-9);

  // The scale stays between a tenth of the fitted one and 2000 times it.
  for (int i = 0; i < 200; ++i)
    nav.Wheel(3, 0, 0);
  EXPECT_DOUBLE_EQ(nav.View().scale, 2000 * render::FitView(more, 624, 424, 12).scale);
  for (int i = 0; i < 200; ++i)
    nav.Wheel(-3, 0, 0);
  EXPECT_DOUBLE_EQ(nav.View().scale, 0.1 * render::FitView(more, 624, 424, 12).scale);

  // A double-click fits everything, and the view follows the canvas again.
  nav.Press(1, 1);
  nav.Fit();
  EXPECT_TRUE(nav.Fitted());
  EXPECT_FALSE(nav.Dragging());
  const render::TPreviewView refit = nav.View();
  const render::TPreviewView want = render::FitView(more, 624, 424, 12);
  EXPECT_DOUBLE_EQ(refit.scale, want.scale);
  EXPECT_DOUBLE_EQ(refit.x0, want.x0);
  EXPECT_DOUBLE_EQ(refit.y0, want.y0);
}

TEST(PreviewStatusTest, SaysWhatIsReadMissingPartialAndLeftOut) {
  TFieldChoices in;
  in.inputs.base_file = u"/b.jww";
  in.inputs.files = {u"/a.jww",    u"/gone.jww", u"/a.jww",    u"/bad.jww",
                     u"/big1.jww", u"/big2.jww", u"/notes.jww"};
  auto scene = [](render::TPreviewState state) {
    render::TPreviewScene s;
    s.scene = std::make_shared<const render::TScene>();
    s.state = state;
    return s;
  };
  using S = render::TPreviewState;
  const std::unordered_map<std::u16string, render::TPreviewScene> all = {
      {u"/b.jww", scene(S::kRead)},           {u"/a.jww", scene(S::kRead)},
      {u"/gone.jww", scene(S::kMissing)},     {u"/bad.jww", scene(S::kPartial)},
      {u"/big1.jww", scene(S::kSkipped)},     {u"/big2.jww", scene(S::kSkipped)},
      {u"/notes.jww", scene(S::kNotDrawing)},
  };
  const std::unordered_map<std::u16string, render::TPreviewScene> fine = {
      {u"/b.jww", scene(S::kRead)}, {u"/a.jww", scene(S::kRead)}};
  render::TPreviewLayout refused;
  refused.refusal = TRefusal::kNoFiles;
  const struct {
    const char* name;
    const render::TPreviewLayout& layout;
    const std::unordered_map<std::u16string, render::TPreviewScene>& scenes;
    bool reading;
    std::u16string want;
  } cases[] = {
      {"refused choices", refused, all, true, u"図面ファイルを[追加]して下さい"},
      {"all read", {}, fine, false, u""},
      {"reading", {}, fine, true, kPreviewReading},
      {"every kind, each drawing once",
       {},
       all,
       false,
       u"1 個の図面が見つかりません。　1 個のファイルは図面ファイルではありません。　"
       u"1 個の図面は一部しか読み込めませんでした。　2 "
       u"個の図面はプレビューで描ける量を超えるため、枠だけを表示しています。"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PreviewStatus(in, c.layout, c.scenes, c.reading), c.want) << c.name;
}

}  // namespace
}  // namespace plattero::window
