// The load of a terminal file into an inventory, on SQLite and on the
// PostgreSQL server: the search orders, the article-code prefix, the later
// line winning, a quantity replaced and not added, rows with levels left
// alone, the refused lines kept as read, a stop between blocks, a row the
// database refuses, NUL bytes in a line, quantities that are no number, a
// write that finds the database locked by another connection.

#include "data/Schema.h"
#include "inventory/CaricoConteggi.h"
#include "support/MotoriProva.h"
#include "utility/Utilita.h"

#include <QBuffer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>

using namespace quarvel;
using namespace quarvel::inventario;
using namespace prova;

namespace {

void Esegui(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    QVERIFY2(q.exec(sql), qPrintable(q.lastError().text() + QStringLiteral(": ") + sql));
}

// article|level1|level2|warehouse=quantity, in order, of one inventory
QStringList Righe(QSqlDatabase& db, const QString& codInv) {
    QSqlQuery q(db);
    q.exec(QStringLiteral("SELECT Articolo, Livello1, Livello2, Magazzino, Giacenza FROM "
                          "MagInventari WHERE CodInv = '%1' ORDER BY Articolo, Livello1, "
                          "Magazzino")
               .arg(codInv));
    QStringList r;
    while (q.next())
        r << QStringLiteral("%1|%2|%3|%4=%5")
                 .arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                      q.value(3).toString())
                 .arg(q.value(4).toDouble());
    return r;
}

// A pipe: read once, front to back, never again.
class Tubo final : public QIODevice {
public:
    explicit Tubo(QByteArray dati) : m_dati(std::move(dati)) { open(ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override {
        return m_dati.size() - m_pos + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* p, qint64 n) override {
        const qint64 k = std::min<qint64>(n, m_dati.size() - m_pos);
        std::memcpy(p, m_dati.constData() + m_pos, size_t(k));
        m_pos += k;
        return k;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_dati;
    qint64 m_pos = 0;
};

} // namespace

class TstCaricoConteggi : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() {
        MotoriProva::Righe({Motore::Sqlite, Motore::Postgres, Motore::Odbc});
    }
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase() { m_pg.Elimina(); }

    void carico_data();
    void carico();
    void fermatoTraBlocchi();
    void fermatoERicaricato_data();
    void fermatoERicaricato();
    void avanzamentoFrequente_data();
    void avanzamentoFrequente();
    void memoriaDeiCodiciLimitata();
    void articoloSuMoltiBlocchi_data();
    void articoloSuMoltiBlocchi();
    void rigaRifiutataDalDatabase_data();
    void rigaRifiutataDalDatabase();
    void nulNeiCampi_data();
    void nulNeiCampi();
    void quantita_data();
    void quantita();
    void databaseOccupato_data();
    void databaseOccupato();

private:
    EsitoCarico Carica(const QByteArray& dati, const SetCarico& set, int righePerBlocco = 2000,
                       int limiteCache = 65536);
    static SetCarico SetSeparato();

    QTemporaryDir m_dir;
    DatabasePgProva m_pg{QStringLiteral("quarvel_carico")};
    QSqlDatabase m_db;
    int m_serie = 0;
    QStringList m_inesistenti; // the lines told, as "code@line" (unknown) or "cause text@line"
    QList<qint64> m_scartateAlMessaggio; // the refused count each was told with
    std::function<bool(const EsitoCarico&)> m_avanzamento;
    QString m_scarti;
    int m_articoliPerScrittura = 0; // 0: the loader's own
    bool m_tubo = false;            // the file read as from a pipe
    qint64 m_righePerScrittura = 0; // 0: the loader's own
    CaricoConteggi::Precarico m_precarico = CaricoConteggi::Precarico::Secondo;
    int m_decimali = -1;
};

void TstCaricoConteggi::initTestCase() {
    InstallaUtilita();
    if (DatabasePgProva::Disponibile()) {
        QString errore;
        QVERIFY2(m_pg.Crea(&errore), qPrintable(errore));
    }
}

void TstCaricoConteggi::init() {
    QFETCH_GLOBAL(Motore, motore);
    SALTA_SENZA_SERVER(motore);
    const QString nome = QStringLiteral("carico%1").arg(++m_serie);
    m_db = ConnessioneProva(motore, nome, m_dir.filePath(nome + QStringLiteral(".db")), m_pg);
    QVERIFY2(m_db.open(), qPrintable(m_db.lastError().text()));
    dati::CreaDitta(m_db, true);
    Esegui(m_db, QStringLiteral(
                     "INSERT INTO Articoli (Articolo, Descrizione, BarCode, Inattivo) "
                     "VALUES ('A1', 'Bulloni', '8001', 'N'), ('A2', 'Dadi', '8002', "
                     "'N'), ('Art3', 'Viti', NULL, 'N'), ('A4', 'Rondelle', '8004', "
                     "'N'), ('A5', 'Chiodi', '8004', 'N'), ('Q\"1,{2}\\', 'Strano', 'B\"x', 'N')"));
    Esegui(m_db, QStringLiteral("INSERT INTO MagInventari (CodInv, Articolo, Livello1, Livello2, "
                                "Magazzino, Giacenza) VALUES ('INV1', 'A1', '~ç~', '~ç~', 'M1', "
                                "5), ('INV1', 'A1', 'L1', 'L2', 'M1', 8), ('INV1', 'A2', '~ç~', "
                                "'~ç~', 'M2', 6)"));
    m_inesistenti.clear();
    m_scartateAlMessaggio.clear();
    m_decimali = -1;
    m_avanzamento = nullptr;
    m_articoliPerScrittura = 0;
    m_tubo = false;
    m_righePerScrittura = 0;
    m_precarico = CaricoConteggi::Precarico::Secondo;
}

void TstCaricoConteggi::cleanup() {
    const QString nome = m_db.connectionName();
    m_db.close();
    m_db = QSqlDatabase();
    if (!nome.isEmpty())
        QSqlDatabase::removeDatabase(nome);
}

EsitoCarico TstCaricoConteggi::Carica(const QByteArray& dati, const SetCarico& set,
                                      int righePerBlocco, int limiteCache) {
    const QString origine = m_dir.filePath(QStringLiteral("terminale%1.txt").arg(m_serie));
    FileScarti scarti(origine, QDateTime(QDate(2026, 12, 10), QTime(17, 0, m_serie % 60)));
    m_scarti = scarti.Nome();
    CaricoConteggi c(m_db, set, {QStringLiteral("INV1"), QStringLiteral("M1")});
    if (righePerBlocco > 0) // else the loader's own
        c.impostaRighePerBlocco(righePerBlocco);
    c.impostaLimiteCache(limiteCache);
    if (m_articoliPerScrittura > 0)
        c.impostaArticoliPerScrittura(m_articoliPerScrittura);
    if (m_righePerScrittura > 0)
        c.impostaRighePerScrittura(m_righePerScrittura);
    c.impostaPrecarico(m_precarico);
    c.impostaDecimaliQuantita(m_decimali);
    c.impostaAttesaBlocco(100);
    c.rigaNonCaricata = [this](const RigaNonCaricata& r, const EsitoCarico& e) {
        using C = RigaNonCaricata::Causa;
        const QString causa = r.causa == C::QuantitaNonValida ? QStringLiteral("qta ") + r.testo
                              : r.causa == C::RigaTroppoLunga ? QStringLiteral("lunga")
                              : r.causa == C::RifiutataDalDatabase
                                  ? QStringLiteral("db ") + r.codice
                                  : r.codice;
        m_inesistenti << QStringLiteral("%1@%2").arg(causa).arg(r.numero);
        m_scartateAlMessaggio << e.righeScartate;
        return true;
    };
    c.avanzamento = m_avanzamento;
    QByteArray copia = dati;
    QBuffer b(&copia);
    b.open(QIODevice::ReadOnly);
    Tubo tubo(dati);
    const EsitoCarico e = m_tubo ? c.Carica(tubo, scarti) : c.Carica(b, scarti);
    scarti.Chiudi();
    return e;
}

SetCarico TstCaricoConteggi::SetSeparato() {
    SetCarico s;
    s.formato = QStringLiteral("S");
    s.separatore = QStringLiteral(";");
    s.codInizio = 1;
    s.qtaInizio = 2;
    return s;
}

void TstCaricoConteggi::carico_data() {
    QTest::addColumn<QString>("ordine");   // CodArtSeqRic
    QTest::addColumn<QString>("prefisso"); // CodArtInizIdent; AddArtPrima "A" with it
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("righe");       // of INV1 afterwards
    QTest::addColumn<QStringList>("inesistenti"); // told
    QTest::addColumn<QByteArray>("scartate");     // the file of refused lines
    QTest::addColumn<bool>("precarico");          // every article read first

    for (const bool precarico : {false, true}) {
        auto Nome = [precarico](const QString& n) {
            return precarico ? n + QStringLiteral(" (articoli in memoria)") : n;
        };
        QTest::newRow(
            qPrintable(Nome(QStringLiteral("barcode poi articolo, senza riguardo alle maiuscole"))))
            << ""
            << "" << QByteArray("8001;7\r\nart3;2\r\nXX;1\r\n")
            << QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=7", "A2|~ç~|~ç~|M2=6",
                           "Art3|~ç~|~ç~|M1=2"}
            << QStringList{"XX@3"} << QByteArray("XX;1\r\n") << precarico;
        QTest::newRow(
            qPrintable(Nome(QStringLiteral("la riga dopo vince, la quantità sostituita"))))
            << ""
            << "" << QByteArray("8001;7\n   \n8001;9\nA1;4,5\n")
            << QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=4.5", "A2|~ç~|~ç~|M2=6"} << QStringList{}
            << QByteArray() << precarico;
        QTest::newRow(qPrintable(Nome(QStringLiteral("B: solo il barcode"))))
            << "B"
            << "" << QByteArray("Art3;2\n8002;1\n")
            << QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=5", "A2|~ç~|~ç~|M1=1", "A2|~ç~|~ç~|M2=6"}
            << QStringList{"Art3@1"} << QByteArray("Art3;2\r\n") << precarico;
        QTest::newRow(qPrintable(Nome(QStringLiteral("C: solo l'articolo"))))
            << "C"
            << "" << QByteArray("8002;1\nA2;3\n")
            << QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=5", "A2|~ç~|~ç~|M1=3", "A2|~ç~|~ç~|M2=6"}
            << QStringList{"8002@1"} << QByteArray("8002;1\r\n") << precarico;
        QTest::newRow(qPrintable(Nome(QStringLiteral("CB: articolo poi barcode"))))
            << "CB"
            << "" << QByteArray("8002;1\n")
            << QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=5", "A2|~ç~|~ç~|M1=1", "A2|~ç~|~ç~|M2=6"}
            << QStringList{} << QByteArray() << precarico;
        QTest::newRow(qPrintable(
            Nome(QStringLiteral("prefisso: solo l'articolo, senza il prefisso e con le aggiunte"))))
            << ""
            << "*" << QByteArray("*2;4\n*9;1\n*8001;1\n")
            << QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=5", "A2|~ç~|~ç~|M1=4", "A2|~ç~|~ç~|M2=6"}
            << QStringList{"*9@2", "*8001@3"} << QByteArray("*9;1\r\n*8001;1\r\n") << precarico;
        QTest::newRow(
            qPrintable(Nome(QStringLiteral("virgolette, virgole, graffe e barre nei codici"))))
            << ""
            << "" << QByteArray("q\"1,{2}\\;6\nb\"X;7\n")
            << QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=5", "A2|~ç~|~ç~|M2=6",
                           "Q\"1,{2}\\|~ç~|~ç~|M1=7"}
            << QStringList{} << QByteArray() << precarico;
        QTest::newRow(qPrintable(Nome(QStringLiteral("barcode di due articoli: il primo"))))
            << ""
            << "" << QByteArray("8004;2\n")
            << QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=5", "A2|~ç~|~ç~|M2=6", "A4|~ç~|~ç~|M1=2"}
            << QStringList{} << QByteArray() << precarico;
        // a NUL byte is a character: the code holding it names no article, and is told
        QTest::newRow(qPrintable(Nome(QStringLiteral("righe ostili scartate come lette"))))
            << ""
            << "" << QByteArray("8001;3\nZ\0Z;1\nCaff\xE8;2\n", 21)
            << QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=3", "A2|~ç~|~ç~|M2=6"}
            << QStringList{QString::fromUtf8("Z\0Z@2", 5), "Caffè@3"}
            << QByteArray("Z\0Z;1\r\nCaff\xE8;2\r\n", 16) << precarico;
    }
}

void TstCaricoConteggi::carico() {
    QFETCH(QString, ordine);
    QFETCH(QString, prefisso);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, righe);
    QFETCH(QStringList, inesistenti);
    QFETCH(QByteArray, scartate);
    QFETCH(bool, precarico);
    m_precarico = precarico ? CaricoConteggi::Precarico::Sempre : CaricoConteggi::Precarico::Mai;
    SetCarico s;
    s.formato = QStringLiteral("S");
    s.separatore = QStringLiteral(";");
    s.codInizio = 1;
    s.qtaInizio = 2;
    s.codArtSeqRic = ordine;
    s.codArtInizIdent = prefisso;
    if (!prefisso.isEmpty())
        s.addArtPrima = QStringLiteral("A");
    const EsitoCarico e = Carica(file, s);
    QVERIFY2(e.completo, qPrintable(e.errore));
    QCOMPARE(Righe(m_db, QStringLiteral("INV1")), righe);
    QCOMPARE(m_inesistenti, inesistenti);
    QCOMPARE(e.righeScartate, qint64(scartate.count('\n')));
    // every line is loaded, refused or blank
    QCOMPARE(e.righeScritte + e.righeScartate + e.righeVuote, e.righeLette);
    QFile f(m_scarti);
    if (scartate.isEmpty()) {
        QVERIFY(!f.exists());
    } else {
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), scartate);
    }
    // the other inventory is not touched
    QCOMPARE(Righe(m_db, QStringLiteral("INV2")), QStringList{});
}

void TstCaricoConteggi::fermatoTraBlocchi() {
    // Stopped after the first block: it stays written, nothing after it.
    SetCarico s;
    s.formato = QStringLiteral("S");
    s.separatore = QStringLiteral(";");
    s.codInizio = 1;
    s.qtaInizio = 2;
    int blocchi = 0;
    m_avanzamento = [&blocchi](const EsitoCarico& e) {
        ++blocchi;
        return e.righeLette < 2;
    };
    const EsitoCarico e = Carica("8001;1\nA2;2\nArt3;3\n8004;4\n", s, 2);
    QVERIFY(e.fermato);
    QVERIFY(!e.completo);
    QCOMPARE(blocchi, 1);
    QCOMPARE(e.righeScritte, 2);
    QCOMPARE(
        Righe(m_db, QStringLiteral("INV1")),
        (QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=1", "A2|~ç~|~ç~|M1=2", "A2|~ç~|~ç~|M2=6"}));
}

void TstCaricoConteggi::fermatoERicaricato_data() {
    QTest::addColumn<int>("dopo");          // the line after which the operator stops
    QTest::addColumn<int>("articoli");      // waiting before a write (0: the loader's own)
    QTest::addColumn<bool>("precarico");    // every article read first
    QTest::addColumn<QStringList>("righe"); // of INV1 once stopped
    for (const bool precarico : {false, true}) {
        const char* modo = precarico ? "in memoria" : "cercando";
        for (const int articoli : {0, 1}) {
            auto nome = [&](const char* n) {
                return QStringLiteral("%1, %2, scritti %3")
                    .arg(QLatin1String(n), QLatin1String(modo),
                         articoli ? QStringLiteral("uno alla volta") : QStringLiteral("insieme"));
            };
            QTest::newRow(qPrintable(nome("dopo la prima riga")))
                << 1 << articoli << precarico
                << QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=1", "A2|~ç~|~ç~|M2=6"};
            QTest::newRow(qPrintable(nome("dopo la terza: la riga dopo ha vinto")))
                << 3 << articoli << precarico
                << QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=3", "A2|~ç~|~ç~|M1=2",
                               "A2|~ç~|~ç~|M2=6"};
            QTest::newRow(qPrintable(nome("dopo la riga sconosciuta")))
                << 5 << articoli << precarico
                << QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=3", "A2|~ç~|~ç~|M1=2",
                               "A2|~ç~|~ç~|M2=6", "Art3|~ç~|~ç~|M1=4"};
        }
    }
}

void TstCaricoConteggi::fermatoERicaricato() {
    // The operator stops after a given line: every line up to it is in (or
    // refused), none after it; the same file loaded again gives what a load
    // never stopped gives.
    QFETCH(int, dopo);
    QFETCH(int, articoli);
    QFETCH(bool, precarico);
    QFETCH(QStringList, righe);
    m_articoliPerScrittura = articoli;
    m_precarico = precarico ? CaricoConteggi::Precarico::Sempre : CaricoConteggi::Precarico::Mai;
    const QByteArray file("8001;1\nA2;2\n8001;3\nArt3;4\nXX;9\n8001;5\nA2;6\n");
    m_avanzamento = [dopo](const EsitoCarico& e) { return e.righeLette < dopo; };
    const EsitoCarico e = Carica(file, SetSeparato(), 1);
    QVERIFY2(e.errore.isEmpty(), qPrintable(e.errore));
    QVERIFY(e.fermato);
    QVERIFY(!e.completo);
    QCOMPARE(e.righeLette, dopo);
    QCOMPARE(e.righeScritte + e.righeScartate, dopo);
    QCOMPARE(Righe(m_db, QStringLiteral("INV1")), righe);

    m_avanzamento = nullptr;
    const EsitoCarico tutto = Carica(file, SetSeparato(), 1);
    QVERIFY2(tutto.completo, qPrintable(tutto.errore));
    QCOMPARE(tutto.righeScritte, 6);
    QCOMPARE(Righe(m_db, QStringLiteral("INV1")),
             (QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=5", "A2|~ç~|~ç~|M1=6", "A2|~ç~|~ç~|M2=6",
                          "Art3|~ç~|~ç~|M1=4"}));
}

void TstCaricoConteggi::avanzamentoFrequente_data() {
    QTest::addColumn<bool>("precarico");
    QTest::newRow("cercando") << false;
    QTest::newRow("in memoria") << true;
}

void TstCaricoConteggi::avanzamentoFrequente() {
    // With the loader's own block, a file of 20,000 lines: the caller is
    // told long before the end, and a stop there keeps what was read, no
    // more; loaded again, the file gives the rows of a load never stopped.
    QFETCH(bool, precarico);
    m_precarico = precarico ? CaricoConteggi::Precarico::Sempre : CaricoConteggi::Precarico::Mai;
    const char* codici[] = {"8001", "A2", "Art3"};
    QByteArray file;
    constexpr int Righe_ = 20000;
    for (int i = 1; i <= Righe_; ++i)
        file += QByteArray(codici[i % 3]) + ';' + QByteArray::number(i) + '\n';
    int avvisi = 0;
    m_avanzamento = [&avvisi](const EsitoCarico&) {
        ++avvisi;
        return false;
    };
    const EsitoCarico e = Carica(file, SetSeparato(), 0);
    QVERIFY2(e.errore.isEmpty(), qPrintable(e.errore));
    QCOMPARE(avvisi, 1);
    QVERIFY(e.fermato);
    QVERIFY2(e.righeLette <= 5000, qPrintable(QString::number(e.righeLette)));
    QCOMPARE(e.righeScritte, e.righeLette);
    // the latest line read of each article is in
    const qint64 n = e.righeLette;
    auto ultima = [n](int resto) {
        qint64 k = n;
        while (k % 3 != resto)
            --k;
        return k;
    };
    QCOMPARE(Righe(m_db, QStringLiteral("INV1")),
             (QStringList{"A1|L1|L2|M1=8", QStringLiteral("A1|~ç~|~ç~|M1=%1").arg(ultima(0)),
                          QStringLiteral("A2|~ç~|~ç~|M1=%1").arg(ultima(1)), "A2|~ç~|~ç~|M2=6",
                          QStringLiteral("Art3|~ç~|~ç~|M1=%1").arg(ultima(2))}));

    avvisi = 0;
    m_avanzamento = [&avvisi](const EsitoCarico&) {
        ++avvisi;
        return true;
    };
    const EsitoCarico tutto = Carica(file, SetSeparato(), 0);
    QVERIFY2(tutto.completo, qPrintable(tutto.errore));
    QVERIFY2(avvisi >= Righe_ / 5000, qPrintable(QString::number(avvisi)));
    QCOMPARE(Righe(m_db, QStringLiteral("INV1")),
             (QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=19998", "A2|~ç~|~ç~|M1=19999",
                          "A2|~ç~|~ç~|M2=6", "Art3|~ç~|~ç~|M1=20000"}));
}

void TstCaricoConteggi::memoriaDeiCodiciLimitata() {
    // The codes already looked up are forgotten when too many: every line
    // still finds its article, by barcode and by code, block after block.
    m_precarico = CaricoConteggi::Precarico::Mai;
    SetCarico s;
    s.formato = QStringLiteral("S");
    s.separatore = QStringLiteral(";");
    s.codInizio = 1;
    s.qtaInizio = 2;
    const EsitoCarico e =
        Carica("8001;1\nArt3;2\n8001;3\nArt3;4\n8002;5\n8001;6\nArt3;7\n", s, 2, 1);
    QVERIFY2(e.completo, qPrintable(e.errore));
    QCOMPARE(e.righeScartate, 0);
    QCOMPARE(Righe(m_db, QStringLiteral("INV1")),
             (QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=6", "A2|~ç~|~ç~|M1=5", "A2|~ç~|~ç~|M2=6",
                          "Art3|~ç~|~ç~|M1=7"}));
}

void TstCaricoConteggi::articoloSuMoltiBlocchi_data() {
    QTest::addColumn<int>("articoli"); // waiting before a write
    QTest::addColumn<qint64>("righe"); // lines read before a write anyway
    QTest::addColumn<bool>("precarico");
    for (const bool precarico : {false, true}) {
        const char* modo = precarico ? ", in memoria" : "";
        QTest::newRow(qPrintable(QStringLiteral("scritti a ogni blocco%1").arg(modo)))
            << 1 << qint64(1000) << precarico;
        QTest::newRow(qPrintable(QStringLiteral("due alla volta%1").arg(modo)))
            << 2 << qint64(1000) << precarico;
        QTest::newRow(qPrintable(QStringLiteral("tutti alla fine%1").arg(modo)))
            << 1000 << qint64(1000) << precarico;
        QTest::newRow(qPrintable(QStringLiteral("ogni tre righe%1").arg(modo)))
            << 1000 << qint64(3) << precarico;
    }
}

void TstCaricoConteggi::articoloSuMoltiBlocchi() {
    // The same article on lines of different blocks: its latest line wins
    // however the rows wait before they are written, and every line counts.
    QFETCH(int, articoli);
    QFETCH(qint64, righe);
    QFETCH(bool, precarico);
    m_articoliPerScrittura = articoli;
    m_righePerScrittura = righe;
    m_precarico = precarico ? CaricoConteggi::Precarico::Sempre : CaricoConteggi::Precarico::Mai;
    SetCarico s;
    s.formato = QStringLiteral("S");
    s.separatore = QStringLiteral(";");
    s.codInizio = 1;
    s.qtaInizio = 2;
    const EsitoCarico e = Carica("8001;1\nA2;2\n8001;3\nArt3;4\nXX;9\n8001;5\n", s, 2);
    QVERIFY2(e.completo, qPrintable(e.errore));
    QCOMPARE(e.righeScritte, 5);
    QCOMPARE(e.righeScartate, 1);
    QCOMPARE(Righe(m_db, QStringLiteral("INV1")),
             (QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=5", "A2|~ç~|~ç~|M1=2", "A2|~ç~|~ç~|M2=6",
                          "Art3|~ç~|~ç~|M1=4"}));
}

void TstCaricoConteggi::rigaRifiutataDalDatabase_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("precarico");
    QTest::addColumn<bool>("tubo"); // the refused line kept in memory, not read again
    QTest::addColumn<int>("riga");  // the line of the refused row, told
    for (const int caso : {0, 1, 2}) {
        const bool precarico = caso == 1;
        const bool tubo = caso == 2;
        const QString modo = precarico ? QStringLiteral(", in memoria")
                             : tubo    ? QStringLiteral(", da un tubo")
                                       : QString();
        QTest::newRow(qPrintable(QStringLiteral("righe LF") + modo))
            << QByteArray("Art3;3\n8002;2\n8001;1\n") << precarico << tubo << 2;
        // the refused line is read again from the file: where it begins
        // counts the byte-order mark and the CR LF before it
        QTest::newRow(qPrintable(QStringLiteral("BOM, la prima riga rifiutata") + modo))
            << QByteArray("\xEF\xBB\xBF"
                          "8002;2\nArt3;3\n8001;1\n")
            << precarico << tubo << 1;
        QTest::newRow(qPrintable(QStringLiteral("CR LF, l'ultima senza fine riga") + modo))
            << QByteArray("Art3;3\r\n\r\n8001;1\r\n8002;2") << precarico << tubo << 4;
    }
}

void TstCaricoConteggi::rigaRifiutataDalDatabase() {
    // The database refuses one row of a block: the block is written again a
    // row at a time, the refused line is kept as read, the others go in.
    QFETCH_GLOBAL(Motore, motore);
    QFETCH(QByteArray, file);
    QFETCH(bool, precarico);
    QFETCH(bool, tubo);
    QFETCH(int, riga);
    m_tubo = tubo;
    m_precarico = precarico ? CaricoConteggi::Precarico::Sempre : CaricoConteggi::Precarico::Mai;
    if (SuServer(motore)) {
        Esegui(m_db, QStringLiteral("CREATE OR REPLACE FUNCTION rifiuta() RETURNS trigger AS $$ "
                                    "BEGIN IF NEW.Articolo = 'A2' THEN RAISE EXCEPTION 'no'; END "
                                    "IF; RETURN NEW; END $$ LANGUAGE plpgsql"));
        Esegui(m_db, QStringLiteral("CREATE TRIGGER rifiuta BEFORE INSERT ON MagInventari FOR "
                                    "EACH ROW EXECUTE FUNCTION rifiuta()"));
    } else {
        Esegui(m_db, QStringLiteral("CREATE TRIGGER rifiuta BEFORE INSERT ON MagInventari WHEN "
                                    "NEW.Articolo = 'A2' BEGIN SELECT RAISE(ABORT, 'no'); END"));
    }
    SetCarico s;
    s.formato = QStringLiteral("S");
    s.separatore = QStringLiteral(";");
    s.codInizio = 1;
    s.qtaInizio = 2;
    const EsitoCarico e = Carica(file, s);
    QVERIFY2(e.completo, qPrintable(e.errore));
    QCOMPARE(e.righeScritte, 2);
    QCOMPARE(e.righeScartate, 1);
    // told as any line not loaded is
    QCOMPARE(m_inesistenti, QStringList{QStringLiteral("db A2@%1").arg(riga)});
    QCOMPARE(
        Righe(m_db, QStringLiteral("INV1")),
        (QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=1", "A2|~ç~|~ç~|M2=6", "Art3|~ç~|~ç~|M1=3"}));
    QFile f(m_scarti);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("8002;2\r\n"));
}

void TstCaricoConteggi::nulNeiCampi_data() {
    QTest::addColumn<QString>("formato");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("righe");   // of INV1 afterwards
    QTest::addColumn<QStringList>("avvisi");  // told
    QTest::addColumn<QByteArray>("scartate"); // the file of refused lines
    const QStringList intatte{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=5", "A2|~ç~|~ç~|M2=6"};
    const QStringList a1a7{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=7", "A2|~ç~|~ç~|M2=6"};
    QTest::newRow("colonne fisse riempite di NUL")
        << "F" << QByteArray("8001\0\0\0\0   7\0\0\n", 15) << a1a7 << QStringList{} << QByteArray();
    QTest::newRow("NUL in un campo non letto")
        << "S" << QByteArray("8001;7;\0\0\n", 10) << a1a7 << QStringList{} << QByteArray();
    QTest::newRow("NUL nel codice") << "S"
                                    << QByteArray("80\0"
                                                  "01;7\n",
                                                  8)
                                    << intatte
                                    << QStringList{QString::fromUtf8("80\0"
                                                                     "01@1",
                                                                     7)}
                                    << QByteArray("80\0"
                                                  "01;7\r\n",
                                                  9);
    QTest::newRow("NUL nella quantità")
        << "S" << QByteArray("8001;7\0\n", 8) << intatte
        << QStringList{QString::fromUtf8("qta 7\0@1", 8)} << QByteArray("8001;7\0\r\n", 9);
}

void TstCaricoConteggi::nulNeiCampi() {
    // A NUL byte is a character like any other: padding after the fields
    // read changes nothing, NULs closing a fixed field go as blanks do, a
    // field holding one is read as it is (and refused, and told, when it
    // is no article or no number).
    QFETCH(QString, formato);
    QFETCH(QByteArray, file);
    QFETCH(QStringList, righe);
    QFETCH(QStringList, avvisi);
    QFETCH(QByteArray, scartate);
    SetCarico s = SetSeparato();
    if (formato == QLatin1String("F")) {
        s = SetCarico();
        s.formato = formato;
        s.codInizio = 1;
        s.codLung = 8;
        s.qtaInizio = 9;
        s.qtaLung = 8;
    }
    const EsitoCarico e = Carica(file, s);
    QVERIFY2(e.completo, qPrintable(e.errore));
    QCOMPARE(Righe(m_db, QStringLiteral("INV1")), righe);
    QCOMPARE(m_inesistenti, avvisi);
    QFile f(m_scarti);
    QCOMPARE(f.exists(), !scartate.isEmpty());
    if (f.open(QIODevice::ReadOnly))
        QCOMPARE(f.readAll(), scartate);
}

void TstCaricoConteggi::quantita_data() {
    QTest::addColumn<QByteArray>("riga");
    QTest::addColumn<QString>("giacenza"); // of A1 in M1 afterwards (5 before)
    QTest::addColumn<bool>("scartata");
    // refused: told with the text read, the count left alone
    for (const char* t : {"abc", "12 pezzi", "12abc", "nan", "inf", "-inf", "1e400", "1e3", "",
                          "1,2,3", "1.2.3", "0x10", "١٢"})
        QTest::newRow(qPrintable(QStringLiteral("rifiutata: \"%1\"").arg(QString::fromUtf8(t))))
            << QByteArray("8001;") + t << "5" << true;
    QTest::newRow("virgola decimale") << QByteArray("8001;4,5") << "4.5" << false;
    QTest::newRow("arrotondata ai decimali della ditta")
        << QByteArray("8001;2,345") << "2.35" << false;
    QTest::newRow("arrotondata per difetto") << QByteArray("8001;2,344") << "2.34" << false;
    QTest::newRow("negativa arrotondata lontano da zero")
        << QByteArray("8001;-0,125") << "-0.13" << false;
    QTest::newRow("riporto") << QByteArray("8001;9,999") << "10" << false;
    QTest::newRow("migliaia e decimali") << QByteArray("8001;1.234,5") << "1234.5" << false;
    QTest::newRow("punto delle migliaia") << QByteArray("8001;1.234") << "1234" << false;
    QTest::newRow("punto decimale") << QByteArray("8001;4.5") << "4.5" << false;
    QTest::newRow("segno più, spazi") << QByteArray("8001; +12 ") << "12" << false;
    // a line without the quantity's field at all counts 0, as a short line always did
    QTest::newRow("campo mancante") << QByteArray("8001") << "0" << false;
}

void TstCaricoConteggi::quantita() {
    // A quantity that is not a number in the forms the operator writes is
    // refused with its line and its text, never loaded as 0; one with
    // more decimals than the company counts is rounded as the grid rounds
    // a typed one.
    QFETCH(QByteArray, riga);
    QFETCH(QString, giacenza);
    QFETCH(bool, scartata);
    m_decimali = 2;
    const EsitoCarico e = Carica(riga + "\n", SetSeparato());
    QVERIFY2(e.completo, qPrintable(e.errore));
    QCOMPARE(Righe(m_db, QStringLiteral("INV1")),
             (QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=" + giacenza, "A2|~ç~|~ç~|M2=6"}));
    QCOMPARE(e.righeScartate, scartata ? 1 : 0);
    const QString testo = QString::fromUtf8(riga.mid(5)).trimmed();
    QCOMPARE(m_inesistenti,
             scartata ? QStringList{QStringLiteral("qta %1@1").arg(testo)} : QStringList{});
    QFile f(m_scarti);
    QCOMPARE(f.exists(), scartata);
    if (f.open(QIODevice::ReadOnly))
        QCOMPARE(f.readAll(), riga + "\r\n");
}

void TstCaricoConteggi::databaseOccupato_data() {
    QTest::addColumn<bool>("libera"); // the other connection lets go while the load waits
    QTest::addColumn<bool>("precarico");
    for (const bool precarico : {false, true}) {
        const QString modo = precarico ? QStringLiteral(", in memoria") : QString();
        QTest::newRow(qPrintable(QStringLiteral("attende, poi scrive") + modo))
            << true << precarico;
        QTest::newRow(qPrintable(QStringLiteral("fermato mentre attende") + modo))
            << false << precarico;
    }
}

void TstCaricoConteggi::databaseOccupato() {
    // Another connection holds the write lock: the load waits and says so
    // (a stop still heard), then writes once the lock is free, or stops
    // with the cause when the operator stops it.  No good line is refused,
    // and a load that stopped is not complete.
    QFETCH_GLOBAL(Motore, motore);
    QFETCH(bool, libera);
    QFETCH(bool, precarico);
    m_precarico = precarico ? CaricoConteggi::Precarico::Sempre : CaricoConteggi::Precarico::Mai;
    const QString nome = m_db.connectionName() + QStringLiteral("-altra");
    {
        QSqlDatabase altra = ConnessioneProva(motore, nome, m_db.databaseName(), m_pg);
        QVERIFY2(altra.open(), qPrintable(altra.lastError().text()));
        QVERIFY(altra.transaction());
        QSqlQuery blocca(altra);
        QVERIFY2(blocca.exec(SuServer(motore)
                                 ? QStringLiteral("LOCK TABLE MagInventari IN EXCLUSIVE MODE")
                                 : QStringLiteral("UPDATE MagInventari SET Giacenza = Giacenza "
                                                  "WHERE CodInv = 'INV1'")),
                 qPrintable(blocca.lastError().text()));
        int attese = 0;
        QString detto;
        m_avanzamento = [&](const EsitoCarico& e) {
            if (e.attesa.isEmpty())
                return true;
            detto = e.attesa;
            if (++attese == 2 && libera)
                altra.commit();
            return libera || attese < 2;
        };
        const EsitoCarico e = Carica("8001;7\nA2;2\nXX;1\n", SetSeparato());
        if (altra.isOpen())
            altra.rollback();
        QVERIFY(attese >= 2);
        QVERIFY2(detto.contains(QStringLiteral("occupato")), qPrintable(detto));
        QCOMPARE(e.righeScartate, 1); // XX alone: no article
        QCOMPARE(m_inesistenti, QStringList{"XX@3"});
        QFile f(m_scarti);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("XX;1\r\n"));
        if (libera) {
            QVERIFY2(e.completo, qPrintable(e.errore));
            QCOMPARE(e.righeScritte, 2);
            QCOMPARE(Righe(m_db, QStringLiteral("INV1")),
                     (QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=7", "A2|~ç~|~ç~|M1=2",
                                  "A2|~ç~|~ç~|M2=6"}));
        } else {
            QVERIFY(!e.completo);
            QVERIFY(e.fermato);
            QVERIFY2(e.errore.contains(QStringLiteral("occupato")), qPrintable(e.errore));
            QCOMPARE(e.righeScritte, 0);
            QCOMPARE(Righe(m_db, QStringLiteral("INV1")),
                     (QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=5", "A2|~ç~|~ç~|M2=6"}));
        }
        altra.close();
    }
    QSqlDatabase::removeDatabase(nome);
}

QTEST_GUILESS_MAIN(TstCaricoConteggi)
#include "tst_caricoconteggi.moc"
