#pragma once
// A PostgreSQL database of the test process's own on the server of the test
// service (scripts/services/postgres.sh env exports PGHOST, PGPORT,
// QUARVEL_PG_UID, QUARVEL_PG_PWD and the ODBC driver's name): created empty
// from template1 under a name no other process uses, so that tests running
// side by side on one server never meet, and dropped at the end, connections
// still open or not.
//
//     prova::DatabasePgProva m_pg{"quarvel_lifo"};   // quarvel_lifo_<pid>
//     initTestCase():    if (m_pg.Disponibile()) QVERIFY2(m_pg.Crea(&errore), ...);
//     the cases:         m_pg.Connessione("ditta1") is an unopened QPSQL connection
//     cleanupTestCase(): m_pg.Elimina();   (the destructor does it too)

#include <QSqlDatabase>
#include <QString>

namespace prova {

class DatabasePgProva {
public:
    // The name is the prefix followed by the process id.
    explicit DatabasePgProva(const QString& prefisso);
    ~DatabasePgProva();
    DatabasePgProva(const DatabasePgProva&) = delete;
    DatabasePgProva& operator=(const DatabasePgProva&) = delete;

    // The test service exported the server's variables.
    static bool Disponibile();
    // Why the rows on the server were skipped.
    static constexpr const char* SenzaServer =
        "PostgreSQL non disponibile: PGPORT e QUARVEL_PG_UID non sono impostate (eval \"$(scripts/"
        "services/postgres.sh env)\" dopo postgres.sh start)";

    // Drops a database left by an earlier process of the same id and creates
    // it anew.  False, with the server's reason, when it cannot be made.
    bool Crea(QString* errore = nullptr);
    // Drops it, ending whatever connection is still open on it.
    void Elimina();
    // Drops it as the server drops a database in use by nobody: refused while
    // a session is still open on it.  The server's refusal, empty once gone.
    QString EliminaSeLibero();

    QString Nome() const { return m_nome; }
    // A connection to it through Qt's driver, added under the name given
    // and not opened yet.
    QSqlDatabase Connessione(const QString& nomeConnessione) const;
    // The connection text of unixODBC and psqlODBC for it, login included.
    QString TestoOdbc() const;

    static QString Host();
    static int Porta();
    static QString Utente();
    static QString Password();
    static QString DriverOdbc();

private:
    QString m_nome;
    bool m_creato = false;
};

} // namespace prova
