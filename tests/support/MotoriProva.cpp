#include "MotoriProva.h"

namespace prova {

const char* NomeMotore(Motore m) {
    switch (m) {
    case Motore::Sqlite:
        return "sqlite";
    case Motore::Postgres:
        return "postgres";
    case Motore::Odbc:
        return "odbc";
    }
    return "?";
}

QSqlDatabase ConnessioneProva(Motore motore, const QString& nome, const QString& fileSqlite,
                              const DatabasePgProva& pg) {
    switch (motore) {
    case Motore::Postgres:
        return pg.Connessione(nome);
    case Motore::Odbc: {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), nome);
        db.setDatabaseName(pg.TestoOdbc());
        return db;
    }
    case Motore::Sqlite:
        break;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nome);
    db.setDatabaseName(fileSqlite);
    return db;
}

void MotoriProva::Colonna() {
    QTest::addColumn<Motore>("motore");
}

void MotoriProva::Righe(const QList<Motore>& motori) {
    Colonna();
    for (Motore m : motori)
        QTest::newRow(NomeMotore(m)) << m;
    if (!motori.isEmpty())
        s_primo = motori.constFirst();
}

Motore MotoriProva::Corrente() {
    QFETCH_GLOBAL(Motore, motore);
    return motore;
}

bool MotoriProva::PrimaRiga() {
    return Corrente() == s_primo;
}

} // namespace prova
