#include "listcmd/Motore.h"

#include "suite/ComponenteDati.h"

namespace quarvel::listcmd {

bool EPostgres(const QSqlDatabase& db) {
    return db.driverName().startsWith(QLatin1String("QPSQL"));
}

QString Traduci(const QSqlDatabase& db, const QString& sql) {
    try {
        return TraduciSql(db, sql);
    } catch (const Errore& e) {
        if (e.numero() != NumErr::OggettoNonImpostato)
            throw;
    }
    return sql; // no data-access component: the text is taken as the engine's
}

Errore ErroreMotore(const QSqlDatabase& db, const QSqlError& errore, const QString& sorgente) {
    int numero = 0;
    try {
        Errore e = ErroreDaMotore(db, errore, sorgente);
        numero = e.numero();
        if (numero != NumErr::ChiamataOdbcFallita && numero != 0)
            return e;
    } catch (const Errore& e) {
        if (e.numero() != NumErr::OggettoNonImpostato)
            throw;
    }
    // A required field left empty keeps a number of its own, so that the
    // grid can say it in the operator's words.
    const QString codice = errore.nativeErrorCode();
    const QString testo = errore.databaseText().isEmpty() ? errore.text() : errore.databaseText();
    if (codice == QLatin1String("23505") || codice == QLatin1String("2067") ||
        codice == QLatin1String("1555") || testo.contains(QLatin1String("UNIQUE constraint")))
        return Errore(NumErr::ChiaveDuplicata, testo, sorgente);
    if (codice == QLatin1String("23502") || codice == QLatin1String("1299") ||
        testo.contains(QLatin1String("NOT NULL constraint")))
        return Errore(NumErrLista::ValoreObbligatorio, testo, sorgente);
    if (numero != 0)
        return Errore(numero, testo, sorgente);
    return Errore(NumErr::ChiamataOdbcFallita, testo, sorgente);
}

} // namespace quarvel::listcmd
