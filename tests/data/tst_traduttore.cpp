// The Access-dialect translator: tokens, translations for both engines, the
// constructs it refuses, and the select-list analysis behind qualified field
// names.

#include "data/Traduttore.h"

#include "suite/ComponenteDati.h"
#include "suite/Errore.h"

#include <QTest>

using namespace quarvel;
using namespace quarvel::dati;

Q_DECLARE_METATYPE(quarvel::dati::Dialetto)

class TstTraduttore : public QObject {
    Q_OBJECT
private slots:
    void tokenizza_data();
    void tokenizza();
    void traduci_data();
    void traduci();
    void rifiuta_data();
    void rifiuta();
    void analizzaSelect();
};

void TstTraduttore::tokenizza_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("token"); // blanks left out
    QTest::newRow("literal with doubled quote")
        << "x='it''s;--'" << QStringList{"x", "=", "'it''s;--'"};
    QTest::newRow("double-quoted literal") << R"(a&"b""c")" << QStringList{"a", "&", R"("b""c")"};
    QTest::newRow("bracketed name with blanks")
        << "[Data inv].x" << QStringList{"[Data inv]", ".", "x"};
    QTest::newRow("date literal") << "d>=#1/2/2024#" << QStringList{"d", ">=", "#1/2/2024#"};
    QTest::newRow("numbers") << "1.5e3+.5-2" << QStringList{"1.5e3", "+", ".5", "-", "2"};
    QTest::newRow("two-character operators")
        << "a<>b<=c>=d" << QStringList{"a", "<>", "b", "<=", "c", ">=", "d"};
    QTest::newRow("accented name") << "Qtà_1 è" << QStringList{"Qtà_1", "è"};
}

void TstTraduttore::tokenizza() {
    QFETCH(QString, sql);
    QFETCH(QStringList, token);
    const auto t = Tokenizza(sql);
    QString ricomposto;
    QStringList visti;
    for (const auto& x : t) {
        ricomposto += x.testo;
        if (x.tipo != TipoToken::Spazio)
            visti << x.testo;
    }
    QCOMPARE(ricomposto, sql);
    QCOMPARE(visti, token);
}

void TstTraduttore::traduci_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<Dialetto>("dialetto");
    QTest::addColumn<QString>("atteso");
    const auto L = Dialetto::SQLite;
    const auto P = Dialetto::PostgreSQL;
    QTest::newRow("plain text unchanged") << "SELECT a, b FROM t WHERE c = 'x' ORDER BY a" << L
                                          << "SELECT a, b FROM t WHERE c = 'x' ORDER BY a";
    QTest::newRow("TOP with ORDER BY DESC")
        << "SELECT TOP 1 MagDescrInv.CodInv FROM MagDescrInv ORDER BY MagDescrInv.DataInvent "
           "DESC, MagDescrInv.CodInv Desc"
        << P
        << "SELECT MagDescrInv.CodInv FROM MagDescrInv ORDER BY MagDescrInv.DataInvent DESC, "
           "MagDescrInv.CodInv Desc LIMIT 1";
    QTest::newRow("TOP after DISTINCT, before a final semicolon")
        << "select distinct top 5 a from t;" << L << "select distinct a from t LIMIT 5;";
    QTest::newRow("TOP inside a subquery stays there")
        << "SELECT a FROM t WHERE b IN (SELECT TOP 2 b FROM u ORDER BY b) ORDER BY a" << L
        << "SELECT a FROM t WHERE b IN (SELECT b FROM u ORDER BY b LIMIT 2) ORDER BY a";
    QTest::newRow("a column named Top is no TOP")
        << "SELECT Top FROM t" << L << "SELECT Top FROM t";
    QTest::newRow("IIF") << ",IIF(Giacenza=0,0,ValGiacenza / Giacenza) AS PrezzoEuro" << L
                         << ",(CASE WHEN Giacenza=0 THEN 0 ELSE ValGiacenza / Giacenza END) AS "
                            "PrezzoEuro";
    QTest::newRow("nested IIF")
        << "iif(a>1,iif(b,'x,y',2),3)" << P
        << "(CASE WHEN a>1 THEN (CASE WHEN b THEN 'x,y' ELSE 2 END) ELSE 3 END)";
    QTest::newRow("DELETE *") << "DELETE * FROM MagInventari WHERE CodInv = 'A'" << P
                              << "DELETE FROM MagInventari WHERE CodInv = 'A'";
    QTest::newRow("DELETE t.*") << "delete MagInventari.* from MagInventari" << L
                                << "delete from MagInventari";
    QTest::newRow("ucase and lcase")
        << " (ucase(Inattivo)<>'S') " << P << " (UPPER(Inattivo)<>'S') ";
    QTest::newRow("lcase, len, mid, nz") << "lcase(a)||len(b)||mid(c,1,2)||Nz(d,0)" << L
                                         << "LOWER(a)||LENGTH(b)||SUBSTR(c,1,2)||COALESCE(d,0)";
    QTest::newRow("& with Null as empty")
        << "SELECT a & '-' & b AS c FROM t" << L
        << "SELECT (COALESCE(CAST((a) AS TEXT),'') || COALESCE(CAST(('-') AS TEXT),'') || "
           "COALESCE(CAST((b) AS TEXT),'')) AS c FROM t";
    QTest::newRow("& binds looser than +, tighter than =")
        << "WHERE x = a + 1 & f(b) AND y" << P
        << "WHERE x = (COALESCE(CAST((a + 1) AS TEXT),'') || COALESCE(CAST((f(b)) AS "
           "TEXT),'')) AND y";
    QTest::newRow("& inside a literal untouched") << "SELECT 'a & b'" << L << "SELECT 'a & b'";
    QTest::newRow("ISO date literal") << "d = #2024-03-03#" << L << "d = '2024-03-03'";
    QTest::newRow("US date literal with time")
        << "d < #12/31/2024 1:05:00 PM#" << P << "d < '2024-12-31 13:05:00'";
    QTest::newRow("True and False") << "a = True OR b = false" << L << "a = -1 OR b = 0";
    QTest::newRow("double-quoted literal")
        << R"(x = "l'anno ""bis""")" << P << R"(x = 'l''anno "bis"')";
    QTest::newRow("bracketed plain name")
        << "SELECT [Articolo] FROM [Articoli]" << P << "SELECT Articolo FROM Articoli";
    QTest::newRow("bracketed name with a blank, PostgreSQL")
        << "SELECT [Data Inv] FROM t" << P << R"(SELECT "data inv" FROM t)";
    QTest::newRow("bracketed name with a blank, SQLite")
        << "SELECT [Data Inv] FROM t" << L << R"(SELECT "Data Inv" FROM t)";
    QTest::newRow("bracketed joins and aliases pass")
        << "SELECT a FROM (A LEFT JOIN B AS B_1 ON A.x = B_1.x) LEFT JOIN C ON C.y = A.y" << P
        << "SELECT a FROM (A LEFT JOIN B AS B_1 ON A.x = B_1.x) LEFT JOIN C ON C.y = A.y";
    QTest::newRow("minus minus is no comment") << "a--1" << L << "a- -1";
    QTest::newRow("slash star is no comment") << "a/*b" << P << "a/ *b";
    QTest::newRow("adjacent literals stay two literals")
        << "x = 'a'\"\"" << L << "x = 'a' ''";
    QTest::newRow("translated name against a name")
        << "SELECT [a]b FROM t" << P << "SELECT a b FROM t";
    QTest::newRow("Date() and Now()") << "WHERE d <= Date() AND t < now( )" << L
                                      << "WHERE d <= CURRENT_DATE AND t < CURRENT_TIMESTAMP";
    QTest::newRow("comment markers inside literals kept")
        << "INSERT INTO t VALUES ('--x', '/*y*/', ';', '[z]', '#1/1/2000#', 'True')" << P
        << "INSERT INTO t VALUES ('--x', '/*y*/', ';', '[z]', '#1/1/2000#', 'True')";
}

void TstTraduttore::traduci() {
    QFETCH(QString, sql);
    QFETCH(Dialetto, dialetto);
    QFETCH(QString, atteso);
    QCOMPARE(Traduci(sql, dialetto), atteso);
}

void TstTraduttore::rifiuta_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("numero");
    QTest::addColumn<QString>("nominato");
    QTest::newRow("TRANSFORM") << "TRANSFORM Sum(x) SELECT a FROM t PIVOT b" << 3085 << "TRANSFORM";
    QTest::newRow("DISTINCTROW") << "SELECT DISTINCTROW a FROM t" << 3085 << "DISTINCTROW";
    QTest::newRow("TOP PERCENT") << "SELECT TOP 10 PERCENT a FROM t" << 3085 << "PERCENT";
    QTest::newRow("DLookup") << "SELECT DLookup('a','t') FROM u" << 3085 << "DLookup";
    QTest::newRow("Format") << "SELECT Format(d,'yyyy') FROM t" << 3085 << "Format";
    QTest::newRow("integer division") << "SELECT a \\ 2 FROM t" << 3085 << "\\";
    QTest::newRow("IIF with two arguments") << "SELECT IIF(a,b) FROM t" << 3075 << "IIF";
    QTest::newRow("open literal") << "SELECT 'abc FROM t" << 3075 << "testo";
    QTest::newRow("open bracket") << "SELECT [abc FROM t" << 3075 << "quadre";
    QTest::newRow("bad date") << "WHERE d = #2/30/2024#" << 3075 << "#2/30/2024#";
    QTest::newRow("unbalanced parenthesis") << "SELECT (a FROM t" << 3075 << "(";
    QTest::newRow("second statement") << "SELECT 1; DROP TABLE t" << 3142 << "istruzione";
}

void TstTraduttore::rifiuta() {
    QFETCH(QString, sql);
    QFETCH(int, numero);
    QFETCH(QString, nominato);
    try {
        Traduci(sql, Dialetto::SQLite);
        QFAIL("no error raised");
    } catch (const Errore& e) {
        QCOMPARE(e.numero(), numero);
        QVERIFY2(e.descrizione().contains(nominato), qPrintable(e.descrizione()));
    }
}

void TstTraduttore::analizzaSelect() {
    const auto a = AnalizzaSelect(
        "SELECT Articoli.Articolo, Articoli.LivGruppo1, Articoli.LivGruppo2, LivGruppi_1.*, "
        "LivGruppi_2.* FROM (Articoli LEFT JOIN LivGruppi AS LivGruppi_1 ON Articoli.LivGruppo1 "
        "= LivGruppi_1.LivGruppo) LEFT JOIN LivGruppi AS LivGruppi_2 ON Articoli.LivGruppo2 = "
        "LivGruppi_2.LivGruppo WHERE Articoli.Articolo = 'X'");
    QVERIFY(a.valida);
    QCOMPARE(a.voci.size(), size_t(5));
    QCOMPARE(a.voci[1].qualificatore, QString("Articoli"));
    QCOMPARE(a.voci[1].nome, QString("LivGruppo1"));
    QCOMPARE(a.voci[3].qualificatore, QString("LivGruppi_1"));
    QCOMPARE(a.voci[3].nome, QString("*"));
    QCOMPARE(a.tabelle.size(), size_t(3));
    QCOMPARE(a.tabelle[1].first, QString("LivGruppi_1"));
    QCOMPARE(a.tabelle[1].second, QString("LivGruppi"));
    QCOMPARE(a.tabelle[2].first, QString("LivGruppi_2"));

    const auto b = AnalizzaSelect("SELECT x.a AS b, count(*) FROM t x");
    QVERIFY(b.valida);
    QCOMPARE(b.voci[0].alias, QString("b"));
    QVERIFY(b.voci[1].nome.isEmpty());
    QCOMPARE(b.tabelle[0].first, QString("x"));
}

QTEST_GUILESS_MAIN(TstTraduttore)
#include "tst_traduttore.moc"
