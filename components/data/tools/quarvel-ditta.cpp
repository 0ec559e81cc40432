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
//     --uid U --pwd P user and password of an ODBC source
//     --solo-odbc     reach an ODBC source through QODBC only

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
#include <QSqlQuery>

#include <cstdio>

using namespace quarvel;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quarvel-ditta"));
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Crea il database di una ditta (vuoto o dimostrativo) o il database comune"));
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
    const QCommandLineOption uid(QStringLiteral("uid"), QStringLiteral("utente"),
                                 QStringLiteral("utente"));
    const QCommandLineOption pwd(QStringLiteral("pwd"), QStringLiteral("password"),
                                 QStringLiteral("password"));
    const QCommandLineOption soloOdbc(QStringLiteral("solo-odbc"),
                                      QStringLiteral("solo attraverso QODBC"));
    p.addOptions({demo, righe, magazzini, comune, sostituisci, uid, pwd, soloOdbc});
    p.process(app);
    if (p.positionalArguments().size() != 1)
        p.showHelp(2);
    const QString nome = p.positionalArguments().first();

    QElapsedTimer tempo;
    tempo.start();
    try {
        if (TipoDiDatabase(nome) == TipoDatabase::File) {
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
        dati::Credenziali c;
        c.utente = p.value(uid);
        c.password = p.value(pwd);
        c.soloOdbc = p.isSet(soloOdbc);
        {
            QSqlDatabase db = dati::ApriDatabase(nome, {}, c, QStringLiteral("quarvel-ditta"));
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
