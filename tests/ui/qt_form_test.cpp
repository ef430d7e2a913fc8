// The Qt window on the offscreen platform: its controls, captions, focus
// order and layout, and that what the user does with them reaches the form
// (window/form.h, tested on its own) and what the form shows reaches them:
// clicks, edits, selection, drags, a whole run and the preview.

#include "ui/qt_form.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QThread>
#include <QUrl>
#include <QWheelEvent>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "desktop/jwcad_wine.h"
#include "dialog_answers.h"
#include "drawing_builder.h"
#include "render/canvas.h"
#include "ui/preview_dialog.h"
#include "util/text.h"

namespace plattero::ui {
namespace {

namespace fs = std::filesystem;

using testing::DrawingSpec;
using testing::TempDir;
using testing::WriteDrawing;

QString Q(const std::u16string& s) {
  return QString::fromStdU16String(s);
}
std::u16string U(const QString& s) {
  return s.toStdU16String();
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Dialogs answered by the test, recording what they were asked.
class FakeDialogs : public TDialogs, public testing::DialogAnswers {
 public:
  std::vector<std::u16string> OpenDrawings(QWidget*, const window::TFileDialogRequest& r) override {
    return AnswerOpen(r);
  }
  std::optional<std::u16string> SaveDrawing(QWidget*,
                                            const window::TFileDialogRequest& r) override {
    return AnswerSave(r);
  }
  void ShowMessage(QWidget*, const std::u16string& text) override { messages.push_back(text); }
  bool AskYesNo(QWidget*, const std::u16string& text) override { return AnswerQuestion(text); }
};

class FormTest : public ::testing::Test {
 protected:
  std::unique_ptr<TQtForm> MakeForm() {
    auto form = std::make_unique<TQtForm>(TFormOptions{dir.ufile("plattero"), &dialogs});
    form->show();
    return form;
  }
  // Lets the window's queued work run until the tiling run has ended.
  static bool WaitForRun(TQtForm& form) {
    QElapsedTimer timer;
    timer.start();
    while (form.Form().IsRunning() && timer.elapsed() < 120000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(2);
    }
    return !form.Form().IsRunning();
  }
  // Lets the window's queued work run until `ready` holds.
  static bool WaitUntil(const std::function<bool()>& ready) {
    QElapsedTimer timer;
    timer.start();
    while (!ready() && timer.elapsed() < 60000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(2);
    }
    return ready();
  }
  void WriteSettings(const std::string& text) {
    std::ofstream(dir.file("plattero.dat"), std::ios::binary) << text;
  }
  std::u16string Drawing(const std::string& name, DrawingSpec spec = {}) {
    if (spec.lines == 0 && spec.arcs == 0) spec.lines = 5;
    EXPECT_TRUE(WriteDrawing(spec, dir.file(name)));
    return dir.ufile(name);
  }

  TempDir dir;     // where the program "is installed"
  TempDir prefix;  // an empty Wine prefix
  ScopedEnv wine_prefix{"WINEPREFIX", prefix.path()};
  FakeDialogs dialogs;
};

TEST_F(FormTest, ControlsHaveTheirCaptionsLimitsAndFocusOrder) {
  auto form = MakeForm();
  const std::pair<const char*, const char16_t*> captions[] = {
      {"Label1", u"並べ方："},         {"Label2", u"横数："},
      {"LabelPap", u"（用紙）"},       {"Label4", u"横間隔："},
      {"Label5", u"縦間隔："},         {"Label6", u"[図寸mm]"},
      {"Label3", u"ベース図面："},     {"LabelBase", u"（ファイル名）"},
      {"Button1", u"参照 (&B)"},       {"Button2", u"追加 (&A)"},
      {"Button3", u"削除 (&E)"},       {"Button4", u" ▲  (&U)"},
      {"Button5", u" ▼  (&D)"},        {"Button6", u"並替 (&S)"},
      {"Button7", u"開始 (&G)"},       {"Button8", u"終了 (&X)"},
      {"Button9", u"プレビュー (&P)"}, {"CheckBox1", u"各図面の用紙で配置"},
      {"Label7", u"用紙："},           {"CheckBox2", u"縮尺ごとにレイヤグループを分ける"},
  };
  for (const auto& [name, caption] : captions) {
    QWidget* w = form->findChild<QWidget*>(name);
    ASSERT_TRUE(w) << name;
    const QString text = w->property("text").toString();
    EXPECT_EQ(U(text), caption) << name;
  }
  auto* combo = form->findChild<QComboBox*>("ComboBox1");
  ASSERT_TRUE(combo);
  ASSERT_EQ(combo->count(), 4);
  EXPECT_EQ(
      U(combo->itemText(0)) + U(combo->itemText(1)) + U(combo->itemText(2)) + U(combo->itemText(3)),
      u"右→上右→下上→右下→右");
  EXPECT_EQ(combo->currentIndex(), 0);
  EXPECT_FALSE(combo->isEditable());
  auto* paper = form->findChild<QComboBox*>("ComboBox2");
  ASSERT_TRUE(paper);
  std::u16string papers;
  for (int i = 0; i < paper->count(); ++i)
    papers += U(paper->itemText(i)) + u"/";
  EXPECT_EQ(papers, u"ベース図面/自動/A4/A3/A2/A1/A0/2A/3A/4A/5A/");
  EXPECT_EQ(paper->currentIndex(), 0);
  EXPECT_FALSE(paper->isEditable());
  const std::tuple<const char*, int, const char16_t*> edits[] = {
      {"Edit1", 3, u"3"}, {"Edit2", 8, u"10"}, {"Edit3", 8, u"10"}};
  for (const auto& [name, limit, text] : edits) {
    auto* e = form->findChild<QLineEdit*>(name);
    ASSERT_TRUE(e) << name;
    EXPECT_EQ(e->maxLength(), limit) << name;
    EXPECT_EQ(U(e->text()), text) << name;
    EXPECT_FALSE(e->testAttribute(Qt::WA_InputMethodEnabled)) << name;
  }
  auto* list = form->findChild<QListWidget*>("ListBox1");
  ASSERT_TRUE(list);
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_TRUE(form->findChild<QStatusBar*>("StatusBar1"));
  EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("Plattero ")));

  // Focus moves through the controls in their designed order.
  const std::vector<std::string> expected = {
      "ComboBox1", "Edit1",   "Edit2",    "Edit3",   "CheckBox1", "ComboBox2",
      "CheckBox2", "Button1", "ListBox1", "Button2", "Button3",   "Button4",
      "Button5",   "Button6", "Button7",  "Button8", "Button9"};
  const std::set<std::string> named(expected.begin(), expected.end());
  std::vector<std::string> chain;
  QWidget* w = form->ComboBox1;
  do {
    if (named.count(w->objectName().toStdString())) chain.push_back(w->objectName().toStdString());
    w = w->nextInFocusChain();
  } while (w != form->ComboBox1 && chain.size() < 40);
  EXPECT_EQ(chain, expected);

  // The designed layout at the designed size.
  form->resize(window::kDesignWidth, window::kDesignHeight);
  EXPECT_EQ(form->ListBox1->geometry().topLeft(), QPoint(0, 111));
  EXPECT_EQ(form->ListBox1->width(), 437);
  EXPECT_EQ(form->Button2->geometry(), QRect(445, 119, 75, 30));
  EXPECT_EQ(form->Button6->geometry(), QRect(445, 247, 75, 30));
  EXPECT_EQ(form->Button1->geometry(), QRect(451, 84, 70, 25));
  EXPECT_EQ(form->StatusBar1->geometry().bottom(), window::kDesignHeight - 1);
  EXPECT_EQ(form->Button7->geometry().bottom() + 1 + 6 + form->StatusBar1->height(),
            window::kDesignHeight);
  EXPECT_EQ(form->ListBox1->geometry().bottom() + 1 + 40 + form->StatusBar1->height(),
            window::kDesignHeight);
  // The preview button ends the bottom bar, clear of the designed controls.
  EXPECT_EQ(form->Button9->geometry().top(), form->Button7->geometry().top());
  EXPECT_GT(form->Button9->geometry().left(), form->Button8->geometry().right());
  EXPECT_LE(form->Button9->geometry().right(), window::kDesignWidth);
  // The check box beside the gaps, whole within the designed width.
  EXPECT_GT(form->CheckBox1->geometry().left(), form->Label6->geometry().right());
  EXPECT_LE(form->CheckBox1->geometry().right(), window::kDesignWidth);
  // The paper and the layer groups in a row of their own below the gaps: the
  // drop-down under the arrangement's, wide enough for its items, the check
  // box beside it, whole within the designed width.
  EXPECT_EQ(form->ComboBox2->geometry().left(), form->ComboBox1->geometry().left());
  EXPECT_GT(form->ComboBox2->geometry().top(), form->Edit2->geometry().bottom());
  EXPECT_LT(form->ComboBox2->geometry().bottom(), form->Label3->geometry().top());
  EXPECT_GE(form->ComboBox2->width(), form->ComboBox2->sizeHint().width());
  EXPECT_GT(form->CheckBox2->geometry().left(), form->ComboBox2->geometry().right());
  EXPECT_LE(form->CheckBox2->geometry().right(), window::kDesignWidth);
  EXPECT_GE(form->CheckBox2->width(), form->CheckBox2->sizeHint().width());
}

TEST_F(FormTest, AFlawedPlacementStillGivesAUsableWindow) {
  WriteSettings("-90000\n-90000\n0\nx\n");
  auto form = MakeForm();
  EXPECT_EQ(form->size(), QSize(window::kDesignWidth, window::kDesignHeight));
  EXPECT_TRUE(form->screen()->availableGeometry().intersects(form->frameGeometry()));
}

// What the user does reaches the form, and what the form shows reaches the
// controls: the settings restored, files added, a row chosen, edits, the
// arrangement, a drag within the list and a drop from outside.
TEST_F(FormTest, TheControlsAndTheFormAgree) {
  const std::u16string base = Drawing("base.jww");
  WriteSettings(
      "\xEF\xBB\xBF"
      "100\r\n120\r\n600\r\n500\r\n2\r\n123456\r\n-5\r\nabc\r\n" +
      Utf16ToUtf8(base) + "\r\n/zumen/\r\n/save/\r\n");
  auto form = MakeForm();
  window::TForm1& f = form->Form();
  EXPECT_EQ(form->frameGeometry(), QRect(100, 120, 600, 500));
  EXPECT_EQ(form->ComboBox1->currentIndex(), 2);
  EXPECT_EQ(U(form->Label2->text()), u"縦数：");
  EXPECT_EQ(U(form->Edit1->text()), u"123456");  // longer than typing allows, shown in full
  EXPECT_EQ(U(form->LabelBase->text()), base);
  EXPECT_EQ(U(form->LabelPap->text()), u"（A3）");
  EXPECT_EQ(f.MemoT.size(), 18u);

  const std::u16string a = u"/d/a.jww", b = u"/d/b.jww", c = u"/e/c.jww";
  dialogs.open_answers = {{a, b, c}};
  form->Button2->click();
  ASSERT_EQ(form->ListBox1->count(), 3);
  form->ListBox1->setCurrentRow(1);
  EXPECT_EQ(f.SelectedRow(), 1);
  form->Button4->click();
  EXPECT_EQ(U(form->ListBox1->item(0)->text()), b);
  EXPECT_EQ(form->ListBox1->currentRow(), 0);
  form->Edit1->setText(QStringLiteral("2"));
  form->Edit2->setText(QStringLiteral("5"));
  form->Edit3->setText(QStringLiteral("7"));
  EXPECT_EQ(f.CountText() + f.GapXText() + f.GapYText(), u"257");
  form->ComboBox1->setCurrentIndex(1);
  emit form->ComboBox1->activated(1);
  EXPECT_EQ(f.Arrangement(), 1);
  EXPECT_EQ(U(form->Label2->text()), u"横数：");
  form->ComboBox2->setCurrentIndex(5);
  emit form->ComboBox2->activated(5);
  EXPECT_EQ(f.Paper(), 5);
  EXPECT_EQ(f.CurrentInputs().inputs.paper.nZumen, 1);  // A1
  form->CheckBox2->click();
  EXPECT_TRUE(f.OwnLayerGroups());
  EXPECT_EQ(f.CurrentInputs().inputs.layer_groups, TLayerGroups::kOwn);
  form->Button6->click();
  EXPECT_EQ(f.ListBox2.size(), 3u);

  // An entry dragged to another place (the list moves it itself).
  QListWidgetItem* moved = form->ListBox1->takeItem(2);
  form->ListBox1->insertItem(0, moved);
  form->ListBox1->on_reorder();
  EXPECT_EQ(f.Files()[0], U(moved->text()));

  // Files dropped from a file manager.
  for (const char* name : {"new.jww", "notes.txt"})
    std::ofstream(dir.file(name)) << "x";
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(Q(dir.ufile("new.jww"))),
                QUrl::fromLocalFile(Q(dir.ufile("notes.txt"))),
                QUrl(QStringLiteral("https://example.invalid/remote.jww"))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form->ListBox1->viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form->ListBox1->viewport(), &drop);
  EXPECT_EQ(f.Files().back(), dir.ufile("new.jww"));
  EXPECT_EQ(form->ListBox1->count(), 4);
  EXPECT_EQ(U(form->StatusText->text()), u"1個のファイルを一覧に追加しました。");

  // The Delete key removes the selected entry and selects the next one.
  EXPECT_EQ(U(form->ListBox1->toolTip()), window::kOpenInJwCadHint);
  EXPECT_EQ(U(form->LabelBase->toolTip()), window::kOpenInJwCadHint);
  const std::vector<std::u16string> before = f.Files();
  form->ListBox1->setCurrentRow(1);
  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
  QCoreApplication::sendEvent(form->ListBox1, &del);
  EXPECT_EQ(f.Files(), (std::vector<std::u16string>{before[0], before[2], before[3]}));
  EXPECT_EQ(form->ListBox1->currentRow(), 1);
  EXPECT_EQ(f.SelectedRow(), 1);
  QCoreApplication::sendEvent(form->ListBox1, &del);
  EXPECT_EQ(f.Files(), (std::vector<std::u16string>{before[0], before[3]}));

  // The paper and the layer groups are kept in lines 17 and 18 and come back.
  form->close();
  const std::string saved = ReadText(dir.file("plattero.dat"));
  EXPECT_NE(saved.find("\r\n1\r\nA1\r\n"), std::string::npos) << saved;
  form = MakeForm();
  EXPECT_EQ(form->ComboBox2->currentIndex(), 5);
  EXPECT_TRUE(form->CheckBox2->isChecked());
  EXPECT_EQ(form->Form().CurrentInputs().inputs.paper.nZumen, 1);
}

TEST_F(FormTest, DoubleClicksStartJwCadWithTheChosenDrawing) {
  TempDir tools;
  const std::string record = tools.file("record.txt");
  std::ofstream(tools.file("wine"))
      << "#!/bin/sh\n{ for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; echo end; } >> '"
      << record << "'\n";
  ::chmod(tools.file("wine").c_str(), 0755);
  ScopedEnv wine("PLATTERO_WINE", tools.file("wine"));
  auto read_record = [&](std::size_t ends) {
    for (int i = 0; i < 500; ++i) {
      const std::string text = ReadText(record);
      std::size_t n = 0;
      for (std::size_t p = text.find("end\n"); p != std::string::npos;
           p = text.find("end\n", p + 1))
        ++n;
      if (n >= ends) return text;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ReadText(record);
  };

  auto form = MakeForm();
  window::TForm1& f = form->Form();
  const std::u16string drawing = Drawing("look.jww");
  emit form->LabelBase->doubleClicked();  // the placeholder: nothing
  f.WMDropFiles({drawing});
  f.ListBox1DblClick();  // no selection: nothing
  form->ListBox1->setCurrentRow(0);
  emit form->ListBox1->doubleClicked();
  const std::string expected =
      "[C:\\JWW\\Jw_win.exe]\n[" + Utf16ToUtf8(desktop::WinePathOf(drawing)) + "]\nend\n";
  EXPECT_EQ(read_record(1), expected);
  // A sign of life while Jw_cad comes up under Wine, for a moment.
  ASSERT_TRUE(QApplication::overrideCursor());
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  QElapsedTimer waited;
  waited.start();
  while (QApplication::overrideCursor() && waited.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_FALSE(QApplication::overrideCursor());
  EXPECT_GE(waited.elapsed(), window::kJwCadStartCursorMs - 500);

  dialogs.open_answers = {{drawing}};
  form->Button1->click();
  emit form->LabelBase->doubleClicked();
  EXPECT_EQ(read_record(2), expected + expected);
}

// A run through the window: every control disabled while it goes on (the save
// dialog included), the selection following the row being merged, the
// progress bar, and all back afterwards; a close during a run stops it and
// closes the window at its end, saving nothing. The base drawing named in
// the save dialog is refused and the dialog opens again.
TEST_F(FormTest, ARunDisablesTheWindowUntilItEnds) {
  const std::u16string base = Drawing("base.jww");
  TempDir out;
  auto form = MakeForm();
  dialogs.open_answers = {{base}, {Drawing("one.jww"), Drawing("two.jww")}};
  form->Button1->click();
  form->Button2->click();
  dialogs.save_answers = {base};
  dialogs.save_answer = out.ufile("combined.jww");
  bool disabled_during_dialog = false;
  dialogs.on_save_dialog = [&] {
    disabled_during_dialog = !form->Button7->isEnabled() && !form->ListBox1->isEnabled() &&
                             !form->Edit1->isEnabled() && !form->Button8->isEnabled() &&
                             !form->Button9->isEnabled();
  };
  std::vector<int> rows;
  QObject::connect(form->ListBox1, &QListWidget::currentRowChanged,
                   [&](int row) { rows.push_back(row); });
  int finished = 0;
  QObject::connect(form.get(), &TQtForm::runFinished, [&] { ++finished; });

  form->Button7->click();
  EXPECT_FALSE(form->Button7->isEnabled());
  EXPECT_TRUE(form->Progress->isVisible());
  ASSERT_TRUE(WaitForRun(*form));
  EXPECT_TRUE(disabled_during_dialog);
  EXPECT_EQ(rows, (std::vector<int>{0, 1, -1}));
  EXPECT_EQ(finished, 1);
  ASSERT_EQ(dialogs.messages.size(), 2u);
  EXPECT_EQ(dialogs.messages[0], u"図面ファイル「" + base +
                                     u"」の保存に失敗しました。\n読み込む図面と同じファイルです。");
  EXPECT_TRUE(fs::exists(out.file("combined.jww")));
  EXPECT_TRUE(form->Button7->isEnabled());
  EXPECT_TRUE(form->ListBox1->isEnabled());
  EXPECT_FALSE(form->Progress->isVisible());

  dialogs.save_answer = out.ufile("second.jww");
  form->Button7->click();
  form->close();
  EXPECT_TRUE(form->isVisible());  // until the run has stopped
  EXPECT_EQ(U(form->StatusText->text()), window::kClosingAfterMerge);
  ASSERT_TRUE(WaitForRun(*form));
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(dialogs.save_requests.size(), 2u);
  EXPECT_FALSE(fs::exists(out.file("second.jww")));
}

// The preview window shows and paints what the form's preview model composes,
// follows the controls, and closing the main window while drawings are read
// neither crashes nor waits long.
TEST_F(FormTest, ThePreviewWindowPaintsAndFollowsTheControls) {
  const std::u16string base = Drawing("base.jww");  // A3: tiles 420 x 297
  DrawingSpec big;
  big.lines = 3000;
  big.arcs = 3000;
  std::vector<std::u16string> files = {Drawing("one.jww"), Drawing("two.jww")};
  for (int i = 0; i < 3; ++i)
    files.push_back(Drawing("big" + std::to_string(i) + ".jww", big));
  auto form = MakeForm();
  dialogs.open_answers = {{base}, {files[0], files[1]}};
  form->Button1->click();
  form->Button2->click();
  form->Button9->click();
  ASSERT_TRUE(form->PreviewDialog);
  TPreviewDialog& preview = *form->PreviewDialog;
  window::TPreviewModel& model = *form->Form().Preview();
  EXPECT_TRUE(preview.isVisible());
  ASSERT_TRUE(WaitUntil([&] { return !model.IsReading() && model.Scenes().size() == 3; }));
  EXPECT_EQ(U(preview.StatusText->text()), u"");

  // Painted: the frames in their colour, and the drawings beside them.
  auto* canvas = preview.findChild<TPreviewCanvas*>();
  ASSERT_TRUE(canvas);
  TPreviewCanvas frames_only(nullptr);
  frames_only.resize(canvas->size());
  render::TPreviewPicture without = canvas->Picture();
  without.scenes.clear();
  frames_only.SetPicture(without);
  auto count = [](const QImage& image, bool frame) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb c = image.pixel(x, y) & 0xFFFFFF;
        n += frame ? c == 0xD02020 : c != 0xFFFFFF;
      }
    }
    return n;
  };
  const QImage painted = canvas->grab().toImage();
  EXPECT_GT(count(painted, true), 100);
  EXPECT_GT(count(painted, false), count(frames_only.grab().toImage(), false) + 10);

  // An edit in the window reaches the preview; a count refused shows why.
  form->Edit3->setText(QStringLiteral("20"));
  form->ComboBox1->setCurrentIndex(2);
  emit form->ComboBox1->activated(2);
  ASSERT_TRUE(WaitUntil([&] {
    return model.Layout().offsets.size() == 2 &&
           model.Layout().offsets[1] == std::make_pair(0.0, 317.0);
  }));
  form->Edit1->setText(QStringLiteral("0"));
  ASSERT_TRUE(WaitUntil([&] { return preview.Picture().frames.empty(); }));
  EXPECT_EQ(U(preview.StatusText->text()), u"縦数： の数値を再入力して下さい。");
  form->Edit1->setText(QStringLiteral("3"));

  // Large drawings being read when the window closes.
  dialogs.open_answers = {{files[2], files[3], files[4]}};
  form->Button2->click();
  ASSERT_TRUE(WaitUntil([&] { return model.IsReading(); }));
  QElapsedTimer timer;
  timer.start();
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(preview.isVisible());
  form.reset();
  QCoreApplication::processEvents();  // results queued for the gone window are dropped
  EXPECT_LT(timer.elapsed(), 20000);
}

// The preview is a window of its own (no dialog of the main window, so either
// goes behind the other), opens beside the main window on its screen, keeps
// its frame in the settings, and the mouse zooms and moves its picture.
TEST_F(FormTest, ThePreviewIsAWindowOfItsOwnBesideTheMainOneAndTheMouseMovesIt) {
  WriteSettings("0\n0\n300\n250\n");
  auto form = MakeForm();
  const std::u16string base = Drawing("base.jww");
  dialogs.open_answers = {{base}, {Drawing("one.jww"), Drawing("two.jww")}};
  form->Button1->click();
  form->Button2->click();
  form->Button9->click();
  ASSERT_TRUE(form->PreviewDialog);
  TPreviewDialog& preview = *form->PreviewDialog;
  EXPECT_EQ(preview.parentWidget(), nullptr);
  EXPECT_TRUE(preview.isWindow());
  EXPECT_EQ(preview.windowType(), Qt::Window);
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_FALSE(preview.frameGeometry().intersects(form->frameGeometry()))
      << preview.frameGeometry().x() << "," << preview.frameGeometry().y();
  EXPECT_TRUE(screen.contains(preview.frameGeometry()));
  ASSERT_TRUE(WaitUntil([&] { return !form->Form().Preview()->IsReading(); }));

  auto* canvas = preview.findChild<TPreviewCanvas*>();
  ASSERT_TRUE(canvas);
  const QPointF centre(canvas->width() / 2.0, canvas->height() / 2.0);
  const QImage fitted = canvas->grab().toImage();
  QWheelEvent wheel(centre, canvas->mapToGlobal(centre), {}, {0, 240}, Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(canvas, &wheel);
  EXPECT_FALSE(canvas->Navigator().Fitted());
  EXPECT_DOUBLE_EQ(canvas->Navigator().View().scale,
                   1.5625 * render::FitView(canvas->Picture().extents, canvas->width(),
                                            canvas->height(), render::kPreviewMargin)
                                .scale);
  EXPECT_NE(canvas->grab().toImage(), fitted);
  const double x0 = canvas->Navigator().View().x0;
  auto mouse = [&](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, canvas->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &e);
  };
  mouse(QEvent::MouseButtonPress, centre, Qt::LeftButton);
  mouse(QEvent::MouseMove, centre + QPointF(30, 0), Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, centre + QPointF(30, 0), Qt::NoButton);
  EXPECT_DOUBLE_EQ(canvas->Navigator().View().x0, x0 + 30);
  mouse(QEvent::MouseButtonDblClick, centre, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, centre, Qt::NoButton);
  EXPECT_TRUE(canvas->Navigator().Fitted());
  EXPECT_EQ(canvas->grab().toImage(), fitted);

  // Its frame is kept in lines 13 to 16 of the settings.
  const QRect frame = preview.frameGeometry();
  form->close();
  std::ifstream in(dir.file("plattero.dat"), std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  ASSERT_EQ(lines.size(), 18u);
  EXPECT_EQ(lines[12] + lines[13] + lines[14] + lines[15],
            std::to_string(frame.x()) + "\r" + std::to_string(frame.y()) + "\r" +
                std::to_string(frame.width()) + "\r" + std::to_string(frame.height()) + "\r");
}

}  // namespace
}  // namespace plattero::ui
