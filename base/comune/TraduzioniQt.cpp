#include "TraduzioniQt.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace quarvel {

bool CaricaTraduzioniQt(QCoreApplication* app, QString* errore) {
    if (!app)
        return false;
    const QString cartella = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* traduttore = new QTranslator(app);
    if (!traduttore->load(QStringLiteral("qtbase_it"), cartella) ||
        !QCoreApplication::installTranslator(traduttore)) {
        delete traduttore;
        if (errore)
            *errore = QStringLiteral("Traduzioni italiane di Qt mancanti (%1): installare il "
                                     "pacchetto %2")
                          .arg(QDir(cartella).filePath(QStringLiteral("qtbase_it.qm")),
                               QLatin1String(PacchettoTraduzioniQt));
        return false;
    }
    return true;
}

} // namespace quarvel
