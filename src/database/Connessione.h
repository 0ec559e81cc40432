#pragma once
// The company database connection.  The database is opened twice at start:
// through the data-access component (whose reply text, RisultatoConnessione,
// goes back to the component whenever a record set is opened) and directly as
// the engine connection the grids bind to (DbDitta).  The name of a database
// decides how it is reached:
//
//   "ODBC;..."        a complete ODBC connection text
//   "....dsn"         an ODBC file data source
//   no "." at all     an ODBC data source name
//   anything else     a database file (SQLite)
//
// Every message goes through the message service (suite/Messaggi.h).

#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <optional>

namespace quarvel {

class IComponenteDati;

// ---- Kinds of database name (TipoDiDatabase of suite/ComponenteDati.h) -----------

// True for a complete ODBC text, a file data source and a data source name.
bool EDbSql(const QString& nome);
// True when the name does not begin with "ODBC;" and holds a "." (database
// files and file data sources).
bool EDbFile(const QString& nome);

// ---- The engine connection ----------------------------------------------------------

// What the engine is asked to open: a database name (a file) or an ODBC
// connection text, with the options and read-only flags of the opening.
struct AperturaDao {
    QString nomeDatabase;
    bool opzioni = false;
    bool solaLettura = false;
    std::optional<QString> connessione; // no connection text at all when missing

    bool operator==(const AperturaDao&) const = default;
};

// The opening of ApriDbDao for a name, login and password, without opening:
//   "ODBC;..."   -> no name, the text itself (no credentials added)
//   "x.dsn"      -> no name, "ODBC;FIleDSN=" & x.dsn & ";" & credentials
//   "x.y"        -> the file itself, no connection text
//   "x"          -> no name, "ODBC;DSN=" & x & ";" & credentials
// where credentials are empty for an empty login, else "UID=" & login, and
// ";PWD=" & password when there is a password.  A value that holds ";" or
// begins with "{" is written in braces ({a;b}, a "}" inside doubled), so a
// password can never add an attribute of its own to the text; so is a value
// with blanks at either end, which the text would otherwise lose.
AperturaDao TestoAperturaDao(const QString& nome, const QString& login, const QString& password);

// Opens the engine connection the grids bind to, under the connection name
// given (the company's is "DbDitta").  A failure throws Errore with the
// engine's number (3343 damaged or foreign file, 53 missing file, 3146 ...).
QSqlDatabase ApriDbDao(const QString& nome, const QString& login, const QString& password,
                       const QString& nomeConnessione = QStringLiteral("DbDitta"));

// ---- Opening through the data-access component -------------------------------------

// Opens the database through the component and returns its reply text: the
// component's reply, "Err: " & number after a reported failure, or empty when
// the operator gave up the ODBC login.  A damaged or foreign file (3343) is
// not reported here: it reaches the caller, which offers the repair.
QString ApriDbDitta(IComponenteDati& componente, const QString& nome, const QString& password,
                    const QString& connessione, const std::optional<QVariant>& opzione = {});

// ---- Choice of the parameter files and connection at start ------------------------

struct ParametriScegliIni {
    std::optional<QVariant> opzioneConnessione; // handed to Apri when given
    std::optional<QString> sezione;             // "Connessioni" when missing
    qint16 NomeNoto = 0;                        // non-zero: the menu gave name and connection text
    qint16 ComponiDrive = 0;                    // -1: put drive and folder before a database file
    qint16 Connetti = 0;                        // -1: connect now
    qint16 ScaricaConn = 0;                     // non-zero: unload the connection window afterwards
    qint16 VediLogo = 0;                        // -1 shows imgLogo, 1 hides it, else unchanged
    qint16 VediTitolo = 0;                      // the same for labTitolo
    QString Titolo;
    QString Versione;
    QString Data;
    QString Cartella1;
    QString Cartella2;
    // The command line searched for the /I switch of the main parameter file.
    QString RigaComando;
};

// Chooses the parameter files, reads the connection parameters and connects
// through the component.  0 on success; -1 after a fatal failure (its message
// shown, the session objects released).  The reply of the opening is in
// risultato; an empty one, or one beginning "Err:", is still a failed
// connection for the caller.
int ScegliIniEConnetti(const QString& NomeFile, IComponenteDati& componente, QString& risultato,
                       const ParametriScegliIni& p);

// A damaged company file (3343) met after ScegliIniEConnetti opened it (a
// read of a damaged page while the session loads): the component's
// connection (RisultatoConnessione) and DbDitta are closed, so that the
// repair finds the file free, and the repair is offered as on opening.  True
// when the file was repaired: the caller loads the session again.  False for
// a database that is no file, a refused offer, or a repair that could not be
// done (its reason shown).
bool RecuperaDbDittaDanneggiato();

// ---- The suite's common database ---------------------------------------------------

struct DatabaseComune {
    QString NomeDbMenu;
    QString ConnectDbMenu;
    QString DriveDbMenu;
    QString RisultatoConnessioneMenu;
    QSqlDatabase DbMenu; // connection name "DbMenu"
};

// The common database of the session, filled by ApriDbMenu.
DatabaseComune& DbComune();

// Opens the suite's common database (section "Menu" of the parameter files)
// through Sessione().ComponenteDati and the engine.  0 when it is open; -1
// after a failure (its message shown; nothing else is released).
int ApriDbMenu();

// ---- The connection window at start ------------------------------------------------

// Loads the connection window when carica is non-zero, shows the version and
// date the menu gives ("Versione", "DataVersione"), the logo, and the engine
// picture when mostraImmagineAccess is non-zero.
void PreparaFormConn(qint16 carica, qint16 mostraImmagineAccess);

// The texts of the messages shown here (tests compare against them).
namespace testi_connessione {
QString IniNonValido(const QString& fileIni);
QString ParametriLetti(const QString& fileParametri, const QString& nomeDb,
                       const QString& connectDb);
QString Recuperare(const QString& nomeDb);
// A repair that could not be done, with its reason.
QString NonRecuperato(const QString& nomeDb, const QString& motivo);
QString ErroreApertura(int numero, const QString& testo);
// Str() of the number: a blank before a number that is not negative.
QString Str(int numero);
} // namespace testi_connessione

} // namespace quarvel
