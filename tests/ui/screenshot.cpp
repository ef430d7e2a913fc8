// Draws the main window at its designed size with a few drawings listed and
// saves it as a PNG, with a second name the arrangement preview too, and with
// a third the preview of the same on an A1 sheet, reduced:
// `ui_screenshot OUT.png [PREVIEW.png [REDUCED.png]]` (run under Xvfb or with
// QT_QPA_PLATFORM=offscreen). The drawings are of three scales, each given
// layer groups of its own, on the paper that holds them. `ui_screenshot --desktop OUT.png`, run
// under a window manager, saves the whole screen with the main window and the preview where it
// opens beside it.

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "drawing_builder.h"
#include "ui/preview_dialog.h"
#include "ui/qt_form.h"
#include "util/text.h"

using namespace plattero;

int main(int argc, char** argv) {
  const bool desktop = argc == 3 && std::string(argv[1]) == "--desktop";
  if (argc < 2 || argc > 4) {
    std::cerr << "usage: ui_screenshot OUT.png [PREVIEW.png [REDUCED.png]] | --desktop OUT.png\n";
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Plattero"));
  testing::TempDir dir;
  const std::string folder = dir.file("図面/");
  std::filesystem::create_directory(folder);
  if (!testing::WriteSampleSheets(folder)) return 1;
  // Settings that give the designed client size (no window frame under Xvfb).
  std::ofstream(dir.file("plattero.dat"), std::ios::binary)
      << "\xEF\xBB\xBF"
         "40\r\n40\r\n526\r\n458\r\n0\r\n3\r\n10\r\n10\r\n"
      << folder << "配置図.jww\r\n"
      << folder << "\r\n"
      << folder << "\r\n0\r\n0\r\n0\r\n0\r\n0\r\n1\r\nfit\r\n";
  int status = 0;
  {
    ui::TQtForm form(ui::TFormOptions{dir.ufile("plattero"), nullptr});
    form.show();
    form.Form().WMDropFiles(
        {Utf8ToUtf16(folder + "1階平面図.jww"), Utf8ToUtf16(folder + "2階平面図.jww"),
         Utf8ToUtf16(folder + "立面図.jww"), Utf8ToUtf16(folder + "断面図.jww")});
    form.ListBox1->setCurrentRow(1);
    for (int i = 0; i < 20; ++i)
      QApplication::processEvents();
    const auto settle = [&form](int ms) {
      QElapsedTimer timer;
      timer.start();
      while ((form.Form().Preview() && form.Form().Preview()->IsReading()) ||
             timer.elapsed() < ms) {
        if (timer.elapsed() > 30000) break;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
      }
    };
    if (desktop) {
      settle(500);  // framed and placed by the window manager
      form.Button9->click();
      settle(800);
      const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
      if (!screen.save(QString::fromLocal8Bit(argv[2]), "PNG")) status = 1;
      form.close();
      return status;
    }
    if (!form.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) status = 1;
    if (argc >= 3) {
      form.Button9->click();
      settle(300);
      if (!form.PreviewDialog->grab().save(QString::fromLocal8Bit(argv[2]), "PNG")) status = 1;
    }
    if (argc == 4) {
      form.ComboBox2->setCurrentIndex(5);  // A1
      emit form.ComboBox2->activated(5);
      settle(500);
      if (!form.PreviewDialog->grab().save(QString::fromLocal8Bit(argv[3]), "PNG")) status = 1;
    }
    form.close();
  }
  return status;
}
