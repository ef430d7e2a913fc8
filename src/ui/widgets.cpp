#include "ui/widgets.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <algorithm>

namespace plattero::ui {

namespace {

QString Q(const std::u16string& s) {
  return QString::fromStdU16String(s);
}
std::u16string U(const QString& s) {
  return s.toStdU16String();
}

void PrepareFileDialog(QFileDialog& dialog, const window::TFileDialogRequest& request) {
  dialog.setNameFilter(Q(window::kDrawingFilter));
  dialog.setDefaultSuffix(Q(window::kDefaultExtension));
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setSizeGripEnabled(true);
  if (!request.folder.empty()) dialog.setDirectory(Q(request.folder));
  if (!request.file_name.empty()) dialog.selectFile(Q(request.file_name));
}

class QtDialogs final : public TDialogs {
 public:
  std::vector<std::u16string> OpenDrawings(QWidget* parent,
                                           const window::TFileDialogRequest& request) override {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    PrepareFileDialog(dialog, request);
    std::vector<std::u16string> chosen;
    if (dialog.exec() != QDialog::Accepted) return chosen;
    for (const QString& f : dialog.selectedFiles())
      chosen.push_back(U(f));
    return chosen;
  }
  std::optional<std::u16string> SaveDrawing(QWidget* parent,
                                            const window::TFileDialogRequest& request) override {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    PrepareFileDialog(dialog, request);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return U(dialog.selectedFiles().front());
  }
  void ShowMessage(QWidget* parent, const std::u16string& text) override {
    QMessageBox box(QMessageBox::NoIcon, Q(window::kApplicationTitle), Q(text), QMessageBox::Ok,
                    parent);
    box.exec();
  }
  bool AskYesNo(QWidget* parent, const std::u16string& text) override {
    QMessageBox box(QMessageBox::Warning, Q(window::kApplicationTitle), Q(text),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
  }
};

}  // namespace

// Local file paths of the URLs a drag carries; other URLs are left out.
void PostTask(QObject* target, std::function<void()> task, int delay_ms) {
  QMetaObject::invokeMethod(
      target,
      [target, task = std::move(task), delay_ms] {
        if (delay_ms <= 0) {
          task();
        } else {
          QTimer::singleShot(delay_ms, target, task);
        }
      },
      Qt::QueuedConnection);
}

std::vector<std::u16string> LocalPaths(const QMimeData* mime) {
  std::vector<std::u16string> paths;
  if (!mime || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) paths.push_back(U(url.toLocalFile()));
  }
  return paths;
}

std::unique_ptr<TDialogs> MakeQtDialogs() {
  return std::make_unique<QtDialogs>();
}

// --- Small widgets -------------------------------------------------------------

TLimitedEdit::TLimitedEdit(int limit, QWidget* parent) : QLineEdit(parent), limit_(limit) {
  setMaxLength(limit);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  // A text longer than the limit may shrink but not grow.
  connect(this, &QLineEdit::textChanged, this,
          [this](const QString& text) { setMaxLength(std::max(limit_, int(text.size()))); });
}

void TLimitedEdit::SetTextUnlimited(const QString& text) {
  setMaxLength(std::max(limit_, int(text.size())));
  setText(text);
}

void TClickLabel::mouseDoubleClickEvent(QMouseEvent* event) {
  QLabel::mouseDoubleClickEvent(event);
  emit doubleClicked();
}

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setDragDropMode(QAbstractItemView::InternalMove);
  setDefaultDropAction(Qt::MoveAction);
  setAcceptDrops(true);
}

bool TFileListBox::AnswerOutsideDrag(QDragMoveEvent* event) {
  if (event->source() == this || !event->mimeData()->hasUrls()) return false;
  if (accepts_drop && accepts_drop()) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
  return true;
}

void TFileListBox::dragEnterEvent(QDragEnterEvent* event) {
  if (!AnswerOutsideDrag(event)) QListWidget::dragEnterEvent(event);
}

void TFileListBox::dragMoveEvent(QDragMoveEvent* event) {
  if (!AnswerOutsideDrag(event)) QListWidget::dragMoveEvent(event);
}

void TFileListBox::dropEvent(QDropEvent* event) {
  if (event->source() != this && event->mimeData()->hasUrls()) {
    event->acceptProposedAction();
    if (on_drop) on_drop(LocalPaths(event->mimeData()));
    return;
  }
  QListWidget::dropEvent(event);
  if (on_reorder) on_reorder();
}

void TFileListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QListWidget::mouseDoubleClickEvent(event);
  emit doubleClicked();
}

void TFileListBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier && on_delete_key) {
    on_delete_key();
    event->accept();
    return;
  }
  QListWidget::keyPressEvent(event);
}

}  // namespace plattero::ui
