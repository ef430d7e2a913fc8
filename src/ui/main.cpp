// The desktop program: one window, no command-line arguments.

#include <QApplication>

#include "platform/temporary.h"
#include "ui/application.h"
#include "ui/qt_form.h"

int main(int argc, char** argv) {
  // Before any thread: an interrupt removes the window's private folders, and
  // a file-size limit fails a save instead of ending the program.
  plattero::platform::InstallInterruptCleanup();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Plattero"));
  // The desktop entry the window belongs to (its name and icon).
  QGuiApplication::setDesktopFileName(QStringLiteral("plattero"));
  QApplication::setWindowIcon(plattero::ui::ProgramIcon());
  // The file dialogs and questions in the system's language.
  plattero::ui::InstallQtTranslations();
  plattero::ui::TQtForm form;
  form.show();
  return app.exec();
}
