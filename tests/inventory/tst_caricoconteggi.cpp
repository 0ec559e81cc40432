// The load of a terminal file into an inventory, on SQLite and on the
// PostgreSQL server: the search orders, the article-code prefix, the later
// line winning, a quantity replaced and not added, rows with levels left
// alone, the refused lines kept as read, a stop between blocks, a row the
// database refuses.

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
    void initTestCase_data() { MotoriProva::Righe(); }
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

private:
    EsitoCarico Carica(const QByteArray& dati, const SetCarico& set, int righePerBlocco = 2000,
                       int limiteCache = 65536);
    static SetCarico SetSeparato();

    QTemporaryDir m_dir;
    DatabasePgProva m_pg{QStringLiteral("quarvel_carico")};
    QSqlDatabase m_db;
    int m_serie = 0;
    QStringList m_inesistenti;
    std::function<bool(const EsitoCarico&)> m_avanzamento;
    QString m_scarti;
    int m_articoliPerScrittura = 0; // 0: the loader's own
    bool m_tubo = false;            // the file read as from a pipe
    qint64 m_righePerScrittura = 0; // 0: the loader's own
    CaricoConteggi::Precarico m_precarico = CaricoConteggi::Precarico::Secondo;
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
    c.articoloInesistente = [this](const QString& codice, qint64 n) {
        m_inesistenti << QStringLiteral("%1@%2").arg(codice).arg(n);
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
        QTest::newRow(qPrintable(Nome(QStringLiteral("righe ostili scartate come lette"))))
            << ""
            << "" << QByteArray("8001;3\nZ\0Z;1\nCaff\xE8;2\n", 21)
            << QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=3", "A2|~ç~|~ç~|M2=6"}
            << QStringList{"Caffè@3"} << QByteArray("Z\0Z;1\r\nCaff\xE8;2\r\n", 16) << precarico;
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
    for (const int caso : {0, 1, 2}) {
        const bool precarico = caso == 1;
        const bool tubo = caso == 2;
        const QString modo = precarico ? QStringLiteral(", in memoria")
                             : tubo    ? QStringLiteral(", da un tubo")
                                       : QString();
        QTest::newRow(qPrintable(QStringLiteral("righe LF") + modo))
            << QByteArray("Art3;3\n8002;2\n8001;1\n") << precarico << tubo;
        // the refused line is read again from the file: where it begins
        // counts the byte-order mark and the CR LF before it
        QTest::newRow(qPrintable(QStringLiteral("BOM, la prima riga rifiutata") + modo))
            << QByteArray("\xEF\xBB\xBF"
                          "8002;2\nArt3;3\n8001;1\n")
            << precarico << tubo;
        QTest::newRow(qPrintable(QStringLiteral("CR LF, l'ultima senza fine riga") + modo))
            << QByteArray("Art3;3\r\n\r\n8001;1\r\n8002;2") << precarico << tubo;
    }
}

void TstCaricoConteggi::rigaRifiutataDalDatabase() {
    // The database refuses one row of a block: the block is written again a
    // row at a time, the refused line is kept as read, the others go in.
    QFETCH_GLOBAL(Motore, motore);
    QFETCH(QByteArray, file);
    QFETCH(bool, precarico);
    QFETCH(bool, tubo);
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
    QCOMPARE(
        Righe(m_db, QStringLiteral("INV1")),
        (QStringList{"A1|L1|L2|M1=8", "A1|~ç~|~ç~|M1=1", "A2|~ç~|~ç~|M2=6", "Art3|~ç~|~ç~|M1=3"}));
    QFile f(m_scarti);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("8002;2\r\n"));
}

QTEST_GUILESS_MAIN(TstCaricoConteggi)
#include "tst_caricoconteggi.moc"
