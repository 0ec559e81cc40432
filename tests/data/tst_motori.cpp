// The data-access component against the real engines: an SQLite file and a
// PostgreSQL server reached by data source name, file data source and
// "ODBC;" text, each through unixODBC (QODBC) and through the native driver.
// The PostgreSQL rows need the server of scripts/services/postgres.sh (its
// environment: QUARVEL_PG_DSN and the rest); without it they are skipped.

#include "data/ComponenteDatiSql.h"
#include "data/Connessioni.h"
#include "data/Schema.h"

#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"

#include "utility/Utilita.h"

#include "support/MotoriProva.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace quarvel;

namespace {

QString Lit(const QString& s) {
    return "'" + QString(s).replace("'", "''") + "'";
}

// The base query of the inventory counts form.
const QString PrepSql =
    QString(
        "SELECT MagInventari.CodInv,MagInventari.Articolo,Articoli.Descrizione AS DesArticolo") +
    ",MagInventari.Livello1,MagInventari.Livello2" + ",MagInventari.Giacenza" +
    ",MagInventari.Magazzino,Magazzini.Descrizione AS DesMagaz" +
    " FROM (MagInventari LEFT JOIN Articoli" + " ON MagInventari.Articolo = Articoli.Articolo)" +
    " LEFT JOIN Magazzini" + " ON Magazzini.Magazzino = MagInventari.Magazzino";

const QString LifoTesta = QString("SELECT Anno,Articolo,Livello1,Livello2,Giacenza") +
                          ",IIF(Giacenza=0,0,ValGiacenza / Giacenza) AS PrezzoEuro" +
                          ",ValGiacenza,ValMedioUnitario" +
                          ",IIF(Giacenza=0,0,ValGiacenzaLire / Giacenza) AS Prezzo" +
                          ",ValGiacenzaLire ,ValMedioUnitarioLire";

QString Livelli(const QString& articolo) {
    return QString("SELECT Articoli.Articolo, Articoli.LivGruppo1, Articoli.LivGruppo2, "
                   "LivGruppi_1.*, LivGruppi_2.*") +
           " FROM (Articoli" + " LEFT JOIN LivGruppi AS LivGruppi_1" +
           " ON Articoli.LivGruppo1 = LivGruppi_1.LivGruppo)" +
           " LEFT JOIN LivGruppi AS LivGruppi_2" +
           " ON Articoli.LivGruppo2 = LivGruppi_2.LivGruppo" + " WHERE" +
           " Articoli.Articolo = " + Lit(articolo);
}

QString Normale(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return "<null>";
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(v.toDouble(), 'g', 10);
    case QMetaType::QDate:
        return v.toDate().toString(Qt::ISODate);
    default:
        return v.toString();
    }
}

QStringList Righe(IRecordset& rs) {
    QStringList righe;
    while (!rs.Eof()) {
        QStringList r;
        for (int i = 0; i < rs.NumeroCampi(); ++i)
            r << Normale(rs.Campo(i));
        righe << r.join("|");
        rs.MoveNext();
    }
    return righe;
}

struct Motore {
    QString nome; // the database name given to Apri
    bool soloOdbc = false;
    bool pg = false;
};

// How the database is named to Apri: the SQLite file, or the server by data
// source name, by file data source or by an "ODBC;" text.
enum class Percorso { File, Dsn, FileDsn, Testo };

// The test service runs the server: its data source and login are exported.
bool ConServer() {
    return !qEnvironmentVariableIsEmpty("QUARVEL_PG_DSN") && prova::DatabasePgProva::Disponibile();
}

} // namespace

Q_DECLARE_METATYPE(Percorso)

// The cases of the engine run once per way in (the global rows); those that
// choose their databases themselves run on the first row only.
class TstMotori : public QObject {
    Q_OBJECT
private slots:
    void initTestCase_data();
    void initTestCase();
    void cleanupTestCase();
    void percorsiPostgres();
    void queryDelProgramma_data();
    void queryDelProgramma();
    void campiQualificati();
    void campiQualificatiRigaPerRiga_data();
    void campiQualificatiRigaPerRiga();
    void letturaConAltreIstruzioni_data();
    void letturaConAltreIstruzioni();
    void barraRovesciata();
    void chiaveDuplicata();
    void transazione();
    void codiciStrani();
    void scorrimento();
    void connessioneMotore_data();
    void connessioneMotore();
    void solaLetturaAncheNelleCopie_data();
    void solaLetturaAncheNelleCopie();
    void erroriApertura_data();
    void erroriApertura();
    void fileDanneggiato_data();
    void fileDanneggiato();
    void walEPassword();
    void fileDiRete_data();
    void fileDiRete();
    void programmaDitta_data();
    void programmaDitta();

private:
    QTemporaryDir m_dir;
    QString m_file; // the SQLite company
    bool m_pg = false;
    // The test's own PostgreSQL databases: the company of the cases, and the
    // one the company command fills.
    prova::DatabasePgProva m_dbPg{QStringLiteral("quarvel_tst_dati")};
    prova::DatabasePgProva m_dbDitta{QStringLiteral("quarvel_tst_ditta")};
    QString m_dsn, m_dsnFile, m_testo, m_uid, m_pwd;
    QString m_host, m_porta, m_driver;
    std::unique_ptr<IComponenteDati> m_base; // SQLite, for comparisons

    Motore corrente() const;
    std::unique_ptr<IComponenteDati> Apri(const Motore& m, QString* risposta = nullptr);
    QString CreaSqlite(const QString& nome);
};

void TstMotori::initTestCase() {
    dati::Registra();
    QVERIFY(m_dir.isValid());
    m_file = CreaSqlite("ditta.db");
    m_base = Apri(Motore{m_file});

    if (!ConServer())
        return;
    m_pg = true;
    m_dsn = qEnvironmentVariable("QUARVEL_PG_DSN");
    m_uid = qEnvironmentVariable("QUARVEL_PG_UID");
    m_pwd = qEnvironmentVariable("QUARVEL_PG_PWD");
    const QString host = m_host = qEnvironmentVariable("PGHOST", "127.0.0.1");
    const QString porta = m_porta = qEnvironmentVariable("PGPORT");
    const QString driver = m_driver =
        qEnvironmentVariable("QUARVEL_PG_DRIVER", "PostgreSQL Unicode");
    // Databases of this test's own: other tests may use the server's.
    QString errore;
    QVERIFY2(m_dbPg.Crea(&errore), qPrintable(errore));
    QVERIFY2(m_dbDitta.Crea(&errore), qPrintable(errore));
    {
        QSqlDatabase db = m_dbPg.Connessione("imposta");
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        // A server whose sessions read a backslash in '...' as an escape, as
        // older set-ups do: every connection of the program must turn the
        // standard reading back on.
        QSqlQuery q(db);
        QVERIFY2(
            q.exec("ALTER DATABASE " + m_dbPg.Nome() + " SET standard_conforming_strings = off"),
            qPrintable(q.lastError().text()));
    }
    QSqlDatabase::removeDatabase("imposta");
    // Data source and file data source pointing at it.
    const QString ini = m_dir.filePath("odbc.ini");
    QFile::copy(qEnvironmentVariable("ODBCINI"), ini);
    QFile f(ini);
    QVERIFY(f.open(QIODevice::Append));
    m_dsn = "quarvel_tst_dati";
    f.write(QString("\n[%1]\nDriver=%2\nServername=%3\nPort=%4\nDatabase=%5\nCommLog=0\n")
                .arg(m_dsn, driver, host, porta, m_dbPg.Nome())
                .toUtf8());
    f.close();
    qputenv("ODBCINI", QFile::encodeName(ini));
    m_dsnFile = m_dir.filePath("ditta.DSN");
    QFile d(m_dsnFile);
    QVERIFY(d.open(QIODevice::WriteOnly));
    d.write(QString("[ODBC]\r\nDRIVER=%1\r\nSERVER=%2\r\nPORT=%3\r\nDATABASE=%4\r\nCommLog=0\r\n")
                .arg(driver, host, porta, m_dbPg.Nome())
                .toUtf8());
    d.close();
    m_testo = QString("odbc;DRIVER={%1};SERVER=%2;PORT=%3;DATABASE=%4;UID=%5;PWD=%6")
                  .arg(driver, host, porta, m_dbPg.Nome(), m_uid, m_pwd);

    dati::Credenziali c;
    c.utente = m_uid;
    c.password = m_pwd;
    QSqlDatabase db = dati::ApriDatabase(m_dsn, {}, c, "crea");
    QCOMPARE(db.driverName(), QString("QPSQL"));
    dati::CreaDitta(db, true);
    dati::CreaComune(db, true);
    dati::GeneraDemo(db, dati::OpzioniDemo{});
    dati::GeneraDemoComune(db);
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("crea");
}

void TstMotori::cleanupTestCase() {
    m_base.reset();
    m_dbPg.Elimina();
    m_dbDitta.Elimina();
}

QString TstMotori::CreaSqlite(const QString& nome) {
    const QString file = m_dir.filePath(nome);
    QFile::remove(file);
    QFile f(file);
    f.open(QIODevice::WriteOnly);
    f.close();
    {
        QSqlDatabase db = dati::ApriDatabase(file, {}, {}, "crea");
        dati::CreaDitta(db, false);
        dati::CreaComune(db, false);
        dati::GeneraDemo(db, dati::OpzioniDemo{});
        dati::GeneraDemoComune(db);
        db.close();
    }
    QSqlDatabase::removeDatabase("crea");
    return file;
}

// SQLite first; the ways into the server, through unixODBC and through Qt's
// own driver, when the test service runs it.
void TstMotori::initTestCase_data() {
    prova::MotoriProva::Colonna();
    QTest::addColumn<Percorso>("percorso");
    QTest::newRow("sqlite") << prova::Motore::Sqlite << Percorso::File;
    if (!ConServer())
        return;
    for (const auto& [nome, p] :
         {std::pair{"dsn", Percorso::Dsn}, std::pair{"filedsn", Percorso::FileDsn},
          std::pair{"testo", Percorso::Testo}}) {
        QTest::addRow("%s-odbc", nome) << prova::Motore::Odbc << p;
        QTest::addRow("%s-nativo", nome) << prova::Motore::Postgres << p;
    }
}

Motore TstMotori::corrente() const {
    QFETCH_GLOBAL(prova::Motore, motore);
    QFETCH_GLOBAL(Percorso, percorso);
    switch (percorso) {
    case Percorso::File:
        return Motore{m_file};
    case Percorso::Dsn:
        return Motore{m_dsn, motore == prova::Motore::Odbc, true};
    case Percorso::FileDsn:
        return Motore{m_dsnFile, motore == prova::Motore::Odbc, true};
    case Percorso::Testo:
        break;
    }
    return Motore{m_testo, motore == prova::Motore::Odbc, true};
}

std::unique_ptr<IComponenteDati> TstMotori::Apri(const Motore& m, QString* risposta) {
    auto c = CreaComponenteDati();
    if (m.pg && TipoDiDatabase(m.nome) != TipoDatabase::TestoOdbc) {
        c->ImpostaParametro("DbSqlPubUID", m_uid);
        c->ImpostaParametro("DbSqlPubPWD", m_pwd);
    }
    c->ImpostaParametro("DbSqlSoloOdbc", m.soloOdbc ? "S" : "N");
    QString r;
    c->Apri(m.nome, 0, false, false, {}, r);
    if (risposta)
        *risposta = r;
    return c;
}

void TstMotori::percorsiPostgres() {
    const Motore motore = corrente();
    if (!m_pg)
        QSKIP("PostgreSQL not configured: QUARVEL_PG_DSN is not set (make test starts the server "
              "with scripts/services/postgres.sh); only the SQLite rows ran");
    if (!motore.pg)
        return;
    QString risposta;
    auto c = Apri(motore, &risposta);
    QVERIFY(!risposta.isEmpty() && !risposta.startsWith("Err:"));
    QCOMPARE(c->Database().driverName(), QString(motore.soloOdbc ? "QODBC" : "QPSQL"));
    // Nothing of psqlODBC's communication log is left behind.
    QVERIFY(QDir("/tmp").entryList({"mylog_*", "psqlodbc_*"}).isEmpty());
}

void TstMotori::queryDelProgramma_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("attese"); // rows that must be there (SQLite too); empty: any
    QTest::addColumn<bool>("ordinata");      // rows compared in order
    struct Q {
        const char* nome;
        QString sql;
        QStringList attese;
        bool ordinata;
    };
    const QList<Q> query = {
        {"currency",
         "Select * from Monete" + QString(" where moneta = ") + Lit("Euro"),
         {"Euro|Euro|2"},
         true},
        {"lira",
         "Select * from Monete" + QString(" where moneta = ") + Lit("l."),
         {"L.|Lire|0"},
         true},
        {"counts of one inventory",
         PrepSql + " WHERE CodInv = " + Lit("INV2023") + " Order by MagInventari.Articolo",
         {},
         false},
        {"empty list", PrepSql + " WHERE 1=2", {"<nessuna>"}, true},
        {"latest inventory",
         "SELECT TOP 1 MagDescrInv.CodInv FROM MagDescrInv" +
             QString(" ORDER BY MagDescrInv.DataInvent DESC, MagDescrInv.CodInv Desc"),
         {"INV2025"},
         true},
        {"article by barcode",
         "Select Articolo from Articoli" + QString(" Where BarCode = ") + Lit("8000000000019"),
         {"ART000001"},
         true},
        {"article by code, other case",
         "Select Articolo from Articoli" + QString(" Where Articolo = ") + Lit("art000002"),
         {"ART000002"},
         true},
        {"headers",
         "SELECT CodInv, DataInvent,Descrizione FROM MagDescrInv",
         {"INV2023|2023-12-31|Inventario 2023", "INV2025|2024-12-31|<null>"},
         false},
        {"counts of a header",
         "SELECT MagInventari.* FROM MagInventari" + QString(" WHERE CodInv = ") + Lit("INV2023"),
         {},
         false},
        {"LIFO layers of an article without levels",
         LifoTesta + " FROM ArtLiFo WHERE" + " Articolo = " + Lit("ART000001") + " Order by Anno",
         {},
         true},
        {"LIFO layers with both levels",
         LifoTesta + " FROM ArtLiFo WHERE" + " Articolo = " + Lit("ART000010") +
             " AND Livello1 = " + Lit("L") + " AND Livello2 = " + Lit("BLU") + " Order by Anno",
         {},
         true},
        {"LIFO empty list", LifoTesta + " FROM ArtLiFo WHERE 1=2", {"<nessuna>"}, true},
        {"LIFO back to article",
         "Select Anno,Articolo,Livello1,Livello2,Giacenza" +
             QString(",IIF(Giacenza=0,0,ValGiacenza / Giacenza) AS PrezzoEuro") +
             ",ValGiacenza,ValMedioUnitario" +
             ",IIF(Giacenza=0,0,ValGiacenzaLire / Giacenza) AS Prezzo" +
             ",ValGiacenzaLire ,ValMedioUnitarioLire" + " FROM ArtLifo WHERE 1=2",
         {"<nessuna>"},
         true},
        {"levels of an article",
         Livelli("ART000010"),
         {"ART000010|TG|CL|TG|Taglia|CL|Colore"},
         true},
        {"levels: second group only",
         Livelli("ART000007"),
         {"ART000007|<null>|CL|<null>|<null>|CL|Colore"},
         true},
        {"active article decoded",
         "SELECT Articolo FROM Articoli WHERE Articolo = " + Lit("ART000012") +
             " AND (ucase(Inattivo)<>'S') ",
         {"ART000012"},
         true},
        {"inactive article not decoded",
         "SELECT Articolo FROM Articoli WHERE Articolo = " + Lit("ART000013") +
             " AND (ucase(Inattivo)<>'S') ",
         {"<nessuna>"},
         true},
        {"common database text",
         "Select * from Appoggio" + QString(" Where Codice = ") + Lit("PdfEmail"),
         {},
         true},
    };
    for (const auto& q : query)
        QTest::newRow(q.nome) << q.sql << q.attese << q.ordinata;
}

void TstMotori::queryDelProgramma() {
    const Motore motore = corrente();
    QFETCH(QString, sql);
    QFETCH(QStringList, attese);
    QFETCH(bool, ordinata);
    auto c = Apri(motore);
    auto rs = c->ApriRecordset(sql);
    QStringList righe = Righe(*rs);
    auto base = m_base->ApriRecordset(sql);
    QStringList righeBase = Righe(*base);
    if (attese == QStringList{"<nessuna>"}) {
        QVERIFY(righe.isEmpty());
        QVERIFY(righeBase.isEmpty());
        return;
    }
    QVERIFY2(!righe.isEmpty(), "no rows");
    if (ordinata && !attese.isEmpty())
        QCOMPARE(righe, attese);
    for (const QString& a : attese)
        QVERIFY2(righe.contains(a), qPrintable(a + " missing from " + righe.join(" / ")));
    if (!ordinata) {
        righe.sort();
        righeBase.sort();
    }
    QCOMPARE(righe, righeBase);
}

void TstMotori::campiQualificati() {
    const Motore motore = corrente();
    auto c = Apri(motore);
    {
        auto rs = c->ApriRecordset(Livelli("ART000010"));
        QVERIFY(!rs->Eof());
        QCOMPARE(rs->Campo("Articoli.Livgruppo2").toString(), QString("CL"));
        QCOMPARE(rs->Campo("LivGruppi_1.Descrizione").toString(), QString("Taglia"));
        QCOMPARE(rs->Campo("LivGruppi_2.Descrizione").toString(), QString("Colore"));
        QCOMPARE(rs->Campo("livgruppi_2.LIVGRUPPO").toString(), QString("CL"));
        QCOMPARE(rs->Campo("Articolo").toString(), QString("ART000010"));
        try {
            rs->Campo("LivGruppi_3.Descrizione");
            QFAIL("unknown field accepted");
        } catch (const Errore& e) {
            QCOMPARE(e.numero(), 3265);
        }
    }
    {
        auto rs = c->ApriRecordset(Livelli("ART000007"));
        QVERIFY(!rs->Campo("Articoli.Livgruppo1").isValid());
        QVERIFY(!rs->Campo("LivGruppi_1.Descrizione").isValid());
        QCOMPARE(rs->Campo("LivGruppi_2.Descrizione").toString(), QString("Colore"));
    }
    {
        auto rs = c->ApriRecordset(PrepSql + " WHERE CodInv = 'INV2023' AND MagInventari.Articolo "
                                             "= 'ART000002' AND MagInventari.Magazzino = 'M02'");
        QCOMPARE(rs->Campo("DesArticolo").toString(), QString("Articolo dimostrativo 2"));
        QCOMPARE(rs->Campo("desmagaz").toString(), QString("Deposito Nord"));
        QCOMPARE(rs->Campo("MagInventari.Livello1").toString(), QString("~ç~"));
    }
}

void TstMotori::campiQualificatiRigaPerRiga_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("campi");
    const QString livelli = "SELECT Articoli.Articolo, Articoli.LivGruppo1, LivGruppi_1.*, "
                            "LivGruppi_2.* FROM (Articoli LEFT JOIN LivGruppi AS LivGruppi_1 ON "
                            "Articoli.LivGruppo1 = LivGruppi_1.LivGruppo) LEFT JOIN LivGruppi AS "
                            "LivGruppi_2 ON Articoli.LivGruppo2 = LivGruppi_2.LivGruppo";
    const QString dueTabelle = " FROM Articoli LEFT JOIN LivGruppi ON Articoli.LivGruppo1 = "
                               "LivGruppi.LivGruppo";
    struct Q {
        const char* nome;
        QString sql;
        QStringList campi;
    };
    const QList<Q> query = {
        {"one table twice",
         livelli,
         {"Articoli.Articolo", "LivGruppi_1.Descrizione", "LivGruppi_2.LivGruppo"}},
        {"all columns of two tables",
         "SELECT Articoli.*, LivGruppi.*" + dueTabelle,
         {"Articoli.Articolo", "Articoli.Descrizione", "LivGruppi.Descrizione"}},
        {"star of two tables",
         "SELECT *" + dueTabelle,
         {"articoli.articolo", "LivGruppi.LivGruppo", "LivGruppi.Descrizione"}},
        {"named columns",
         PrepSql + " WHERE CodInv = 'INV2024'",
         {"MagInventari.Articolo", "MagInventari.Magazzino", "Articoli.Descrizione"}},
    };
    for (const auto& q : query)
        QTest::newRow(q.nome) << q.sql << q.campi;
}

// Fields by qualified name row after row, as the level lookup reads them:
// finding where a name points must not disturb the rows still to come.
void TstMotori::campiQualificatiRigaPerRiga() {
    const Motore motore = corrente();
    QFETCH(QString, sql);
    QFETCH(QStringList, campi);
    try {
        auto leggi = [&](IComponenteDati& c) {
            auto rs = c.ApriRecordset(sql);
            QStringList righe;
            while (!rs->Eof()) {
                QStringList r;
                for (const QString& campo : campi)
                    r << Normale(rs->Campo(campo));
                righe << r.join("|");
                rs->MoveNext();
            }
            righe.sort();
            return righe;
        };
        auto c = Apri(motore);
        const QStringList righe = leggi(*c);
        QVERIFY(righe.size() > 10);
        QCOMPARE(righe, leggi(*m_base));
    } catch (const Errore& e) {
        QFAIL(qPrintable(QString("Errore %1: %2").arg(e.numero()).arg(e.descrizione())));
    }
}

void TstMotori::letturaConAltreIstruzioni_data() {
    QTest::addColumn<bool>("transazione");
    QTest::newRow("in a transaction") << true;
    QTest::newRow("alone") << false;
}

// A record set read to its end while other statements run on the same
// connection, as the loading of a terminal file does: for each article a
// lookup and a write, inside the component's transaction or without one.
void TstMotori::letturaConAltreIstruzioni() {
    const Motore motore = corrente();
    QFETCH(bool, transazione);
    // Whatever happens, the rows written are gone afterwards (the guard runs
    // after the connection below closed, its transaction undone).
    auto pulisci = qScopeGuard([&] {
        try {
            auto d = Apri(motore);
            d->Esegui("DELETE FROM MagInventari WHERE CodInv = 'TSTLET'");
            d->Esegui("DELETE FROM MagDescrInv WHERE CodInv = 'TSTLET'");
        } catch (const Errore&) {
        }
    });
    try {
        auto c = Apri(motore);
        const QString articoli = "SELECT Articolo FROM Articoli ORDER BY Articolo";
        const QStringList attesi = Righe(*m_base->ApriRecordset(articoli));
        QVERIFY(attesi.size() > 10);
        c->Esegui("DELETE FROM MagInventari WHERE CodInv = 'TSTLET'");
        c->Esegui("DELETE FROM MagDescrInv WHERE CodInv = 'TSTLET'");
        if (transazione)
            c->Inizia();
        {
            // Alone first, then with the other statements.
            auto rs = c->ApriRecordset(articoli);
            QCOMPARE(Righe(*rs), attesi);
        }
        c->Esegui("INSERT INTO MagDescrInv (CodInv, DataInvent) VALUES ('TSTLET', #2024-06-30#)");
        auto rs = c->ApriRecordset(articoli);
        QStringList letti;
        while (!rs->Eof()) {
            const QString a = rs->Campo("Articolo").toString();
            letti << a;
            auto d =
                c->ApriRecordset("SELECT Descrizione FROM Articoli WHERE Articolo = " + Lit(a));
            QVERIFY2(!d->Eof(), qPrintable(a));
            QCOMPARE(c->Esegui("INSERT INTO MagInventari (CodInv, Articolo, Livello1, Livello2, "
                               "Magazzino, Giacenza) VALUES ('TSTLET', " +
                               Lit(a) + ", '~ç~', '~ç~', 'M01', 1)"),
                     qint64(1));
            rs->MoveNext();
        }
        QCOMPARE(letti, attesi);
        rs->MoveFirst();
        QCOMPARE(rs->Campo(0).toString(), attesi.first());
        rs->MoveLast();
        QCOMPARE(rs->Campo(0).toString(), attesi.last());
        QCOMPARE(rs->RecordCount(), qint64(attesi.size()));
        auto conta = [&] {
            return c
                ->ApriRecordset("SELECT COUNT(*) AS n FROM MagInventari WHERE CodInv = 'TSTLET'")
                ->Campo("n")
                .toLongLong();
        };
        QCOMPARE(conta(), qint64(attesi.size()));
        if (transazione) {
            c->Annulla();
            QCOMPARE(conta(), qint64(0));
        }
    } catch (const Errore& e) {
        QFAIL(qPrintable(QString("Errore %1: %2").arg(e.numero()).arg(e.descrizione())));
    }
}

// Texts holding backslashes, quoted by the utility's SQL literal, are
// written and read back as they are, whatever the server's own default.
void TstMotori::barraRovesciata() {
    const Motore motore = corrente();
    try {
        auto c = Apri(motore);
        UtilitaSuite u;
        const QStringList codici = {"C:\\dati\\ditta", "fine\\", "a\\'b", "\\' OR 'x'='x", "\\\\n"};
        c->Esegui("DELETE FROM Articoli WHERE Descrizione = 'barra'");
        for (const QString& k : codici)
            QCOMPARE(c->Esegui("INSERT INTO Articoli (Articolo, Descrizione, BarCode) VALUES (" +
                               u.ValoreSql(k, Tipo::Testo) + ", 'barra', " +
                               u.ValoreSql(k, Tipo::Testo) + ")"),
                     qint64(1));
        for (const QString& k : codici) {
            auto rs = c->ApriRecordset("Select Articolo, BarCode from Articoli Where Articolo = " +
                                       u.ValoreSql(k, Tipo::Testo));
            QVERIFY2(!rs->Eof(), qPrintable(k));
            QCOMPARE(rs->Campo("Articolo").toString(), k);
            QCOMPARE(rs->Campo("BarCode").toString(), k);
            rs->MoveNext();
            QVERIFY(rs->Eof());
        }
        QCOMPARE(c->Esegui("DELETE FROM Articoli WHERE Descrizione = 'barra'"),
                 qint64(codici.size()));
        if (!motore.pg)
            return;
        // The setting is the connection's own, and a copy of the connection (the
        // list count runs on one) has it too.
        auto acceso = [](const QSqlDatabase& db) {
            QSqlQuery q(db);
            return q.exec("SHOW standard_conforming_strings") && q.next() ? q.value(0).toString()
                                                                          : q.lastError().text();
        };
        QCOMPARE(acceso(c->Database()), QString("on"));
        {
            QSqlDatabase copia = QSqlDatabase::cloneDatabase(c->Database(), "copia");
            QVERIFY(copia.open());
            QCOMPARE(acceso(copia), QString("on"));
        }
        QSqlDatabase::removeDatabase("copia");
    } catch (const Errore& e) {
        QFAIL(qPrintable(QString("Errore %1: %2").arg(e.numero()).arg(e.descrizione())));
    }
}

void TstMotori::chiaveDuplicata() {
    const Motore motore = corrente();
    auto c = Apri(motore);
    c->Esegui("DELETE * FROM MagDescrInv WHERE CodInv = 'TSTDUP'");
    c->Esegui("DELETE * FROM MagInventari WHERE CodInv = 'TSTDUP'");
    QCOMPARE(c->Esegui("INSERT INTO MagDescrInv (CodInv, DataInvent) VALUES ('TSTDUP', "
                       "#2024-05-06#)"),
             qint64(1));
    const QString riga = "Insert Into MagInventari(CodInv,Articolo,Livello1,Livello2,Magazzino,"
                         "Giacenza) VALUES (%1,'ART000001','~ç~','~ç~','M01',5)";
    QCOMPARE(c->Esegui(riga.arg("'TSTDUP'")), qint64(1));
    for (const QString& codice : {QString("'TSTDUP'"), QString("'tstdup'")}) {
        try {
            c->Esegui(riga.arg(codice));
            QFAIL("duplicate key accepted");
        } catch (const Errore& e) {
            QCOMPARE(e.numero(), 3022);
            QVERIFY(!e.descrizione().isEmpty());
        }
    }
    try {
        c->Esegui("INSERT INTO MagDescrInv (CodInv, DataInvent) VALUES ('tstDUP', #2024-05-06#)");
        QFAIL("duplicate header accepted");
    } catch (const Errore& e) {
        QCOMPARE(e.numero(), 3022);
    }
    QCOMPARE(c->Esegui("UPDATE MagInventari Set Giacenza = 7.5 WHERE CodInv = 'TSTDUP' AND "
                       "Articolo = 'art000001' AND Livello1 = '~ç~' AND Livello2 = '~ç~' AND "
                       "Magazzino = 'M01'"),
             qint64(1));
    auto rs = c->ApriRecordset("SELECT Giacenza, DataInvent FROM MagInventari, MagDescrInv WHERE "
                               "MagInventari.CodInv = MagDescrInv.CodInv AND MagInventari.CodInv "
                               "= 'TSTDUP'");
    QCOMPARE(rs->Campo("Giacenza").toDouble(), 7.5);
    QCOMPARE(rs->Campo("DataInvent").toDate(), QDate(2024, 5, 6));
    rs->Close();
    QCOMPARE(c->Esegui("DELETE * FROM MagInventari WHERE CodInv = 'TSTDUP'"), qint64(1));
    c->Esegui("DELETE FROM MagDescrInv WHERE CodInv = 'TSTDUP'");
}

void TstMotori::transazione() {
    const Motore motore = corrente();
    auto c = Apri(motore);
    auto conta = [&](const QString& tabella) {
        auto rs =
            c->ApriRecordset("SELECT COUNT(*) AS n FROM " + tabella + " WHERE CodInv = 'INV2023'");
        return rs->Campo("n").toLongLong();
    };
    const qint64 righe = conta("MagInventari");
    QVERIFY(righe > 0);
    // A header and its cascade, cancelled: both tables untouched.
    c->Inizia();
    QCOMPARE(c->Esegui("DELETE * FROM MagInventari WHERE CodInv = 'INV2023'"), righe);
    QCOMPARE(c->Esegui("DELETE FROM MagDescrInv WHERE CodInv = 'INV2023'"), qint64(1));
    QCOMPARE(conta("MagInventari"), qint64(0));
    c->Annulla();
    QCOMPARE(conta("MagInventari"), righe);
    QCOMPARE(conta("MagDescrInv"), qint64(1));

    // A failing statement inside a transaction undoes itself only, on every
    // path (psqlODBC's way).
    c->Esegui("DELETE FROM MagDescrInv WHERE CodInv LIKE 'TSTTX%'");
    c->Inizia();
    c->Esegui("INSERT INTO MagDescrInv (CodInv, DataInvent) VALUES ('TSTTX1', #2024-01-02#)");
    try {
        c->Esegui("INSERT INTO MagDescrInv (CodInv, DataInvent) VALUES ('TSTTX1', #2024-01-02#)");
        QFAIL("duplicate key accepted");
    } catch (const Errore& e) {
        QCOMPARE(e.numero(), 3022);
    }
    c->Esegui("INSERT INTO MagDescrInv (CodInv, DataInvent) VALUES ('TSTTX2', #2024-01-03#)");
    c->Conferma();
    auto rs = c->ApriRecordset("SELECT CodInv FROM MagDescrInv WHERE CodInv LIKE 'TSTTX%' ORDER "
                               "BY CodInv");
    QCOMPARE(Righe(*rs), (QStringList{"TSTTX1", "TSTTX2"}));
    QCOMPARE(c->Esegui("DELETE FROM MagDescrInv WHERE CodInv LIKE 'TSTTX%'"), qint64(2));
}

void TstMotori::codiciStrani() {
    const Motore motore = corrente();
    auto c = Apri(motore);
    const QStringList codici = {
        "O'Brien",    "a;b",     "x--y",   "/*c*/", "[q]",
        "#1/1/2000#", "a&b",     "\"dq\"", "~ç~àè", "z'; DROP TABLE Articoli; --",
        "True",       "  spazi "};
    c->Esegui("DELETE FROM Articoli WHERE Descrizione = 'strano'");
    for (const QString& k : codici)
        QCOMPARE(c->Esegui("INSERT INTO Articoli (Articolo, Descrizione, BarCode) VALUES (" +
                           Lit(k) + ", 'strano', " + Lit(k) + ")"),
                 qint64(1));
    for (const QString& k : codici) {
        auto rs =
            c->ApriRecordset("Select Articolo, BarCode from Articoli Where Articolo = " + Lit(k));
        QVERIFY2(!rs->Eof(), qPrintable(k));
        QCOMPARE(rs->Campo("Articolo").toString(), k);
        QCOMPARE(rs->Campo("BarCode").toString(), k);
    }
    QCOMPARE(c->Esegui("DELETE FROM Articoli WHERE Descrizione = 'strano'"), qint64(codici.size()));
}

void TstMotori::scorrimento() {
    const Motore motore = corrente();
    auto c = Apri(motore);
    auto nessunRecord = [](auto&& f) {
        try {
            f();
        } catch (const Errore& e) {
            return e.numero() == 3021;
        }
        return false;
    };
    auto rs = c->ApriRecordset("SELECT CodInv, DataInvent FROM MagDescrInv ORDER BY CodInv");
    QVERIFY(!rs->Eof() && !rs->Bof());
    QCOMPARE(rs->RecordCount(), qint64(1));
    QCOMPARE(rs->DimensioneCampo("CodInv"), 7);
    QCOMPARE(rs->DimensioneCampo("DataInvent"), 8);
    rs->MoveLast();
    QCOMPARE(rs->RecordCount(), qint64(3));
    QCOMPARE(rs->Campo("CodInv").toString(), QString("INV2025"));
    rs->MovePrevious();
    QCOMPARE(rs->Campo(0).toString(), QString("INV2024"));
    rs->MoveFirst();
    QCOMPARE(rs->Campo(0).toString(), QString("INV2023"));
    rs->MovePrevious();
    QVERIFY(rs->Bof());
    QVERIFY(nessunRecord([&] { rs->Campo(0); }));
    rs->MoveNext();
    QCOMPARE(rs->Campo(0).toString(), QString("INV2023"));
    rs->MoveNext();
    rs->MoveNext();
    rs->MoveNext();
    QVERIFY(rs->Eof());
    QVERIFY(nessunRecord([&] { rs->Campo("CodInv"); }));
    QVERIFY(nessunRecord([&] { rs->MoveNext(); }));

    auto vuoto = c->ApriRecordset("SELECT * FROM MagDescrInv WHERE 1=2");
    QVERIFY(vuoto->Eof() && vuoto->Bof());
    QCOMPARE(vuoto->RecordCount(), qint64(0));
    QVERIFY(nessunRecord([&] { vuoto->MoveFirst(); }));

    auto m = c->ApriRecordset("Select * from Monete where moneta = 'Euro'");
    QCOMPARE(m->DimensioneCampo("NumDec"), 4);
    QCOMPARE(m->DimensioneCampo("Descrizione"), 4);
    auto h = c->ApriRecordset("SELECT Descrizione, Giacenza FROM MagDescrInv, MagInventari WHERE "
                              "MagDescrInv.CodInv = 'INV2025' AND MagInventari.CodInv = "
                              "'INV2023'");
    QCOMPARE(h->DimensioneCampo("Descrizione"), 0); // Null
    QCOMPARE(h->DimensioneCampo("Giacenza"), 8);
}

void TstMotori::connessioneMotore_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("connessione");
    QTest::addColumn<bool>("soloOdbc");
    QTest::addColumn<QString>("driver");
    QTest::newRow("file") << m_file << QString() << false << "QSQLITE";
    if (!m_pg)
        return;
    const QString cred = "UID=" + m_uid + ";PWD=" + m_pwd;
    for (bool odbc : {false, true}) {
        const QString d = odbc ? "QODBC" : "QPSQL";
        const QString s = odbc ? " odbc" : " nativo";
        QTest::newRow(qPrintable("dsn" + s))
            << QString() << "ODBC;DSN=" + m_dsn + ";" + cred << odbc << d;
        QTest::newRow(qPrintable("filedsn" + s))
            << QString() << "ODBC;FIleDSN=" + m_dsnFile + ";" + cred << odbc << d;
        QTest::newRow(qPrintable("testo" + s)) << QString() << m_testo << odbc << d;
    }
}

void TstMotori::connessioneMotore() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, nome);
    QFETCH(QString, connessione);
    QFETCH(bool, soloOdbc);
    QFETCH(QString, driver);
    if (soloOdbc)
        qputenv("QUARVEL_DATI_SOLO_ODBC", "1");
    auto ripristina = qScopeGuard([] { qunsetenv("QUARVEL_DATI_SOLO_ODBC"); });
    {
        QSqlDatabase db = ApriDbMotore(nome, connessione, "DbDitta");
        QVERIFY(db.isOpen());
        QCOMPARE(db.driverName(), driver);
        QSqlQuery q(db);
        QVERIFY(q.exec(TraduciSql(db, "SELECT TOP 1 CodInv FROM MagDescrInv ORDER BY CodInv "
                                      "DESC")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QString("INV2025"));
        QVERIFY(!q.exec(TraduciSql(db, "INSERT INTO Magazzini (Magazzino) VALUES ('m01')")));
        QCOMPARE(ErroreDaMotore(db, q.lastError()).numero(), 3022);
        // A text with backslashes, quoted by the utility, goes in and comes
        // back as it is, here and on a copy of the connection (the list
        // count runs on one).
        UtilitaSuite u;
        const QString barra = "C:\\dati\\'x\\";
        q.exec("DELETE FROM Magazzini WHERE Magazzino = 'TSTBARRA'");
        QVERIFY2(q.exec(TraduciSql(db, "INSERT INTO Magazzini (Magazzino, Descrizione) VALUES "
                                       "('TSTBARRA', " +
                                           u.ValoreSql(barra, Tipo::Testo) + ")")),
                 qPrintable(q.lastError().text()));
        for (const QString& copia : {QString(), QString("DbDitta-copia")}) {
            QSqlDatabase d = db;
            if (!copia.isEmpty()) {
                d = QSqlDatabase::cloneDatabase(db, copia);
                QVERIFY(d.open());
            }
            QSqlQuery l(d);
            QVERIFY2(l.exec(TraduciSql(d, "SELECT Magazzino FROM Magazzini WHERE Descrizione = " +
                                              u.ValoreSql(barra, Tipo::Testo))),
                     qPrintable(l.lastError().text()));
            QVERIFY(l.next());
            QCOMPARE(l.value(0).toString(), QString("TSTBARRA"));
        }
        QSqlDatabase::removeDatabase("DbDitta-copia");
        QVERIFY(q.exec("DELETE FROM Magazzini WHERE Magazzino = 'TSTBARRA'"));
        q = QSqlQuery();
        db = QSqlDatabase();
        // Reopening under the same connection name replaces the connection.
        db = ApriDbMotore(nome, connessione, "DbDitta");
        QVERIFY(db.isOpen());
    }
    QSqlDatabase::removeDatabase("DbDitta");
}

// A read-only opening refuses writes on the connection and on its copies
// (the list count and the lookups run on copies of the company connection).
void TstMotori::solaLetturaAncheNelleCopie_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<bool>("soloOdbc");
    QTest::newRow("file") << m_file << false;
    if (!m_pg)
        return;
    QTest::newRow("dsn nativo") << m_dsn << false;
    QTest::newRow("dsn odbc") << m_dsn << true;
}

void TstMotori::solaLetturaAncheNelleCopie() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, nome);
    QFETCH(bool, soloOdbc);
    dati::Credenziali c;
    c.utente = m_uid;
    c.password = m_pwd;
    c.soloOdbc = soloOdbc;
    c.solaLettura = true;
    {
        QSqlDatabase db = dati::ApriDatabase(nome, {}, c, "sola");
        QVERIFY(db.isOpen());
        QSqlDatabase copia = QSqlDatabase::cloneDatabase(db, "sola-copia");
        QVERIFY(copia.open());
        for (QSqlDatabase* d : {&db, &copia}) {
            QSqlQuery q(*d);
            QVERIFY2(q.exec("SELECT COUNT(*) FROM Monete") && q.next(),
                     qPrintable(q.lastError().text()));
            QVERIFY2(!q.exec("UPDATE Monete SET Descrizione = Descrizione"),
                     qPrintable(d->connectionName() + " wrote on a read-only opening"));
        }
        copia.close();
    }
    QSqlDatabase::removeDatabase("sola-copia");
    dati::DimenticaConnessione("sola");
    QSqlDatabase::removeDatabase("sola");
}

void TstMotori::erroriApertura_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("password"); // DbSqlPubPWD, or DbAccPWD for files
    QTest::addColumn<bool>("soloOdbc");
    QTest::addColumn<int>("numero");
    QFile testo(m_dir.filePath("lettera.db"));
    testo.open(QIODevice::WriteOnly);
    testo.write(QByteArray("Gentile cliente, questo non e' un database.\n").repeated(200));
    testo.close();
    QTest::newRow("missing file") << m_dir.filePath("manca.mdb") << QString() << false << 53;
    QTest::newRow("password on an SQLite file") << m_file << "segreta" << false << 3031;
    QTest::newRow("not a database") << testo.fileName() << QString() << false << 3343;
    QTest::newRow("missing file data source")
        << m_dir.filePath("manca.dsn") << QString() << false << 53;
    QTest::newRow("unknown data source") << "origine_sconosciuta" << QString() << false << 3146;
    if (!m_pg)
        return;
    for (bool odbc : {false, true}) {
        const QString s = odbc ? " odbc" : " nativo";
        QTest::newRow(qPrintable("wrong password, dsn" + s))
            << m_dsn << "sbagliata" << odbc << 3059;
        QTest::newRow(qPrintable("wrong password, filedsn" + s))
            << m_dsnFile << "sbagliata" << odbc << 3059;
        QTest::newRow(qPrintable("wrong password, text" + s))
            << QString(m_testo).replace("PWD=" + m_pwd, "PWD=sbagliata") << QString() << odbc
            << 3059;
    }
}

void TstMotori::erroriApertura() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, nome);
    QFETCH(QString, password);
    QFETCH(bool, soloOdbc);
    QFETCH(int, numero);
    auto c = CreaComponenteDati();
    c->ImpostaParametro("DbSqlSoloOdbc", soloOdbc ? "S" : "N");
    if (TipoDiDatabase(nome) == TipoDatabase::File) {
        c->ImpostaParametro("DbAccPWD", password);
    } else {
        c->ImpostaParametro("DbSqlPubUID", m_uid);
        c->ImpostaParametro("DbSqlPubPWD", password);
    }
    QString risposta;
    try {
        c->Apri(nome, 0, false, false, {}, risposta);
        QFAIL("opened");
    } catch (const Errore& e) {
        QCOMPARE(e.numero(), numero);
        QVERIFY(!e.descrizione().isEmpty());
    }
    QVERIFY(risposta.isEmpty());
}

void TstMotori::fileDanneggiato_data() {
    QTest::addColumn<QString>("danno");
    QTest::addColumn<bool>("recuperabile");
    QTest::newRow("pages overwritten") << "pagine" << true;
    QTest::newRow("truncated") << "troncato" << true;
    QTest::newRow("not a database at all") << "testo" << false;
}

void TstMotori::fileDanneggiato() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, danno);
    QFETCH(bool, recuperabile);
    const QString file = m_dir.filePath("danno-" + danno + ".db");
    QFile::remove(file);
    {
        QFile f(file);
        f.open(QIODevice::WriteOnly);
    }
    qint64 righeSane = 0;
    {
        QSqlDatabase db = dati::ApriDatabase(file, {}, {}, "crea");
        dati::CreaDitta(db, false);
        dati::OpzioniDemo o;
        o.righeInventario = 20000;
        dati::GeneraDemo(db, o);
        QSqlQuery q(db);
        q.exec("PRAGMA wal_checkpoint(TRUNCATE)");
        q.exec("PRAGMA journal_mode=DELETE");
        q.exec("SELECT COUNT(*) FROM MagInventari");
        q.next();
        righeSane = q.value(0).toLongLong();
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase("crea");
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const qint64 dimensione = f.size();
        if (danno == "pagine") {
            // Every tenth page between a quarter and three quarters of the file.
            for (qint64 p = dimensione / 4 / 4096; p < dimensione * 3 / 4 / 4096; p += 10) {
                f.seek(p * 4096);
                f.write(QByteArray(4096, '\xA5'));
            }
        } else if (danno == "troncato") {
            f.resize(dimensione * 6 / 10);
        } else {
            f.resize(0);
            f.write(QByteArray("Questo file non contiene un database.\n").repeated(500));
        }
    }

    // The damage shows as 3343, on opening or on reading, in words for the
    // operator.
    int numero = 0;
    QString descrizione;
    try {
        auto c = CreaComponenteDati();
        QString r;
        c->Apri(file, 0, false, false, {}, r);
        auto rs = c->ApriRecordset("SELECT * FROM MagInventari");
        while (!rs->Eof())
            rs->MoveNext();
    } catch (const Errore& e) {
        numero = e.numero();
        descrizione = e.descrizione();
    }
    QCOMPARE(numero, 3343);
    QVERIFY2(descrizione.startsWith("Il file del database è danneggiato o non è un database ("),
             qPrintable(descrizione));

    QFile prima(file); // as the repair finds it
    prima.open(QIODevice::ReadOnly);
    const QByteArray contenutoDanneggiato = prima.readAll();
    prima.close();

    const int esito = RiparaFileDatabase(file);
    QStringList copie =
        QDir(m_dir.path()).entryList({"danno-" + danno + ".db.danneggiato-*"}, QDir::Files);
    copie.removeIf([](const QString& n) { return n.endsWith("-wal"); });
    if (!recuperabile) {
        QCOMPARE(esito, 3343);
        QVERIFY(copie.isEmpty());
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        QCOMPARE(f.readAll(), contenutoDanneggiato); // left as it was
        return;
    }
    QCOMPARE(esito, 0);
    QCOMPARE(copie.size(), 1);
    QFile copia(m_dir.filePath(copie.first()));
    copia.open(QIODevice::ReadOnly);
    QCOMPARE(copia.readAll(), contenutoDanneggiato);
    // The rebuilt file opens and holds what could be read.
    auto c = CreaComponenteDati();
    QString r;
    c->Apri(file, 0, false, false, {}, r);
    auto rs = c->ApriRecordset("SELECT COUNT(*) AS n FROM MagInventari");
    const qint64 recuperate = rs->Campo("n").toLongLong();
    QVERIFY2(recuperate > 0 && recuperate < righeSane,
             qPrintable(QString("%1 of %2").arg(recuperate).arg(righeSane)));
    auto mon = c->ApriRecordset("Select * from Monete where moneta = 'Euro'");
    QVERIFY(!mon->Eof());
    auto ic = c->ApriRecordset("PRAGMA integrity_check");
    QCOMPARE(ic->Campo(0).toString(), QString("ok"));
    c.reset();
    // The index of the descriptions' words is left out and made again from
    // the rows: articles can still be written (no trigger writes a missing
    // table) and are found through it.
    {
        QSqlDatabase db = dati::ApriDatabase(file, {}, {}, "riparato");
        QSqlQuery q(db);
        QVERIFY2(q.exec("INSERT INTO Articoli (Articolo, Descrizione) VALUES ('NUOVO', "
                        "'Riparato con cura')"),
                 qPrintable(q.lastError().text()));
        QCOMPARE(dati::CompletaIndici(db).size(), 1);
        QVERIFY(q.exec("SELECT a.Articolo FROM Articoli a WHERE a.rowid IN (SELECT rowid FROM "
                       "ArticoliDescr WHERE ArticoliDescr MATCH '\" cura\"')"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QString("NUOVO"));
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase("riparato");
}

void TstMotori::walEPassword() {
    PROVA_SOLO_PRIMO_MOTORE();
    auto c = Apri(Motore{m_file});
    auto rs = c->ApriRecordset("PRAGMA journal_mode");
    QCOMPARE(rs->Campo(0).toString(), QString("wal"));
    auto bt = c->ApriRecordset("PRAGMA busy_timeout");
    QVERIFY(bt->Campo(0).toInt() >= 5000);
    // Read-only opening: writes refused with the engine's text.
    auto sola = CreaComponenteDati();
    QString r;
    sola->Apri(m_file, 0, false, true, {}, r);
    QVERIFY(!r.startsWith("Err:"));
    try {
        sola->Esegui("DELETE FROM Monete");
        QFAIL("write on a read-only database");
    } catch (const Errore& e) {
        QVERIFY(!e.descrizione().isEmpty());
    }
}

void TstMotori::fileDiRete_data() {
    QTest::addColumn<QString>("fileSystem"); // what the check tells; empty: a local disk
    QTest::addColumn<QString>("giornale");
    QTest::addColumn<bool>("inUso"); // another program has the file open in WAL mode
    QTest::newRow("local disk") << QString() << "wal" << false;
    QTest::newRow("NFS") << "nfs"
                         << "delete" << false;
    QTest::newRow("SMB") << "cifs"
                         << "delete" << false;
    // Leaving WAL needs the file to itself: the opening goes on in WAL, at
    // once, and the operator is told why.
    QTest::newRow("NFS, file in use") << "nfs"
                                      << "wal" << true;
}

// A company file on a network share is opened with the rollback journal (the
// write-ahead log needs every process on one host), and the operator is told
// once, though the program opens the file twice.
void TstMotori::fileDiRete() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, fileSystem);
    QFETCH(QString, giornale);
    QFETCH(bool, inUso);
    const QString file = CreaSqlite(
        "rete-" + QString(QTest::currentDataTag()).replace(' ', '-').remove(',') + ".db");
    QSqlDatabase altro;
    if (inUso) {
        altro = QSqlDatabase::addDatabase("QSQLITE", "altro");
        altro.setDatabaseName(file);
        QVERIFY(altro.open());
        QSqlQuery q(altro);
        QVERIFY(q.exec("PRAGMA journal_mode") && q.next());
        QCOMPARE(q.value(0).toString(), QString("wal"));
    }
    auto chiudiAltro = qScopeGuard([&] {
        altro.close();
        altro = QSqlDatabase();
        QSqlDatabase::removeDatabase("altro");
    });
    QElapsedTimer tempo;
    tempo.start();
    dati::ImpostaControlloFileSystem([fileSystem, file](const QString& percorso) {
        return QFileInfo(percorso) == QFileInfo(file) ? fileSystem : QString();
    });
    auto ripristina = qScopeGuard([] { dati::ImpostaControlloFileSystem({}); });
    MessaggiScriptati msg;
    {
        auto c = Apri(Motore{file});
        QSqlDatabase db = ApriDbMotore(file, {}, "DbRete");
        QVERIFY(tempo.elapsed() < 5000); // no wait for the other program
        QCOMPARE(c->ApriRecordset("PRAGMA journal_mode")->Campo(0).toString(), giornale);
        QSqlQuery q(db);
        QVERIFY(q.exec("PRAGMA journal_mode") && q.next());
        QCOMPARE(q.value(0).toString(), giornale);
        // Both connections write and see each other's rows.
        QCOMPARE(c->Esegui("INSERT INTO Magazzini (Magazzino, Descrizione) VALUES ('TSTRETE', "
                           "'rete')"),
                 qint64(1));
        QVERIFY(q.exec("UPDATE Magazzini SET Descrizione = 'letto' WHERE Magazzino = 'TSTRETE'"));
        QCOMPARE(q.numRowsAffected(), 1);
        QCOMPARE(c->ApriRecordset("SELECT Descrizione FROM Magazzini WHERE Magazzino = 'TSTRETE'")
                     ->Campo(0)
                     .toString(),
                 QString("letto"));
        q = QSqlQuery();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("DbRete");
    }
    QVERIFY(!QFile::exists(file + "-wal") || giornale == "wal");
    if (fileSystem.isEmpty()) {
        QVERIFY2(msg.testi().isEmpty(), qPrintable(msg.testi().join(" / ")));
        return;
    }
    QCOMPARE(msg.testi().size(), 1);
    const QString testo = msg.testi().first();
    QVERIFY2(testo.contains(QFileInfo(file).fileName()) && testo.contains(fileSystem) &&
                 testo.contains("PostgreSQL"),
             qPrintable(testo));
    QVERIFY2(testo.contains(inUso ? "resta nel modo WAL" : "giornale di rollback"),
             qPrintable(testo));
}

void TstMotori::programmaDitta_data() {
    QTest::addColumn<bool>("soloOdbc");
    QTest::addColumn<QString>("utenteTesto"); // UID of the connection text; empty: none
    for (bool odbc : {false, true}) {
        const QString s = odbc ? "odbc" : "nativo";
        QTest::newRow(qPrintable(s + ", no user in the text")) << odbc << QString();
        QTest::newRow(qPrintable(s + ", another user in the text")) << odbc << "nessuno";
    }
}

// quarvel-ditta on an "ODBC;" text: the user of --uid, the password from
// the environment, never from the command line.
void TstMotori::programmaDitta() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(bool, soloOdbc);
    QFETCH(QString, utenteTesto);
    if (!m_pg)
        QSKIP("PostgreSQL not configured: QUARVEL_PG_DSN is not set");
    const QString database = m_dbDitta.Nome();
    QString testo = QString("ODBC;DRIVER={%1};SERVER=%2;PORT=%3;DATABASE=%4")
                        .arg(m_driver, m_host, m_porta, database);
    if (!utenteTesto.isEmpty())
        testo += ";UID=" + utenteTesto;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Nothing else may supply the login.
    for (const char* v : {"PGPASSWORD", "PGUSER", "QUARVEL_DITTA_PWD"})
        env.remove(v);
    env.insert("PGPASSFILE", m_dir.filePath("nessun.pgpass"));
    auto esegui = [&](QStringList argomenti, const QProcessEnvironment& e, QString* errori) {
        if (soloOdbc)
            argomenti.prepend("--solo-odbc");
        QProcess p;
        p.setProcessEnvironment(e);
        p.start(QStringLiteral(QUARVEL_BINARY_DIR "/components/data/quarvel-ditta"), argomenti);
        p.closeWriteChannel();
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            return -1;
        }
        *errori = QString::fromLocal8Bit(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QString errori;
    // Without a password, and nobody at a terminal to ask: refused at once.
    QVERIFY(esegui({"--uid", m_uid, "--sostituisci", testo}, env, &errori) > 0);
    QVERIFY2(errori.contains("QUARVEL_DITTA_PWD"), qPrintable(errori));
    // On the command line: refused, naming the way to give it.
    QCOMPARE(esegui({"--uid", m_uid, "--pwd", m_pwd, "--sostituisci", testo}, env, &errori), 2);
    QVERIFY2(errori.contains("QUARVEL_DITTA_PWD"), qPrintable(errori));

    QProcessEnvironment conPassword = env;
    conPassword.insert("QUARVEL_DITTA_PWD", m_pwd);
    QCOMPARE(esegui({"--uid", m_uid, "--sostituisci", testo}, conPassword, &errori), 0);
    // The tables are there, created by the user of --uid.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "ditta");
        db.setHostName(m_host);
        db.setPort(m_porta.toInt());
        db.setDatabaseName(database);
        db.setUserName(m_uid);
        db.setPassword(m_pwd);
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        QSqlQuery q(db);
        QVERIFY(q.exec("SELECT tableowner FROM pg_tables WHERE tablename = 'magdescrinv'"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), m_uid);
    }
    QSqlDatabase::removeDatabase("ditta");
}

QTEST_GUILESS_MAIN(TstMotori)
#include "tst_motori.moc"
