#pragma once

// The main window with Qt 6 Widgets: the controls of the design, drawn and
// laid out, every user action handed to window::TForm1, which decides; the
// form shows its state through this window's TFormView side.

#include <QMargins>
#include <QRect>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/widgets.h"
#include "window/form.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStatusBar;

namespace plattero::ui {

class TPreviewDialog;

struct TFormOptions {
  // Full path of the executable the locations derive from; empty: the
  // running one.
  std::u16string exe_file;
  // Dialogs to use (not owned); null: Qt's.
  TDialogs* dialogs = nullptr;
};

class TQtForm : public QWidget, public window::TFormView {
  Q_OBJECT
 public:
  explicit TQtForm(TFormOptions options = {}, QWidget* parent = nullptr);
  ~TQtForm() override;

  // The window's logic: fields and handlers.
  window::TForm1& Form() { return *form_; }

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
  QCheckBox* CheckBox1;
  QLabel* Label6;
  QLabel* Label7;
  QComboBox* ComboBox2;
  QCheckBox* CheckBox2;
  QLabel* Label3;
  TClickLabel* LabelBase;
  QPushButton* Button1;
  TFileListBox* ListBox1;
  QPushButton* Button2;
  QPushButton* Button3;
  QPushButton* Button4;
  QPushButton* Button5;
  QPushButton* Button6;
  QPushButton* Button7;
  QPushButton* Button8;
  QPushButton* Button9;
  QStatusBar* StatusBar1;
  QLabel* StatusText;
  QProgressBar* Progress;
  // Made on the first press of Button9; a window of its own, deleted with this.
  TPreviewDialog* PreviewDialog = nullptr;

  // --- TFormView ----------------------------------------------------------------
  void SetText(window::TControl control, const std::u16string& text) override;
  void SetArrangement(int index) override;
  void SetPaper(int index) override;
  void SetChecked(window::TControl control, bool checked) override;
  void SetFiles(const std::vector<std::u16string>& files, int selected) override;
  void SelectRow(int row) override;
  void SetRunning(bool running) override;
  void SetProgress(int value, int maximum) override;
  void SetWaitCursor(bool on) override;
  void AcceptDrops(bool on) override;
  window::TRect Placement() const override;
  void SetPlacement(int left, int top, int width, int height) override;
  void Close() override;
  std::vector<std::u16string> OpenDrawings(const window::TFileDialogRequest& request) override;
  std::optional<std::u16string> SaveDrawing(const window::TFileDialogRequest& request) override;
  void ShowMessage(const std::u16string& text) override;
  bool AskYesNo(const std::u16string& text) override;
  void Post(std::function<void()> task, int delay_ms = 0) override;
  window::TPreviewPane& Preview() override;
  void ShowPreview() override;
  bool PreviewShown() const override;
  void ClosePreview() override;
  window::TRect PreviewPlacement() const override;
  void SetPreviewPlacement(const window::TRect& frame) override;
  std::vector<window::TRect> Screens() const override;
  void RunFinished() override;

 signals:
  // A tiling run ended (after its last message, or at a failed check).
  void runFinished();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void LayoutControls();
  // The frame the window manager drew around the window (none yet: null).
  QMargins FrameMargins() const;
  // Gives the window the outer bounds the settings asked for, once its frame
  // is known.
  void ApplyPendingPlacement();
  // Remembers the frame of the window in its normal state.
  void NoteNormalFrame();
  QWidget* Widget(window::TControl control) const;

  std::unique_ptr<TDialogs> own_dialogs_;
  TDialogs* dialogs_;
  std::optional<QRect> pending_outer_;  // applied once the frame is known
  bool watching_frame_ = false;
  QMargins normal_frame_;  // the frame in the normal state, as last seen
  int wait_cursors_ = 0;
  bool updating_ = false;  // the form sets the controls: their signals are not user actions
  std::unique_ptr<window::TForm1> form_;
};

}  // namespace plattero::ui
