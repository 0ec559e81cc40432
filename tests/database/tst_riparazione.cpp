// The repair of a damaged SQLite file on real files: a damaged file's schema
// and the recovery's output are data (another company's file attached and
// dropped from them stays untouched), a file another connection holds is
// not taken from under it, and the rebuilt file keeps the mode and owner of
// the damaged one.

#include "data/Riparazione.h"
#include "suite/Errore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace quarvel;

namespace {

// Runs SQL on a file with its own connection; false with a warning on error.
bool Sql(const QString& file, const QByteArray& sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(QFile::encodeName(file).constData(), &db) == SQLITE_OK;
    char* errore = nullptr;
    if (ok && sqlite3_exec(db, sql.constData(), nullptr, nullptr, &errore) != SQLITE_OK) {
        qWarning("%s: %s", sql.constData(), errore);
        ok = false;
    }
    sqlite3_free(errore);
    sqlite3_close(db);
    return ok;
}

// The first column of the first row, as text (empty on error).
QString Valore(const QString& file, const QByteArray& sql) {
    sqlite3* db = nullptr;
    QString v;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            v = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return v;
}

QByteArray Contenuto(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A small company file: a table of 300 rows with an index, a view and a
// second table.
void CreaDitta(const QString& file) {
    QFile::remove(file);
    QVERIFY(Sql(file, "PRAGMA page_size=4096;"
                      "CREATE TABLE Magazzini(Codice TEXT, Nome TEXT);"
                      "INSERT INTO Magazzini VALUES ('01', 'Sede'), ('02', 'Filiale');"
                      "CREATE TABLE Articoli(Codice TEXT PRIMARY KEY, Descrizione TEXT, Prezzo);"
                      "CREATE INDEX ArtDescr ON Articoli(Descrizione);"
                      "CREATE VIEW Cari AS SELECT * FROM Articoli WHERE Prezzo > 100;"
                      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                      "WHERE i < 300) INSERT INTO Articoli SELECT 'A' || i, "
                      "'articolo numero ' || i, i FROM n;"));
}

// Another company's file, which nothing may reach from the repaired one.
void CreaAltra(const QString& file) {
    QFile::remove(file);
    QVERIFY(Sql(file, "CREATE TABLE Clienti(Nome TEXT); INSERT INTO Clienti VALUES ('Rossi'), "
                      "('Bianchi'), ('Verdi');"));
}

// Overwrites the b-tree header of the first page: the schema cannot be read.
void GuastaSchema(const QString& file) {
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    f.seek(100);
    f.write(QByteArray("\x0d\xff\xff\xff\xff\xff\xff\xff", 8));
}

QStringList Copie(const QString& file) {
    const QFileInfo fi(file);
    return QDir(fi.absolutePath())
        .entryList({fi.fileName() + QStringLiteral(".danneggiato-*")}, QDir::Files);
}

} // namespace

class TstRiparazione : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString P(const QString& nome) const { return m_dir.filePath(nome); }

private Q_SLOTS:
    void init() {
        for (const QString& n : QDir(m_dir.path()).entryList(QDir::Files))
            QFile::remove(P(n));
    }

    // The texts of the damaged file's schema are run only as single CREATE
    // statements of their own kind.
    void schemaNonFidato_data() {
        QTest::addColumn<QString>("oggetto");
        QTest::addColumn<QString>("sql");      // %1: the other company's file
        QTest::addColumn<QString>("articoli"); // rows rebuilt; empty: table left out
        QTest::addColumn<QString>("oggetti");  // what the rebuilt schema holds

        QTest::newRow("table followed by ATTACH and DROP")
            << "Articoli"
            << "CREATE TABLE Articoli(Codice TEXT PRIMARY KEY, Descrizione TEXT, Prezzo); "
               "ATTACH '%1' AS altra; DROP TABLE altra.Clienti"
            << ""
            << "Magazzini|Cari";
        QTest::newRow("index followed by ATTACH and DELETE")
            << "ArtDescr"
            << "CREATE INDEX ArtDescr ON Articoli(Descrizione);ATTACH '%1' AS altra;"
               "DELETE FROM altra.Clienti"
            << "300"
            << "Magazzini|Articoli|sqlite_autoindex_Articoli_1|Cari";
        QTest::newRow("view followed by a comment and ATTACH")
            << "Cari"
            << "CREATE VIEW Cari AS SELECT * FROM Articoli WHERE Prezzo > 100 /* x */;\n"
               "ATTACH '%1' AS altra; UPDATE altra.Clienti SET Nome = 'x'"
            << "300"
            << "Magazzini|Articoli|sqlite_autoindex_Articoli_1|ArtDescr";
        QTest::newRow("view whose text is an ATTACH")
            << "Cari"
            << "ATTACH '%1' AS altra; DROP TABLE altra.Clienti"
            << "300"
            << "Magazzini|Articoli|sqlite_autoindex_Articoli_1|ArtDescr";
        QTest::newRow("index whose text drops a table")
            << "ArtDescr"
            << "DROP TABLE Magazzini"
            << "300"
            << "Magazzini|Articoli|sqlite_autoindex_Articoli_1|Cari";
        QTest::newRow("temporary trigger in place of the view")
            << "Cari"
            << "CREATE TEMP TRIGGER Cari AFTER INSERT ON Articoli BEGIN DELETE FROM Articoli; END"
            << "300"
            << "Magazzini|Articoli|sqlite_autoindex_Articoli_1|ArtDescr";
    }
    void schemaNonFidato() {
        QFETCH(QString, oggetto);
        QFETCH(QString, sql);
        QFETCH(QString, articoli);
        QFETCH(QString, oggetti);
        const QString ditta = P("ditta.db");
        const QString altra = P("altra.db");
        CreaDitta(ditta);
        CreaAltra(altra);
        const QByteArray altraPrima = Contenuto(altra);
        const QByteArray testo = sql.arg(altra).replace('\'', "''").toUtf8();
        QVERIFY(Sql(ditta, "PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql = '" + testo +
                               "' WHERE name = '" + oggetto.toUtf8() + "'"));

        const int esito = dati::RiparaFileSqlite(ditta);

        QCOMPARE(Contenuto(altra), altraPrima);
        QCOMPARE(Valore(altra, "SELECT count(*) FROM Clienti"), QStringLiteral("3"));
        // The rest of what the damaged file held is rebuilt.
        QCOMPARE(esito, 0);
        QCOMPARE(Valore(ditta, "SELECT count(*) FROM Articoli"), articoli);
        QCOMPARE(Valore(ditta, "SELECT group_concat(name, '|') FROM sqlite_master"), oggetti);
        QCOMPARE(Valore(ditta, "SELECT count(*) FROM Magazzini"), QStringLiteral("2"));
        QCOMPARE(Valore(ditta, "PRAGMA integrity_check"), QStringLiteral("ok"));
    }

    // The recovery command's output (used when not even the schema can be
    // read) holds the damaged file's texts too: only its CREATE statements
    // and the INSERTs of rows are taken.
    void uscitaRecuperoNonFidata() {
        const QString ditta = P("ditta.db");
        const QString altra = P("altra.db");
        CreaDitta(ditta);
        CreaAltra(altra);
        GuastaSchema(ditta);
        const QByteArray altraPrima = Contenuto(altra);
        const QString cartella = P("bin");
        QVERIFY(QDir().mkpath(cartella));
        const QString comando = cartella + QStringLiteral("/sqlite3");
        {
            QFile f(comando);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QStringLiteral(
                        "#!/bin/sh\n"
                        "cat <<'FINE'\n"
                        "BEGIN;\n"
                        "PRAGMA writable_schema = on;\n"
                        "CREATE TABLE Articoli(Codice TEXT PRIMARY KEY, Descrizione TEXT);\n"
                        "INSERT OR IGNORE INTO 'Articoli'(_rowid_, Codice, Descrizione) "
                        "VALUES(1, 'A1', 'uno; ATTACH ''x'' AS y');\n"
                        "ATTACH '%1' AS altra;\n"
                        "DROP TABLE altra.Clienti;\n"
                        "CREATE TABLE Vuota(a); DELETE FROM Articoli;\n"
                        "INSERT INTO sqlite_schema VALUES('table','z','z',0,'CREATE TABLE z(a)');\n"
                        "CREATE TEMP TRIGGER t AFTER INSERT ON Articoli BEGIN DELETE FROM "
                        "Articoli; END;\n"
                        "INSERT INTO Articoli VALUES('A2', 'due');\n"
                        "PRAGMA writable_schema = off;\n"
                        "COMMIT;\n"
                        "FINE\n")
                        .arg(altra)
                        .toUtf8());
        }
        QFile::setPermissions(comando, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(cartella) + ':' + path);
        const int esito = dati::RiparaFileSqlite(ditta);
        qputenv("PATH", path);

        QCOMPARE(Contenuto(altra), altraPrima);
        QCOMPARE(esito, 0);
        QCOMPARE(Valore(ditta, "SELECT group_concat(Descrizione, '|') FROM Articoli"),
                 QStringLiteral("uno; ATTACH 'x' AS y|due"));
        QCOMPARE(Valore(ditta, "SELECT group_concat(name, '|') FROM sqlite_master"),
                 QStringLiteral("Articoli|sqlite_autoindex_Articoli_1|Vuota"));
    }

    // Nothing can be rebuilt: the file stays as it was and the reason is
    // the current error, in words for the operator.
    void irreparabile_data() {
        QTest::addColumn<QString>("danno");
        QTest::newRow("not a database") << "testo";
        QTest::newRow("schema unreadable, no recovery command") << "schema";
    }
    void irreparabile() {
        QFETCH(QString, danno);
        const QString ditta = P("ditta.db");
        if (danno == QLatin1String("testo")) {
            QFile f(ditta);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("Questo file non contiene un database.\n").repeated(300));
        } else {
            CreaDitta(ditta);
            GuastaSchema(ditta);
        }
        const QByteArray prima = Contenuto(ditta);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(P("vuota")));
        CancellaErrore();
        const int esito = dati::RiparaFileSqlite(ditta);
        qputenv("PATH", path);
        QCOMPARE(esito, 3343);
        QCOMPARE(Err().numero, 3343);
        QVERIFY2(Err().descrizione.contains(ditta) &&
                     Err().descrizione.contains(QStringLiteral("non è stato possibile")),
                 qPrintable(Err().descrizione));
        QCOMPARE(Contenuto(ditta), prima);
        QVERIFY(Copie(ditta).isEmpty());
        QVERIFY(!QFile::exists(ditta + QStringLiteral(".ricostruzione")));
    }

    // Another connection holds the file open (another workstation, or this
    // program) with a row in the write-ahead log: the repair is refused,
    // nothing is touched and that connection goes on writing.
    void fileInUso_data() {
        QTest::addColumn<bool>("altroProcesso");
        QTest::newRow("this program's other connection") << false;
        QTest::newRow("another process") << true;
    }
    void fileInUso() {
        QFETCH(bool, altroProcesso);
        const QString ditta = P("ditta.db");
        CreaDitta(ditta);
        QVERIFY(Sql(ditta, "PRAGMA journal_mode=WAL"));

        sqlite3* altra = nullptr;
        QProcess processo;
        if (altroProcesso) {
            processo.start(QCoreApplication::applicationFilePath(),
                           {QStringLiteral("--tieni-aperto"), ditta});
            QVERIFY(processo.waitForStarted());
            QVERIFY(processo.waitForReadyRead());
            QCOMPARE(processo.readAllStandardOutput(), QByteArray("pronto\n"));
        } else {
            QCOMPARE(sqlite3_open(QFile::encodeName(ditta).constData(), &altra), SQLITE_OK);
            QCOMPARE(sqlite3_exec(altra,
                                  "PRAGMA wal_autocheckpoint=0;"
                                  "INSERT INTO Articoli VALUES ('N1', 'nuovo', 1)",
                                  nullptr, nullptr, nullptr),
                     SQLITE_OK);
        }
        QVERIFY(QFileInfo(ditta + QStringLiteral("-wal")).size() > 0);
        CancellaErrore();
        const int esito = dati::RiparaFileSqlite(ditta);
        const ErroreCorrente errore = Err();

        // The other connection goes on writing into the same file.
        if (altroProcesso) {
            processo.write("avanti\n");
            processo.closeWriteChannel();
            QVERIFY(processo.waitForFinished());
            QCOMPARE(processo.readAllStandardError(), QByteArray());
            QCOMPARE(processo.exitCode(), 0);
        } else {
            QCOMPARE(sqlite3_exec(altra, "INSERT INTO Articoli VALUES ('N2', 'nuovo', 2)", nullptr,
                                  nullptr, nullptr),
                     SQLITE_OK);
            sqlite3_close(altra);
        }
        QCOMPARE(esito, 3260);
        QCOMPARE(errore.numero, 3260);
        QVERIFY2(errore.descrizione.contains(ditta) &&
                     errore.descrizione.contains(QStringLiteral("aperto da un altro")),
                 qPrintable(errore.descrizione));
        QVERIFY(Copie(ditta).isEmpty());
        QVERIFY(!QFile::exists(ditta + QStringLiteral(".ricostruzione")));
        QCOMPARE(Valore(ditta, "SELECT group_concat(Codice) FROM Articoli WHERE Codice LIKE 'N%'"),
                 QStringLiteral("N1,N2"));
        QCOMPARE(Valore(ditta, "SELECT count(*) FROM Articoli"), QStringLiteral("302"));
    }

    // Once the other connection is gone the same file is repaired, with the
    // rows its write-ahead log held.
    void walSenzaAltri() {
        const QString ditta = P("ditta.db");
        CreaDitta(ditta);
        {
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(ditta).constData(), &db), SQLITE_OK);
            QCOMPARE(sqlite3_exec(db,
                                  "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
                                  "INSERT INTO Articoli VALUES ('N1', 'nuovo', 1)",
                                  nullptr, nullptr, nullptr),
                     SQLITE_OK);
            // A workstation that stopped without closing: the row is only
            // in the log.
            const QStringList code{QString(), QStringLiteral("-wal"), QStringLiteral("-shm")};
            QByteArrayList istantanea;
            for (const QString& c : code)
                istantanea << Contenuto(ditta + c);
            sqlite3_close(db);
            for (int i = 0; i < code.size(); ++i) {
                QFile f(ditta + code[i]);
                QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
                f.write(istantanea[i]);
            }
        }
        QVERIFY(QFileInfo(ditta + QStringLiteral("-wal")).size() > 0);
        QCOMPARE(dati::RiparaFileSqlite(ditta), 0);
        QCOMPARE(Valore(ditta, "SELECT count(*) FROM Articoli"), QStringLiteral("301"));
        QCOMPARE(Valore(ditta, "SELECT Descrizione FROM Articoli WHERE Codice = 'N1'"),
                 QStringLiteral("nuovo"));
        const QStringList copie = Copie(ditta);
        QCOMPARE(copie.size(), 2); // the damaged file and its log
    }

    // The damaged file is read through an SQLite URI: names with blanks,
    // accents and the URI's own signs are read all the same.
    void nomiDiFile_data() {
        QTest::addColumn<QString>("nome");
        QTest::newRow("plain") << "ditta.db";
        QTest::newRow("blanks and a folder") << "Dati ditta/ditta 2024.db";
        QTest::newRow("accents") << "società é.db";
        QTest::newRow("URI signs") << "ditta#1?a=b&c%20.db";
    }
    void nomiDiFile() {
        QFETCH(QString, nome);
        const QString ditta = P(nome);
        QVERIFY(QDir().mkpath(QFileInfo(ditta).absolutePath()));
        CreaDitta(ditta);
        QCOMPARE(dati::RiparaFileSqlite(ditta), 0);
        QCOMPARE(Valore(ditta, "SELECT count(*) FROM Articoli"), QStringLiteral("300"));
        QCOMPARE(Copie(ditta).size(), 1);
    }

    // The rebuilt file has the damaged file's mode and owner.
    void permessiEProprietario_data() {
        QTest::addColumn<int>("modo");
        QTest::newRow("0640") << 0640;
        QTest::newRow("0600") << 0600;
        QTest::newRow("0664") << 0664;
    }
    void permessiEProprietario() {
        QFETCH(int, modo);
        const QString ditta = P("ditta.db");
        CreaDitta(ditta);
        const QByteArray f = QFile::encodeName(ditta);
        QCOMPARE(::chmod(f.constData(), mode_t(modo)), 0);
        const bool root = ::geteuid() == 0;
        if (root)
            QCOMPARE(::chown(f.constData(), 4321, 4322), 0);
        struct stat prima {};
        QCOMPARE(::stat(f.constData(), &prima), 0);

        QCOMPARE(dati::RiparaFileSqlite(ditta), 0);

        struct stat dopo {};
        QCOMPARE(::stat(f.constData(), &dopo), 0);
        QVERIFY(dopo.st_ino != prima.st_ino); // the rebuilt file
        QCOMPARE(int(dopo.st_mode & 07777), modo);
        QCOMPARE(dopo.st_uid, prima.st_uid);
        QCOMPARE(dopo.st_gid, prima.st_gid);
        QCOMPARE(Valore(ditta, "SELECT count(*) FROM Articoli"), QStringLiteral("300"));
    }
};

// The other process of fileInUso: a workstation that writes a row in WAL
// mode, keeps the file open and writes another when told to.
int TieniAperto(const char* file) {
    sqlite3* db = nullptr;
    auto esegui = [&](const char* sql) {
        char* errore = nullptr;
        const bool ok = sqlite3_exec(db, sql, nullptr, nullptr, &errore) == SQLITE_OK;
        if (!ok)
            std::fprintf(stderr, "%s: %s\n", sql, errore);
        sqlite3_free(errore);
        return ok;
    };
    if (sqlite3_open(file, &db) != SQLITE_OK ||
        !esegui("PRAGMA busy_timeout=10000; PRAGMA wal_autocheckpoint=0;"
                "INSERT INTO Articoli VALUES ('N1', 'nuovo', 1)"))
        return 1;
    std::printf("pronto\n");
    std::fflush(stdout);
    char riga[64];
    if (!std::fgets(riga, sizeof riga, stdin))
        return 1;
    const bool ok = esegui("INSERT INTO Articoli VALUES ('N2', 'nuovo', 2)");
    return sqlite3_close(db) == SQLITE_OK && ok ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--tieni-aperto") == 0)
        return TieniAperto(argv[2]);
    QCoreApplication app(argc, argv);
    TstRiparazione prova;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&prova, argc, argv);
}
#include "tst_riparazione.moc"
