// The arrangement preview on Windows: GDI paints arcs and round solids on the
// side they sweep and ellipses turned the right way, and the preview window
// shows what the form's preview model composes, follows the controls, and
// lets the main window close while drawings are being read.

#include "win32/preview_window.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <numbers>

#include "arc_pictures.h"
#include "drawing_builder.h"
#include "render/canvas.h"
#include "win32_test_util.h"

namespace plattero::win32 {
namespace {

using ::plattero::testing::DrawingSpec;
using ::plattero::testing::TempDir;
using testing::PumpUntil;
using testing::TPixels;
using window::TControl;

constexpr std::uint32_t kFrameRed = 0xD02020;

TPixels Painted(const render::TPreviewPicture& picture, int width, int height) {
  return testing::Capture(width, height, [&](HDC dc) {
    PaintPreviewPicture(dc, width, height, picture, MessageFontFor(96));
  });
}

TEST(PreviewPainting, ArcsAndRoundSolidsAreDrawnOnTheSideTheySweep) {
  for (const bool solid : {false, true}) {
    for (const ::plattero::testing::ArcCase& c : ::plattero::testing::ArcCases()) {
      const TPixels pixels = Painted(::plattero::testing::ArcPicture(c, solid), 324, 324);
      const std::array<int, 4> ink = ::plattero::testing::InkByQuadrant(
          pixels.width, pixels.height, [&pixels](int x, int y) { return pixels.at(x, y); });
      const int least = solid ? ::plattero::testing::kFilledQuadrantInk : 20;
      for (int q = 0; q < 4; ++q)
        EXPECT_EQ(ink[q] > least, c.inked[q])
            << c.name << (solid ? " (solid)" : "") << ", quadrant " << q << ": " << ink[q];
    }
  }
}

// A whole ellipse turned 45 degrees counter-clockwise (y up) reaches into the
// upper right and the lower left corner of its square, not the others; and
// a text is drawn along its turned base line, fitted to its length.
TEST(PreviewPainting, TurnedEllipsesAndTextsFollowTheirAngle) {
  render::TScene scene;
  render::TShape ellipse;
  ellipse.kind = render::TShapeKind::kArc;
  ellipse.full = true;
  ellipse.a = {0, 0};
  ellipse.rx = 140;
  ellipse.ry = 20;
  ellipse.rot = std::numbers::pi / 4;
  render::TShape text;
  text.kind = render::TShapeKind::kText;
  text.pen.rgb = 0x0000FF;
  text.text = "図面図面図面図面";
  text.a = {-100, 60};
  text.height = 20;
  text.angle = -45;  // down to the right, through the upper left quadrant
  text.length = 110;
  scene.shapes = {ellipse, text};
  render::TPreviewPicture picture;
  picture.scenes.push_back({0, 0, std::make_shared<const render::TScene>(scene)});
  picture.extents.Add(-150, -150);
  picture.extents.Add(150, 150);
  const TPixels pixels = Painted(picture, 324, 324);
  const auto inked_near = [&pixels](int x, int y, std::uint32_t which) {
    int n = 0;
    for (int dy = -12; dy <= 12; ++dy) {
      for (int dx = -12; dx <= 12; ++dx) {
        const std::uint32_t c = pixels.at(162 + x + dx, 162 - y + dy);
        n += which ? c == which : c != 0xFFFFFF;
      }
    }
    return n;
  };
  EXPECT_GT(inked_near(95, 95, 0), 0);
  EXPECT_GT(inked_near(-95, -95, 0), 0);
  EXPECT_EQ(inked_near(95, -95, 0), 0);
  EXPECT_GT(inked_near(-60, 20, 0x0000FF), 0);  // on the text's base line
  EXPECT_EQ(inked_near(-60, -60, 0x0000FF), 0);
}

class PreviewWindowTest : public ::testing::Test {
 protected:
  std::u16string Drawing(const std::string& name, DrawingSpec spec = {}) {
    if (spec.lines == 0 && spec.arcs == 0) spec.lines = 5;
    EXPECT_TRUE(WriteDrawing(spec, dir.file(name)));
    return dir.ufile(name);
  }
  TempDir dir;
};

TEST_F(PreviewWindowTest, ThePreviewPaintsAndFollowsTheControls) {
  const std::u16string base = Drawing("base.jww");  // A3: tiles 420 x 297
  DrawingSpec big;
  big.lines = 3000;
  big.arcs = 3000;
  std::vector<std::u16string> files = {Drawing("one.jww"), Drawing("two.jww")};
  for (int i = 0; i < 3; ++i)
    files.push_back(Drawing("big" + std::to_string(i) + ".jww", big));
  auto w = std::make_unique<testing::TTestWindow>(TFormOptions{dir.ufile("plattero.exe"), false});
  w->Show();
  w->open_answers = {{base}, {files[0], files[1]}};
  ::SendMessageW(w->Control(TControl::Button1), BM_CLICK, 0, 0);
  ::SendMessageW(w->Control(TControl::Button2), BM_CLICK, 0, 0);
  ::SendMessageW(w->Control(TControl::Button9), BM_CLICK, 0, 0);
  ASSERT_TRUE(w->PreviewWindow());
  TPreviewWindow& preview = *w->PreviewWindow();
  window::TPreviewModel& model = *w->Form().Preview();
  EXPECT_TRUE(::IsWindowVisible(preview.Handle()));
  // A window of its own (clicking the main window brings that in front of
  // it), beside the main window.
  EXPECT_EQ(::GetWindow(preview.Handle(), GW_OWNER), nullptr);
  EXPECT_EQ(WindowText(preview.Handle()), window::kPreviewTitle);
  RECT main_frame{}, preview_frame{}, overlap{};
  ::GetWindowRect(w->Handle(), &main_frame);
  ::GetWindowRect(preview.Handle(), &preview_frame);
  EXPECT_FALSE(::IntersectRect(&overlap, &main_frame, &preview_frame))
      << preview_frame.left << "," << preview_frame.top;
  ASSERT_TRUE(PumpUntil([&] { return !model.IsReading() && model.Scenes().size() == 3; }));
  EXPECT_EQ(WindowText(preview.StatusText()), u"");

  // The window paints the frames in their colour, and the drawings beside them.
  RECT client{};
  ::GetClientRect(preview.Handle(), &client);
  const TPixels painted = testing::Capture(client.right, client.bottom, [&](HDC dc) {
    ::SendMessageW(preview.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  });
  render::TPreviewPicture frames_only = preview.Picture();
  frames_only.scenes.clear();
  const TPixels without = testing::Capture(client.right, client.bottom, [&](HDC dc) {
    PaintPreviewPicture(dc, client.right, client.bottom - (client.bottom - painted.height),
                        frames_only, MessageFontFor(w->Dpi()));
  });
  const auto is_red = [](std::uint32_t c) { return c == kFrameRed; };
  const auto is_ink = [](std::uint32_t c) { return c != 0xFFFFFF; };
  EXPECT_GT(painted.Count(is_red), 100);
  EXPECT_GT(painted.Count(is_ink), without.Count(is_ink) + 10);

  // The wheel zooms at the cursor, a drag moves the picture, a double-click
  // fits it again.
  const HWND p = preview.Handle();
  POINT centre{client.right / 2, client.bottom / 3};
  POINT on_screen = centre;
  ::ClientToScreen(p, &on_screen);
  ::SendMessageW(p, WM_MOUSEWHEEL, MAKEWPARAM(0, 2 * WHEEL_DELTA),
                 MAKELPARAM(on_screen.x, on_screen.y));
  EXPECT_FALSE(preview.Navigator().Fitted());
  const render::TPreviewView zoomed = preview.Navigator().View();
  EXPECT_GT(zoomed.scale, 1.5 * render::FitView(preview.Picture().extents, client.right,
                                                client.bottom - (client.bottom - painted.height),
                                                render::kPreviewMargin)
                                    .scale);
  ::SendMessageW(p, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(centre.x, centre.y));
  ::SendMessageW(p, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(centre.x + 30, centre.y - 10));
  ::SendMessageW(p, WM_LBUTTONUP, 0, MAKELPARAM(centre.x + 30, centre.y - 10));
  EXPECT_DOUBLE_EQ(preview.Navigator().View().x0, zoomed.x0 + 30);
  EXPECT_DOUBLE_EQ(preview.Navigator().View().y0, zoomed.y0 - 10);
  ::SendMessageW(p, WM_MOUSEMOVE, 0, MAKELPARAM(centre.x + 90, centre.y));  // button up
  EXPECT_DOUBLE_EQ(preview.Navigator().View().x0, zoomed.x0 + 30);
  ::SendMessageW(p, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(centre.x, centre.y));
  EXPECT_TRUE(preview.Navigator().Fitted());

  // An edit in the window reaches the preview; a count refused shows why.
  ::SetWindowTextW(w->Control(TControl::Edit3), L"20");
  ::SendMessageW(w->Control(TControl::ComboBox1), CB_SETCURSEL, 2, 0);
  ::SendMessageW(w->Handle(), WM_COMMAND, MAKEWPARAM(100 + int(TControl::ComboBox1), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(w->Control(TControl::ComboBox1)));
  ASSERT_TRUE(PumpUntil([&] {
    return model.Layout().offsets.size() == 2 &&
           model.Layout().offsets[1] == std::make_pair(0.0, 317.0);
  }));
  ::SetWindowTextW(w->Control(TControl::Edit1), L"0");
  ASSERT_TRUE(PumpUntil([&] { return preview.Picture().frames.empty(); }));
  EXPECT_EQ(WindowText(preview.StatusText()), u"縦数： の数値を再入力して下さい。");
  ::SetWindowTextW(w->Control(TControl::Edit1), L"3");

  // Closed, it is kept; the preview button shows it again.
  ::SendMessageW(preview.Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindowVisible(preview.Handle()));
  ::SendMessageW(w->Control(TControl::Button9), BM_CLICK, 0, 0);
  EXPECT_TRUE(::IsWindowVisible(preview.Handle()));

  // Back from Jw_cad, which saved a drawing: it is read again once the
  // preview is active again.
  ASSERT_TRUE(PumpUntil([&] { return !model.IsReading() && model.Scenes().count(files[0]); }));
  const auto before = model.Scenes().at(files[0]).scene;
  DrawingSpec more;
  more.lines = 12;
  Drawing("one.jww", more);
  std::filesystem::last_write_time(
      std::filesystem::path(files[0]),
      std::filesystem::last_write_time(std::filesystem::path(files[0])) + std::chrono::seconds(5));
  ::SendMessageW(preview.Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
  ASSERT_TRUE(
      PumpUntil([&] { return !model.IsReading() && model.Scenes().at(files[0]).scene != before; }));
  EXPECT_GT(model.Scenes().at(files[0]).scene->shapes.size(), before->shapes.size());

  // Large drawings being read when the main window closes.
  w->open_answers = {{files[2], files[3], files[4]}};
  ::SendMessageW(w->Control(TControl::Button2), BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return model.IsReading(); }));
  const auto start = std::chrono::steady_clock::now();
  ::SendMessageW(w->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(w->Handle(), nullptr);
  EXPECT_EQ(w->PreviewWindow()->Handle(), nullptr);  // gone with the main window
  w.reset();
  testing::Pump();  // results queued for the gone window are dropped
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
}  // namespace plattero::win32
