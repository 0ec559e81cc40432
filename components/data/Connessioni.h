#pragma once
// Opening a company database by its name, as the kinds of ComponenteDati.h
// say, on QSQLITE, QODBC or (for a psqlODBC source) QPSQL; and the engine
// errors as the program's Errore.

#include "Traduttore.h"

#include "suite/Errore.h"

#include <QMap>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

#include <functional>

namespace quarvel::dati {

struct Credenziali {
    QString utente;       // DbSqlPubUID
    QString password;     // DbSqlPubPWD
    QString passwordFile; // DbAccPWD
    bool soloOdbc = false;
    bool solaLettura = false;
};

// What kind of engine a connection talks to.
struct InfoConnessione {
    Dialetto dialetto = Dialetto::SQLite;
    bool odbc = false;   // the name was an ODBC source (whatever the driver)
    bool nativo = false; // an ODBC source reached through QPSQL
    QString file;        // the SQLite file
    quint64 serie = 0;   // this opening among all; 0 for a connection opened elsewhere
};

// Opens the database under nomeConnessione (replacing a connection of that
// name); raises Errore.  nome and connessione as OpenDatabase took them.
QSqlDatabase ApriDatabase(const QString& nome, const QString& connessione,
                          const Credenziali& credenziali, const QString& nomeConnessione);

InfoConnessione Info(const QSqlDatabase& db);
void DimenticaConnessione(const QString& nomeConnessione);

// The key=value pairs of a connection text ("ODBC;DSN=x;UID=y;PWD={a;b}");
// keys in upper case.
QMap<QString, QString> CoppieConnessione(const QString& testo);

// A connection text of the pairs: "ODBC;DRIVER={...};KEY=value;..." with
// values in braces where they need them.
QString TestoConnessione(const QMap<QString, QString>& coppie);

// The engine error as Errore; the description is the engine's own text.
Errore MappaErrore(const QSqlDatabase& db, const QSqlError& errore, const QString& sorgente);
// The same for a failed opening (login refused -> 3059 on ODBC sources).
Errore MappaErroreApertura(const InfoConnessione& info, const QSqlError& errore,
                           const QString& sorgente);

// True when the text names psqlODBC (a driver name of odbcinst.ini or a path).
bool DriverPsqlOdbc(const QString& driver);

// The kind of network file system that holds the file ("nfs", "cifs",
// "smb2", "sshfs" ...), empty for a file on a local disk.  SQLite's
// write-ahead log works only when every process is on one host: a company
// file on a network share is opened with the rollback journal.
QString FileSystemDiRete(const QString& percorso);
// Replaces the check above (a test simulates a network share); an empty
// function restores it.
void ImpostaControlloFileSystem(std::function<QString(const QString& percorso)> controllo);

// A value of a data source in odbc.ini (ODBCINI, ~/.odbc.ini, the system
// file), as unixODBC reads it.
QString ValoreOrigineDati(const QString& dsn, const QString& chiave);

} // namespace quarvel::dati
