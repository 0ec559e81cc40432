#include "suite/ComponenteDati.h"

namespace quarvel {

IRecordset::~IRecordset() = default;
IComponenteDati::~IComponenteDati() = default;

namespace {
ImplementazioneDati implementazione;

[[noreturn]] void Mancante() {
    throw Errore(NumErr::OggettoNonImpostato,
                 QStringLiteral("Componente di accesso ai dati non disponibile"),
                 QStringLiteral("ComponenteDati"));
}
} // namespace

TipoDatabase TipoDiDatabase(const QString& nome) {
    if (nome.left(5).toUpper() == QLatin1String("ODBC;"))
        return TipoDatabase::TestoOdbc;
    if (nome.right(4).toLower() == QLatin1String(".dsn"))
        return TipoDatabase::FileOrigineDati;
    if (!nome.contains(QLatin1Char('.')))
        return TipoDatabase::OrigineDati;
    return TipoDatabase::File;
}

std::unique_ptr<IComponenteDati> CreaComponenteDati() {
    if (!implementazione.crea)
        Mancante();
    return implementazione.crea();
}

QSqlDatabase ApriDbMotore(const QString& nome, const QString& connessione,
                          const QString& nomeConnessione) {
    if (!implementazione.apriDbMotore)
        Mancante();
    return implementazione.apriDbMotore(nome, connessione, nomeConnessione);
}

QString TraduciSql(const QSqlDatabase& db, const QString& sql) {
    if (!implementazione.traduciSql)
        Mancante();
    return implementazione.traduciSql(db, sql);
}

Errore ErroreDaMotore(const QSqlDatabase& db, const QSqlError& errore, const QString& sorgente) {
    if (!implementazione.erroreDaMotore)
        Mancante();
    return implementazione.erroreDaMotore(db, errore, sorgente);
}

int RiparaFileDatabase(const QString& percorso) {
    if (!implementazione.riparaFile)
        Mancante();
    return implementazione.riparaFile(percorso);
}

void RegistraImplementazioneDati(const ImplementazioneDati& impl) {
    implementazione = impl;
}

} // namespace quarvel
