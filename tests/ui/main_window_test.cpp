// The main window on the offscreen platform: start-up and shut-down, the
// settings it restores and writes, the list handlers, drops, sorting,
// double-clicks, and whole tiling runs with the dialogs answered here.

#include "ui/main_window.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QUrl>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "drawing_builder.h"
#include "platform/jwcad.h"
#include "ui/preview_dialog.h"
#include "util/text.h"

namespace plattero::ui {
namespace {

namespace fs = std::filesystem;

// Files in an image folder besides the lock that marks it as in use.
std::size_t ImageFiles(const std::string& folder) {
  std::size_t n = 0;
  for (const auto& e : fs::directory_iterator(folder))
    n += e.path().filename() != ".plattero-lock";
  return n;
}
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
class FakeDialogs : public TDialogs {
 public:
  std::deque<std::vector<std::u16string>> open_answers;
  std::vector<TFileDialogRequest> open_requests;
  std::optional<std::u16string> save_answer;
  std::vector<TFileDialogRequest> save_requests;
  std::vector<std::u16string> messages;
  std::function<void()> on_save_dialog;

  std::vector<std::u16string> OpenDrawings(QWidget*, const TFileDialogRequest& r) override {
    open_requests.push_back(r);
    if (open_answers.empty()) return {};
    auto answer = open_answers.front();
    open_answers.pop_front();
    return answer;
  }
  std::optional<std::u16string> SaveDrawing(QWidget*, const TFileDialogRequest& r) override {
    save_requests.push_back(r);
    if (on_save_dialog) on_save_dialog();
    return save_answer;
  }
  void ShowMessage(QWidget*, const std::u16string& text) override { messages.push_back(text); }
};

class FormTest : public ::testing::Test {
 protected:
  std::unique_ptr<TForm1> MakeForm() {
    auto form = std::make_unique<TForm1>(TFormOptions{dir.ufile("plattero"), &dialogs});
    form->show();
    return form;
  }
  // Lets the window's queued work run until the tiling run has ended.
  static bool WaitForRun(TForm1& form) {
    QElapsedTimer timer;
    timer.start();
    while (form.IsRunning() && timer.elapsed() < 120000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(2);
    }
    return !form.IsRunning();
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
      {"Button9", u"プレビュー (&P)"},
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
  EXPECT_TRUE(form->findChild<QListWidget*>("ListBox2")->isHidden());
  EXPECT_TRUE(form->findChild<QPlainTextEdit*>("MemoT")->isHidden());
  EXPECT_TRUE(form->findChild<QStatusBar*>("StatusBar1"));
  EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("Plattero ")));

  // Focus moves through the controls in their designed order.
  const std::vector<std::string> expected = {
      "ComboBox1", "Edit1",   "Edit2",   "Edit3",   "Button1", "ListBox1", "Button2",
      "Button3",   "Button4", "Button5", "Button6", "Button7", "Button8",  "Button9"};
  const std::set<std::string> named(expected.begin(), expected.end());
  std::vector<std::string> chain;
  QWidget* w = form->ComboBox1;
  do {
    if (named.count(w->objectName().toStdString())) chain.push_back(w->objectName().toStdString());
    w = w->nextInFocusChain();
  } while (w != form->ComboBox1 && chain.size() < 40);
  EXPECT_EQ(chain, expected);

  // The designed layout at the designed size.
  form->resize(kDesignWidth, kDesignHeight);
  EXPECT_EQ(form->ListBox1->geometry().topLeft(), QPoint(0, 85));
  EXPECT_EQ(form->ListBox1->width(), 437);
  EXPECT_EQ(form->Button2->geometry(), QRect(445, 93, 75, 30));
  EXPECT_EQ(form->Button6->geometry(), QRect(445, 221, 75, 30));
  EXPECT_EQ(form->Button1->geometry(), QRect(451, 58, 70, 25));
  EXPECT_EQ(form->StatusBar1->geometry().bottom(), kDesignHeight - 1);
  EXPECT_EQ(form->Button7->geometry().bottom() + 1 + 6 + form->StatusBar1->height(), kDesignHeight);
  EXPECT_EQ(form->ListBox1->geometry().bottom() + 1 + 40 + form->StatusBar1->height(),
            kDesignHeight);
  // The preview button ends the bottom bar, clear of the designed controls.
  EXPECT_EQ(form->Button9->geometry().top(), form->Button7->geometry().top());
  EXPECT_GT(form->Button9->geometry().left(), form->Button8->geometry().right());
  EXPECT_LE(form->Button9->geometry().right(), kDesignWidth);
}

TEST_F(FormTest, FirstStartMakesTheFoldersAndCloseWritesTheDefaults) {
  fs::create_directory(dir.file("TEMP"));  // an existing folder is no error
  auto form = MakeForm();
  EXPECT_EQ(form->Locations.SettingsFile, dir.ufile("plattero.dat"));
  EXPECT_EQ(form->Locations.TmpPath, dir.ufile("TEMP/"));
  EXPECT_EQ(form->Locations.TmpPath2, dir.ufile("TEMP2/"));
  EXPECT_TRUE(fs::is_directory(dir.file("TEMP2")));
  EXPECT_EQ(form->JwwPath, u"C:\\JWW\\");
  EXPECT_EQ(form->ListBox1->count(), 0);
  EXPECT_EQ(U(form->LabelPap->text()), u"（用紙）");
  EXPECT_EQ(form->ZumenPath, dir.upath());
  ASSERT_TRUE(form->Engine);
  EXPECT_EQ(form->Engine->JWW.BindImageFolder, dir.ufile("TEMP/"));

  const QRect frame = form->frameGeometry();
  form->Button8->click();
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(form->Engine);
  const std::string expected =
      "\xEF\xBB\xBF" + std::to_string(frame.x()) + "\r\n" + std::to_string(frame.y()) + "\r\n" +
      std::to_string(frame.width()) + "\r\n" + std::to_string(frame.height()) +
      "\r\n0\r\n3\r\n10\r\n10\r\n\r\n" + dir.path() + "\r\n" + dir.path() + "\r\n";
  EXPECT_EQ(ReadText(dir.file("plattero.dat")), expected);
  EXPECT_EQ(frame.size(), QSize(500, 400));  // the size used before any file
  EXPECT_FALSE(fs::exists(dir.file("TEMP")));
  EXPECT_FALSE(fs::exists(dir.file("TEMP2")));
}

TEST_F(FormTest, WithoutImageFoldersImagesAreLeftOutAndTheUserIsTold) {
  std::ofstream(dir.file("TEMP")) << "a file where the folder should be";
  ScopedEnv tmpdir("TMPDIR", dir.file("TEMP"));  // no private folder either
  auto form = MakeForm();
  QCoreApplication::processEvents();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].find(u"一時フォルダを作成できません"), std::u16string::npos);
  EXPECT_FALSE(form->Engine->JWW.BindImageExp);
  EXPECT_FALSE(form->Engine->JWW2.BindImageExr);
}

TEST_F(FormTest, AFileLeftInATemporaryFolderKeepsThatFolder) {
  auto form = MakeForm();
  std::ofstream(dir.file("TEMP2/someone.txt")) << "x";
  form->close();
  EXPECT_TRUE(fs::exists(dir.file("TEMP2/someone.txt")));
  EXPECT_FALSE(fs::exists(dir.file("TEMP")));
}

TEST_F(FormTest, SettingsAreRestoredAndAnUnknownArrangementIsSavedAsNone) {
  const std::u16string base = Drawing("base.jww");
  WriteSettings(
      "\xEF\xBB\xBF"
      "100\r\n120\r\n600\r\n500\r\n7\r\n123456\r\n-5\r\nabc\r\n" +
      Utf16ToUtf8(base) + "\r\n/zumen/\r\n/save/\r\n");
  auto form = MakeForm();
  EXPECT_EQ(form->frameGeometry(), QRect(100, 120, 600, 500));
  EXPECT_EQ(form->ComboBox1->currentIndex(), -1);
  EXPECT_EQ(U(form->Edit1->text()), u"123456");  // longer than typing allows, shown in full
  EXPECT_EQ(U(form->Edit2->text()), u"-5");
  EXPECT_EQ(U(form->Edit3->text()), u"abc");
  EXPECT_EQ(U(form->LabelBase->text()), base);
  EXPECT_EQ(U(form->LabelPap->text()), u"（A3）");
  EXPECT_EQ(form->ZumenPath, u"/zumen/");
  EXPECT_EQ(form->SavePath, u"/save/");
  form->close();
  const std::string saved = ReadText(dir.file("plattero.dat"));
  EXPECT_NE(saved.find("\r\n-1\r\n123456\r\n-5\r\nabc\r\n"), std::string::npos) << saved;
}

TEST_F(FormTest, RestoredColumnArrangementSetsTheCountLabelAndShortFilesKeepDefaults) {
  WriteSettings("30\n40\n700\n600\n2\n");
  auto form = MakeForm();
  EXPECT_EQ(form->ComboBox1->currentIndex(), 2);
  EXPECT_EQ(U(form->Label2->text()), u"縦数：");
  EXPECT_EQ(U(form->Edit1->text()), u"3");
  EXPECT_EQ(U(form->LabelBase->text()), u"");  // a file was read: the label shows BaseFile
  EXPECT_EQ(form->SavePath, dir.upath());
  form->ComboBox1->setCurrentIndex(1);
  form->ComboBox1Select();
  EXPECT_EQ(U(form->Label2->text()), u"横数：");
  form->ComboBox1->setCurrentIndex(3);
  form->ComboBox1Select();
  EXPECT_EQ(U(form->Label2->text()), u"縦数：");
}

TEST_F(FormTest, AFlawedPlacementStillGivesAUsableWindow) {
  WriteSettings("-90000\n-90000\n0\nx\n");
  auto form = MakeForm();
  EXPECT_EQ(form->size(), QSize(kDesignWidth, kDesignHeight));
  EXPECT_TRUE(form->screen()->availableGeometry().intersects(form->frameGeometry()));
}

TEST_F(FormTest, AddingDeletingAndMovingEntries) {
  auto form = MakeForm();
  const std::u16string a = u"/d/a.jww", b = u"/d/b.jww", c = u"/e/c.jww";
  dialogs.open_answers = {{a, b}, {c, a}, {}};
  form->Button2->click();
  ASSERT_EQ(dialogs.open_requests.size(), 1u);
  EXPECT_EQ(dialogs.open_requests[0].folder, dir.upath());
  EXPECT_TRUE(dialogs.open_requests[0].multiple);
  EXPECT_EQ(form->ZumenPath, u"/d/");
  form->Button2->click();
  EXPECT_EQ(dialogs.open_requests[1].folder, u"/d/");
  EXPECT_EQ(form->ZumenPath, u"/e/");
  form->Button2->click();  // cancelled: nothing changes
  EXPECT_EQ(form->ZumenPath, u"/e/");
  EXPECT_EQ(form->Files(), (std::vector<std::u16string>{a, b, c, a}));  // duplicates allowed
  EXPECT_EQ(U(form->StatusText->text()), u"");

  form->ListBox1->setCurrentRow(1);
  form->Button4->click();
  EXPECT_EQ(form->Files(), (std::vector<std::u16string>{b, a, c, a}));
  EXPECT_EQ(form->SelectedRow(), 0);
  form->Button4->click();  // at the top: nothing
  EXPECT_EQ(form->Files(), (std::vector<std::u16string>{b, a, c, a}));
  form->ListBox1->setCurrentRow(3);
  form->Button5->click();  // at the bottom: nothing
  EXPECT_EQ(form->SelectedRow(), 3);
  form->ListBox1->setCurrentRow(1);
  form->Button5->click();
  EXPECT_EQ(form->Files(), (std::vector<std::u16string>{b, c, a, a}));
  EXPECT_EQ(form->SelectedRow(), 2);
  form->Button3->click();
  EXPECT_EQ(form->Files(), (std::vector<std::u16string>{b, c, a}));
  EXPECT_EQ(form->SelectedRow(), -1);
  form->Button3->click();  // nothing selected: nothing
  EXPECT_EQ(form->ListBox1->count(), 3);
}

TEST_F(FormTest, ChoosingTheBaseDrawingShowsItsPaper) {
  const std::u16string base = Drawing("a4.jww", DrawingSpec{.paper = 4});
  auto form = MakeForm();
  dialogs.open_answers = {{base}, {}};
  form->Button1->click();
  EXPECT_EQ(dialogs.open_requests[0].folder, u"");
  EXPECT_FALSE(dialogs.open_requests[0].multiple);
  EXPECT_EQ(form->BaseFile, base);
  EXPECT_EQ(U(form->LabelBase->text()), base);
  EXPECT_EQ(U(form->LabelPap->text()), u"（A4）");
  form->Button1->click();  // cancelled
  EXPECT_EQ(dialogs.open_requests[1].folder, dir.upath());
  EXPECT_EQ(dialogs.open_requests[1].file_name, u"a4.jww");
  EXPECT_EQ(form->BaseFile, base);
}

TEST_F(FormTest, DroppedFilesAreFilteredAndCounted) {
  auto form = MakeForm();
  for (const char* name : {"new.jww", "listed.jww", "notes.txt"})
    std::ofstream(dir.file(name)) << "x";
  dialogs.open_answers = {{dir.ufile("LISTED.JWW")}};
  form->Button2->click();

  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(Q(dir.ufile("new.jww"))),
                QUrl::fromLocalFile(Q(dir.ufile("listed.jww"))),
                QUrl::fromLocalFile(Q(dir.ufile("notes.txt"))),
                QUrl(QStringLiteral("https://example.invalid/remote.jww"))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form->ListBox1->viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form->ListBox1->viewport(), &drop);
  EXPECT_EQ(form->Files(),
            (std::vector<std::u16string>{dir.ufile("LISTED.JWW"), dir.ufile("new.jww")}));
  EXPECT_EQ(U(form->StatusText->text()), u"1個のファイルを一覧に追加しました。");

  fs::create_directory(dir.file("folder"));
  form->DropFiles({dir.ufile("folder")});
  EXPECT_EQ(U(form->StatusText->text()), u"0個のファイルを一覧に追加しました。");
  EXPECT_EQ(form->ListBox1->count(), 2);
}

TEST_F(FormTest, SortAlternatesAndIgnoresShortLists) {
  auto form = MakeForm();
  dialogs.open_answers = {{u"/x/b.jww"}, {u"/d/a.jww", u"/y/B.jww"}, {u"/z/c.jww"}};
  form->Button2->click();
  form->Button6->click();  // one entry: nothing, the direction stays
  EXPECT_FALSE(form->SortFlag);
  form->Button2->click();
  form->ListBox1->setCurrentRow(0);
  form->Button6->click();
  EXPECT_EQ(form->Files(), (std::vector<std::u16string>{u"/d/a.jww", u"/x/b.jww", u"/y/B.jww"}));
  EXPECT_EQ(form->SelectedRow(), -1);
  EXPECT_EQ(form->ListBox2->count(), 3);
  form->Button6->click();
  EXPECT_EQ(form->Files(), (std::vector<std::u16string>{u"/y/B.jww", u"/x/b.jww", u"/d/a.jww"}));
  form->Button6->click();
  form->Button2->click();  // adding does not reset the direction: descending next
  form->Button6->click();
  // The third press gave a, B, b (equal names reversed by the second).
  EXPECT_EQ(form->Files(),
            (std::vector<std::u16string>{u"/z/c.jww", u"/x/b.jww", u"/y/B.jww", u"/d/a.jww"}));
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
  const std::u16string drawing = Drawing("look.jww");
  form->LabelBaseDblClick();  // the placeholder: nothing
  form->DropFiles({drawing});
  form->ListBox1DblClick();  // no selection: nothing
  form->ListBox1->setCurrentRow(0);
  form->ListBox1DblClick();
  const std::string expected =
      "[C:\\JWW\\Jw_win.exe]\n[" + Utf16ToUtf8(platform::WinePathOf(drawing)) + "]\nend\n";
  EXPECT_EQ(read_record(1), expected);

  form->LabelBase->setText(Q(drawing));
  form->LabelBaseDblClick();
  EXPECT_EQ(read_record(2), expected + expected);
}

TEST_F(FormTest, StartChecksTheInputsInOrder) {
  auto form = MakeForm();
  form->Button7->click();
  const std::u16string missing = dir.ufile("gone.jww");
  dialogs.open_answers = {{dir.ufile("x.jww")}, {missing}};
  form->Button2->click();
  form->Button7->click();
  form->Button1->click();
  form->Button7->click();
  form->BaseFile = Drawing("base.jww");
  form->ComboBox1->setCurrentIndex(2);
  form->ComboBox1Select();
  for (const char16_t* count : {u"0", u"", u"abc", u"-1", u"1001"}) {
    form->Edit1->SetTextUnlimited(Q(count));
    form->Button7->click();
  }
  const std::u16string count_message = u"縦数： の数値を再入力して下さい。";
  EXPECT_EQ(dialogs.messages, (std::vector<std::u16string>{
                                  u"図面ファイルを[追加]して下さい", u"ベース図面を指定して下さい",
                                  u"ベース図面が見つかりません。再指定して下さい", count_message,
                                  count_message, count_message, count_message, count_message}));
  EXPECT_TRUE(dialogs.save_requests.empty());
  EXPECT_FALSE(form->IsRunning());
}

TEST_F(FormTest, StartMergesOffTheWindowThreadAndSavesTheCombinedDrawing) {
  const std::u16string base = Drawing("base.jww");
  DrawingSpec with_image;
  with_image.lines = 5;
  with_image.texts = 0;
  with_image.images = 1;
  const std::u16string first = Drawing("one.jww", with_image);
  const std::u16string second = Drawing("two.jww");
  TempDir out;
  const std::u16string target = out.ufile("combined.jww");

  auto form = MakeForm();
  dialogs.open_answers = {{base}, {first, second, dir.ufile("missing.jww")}};
  form->Button1->click();
  form->Button2->click();
  dialogs.save_answer = target;
  bool disabled_during_dialog = false;
  dialogs.on_save_dialog = [&] {
    disabled_during_dialog = !form->Button7->isEnabled() && !form->ListBox1->isEnabled() &&
                             !form->Edit1->isEnabled() && !form->Button8->isEnabled() &&
                             !form->Button9->isEnabled();
  };
  std::vector<int> rows;
  QObject::connect(form->ListBox1, &QListWidget::currentRowChanged,
                   [&](int row) { rows.push_back(row); });

  form->Button7->click();
  EXPECT_TRUE(form->IsRunning());
  EXPECT_FALSE(form->Button7->isEnabled());
  EXPECT_TRUE(form->Progress->isVisible());
  form->close();  // refused while the run goes on
  EXPECT_TRUE(form->isVisible());
  ASSERT_TRUE(WaitForRun(*form));

  EXPECT_TRUE(disabled_during_dialog);
  EXPECT_EQ(rows, (std::vector<int>{0, 1, 2, -1}));
  EXPECT_EQ(dialogs.save_requests.size(), 1u);
  EXPECT_EQ(dialogs.save_requests[0].folder, dir.upath());
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].rfind(u"図面ファイル「" + target + u"」を保存しました。", 0), 0u)
      << Utf16ToUtf8(dialogs.messages[0]);
  EXPECT_EQ(form->SavePath, out.upath());
  EXPECT_TRUE(form->Button7->isEnabled());
  EXPECT_TRUE(form->ListBox1->isEnabled());
  EXPECT_FALSE(form->Progress->isVisible());

  // The combined drawing holds the base drawing and both tiles.
  TJwwData result;
  result.BindImageExr = true;
  ASSERT_TRUE(result.FileIn(target));
  EXPECT_EQ(result.EntLine.size(), 15u);
  EXPECT_EQ(result.BindImage.size(), 1u);
  // The run's documents and images are gone.
  EXPECT_EQ(form->Engine->JWW.EntLine.size(), 0u);
  EXPECT_EQ(ImageFiles(dir.file("TEMP")), 0u);
  EXPECT_EQ(ImageFiles(dir.file("TEMP2")), 0u);
}

TEST_F(FormTest, CancellingTheSaveDialogWritesAndShowsNothing) {
  const std::u16string base = Drawing("base.jww");
  auto form = MakeForm();
  form->BaseFile = base;
  form->DropFiles({Drawing("one.jww")});
  form->Button7->click();
  ASSERT_TRUE(WaitForRun(*form));
  EXPECT_EQ(dialogs.save_requests.size(), 1u);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(form->SavePath, dir.upath());
  EXPECT_EQ(form->Engine->JWW.EntLine.size(), 0u);
  EXPECT_EQ(ImageFiles(dir.file("TEMP")), 0u);
}

TEST_F(FormTest, AFailedWriteIsReported) {
  auto form = MakeForm();
  form->BaseFile = Drawing("base.jww");
  form->DropFiles({Drawing("one.jww")});
  dialogs.save_answer = dir.ufile("no-such-folder/out.jww");
  form->Button7->click();
  ASSERT_TRUE(WaitForRun(*form));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0],
            u"図面ファイル「" + dir.ufile("no-such-folder/out.jww") +
                u"」の保存に失敗しました。\nファイルまたはフォルダーが見つかりません。");
  EXPECT_EQ(form->SavePath, dir.ufile("no-such-folder/"));
}

TEST_F(FormTest, PreviewFollowsTheChoicesAndShowsTheDrawingsOnceRead) {
  const std::u16string base = Drawing("base.jww");  // A3: tiles 420 x 297
  const std::u16string one = Drawing("one.jww"), two = Drawing("two.jww");
  auto form = MakeForm();
  dialogs.open_answers = {{base}, {one, two}, {dir.ufile("gone.jww")}};
  form->Button1->click();
  form->Button9->click();
  ASSERT_TRUE(form->Preview);
  TPreviewDialog& preview = *form->Preview;
  EXPECT_TRUE(preview.isVisible());
  EXPECT_EQ(U(preview.StatusText->text()), u"図面ファイルを[追加]して下さい");

  auto labels = [&] {
    std::vector<std::u16string> out;
    for (const render::TPaperFrame& f : preview.Picture().frames)
      out.push_back(f.label);
    return out;
  };
  form->Button2->click();
  ASSERT_TRUE(WaitUntil([&] { return labels().size() == 2 && !preview.IsReading(); }));
  EXPECT_EQ(labels(), (std::vector<std::u16string>{u"1: one.jww", u"2: two.jww"}));
  EXPECT_EQ(U(preview.StatusText->text()), u"");
  // The base drawing where it is, each tile at its offset.
  const auto& scenes = preview.Picture().scenes;
  ASSERT_EQ(scenes.size(), 3u);
  EXPECT_EQ(scenes[0].scene, preview.Scenes().at(base).scene);
  EXPECT_EQ(scenes[2].scene, preview.Scenes().at(two).scene);
  EXPECT_EQ(scenes[2].dx, 430);
  EXPECT_FALSE(scenes[2].scene->shapes.empty());
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

  // Order, gaps and count.
  form->ComboBox1->setCurrentIndex(2);
  ASSERT_TRUE(WaitUntil([&] {
    return preview.Layout().offsets.size() == 2 &&
           preview.Layout().offsets[1] == std::make_pair(0.0, 307.0);
  }));
  form->Edit3->setText(QStringLiteral("20"));
  ASSERT_TRUE(WaitUntil([&] {
    return preview.Layout().offsets.size() == 2 &&
           preview.Layout().offsets[1] == std::make_pair(0.0, 317.0);
  }));
  form->Edit1->setText(QStringLiteral("0"));
  ASSERT_TRUE(WaitUntil([&] { return preview.Picture().frames.empty(); }));
  EXPECT_EQ(U(preview.StatusText->text()), u"縦数： の数値を再入力して下さい。");
  form->Edit1->setText(QStringLiteral("3"));

  // List edits: a move and a missing drawing.
  form->ListBox1->setCurrentRow(1);
  form->Button4->click();
  form->Button2->click();
  ASSERT_TRUE(WaitUntil([&] { return labels().size() == 3 && !preview.IsReading(); }));
  EXPECT_EQ(labels(), (std::vector<std::u16string>{u"1: two.jww", u"2: one.jww",
                                                   u"3: gone.jww（見つかりません）"}));

  // A drawing saved while the preview was closed is read again on reopening.
  const auto old_one = preview.Scenes().at(one).scene;
  preview.close();
  form->Edit1->setText(QStringLiteral("1"));
  form->Edit2->setText(QStringLiteral("30"));
  DrawingSpec more;
  more.lines = 12;
  Drawing("one.jww", more);
  fs::last_write_time(dir.file("one.jww"),
                      fs::last_write_time(dir.file("one.jww")) + std::chrono::seconds(5));
  form->Button9->click();
  ASSERT_TRUE(WaitUntil([&] { return !preview.IsReading(); }));
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
  std::vector<std::u16string> files;
  for (int i = 0; i < 4; ++i)
    files.push_back(Drawing("big" + std::to_string(i) + ".jww", big));
  auto form = MakeForm();
  dialogs.open_answers = {{base}, files};
  form->Button1->click();
  form->Button2->click();
  form->Button9->click();
  // The base drawing comes first; the large ones are being read after it.
  ASSERT_TRUE(WaitUntil([&] { return !form->Preview->Scenes().empty(); }));
  EXPECT_TRUE(form->Preview->IsReading());
  QElapsedTimer timer;
  timer.start();
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(form->Preview->isVisible());
  form.reset();
  QCoreApplication::processEvents();  // results queued for the gone window are dropped
  EXPECT_LT(timer.elapsed(), 20000);
}

}  // namespace
}  // namespace plattero::ui
