// Draws the window's save dialog, as the start button opens it, in the
// system's language (Qt's translations, as the program loads them) into a
// PNG: `ui_dialog_screenshot OUT.png` (run under Xvfb with LANG=ja_JP.UTF-8
// for the Japanese one).

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <filesystem>
#include <iostream>

#include "drawing_builder.h"
#include "ui/application.h"
#include "ui/widgets.h"
#include "util/text.h"

using namespace plattero;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: ui_dialog_screenshot OUT.png\n";
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Plattero"));
  QApplication::setWindowIcon(ui::ProgramIcon());
  ui::InstallQtTranslations();
  testing::TempDir dir;
  const std::string folder = dir.file("図面/");
  std::filesystem::create_directory(folder);
  testing::DrawingSpec spec;
  spec.lines = 10;
  for (const char* name : {"配置図.jww", "1階平面図.jww", "2階平面図.jww", "立面図.jww"}) {
    if (!testing::WriteDrawing(spec, folder + name)) return 1;
  }
  std::filesystem::create_directory(folder + "旧版");

  bool saved = false;
  // Once the dialog has listed the folder: drawn, then cancelled.
  QTimer::singleShot(0, [&saved, out = QString::fromLocal8Bit(argv[1])] {
    QElapsedTimer timer;
    timer.start();
    QWidget* dialog = nullptr;
    while (timer.elapsed() < 1500) {
      QApplication::processEvents(QEventLoop::AllEvents, 20);
      if (!dialog && (dialog = QApplication::activeModalWidget())) dialog->resize(760, 440);
    }
    if (!dialog) return;
    saved = dialog->grab().save(out, "PNG");
    static_cast<QDialog*>(dialog)->reject();
  });
  const std::unique_ptr<ui::TDialogs> dialogs = ui::MakeQtDialogs();
  dialogs->SaveDrawing(nullptr, {Utf8ToUtf16(folder), u"結合図.jww", false});
  return saved ? 0 : 1;
}
