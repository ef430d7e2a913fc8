// The Windows window driven in-process by messages, as the user's clicks,
// keys and drops reach it: its controls, captions, focus order and layout,
// that what the user does reaches the form (window/form.h, tested on its
// own) and what the form shows reaches the controls, settings written and
// read back, Jw_cad started by double-clicks, a whole run and the preview.

#include <windows.h>
// (after windows.h)
#include <commctrl.h>
#include <imm.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include "drawing_builder.h"
#include "jww/jww_data.h"
#include "test_system.h"
#include "util/text.h"
#include "win32_test_util.h"

namespace plattero::win32 {
namespace {

namespace fs = std::filesystem;
using ::plattero::testing::DrawingSpec;
using ::plattero::testing::NativePath;
using ::plattero::testing::ReadFileBytes;
using ::plattero::testing::TempDir;
using testing::PumpUntil;
using testing::TTestWindow;
using window::TControl;

window::TRect RectOf(HWND hwnd, bool client_of_parent = false) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  if (client_of_parent)
    ::MapWindowPoints(nullptr, ::GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::u16string ListItem(HWND list, int row) {
  std::wstring text(static_cast<std::size_t>(::SendMessageW(list, LB_GETTEXTLEN, row, 0)) + 1,
                    L'\0');
  text.resize(static_cast<std::size_t>(
      ::SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()))));
  return U(text);
}

std::u16string StatusText(HWND status) {
  std::wstring text(
      static_cast<std::size_t>(LOWORD(::SendMessageW(status, SB_GETTEXTLENGTHW, 0, 0))) + 1, L'\0');
  ::SendMessageW(status, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text.data()));
  return U(text.c_str());
}

class FormWindowTest : public ::testing::Test {
 protected:
  std::unique_ptr<TTestWindow> MakeWindow() {
    auto w = std::make_unique<TTestWindow>(TFormOptions{dir.ufile("plattero.exe"), false});
    w->Show();
    testing::Pump();
    return w;
  }
  // What a user's action on a control sends to the window.
  static void Notify(TTestWindow& w, TControl c, int code) {
    ::SendMessageW(w.Handle(), WM_COMMAND, MAKEWPARAM(100 + static_cast<int>(c), code),
                   reinterpret_cast<LPARAM>(w.Control(c)));
  }
  static void Click(TTestWindow& w, TControl c) { ::SendMessageW(w.Control(c), BM_CLICK, 0, 0); }
  static void ChooseRow(TTestWindow& w, int row) {
    ::SendMessageW(w.Control(TControl::ListBox1), LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    Notify(w, TControl::ListBox1, LBN_SELCHANGE);
  }
  static void Type(TTestWindow& w, TControl c, const char16_t* text) {
    ::SetWindowTextW(w.Control(c), W(text).c_str());  // EN_CHANGE follows
  }
  static void Choose(TTestWindow& w, int item, TControl combo = TControl::ComboBox1) {
    ::SendMessageW(w.Control(combo), CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    Notify(w, combo, CBN_SELCHANGE);
  }
  static std::u16string Items(HWND combo) {
    std::u16string items;
    for (int i = 0; i < ::SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i) {
      wchar_t item[32] = {};
      ::SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
      items += U(item) + u"/";
    }
    return items;
  }
  static bool WaitForRun(TTestWindow& w, const std::function<void()>& each = nullptr) {
    return PumpUntil([&w] { return !w.Form().IsRunning(); }, each);
  }
  void WriteSettings(const std::string& text) {
    std::ofstream(fs::path(dir.ufile("plattero.dat")), std::ios::binary) << text;
  }
  std::u16string Drawing(const std::string& name, DrawingSpec spec = {}) {
    if (spec.lines == 0 && spec.arcs == 0) spec.lines = 5;
    EXPECT_TRUE(WriteDrawing(spec, dir.file(name)));
    return NativePath(dir.ufile(name));
  }

  TempDir dir;  // where the program "is installed"
};

TEST_F(FormWindowTest, ControlsHaveTheirCaptionsLimitsFontAndFocusOrder) {
  auto w = MakeWindow();
  EXPECT_EQ(WindowText(w->Handle()).rfind(u"Plattero ", 0), 0u);
  for (const window::TControlSpec& spec : window::Controls()) {
    const HWND h = w->Control(spec.control);
    ASSERT_TRUE(h) << spec.name;
    if (spec.control != TControl::ComboBox1 && spec.control != TControl::ComboBox2 &&
        spec.control != TControl::ListBox1 && spec.control != TControl::StatusBar1) {
      EXPECT_EQ(WindowText(h), spec.caption) << spec.name;
    }
    if (spec.limit > 0) {
      EXPECT_EQ(::SendMessageW(h, EM_GETLIMITTEXT, 0, 0), spec.limit) << spec.name;
      const HIMC ime = ::ImmGetContext(h);
      EXPECT_EQ(ime, nullptr) << spec.name << ": typing goes without an input method";
      if (ime) ::ImmReleaseContext(h, ime);
    }
  }
  for (const auto& [c, items] :
       {std::pair{TControl::ComboBox1, u"右→上/右→下/上→右/下→右/"},
        std::pair{TControl::ComboBox2, u"ベース図面/自動/A4/A3/A2/A1/A0/2A/3A/4A/5A/"}}) {
    const HWND combo = w->Control(c);
    EXPECT_EQ(Items(combo), items);
    EXPECT_EQ(::SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(::GetWindowLongPtrW(combo, GWL_STYLE) & CBS_DROPDOWNLIST, CBS_DROPDOWNLIST);
  }
  EXPECT_FALSE(::GetWindowLongPtrW(w->Control(TControl::ListBox1), GWL_STYLE) &
               (LBS_MULTIPLESEL | LBS_EXTENDEDSEL | LBS_SORT));

  // The system's message font, at the window's DPI.
  LOGFONTW used{};
  ::GetObjectW(
      reinterpret_cast<HFONT>(::SendMessageW(w->Control(TControl::Button7), WM_GETFONT, 0, 0)),
      sizeof used, &used);
  const LOGFONTW message = MessageFontFor(w->Dpi());
  EXPECT_EQ(std::wstring(used.lfFaceName), std::wstring(message.lfFaceName));
  EXPECT_EQ(used.lfHeight, message.lfHeight);

  // Tab moves through the controls in their designed order.
  const std::vector<TControl> expected = {
      TControl::ComboBox1, TControl::Edit1,     TControl::Edit2,     TControl::Edit3,
      TControl::CheckBox1, TControl::ComboBox2, TControl::CheckBox2, TControl::Button1,
      TControl::ListBox1,  TControl::Button2,   TControl::Button3,   TControl::Button4,
      TControl::Button5,   TControl::Button6,   TControl::Button7,   TControl::Button8,
      TControl::Button9};
  std::vector<TControl> chain;
  HWND at = w->Control(TControl::ComboBox1);
  do {
    chain.push_back(static_cast<TControl>(::GetDlgCtrlID(at) - 100));
    at = ::GetNextDlgTabItem(w->Handle(), at, FALSE);
  } while (at != w->Control(TControl::ComboBox1) && chain.size() < 40);
  EXPECT_EQ(chain, expected);

  // A mnemonic presses its button: Alt+A adds drawings.
  MSG alt_a{w->Control(TControl::Edit1), WM_SYSCHAR, 'a', 0x20000000, 0, {}};
  EXPECT_TRUE(w->TranslateNavigation(alt_a));
  testing::Pump();
  EXPECT_EQ(w->open_requests.size(), 1u);
  EXPECT_TRUE(w->open_requests.back().multiple);

  // The designed layout at the designed client size (scaled by the DPI).
  const UINT dpi = w->Dpi();
  const auto px = [dpi](int v) { return ::MulDiv(v, static_cast<int>(dpi), 96); };
  const SIZE outer =
      OuterSize(px(window::kDesignWidth), px(window::kDesignHeight),
                static_cast<DWORD>(::GetWindowLongPtrW(w->Handle(), GWL_STYLE)),
                static_cast<DWORD>(::GetWindowLongPtrW(w->Handle(), GWL_EXSTYLE)), dpi);
  ::SetWindowPos(w->Handle(), nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER);
  RECT client{};
  ::GetClientRect(w->Handle(), &client);
  ASSERT_EQ(client.right, px(window::kDesignWidth));
  EXPECT_EQ(RectOf(w->Control(TControl::ListBox1), true).left, 0);
  EXPECT_EQ(RectOf(w->Control(TControl::ListBox1), true).top, px(111));
  EXPECT_EQ(RectOf(w->Control(TControl::Button2), true),
            (window::TRect{px(526) - px(89) + px(8), px(111) + px(8), px(75), px(30)}));
  EXPECT_EQ(RectOf(w->Control(TControl::Button1), true),
            (window::TRect{px(526) - px(80) + px(5), px(84), px(70), px(25)}));
  const window::TRect status = RectOf(w->Control(TControl::StatusBar1), true);
  EXPECT_EQ(status.top + status.height, client.bottom);
  const window::TRect start = RectOf(w->Control(TControl::Button7), true);
  EXPECT_EQ(start.top + start.height + px(6) + status.height, client.bottom);
  const window::TRect preview = RectOf(w->Control(TControl::Button9), true);
  EXPECT_EQ(preview.top, start.top);
  EXPECT_GT(preview.left, RectOf(w->Control(TControl::Button8), true).left + px(92));
  EXPECT_LE(preview.left + preview.width, client.right);
  // The check box beside the gaps, whole within the designed width.
  const window::TRect own = RectOf(w->Control(TControl::CheckBox1), true);
  const window::TRect mm = RectOf(w->Control(TControl::Label6), true);
  EXPECT_GE(own.left, mm.left + mm.width);
  EXPECT_LE(own.left + own.width, client.right);
  // The paper and the layer groups in a row of their own below the gaps: the
  // drop-down under the arrangement's, the check box beside it, whole within
  // the designed width.
  const window::TRect paper = RectOf(w->Control(TControl::ComboBox2), true);
  const window::TRect groups = RectOf(w->Control(TControl::CheckBox2), true);
  const window::TRect gap = RectOf(w->Control(TControl::Edit2), true);
  EXPECT_EQ(paper.left, RectOf(w->Control(TControl::ComboBox1), true).left);
  EXPECT_GE(paper.top, gap.top + gap.height);
  EXPECT_GE(groups.left, paper.left + paper.width);
  EXPECT_LE(groups.left + groups.width, client.right);
  EXPECT_LE(groups.top + groups.height, RectOf(w->Control(TControl::Label3), true).top);
}

TEST_F(FormWindowTest, AFlawedPlacementStillGivesAUsableWindow) {
  WriteSettings("-90000\n-90000\n0\nx\n");
  auto w = MakeWindow();
  RECT client{};
  ::GetClientRect(w->Handle(), &client);
  EXPECT_EQ(client.right, ::MulDiv(window::kDesignWidth, static_cast<int>(w->Dpi()), 96));
  EXPECT_EQ(client.bottom, ::MulDiv(window::kDesignHeight, static_cast<int>(w->Dpi()), 96));
  RECT frame{}, work{};
  ::GetWindowRect(w->Handle(), &frame);
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  RECT both{};
  EXPECT_TRUE(::IntersectRect(&both, &frame, &work));
}

// A settings line of 900,000 digits is refused and the count keeps its
// default; a base drawing's path as long as Windows allows, all digits, is
// kept. Either used to keep the window from appearing for minutes: Wine's
// edit controls take time growing with the square of a line of digits.
TEST_F(FormWindowTest, LongSettingsLinesDoNotHoldTheWindowBack) {
  std::string base = "C:";
  while (base.size() + 2 <= window::kMaxSettingsPath)
    base += "\\1";
  WriteSettings(
      "\xEF\xBB\xBF"
      "100\r\n120\r\n600\r\n500\r\n0\r\n" +
      std::string(900'000, '9') + "\r\n10\r\n10\r\n" + base + "\r\n");
  const auto start = std::chrono::steady_clock::now();
  auto w = MakeWindow();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  // (Compared as truths: a failure would print megabytes.)
  EXPECT_TRUE(WindowText(w->Control(TControl::Edit1)) == u"3");
  EXPECT_TRUE(w->Form().BaseFile == Utf8ToUtf16(base));
  EXPECT_TRUE(WindowText(w->Control(TControl::LabelBase)) == Utf8ToUtf16(base));
  const std::vector<std::u16string>& memo = w->Form().MemoT;
  ASSERT_GE(memo.size(), 9u);
  EXPECT_TRUE(memo[5] == u"3" && memo[6] == u"10" && memo[7] == u"10");
  EXPECT_TRUE(memo[8] == Utf8ToUtf16(base));
}

// Moved to a screen of another DPI, the window takes the size the system
// suggests, the message font for that DPI and the layout scaled with it.
TEST_F(FormWindowTest, ANewDpiScalesFontAndLayout) {
  auto w = MakeWindow();
  for (const UINT dpi : {144u, 96u, 120u}) {
    const int width = ::MulDiv(640, static_cast<int>(dpi), 96);
    const int height = ::MulDiv(560, static_cast<int>(dpi), 96);
    RECT suggested{40, 50, 40 + width, 50 + height};
    ::SendMessageW(w->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                   reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(w->Dpi(), dpi);
    EXPECT_EQ(RectOf(w->Handle()), (window::TRect{40, 50, width, height})) << dpi;
    LOGFONTW used{};
    ::GetObjectW(
        reinterpret_cast<HFONT>(::SendMessageW(w->Control(TControl::Button2), WM_GETFONT, 0, 0)),
        sizeof used, &used);
    EXPECT_EQ(used.lfHeight, MessageFontFor(dpi).lfHeight) << dpi;
    const auto px = [dpi](int v) { return ::MulDiv(v, static_cast<int>(dpi), 96); };
    RECT client{};
    ::GetClientRect(w->Handle(), &client);
    EXPECT_EQ(RectOf(w->Control(TControl::Button2), true),
              (window::TRect{client.right - px(89) + px(8), px(111) + px(8), px(75), px(30)}))
        << dpi;
  }
}

// What the user does reaches the form, and what the form shows reaches the
// controls: the settings restored, files added, a row chosen, edits, the
// arrangement, a drag within the list and a drop from Explorer.
TEST_F(FormWindowTest, TheControlsAndTheFormAgree) {
  const std::u16string base = Drawing("base.jww");
  WriteSettings(
      "\xEF\xBB\xBF"
      "100\r\n120\r\n600\r\n500\r\n2\r\n123456\r\n-5\r\nabc\r\n" +
      Utf16ToUtf8(base) + "\r\nC:\\zumen\\\r\nC:\\save\\\r\n");
  auto w = MakeWindow();
  window::TForm1& f = w->Form();
  EXPECT_EQ(RectOf(w->Handle()), (window::TRect{100, 120, 600, 500}));
  EXPECT_EQ(::SendMessageW(w->Control(TControl::ComboBox1), CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(WindowText(w->Control(TControl::Label2)), u"縦数：");
  EXPECT_EQ(WindowText(w->Control(TControl::Edit1)), u"123456");  // longer than typing allows
  EXPECT_EQ(WindowText(w->Control(TControl::LabelBase)), base);
  EXPECT_EQ(WindowText(w->Control(TControl::LabelPap)), u"（A3）");
  EXPECT_EQ(f.MemoT.size(), 18u);

  const HWND list = w->Control(TControl::ListBox1);
  const std::u16string a = u"D:\\図面\\a.jww", b = u"D:\\図面\\b.jww", c = u"E:\\c.jww";
  w->open_answers = {{a, b, c}};
  Click(*w, TControl::Button2);
  ASSERT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(w->open_requests.back().folder, u"C:\\zumen\\");
  ChooseRow(*w, 1);
  EXPECT_EQ(f.SelectedRow(), 1);
  Click(*w, TControl::Button4);
  EXPECT_EQ(ListItem(list, 0), b);
  EXPECT_EQ(::SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
  Click(*w, TControl::Button5);
  Click(*w, TControl::Button3);  // deletes b, now in row 1
  EXPECT_EQ(f.Files(), (std::vector<std::u16string>{a, c}));
  EXPECT_EQ(::SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
  w->open_answers = {{b}};
  Click(*w, TControl::Button2);

  Type(*w, TControl::Edit1, u"2");
  Type(*w, TControl::Edit2, u"5");
  Type(*w, TControl::Edit3, u"7");
  EXPECT_EQ(f.CountText() + f.GapXText() + f.GapYText(), u"257");
  Choose(*w, 1);
  EXPECT_EQ(f.Arrangement(), 1);
  EXPECT_EQ(WindowText(w->Control(TControl::Label2)), u"横数：");
  Click(*w, TControl::Button6);  // sorted by name: a, b, c
  EXPECT_EQ(f.Files(), (std::vector<std::u16string>{a, b, c}));
  EXPECT_EQ(f.ListBox2.size(), 3u);
  EXPECT_EQ(ListItem(list, 2), c);

  // An entry dragged within the list: c onto the first row.
  const UINT drag_message = ::RegisterWindowMessageW(DRAGLISTMSGSTRING);
  const auto item_point = [list](int row) {
    RECT r{};
    ::SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    POINT p{r.left + 5, (r.top + r.bottom) / 2};
    ::ClientToScreen(list, &p);
    return p;
  };
  DRAGLISTINFO drag{DL_BEGINDRAG, list, item_point(2)};
  EXPECT_TRUE(::SendMessageW(w->Handle(), drag_message, 0, reinterpret_cast<LPARAM>(&drag)));
  drag = {DL_DROPPED, list, item_point(0)};
  ::SendMessageW(w->Handle(), drag_message, 0, reinterpret_cast<LPARAM>(&drag));
  EXPECT_EQ(f.Files(), (std::vector<std::u16string>{c, a, b}));
  EXPECT_EQ(ListItem(list, 0), c);
  EXPECT_EQ(f.SelectedRow(), 0);

  // Files dropped from Explorer, Japanese names and blanks among them.
  fs::create_directories(fs::path(dir.ufile("図面 フォルダ")));
  const std::u16string dropped = NativePath(dir.ufile("図面 フォルダ\\新しい 図面.jww"));
  const std::u16string notes = NativePath(dir.ufile("図面 フォルダ\\メモ.txt"));
  std::ofstream(fs::path(dropped)) << "x";
  std::ofstream(fs::path(notes)) << "x";
  ::SendMessageW(w->Handle(), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(testing::MakeDrop({dropped, notes})), 0);
  EXPECT_EQ(f.Files().back(), dropped);
  EXPECT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 4);
  EXPECT_EQ(ListItem(list, 3), dropped);
  EXPECT_EQ(StatusText(w->Control(TControl::StatusBar1)), u"1個のファイルを一覧に追加しました。");

  // The Delete key removes the selected entry and selects the next one.
  EXPECT_EQ(w->ToolTipOf(TControl::ListBox1), window::kOpenInJwCadHint);
  EXPECT_EQ(w->ToolTipOf(TControl::LabelBase), window::kOpenInJwCadHint);
  ChooseRow(*w, 1);
  ::SendMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_EQ(f.Files(), (std::vector<std::u16string>{c, b, dropped}));
  EXPECT_EQ(::SendMessageW(list, LB_GETCURSEL, 0, 0), 1);
  ::SendMessageW(list, WM_KEYDOWN, VK_DELETE, 0);
  EXPECT_EQ(f.Files(), (std::vector<std::u16string>{c, dropped}));
}

// Settings written when the window closes, as eighteen lines, and a window
// opened afterwards where the last one was, with the same choices.
TEST_F(FormWindowTest, SettingsAreWrittenOnCloseAndReadBack) {
  const std::u16string base = Drawing("ベース 図面.jww");
  {
    auto w = MakeWindow();
    w->open_answers = {{base}};
    Click(*w, TControl::Button1);
    Choose(*w, 3);
    Choose(*w, 2, TControl::ComboBox2);
    Click(*w, TControl::CheckBox2);
    Type(*w, TControl::Edit1, u"4");
    Type(*w, TControl::Edit2, u"12.5");
    ::SetWindowPos(w->Handle(), nullptr, 60, 70, 610, 540, SWP_NOZORDER);
    Click(*w, TControl::Button8);
    ASSERT_TRUE(PumpUntil([&w] { return w->Handle() == nullptr; }));
  }
  const std::string folder = Utf16ToUtf8(dir.upath());
  EXPECT_EQ(ReadFileBytes(dir.ufile("plattero.dat")),
            "\xEF\xBB\xBF"
            "60\r\n70\r\n610\r\n540\r\n3\r\n4\r\n12.5\r\n10\r\n" +
                Utf16ToUtf8(base) + "\r\n" + folder + "\r\n" + folder +
                "\r\n0\r\n0\r\n0\r\n0\r\n0\r\n1\r\nA4\r\n");
  EXPECT_FALSE(fs::exists(fs::path(dir.ufile("TEMP"))));

  auto again = MakeWindow();
  EXPECT_EQ(RectOf(again->Handle()), (window::TRect{60, 70, 610, 540}));
  EXPECT_EQ(::SendMessageW(again->Control(TControl::ComboBox1), CB_GETCURSEL, 0, 0), 3);
  EXPECT_EQ(::SendMessageW(again->Control(TControl::ComboBox2), CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(::SendMessageW(again->Control(TControl::CheckBox2), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(again->Form().CurrentInputs().inputs.paper.nZumen, 4);
  EXPECT_EQ(again->Form().CurrentInputs().inputs.layer_groups, TLayerGroups::kOwn);
  EXPECT_EQ(WindowText(again->Control(TControl::Edit1)), u"4");
  EXPECT_EQ(WindowText(again->Control(TControl::Edit2)), u"12.5");
  EXPECT_EQ(WindowText(again->Control(TControl::LabelBase)), base);
  EXPECT_EQ(WindowText(again->Control(TControl::LabelPap)), u"（A3）");
}

// The settings keep the window's outer bounds: started, closed and started
// again, it comes back exactly where and as large as it was; made smaller
// than the designed client size (at its DPI, with its frame), it stays at it.
TEST_F(FormWindowTest, TheWindowComesBackExactlyWhereItWasAndNoSmallerThanDesigned) {
  const window::TRect kept{24, 24, 800, 600};
  WriteSettings("24\n24\n800\n600\n");
  for (int run = 1; run <= 6; ++run) {
    auto w = MakeWindow();
    EXPECT_EQ(RectOf(w->Handle()), kept) << "start " << run;
    Click(*w, TControl::Button8);
    ASSERT_TRUE(PumpUntil([&w] { return w->Handle() == nullptr; }));
    const std::string placement =
        "\xEF\xBB\xBF"
        "24\r\n24\r\n800\r\n600\r\n";
    EXPECT_EQ(ReadFileBytes(dir.ufile("plattero.dat")).substr(0, placement.size()), placement)
        << "start " << run;
  }

  auto w = MakeWindow();
  const auto px = [&w](int v) { return ::MulDiv(v, static_cast<int>(w->Dpi()), 96); };
  const SIZE least =
      OuterSize(px(window::kDesignWidth), px(window::kDesignHeight),
                static_cast<DWORD>(::GetWindowLongPtrW(w->Handle(), GWL_STYLE)),
                static_cast<DWORD>(::GetWindowLongPtrW(w->Handle(), GWL_EXSTYLE)), w->Dpi());
  MINMAXINFO info{};
  ::SendMessageW(w->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, least.cx);
  EXPECT_EQ(info.ptMinTrackSize.y, least.cy);
  const struct {
    int width, height, shown_width, shown_height;
  } sizes[] = {
      {200, 150, least.cx, least.cy},
      {least.cx + 40, 100, least.cx + 40, least.cy},
      {100, least.cy + 30, least.cx, least.cy + 30},
  };
  for (const auto& size : sizes) {
    ::SetWindowPos(w->Handle(), nullptr, 30, 40, size.width, size.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(RectOf(w->Handle()), (window::TRect{30, 40, size.shown_width, size.shown_height}))
        << size.width << "x" << size.height;
  }
  RECT client{};
  ::SetWindowPos(w->Handle(), nullptr, 0, 0, 10, 10, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::GetClientRect(w->Handle(), &client);
  EXPECT_EQ(client.right, px(window::kDesignWidth));
  EXPECT_EQ(client.bottom, px(window::kDesignHeight));
}

// The program's icon from its resources (src/win32/plattero.ico), in the
// title bar and the task bar.
TEST_F(FormWindowTest, ShowsTheProgramsIcon) {
  auto w = MakeWindow();
  const auto icon = reinterpret_cast<HICON>(::GetClassLongPtrW(w->Handle(), GCLP_HICON));
  ASSERT_NE(icon, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(::GetIconInfo(icon, &info));
  BITMAP color{};
  ::GetObjectW(info.hbmColor, sizeof color, &color);
  EXPECT_EQ(color.bmWidth, ::GetSystemMetrics(SM_CXICON));
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
}

TEST_F(FormWindowTest, DoubleClicksStartJwCadWithTheChosenDrawing) {
  TempDir tools;
  const std::u16string jww = NativePath(tools.ufile("Jw cad\\"));
  fs::create_directories(fs::path(jww));
  fs::copy_file(::plattero::testing::FsPath(PLATTERO_FAKE_JW_WIN), fs::path(jww + u"Jw_win.exe"));
  const std::u16string record = NativePath(tools.ufile("record.txt"));
  ::plattero::testing::ScopedEnv record_env("PLATTERO_FAKE_JW_RECORD", Utf16ToUtf8(record));

  auto w = MakeWindow();
  window::TForm1& f = w->Form();
  EXPECT_EQ(f.JwwPath, u"C:\\JWW\\");  // no association in this prefix
  f.JwwPath = jww;
  const std::u16string drawing = Drawing("見る 図面.jww");
  Notify(*w, TControl::LabelBase, STN_DBLCLK);  // the placeholder: nothing
  ::SendMessageW(w->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(testing::MakeDrop({drawing})),
                 0);
  Notify(*w, TControl::ListBox1, LBN_DBLCLK);  // no row chosen: nothing
  EXPECT_FALSE(fs::exists(fs::path(record)));
  ChooseRow(*w, 0);
  Notify(*w, TControl::ListBox1, LBN_DBLCLK);
  const std::string started = Utf16ToUtf8(u"\"" + jww + u"Jw_win.exe\" \"" + drawing + u"\"\n" +
                                          jww.substr(0, jww.size() - 1) + u"\n");
  EXPECT_EQ(ReadFileBytes(record), started);

  w->open_answers = {{drawing}};
  Click(*w, TControl::Button1);
  Notify(*w, TControl::LabelBase, STN_DBLCLK);
  EXPECT_EQ(ReadFileBytes(record), started + started);
}

// A run through the window: every control disabled while it goes on (the save
// dialog included), the selection following the row being merged, the
// progress bar in the status bar, a close refused meanwhile, the window's
// messages handled throughout, and all back afterwards. The base drawing
// named in the save dialog (in Explorer's spelling) is refused and the
// dialog opens again.
TEST_F(FormWindowTest, ARunKeepsTheWindowAnsweringAndDisablesItsControls) {
  const std::u16string base = Drawing("base.jww");
  TempDir out;
  auto w = MakeWindow();
  w->open_answers = {{base}, {Drawing("one.jww"), Drawing("two.jww"), Drawing("three.jww")}};
  Click(*w, TControl::Button1);
  Click(*w, TControl::Button2);
  const std::u16string target = NativePath(out.ufile("結合 図面.jww"));
  w->save_answers = {NativePath(base)};
  w->save_answer = target;
  bool disabled_during_dialog = false;
  w->on_save_dialog = [&] {
    disabled_during_dialog = true;
    for (const TControl c : {TControl::Button7, TControl::ListBox1, TControl::Edit1,
                             TControl::ComboBox1, TControl::Button8, TControl::Button9})
      disabled_during_dialog = disabled_during_dialog && !::IsWindowEnabled(w->Control(c));
  };
  int finished = 0;
  w->on_run_finished = [&finished] { ++finished; };

  Click(*w, TControl::Button7);
  EXPECT_FALSE(::IsWindowEnabled(w->Control(TControl::Button7)));
  EXPECT_TRUE(::IsWindowVisible(w->ProgressBar()));
  std::vector<int> rows = {LB_ERR};
  const HWND list = w->Control(TControl::ListBox1);
  ASSERT_TRUE(WaitForRun(*w, [&] {
    const int row = static_cast<int>(::SendMessageW(list, LB_GETCURSEL, 0, 0));
    if (rows.empty() || rows.back() != row) rows.push_back(row);
  }));
  ASSERT_TRUE(w->Handle());
  EXPECT_TRUE(disabled_during_dialog);
  EXPECT_EQ(rows, (std::vector<int>{LB_ERR, 0, 1, 2, LB_ERR}));
  EXPECT_EQ(finished, 1);
  ASSERT_EQ(w->messages.size(), 2u);
  EXPECT_EQ(w->messages[0], u"図面ファイル「" + NativePath(base) +
                                u"」の保存に失敗しました。\n読み込む図面と同じファイルです。");
  EXPECT_EQ(w->messages[1].rfind(u"図面ファイル「" + target + u"」を保存しました。", 0), 0u)
      << Utf16ToUtf8(w->messages[1]);
  TJwwData result;
  ASSERT_TRUE(result.FileIn(target));
  EXPECT_EQ(result.EntLine.size(), 20u);
  EXPECT_TRUE(::IsWindowEnabled(w->Control(TControl::Button7)));
  EXPECT_TRUE(::IsWindowEnabled(list));
  EXPECT_FALSE(::IsWindowVisible(w->ProgressBar()));

  // Closed during a run: the run stops, nothing is saved, and the window
  // closes at its end.
  w->save_answer = NativePath(out.ufile("second.jww"));
  Click(*w, TControl::Button7);
  ::SendMessageW(w->Handle(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(w->Handle());
  EXPECT_EQ(StatusText(w->Control(TControl::StatusBar1)), window::kClosingAfterMerge);
  ASSERT_TRUE(PumpUntil([&] { return w->Handle() == nullptr; }));
  EXPECT_EQ(w->save_requests.size(), 2u);
  EXPECT_FALSE(fs::exists(out.file("second.jww")));
}

// Signing out, or anything else destroying the window mid-run: the run is
// left to end before the form lets its documents go, and the settings keep
// where the window was.
TEST_F(FormWindowTest, AWindowDestroyedDuringARunLetsTheRunEnd) {
  auto w = MakeWindow();
  ::SetWindowPos(w->Handle(), nullptr, 60, 70, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  const window::TRect placement = RectOf(w->Handle());
  w->open_answers = {{Drawing("base.jww")}, {Drawing("one.jww"), Drawing("two.jww")}};
  Click(*w, TControl::Button1);
  Click(*w, TControl::Button2);
  Click(*w, TControl::Button7);
  ASSERT_TRUE(w->Form().IsRunning());
  ::SendMessageW(w->Handle(), WM_ENDSESSION, TRUE, 0);
  ::DestroyWindow(w->Handle());
  EXPECT_EQ(w->Handle(), nullptr);
  w.reset();  // waits for the run
  auto again = MakeWindow();
  EXPECT_EQ(RectOf(again->Handle()), placement);
}

}  // namespace
}  // namespace plattero::win32
