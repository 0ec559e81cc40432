// The engines' errors as the suite's numbered errors.

#include "Connessioni.h"

#include "suite/ComponenteDati.h"
#include "suite/Errore.h"

#include <QRegularExpression>
#include <QSqlError>

namespace quarvel::dati {

namespace {

QString StatoSql(const QSqlError& e) {
    const QString nativo = e.nativeErrorCode().trimmed();
    static const QRegularExpression cinque(QStringLiteral("^[0-9A-Z]{5}$"));
    if (cinque.match(nativo).hasMatch())
        return nativo;
    return {};
}

bool Contiene(const QString& testo, std::initializer_list<const char*> frasi) {
    for (const char* f : frasi)
        if (testo.contains(QString::fromUtf8(f), Qt::CaseInsensitive))
            return true;
    return false;
}

QString Descrizione(const QSqlError& e) {
    QString d = e.databaseText().trimmed();
    const QString dr = e.driverText().trimmed();
    if (d.isEmpty())
        d = dr;
    return d;
}

Errore ErrorePg(const QSqlError& e, const QString& sorgente) {
    const QString stato = StatoSql(e);
    const QString testo = e.databaseText() + QLatin1Char(' ') + e.driverText();
    const QString d = Descrizione(e);
    if (stato == QLatin1String("23505") ||
        Contiene(testo, {"duplicate key", "chiave duplicata", "23505"}))
        return Errore(NumErr::ChiaveDuplicata, d, sorgente);
    if (stato == QLatin1String("28P01") || stato == QLatin1String("28000") ||
        Contiene(testo, {"password authentication failed", "no password supplied",
                         "autenticazione con password fallita", "28P01"}))
        return Errore(NumErr::OperazioneAnnullata, d, sorgente);
    if (stato == QLatin1String("23502") || Contiene(testo, {"violates not-null constraint"}))
        return Errore(3314, d, sorgente);
    if (stato == QLatin1String("40P01") || stato == QLatin1String("55P03"))
        return Errore(3260, d, sorgente);
    return Errore(NumErr::ChiamataOdbcFallita, d, sorgente);
}

Errore ErroreSqlite(const QSqlError& e, const QString& sorgente) {
    const QString d = Descrizione(e);
    const int codice = e.nativeErrorCode().toInt();
    const int primario = codice & 0xff;
    const QString testo = e.databaseText();
    if (primario == 19) { // SQLITE_CONSTRAINT
        if (Contiene(testo, {"UNIQUE", "PRIMARY KEY"}) || codice == 1555 || codice == 2067)
            return Errore(NumErr::ChiaveDuplicata, d, sorgente);
        if (Contiene(testo, {"NOT NULL"}) || codice == 1299)
            return Errore(3314, d, sorgente);
        return Errore(3317, d, sorgente); // a validation rule of the table
    }
    if (primario == 11 || primario == 26 || Contiene(testo, {"not a database", "malformed"}))
        return Errore(NumErr::DatabaseNonRiconosciuto,
                      QStringLiteral("Il file del database è danneggiato o non è un database "
                                     "(%1)")
                          .arg(d),
                      sorgente);
    if (primario == 5 || primario == 6)
        return Errore(3260, d, sorgente); // locked by another user
    if (primario == 8 || primario == 14)
        return Errore(3051, d, sorgente); // cannot open / read-only
    if (Contiene(testo, {"no such table"}))
        return Errore(3078, d, sorgente);
    if (Contiene(testo, {"syntax error", "no such column", "no such function", "incomplete input"}))
        return Errore(3075, d, sorgente);
    return Errore(3000, d, sorgente);
}

} // namespace

Errore MappaErrore(const QSqlDatabase& db, const QSqlError& errore, const QString& sorgente) {
    if (Info(db).dialetto == Dialetto::SQLite)
        return ErroreSqlite(errore, sorgente);
    return ErrorePg(errore, sorgente);
}

Errore MappaErroreApertura(const InfoConnessione& info, const QSqlError& errore,
                           const QString& sorgente) {
    if (info.dialetto == Dialetto::SQLite)
        return ErroreSqlite(errore, sorgente);
    const Errore e = ErrorePg(errore, sorgente);
    return e;
}

} // namespace quarvel::dati
