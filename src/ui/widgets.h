#pragma once

// The small widgets of the Qt window and its dialogs.

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "window/form.h"

class QMimeData;

namespace plattero::ui {

// Local file paths of the URLs a drag carries; other URLs are left out.
std::vector<std::u16string> LocalPaths(const QMimeData* mime);

// Runs `task` on `target`'s thread, after `delay_ms` at least. Safe from any
// thread; dropped should `target` be gone by then.
void PostTask(QObject* target, std::function<void()> task, int delay_ms);

// A line edit whose length limit binds typing only: a longer text set by the
// program is shown in full and can be shortened, not lengthened.
class TLimitedEdit : public QLineEdit {
  Q_OBJECT
 public:
  TLimitedEdit(int limit, QWidget* parent);
  void SetTextUnlimited(const QString& text);

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

// The file list: entries can be dragged into a new order (`on_reorder`);
// files dragged in from outside go to `on_drop`.
class TFileListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit TFileListBox(QWidget* parent);
  std::function<void(const std::vector<std::u16string>&)> on_drop;
  std::function<bool()> accepts_drop;
  std::function<void()> on_reorder;
  std::function<void()> on_delete_key;
 signals:
  void doubleClicked();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  bool AnswerOutsideDrag(QDragMoveEvent* event);
};

// The dialogs, behind an interface so that tests can answer them.
class TDialogs {
 public:
  virtual ~TDialogs() = default;
  virtual std::vector<std::u16string> OpenDrawings(QWidget* parent,
                                                   const window::TFileDialogRequest& request) = 0;
  virtual std::optional<std::u16string> SaveDrawing(QWidget* parent,
                                                    const window::TFileDialogRequest& request) = 0;
  virtual void ShowMessage(QWidget* parent, const std::u16string& text) = 0;
  // Yes or No, No the default; true for Yes.
  virtual bool AskYesNo(QWidget* parent, const std::u16string& text) = 0;
};
// The platform's dialogs through Qt.
std::unique_ptr<TDialogs> MakeQtDialogs();

}  // namespace plattero::ui
