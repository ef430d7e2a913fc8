#pragma once

// TForm1, the main window: the file list, the base drawing, the arrangement,
// count and gaps, and the Start button that runs the tiling engine.
//
// The window is thin: list operations, dropped-file filtering, sorting and
// the settings file live in file_list.h and settings.h; the merge is the
// tiling engine's. A tiling run merges and saves on a worker thread while
// every control is disabled; the selection follows the row being merged and
// a progress bar shows in the status bar. Dialogs go through TDialogs. The
// preview button opens a window that follows the arrangement as it is edited
// (preview_dialog.h).

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/locations.h"
#include "tiling/tiling_engine.h"
#include "ui/dialogs.h"

class QComboBox;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;

namespace plattero::ui {

class TPreviewDialog;

// A line edit whose length limit binds typing only: a longer text set by the
// program is shown in full and can be shortened, not lengthened.
class TLimitedEdit : public QLineEdit {
  Q_OBJECT
 public:
  TLimitedEdit(int limit, QWidget* parent);
  void SetTextUnlimited(const QString& text);
  int Limit() const { return limit_; }

 private:
  int limit_;
};

// A label that reports double-clicks.
class TClickLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
 signals:
  void doubleClicked();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// The file list: entries can be dragged into a new order; files dragged in
// from outside go to `on_drop`.
class TFileListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit TFileListBox(QWidget* parent);
  std::function<void(const std::vector<std::u16string>&)> on_drop;
  std::function<bool()> accepts_drop;
 signals:
  void doubleClicked();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  // Files dragged in from outside: taken while the window accepts drops. False
  // for a drag within the list, which the list handles itself.
  bool AnswerOutsideDrag(QDragMoveEvent* event);
};

// Designed client size.
inline constexpr int kDesignWidth = 526;
inline constexpr int kDesignHeight = 458;

struct TFormOptions {
  // Full path of the executable the locations derive from; empty: the
  // running one.
  std::u16string exe_file;
  // Dialogs to use (not owned); null: Qt's.
  TDialogs* dialogs = nullptr;
};

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm1(TFormOptions options = {}, QWidget* parent = nullptr);
  ~TForm1() override;

  // --- Fields --------------------------------------------------------------
  std::u16string BaseFile;
  std::u16string ZumenPath;  // folder of the add dialog, ending with "/"
  std::u16string SavePath;   // folder of the save dialog, ending with "/"
  bool SortFlag = false;     // the next sort is descending
  std::u16string JwwPath;    // Jw_cad's folder (a Windows path ending with "\")
  platform::TLocations Locations;
  // JWW and JWW2 with the merge tables; exists from FormShow to FormClose.
  std::unique_ptr<TTilingEngine> Engine;

  // --- Controls, named as their Qt object names ------------------------------
  QLabel* Label1;
  QComboBox* ComboBox1;
  QLabel* Label2;
  TLimitedEdit* Edit1;
  QLabel* LabelPap;
  QLabel* Label4;
  TLimitedEdit* Edit2;
  QLabel* Label5;
  TLimitedEdit* Edit3;
  QLabel* Label6;
  QLabel* Label3;
  TClickLabel* LabelBase;
  QPushButton* Button1;
  TFileListBox* ListBox1;
  QPushButton* Button2;
  QPushButton* Button3;
  QPushButton* Button4;
  QPushButton* Button5;
  QPushButton* Button6;
  QListWidget* ListBox2;
  QPushButton* Button7;
  QPushButton* Button8;
  QPushButton* Button9;  // the arrangement preview
  QStatusBar* StatusBar1;
  QLabel* StatusText;
  QProgressBar* Progress;
  QPlainTextEdit* MemoT;
  // The preview window, made on the first press of the preview button.
  TPreviewDialog* Preview = nullptr;

  // --- Handlers --------------------------------------------------------------
  void ComboBox1Select();
  void Button1Click();  // choose the base drawing
  void Button2Click();  // add drawings
  void Button3Click();  // delete
  void Button4Click();  // up
  void Button5Click();  // down
  void Button6Click();  // sort
  void Button7Click();  // start a tiling run
  void Button8Click();  // close
  void Button9Click();  // show the arrangement preview
  void LabelBaseDblClick();
  void ListBox1DblClick();
  // Files dropped from a file manager.
  void DropFiles(const std::vector<std::u16string>& paths);

  // The list's entries, in order; the selected row or -1.
  std::vector<std::u16string> Files() const;
  int SelectedRow() const;
  // A tiling run is under way (the controls are disabled).
  bool IsRunning() const { return running_; }
  // The choices as a tiling run would take them now.
  TTilingInputs CurrentInputs() const;

 signals:
  // A tiling run ended (after its last message, or at a failed check).
  void RunFinished();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void FormShow();
  void FormClose();
  void LoadSettings(const std::u16string& path);
  void SaveSettings(const std::u16string& path);
  void ApplyWindowPlacement(int left, int top, int width, int height);
  void InitDocuments();
  void FreeDocuments();
  void SetBaseFile();
  void LayoutControls();
  void SetFiles(const std::vector<std::u16string>& files, int selected);
  void SelectRow(int row);
  void SetRunning(bool running);
  void RunInBackground(std::function<void()> work, std::function<void(std::string)> done);
  void MergeDone(const std::string& error);
  void FinishRun();
  void SchedulePreview();
  void UpdatePreview();

  std::unique_ptr<TDialogs> own_dialogs_;
  TDialogs* dialogs_;
  std::u16string exe_file_;
  bool shown_ = false;
  bool closed_ = false;
  bool running_ = false;
  std::optional<QSize> pending_outer_size_;  // applied once the frame is known
  std::thread worker_;
  std::optional<TTilingRun> run_;
  TTilingInputs run_inputs_;
  std::optional<std::u16string> merge_stop_;  // why the last merge stopped early
  // The paper of the base drawing as last read by SetBaseFile; none when no
  // base drawing could be read.
  std::optional<TPaperSize> base_paper_;
  QTimer* preview_timer_;  // gathers a burst of edits into one preview update
};

}  // namespace plattero::ui
