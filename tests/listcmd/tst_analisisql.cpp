// Reading a list's SELECT into its parts: the base table the rows are written
// to, the condition, the order, and the sort a header click makes.

#include "listcmd/AnalisiSql.h"

#include <QTest>

using namespace quarvel::listcmd;

class TstAnalisiSql : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parti_data();
    void parti();
    void voci();
    void ordine_data();
    void ordine();
    void sostituisciOrdine_data();
    void sostituisciOrdine();
};

void TstAnalisiSql::parti_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("alias");
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("ordine");
    QTest::addColumn<bool>("raggruppata");

    QTest::newRow("conteggi")
        << "SELECT MagInventari.CodInv,MagInventari.Articolo,Articoli.Descrizione AS "
           "DesArticolo FROM (MagInventari LEFT JOIN Articoli ON "
           "MagInventari.Articolo = Articoli.Articolo) LEFT JOIN Magazzini ON "
           "Magazzini.Magazzino = MagInventari.Magazzino WHERE CodInv = 'X' "
           "Order by MagInventari.Articolo"
        << "MagInventari"
        << "MagInventari"
        << "CodInv = 'X'"
        << "MagInventari.Articolo" << false;
    QTest::newRow("vuota") << "SELECT CodInv, DataInvent,Descrizione FROM MagDescrInv WHERE 1=2"
                           << "MagDescrInv"
                           << "MagDescrInv"
                           << "1=2"
                           << "" << false;
    QTest::newRow("alias") << "select a.x from [Tab Uno] AS a inner join b on a.k=b.k"
                           << "Tab Uno"
                           << "a"
                           << ""
                           << "" << false;
    QTest::newRow("alias senza as") << "SELECT t.x FROM Tab t WHERE t.x > 1 ORDER BY t.x DESC;"
                                    << "Tab"
                                    << "t"
                                    << "t.x > 1"
                                    << "t.x DESC" << false;
    QTest::newRow("parola nel testo") << "SELECT a FROM T WHERE b = 'x ORDER BY y' ORDER BY a"
                                      << "T"
                                      << "T"
                                      << "b = 'x ORDER BY y'"
                                      << "a" << false;
    QTest::newRow("sottoquery") << "SELECT a FROM T WHERE a IN (SELECT a FROM U WHERE c=1 ORDER "
                                   "BY a) ORDER BY a"
                                << "T"
                                << "T"
                                << "a IN (SELECT a FROM U WHERE c=1 ORDER BY a)"
                                << "a" << false;
    QTest::newRow("distinct") << "SELECT DISTINCT a FROM T"
                              << "T"
                              << "T"
                              << ""
                              << "" << true;
    QTest::newRow("group by") << "SELECT a, COUNT(*) AS n FROM T GROUP BY a HAVING COUNT(*) > 1"
                              << "T"
                              << "T"
                              << ""
                              << "" << true;
}

void TstAnalisiSql::parti() {
    QFETCH(QString, sql);
    QFETCH(QString, base);
    QFETCH(QString, alias);
    QFETCH(QString, where);
    QFETCH(QString, ordine);
    QFETCH(bool, raggruppata);
    const AnalisiSql a = Analizza(sql);
    QVERIFY(a.valida);
    QCOMPARE(a.tabellaBase, base);
    QCOMPARE(a.aliasBase, alias);
    QCOMPARE(a.where, where);
    QCOMPARE(a.ordine, ordine);
    QCOMPARE(a.raggruppata(), raggruppata);
}

void TstAnalisiSql::voci() {
    const AnalisiSql a = Analizza(
        "SELECT Anno,ArtLiFo.Articolo,IIF(Giacenza=0,0,ValGiacenza / Giacenza) AS PrezzoEuro, "
        "[Val Tot], Magazzini.* FROM ArtLiFo");
    QCOMPARE(a.voci.size(), 5);
    QCOMPARE(a.voci[0].nome, QString("Anno"));
    QVERIFY(a.voci[0].semplice);
    QCOMPARE(a.voci[1].tabella, QString("ArtLiFo"));
    QCOMPARE(a.voci[1].colonna, QString("Articolo"));
    QCOMPARE(a.voci[2].nome, QString("PrezzoEuro"));
    QVERIFY(!a.voci[2].semplice);
    QCOMPARE(a.voci[2].espressione, QString("IIF(Giacenza=0,0,ValGiacenza / Giacenza)"));
    QCOMPARE(a.voci[3].nome, QString("Val Tot"));
    QVERIFY(a.voci[4].stella);
    QVERIFY(!Analizza("UPDATE T SET a=1").valida);
}

void TstAnalisiSql::ordine_data() {
    QTest::addColumn<QString>("ordine");
    QTest::addColumn<QString>("diritto");
    QTest::addColumn<QString>("rovescio");
    QTest::newRow("semplice") << "a"
                              << "a"
                              << "a DESC";
    QTest::newRow("misto") << "a DESC, b asc, IIF(c,1,2)"
                           << "a DESC, b, IIF(c,1,2)"
                           << "a, b DESC, IIF(c,1,2) DESC";
    QTest::newRow("nome con desc") << "descrizione"
                                   << "descrizione"
                                   << "descrizione DESC";
}

void TstAnalisiSql::ordine() {
    QFETCH(QString, ordine);
    QFETCH(QString, diritto);
    QFETCH(QString, rovescio);
    QCOMPARE(ComponiOrdine(TerminiOrdine(ordine)), diritto);
    QCOMPARE(ComponiOrdine(TerminiOrdine(ordine), true), rovescio);
}

void TstAnalisiSql::sostituisciOrdine_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("nuovo");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("aggiunto") << "SELECT a FROM T WHERE x=1"
                              << "a DESC"
                              << "SELECT a FROM T WHERE x=1 ORDER BY a DESC";
    QTest::newRow("sostituito") << "SELECT a FROM T Order by b;"
                                << "a"
                                << "SELECT a FROM T ORDER BY a";
    QTest::newRow("tolto") << "SELECT a FROM T ORDER BY b"
                           << ""
                           << "SELECT a FROM T";
    QTest::newRow("sottoquery intatta")
        << "SELECT a FROM T WHERE a IN (SELECT a FROM U ORDER BY a)"
        << "a"
        << "SELECT a FROM T WHERE a IN (SELECT a FROM U ORDER BY a) ORDER BY a";
}

void TstAnalisiSql::sostituisciOrdine() {
    QFETCH(QString, sql);
    QFETCH(QString, nuovo);
    QFETCH(QString, atteso);
    QCOMPARE(SostituisciOrdine(sql, nuovo), atteso);
}

QTEST_APPLESS_MAIN(TstAnalisiSql)
#include "tst_analisisql.moc"
