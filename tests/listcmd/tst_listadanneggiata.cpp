// A company file with a damaged page in the middle of a list's table: the
// grid over it, the operator scrolling or searching.  The page is really
// damaged on disk (a valid file of a few thousand rows, one page of the
// table written over with garbage), so SQLite itself meets it part way
// through a read: the read must not pass for a list that ends there, the
// rows must not show as empty data, and the operator is told once, with the
// engine's number (3343), and asked once a session whether to repair.

#include "data/ComponenteDatiSql.h"
#include "listcmd/Conteggio.h"
#include "listcmd/Griglia.h"
#include "suite/FormDati.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"

#include <QFile>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace quarvel;
using namespace quarvel::listcmd;

namespace {

constexpr int Righe = 5000;
constexpr int Danneggiato = NumErr::DatabaseNonRiconosciuto;

struct Eventi final : EventiGriglia {
    QList<int> errori;
    void Error(int n, int& risposta) override {
        errori << n;
        risposta = 1; // the grid shows its message
    }
};

struct ProgrammaProva final : IProgramma {
    int riparazioni = 0;
    void PianificaChiusura(qint16) override {}
    void AttivaMenu() override {}
    void RitornaAlChiamante(const QString&, const QString&, const QString&) override {}
    void ChiudiERipara() override { ++riparazioni; }
};

enum class Via { DallInizio, DallaFine, Testa, Conteggio, Cerca, Posizione };

} // namespace
Q_DECLARE_METATYPE(Via)

class TstListaDanneggiata : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        dati::Registra();
        QVERIFY(m_dir.isValid());
    }
    void cleanup() {
        Conteggio::Trattieni(false);
        m_g.reset();
        if (QSqlDatabase::contains(QStringLiteral("danno")))
            QSqlDatabase::removeDatabase(QStringLiteral("danno"));
        m_msg.reset();
        ImpostaProgramma(nullptr);
        Sessione().RiparazioneChiesta = false;
        Sessione().NomeDb.clear();
    }

    void letturaSuPaginaDanneggiata_data();
    void letturaSuPaginaDanneggiata();
    void listaLettaPerStampa_data();
    void listaLettaPerStampa();

private:
    // The file of the case: articoli(id, codice, descr) with ids 1..Righe,
    // an index the count runs on (its pages after the table's; without it
    // the count meets the damaged page too) and the
    // table's page at frazione of the table written over.  The ids whose
    // rows sit on that page in [primoDanno, ultimoDanno].
    void preparaFile(double frazione, bool indice);
    int contaErrori() const;

    QTemporaryDir m_dir;
    int m_serie = 0;
    QString m_file;
    int m_primoDanno = -1;
    int m_ultimoDanno = -1;
    std::unique_ptr<MessaggiScriptati> m_msg;
    std::unique_ptr<Griglia> m_g;
};

void TstListaDanneggiata::preparaFile(double frazione, bool indice) {
    m_file = m_dir.filePath(QStringLiteral("ditta%1.db").arg(++m_serie));
    qint64 pagina = 0, dimensione = 0;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("crea"));
        db.setDatabaseName(m_file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("PRAGMA page_size=4096")));
        QVERIFY(q.exec(QStringLiteral(
            "CREATE TABLE articoli (id INTEGER PRIMARY KEY, codice TEXT, descr TEXT)")));
        QVERIFY(db.transaction());
        QVERIFY(q.prepare(QStringLiteral("INSERT INTO articoli VALUES (?, ?, ?)")));
        for (int i = 1; i <= Righe; ++i) {
            q.addBindValue(i);
            q.addBindValue(QStringLiteral("A%1").arg(i, 5, 10, QLatin1Char('0')));
            q.addBindValue(QStringLiteral("Articolo numero %1 ").arg(i).leftJustified(80, u'x'));
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        QVERIFY(db.commit());
        QVERIFY(q.exec(QStringLiteral("PRAGMA page_count")) && q.next());
        const qint64 pagineTabella = q.value(0).toLongLong(); // 1: the schema, 2: the root
        QVERIFY(pagineTabella > 50);
        QVERIFY(q.exec(QStringLiteral("PRAGMA page_size")) && q.next());
        dimensione = q.value(0).toLongLong();
        pagina = 3 + qint64((pagineTabella - 3) * frazione);
        if (indice)
            QVERIFY(q.exec(QStringLiteral("CREATE INDEX ix_codice ON articoli (codice)")));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("crea"));
    {
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek((pagina - 1) * dimensione));
        QCOMPARE(f.write(QByteArray(int(dimensione), char(0xA5))), dimensione);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("danno"));
    db.setDatabaseName(m_file);
    QVERIFY(db.open());
    // the rows the damaged page held: a row found by its id reaches its page
    m_primoDanno = m_ultimoDanno = -1;
    QSqlQuery q(db);
    QVERIFY(q.prepare(QStringLiteral("SELECT descr FROM articoli WHERE id = ?")));
    for (int i = 1; i <= Righe; ++i) {
        q.addBindValue(i);
        if (q.exec() && q.next())
            continue;
        if (m_primoDanno < 0)
            m_primoDanno = i;
        m_ultimoDanno = i;
    }
    q.finish();
    QVERIFY2(m_primoDanno > 1 && m_ultimoDanno < Righe, "no row of the table on the page");
    Sessione().NomeDb = m_file;
}

int TstListaDanneggiata::contaErrori() const {
    int n = 0;
    for (const QString& t : m_msg->testi())
        if (t.contains(QStringLiteral("Errore(%1)").arg(Danneggiato)))
            ++n;
    return n;
}

void TstListaDanneggiata::letturaSuPaginaDanneggiata_data() {
    QTest::addColumn<Via>("via");
    QTest::addColumn<double>("frazione");
    // a window in the first half is read from the top, one in the second
    // half from the end: each meets the page in the rows it steps over
    QTest::newRow("finestra dall'inizio") << Via::DallInizio << 0.3;
    QTest::newRow("finestra dalla fine") << Via::DallaFine << 0.7;
    QTest::newRow("righe dall'alto mentre conta") << Via::Testa << 0.3;
    // the count fails too: the rows read from the top are not the list
    QTest::newRow("conteggio") << Via::Conteggio << 0.5;
    // searching and placing a row by its key read the whole list: raised to
    // the form's handler, which tells the operator as the data forms do
    QTest::newRow("cerca") << Via::Cerca << 0.5;
    QTest::newRow("posto di una chiave") << Via::Posizione << 0.5;
}

void TstListaDanneggiata::letturaSuPaginaDanneggiata() {
    QFETCH(Via, via);
    QFETCH(double, frazione);
    preparaFile(frazione, via != Via::Conteggio);
    if (QTest::currentTestFailed())
        return;
    ProgrammaProva programma;
    ImpostaProgramma(&programma);
    m_msg = std::make_unique<MessaggiScriptati>();
    m_msg->rispondi(1); // Ok on the message
    m_msg->rispondi(1); // Ok: close and repair
    Eventi eventi;
    if (via == Via::Testa)
        Conteggio::Trattieni(true); // the count does not arrive meanwhile

    m_g = std::make_unique<Griglia>();
    m_g->resize(600, 400);
    m_g->ImpostaEventi(&eventi);
    m_g->apri(QSqlDatabase::database(QStringLiteral("danno")),
              QStringLiteral("SELECT id, codice, descr FROM articoli"));
    m_g->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_g.get()));
    ModelloRighe* m = m_g->modello();
    QSignalSpy arrivato(m, &ModelloRighe::totaleArrivato);
    if (via == Via::Conteggio) {
        m->attendiConteggio();
        QVERIFY(!m->totaleNoto());
        QCOMPARE(arrivato.count(), 0);
        QCOMPARE(m->totale(), qint64(ModelloRighe::RigheFinestra));
        QVERIFY(m->canFetchMore({})); // more rows from the top as the view asks
    } else if (via != Via::Testa) {
        m->attendiConteggio(); // counted on the index: the count is right
        QCOMPARE(m->totale(), qint64(Righe));
    }
    QTest::qWait(50);
    QCOMPARE(m->valoreInMemoria(0, 0).toInt(), 1); // the first rows shown
    if (via != Via::Conteggio)
        QCOMPARE(contaErrori(), 0);

    if (via == Via::Cerca || via == Via::Posizione) {
        // not "not found" nor "no such row"
        try {
            if (via == Via::Cerca)
                m->cerca(2, QStringLiteral("nessun articolo ha questo testo"), 0);
            else
                m->posizioneChiave({QVariant(Righe)});
            QFAIL("la lettura sulla pagina danneggiata non ha sollevato errori");
        } catch (const Errore& e) {
            QCOMPARE(e.numero(), Danneggiato);
        }
        QCOMPARE(m->totale(), qint64(Righe));
        QVERIFY(!m->spostata());
        QCOMPARE(m->valoreInMemoria(0, 0).toInt(), 1);
        return;
    } else if (via == Via::Testa) {
        // the view scrolled down again and again
        for (int i = 0; i < 100 && m->canFetchMore({}); ++i) {
            m->fetchMore({});
            QTest::qWait(1);
        }
        QVERIFY(!m->canFetchMore({})); // no more reads from the top for now
        QVERIFY(!m->totaleNoto());
        QCOMPARE(arrivato.count(), 0); // not a list ending short of its rows
        QVERIFY(m->totale() < m_primoDanno);
        QCOMPARE(m->valoreInMemoria(m->totale() - 1, 0).toLongLong(), m->totale());
    } else if (via != Via::Conteggio) {
        const int r = via == Via::DallInizio ? m_primoDanno - 1 : m_ultimoDanno - 1;
        const bool dallaFine =
            (r / ModelloRighe::RigheFinestra) * ModelloRighe::RigheFinestra > Righe / 2;
        QCOMPARE(dallaFine, via == Via::DallaFine);
        m_g->scrollTo(m->index(r, 0), QAbstractItemView::PositionAtCenter);
        // painted again and again: the window is not read for every cell
        for (int i = 0; i < 5; ++i) {
            QTest::qWait(30);
            m_g->viewport()->repaint();
        }
        QCOMPARE(m->totale(), qint64(Righe));
        QVERIFY(m->totaleNoto());
        QVERIFY(!m->spostata());
        // no empty rows shown as rows of the list
        QVERIFY(!m->data(m->index(r, 1)).isValid());
        QVERIFY(!m->valoreInMemoria(r, 0).isValid());
        QCOMPARE(m->valoreInMemoria(0, 0).toInt(), 1); // the rows shown stay
    }
    QTest::qWait(50);
    QCOMPARE(eventi.errori, QList<int>{Danneggiato});
    QCOMPARE(m_g->UltimoErrore().numero(), Danneggiato);
    QCOMPARE(contaErrori(), 1);
    // after the message, the repair question of the data forms, answered Ok
    QCOMPARE(m_msg->testi().count(TestoChiudiERipara(m_file)), 1);
    QCOMPARE(programma.riparazioni, 1);

    // Aggiorna reads the list again; the damaged rows fail again, the
    // question is not asked twice in a session
    if (via == Via::DallInizio) {
        m_msg->rispondi(1);
        m_g->Refresh();
        m->attendiConteggio();
        QTest::qWait(30); // the view takes the rows counted
        m_g->scrollTo(m->index(m_primoDanno - 1, 0), QAbstractItemView::PositionAtCenter);
        for (int i = 0; i < 5; ++i) {
            QTest::qWait(30);
            m_g->viewport()->repaint();
        }
        QCOMPARE(contaErrori(), 2);
        QCOMPARE(m_msg->testi().count(TestoChiudiERipara(m_file)), 1);
    }
}

void TstListaDanneggiata::listaLettaPerStampa_data() {
    QTest::addColumn<bool>("indice");
    QTest::newRow("finestre") << true;
    QTest::newRow("conteggio") << false;
}

// Printing reads the list through the grid's read-only list: a damaged page
// is an error, never a shorter list printed as the whole one.
void TstListaDanneggiata::listaLettaPerStampa() {
    QFETCH(bool, indice);
    preparaFile(0.3, indice);
    if (QTest::currentTestFailed())
        return;
    m_msg = std::make_unique<MessaggiScriptati>();
    m_g = std::make_unique<Griglia>();
    m_g->apri(QSqlDatabase::database(QStringLiteral("danno")),
              QStringLiteral("SELECT id, codice, descr FROM articoli"));
    IListaLettura* lista = m_g->lista();
    try {
        const QVector<RigaLettura> righe = lista->righe(0, Righe);
        QFAIL(qPrintable(QStringLiteral("%1 righe lette senza errori").arg(righe.size())));
    } catch (const Errore& e) {
        QCOMPARE(e.numero(), Danneggiato);
    }
    if (!indice) {
        try {
            const qint64 n = lista->totale();
            QFAIL(qPrintable(QStringLiteral("totale %1 senza errori").arg(n)));
        } catch (const Errore& e) {
            QCOMPARE(e.numero(), Danneggiato);
        }
    }
}

QTEST_MAIN(TstListaDanneggiata)
#include "tst_listadanneggiata.moc"
