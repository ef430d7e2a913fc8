#include "ui/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace plattero::ui {

namespace {

QString Q(const std::u16string& s) {
  return QString::fromStdU16String(s);
}

void Prepare(QFileDialog& dialog, const TFileDialogRequest& request) {
  dialog.setNameFilter(Q(kDrawingFilter));
  dialog.setDefaultSuffix(QStringLiteral("jww"));
  dialog.setOption(QFileDialog::ReadOnly, false);
  dialog.setSizeGripEnabled(true);
  if (!request.folder.empty()) dialog.setDirectory(Q(request.folder));
  if (!request.file_name.empty()) dialog.selectFile(Q(request.file_name));
}

class QtDialogs final : public TDialogs {
 public:
  std::vector<std::u16string> OpenDrawings(QWidget* parent,
                                           const TFileDialogRequest& request) override {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    Prepare(dialog, request);
    std::vector<std::u16string> chosen;
    if (dialog.exec() != QDialog::Accepted) return chosen;
    for (const QString& f : dialog.selectedFiles())
      chosen.push_back(f.toStdU16String());
    return chosen;
  }

  std::optional<std::u16string> SaveDrawing(QWidget* parent,
                                            const TFileDialogRequest& request) override {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    Prepare(dialog, request);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
      return std::nullopt;
    }
    return dialog.selectedFiles().front().toStdU16String();
  }

  void ShowMessage(QWidget* parent, const std::u16string& text) override {
    QMessageBox box(QMessageBox::NoIcon, Q(kMessageTitle), Q(text), QMessageBox::Ok, parent);
    box.exec();
  }
};

}  // namespace

std::unique_ptr<TDialogs> MakeQtDialogs() {
  return std::make_unique<QtDialogs>();
}

}  // namespace plattero::ui
