// The standard dialogs as the window uses them, answered by keys the test
// sends once they are open: the folder they open in, several files chosen at
// once, the default extension and the question before a file is replaced.

#include "win32/dialogs.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "drawing_builder.h"
#include "test_system.h"
#include "win32/system.h"

namespace plattero::win32 {
namespace {

namespace fs = std::filesystem;
using ::plattero::testing::NativePath;
using ::plattero::testing::TempDir;

TEST(DialogsTest, ChosenFilesAreTheWholePathOrTheFolderAndItsNames) {
  const struct {
    std::wstring buffer;
    std::vector<std::u16string> files;
  } cases[] = {
      {std::wstring(L"C:\\図面\\a.jww\0\0", 14), {u"C:\\図面\\a.jww"}},
      {std::wstring(L"C:\\図面\0a.jww\0b c.jww\0\0", 23),
       {u"C:\\図面\\a.jww", u"C:\\図面\\b c.jww"}},
      {std::wstring(L"D:\\\0a.jww\0b.jww\0\0", 17), {u"D:\\a.jww", u"D:\\b.jww"}},
      {std::wstring(L"\0\0", 2), {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ChosenFiles(c.buffer), c.files) << c.files.size();
}

// Answers the dialogs that open while `run` runs: each step gets the dialog
// that is in front, once it is there.
class DialogAnswerer {
 public:
  explicit DialogAnswerer(std::vector<std::function<void(HWND)>> steps) : steps_(std::move(steps)) {
    self_ = this;
    timer_ = ::SetTimer(nullptr, 0, 100, &Tick);
  }
  ~DialogAnswerer() {
    ::KillTimer(nullptr, timer_);
    self_ = nullptr;
  }
  std::size_t Done() const { return next_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (!self_) return;
    // The thread's dialog in front.
    HWND front = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND w, LPARAM found) {
          wchar_t cls[16] = {};
          ::GetClassNameW(w, cls, 16);
          if (std::wstring(cls) != L"#32770" || !::IsWindowVisible(w)) return TRUE;
          *reinterpret_cast<HWND*>(found) = w;  // the first is the topmost
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&front));
    if (!front) return;
    if (front == self_->last_ || self_->next_ >= self_->steps_.size()) {
      // A dialog nobody answers is cancelled rather than left waiting.
      if (++self_->waited_ > 300) {  // 30 s, however busy the machine
        ADD_FAILURE() << "a dialog stayed open";
        ::PostMessageW(front, WM_CLOSE, 0, 0);
        self_->waited_ = 0;
      }
      return;
    }
    self_->waited_ = 0;
    self_->last_ = front;
    self_->steps_[self_->next_++](front);
  }

  static inline DialogAnswerer* self_ = nullptr;
  std::vector<std::function<void(HWND)>> steps_;
  std::size_t next_ = 0;
  HWND last_ = nullptr;
  int waited_ = 0;  // ticks the dialog in front has been left alone
  UINT_PTR timer_ = 0;
};

// Presses a dialog's button as a click would.
void Press(HWND dialog, int button) {
  ::PostMessageW(::GetDlgItem(dialog, button), BM_CLICK, 0, 0);
}

// Types a file name into a file dialog and presses its OK button.
void ChooseName(HWND dialog, const wchar_t* name) {
  // The name field: the edit within the name box (cmb13, a combo box, itself
  // within an extended one where the dialog has those), or edt1.
  HWND field = nullptr;
  if (HWND box = ::GetDlgItem(dialog, 0x47C)) {
    if (HWND inner = ::FindWindowExW(box, nullptr, L"ComboBox", nullptr)) box = inner;
    field = ::FindWindowExW(box, nullptr, L"Edit", nullptr);
  }
  if (!field) field = ::GetDlgItem(dialog, 0x480);
  if (!field) {
    Press(dialog, IDCANCEL);
    ADD_FAILURE() << "no name field in the file dialog";
    return;
  }
  ::SetWindowTextW(field, name);
  Press(dialog, IDOK);
}

TEST(DialogsTest, TheSystemsDialogsChooseAndNameDrawingsAndShowMessages) {
  TempDir dir;
  const std::u16string folder = NativePath(dir.ufile("図面 フォルダ\\"));
  fs::create_directories(fs::path(folder));
  for (const char16_t* name : {u"一階.jww", u"二 階.jww", u"メモ.txt"})
    std::ofstream(fs::path(folder + name)) << "x";

  window::TFileDialogRequest request;
  request.folder = folder;
  request.multiple = true;
  {
    DialogAnswerer answer({[](HWND d) { ChooseName(d, L"\"一階.jww\" \"二 階.jww\""); }});
    const std::vector<std::u16string> chosen = OpenDrawingsDialog(nullptr, request);
    EXPECT_EQ(answer.Done(), 1u);
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(fs::path(chosen[0]), fs::path(folder + u"一階.jww"));
    EXPECT_EQ(fs::path(chosen[1]), fs::path(folder + u"二 階.jww"));
  }
  {
    // Cancelled: nothing.
    DialogAnswerer answer({[](HWND d) { Press(d, IDCANCEL); }});
    EXPECT_TRUE(OpenDrawingsDialog(nullptr, request).empty());
  }

  // A message box titled with the application's title, the text in it.
  {
    std::u16string title, text;
    DialogAnswerer answer({[&](HWND box) {
      title = WindowText(box);
      for (HWND c = ::FindWindowExW(box, nullptr, L"Static", nullptr); c;
           c = ::FindWindowExW(box, c, L"Static", nullptr))
        text += WindowText(c);
      Press(box, IDOK);
    }});
    MessageDialog(nullptr, u"図面ファイルを[追加]して下さい");
    EXPECT_EQ(title, u"Plattero");
    EXPECT_NE(text.find(u"図面ファイルを[追加]して下さい"), std::u16string::npos);
  }

  // A name without extension gets ".jww"; an existing file is replaced only
  // after the user agreed.
  request.multiple = false;
  {
    DialogAnswerer answer({[](HWND d) { ChooseName(d, L"結合"); }});
    const auto saved = SaveDrawingDialog(nullptr, request);
    ASSERT_TRUE(saved);
    EXPECT_EQ(fs::path(*saved), fs::path(folder + u"結合.jww"));
  }
  {
    DialogAnswerer answer({[](HWND d) { ChooseName(d, L"一階.jww"); },
                           [](HWND question) { Press(question, IDYES); }});
    const auto saved = SaveDrawingDialog(nullptr, request);
    EXPECT_EQ(answer.Done(), 2u);  // the question was asked
    ASSERT_TRUE(saved);
    EXPECT_EQ(fs::path(*saved), fs::path(folder + u"一階.jww"));
  }
}

}  // namespace
}  // namespace plattero::win32
