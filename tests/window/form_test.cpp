// The main window's logic through a view that records what it is told and
// answers the dialogs: start-up and shut-down, the settings it restores and
// writes, the list handlers, drops, sorting, whole tiling runs and the
// arrangement preview. No window toolkit is involved.

#include "window/form.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <map>
#include <thread>

#include "desktop/locations.h"
#include "drawing_builder.h"
#include "platform/file_system.h"
#include "task_queue.h"
#include "test_system.h"
#include "util/text.h"
#include "window/file_list.h"

namespace plattero::window {
namespace {

namespace fs = std::filesystem;
using testing::DrawingSpec;
using testing::TaskQueue;
using testing::TempDir;
using testing::WriteDrawing;
using Files = std::vector<std::u16string>;

std::string ReadText(const std::string& path) {
  std::ifstream in(testing::FsPath(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Files in an image folder besides the lock that marks it as in use.
std::size_t ImageFiles(const std::string& folder) {
  std::size_t n = 0;
  for (const auto& e : fs::directory_iterator(testing::FsPath(folder)))
    n += e.path().filename() != ".plattero-lock";
  return n;
}

class FakePreview : public TPreviewPane {
 public:
  explicit FakePreview(TaskQueue& queue) : queue_(queue) {}
  void ShowPicture(const render::TPreviewPicture& p) override {
    picture = p;
    ++pictures;
  }
  void ShowStatus(const std::u16string& text) override { status = text; }
  void Post(std::function<void()> task, int delay_ms) override {
    queue_.Post(std::move(task), delay_ms);
  }

  render::TPreviewPicture picture;
  int pictures = 0;
  std::u16string status;
  bool shown = false;

 private:
  TaskQueue& queue_;
};

// A window that records what the form shows and answers its dialogs.
class FakeView : public TFormView {
 public:
  void SetText(TControl c, const std::u16string& text) override { texts[c] = text; }
  void SetArrangement(int index) override { arrangement = index; }
  void SetPaper(int index) override { paper = index; }
  void SetChecked(TControl c, bool on) override { checked[c] = on; }
  void SetFiles(const Files& f, int selected) override {
    files = f;
    SelectRow(selected);
  }
  void SelectRow(int row) override { rows.push_back(row); }
  void SetRunning(bool on) override { running = on; }
  void SetProgress(int value, int maximum) override { progress = {value, maximum}; }
  void SetWaitCursor(bool on) override { wait_cursor += on ? 1 : -1; }
  void AcceptDrops(bool on) override { drops = on; }
  TRect Placement() const override { return placement; }
  void SetPlacement(int left, int top, int width, int height) override {
    placement =
        FitPlacement({left, top, width, height}, 0, 0, {{0, 0, 1920, 1080}}, {0, 0, 1920, 1080});
  }
  void Close() override {
    if (form->FormCloseQuery()) closed = true;
  }
  Files OpenDrawings(const TFileDialogRequest& r) override {
    open_requests.push_back(r);
    if (open_answers.empty()) return {};
    Files answer = open_answers.front();
    open_answers.pop_front();
    return answer;
  }
  std::optional<std::u16string> SaveDrawing(const TFileDialogRequest& r) override {
    save_requests.push_back(r);
    running_at_save_dialog = running;
    if (save_answers.empty()) return save_answer;
    std::optional<std::u16string> answer = save_answers.front();
    save_answers.pop_front();
    return answer;
  }
  void ShowMessage(const std::u16string& text) override { messages.push_back(text); }
  bool AskYesNo(const std::u16string& text) override {
    questions.push_back(text);
    return answer_yes;
  }
  // Tasks for a second or more later wait until the test fires them.
  void Post(std::function<void()> task, int delay_ms) override {
    if (on_post) on_post();  // on the thread that posts
    if (delay_ms >= 1000) {
      later.push_back(std::move(task));
    } else {
      queue.Post(std::move(task));
    }
  }
  void FireLater() {
    std::vector<std::function<void()>> now;
    now.swap(later);
    for (auto& task : now)
      task();
  }
  TPreviewPane& Preview() override { return preview; }
  void ShowPreview() override { preview.shown = true; }
  bool PreviewShown() const override { return preview.shown; }
  void ClosePreview() override { preview.shown = false; }
  TRect PreviewPlacement() const override { return preview_frame; }
  void SetPreviewPlacement(const TRect& frame) override { preview_frame = frame; }
  std::vector<TRect> Screens() const override { return {{0, 0, 1920, 1050}}; }
  void RunFinished() override { ++runs_finished; }

  // Runs posted tasks until `done` holds (or a minute passed).
  bool PumpUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done() && std::chrono::steady_clock::now() < end)
      queue.RunSome(std::chrono::milliseconds(20));
    return done();
  }

  TForm1* form = nullptr;
  TaskQueue queue;
  FakePreview preview{queue};
  std::map<TControl, std::u16string> texts;
  std::map<TControl, bool> checked;
  int arrangement = 0;
  int paper = 0;
  Files files;
  std::vector<int> rows;
  std::vector<std::u16string> messages, questions;
  bool answer_yes = true;
  std::function<void()> on_post;
  bool running = false, running_at_save_dialog = false, drops = false, closed = false;
  std::pair<int, int> progress;
  int wait_cursor = 0;
  TRect placement{24, 24, 500, 400};
  TRect preview_frame{0, 0, 656, 519};  // the size it is made at
  std::vector<std::function<void()>> later;
  std::deque<Files> open_answers;
  std::vector<TFileDialogRequest> open_requests, save_requests;
  std::deque<std::optional<std::u16string>> save_answers;  // answered first, one each
  std::optional<std::u16string> save_answer;
  int runs_finished = 0;
};

class FormTest : public ::testing::Test {
 protected:
  TForm1& Show() {
    form = std::make_unique<TForm1>(view, dir.ufile("plattero"));
    view.form = form.get();
    form->FormShow();
    return *form;
  }
  bool WaitForRun() {
    return view.PumpUntil([this] { return !form->IsRunning(); });
  }
  void WriteSettings(const std::string& text) {
    std::ofstream(dir.file("plattero.dat"), std::ios::binary) << text;
  }
  std::u16string Drawing(const std::string& name, DrawingSpec spec = {}) {
    if (spec.lines == 0 && spec.arcs == 0) spec.lines = 5;
    EXPECT_TRUE(WriteDrawing(spec, dir.file(name)));
    return dir.ufile(name);
  }

  TempDir dir;  // where the program "is installed"
  FakeView view;
  std::unique_ptr<TForm1> form;
};

TEST_F(FormTest, FirstStartMakesTheFoldersAndCloseWritesTheDefaults) {
  fs::create_directory(dir.file("TEMP"));  // an existing folder is no error
  TForm1& f = Show();
  EXPECT_EQ(f.Locations.SettingsFile, dir.ufile("plattero.dat"));
  EXPECT_EQ(f.Locations.TmpPath, dir.ufile("TEMP") + platform::PathSeparator());
  EXPECT_EQ(f.Locations.TmpPath2, dir.ufile("TEMP2") + platform::PathSeparator());
  EXPECT_TRUE(fs::is_directory(dir.file("TEMP2")));
  EXPECT_EQ(f.JwwPath, u"C:\\JWW\\");
  EXPECT_TRUE(f.Files().empty());
  EXPECT_EQ(f.LabelPapText(), u"（用紙）");
  EXPECT_EQ(f.ZumenPath, dir.upath());
  EXPECT_TRUE(view.drops);
  ASSERT_TRUE(f.Engine);
  EXPECT_TRUE(f.Engine->ExtractsImages());

  view.placement = {10, 20, 510, 420};
  f.Button8Click();
  EXPECT_TRUE(view.closed);
  EXPECT_FALSE(f.Engine);
  EXPECT_FALSE(view.drops);
  const std::string expected =
      "\xEF\xBB\xBF"
      "10\r\n20\r\n510\r\n420\r\n0\r\n3\r\n10\r\n10\r\n\r\n" +
      dir.path() + "\r\n" + dir.path() + "\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\nbase\r\n";
  EXPECT_EQ(ReadText(dir.file("plattero.dat")), expected);
  EXPECT_EQ(f.MemoT.size(), 18u);
  EXPECT_FALSE(fs::exists(dir.file("TEMP")));
  EXPECT_FALSE(fs::exists(dir.file("TEMP2")));
}

TEST_F(FormTest, WithoutImageFoldersImagesAreLeftOutAndTheUserIsTold) {
  std::ofstream(testing::FsPath(dir.file("TEMP"))) << "a file where the folder should be";
  TempDir tmp;
  std::ofstream(testing::FsPath(tmp.file("root"))) << "a file: no private folder either";
  TForm1 f(view, dir.ufile("plattero"));
  view.form = &f;
  {
    // The private folder's place is a file: nowhere for the images.
    testing::ScopedTempRoot tmpdir(tmp.file("root"));
    testing::ScopedEnv local("LOCALAPPDATA", tmp.file("root"));
    f.FormShow();
  }
  view.queue.RunSome(std::chrono::milliseconds(0));
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_NE(view.messages[0].find(u"一時フォルダを作成できません"), std::u16string::npos);
  EXPECT_FALSE(f.Engine->ExtractsImages());
}

TEST_F(FormTest, SettingsAreRestoredAndAnUnknownArrangementIsSavedAsNone) {
  const std::u16string base = Drawing("base.jww");
  WriteSettings(
      "\xEF\xBB\xBF"
      "100\r\n120\r\n600\r\n500\r\n7\r\n123456\r\n－５\r\nabc\r\n" +
      Utf16ToUtf8(base) + "\r\n/zumen/\r\n/save/\r\n");
  TForm1& f = Show();
  EXPECT_EQ(view.placement, (TRect{100, 120, 600, 500}));
  EXPECT_EQ(view.arrangement, -1);
  EXPECT_EQ(f.Arrangement(), -1);
  EXPECT_EQ(view.texts[TControl::Edit1], u"123456");  // longer than typing allows, in full
  EXPECT_EQ(f.CountText(), u"123456");
  EXPECT_EQ(view.texts[TControl::Edit2], u"－５");
  EXPECT_EQ(view.texts[TControl::Edit3], u"abc");
  EXPECT_EQ(view.texts[TControl::LabelBase], base);
  EXPECT_EQ(view.texts[TControl::LabelPap], u"（A3）");
  EXPECT_EQ(f.ZumenPath, u"/zumen/");
  EXPECT_EQ(f.SavePath, u"/save/");
  // Start takes the stored texts as typed ones: the full-width gap is a
  // number, "abc" is none.
  f.Edit1Change(u"3");
  f.WMDropFiles({Drawing("one.jww")});
  f.Button7Click();
  EXPECT_EQ(view.messages, std::vector<std::u16string>{u"縦間隔： の数値を再入力して下さい。"});
  f.Button8Click();
  const std::string saved = ReadText(dir.file("plattero.dat"));
  EXPECT_NE(saved.find("\r\n-1\r\n3\r\n－５\r\nabc\r\n"), std::string::npos) << saved;
}

TEST_F(FormTest, TheTileSizeChoiceIsKeptInTheSettings) {
  TForm1& f = Show();
  EXPECT_FALSE(view.checked[TControl::CheckBox1]);
  EXPECT_FALSE(f.OwnTileSize());
  f.CheckBox1Click(true);
  EXPECT_EQ(f.CurrentInputs().inputs.tile_size, TTileSize::kOwn);
  f.Button8Click();
  std::string saved = ReadText(dir.file("plattero.dat"));
  EXPECT_NE(saved.find("\r\n1\r\n"), std::string::npos) << saved;
  FakeView view2;
  TForm1 again(view2, dir.ufile("plattero"));
  view2.form = &again;
  again.FormShow();
  EXPECT_TRUE(view2.checked[TControl::CheckBox1]);
  EXPECT_TRUE(again.OwnTileSize());
  again.Button8Click();
}

// The layer groups and the paper come from the settings, reach the run and
// are kept. Where the groups went is listed when the run asks before saving
// (it asks for a missing drawing here, never for the groups alone), and the
// saved message names the paper.
TEST_F(FormTest, TheLayerGroupsAndThePaperReachTheRunAndAreKept) {
  DrawingSpec at100, at200;
  at100.scale = 100;
  at100.groups = at200.groups = 1;
  at200.scale = 200;
  const std::u16string base = Drawing("base.jww", at100), site = Drawing("site.jww", at200);
  WriteSettings("24\n24\n500\n400\n0\n3\n10\n10\n" + Utf16ToUtf8(base) +
                "\n/z/\n/s/\n0\n0\n0\n0\n0\n1\nfit\n");
  TForm1& f = Show();
  EXPECT_TRUE(view.checked[TControl::CheckBox2]);
  EXPECT_EQ(view.paper, 1);
  TTilingInputs in = f.CurrentInputs().inputs;
  EXPECT_EQ(in.layer_groups, TLayerGroups::kOwn);
  EXPECT_EQ(in.paper.kind, TPaperChoice::kFit);
  f.CheckBox2Click(false);
  f.ComboBox2Select(5);
  in = f.CurrentInputs().inputs;
  EXPECT_EQ(in.layer_groups, TLayerGroups::kBase);
  EXPECT_EQ(in.paper.kind, TPaperChoice::kNamed);
  EXPECT_EQ(in.paper.nZumen, 1);  // A1
  f.ComboBox2Select(-1);          // no item: the base drawing's paper
  EXPECT_EQ(f.CurrentInputs().inputs.paper.kind, TPaperChoice::kBase);
  f.CheckBox2Click(true);
  f.ComboBox2Select(1);

  // Two A3 sheets side by side fit A0 only; site.jww's 1:200 group goes to
  // group 1, the first free one.
  TempDir out;
  view.open_answers = {{site, dir.ufile("missing.jww")}};
  f.Button2Click();
  view.save_answer = out.ufile("combined.jww");
  f.Button7Click();
  ASSERT_TRUE(WaitForRun());
  TTileWarning missing, groups;
  missing.file = dir.ufile("missing.jww");
  groups.kind = TTileWarning::kGroups;
  groups.file = site;
  groups.placed = {{0, 1, 200}};
  ASSERT_EQ(view.questions.size(), 1u);
  EXPECT_EQ(view.questions[0], std::u16string(kProblemsHeading) + u"\n" + WarningLine(missing) +
                                   u"\n\n" + WarningLine(groups) + u"\n\n" + kSaveAnywayQuestion);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_NE(view.messages[0].find(u"\n用紙（A0）に配置しました。\n"), std::u16string::npos)
      << Utf16ToUtf8(view.messages[0]);
  TJwwData result;
  ASSERT_TRUE(result.FileIn(out.ufile("combined.jww")));
  EXPECT_EQ(result.Enthd.nZumen, 0);
  EXPECT_EQ(result.EntLgrp[1].adScale, 200);

  // Without a problem the groups alone ask nothing.
  f.ListBox1Select(1);
  f.Button3Click();
  ASSERT_EQ(f.Files(), Files{site});
  view.questions.clear();
  f.Button7Click();
  ASSERT_TRUE(WaitForRun());
  EXPECT_TRUE(view.questions.empty());

  f.Button8Click();
  const std::string saved = ReadText(dir.file("plattero.dat"));
  EXPECT_NE(saved.find("\r\n1\r\nfit\r\n"), std::string::npos) << saved;
}

TEST_F(FormTest, RestoredArrangementSetsTheCountLabelAndShortFilesKeepDefaults) {
  WriteSettings("30\n40\n700\n600\n2\n");
  TForm1& f = Show();
  EXPECT_EQ(view.arrangement, 2);
  EXPECT_EQ(view.texts[TControl::LabelBase], kNoBaseCaption);  // no base drawing kept
  EXPECT_EQ(view.texts[TControl::Label2], u"縦数：");
  EXPECT_EQ(f.CountText(), u"3");
  EXPECT_EQ(f.SavePath, dir.upath());
  f.ComboBox1Select(1);
  EXPECT_EQ(view.texts[TControl::Label2], u"横数：");
  f.ComboBox1Select(3);
  EXPECT_EQ(view.texts[TControl::Label2], u"縦数：");
}

// A kept placement comes back as it was when it lies whole on a screen; else
// it is made usable: the designed size for a size no one could use, moved
// whole onto the screen it overlaps most, onto the main one when off every
// screen.
TEST(FitPlacementTest, KeepsTheWindowWholeOnAScreen) {
  const TRect left{0, 0, 1920, 1080}, right{1920, 200, 1280, 1024};
  const std::vector<TRect> two = {left, right};
  const struct {
    TRect kept, shown;
  } cases[] = {
      {{24, 24, 800, 600}, {24, 24, 800, 600}},
      {{0, 0, 1920, 1080}, {0, 0, 1920, 1080}},
      {{1920, 200, 1280, 1024}, {1920, 200, 1280, 1024}},
      {{-90000, -90000, 0, 5}, {24, 24, kDesignWidth + 8, kDesignHeight + 30}},
      {{100, 100, 119, 600}, {100, 100, kDesignWidth + 8, kDesignHeight + 30}},
      {{196, -70, 808, 700}, {196, 0, 808, 700}},      // title bar above the screen
      {{-300, 100, 800, 600}, {0, 100, 800, 600}},     // beyond the left edge
      {{1000, 900, 800, 600}, {1000, 480, 800, 600}},  // beyond the bottom
      {{1800, 100, 800, 600}, {1920, 200, 800, 600}},  // mostly on the right screen
      {{-100, -100, 3000, 1100}, {0, 0, 1920, 1080}},  // larger than its screen
      {{5000, 5000, 800, 600}, {24, 24, 800, 600}},    // off every screen
      {{3199, 0, 800, 600}, {2400, 200, 800, 600}},    // barely on the right screen
  };
  for (const auto& c : cases) {
    const TRect shown = FitPlacement(c.kept, 8, 30, two, left);
    EXPECT_EQ(shown, c.shown) << c.kept.left << "," << c.kept.top << " " << c.kept.width << "x"
                              << c.kept.height << " came back as " << shown.left << "," << shown.top
                              << " " << shown.width << "x" << shown.height;
  }
}

TEST_F(FormTest, AddingDeletingAndMovingEntries) {
  TForm1& f = Show();
  const std::u16string a = u"/d/a.jww", b = u"/d/b.jww", c = u"/e/c.jww";
  view.open_answers = {{a, b}, {c, a}, {}};
  f.Button2Click();
  ASSERT_EQ(view.open_requests.size(), 1u);
  EXPECT_EQ(view.open_requests[0].folder, dir.upath());
  EXPECT_TRUE(view.open_requests[0].multiple);
  EXPECT_EQ(f.ZumenPath, u"/d/");
  f.Button2Click();
  EXPECT_EQ(view.open_requests[1].folder, u"/d/");
  EXPECT_EQ(f.ZumenPath, u"/e/");
  f.Button2Click();  // cancelled: nothing changes
  EXPECT_EQ(f.ZumenPath, u"/e/");
  EXPECT_EQ(f.Files(), (Files{a, b, c, a}));  // duplicates allowed
  EXPECT_EQ(view.files, f.Files());
  EXPECT_EQ(f.StatusText(), u"");

  const struct {
    int select;
    void (TForm1::*button)();
    Files files;
    int selected;
  } steps[] = {
      {1, &TForm1::Button4Click, {b, a, c, a}, 0},
      {0, &TForm1::Button4Click, {b, a, c, a}, 0},  // at the top: nothing
      {3, &TForm1::Button5Click, {b, a, c, a}, 3},  // at the bottom: nothing
      {1, &TForm1::Button5Click, {b, c, a, a}, 2},
      {2, &TForm1::Button3Click, {b, c, a}, -1},
      {-1, &TForm1::Button3Click, {b, c, a}, -1},  // nothing selected: nothing
  };
  for (const auto& s : steps) {
    f.ListBox1Select(s.select);
    (f.*s.button)();
    EXPECT_EQ(f.Files(), s.files);
    EXPECT_EQ(f.SelectedRow(), s.selected);
    EXPECT_EQ(view.files, s.files);
  }
  // Dragged into another order in the list itself.
  f.ListBox1Reorder({c, b, a}, 0);
  EXPECT_EQ(f.Files(), (Files{c, b, a}));
  EXPECT_EQ(f.SelectedRow(), 0);
}

TEST_F(FormTest, ChoosingTheBaseDrawingShowsItsPaper) {
  const std::u16string base = Drawing("a4.jww", DrawingSpec{.paper = 4});
  std::ofstream(dir.file("notes.jww")) << "not a drawing";
  TForm1& f = Show();
  view.open_answers = {{base}, {}, {dir.ufile("notes.jww")}};
  f.Button1Click();
  EXPECT_EQ(view.open_requests[0].folder, u"");
  EXPECT_FALSE(view.open_requests[0].multiple);
  EXPECT_EQ(f.BaseFile, base);
  EXPECT_EQ(view.texts[TControl::LabelBase], base);
  EXPECT_EQ(view.texts[TControl::LabelPap], u"（A4）");
  EXPECT_EQ(view.wait_cursor, 0);  // shown while reading, gone after
  f.Button1Click();                // cancelled
  EXPECT_EQ(view.open_requests[1].folder, dir.upath());
  EXPECT_EQ(view.open_requests[1].file_name, u"a4.jww");
  EXPECT_EQ(f.BaseFile, base);
  f.Button1Click();  // no drawing: no paper
  EXPECT_EQ(view.texts[TControl::LabelPap], u"（用紙）");
}

TEST_F(FormTest, DroppedFilesAreFilteredAndCounted) {
  TForm1& f = Show();
  for (const char* name : {"new.jww", "listed.jww", "notes.txt"})
    std::ofstream(dir.file(name)) << "x";
  fs::create_directory(dir.file("folder.jww"));
  view.open_answers = {{dir.ufile("LISTED.JWW")}};
  f.Button2Click();
  f.WMDropFiles({dir.ufile("new.jww"), dir.ufile("listed.jww"), dir.ufile("notes.txt"),
                 dir.ufile("new.jww")});
  // "listed.jww" is the listed drawing where names ignore case (Windows), and
  // another file elsewhere.
  Files expected = {dir.ufile("LISTED.JWW"), dir.ufile("new.jww")};
  if (!platform::SameFileName(u"a", u"A")) expected.push_back(dir.ufile("listed.jww"));
  EXPECT_EQ(f.Files(), expected);
  EXPECT_EQ(view.texts[TControl::StatusBar1], DropCountMessage(expected.size() - 1));
  f.WMDropFiles({dir.ufile("folder.jww")});
  EXPECT_EQ(view.texts[TControl::StatusBar1], u"0個のファイルを一覧に追加しました。");
  EXPECT_EQ(f.Files().size(), expected.size());
}

TEST_F(FormTest, SortAlternatesAndIgnoresShortLists) {
  TForm1& f = Show();
  view.open_answers = {{u"/x/b.jww"}, {u"/d/a.jww", u"/y/B.jww"}, {u"/z/c.jww"}};
  f.Button2Click();
  f.Button6Click();  // one entry: nothing, the direction stays
  EXPECT_FALSE(f.SortFlag);
  f.Button2Click();
  f.ListBox1Select(0);
  f.Button6Click();
  EXPECT_EQ(f.Files(), (Files{u"/d/a.jww", u"/x/b.jww", u"/y/B.jww"}));
  EXPECT_EQ(f.SelectedRow(), -1);
  EXPECT_EQ(f.ListBox2.size(), 3u);
  f.Button6Click();
  EXPECT_EQ(f.Files(), (Files{u"/y/B.jww", u"/x/b.jww", u"/d/a.jww"}));
  f.Button6Click();
  f.Button2Click();  // adding does not reset the direction: descending next
  f.Button6Click();
  EXPECT_EQ(f.Files(), (Files{u"/z/c.jww", u"/x/b.jww", u"/y/B.jww", u"/d/a.jww"}));
}

TEST_F(FormTest, StartChecksTheInputsInOrder) {
  TForm1& f = Show();
  f.Button7Click();
  view.open_answers = {{dir.ufile("x.jww")}, {dir.ufile("gone.jww")}};
  f.Button2Click();
  f.Button7Click();
  f.Button1Click();
  f.Button7Click();
  f.BaseFile = Drawing("base.jww");
  f.ComboBox1Select(2);
  for (const char16_t* count : {u"0", u"", u"abc", u"-1", u"1001"}) {
    f.Edit1Change(count);
    f.Button7Click();
  }
  f.Edit1Change(u"3");
  f.Edit2Change(u"1e999");
  f.Button7Click();
  f.Edit2Change(u"10mm");
  f.Button7Click();
  const std::u16string count = u"縦数： の数値を再入力して下さい。";
  const std::u16string gap_x = u"横間隔： の数値を再入力して下さい。";
  EXPECT_EQ(view.messages, (std::vector<std::u16string>{
                               u"図面ファイルを[追加]して下さい", u"ベース図面を指定して下さい",
                               u"ベース図面が見つかりません。再指定して下さい", count, count, count,
                               count, count, gap_x, gap_x}));
  EXPECT_TRUE(view.save_requests.empty());
  EXPECT_EQ(view.runs_finished, 10);
  EXPECT_FALSE(f.IsRunning());
}

// The fields' texts as a run takes them: numbers as typed (full-width forms,
// blanks around them), and the message for the first field Start checks
// that is no number; the engine's own checks come before the fields'.
TEST_F(FormTest, TheFieldsBecomeTypedChoices) {
  TForm1& f = Show();
  f.WMDropFiles({Drawing("one.jww")});
  f.BaseFile = Drawing("base.jww");
  const std::u16string count = u"縦数： の数値を再入力して下さい。";
  const std::u16string gap_x = u"横間隔： の数値を再入力して下さい。";
  const std::u16string gap_y = u"縦間隔： の数値を再入力して下さい。";
  const struct {
    std::u16string count, gx, gy;
    std::optional<std::u16string> message;
    std::int32_t n = 0;
    double x = 0, y = 0;
  } cases[] = {
      {u"1", u"10", u"10", {}, 1, 10, 10},
      {u"  7", u"０", u"－５", {}, 7, 0, -5},
      {u"$10", u"1e3", u" 2.5", {}, 16, 1000, 2.5},
      {u"７ ", u"-0", u"0", {}, 7, 0, 0},
      {u"\u3000１０００", u"10", u"10", {}, 1000, 10, 10},
      {u"1001", u"10", u"10", count},  // a number, out of range: the engine refuses
      {u"1.5", u"10mm", u"abc", count},
      {u"", u"10", u"10", count},
      {u"3", u"10mm", u"abc", gap_x},
      {u"3", u"1O", u"10", gap_x},
      {u"3", u"1e999", u"10", gap_x},
      {u"3", u"10", u"", gap_y},
  };
  f.ComboBox1Select(3);
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.count + u"|" + c.gx + u"|" + c.gy));
    f.Edit1Change(c.count);
    f.Edit2Change(c.gx);
    f.Edit3Change(c.gy);
    const TFieldChoices in = f.CurrentInputs();
    EXPECT_EQ(in.inputs.order, TOrder::kDownRight);
    EXPECT_EQ(RefusalOf(in, f.Engine->CheckInputs(in.inputs)), c.message);
    if (c.message) continue;
    EXPECT_EQ(in.inputs.count, c.n);
    EXPECT_EQ(in.inputs.gap_x, c.x);
    EXPECT_EQ(in.inputs.gap_y, c.y);
  }
  // A field that is no number waits for the checks before it.
  f.Edit1Change(u"abc");
  f.BaseFile = dir.ufile("gone.jww");
  const TFieldChoices in = f.CurrentInputs();
  EXPECT_EQ(RefusalOf(in, f.Engine->CheckInputs(in.inputs)),
            u"ベース図面が見つかりません。再指定して下さい");
  // The arrangement list's items, and none chosen.
  EXPECT_EQ(OrderOfArrangement(0), TOrder::kRightUp);
  EXPECT_EQ(OrderOfArrangement(1), TOrder::kRightDown);
  EXPECT_EQ(OrderOfArrangement(2), TOrder::kUpRight);
  EXPECT_EQ(OrderOfArrangement(-1), TOrder::kDownRight);
  EXPECT_EQ(CountLabelOf(-1), u"横数：");
  EXPECT_EQ(CountLabelOf(3), u"縦数：");
}

TEST_F(FormTest, StartMergesOffTheWindowThreadAndSavesTheCombinedDrawing) {
  const std::u16string base = Drawing("base.jww");
  DrawingSpec with_image;
  with_image.lines = 5;
  with_image.images = 1;
  const std::u16string first = Drawing("one.jww", with_image);
  const std::u16string second = Drawing("two.jww");
  TempDir out;
  const std::u16string target = out.ufile("combined.jww");

  TForm1& f = Show();
  view.open_answers = {{base}, {first, second, dir.ufile("missing.jww")}};
  f.Button1Click();
  f.Button2Click();
  view.save_answer = target;
  view.rows.clear();
  f.Button7Click();
  EXPECT_TRUE(f.IsRunning());
  EXPECT_TRUE(view.running);
  EXPECT_FALSE(f.DropsAccepted());
  ASSERT_TRUE(WaitForRun());

  EXPECT_TRUE(view.running_at_save_dialog);
  EXPECT_EQ(view.rows, (std::vector<int>{0, 1, 2, -1}));
  // What went wrong was asked about before the save dialog.
  ASSERT_EQ(view.questions.size(), 1u);
  TTileWarning missing;
  missing.file = dir.ufile("missing.jww");
  EXPECT_EQ(view.questions[0], std::u16string(kProblemsHeading) + u"\n" + WarningLine(missing) +
                                   u"\n\n" + kSaveAnywayQuestion);
  ASSERT_EQ(view.save_requests.size(), 1u);
  EXPECT_EQ(view.save_requests[0].folder, dir.upath());
  ASSERT_EQ(view.messages.size(), 1u);
  // Saved, with the drawing that was missing named on a line of its own.
  EXPECT_EQ(view.messages[0].rfind(u"図面ファイル「" + target + u"」を保存しました。\n", 0), 0u)
      << Utf16ToUtf8(view.messages[0]);
  EXPECT_NE(view.messages[0].find(u"missing.jww"), std::u16string::npos);
  EXPECT_EQ(f.SavePath, out.upath());
  EXPECT_FALSE(view.running);
  EXPECT_EQ(view.runs_finished, 1);

  TJwwData result;
  result.BindImageExr = true;
  ASSERT_TRUE(result.FileIn(target));
  EXPECT_EQ(result.EntLine.size(), 15u);
  EXPECT_EQ(result.BindImage.size(), 1u);
  EXPECT_EQ(f.Engine->Combined().EntLine.size(), 0u);
  EXPECT_EQ(ImageFiles(dir.file("TEMP")), 0u);
  EXPECT_EQ(ImageFiles(dir.file("TEMP2")), 0u);
}

TEST_F(FormTest, RunsThatEndWithoutASaveOrWithAFailedOne) {
  const std::u16string base = Drawing("base.jww");
  std::ofstream(dir.file("notes.jww")) << "not a drawing";
  const struct {
    std::u16string base;
    std::optional<std::u16string> save_to;
    std::size_t save_dialogs;
    std::vector<std::u16string> messages;
  } cases[] = {
      {base, std::nullopt, 1, {}},  // the save dialog cancelled: nothing written or shown
      {base,
       dir.ufile("no-such-folder/out.jww"),
       1,
       {u"図面ファイル「" + dir.ufile("no-such-folder/out.jww") +
        u"」の保存に失敗しました。\nファイルまたはフォルダーが見つかりません。"}},
      {dir.ufile("notes.jww"), dir.ufile("x.jww"), 0, {kBaseNotDrawingMessage}},
  };
  TForm1& f = Show();
  f.WMDropFiles({Drawing("one.jww")});
  for (const auto& c : cases) {
    view.save_requests.clear();
    view.messages.clear();
    view.save_answer = c.save_to;
    f.BaseFile = c.base;
    f.Button7Click();
    ASSERT_TRUE(WaitForRun());
    EXPECT_EQ(view.save_requests.size(), c.save_dialogs);
    EXPECT_EQ(view.messages, c.messages);
    EXPECT_EQ(f.Engine->Combined().EntLine.size(), 0u);
    EXPECT_EQ(ImageFiles(dir.file("TEMP")), 0u);
  }
  EXPECT_EQ(f.SavePath, dir.ufile("no-such-folder/"));  // set by a confirmed dialog
  EXPECT_FALSE(fs::exists(dir.file("x.jww")));
  EXPECT_TRUE(view.questions.empty());  // nothing went wrong in the merges

  // A drawing deleted after it was listed: the user stops before the save
  // dialog, and nothing is written.
  f.BaseFile = base;
  f.WMDropFiles({Drawing("gone.jww")});
  fs::remove(dir.file("gone.jww"));
  view.answer_yes = false;
  view.save_requests.clear();
  view.messages.clear();
  f.Button7Click();
  ASSERT_TRUE(WaitForRun());
  ASSERT_EQ(view.questions.size(), 1u);
  EXPECT_NE(view.questions[0].find(u"gone.jww"), std::u16string::npos);
  EXPECT_TRUE(view.save_requests.empty());
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(ImageFiles(dir.file("TEMP")), 0u);

  // More problems than a message box can show: the rest is counted.
  Files gone(kMaxProblemLines + 2, dir.ufile("gone.jww"));
  view.open_answers = {gone};
  f.Button2Click();
  view.questions.clear();
  f.Button7Click();
  ASSERT_TRUE(WaitForRun());
  ASSERT_EQ(view.questions.size(), 1u);
  const std::u16string& question = view.questions[0];
  EXPECT_EQ(std::count(question.begin(), question.end(), u'\n'), kMaxProblemLines + 3);
  EXPECT_NE(question.find(u"\nほか 3 件\n"), std::u16string::npos) << Utf16ToUtf8(question);
}

// The save dialog only asks whether to replace a file: the run's own drawings
// (the base drawing, a listed one, by whatever name reaches them) are refused
// with the reason, and the dialog opens again where the user was.
TEST_F(FormTest, TheResultNeverReplacesTheRunsOwnDrawings) {
  const std::u16string base = Drawing("base.jww"), one = Drawing("one.jww");
  fs::create_directory(testing::FsPath(dir.file("sub")));
  const std::string base_bytes = ReadText(dir.file("base.jww")),
                    one_bytes = ReadText(dir.file("one.jww"));
  TForm1& f = Show();
  view.open_answers = {{base}, {one, dir.ufile("gone.jww")}};
  f.Button1Click();
  f.Button2Click();
  view.answer_yes = true;  // save although gone.jww is missing
  const std::u16string target = dir.ufile("combined.jww");
  view.save_answers = {base, dir.ufile("sub/../one.jww"), dir.ufile("gone.jww"), target};
  f.Button7Click();
  ASSERT_TRUE(WaitForRun());
  ASSERT_EQ(view.save_requests.size(), 4u);
  EXPECT_EQ(view.save_requests[1].folder, dir.upath());
  EXPECT_EQ(view.save_requests[1].file_name, u"base.jww");
  EXPECT_EQ(view.save_requests[2].file_name, u"one.jww");
  ASSERT_EQ(view.messages.size(), 4u);
  const std::u16string refused[] = {base, dir.ufile("sub/../one.jww"), dir.ufile("gone.jww")};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(view.messages[i], u"図面ファイル「" + refused[i] +
                                    u"」の保存に失敗しました。\n読み込む図面と同じファイルです。");
  }
  EXPECT_EQ(view.messages[3].rfind(u"図面ファイル「" + target + u"」を保存しました。", 0), 0u);
  EXPECT_EQ(ReadText(dir.file("base.jww")), base_bytes);
  EXPECT_EQ(ReadText(dir.file("one.jww")), one_bytes);
  EXPECT_FALSE(fs::exists(testing::FsPath(dir.file("gone.jww"))));
  EXPECT_TRUE(fs::exists(testing::FsPath(dir.file("combined.jww"))));
}

// The base drawing listed first lies where the base drawing does: it is not
// added twice, and saying so is no problem to ask about before saving.
TEST_F(FormTest, TheBaseDrawingListedFirstIsNotAddedTwiceNorAskedAbout) {
  const std::u16string base = Drawing("base.jww");
  TempDir out;
  view.save_answer = out.ufile("combined.jww");
  TForm1& f = Show();
  f.BaseFile = base;
  f.WMDropFiles({base, Drawing("one.jww")});
  f.Button7Click();
  ASSERT_TRUE(WaitForRun());
  EXPECT_TRUE(view.questions.empty());
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0],
            u"図面ファイル「" + out.ufile("combined.jww") + u"」を保存しました。\n図面ファイル「" +
                base + u"」はベース図面と同じファイルのため、重ねて追加しませんでした。");
  TJwwData result;
  ASSERT_TRUE(result.FileIn(out.ufile("combined.jww")));
  EXPECT_EQ(result.EntLine.size(), 10u);
}

TEST_F(FormTest, ClosingDuringARunStopsBeforeTheNextDrawingAndCloses) {
  const std::u16string base = Drawing("base.jww");
  Files files;
  for (const char* name : {"d0.jww", "d1.jww", "d2.jww", "d3.jww", "d4.jww"})
    files.push_back(Drawing(name));
  TForm1& f = Show();
  view.open_answers = {{base}, files};
  f.Button1Click();
  f.Button2Click();
  view.save_answer = dir.ufile("out.jww");
  view.rows.clear();
  // The merge reports its first drawing and waits there until the user has
  // closed the window.
  std::promise<void> reported, closed;
  std::shared_future<void> closed_done = closed.get_future().share();
  view.on_post = [&, first = true]() mutable {
    if (!first) return;
    first = false;
    reported.set_value();
    closed_done.wait();
  };
  f.Button7Click();
  reported.get_future().wait();
  view.Close();
  EXPECT_FALSE(view.closed);  // not yet: the run ends first
  EXPECT_TRUE(f.CloseRequested());
  EXPECT_EQ(view.texts[TControl::StatusBar1], kClosingAfterMerge);
  closed.set_value();
  ASSERT_TRUE(view.PumpUntil([&] { return view.closed; }));
  EXPECT_EQ(view.rows, (std::vector<int>{0, -1}));  // stopped before the second drawing
  EXPECT_TRUE(view.save_requests.empty());
  EXPECT_TRUE(view.questions.empty());
  EXPECT_TRUE(view.messages.empty());
  EXPECT_FALSE(fs::exists(dir.file("out.jww")));
  EXPECT_FALSE(f.Engine);  // shut down
  EXPECT_FALSE(fs::exists(dir.file("TEMP")));
}

TEST_F(FormTest, PreviewFollowsTheChoicesAndShowsTheDrawingsOnceRead) {
  const std::u16string base = Drawing("base.jww");  // A3: tiles 420 x 297
  const std::u16string one = Drawing("one.jww"), two = Drawing("two.jww");
  TForm1& f = Show();
  view.open_answers = {{base}, {one, two}, {dir.ufile("gone.jww")}};
  f.Button1Click();
  f.Button9Click();
  ASSERT_TRUE(f.Preview());
  TPreviewModel& preview = *f.Preview();
  EXPECT_TRUE(view.preview.shown);
  EXPECT_EQ(view.preview.status, u"図面ファイルを[追加]して下さい");

  auto labels = [&] {
    std::vector<std::u16string> out;
    for (const render::TPaperFrame& fr : view.preview.picture.frames)
      out.push_back(fr.label);
    return out;
  };
  f.Button2Click();
  ASSERT_TRUE(view.PumpUntil([&] { return labels().size() == 2 && !preview.IsReading(); }));
  EXPECT_EQ(labels(), (Files{u"1: one.jww", u"2: two.jww"}));
  EXPECT_EQ(view.preview.status, u"");
  const auto& scenes = view.preview.picture.scenes;
  ASSERT_EQ(scenes.size(), 3u);
  EXPECT_EQ(scenes[0].scene, preview.Scenes().at(base).scene);
  EXPECT_EQ(scenes[2].scene, preview.Scenes().at(two).scene);
  EXPECT_EQ(scenes[2].dx, 430);
  EXPECT_FALSE(scenes[2].scene->shapes.empty());

  // Order, gaps and count.
  const struct {
    std::function<void()> edit;
    std::function<bool()> shown;
  } edits[] = {
      {[&] { f.ComboBox1Select(2); },
       [&] {
         return preview.Layout().offsets.size() == 2 &&
                preview.Layout().offsets[1] == std::make_pair(0.0, 307.0);
       }},
      {[&] { f.Edit3Change(u"20"); },
       [&] {
         return preview.Layout().offsets.size() == 2 &&
                preview.Layout().offsets[1] == std::make_pair(0.0, 317.0);
       }},
      {[&] { f.Edit1Change(u"0"); },
       [&] {
         return view.preview.picture.frames.empty() &&
                view.preview.status == u"縦数： の数値を再入力して下さい。";
       }},
      {[&] { f.Edit1Change(u"3"); }, [&] { return labels().size() == 2; }},
  };
  for (const auto& e : edits) {
    e.edit();
    EXPECT_TRUE(view.PumpUntil(e.shown));
  }

  // List edits: a move and a missing drawing.
  f.ListBox1Select(1);
  f.Button4Click();
  f.Button2Click();
  ASSERT_TRUE(view.PumpUntil([&] { return labels().size() == 3 && !preview.IsReading(); }));
  EXPECT_EQ(labels(), (Files{u"1: two.jww", u"2: one.jww", u"3: gone.jww（見つかりません）"}));

  // A drawing saved while the preview was closed is read again on reopening.
  const auto old_one = preview.Scenes().at(one).scene;
  view.ClosePreview();
  f.Edit1Change(u"1");
  f.Edit2Change(u"30");
  DrawingSpec more;
  more.lines = 12;
  Drawing("one.jww", more);
  fs::last_write_time(dir.file("one.jww"),
                      fs::last_write_time(dir.file("one.jww")) + std::chrono::seconds(5));
  f.Button9Click();
  ASSERT_TRUE(view.PumpUntil([&] { return !preview.IsReading(); }));
  EXPECT_NE(preview.Scenes().at(one).scene, old_one);
  EXPECT_GT(preview.Scenes().at(one).scene->shapes.size(), old_one->shapes.size());
  EXPECT_EQ(preview.Layout().offsets[1], std::make_pair(450.0, 0.0));  // edits made meanwhile
}

TEST_F(FormTest, ClosingWhileThePreviewReadsNeitherCrashesNorWaitsLong) {
  const std::u16string base = Drawing("base.jww");
  DrawingSpec big;
  big.lines = 3000;
  big.arcs = 3000;
  big.texts = 1000;
  Files files;
  for (int i = 0; i < 4; ++i)
    files.push_back(Drawing("big" + std::to_string(i) + ".jww", big));
  TForm1& f = Show();
  view.open_answers = {{base}, files};
  f.Button1Click();
  f.Button2Click();
  f.Button9Click();
  // The base drawing comes first; the large ones are being read after it.
  ASSERT_TRUE(view.PumpUntil([&] { return !f.Preview()->Scenes().empty(); }));
  EXPECT_TRUE(f.Preview()->IsReading());
  const auto start = std::chrono::steady_clock::now();
  view.Close();
  EXPECT_TRUE(view.closed);
  EXPECT_FALSE(view.preview.shown);
  form.reset();
  view.queue.RunSome(std::chrono::milliseconds(0));  // results for the gone form do nothing
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

// The shown preview looks at its drawings every kPreviewCheckMs: a drawing
// deleted or saved anew shows without the preview being activated, and a look
// that finds nothing changed leaves the picture alone. The looks stop while
// the preview is closed.
TEST_F(FormTest, TheShownPreviewNoticesDrawingsDeletedOrChanged) {
  const std::u16string base = Drawing("base.jww");
  const std::u16string one = Drawing("one.jww"), two = Drawing("two.jww");
  TForm1& f = Show();
  view.open_answers = {{base}, {one, two}};
  f.Button1Click();
  f.Button2Click();
  f.Button9Click();
  TPreviewModel& preview = *f.Preview();
  ASSERT_TRUE(view.PumpUntil([&] { return !preview.IsLooking(); }));
  ASSERT_EQ(view.later.size(), 1u);

  auto look = [&] {
    view.FireLater();
    EXPECT_TRUE(view.PumpUntil([&] { return !preview.IsLooking(); }));
  };
  const int pictures = view.preview.pictures;
  look();
  EXPECT_EQ(view.preview.pictures, pictures);  // nothing changed
  EXPECT_EQ(view.later.size(), 1u);            // the next look, and only one

  fs::remove(dir.file("two.jww"));
  look();
  ASSERT_EQ(view.preview.picture.frames.size(), 2u);
  EXPECT_EQ(view.preview.picture.frames[1].label, u"2: two.jww（見つかりません）");
  EXPECT_EQ(view.preview.status, u"1 個の図面が見つかりません。");

  const auto old_one = preview.Scenes().at(one).scene;
  DrawingSpec more;
  more.lines = 12;
  Drawing("one.jww", more);
  fs::last_write_time(dir.file("one.jww"),
                      fs::last_write_time(dir.file("one.jww")) + std::chrono::seconds(5));
  look();
  EXPECT_GT(preview.Scenes().at(one).scene->shapes.size(), old_one->shapes.size());
  EXPECT_FALSE(preview.IsReading());  // looked at quietly: no "reading" in the status line

  // Closed: the next look finds it so and looks no more; opened, it looks again.
  view.ClosePreview();
  view.FireLater();
  EXPECT_TRUE(view.later.empty());
  f.Button9Click();
  EXPECT_EQ(view.later.size(), 1u);
  f.Button9Click();
  EXPECT_EQ(view.later.size(), 1u);
}

// The preview opens beside the main window, where it was moved to next time.
TEST_F(FormTest, ThePreviewOpensBesideTheMainWindowThenWhereItWasLeft) {
  TForm1& f = Show();
  view.placement = {100, 100, 542, 497};
  f.Button9Click();
  EXPECT_EQ(view.preview_frame, (TRect{642, 100, 656, 519}));
  view.preview_frame = {700, 300, 800, 600};  // moved and resized by the user
  f.Button8Click();
  const std::string saved = ReadText(dir.file("plattero.dat"));
  EXPECT_NE(saved.find("\r\n0\r\n700\r\n300\r\n800\r\n600\r\n"), std::string::npos) << saved;

  form.reset();
  view.preview_frame = {0, 0, 656, 519};
  TForm1& again = Show();
  again.Button9Click();
  EXPECT_EQ(view.preview_frame, (TRect{700, 300, 800, 600}));
}

// Many drawings read are composed into the picture a few times a second, not
// once each: a composition takes the time of every tile, so one per drawing
// made reading n drawings take time growing with n * n. The last one shows
// them all.
TEST_F(FormTest, ThePreviewComposesAFewTimesASecondWhileManyDrawingsAreRead) {
  const std::u16string base = Drawing("base.jww");
  Files files;
  for (int i = 0; i < 1500; ++i) {
    const std::string name = "d" + std::to_string(i) + ".jww";
    fs::copy_file(dir.file("base.jww"), dir.file(name));
    files.push_back(dir.ufile(name));
  }
  TaskQueue queue;
  FakePreview pane(queue);
  TPreviewModel model(pane);
  const auto start = std::chrono::steady_clock::now();
  TFieldChoices in;
  in.inputs.files = files;
  in.inputs.base_file = base;
  in.inputs.count = 40;
  model.SetInputs(in, TPaperSize{420, 297, 3});
  while (model.IsLooking() && std::chrono::steady_clock::now() - start < std::chrono::minutes(2))
    queue.RunSome(std::chrono::milliseconds(10));
  ASSERT_FALSE(model.IsLooking());
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  // Two for the new choices, one at the end, the others kPreviewComposeMs apart.
  EXPECT_LE(pane.pictures, 3 + ms / kPreviewComposeMs) << ms << " ms";
  EXPECT_EQ(pane.picture.scenes.size(), files.size() + 1);
  EXPECT_EQ(pane.picture.frames.size(), files.size());
  EXPECT_EQ(pane.status, u"");
}

// Drawings beyond what the preview draws are named in its status line, and
// a look that finds them so again repaints nothing.
TEST_F(FormTest, ThePreviewsStatusLineSaysWhichDrawingsAreShownAsFramesOnly) {
  DrawingSpec spec;
  spec.lines = 30;
  const std::u16string base = Drawing("base.jww", spec);
  const std::size_t each = render::ReadPreviewScene(base, 1000000).scene->shapes.size();
  TaskQueue queue;
  FakePreview pane(queue);
  TPreviewModel model(pane, each * 2 + each / 2);  // the base and one more
  TFieldChoices in;
  in.inputs.files = {Drawing("a.jww", spec), Drawing("b.jww", spec), Drawing("c.jww", spec)};
  in.inputs.base_file = base;
  model.SetInputs(in, TPaperSize{420, 297, 3});
  auto pump = [&] {
    for (int i = 0; i < 3000 && model.IsLooking(); ++i)
      queue.RunSome(std::chrono::milliseconds(10));
    return !model.IsLooking();
  };
  ASSERT_TRUE(pump());
  EXPECT_EQ(pane.status, u"2 個の図面はプレビューで描ける量を超えるため、枠だけを表示しています。");
  EXPECT_EQ(pane.picture.frames[2].label, u"3: c.jww（表示省略）");
  const int pictures = pane.pictures;
  model.Check();
  EXPECT_TRUE(model.IsLooking());
  model.Check();  // one look at a time
  ASSERT_TRUE(pump());
  EXPECT_EQ(pane.pictures, pictures);
}

}  // namespace
}  // namespace plattero::window
