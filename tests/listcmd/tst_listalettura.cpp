// The list of a grid read through its read-only interface, as printing and
// lookups read it: a list longer than a window on a real SQLite file and on
// the PostgreSQL of the test service (QUARVEL_PG_*; skipped without it), the
// columns as the form laid them out (captions, widths, masks, hidden ones
// flagged), the rows in the grid's order read in chunks while the list is
// still being counted, with the grid's texts, and a row written here read at
// its place.

#include "listcmd/Comlin.h"
#include "listcmd/Griglia.h"
#include "listcmd/ModelloRighe.h"
#include "listcmd/TestoCella.h"
#include "suite/Errore.h"
#include "suite/ListaLettura.h"
#include "suite/Utilita.h"
#include "support/MotoriProva.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QSet>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QVBoxLayout>

using namespace quarvel;
using namespace quarvel::listcmd;
using namespace prova;

// The list on each engine; vistaSenzaLetture() sets up a file of its own and
// runs once.
class TstListaLettura : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { MotoriProva::Righe(); }
    void initTestCase();
    void cleanupTestCase() { m_pg.Elimina(); }
    void lista();
    void letturaInAvanti();
    void vistaSenzaLetture();
    void conteggioRitardato();
    void testoNumeri_data();
    void testoNumeri();

private:
    DatabasePgProva m_pg{QStringLiteral("quarvel_listalettura")};
    QTemporaryDir m_dir;
};

void TstListaLettura::initTestCase() {
    QVERIFY(m_dir.isValid());
    if (DatabasePgProva::Disponibile()) {
        QString errore;
        QVERIFY2(m_pg.Crea(&errore), qPrintable(errore));
    }
}

void TstListaLettura::lista() {
    QFETCH_GLOBAL(Motore, motore);
    SALTA_SENZA_SERVER(motore);
    const QString connessione = QString::fromLatin1(NomeMotore(motore));
    QSqlDatabase db =
        ConnessioneProva(motore, connessione, m_dir.filePath(QStringLiteral("voci.db")), m_pg);
    QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    const int n = 1000; // several windows: counted in the background
    {
        QSqlQuery q(db);
        q.exec(QStringLiteral("DROP TABLE IF EXISTS Voci"));
        QVERIFY2(q.exec(QStringLiteral("CREATE TABLE Voci (Cod VARCHAR(10) PRIMARY KEY, "
                                       "Descrizione VARCHAR(40), Qta DOUBLE PRECISION, "
                                       "Giorno DATE, Nota VARCHAR(20))")),
                 qPrintable(q.lastError().text()));
        db.transaction();
        q.prepare(QStringLiteral("INSERT INTO Voci VALUES (?, ?, ?, ?, ?)"));
        for (int i = 0; i < n; ++i) {
            q.addBindValue(QStringLiteral("C%1").arg(i, 4, 10, QLatin1Char('0')));
            q.addBindValue(QStringLiteral("Voce %1").arg(i % 37)); // ties: the key orders them
            q.addBindValue(i % 11 == 0 ? QVariant() : QVariant(1000.5 + i));
            q.addBindValue(QDate(2024, 1, 1).addDays(i % 300));
            q.addBindValue(i % 3 == 0 ? QVariant() : QVariant(QStringLiteral("n%1").arg(i)));
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        db.commit();
    }
    // the list in its order, as the database gives it
    QVector<QVariantList> attese;
    {
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT Cod, Descrizione, Qta, Giorno, Nota FROM Voci "
                                      "ORDER BY Descrizione, Cod")));
        while (q.next()) {
            QVariantList r;
            for (int c = 0; c < 5; ++c)
                r << q.value(c);
            attese << r;
        }
    }
    QCOMPARE(attese.size(), n);

    QWidget form;
    auto* l = new QVBoxLayout(&form);
    auto* tb = new QToolBar(&form);
    auto* contatore = new QLineEdit(&form);
    auto* g = new Griglia(&form);
    l->addWidget(tb);
    l->addWidget(contatore);
    l->addWidget(g);
    Comlin c;
    QVERIFY(c.Lista() == nullptr); // no grid yet
    c.setOgForm(&form);
    c.setOgToolbar(tb);
    c.setOgContatore(contatore);
    c.setOgGriglia(g);
    c.setOgDati(g->Dati());
    c.setOgDatabase(db);
    c.setOsFormatoData(QStringLiteral("dd/mm/yyyy"));
    c.setOiAbilRW(1);
    c.ApriSql(QStringLiteral(
        "SELECT Cod, Descrizione, Qta, Giorno, Nota FROM Voci ORDER BY Descrizione"));
    c.TitoloColonna(QStringLiteral("Descrizione"), QStringLiteral("Descr. voce"));
    c.LarghezzaColonna(QStringLiteral("Qta"), 1200);
    c.FormatoColonna(QStringLiteral("Qta"), QStringLiteral("#,##0.00"));
    c.NascondiColonna(QStringLiteral("Nota"));
    form.show();

    IListaLettura* lista = c.Lista();
    QVERIFY(lista);
    const QVector<ColonnaLettura> colonne = lista->colonne();
    QCOMPARE(colonne.size(), 5);
    QCOMPARE(colonne[0].nome, QString("Cod"));
    QCOMPARE(colonne[0].titolo, QString("Cod"));
    QCOMPARE(colonne[1].titolo, QString("Descr. voce"));
    QCOMPARE(colonne[2].larghezza, 1200);
    QCOMPARE(colonne[2].maschera, QString("#,##0.00"));
    QCOMPARE(colonne[2].tipo, 5);
    QCOMPARE(colonne[3].tipo, 7);
    QVERIFY(colonne[0].visibile && colonne[2].visibile);
    QVERIFY(!colonne[4].visibile); // hidden, still read

    // read in chunks while counting: no total needed, nothing waited for
    ModelloRighe* m = g->modello();
    QVERIFY(!lista->totaleNoto());
    QVector<RigaLettura> lette;
    for (qint64 da = 0;; da += 97) {
        const QVector<RigaLettura> parte = lista->righe(da, 97);
        if (parte.isEmpty())
            break;
        lette += parte;
        QVERIFY(m->finestreInMemoria() <= ModelloRighe::FinestreMassime);
    }
    QCOMPARE(lette.size(), n);
    QCOMPARE(lista->totale(), qint64(n));
    for (int r = 0; r < n; ++r) {
        QCOMPARE(lette[r].valori.size(), 5);
        QCOMPARE(lette[r].valori[0].toString(), attese[r][0].toString());
        QCOMPARE(lette[r].valori[4].isNull(), attese[r][4].isNull());
        for (int k = 0; k < 5; ++k) // the grid's texts of its values
            QCOMPARE(lette[r].testi[k], m->testoVisibile(m->valore(r, k), k));
    }
    // one row's texts as the operator sees them
    const int r = int(std::find_if(attese.begin(), attese.end(),
                                   [](const QVariantList& x) {
                                       return x[0].toString() == QLatin1String("C0012");
                                   }) -
                      attese.begin());
    QCOMPARE(lette[r].testi, (QStringList{"C0012", "Voce 12", "1.012,50", "13/01/2024", ""}));
    QVERIFY(lette[r].valori[4].isNull());
    // the grid shows the same row there
    g->setRow(r);
    QCOMPARE(g->Colonna(QStringLiteral("Qta"))->Text(), QString("1.012,50"));

    // past the end and across it
    QCOMPARE(lista->righe(n - 3, 10).size(), 3);
    QVERIFY(lista->righe(n, 10).isEmpty());
    QVERIFY(lista->righe(-1, 10).isEmpty());

    // a row written here keeps its place though the database sorts it last
    g->setRow(5);
    g->Colonna(QStringLiteral("Descrizione"))->setValue(QStringLiteral("ZZZ ultima"));
    QVERIFY2(g->Update(), qPrintable(g->UltimoErrore().descrizione()));
    QCOMPARE(lista->righe(5, 1).value(0).valori.value(1).toString(), QString("ZZZ ultima"));
    QSet<QString> codici;
    for (qint64 da = 0; da < n; da += 250)
        for (const RigaLettura& x : lista->righe(da, 250))
            codici.insert(x.valori[0].toString());
    QCOMPARE(codici.size(), n); // none twice, none missing
    QCOMPARE(lista->totale(), qint64(n));
}

void TstListaLettura::letturaInAvanti() {
    // A list far longer than the windows the grid keeps, read from the top
    // down as a print reads it, while the grid reads windows of its own on
    // the same connection: every row once, in the list's order, the row
    // being typed as typed.
    QFETCH_GLOBAL(Motore, motore);
    SALTA_SENZA_SERVER(motore);
    const QString connessione = QString::fromLatin1(NomeMotore(motore)) + QStringLiteral("-avanti");
    QSqlDatabase db =
        ConnessioneProva(motore, connessione, m_dir.filePath(QStringLiteral("avanti.db")), m_pg);
    QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    const int n = ModelloRighe::RigheFinestra * ModelloRighe::FinestreMassime * 3 + 37;
    {
        QSqlQuery q(db);
        q.exec(QStringLiteral("DROP TABLE IF EXISTS Lunga"));
        QVERIFY2(q.exec(QStringLiteral("CREATE TABLE Lunga (Cod VARCHAR(10) PRIMARY KEY, "
                                       "Gruppo INTEGER, Qta DOUBLE PRECISION)")),
                 qPrintable(q.lastError().text()));
        db.transaction();
        q.prepare(QStringLiteral("INSERT INTO Lunga VALUES (?, ?, ?)"));
        for (int i = 0; i < n; ++i) {
            q.addBindValue(QStringLiteral("L%1").arg(i, 5, 10, QLatin1Char('0')));
            q.addBindValue(i % 7);
            q.addBindValue(i + 0.25);
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        db.commit();
    }
    QStringList attesi;
    {
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT Cod FROM Lunga ORDER BY Gruppo, Cod")));
        while (q.next())
            attesi << q.value(0).toString();
    }
    QWidget form;
    auto* l = new QVBoxLayout(&form);
    auto* tb = new QToolBar(&form);
    auto* contatore = new QLineEdit(&form);
    auto* g = new Griglia(&form);
    l->addWidget(tb);
    l->addWidget(contatore);
    l->addWidget(g);
    Comlin c;
    c.setOgForm(&form);
    c.setOgToolbar(tb);
    c.setOgContatore(contatore);
    c.setOgGriglia(g);
    c.setOgDati(g->Dati());
    c.setOgDatabase(db);
    c.setOsFormatoData(QStringLiteral("dd/mm/yyyy"));
    c.setOiAbilRW(1);
    c.ApriSql(QStringLiteral("SELECT Cod, Gruppo, Qta FROM Lunga ORDER BY Gruppo, Cod"));
    form.show();
    IListaLettura* lista = c.Lista();
    QCOMPARE(lista->totale(), qint64(n)); // a print asks for it first

    // a row being typed, far down the list
    const int modificata = n - 100;
    g->setRow(modificata);
    g->Colonna(QStringLiteral("Qta"))->setValue(QStringLiteral("7"));
    QVERIFY(g->DataChanged());

    QStringList letti;
    int blocchi = 0;
    for (qint64 da = 0;; da += 300) {
        QVector<RigaLettura> parte;
        try {
            parte = lista->righe(da, 300);
        } catch (const Errore& e) {
            QFAIL(qPrintable(
                QStringLiteral("%1 a %2: %3").arg(e.numero()).arg(da).arg(e.descrizione())));
        }
        if (parte.isEmpty())
            break;
        for (int k = 0; k < parte.size(); ++k) {
            letti << parte[k].valori[0].toString();
            if (da + k == modificata)
                QCOMPARE(parte[k].valori[2].toDouble(), 7.0);
            else
                QCOMPARE(parte[k].testi[2], g->modello()->testoVisibile(parte[k].valori[2], 2));
        }
        // the grid reads windows of its own meanwhile
        if (++blocchi % 3 == 0) {
            try {
                g->modello()->valore((da * 7919) % n, 0);
            } catch (const Errore& e) {
                QFAIL(qPrintable(
                    QStringLiteral("griglia %1: %2").arg(e.numero()).arg(e.descrizione())));
            }
        }
    }
    QCOMPARE(letti.size(), n);
    QCOMPARE(letti, attesi);
    QCOMPARE(g->Row(), modificata);
    g->CancelUpdate();
}

void TstListaLettura::vistaSenzaLetture() {
    // A view asking for a cell whose window is not in memory gets no value
    // and causes no read then: the window is read right after, and the view
    // told of its rows.
    PROVA_SOLO_PRIMO_MOTORE();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "vista");
    db.setDatabaseName(m_dir.filePath(QStringLiteral("vista.db")));
    QVERIFY(db.open());
    QSqlQuery q(db);
    QVERIFY(q.exec(QStringLiteral("CREATE TABLE T (Id INTEGER PRIMARY KEY, Testo TEXT)")));
    db.transaction();
    for (int i = 0; i < 2000; ++i)
        q.exec(QStringLiteral("INSERT INTO T VALUES (%1, 't%1')").arg(i));
    db.commit();
    Griglia g;
    g.apri(db, QStringLiteral("SELECT Id, Testo FROM T ORDER BY Id"));
    g.show();
    ModelloRighe* m = g.modello();
    m->attendiConteggio();
    QCOMPARE(m->rowCount(), 2000);
    QCoreApplication::processEvents();
    const int finestre = m->finestreInMemoria();
    QSignalSpy cambiati(m, &QAbstractItemModel::dataChanged);
    const QModelIndex i = m->index(1500, 1);
    QVERIFY(!m->data(i).isValid());
    QVERIFY(!m->data(i, Qt::EditRole).isValid());
    QCOMPARE(m->finestreInMemoria(), finestre); // nothing read inside data()
    QTRY_COMPARE(m->data(i).toString(), QString("t1500"));
    QCOMPARE(m->data(i, Qt::EditRole).toString(), QString("t1500"));
    const bool detto = std::any_of(cambiati.begin(), cambiati.end(), [](const QList<QVariant>& a) {
        const auto da = a[0].value<QModelIndex>(), fino = a[1].value<QModelIndex>();
        return da.row() <= 1500 && fino.row() >= 1500 && da.column() == 0 && fino.column() == 1;
    });
    QVERIFY(detto);
    // the value asked for by the program is read at once
    QCOMPARE(m->valore(300, 1).toString(), QString("t300"));
}

// A list whose count waits for a pause (the search window's, opened at each
// character typed): no count before the pause, the total after it, and at
// once for a reader that waits for it.
void TstListaLettura::conteggioRitardato() {
    QFETCH_GLOBAL(Motore, motore);
    SALTA_SENZA_SERVER(motore);
    QSqlDatabase db = ConnessioneProva(motore, QString::fromLatin1(NomeMotore(motore)),
                                       m_dir.filePath(QStringLiteral("voci.db")), m_pg);
    QVERIFY2(db.open(), qPrintable(db.lastError().text()));
    const int n = ModelloRighe::RigheFinestra * 3 + 5;
    {
        QSqlQuery q(db);
        q.exec(QStringLiteral("DROP TABLE IF EXISTS Attese"));
        QVERIFY2(q.exec(QStringLiteral("CREATE TABLE Attese (Cod VARCHAR(10) PRIMARY KEY)")),
                 qPrintable(q.lastError().text()));
        db.transaction();
        q.prepare(QStringLiteral("INSERT INTO Attese VALUES (?)"));
        for (int i = 0; i < n; ++i) {
            q.addBindValue(QStringLiteral("A%1").arg(i, 4, 10, QLatin1Char('0')));
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        db.commit();
    }
    const QString sql = QStringLiteral("SELECT Cod FROM Attese ORDER BY Cod");
    ModelloRighe m;
    QSignalSpy arrivato(&m, &ModelloRighe::totaleArrivato);
    m.setRitardoConteggio(400);
    QElapsedTimer t;
    t.start();
    m.apri(db, sql);
    QVERIFY(!m.totaleNoto());
    QCOMPARE(m.totale(), qint64(ModelloRighe::RigheFinestra));
    while (t.elapsed() < 300) { // not counted while the pause lasts
        QVERIFY(!m.totaleNoto());
        QTest::qWait(10);
    }
    QTRY_VERIFY_WITH_TIMEOUT(m.totaleNoto(), 10000);
    QCOMPARE(m.totale(), qint64(n));
    QCOMPARE(arrivato.size(), 1);

    // a reader waiting for the total does not wait for the pause
    m.setRitardoConteggio(600000);
    m.apri(db, sql);
    QVERIFY(!m.totaleNoto());
    m.attendiConteggio();
    QVERIFY(m.totaleNoto());
    QCOMPARE(m.totale(), qint64(n));

    // closed before the pause ends: nothing counted behind it
    m.setRitardoConteggio(50);
    m.apri(db, sql);
    m.apri(db, QString());
    QTest::qWait(150);
    QVERIFY(!m.aperta());
    QCOMPARE(m.totale(), qint64(0));
    m.apri(db, QString());
    db.close();
}

// A number column without a mask shows the shortest digits that read back
// as the number, in the operator's decimal form, never an exponent: also
// past the digits a double holds, where the zeros are padded.
void TstListaLettura::testoNumeri_data() {
    QTest::addColumn<QVariant>("valore");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("intero") << QVariant(42.0) << "42";
    QTest::newRow("decimali") << QVariant(-1234.5) << "-1234,5";
    QTest::newRow("cifre più brevi") << QVariant(0.1 + 0.2) << "0,30000000000000004";
    QTest::newRow("piccolo") << QVariant(1e-7) << "0,0000001";
    QTest::newRow("meno zero") << QVariant(-0.0) << "0";
    QTest::newRow("grande") << QVariant(1e23) << "100000000000000000000000";
    QTest::newRow("intero del motore") << QVariant(qlonglong(-7)) << "-7";
}

void TstListaLettura::testoNumeri() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QVariant, valore);
    QFETCH(QString, atteso);
    const QLocale prima;
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    ColonnaLista c;
    c.tipo = Tipo::Doppio;
    const QString testo = TestoVisibile(valore, c, QStringLiteral("dd/MM/yyyy"));
    QLocale::setDefault(prima);
    QCOMPARE(testo, atteso);
}

QTEST_MAIN(TstListaLettura)
#include "tst_listalettura.moc"
