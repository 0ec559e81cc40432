#pragma once
// Qt's own texts (the standard buttons, the file, font and colour dialogs,
// the line edits' context menus) in Italian, as the rest of the program.

#include <QString>

class QCoreApplication;

namespace quarvel {

// The Debian package that holds Qt's Italian catalogue.
inline constexpr auto PacchettoTraduzioniQt = "qt6-translations-l10n";

// Installs Qt's Italian catalogue (qtbase_it.qm in Qt's translations folder)
// in the application.  False when it is missing: Qt's windows then speak
// English, and errore (when given) says which package to install.
bool CaricaTraduzioniQt(QCoreApplication* app, QString* errore = nullptr);

} // namespace quarvel
