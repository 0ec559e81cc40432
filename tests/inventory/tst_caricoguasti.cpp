// A terminal-file load meeting faults: a file of garbage bytes, the process
// killed in the middle of a load into a SQLite company, the PostgreSQL
// server stopped in the middle of a load and started again.  The server
// stopped is one of this test's own, started in a folder of its own: the
// shared test server is never touched.

#include "data/Schema.h"
#include "inventory/CaricoConteggi.h"
#include "utility/Utilita.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <unistd.h>

using namespace quarvel;
using namespace quarvel::inventario;

namespace {

constexpr int Articoli = 5000;
const char* const Figlio = "--carica-in-figlio";

SetCarico SetSeparato() {
    SetCarico s;
    s.formato = QStringLiteral("S");
    s.separatore = QStringLiteral(";");
    s.codInizio = 1;
    s.qtaInizio = 2;
    return s;
}

QString CodiceArticolo(int i) {
    return QStringLiteral("ART%1").arg(i, 5, 10, QLatin1Char('0'));
}

QByteArray Barcode(int i) {
    return "8" + QByteArray::number(i).rightJustified(7, '0');
}

bool Esegui(QSqlDatabase& db, const QString& sql, QString* errore = nullptr) {
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    if (errore)
        *errore = q.lastError().text() + QStringLiteral(": ") + sql;
    return false;
}

// The company, with articles ART00001.. and barcodes 80000001..
bool CreaDittaConArticoli(QSqlDatabase& db, QString* errore) {
    dati::CreaDitta(db, true);
    if (!db.transaction()) {
        *errore = db.lastError().text();
        return false;
    }
    QSqlQuery q(db);
    q.prepare(QStringLiteral("INSERT INTO Articoli (Articolo, Descrizione, BarCode, Inattivo) "
                             "VALUES (?, 'Articolo', ?, 'N')"));
    for (int i = 1; i <= Articoli; ++i) {
        q.addBindValue(CodiceArticolo(i));
        q.addBindValue(QString::fromLatin1(Barcode(i)));
        if (!q.exec()) {
            *errore = q.lastError().text();
            db.rollback();
            return false;
        }
    }
    return db.commit();
}

// A terminal file: barcodes and article codes of random articles, each line's
// quantity its own number.  `atteso`: article -> the quantity its row must
// have after a whole load (the latest line); `quantita`: article -> every
// quantity one of its lines carries.
QByteArray FileTerminale(int righe, QMap<QString, double>* atteso,
                         QHash<QString, QSet<int>>* quantita) {
    QRandomGenerator g(7);
    QByteArray f;
    for (int r = 1; r <= righe; ++r) {
        const int a = int(g.bounded(Articoli)) + 1;
        const QByteArray codice = r % 10 ? Barcode(a) : CodiceArticolo(a).toLatin1();
        f += codice + ';' + QByteArray::number(r) + "\r\n";
        (*atteso)[CodiceArticolo(a)] = r;
        if (quantita)
            (*quantita)[CodiceArticolo(a)].insert(r);
    }
    return f;
}

// article=quantity of the rows the load writes, in order
QStringList Righe(QSqlDatabase& db) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT Articolo, Giacenza FROM MagInventari WHERE CodInv = 'INV1' "
                               "AND Magazzino = 'M1' ORDER BY Articolo")))
        return {QStringLiteral("errore: ") + q.lastError().text()};
    QStringList r;
    while (q.next())
        r << QStringLiteral("%1=%2").arg(q.value(0).toString()).arg(q.value(1).toDouble());
    return r;
}

QStringList Attese(const QMap<QString, double>& atteso) {
    QStringList r;
    for (auto it = atteso.cbegin(); it != atteso.cend(); ++it)
        r << QStringLiteral("%1=%2").arg(it.key()).arg(it.value());
    return r;
}

EsitoCarico Carica(QSqlDatabase& db, const QString& file,
                   const std::function<bool(const EsitoCarico&)>& avanzamento = {},
                   int articoliPerScrittura = 0,
                   CaricoConteggi::Precarico precarico = CaricoConteggi::Precarico::Secondo) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        EsitoCarico e;
        e.errore = f.errorString();
        return e;
    }
    FileScarti scarti(file, QDateTime::currentDateTime());
    CaricoConteggi c(db, SetSeparato(), {QStringLiteral("INV1"), QStringLiteral("M1")});
    c.impostaPrecarico(precarico);
    c.impostaRighePerBlocco(500);
    if (articoliPerScrittura > 0)
        c.impostaArticoliPerScrittura(articoliPerScrittura);
    c.avanzamento = avanzamento;
    EsitoCarico e = c.Carica(f, scarti);
    scarti.Chiudi();
    QFile::remove(scarti.Nome());
    return e;
}

bool ScriviFile(const QString& nome, const QByteArray& dati) {
    QFile f(nome);
    return f.open(QIODevice::WriteOnly) && f.write(dati) == dati.size();
}

// The load in a child process, into the SQLite company `db`: it says on its
// standard output each time more rows are committed, and is killed by the
// test while it loads.
int CaricaInFiglio(const QString& fileDb, const QString& file) {
    QSqlDatabase db =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("figlio"));
    db.setDatabaseName(fileDb);
    if (!db.open())
        return 2;
    qint64 scritte = 0;
    const EsitoCarico e = Carica(
        db, file,
        [&scritte](const EsitoCarico& e) {
            if (e.righeScritte != scritte) {
                scritte = e.righeScritte;
                std::printf("scritte %lld\n", static_cast<long long>(scritte));
                std::fflush(stdout);
            }
            return true;
        },
        100);
    std::printf("fine %d\n", e.completo ? 1 : 0);
    return 0;
}

// A PostgreSQL server of this test's own: created in a temporary folder,
// listening on a socket there only, stopped as a crash stops it.
class ServerPrivato {
public:
    ServerPrivato()
        : m_bin(qEnvironmentVariable("QUARVEL_PGBIN",
                                     QStringLiteral("/usr/lib/postgresql/15/bin"))) {}
    ~ServerPrivato() {
        if (m_avviato)
            Ferma();
    }

    bool Disponibile() const { return QFile::exists(m_bin + QStringLiteral("/initdb")); }
    QString Cartella() const { return m_dir.path(); }

    bool Crea(QString* errore) {
        if (!m_dir.isValid()) {
            *errore = m_dir.errorString();
            return false;
        }
        if (::geteuid() == 0) { // the server refuses to run as root
            QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ExeOwner | QFile::ReadGroup |
                                                    QFile::ExeGroup | QFile::ReadOther |
                                                    QFile::ExeOther);
            if (QProcess::execute(QStringLiteral("chown"),
                                  {QStringLiteral("postgres:"), m_dir.path()}) != 0) {
                *errore = QStringLiteral("chown postgres non riuscito");
                return false;
            }
        }
        return Comando(QStringLiteral("initdb"),
                       {QStringLiteral("-D"), Dati(), QStringLiteral("-U"),
                        QStringLiteral("postgres"), QStringLiteral("-A"), QStringLiteral("trust"),
                        QStringLiteral("-E"), QStringLiteral("UTF8"),
                        QStringLiteral("--locale=C.UTF-8"), QStringLiteral("--lc-ctype=C")},
                       errore);
    }

    bool Avvia(QString* errore) {
        m_avviato =
            Comando(QStringLiteral("pg_ctl"),
                    {QStringLiteral("-D"), Dati(), QStringLiteral("-l"),
                     m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-w"),
                     QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("-o"),
                     QStringLiteral("-c listen_addresses='' -k %1 -c fsync=off").arg(m_dir.path()),
                     QStringLiteral("start")},
                    errore);
        return m_avviato;
    }

    // As a crash of the machine or of the server stops it.
    bool Ferma(QString* errore = nullptr) {
        QString e;
        const bool ok =
            Comando(QStringLiteral("pg_ctl"),
                    {QStringLiteral("-D"), Dati(), QStringLiteral("-m"),
                     QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")},
                    &e);
        if (ok)
            m_avviato = false;
        if (errore)
            *errore = e;
        return ok;
    }

    QSqlDatabase Connessione(const QString& nome, const QString& database) const {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), nome);
        db.setHostName(m_dir.path()); // the socket's folder
        db.setUserName(QStringLiteral("postgres"));
        db.setDatabaseName(database);
        return db;
    }

private:
    QString Dati() const { return m_dir.filePath(QStringLiteral("data")); }

    bool Comando(const QString& programma, const QStringList& argomenti, QString* errore) const {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        QStringList tutti = argomenti;
        QString eseguibile = m_bin + QLatin1Char('/') + programma;
        if (::geteuid() == 0) {
            tutti = QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                QStringLiteral("--"), eseguibile} +
                    argomenti;
            eseguibile = QStringLiteral("runuser");
        }
        p.setWorkingDirectory(m_dir.path());
        p.start(eseguibile, tutti);
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0) {
            if (errore)
                *errore = programma + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll());
            return false;
        }
        return true;
    }

    QString m_bin;
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/quarvel-pg-guasti-XXXXXX")};
    bool m_avviato = false;
};

} // namespace

class TstCaricoGuasti : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { InstallaUtilita(); }
    void fileDiByteACaso_data();
    void fileDiByteACaso();
    void processoUccisoSuSqlite();
    void fermatoDuranteUnaScrittura();
    void serverFermatoDuranteIlCarico_data();
    void serverFermatoDuranteIlCarico();

private:
    QTemporaryDir m_dir;
};

void TstCaricoGuasti::fileDiByteACaso_data() {
    QTest::addColumn<bool>("precarico");
    QTest::newRow("cercando") << false;
    QTest::newRow("articoli in memoria") << true;
}

void TstCaricoGuasti::fileDiByteACaso() {
    // Random bytes, NUL bytes, invalid UTF-8, a line of exactly a megabyte
    // and one of three: no crash, no endless loop; the lines of real
    // articles go in, every other line is refused, told and kept whole as
    // it was read (the overlong one too, though it is never held in memory).
    QFETCH(bool, precarico);
    const QString nomeDb = m_dir.filePath(QStringLiteral("garbage%1.db").arg(precarico));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("g"));
    db.setDatabaseName(nomeDb);
    QVERIFY(db.open());
    QString errore;
    QVERIFY2(CreaDittaConArticoli(db, &errore), qPrintable(errore));

    QRandomGenerator g(11);
    QByteArray file, scartate;
    QMap<QString, double> atteso;
    qint64 buone = 0;
    auto aggiungiScartata = [&](const QByteArray& riga, const QByteArray& conservata) {
        file += riga + "\n";
        scartate += conservata + "\r\n";
    };
    for (int r = 0; r < 400; ++r) {
        if (r % 4 == 0) { // a real article between the garbage
            const int a = int(g.bounded(Articoli)) + 1;
            file += Barcode(a) + ';' + QByteArray::number(r) + "\n";
            atteso[CodiceArticolo(a)] = r;
            ++buone;
            continue;
        }
        // "G" first: never blank, never an article
        QByteArray riga("G");
        const int lunghezza = int(g.bounded(200));
        for (int i = 0; i < lunghezza; ++i) {
            char c = char(g.bounded(256));
            if (c == '\n' || c == '\r')
                c = '\0';
            riga += c;
        }
        aggiungiScartata(riga, riga);
    }
    aggiungiScartata("G\xC3\x28\xA0\xA1;1", "G\xC3\x28\xA0\xA1;1"); // invalid UTF-8
    const QByteArray mega =
        "G" + QByteArray(LettoreRighe::MassimoRiga - 3, 'x') + ";1"; // a megabyte exactly
    aggiungiScartata(mega, mega);
    const QByteArray troppo = "G" + QByteArray(3 * LettoreRighe::MassimoRiga, 'y');
    aggiungiScartata(troppo, troppo); // whole, however long
    file += QByteArray(5, '\0');
    scartate += QByteArray(5, '\0') + "\r\n";
    const QString nomeFile = m_dir.filePath(QStringLiteral("garbage%1.txt").arg(precarico));
    QVERIFY(ScriviFile(nomeFile, file));

    QFile f(nomeFile);
    QVERIFY(f.open(QIODevice::ReadOnly));
    FileScarti scarti(nomeFile, QDateTime(QDate(2026, 12, 10), QTime(18, 0)));
    CaricoConteggi c(db, SetSeparato(), {QStringLiteral("INV1"), QStringLiteral("M1")});
    c.impostaPrecarico(precarico ? CaricoConteggi::Precarico::Sempre
                                 : CaricoConteggi::Precarico::Mai);
    c.impostaRighePerBlocco(37);
    qint64 avvisi = 0;
    c.rigaNonCaricata = [&avvisi](const RigaNonCaricata&, const EsitoCarico&) {
        ++avvisi;
        return true;
    };
    const EsitoCarico e = c.Carica(f, scarti);
    QVERIFY(scarti.Chiudi());
    QVERIFY2(e.completo, qPrintable(e.errore));
    QCOMPARE(e.righeScritte, buone);
    QCOMPARE(e.righeScartate, qint64(scartate.count("\r\n")));
    // every line not loaded is told, NUL bytes or not
    QCOMPARE(avvisi, e.righeScartate);
    QCOMPARE(Righe(db), Attese(atteso));
    QFile conservate(scarti.Nome());
    QVERIFY(conservate.open(QIODevice::ReadOnly));
    QCOMPARE(conservate.size(), qint64(scartate.size()));
    QVERIFY(conservate.readAll() == scartate);

    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("g"));
}

void TstCaricoGuasti::processoUccisoSuSqlite() {
    // The program killed while it loads: the company file passes its
    // integrity check, the rows committed are there, each with the quantity
    // of a line of its article, and the same file loaded again gives the
    // rows of a whole load.
    const QString nomeDb = m_dir.filePath(QStringLiteral("ucciso.db"));
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("prepara"));
        db.setDatabaseName(nomeDb);
        QVERIFY(db.open());
        QString errore;
        QVERIFY2(CreaDittaConArticoli(db, &errore), qPrintable(errore));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("prepara"));
    QMap<QString, double> atteso;
    QHash<QString, QSet<int>> quantita;
    const QString nomeFile = m_dir.filePath(QStringLiteral("ucciso.txt"));
    QVERIFY(ScriviFile(nomeFile, FileTerminale(60000, &atteso, &quantita)));

    QProcess figlio;
    figlio.start(QCoreApplication::applicationFilePath(),
                 {QString::fromLatin1(Figlio), nomeDb, nomeFile});
    QVERIFY(figlio.waitForStarted());
    int scritture = 0;
    bool finito = false;
    QElapsedTimer t;
    t.start();
    while (scritture < 3 && !finito && t.elapsed() < 60000) {
        if (!figlio.canReadLine() && !figlio.waitForReadyRead(200) &&
            figlio.state() == QProcess::NotRunning)
            break;
        while (figlio.canReadLine()) {
            const QByteArray riga = figlio.readLine();
            if (riga.startsWith("scritte "))
                ++scritture;
            else if (riga.startsWith("fine "))
                finito = true;
        }
    }
    QVERIFY2(scritture >= 3 && !finito && figlio.state() == QProcess::Running,
             "the load ended before it could be killed");
    figlio.kill(); // SIGKILL
    QVERIFY(figlio.waitForFinished());
    QCOMPARE(figlio.exitStatus(), QProcess::CrashExit);

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dopo"));
    db.setDatabaseName(nomeDb);
    QVERIFY(db.open());
    {
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("PRAGMA integrity_check")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
    }
    // three writes of a hundred articles each were committed
    const QStringList prima = Righe(db);
    QVERIFY2(prima.size() >= 100, qPrintable(QString::number(prima.size())));
    for (const QString& r : prima) {
        const QString articolo = r.section(QLatin1Char('='), 0, 0);
        const int q = r.section(QLatin1Char('='), 1).toInt();
        QVERIFY2(quantita.value(articolo).contains(q), qPrintable(r));
    }

    const EsitoCarico e = Carica(db, nomeFile);
    QVERIFY2(e.completo, qPrintable(e.errore));
    QCOMPARE(Righe(db), Attese(atteso));
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("dopo"));
}

void TstCaricoGuasti::fermatoDuranteUnaScrittura() {
    // A slow write (a trigger that works a few milliseconds a row): the
    // caller is told while it goes on, before its commit, and a stop asked
    // then comes once the rows waiting are committed, with nothing read after.
    const QString nomeDb = m_dir.filePath(QStringLiteral("lento.db"));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("l"));
    db.setDatabaseName(nomeDb);
    QVERIFY(db.open());
    QString errore;
    QVERIFY2(CreaDittaConArticoli(db, &errore), qPrintable(errore));
    QVERIFY2(
        Esegui(db,
               QStringLiteral("CREATE TRIGGER lento AFTER INSERT ON MagInventari BEGIN "
                              "SELECT count(*) FROM (WITH RECURSIVE c(x) AS (SELECT 1 UNION "
                              "ALL SELECT x + 1 FROM c WHERE x < 50000) SELECT x FROM c); END"),
               &errore),
        qPrintable(errore));
    QByteArray file;
    QMap<QString, double> scritte, tutte;
    for (int r = 1; r <= 300; ++r) { // each line an article of its own
        file += Barcode(r) + ';' + QByteArray::number(r) + "\n";
        if (r <= 100)
            scritte[CodiceArticolo(r)] = r;
        tutte[CodiceArticolo(r)] = r;
    }
    const QString nomeFile = m_dir.filePath(QStringLiteral("lento.txt"));
    QVERIFY(ScriviFile(nomeFile, file));

    QList<qint64> scritteAlMomento;
    QFile f(nomeFile);
    QVERIFY(f.open(QIODevice::ReadOnly));
    FileScarti scarti(nomeFile, QDateTime(QDate(2026, 12, 10), QTime(19, 0)));
    CaricoConteggi c(db, SetSeparato(), {QStringLiteral("INV1"), QStringLiteral("M1")});
    c.impostaRighePerBlocco(100);
    c.impostaArticoliPerScrittura(100);
    c.avanzamento = [&scritteAlMomento](const EsitoCarico& e) {
        scritteAlMomento << e.righeScritte;
        return false;
    };
    const EsitoCarico e = c.Carica(f, scarti);
    QVERIFY2(e.errore.isEmpty(), qPrintable(e.errore));
    QVERIFY(e.fermato);
    QCOMPARE(scritteAlMomento.value(0, -1), 0); // told before the commit
    QCOMPARE(e.righeLette, 100);
    QCOMPARE(e.righeScritte, 100);
    QCOMPARE(Righe(db), Attese(scritte));

    QVERIFY2(Esegui(db, QStringLiteral("DROP TRIGGER lento"), &errore), qPrintable(errore));
    const EsitoCarico ancora = Carica(db, nomeFile);
    QVERIFY2(ancora.completo, qPrintable(ancora.errore));
    QCOMPARE(Righe(db), Attese(tutte));
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("l"));
}

void TstCaricoGuasti::serverFermatoDuranteIlCarico_data() {
    QTest::addColumn<bool>("precarico");
    QTest::newRow("cercando i codici") << false;
    QTest::newRow("articoli in memoria") << true;
}

void TstCaricoGuasti::serverFermatoDuranteIlCarico() {
    // The server stops (as in a crash) after some rows are committed: the
    // load ends saying the connection was lost, not complete; once the
    // server is up again the rows committed before are there, as they were,
    // and the same file loaded again completes the load.
    QFETCH(bool, precarico);
    ServerPrivato server;
    if (!server.Disponibile())
        QSKIP("PostgreSQL non installato (initdb non trovato; QUARVEL_PGBIN)");
    QString errore;
    QVERIFY2(server.Crea(&errore), qPrintable(errore));
    QVERIFY2(server.Avvia(&errore), qPrintable(errore));
    {
        QSqlDatabase amm = server.Connessione(QStringLiteral("amm"), QStringLiteral("postgres"));
        QVERIFY2(amm.open(), qPrintable(amm.lastError().text()));
        QVERIFY2(Esegui(amm, QStringLiteral("CREATE DATABASE ditta"), &errore), qPrintable(errore));
        amm.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("amm"));

    QSqlDatabase db = server.Connessione(QStringLiteral("carico"), QStringLiteral("ditta"));
    QSqlDatabase osserva = server.Connessione(QStringLiteral("osserva"), QStringLiteral("ditta"));
    QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    QVERIFY2(Esegui(db, QStringLiteral("CREATE EXTENSION citext"), &errore), qPrintable(errore));
    QVERIFY2(CreaDittaConArticoli(db, &errore), qPrintable(errore));
    QVERIFY2(osserva.open(), qPrintable(osserva.lastError().text()));

    QMap<QString, double> atteso;
    const QString nomeFile = m_dir.filePath(QStringLiteral("server%1.txt").arg(precarico));
    QVERIFY(ScriviFile(nomeFile, FileTerminale(30000, &atteso, nullptr)));

    QStringList primaDelGuasto;
    qint64 scritteAlGuasto = -1;
    QString erroreFermata;
    const auto modo =
        precarico ? CaricoConteggi::Precarico::Sempre : CaricoConteggi::Precarico::Mai;
    const EsitoCarico e = Carica(
        db, nomeFile,
        [&](const EsitoCarico& e) {
            if (scritteAlGuasto < 0 && e.righeScritte > 0) {
                // what is committed now, seen from another session
                primaDelGuasto = Righe(osserva);
                scritteAlGuasto = e.righeScritte;
                if (!server.Ferma(&erroreFermata))
                    return false;
            }
            return true;
        },
        200, modo);
    QVERIFY2(erroreFermata.isEmpty(), qPrintable(erroreFermata));
    QVERIFY2(scritteAlGuasto > 0, "no rows written before the end of the file");
    QVERIFY(!e.completo);
    QVERIFY(!e.fermato);
    QVERIFY2(e.errore.startsWith(QStringLiteral("La connessione al database si è interrotta")),
             qPrintable(e.errore));
    QVERIFY(e.righeLette < 30000);
    QCOMPARE(e.righeScritte, scritteAlGuasto);

    QVERIFY2(server.Avvia(&errore), qPrintable(errore));
    db.close();
    osserva.close();
    QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    QVERIFY(!primaDelGuasto.isEmpty());
    QCOMPARE(Righe(db), primaDelGuasto);

    const EsitoCarico ancora = Carica(db, nomeFile, {}, 200, modo);
    QVERIFY2(ancora.completo, qPrintable(ancora.errore));
    QCOMPARE(Righe(db), Attese(atteso));

    db.close();
    db = QSqlDatabase();
    osserva = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("carico"));
    QSqlDatabase::removeDatabase(QStringLiteral("osserva"));
}

int main(int argc, char* argv[]) {
    if (argc == 4 && qstrcmp(argv[1], Figlio) == 0) {
        QCoreApplication app(argc, argv);
        InstallaUtilita();
        return CaricaInFiglio(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication app(argc, argv);
    TstCaricoGuasti t;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&t, argc, argv);
}

#include "tst_caricoguasti.moc"
