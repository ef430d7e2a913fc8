#pragma once

// What the desktop program sets up for its windows: the program's icon and
// Qt's own translations of its standard dialogs.

#include <QIcon>
#include <QLocale>

class QTranslator;

namespace plattero::ui {

// The program's icon in every size it is drawn in (compiled into the
// program); the same picture as the desktop's and the Windows program's.
QIcon ProgramIcon();

// Loads Qt's translations of its own texts (file dialogs, buttons, questions)
// for `locale` from Qt's translations folder and installs them in the
// application. The translator, owned by the application; null when there is
// none for that language (English needs none).
QTranslator* InstallQtTranslations(const QLocale& locale = QLocale::system());

}  // namespace plattero::ui
