#pragma once
// The engines a data test runs on.  A class whose every test function runs
// on each engine lists them once:
//
//     void initTestCase_data() { prova::MotoriProva::Righe(); }
//     ...
//     QFETCH_GLOBAL(prova::Motore, motore);
//
// and a case that does not depend on the engine starts with
// PROVA_SOLO_PRIMO_MOTORE(), so that it runs once.  A test function of its
// own table (the engine one column among others) takes the engines from
// Elenco() and the column from Colonna(); so does a class whose global rows
// carry more than the engine (SQLite first).
//
// The rows on the server are there even without it: the case skips with
// SALTA_SENZA_SERVER(motore), saying which variables are missing.

#include "DatabasePgProva.h"

#include <QList>
#include <QMetaType>
#include <QSqlDatabase>
#include <QString>
#include <QTest>

namespace prova {

enum class Motore {
    Sqlite,   // a company file
    Postgres, // the test server through Qt's own driver
    Odbc,     // the same server through unixODBC and psqlODBC
};

// "sqlite", "postgres", "odbc": the rows' tags.
const char* NomeMotore(Motore m);
// The engine needs the PostgreSQL server.
inline bool SuServer(Motore m) {
    return m != Motore::Sqlite;
}

// The connection of a case to its database, added under the name given and
// not opened yet: the SQLite file given, or the process's database on the
// server through Qt's driver or through unixODBC.
QSqlDatabase ConnessioneProva(Motore motore, const QString& nome, const QString& fileSqlite,
                              const DatabasePgProva& pg);

class MotoriProva {
public:
    // SQLite and PostgreSQL through Qt's driver: what most data tests run on.
    static QList<Motore> Predefiniti() { return {Motore::Sqlite, Motore::Postgres}; }

    // The column "motore" and one row per engine, tagged with its name: the
    // global rows, called from initTestCase_data().
    static void Righe(const QList<Motore>& motori = Predefiniti());
    // The column "motore" alone, for a table whose rows add other columns.
    static void Colonna();
    // The engines to loop over in such a table.
    static QList<Motore> Elenco(const QList<Motore>& motori = Predefiniti()) { return motori; }

    // The engine of the current global row.
    static Motore Corrente();
    // True on the first global row: the first engine given to Righe(), or
    // SQLite for a class that builds its global table itself.
    static bool PrimaRiga();

private:
    static inline Motore s_primo = Motore::Sqlite;
};

} // namespace prova

Q_DECLARE_METATYPE(prova::Motore)

// In a test function of a class whose global rows are the engines: a case
// that does not depend on the engine runs on the first row only.
#define PROVA_SOLO_PRIMO_MOTORE()                                                                  \
    do {                                                                                           \
        if (!prova::MotoriProva::PrimaRiga())                                                      \
            QSKIP("indipendente dal motore: eseguito solo con il primo");                          \
    } while (false)

// A row on the PostgreSQL server skips when the test service did not export
// its variables.
#define SALTA_SENZA_SERVER(motore)                                                                 \
    do {                                                                                           \
        if (prova::SuServer(motore) && !prova::DatabasePgProva::Disponibile())                     \
            QSKIP(prova::DatabasePgProva::SenzaServer);                                            \
    } while (false)
