#pragma once
// The suite's data-access component and the engine connection the grids bind
// to.  The program opens the company database twice: once through the
// component (IComponenteDati::Apri, whose reply text later calls hand back to
// open record sets and run SQL), once as a QSqlDatabase of its own
// (ApriDbMotore, the DbDitta of the session).
//
// Kinds of database name, tested without regard to case:
//   "ODBC;..."          a complete ODBC connection text
//   "....dsn"           an ODBC file data source (a profile file, [ODBC])
//   no "."              an ODBC data source name (odbc.ini)
//   anything else       a database file (SQLite), through the path layer
// A data source whose driver is psqlODBC may be reached through Qt's native
// PostgreSQL driver with the same server, database and credentials; the
// behaviour is the same either way.  The environment variable
// QUARVEL_DATI_SOLO_ODBC=1, or the parameter "DbSqlSoloOdbc" = "S", keeps
// every ODBC source on QODBC.
//
// The program's SQL texts are written in the Access dialect (TOP n, IIF,
// DELETE *, ucase/lcase, & concatenation, #date#, True/False, bracketed
// joins, [names]); the component translates them for the engine (Traduci,
// TraduciSql).  Field names on PostgreSQL come back in lower case: compare
// field names without regard to case, as the record set does.
//
// Failures raise quarvel::Errore with the numbers of Errore.h: 3022 duplicate
// key, 3031 wrong password, 3059 login cancelled, 3146 ODBC call failed,
// 3343 damaged or foreign database file, 53 file not found, 3021 no current
// row, 3265 unknown field; the description is the engine's own text.

#include "suite/Errore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariant>
#include <memory>

namespace quarvel {

namespace NumErr {
inline constexpr int CampoNonTrovato = 3265;        // item not found in this collection
inline constexpr int CostruttoNonSupportato = 3085; // SQL construct the engines cannot take
} // namespace NumErr

// A record set over an SQL text: rows in order, a current row, fields by
// plain name ("Descrizione"), by qualified name ("Articoli.Livgruppo2",
// "LivGruppi_1.Descrizione") or by position.  Null is an invalid QVariant.
// Dates come back as QDate on both engines.
class IRecordset {
public:
    virtual ~IRecordset();

    // Past the last row / before the first.  An empty record set is both.
    virtual bool Eof() const = 0;
    virtual bool Bof() const = 0;
    virtual void MoveNext() = 0;
    virtual void MovePrevious() = 0;
    virtual void MoveFirst() = 0;
    virtual void MoveLast() = 0;

    // The value of a field of the current row; 3021 without a current row,
    // 3265 for a name the record set does not hold.  A plain name that
    // occurs twice gives the first column.
    virtual QVariant Campo(const QString& nome) const = 0;
    virtual QVariant Campo(int indice) const = 0;
    virtual int NumeroCampi() const = 0;
    virtual QString NomeCampo(int indice) const = 0;
    // True when the record set holds the field (plain or qualified name).
    virtual bool HaCampo(const QString& nome) const = 0;

    // As the original engine counted: the rows reached so far (1 right after
    // opening a non-empty set, 0 for an empty one), the total after MoveLast.
    virtual qint64 RecordCount() const = 0;

    // The size of the field: for a text the length of the current value in
    // characters (texts are variable length), 0 for Null; for other kinds
    // the bytes of the kind (2, 4, 8; a date 8).
    virtual qint32 DimensioneCampo(const QString& campo) const = 0;

    virtual void Close() = 0;
};

class IComponenteDati {
public:
    virtual ~IComponenteDati();

    // Named parameters: "DbSqlPubUID", "DbSqlPubPWD" (user and password of
    // an ODBC source), "DbAccPWD" (password of a database file or of a
    // complete ODBC text), "DbSqlSoloOdbc" ("S": no native driver).  An
    // unknown name reads as empty.
    virtual QString Parametro(const QString& nome) const = 0;
    virtual void ImpostaParametro(const QString& nome, const QString& valore) = 0;

    // Opens a database (name as above; connessione the optional connection
    // text, e.g. ";PWD=..." or "ODBC;UID=...", an empty text for none).  On
    // success risposta is a non-empty text not beginning "Err:" that names
    // the connection for the calls below; on failure an Errore is raised
    // (3059 when an ODBC source refuses the login, 3031 for a wrong password,
    // 3343 for a file that is no database, 53 for a missing file, 3146 for
    // any other ODBC failure).  opzioni, esclusivo and solaLettura are the
    // callers' (0, False, False): solaLettura True opens read-only.
    virtual void Apri(const QString& nome, int opzioni, bool esclusivo, bool solaLettura,
                      const QString& connessione, QString& risposta) = 0;
    virtual void Chiudi(const QString& risultatoConnessione) = 0;

    // Everything below takes the reply of Apri; an empty text means the
    // connection opened last.
    virtual std::unique_ptr<IRecordset> ApriRecordset(const QString& sql,
                                                      const QString& risultatoConnessione = {}) = 0;
    // Runs an action query; the rows affected.
    virtual qint64 Esegui(const QString& sql, const QString& risultatoConnessione = {}) = 0;

    // One transaction at a time per connection (a header and its cascade).
    virtual void Inizia(const QString& risultatoConnessione = {}) = 0;
    virtual void Conferma(const QString& risultatoConnessione = {}) = 0;
    virtual void Annulla(const QString& risultatoConnessione = {}) = 0;

    // The SQL text the engine runs for an Access-dialect text.
    virtual QString Traduci(const QString& sql, const QString& risultatoConnessione = {}) const = 0;
    virtual QSqlDatabase Database(const QString& risultatoConnessione = {}) const = 0;
};

// What the kind tests of the name say.
enum class TipoDatabase { File, OrigineDati, FileOrigineDati, TestoOdbc };
TipoDatabase TipoDiDatabase(const QString& nome);

// A new data-access component (the start-up creates one and keeps it).
std::unique_ptr<IComponenteDati> CreaComponenteDati();

// The engine connection (DbDitta, DbMenu): opens a QSqlDatabase under the
// connection name nomeConnessione (an existing one of that name is closed
// and replaced) as the original engine's OpenDatabase(nome, False, False,
// connessione) did: a database file by its name and no connection text; an
// ODBC source by an empty name and a connection text "ODBC;DSN=name;UID=..;
// PWD=..", "ODBC;FileDSN=file.dsn;UID=..;PWD=.." or a complete "ODBC;..."
// text.  Raises Errore as Apri does.
QSqlDatabase ApriDbMotore(const QString& nome, const QString& connessione,
                          const QString& nomeConnessione);

// The engine's SQL for an Access-dialect text on a connection opened by
// ApriDbMotore or by the component (any other connection: by its driver).
QString TraduciSql(const QSqlDatabase& db, const QString& sql);

// An engine error of the connection as the program's Errore (3022 for a
// duplicate key on every engine, and the rest of the table above).
Errore ErroreDaMotore(const QSqlDatabase& db, const QSqlError& errore,
                      const QString& sorgente = {});

// Rebuilds a damaged database file into a new one holding every row that can
// still be read, keeps the damaged file beside it ("<name>.danneggiato-<time>")
// and swaps the rebuilt file in; 0 only when the rebuilt file passes the
// integrity check, the engine's error number else.  (The utility object's
// RiparaDatabase.)
int RiparaFileDatabase(const QString& percorso);

// The data-access component registers its implementation here (the start-up
// calls quarvel::dati::Registra(), components/data/ComponenteDatiSql.h).
struct ImplementazioneDati {
    std::unique_ptr<IComponenteDati> (*crea)() = nullptr;
    QSqlDatabase (*apriDbMotore)(const QString&, const QString&, const QString&) = nullptr;
    QString (*traduciSql)(const QSqlDatabase&, const QString&) = nullptr;
    Errore (*erroreDaMotore)(const QSqlDatabase&, const QSqlError&, const QString&) = nullptr;
    int (*riparaFile)(const QString&) = nullptr;
};
void RegistraImplementazioneDati(const ImplementazioneDati& impl);

} // namespace quarvel
