// quarvel-ditta: creates a company database (empty or the demo company) or
// the suite's common database.
//
//   quarvel-ditta [options] DATABASE
//     DATABASE        an SQLite file (created), a data source name, a .dsn
//                     file or an "ODBC;..." connection text
//     --demo          fill with the demo company (deterministic)
//     --righe N       counts of the demo's inventory "INV2024" (default 200)
//     --magazzini N   warehouses of the demo (default 4)
//     --comune        the common database (Appoggio) instead of a company
//     --sostituisci   drop what is there first (an SQLite file is recreated)
//     --se-vuoto      only when the database has no tables yet: a database
//                     already made is left as it is (make run on a data source)
//     --uid U         user of an ODBC source (of an "ODBC;" text too: it
//                     takes the place of the text's UID)
//     --solo-odbc     reach an ODBC source through QODBC only
//
//   The password never goes on the command line, where every user of the
//   computer sees it: it comes from the environment variable
//   QUARVEL_DITTA_PWD, or, when the server refuses the login and the command
//   runs at a terminal, it is asked for there without echo.
//
//   On PostgreSQL the citext extension (codes compared without regard to
//   case) is created in the database when it is missing; when the user may
//   not create it, the command says so and what to run instead.

#include "ComponenteDatiSql.h"
#include "Connessioni.h"
#include "Schema.h"

#include "suite/Errore.h"
#include "suite/Percorsi.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>
#include <string>

#include <termios.h>
#include <unistd.h>

using namespace quarvel;

namespace {

const char* const VariabilePassword = "QUARVEL_DITTA_PWD";

// The password typed at the terminal, without echo; empty without a terminal.
QString ChiediPassword(const QString& utente) {
    if (!isatty(STDIN_FILENO))
        return {};
    std::fprintf(stderr, "Password%s%s: ", utente.isEmpty() ? "" : " dell'utente ",
                 qPrintable(utente));
    std::fflush(stderr);
    termios prima{};
    const bool eco = tcgetattr(STDIN_FILENO, &prima) == 0;
    if (eco) {
        termios senza = prima;
        senza.c_lflag &= tcflag_t(~ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &senza);
    }
    std::string riga;
    for (int c = std::fgetc(stdin); c != EOF && c != '\n'; c = std::fgetc(stdin))
        riga.push_back(char(c));
    if (eco)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &prima);
    std::fputc('\n', stderr);
    return QString::fromLocal8Bit(riga.data(), qsizetype(riga.size()));
}

// The citext extension in a PostgreSQL database: created when missing (it
// is a trusted extension: the database's owner may create it).  False, after
// saying why and what to run instead, when it cannot be created.
bool CreaCitext(QSqlDatabase& db) {
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SELECT 1 FROM pg_extension WHERE extname = 'citext'")) && q.next())
        return true;
    if (q.exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext"))) {
        std::fprintf(stderr, "quarvel-ditta: creata nel database l'estensione citext\n");
        return true;
    }
    std::fprintf(stderr,
                 "quarvel-ditta: il database non ha l'estensione citext (i codici vi si "
                 "confrontano senza badare a maiuscole e minuscole) e questo utente non può "
                 "crearla: %s\nquarvel-ditta: installare postgresql-contrib sul server ed "
                 "eseguire nel database, come superutente: CREATE EXTENSION citext\n",
                 qPrintable(q.lastError().text()));
    return false;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quarvel-ditta"));
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Crea il database di una ditta (vuoto o dimostrativo) o il database comune.\n"
        "La password di un'origine dati si dà nella variabile d'ambiente QUARVEL_DITTA_PWD; "
        "senza, il programma la chiede al terminale quando il server la vuole."));
    p.addHelpOption();
    p.addPositionalArgument(QStringLiteral("database"),
                            QStringLiteral("file SQLite, origine dati, file .dsn o testo ODBC;"));
    const QCommandLineOption demo(QStringLiteral("demo"), QStringLiteral("ditta dimostrativa"));
    const QCommandLineOption righe(QStringLiteral("righe"),
                                   QStringLiteral("righe dell'inventario INV2024"),
                                   QStringLiteral("n"), QStringLiteral("200"));
    const QCommandLineOption magazzini(QStringLiteral("magazzini"),
                                       QStringLiteral("numero di magazzini"), QStringLiteral("n"),
                                       QStringLiteral("4"));
    const QCommandLineOption comune(QStringLiteral("comune"), QStringLiteral("database comune"));
    const QCommandLineOption sostituisci(QStringLiteral("sostituisci"),
                                         QStringLiteral("sostituisce le tabelle esistenti"));
    const QCommandLineOption seVuoto(QStringLiteral("se-vuoto"),
                                     QStringLiteral("solo se il database non ha ancora tabelle"));
    const QCommandLineOption uid(QStringLiteral("uid"), QStringLiteral("utente"),
                                 QStringLiteral("utente"));
    // Refused: named only to say where the password goes instead.
    QCommandLineOption pwd(QStringLiteral("pwd"), QStringLiteral("password"),
                           QStringLiteral("password"));
    pwd.setFlags(QCommandLineOption::HiddenFromHelp);
    const QCommandLineOption soloOdbc(QStringLiteral("solo-odbc"),
                                      QStringLiteral("solo attraverso QODBC"));
    p.addOptions({demo, righe, magazzini, comune, sostituisci, seVuoto, uid, pwd, soloOdbc});
    p.process(app);
    if (p.positionalArguments().size() != 1)
        p.showHelp(2);
    if (p.isSet(pwd)) {
        std::fprintf(stderr,
                     "quarvel-ditta: --pwd non è accettato: sulla riga di comando la password è "
                     "visibile a ogni utente del computer. Darla nella variabile d'ambiente %s, "
                     "oppure digitarla quando il programma la chiede.\n",
                     VariabilePassword);
        return 2;
    }
    const QString nome = p.positionalArguments().first();
    const TipoDatabase tipo = TipoDiDatabase(nome);
    if (tipo == TipoDatabase::TestoOdbc &&
        !dati::CoppieConnessione(nome).value(QStringLiteral("PWD")).isEmpty())
        std::fprintf(stderr,
                     "quarvel-ditta: attenzione: la password nel testo di connessione è visibile a "
                     "ogni utente del computer; darla nella variabile d'ambiente %s\n",
                     VariabilePassword);

    QElapsedTimer tempo;
    tempo.start();
    try {
        if (tipo == TipoDatabase::File) {
            const QString file = PercorsoLocale(nome);
            if (p.isSet(sostituisci)) {
                for (const char* s : {"", "-wal", "-shm", "-journal"})
                    QFile::remove(file + QLatin1String(s));
            }
            if (!QFileInfo::exists(file)) {
                QFile f(file);
                if (!f.open(QIODevice::WriteOnly)) {
                    std::fprintf(stderr, "quarvel-ditta: impossibile creare %s\n",
                                 qPrintable(file));
                    return 1;
                }
            }
        }
        const QString utente = p.value(uid);
        QString password = qEnvironmentVariable(VariabilePassword);
        // An "ODBC;" text carries its user: --uid takes its place.
        QString nomeDb = nome;
        if (tipo == TipoDatabase::TestoOdbc && !utente.isEmpty()) {
            auto coppie = dati::CoppieConnessione(nome);
            coppie.insert(QStringLiteral("UID"), utente);
            nomeDb = dati::TestoConnessione(coppie);
        }
        auto apri = [&] {
            dati::Credenziali c;
            c.soloOdbc = p.isSet(soloOdbc);
            if (tipo == TipoDatabase::TestoOdbc) {
                c.passwordFile = password; // when the text has none
            } else if (tipo != TipoDatabase::File) {
                c.utente = utente;
                c.password = password;
            }
            return dati::ApriDatabase(nomeDb, {}, c, QStringLiteral("quarvel-ditta"));
        };
        QSqlDatabase db;
        try {
            db = apri();
        } catch (const Errore& e) {
            // The server wants a password: asked for at the terminal.
            if (e.numero() != NumErr::OperazioneAnnullata || tipo == TipoDatabase::File)
                throw;
            if (password.isEmpty())
                password = ChiediPassword(utente);
            if (password.isEmpty()) {
                std::fprintf(stderr,
                             "quarvel-ditta: errore %d: %s\nquarvel-ditta: il server vuole una "
                             "password: darla nella variabile d'ambiente %s, o eseguire il "
                             "comando da un terminale, che la chiede\n",
                             e.numero(), qPrintable(e.descrizione()), VariabilePassword);
                return 1;
            }
            if (!qEnvironmentVariableIsEmpty(VariabilePassword))
                throw;
            db = apri();
        }
        if (p.isSet(seVuoto) && !p.isSet(sostituisci) && !db.tables(QSql::Tables).isEmpty()) {
            std::fprintf(stderr, "quarvel-ditta: %s ha già delle tabelle: lasciato com'è\n",
                         qPrintable(nome));
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("quarvel-ditta"));
            return 0;
        }
        {
            if (db.driverName() != QLatin1String("QSQLITE") && !CreaCitext(db))
                return 1;
            if (db.driverName() != QLatin1String("QSQLITE")) {
                // Codes are compared ignoring case: under a ctype other than C
                // every comparison lowers both sides through wide characters.
                QSqlQuery q(db);
                if (q.exec(QStringLiteral("SHOW lc_ctype")) && q.next()) {
                    const QString ctype = q.value(0).toString();
                    if (ctype != QLatin1String("C") && ctype != QLatin1String("POSIX"))
                        std::fprintf(stderr,
                                     "quarvel-ditta: attenzione: il database ha LC_CTYPE '%s'; "
                                     "con LC_CTYPE 'C' i confronti dei codici sono tre volte "
                                     "più veloci (vedi README)\n",
                                     qPrintable(ctype));
                }
            }
            if (p.isSet(comune)) {
                dati::CreaComune(db, p.isSet(sostituisci));
                if (p.isSet(demo))
                    dati::GeneraDemoComune(db);
            } else {
                dati::CreaDitta(db, p.isSet(sostituisci));
                if (p.isSet(demo)) {
                    dati::OpzioniDemo o;
                    o.righeInventario = p.value(righe).toLongLong();
                    o.magazzini = p.value(magazzini).toInt();
                    dati::GeneraDemo(db, o);
                }
            }
            db.close();
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("quarvel-ditta"));
    } catch (const Errore& e) {
        std::fprintf(stderr, "quarvel-ditta: errore %d: %s\n", e.numero(),
                     qPrintable(e.descrizione()));
        return 1;
    }
    std::fprintf(stderr, "quarvel-ditta: %s pronto in %.1f s\n", qPrintable(nome),
                 double(tempo.elapsed()) / 1000.0);
    return 0;
}
