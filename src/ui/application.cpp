#include "ui/application.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace plattero::ui {

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icons/%1x%1/apps/plattero.png").arg(size), QSize(size, size));
  return icon;
}

QTranslator* InstallQtTranslations(const QLocale& locale) {
  auto* app = QCoreApplication::instance();
  if (app == nullptr) return nullptr;
  auto* translator = new QTranslator(app);
  // "qtbase" holds the widgets' texts; the locale's UI languages are tried in
  // turn (ja_JP, then ja).
  if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return nullptr;
  }
  return translator;
}

}  // namespace plattero::ui
