// The desktop program: one window, no command-line arguments.

#include <QApplication>

#include "ui/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Plattero"));
  plattero::ui::TForm1 form;
  form.show();
  return app.exec();
}
