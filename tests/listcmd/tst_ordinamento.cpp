// A list opened again in another order, as a click on a column's title
// opens it, without a window: the record set over an inventory of a few ten
// thousand rows on a real SQLite file and on the PostgreSQL of the test
// service (QUARVEL_PG_*; skipped without it).  The rows at the top, in the
// middle and at the end of the sorted list are the rows the engine's own
// ORDER BY gives there (the sorted column, then the key), Nulls, ties, a
// descending order, a column of a joined table and codes written in
// another case included; a list that holds most of its table reads the
// whole table for its sort, one that holds a small part of it keeps the
// index of its condition; a row changed by another connection after the
// sort is neither shown at a stale place nor overwritten.

#include "listcmd/AnalisiSql.h"
#include "listcmd/ModelloRighe.h"
#include "listcmd/Motore.h"
#include "suite/Errore.h"
#include "support/MotoriProva.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace quarvel;
using namespace quarvel::listcmd;
using namespace prova;

namespace {

// Two inventories: INV1 a little less than half of the table's rows, INV2
// the rest.  Quantities with ties and Nulls, notes in two cases and Null,
// articles whose description is Null or missing.
constexpr int RigheInv1 = 24000;
constexpr int RigheInv2 = 30000;

// The list of an inventory, as the form writes it (the code in another
// case than the rows': compared without regard to case).
QString Lista(const QString& inventario) {
    return QStringLiteral("SELECT Inv.CodInv, Inv.Cod, Inv.Art, Art.Descr AS DesArt, Inv.Giac, "
                          "Inv.Nota FROM Inv LEFT JOIN Art ON Inv.Art = Art.Art WHERE "
                          "Inv.CodInv = '%1' ORDER BY Inv.Cod")
        .arg(inventario);
}

// A value as the comparison reads it: Null apart from any text.
QString Testo(const QVariant& v) {
    if (!v.isValid() || v.isNull())
        return QStringLiteral("<null>");
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float)
        return QString::number(v.toDouble());
    return v.toString();
}

} // namespace

class TstOrdinamento : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { MotoriProva::Righe(); }
    void initTestCase();
    void cleanupTestCase() { m_pg.Elimina(); }
    void ordineDelMotore_data();
    void ordineDelMotore();
    void rigaCambiataAltrove();

private:
    QSqlDatabase apri(Motore motore, const QString& nome);
    // The rows of the list in the engine's order, all of them.
    QVector<QStringList> attese(const QSqlDatabase& db, const QString& sql);

    DatabasePgProva m_pg{QStringLiteral("quarvel_ordinamento")};
    QTemporaryDir m_dir;
    QSet<Motore> m_pronti;
};

void TstOrdinamento::initTestCase() {
    QVERIFY(m_dir.isValid());
    if (DatabasePgProva::Disponibile()) {
        QString errore;
        QVERIFY2(m_pg.Crea(&errore), qPrintable(errore));
    }
}

QSqlDatabase TstOrdinamento::apri(Motore motore, const QString& nome) {
    const QString connessione = QString::fromLatin1(NomeMotore(motore)) + nome;
    QSqlDatabase db = QSqlDatabase::contains(connessione)
                          ? QSqlDatabase::database(connessione)
                          : ConnessioneProva(motore, connessione,
                                             m_dir.filePath(QStringLiteral("ordine.db")), m_pg);
    if (!db.isOpen() && !db.open())
        qFatal("%s", qPrintable(db.lastError().text()));
    if (m_pronti.contains(motore))
        return db;
    m_pronti.insert(motore);
    // codes and notes compared without regard to case, as the company's
    const bool pg = EPostgres(db);
    const QString testo = pg ? QStringLiteral("citext") : QStringLiteral("TEXT COLLATE NOCASE");
    QSqlQuery q(db);
    const QStringList schema = {
        QStringLiteral("DROP TABLE IF EXISTS Inv"),
        QStringLiteral("DROP TABLE IF EXISTS Art"),
        QStringLiteral("CREATE TABLE Art (Art %1 NOT NULL PRIMARY KEY, Descr %1)").arg(testo),
        QStringLiteral("CREATE TABLE Inv (CodInv %1 NOT NULL, Cod %1 NOT NULL, Art %1, "
                       "Giac DOUBLE PRECISION, Nota %1, PRIMARY KEY (CodInv, Cod))")
            .arg(testo),
        // 400 articles, every seventh without a description, every
        // eleventh of the rows' codes missing
        QStringLiteral("INSERT INTO Art WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 "
                       "FROM n WHERE i < 399) SELECT 'A' || i, CASE WHEN i % 7 = 0 THEN NULL "
                       "WHEN i % 2 = 0 THEN 'descr ' || (i % 40) ELSE 'DESCR ' || (i % 40) END "
                       "FROM n WHERE i % 11 <> 0"),
        QStringLiteral("INSERT INTO Inv WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                       "FROM n WHERE i < %1) SELECT CASE WHEN i <= %2 THEN 'INV1' ELSE 'INV2' "
                       "END, 'C' || i, 'A' || (i % 400), CASE WHEN i % 13 = 0 THEN NULL ELSE "
                       "(i * 7919) % 1000 END, CASE i % 3 WHEN 0 THEN 'nota ' || (i % 50) "
                       "WHEN 1 THEN 'NOTA ' || (i % 50) END FROM n")
            .arg(RigheInv1 + RigheInv2)
            .arg(RigheInv1),
        pg ? QStringLiteral("ANALYZE Inv") : QStringLiteral("ANALYZE"),
    };
    for (const QString& s : schema)
        if (!q.exec(s))
            qFatal("%s: %s", qPrintable(s), qPrintable(q.lastError().text()));
    return db;
}

QVector<QStringList> TstOrdinamento::attese(const QSqlDatabase& db, const QString& sql) {
    QVector<QStringList> righe;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    while (q.next()) {
        QStringList r;
        for (int c = 0; c < q.record().count(); ++c)
            r << Testo(q.value(c));
        righe << r;
    }
    return righe;
}

void TstOrdinamento::ordineDelMotore_data() {
    QTest::addColumn<QString>("inventario");
    QTest::addColumn<QString>("ordine");
    // -1: not asked (the server's planner decides)
    QTest::addColumn<int>("interaSqlite");
    QTest::addColumn<int>("interaServer");
    // the middle of the list starts from the sort column's values in memory
    QTest::addColumn<bool>("valori");
    QTest::newRow("number, Nulls and ties")
        << QString("inv2") << QString("Inv.Giac") << 1 << 1 << true;
    QTest::newRow("number, descending")
        << QString("inv2") << QString("Inv.Giac DESC") << 1 << 1 << true;
    QTest::newRow("text in two cases") << QString("inv2") << QString("Inv.Nota") << 1 << 1 << false;
    QTest::newRow("text, descending")
        << QString("inv2") << QString("Inv.Nota DESC") << 1 << 1 << false;
    QTest::newRow("column of the joined table")
        << QString("inv2") << QString("Art.Descr") << 0 << 0 << false;
    QTest::newRow("joined, descending")
        << QString("inv2") << QString("Art.Descr DESC") << 0 << 0 << false;
    QTest::newRow("a small part of the table")
        << QString("inv1") << QString("Inv.Giac") << 0 << -1 << true;
    QTest::newRow("an index gives the order")
        << QString("inv2") << QString("Inv.Cod DESC") << 0 << 0 << false;
}

void TstOrdinamento::ordineDelMotore() {
    QFETCH_GLOBAL(Motore, motore);
    QFETCH(QString, inventario);
    QFETCH(QString, ordine);
    QFETCH(int, interaSqlite);
    QFETCH(int, interaServer);
    QFETCH(bool, valori);
    SALTA_SENZA_SERVER(motore);
    const QSqlDatabase db = apri(motore, QStringLiteral("lista"));
    ModelloRighe m;
    const QString sql = Lista(inventario);
    m.apri(db, sql);
    m.attendiConteggio();
    const qint64 n = inventario == QLatin1String("inv1") ? RigheInv1 : RigheInv2;
    QCOMPARE(m.totale(), n);
    // the click on the title: the same rows in another order
    m.apri(db, SostituisciOrdine(sql, ordine));
    const int intera = motore == Motore::Sqlite ? interaSqlite : interaServer;
    if (intera >= 0)
        QCOMPARE(m.letturaIntera(), intera == 1);
    const QVector<QStringList> righe =
        attese(db, SostituisciOrdine(sql, ordine + QStringLiteral(", Inv.CodInv, Inv.Cod")));
    QCOMPARE(righe.size(), n);
    // the top as it first shows, then the middle and the end once counted
    QList<qint64> posti;
    for (qint64 r = 0; r < 300; ++r)
        posti << r;
    m.attendiConteggio();
    QCOMPARE(m.totale(), n);
    for (qint64 r = n / 2 - 150; r < n / 2 + 150; ++r)
        posti << r;
    for (qint64 r = n - 300; r < n; ++r)
        posti << r;
    for (qint64 r : posti) {
        QStringList letta;
        for (int c = 0; c < m.numeroColonne(); ++c)
            letta << Testo(m.valore(r, c));
        QCOMPARE(letta, righe[r]);
    }
    QCOMPARE(m.valoriOrdineInMemoria(), valori);
    QVERIFY(!m.spostata());
}

// Another workstation changes a row after the list was sorted: the windows
// read after it hold no row twice and lose none (the list is read again
// in its new order), and an edit of the row as it was first read is
// refused, never written over the other's.
void TstOrdinamento::rigaCambiataAltrove() {
    QFETCH_GLOBAL(Motore, motore);
    SALTA_SENZA_SERVER(motore);
    const QSqlDatabase db = apri(motore, QStringLiteral("lista"));
    const QSqlDatabase altra = apri(motore, QStringLiteral("altra"));
    ModelloRighe m;
    const QString sql = Lista(QStringLiteral("inv2"));
    m.apri(db, sql);
    m.attendiConteggio();
    m.apri(db, SostituisciOrdine(sql, QStringLiteral("Inv.Giac")));
    m.attendiConteggio();
    QVERIFY(m.letturaIntera() || motore != Motore::Sqlite);
    const QString cod = m.valore(5, 1).toString();
    const int colNota = m.indiceColonna(QStringLiteral("Nota"));
    QVERIFY(m.valore(5, colNota).toString() != QLatin1String("altrove"));
    // the row moves to the end of the order, its note changes
    QSqlQuery q(altra);
    QVERIFY2(q.exec(QStringLiteral("UPDATE Inv SET Giac = 5000, Nota = 'altrove' WHERE "
                                   "CodInv = 'INV2' AND Cod = '%1'")
                        .arg(cod)),
             qPrintable(q.lastError().text()));
    // a window read after the change: the list moved under it
    for (qint64 r = 128; r < 256; ++r)
        m.valore(r, 0);
    QVERIFY(m.spostata());
    // the edit of the row as it was read is refused, the row read again
    m.impostaValore(5, colNota, QStringLiteral("qui"));
    try {
        m.scriviRiga();
        QFAIL("a row changed elsewhere was written over");
    } catch (const Errore& e) {
        QCOMPARE(e.numero(), NumErrLista::RigaModificata);
    }
    QCOMPARE(m.valore(5, colNota).toString(), QString("altrove"));
    // read again: the new order
    m.riallinea();
    m.attendiConteggio();
    QVERIFY(!m.spostata());
    const QVector<QStringList> righe =
        attese(db, SostituisciOrdine(sql, QStringLiteral("Inv.Giac, Inv.CodInv, Inv.Cod")));
    QCOMPARE(m.totale(), qint64(righe.size()));
    // (its new place: before the Nulls on the server, at the end on SQLite)
    qint64 nuovoPosto = -1;
    for (qint64 r = 0; r < righe.size(); ++r)
        if (righe[r][1] == cod)
            nuovoPosto = r;
    QVERIFY(nuovoPosto > 255);
    for (qint64 r :
         QList<qint64>{0, 1, 4, 5, 6, 127, 128, 129, 255, nuovoPosto, qint64(righe.size()) - 1}) {
        QStringList letta;
        for (int c = 0; c < m.numeroColonne(); ++c)
            letta << Testo(m.valore(r, c));
        QCOMPARE(letta, righe[r]);
    }
    QCOMPARE(m.valore(nuovoPosto, colNota).toString(), QString("altrove"));
}

QTEST_GUILESS_MAIN(TstOrdinamento)
#include "tst_ordinamento.moc"
