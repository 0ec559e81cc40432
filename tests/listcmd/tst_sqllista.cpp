// The statements of a list, run on real tables of SQLite and of PostgreSQL
// (the server of the test service, QUARVEL_PG_*; skipped without it): the
// windows read one after the other, from the top and from the end, make the
// whole list once in its order; the count, the place of a key, the search and
// the rows left out agree with it; a row is written or deleted only as it
// was read, Null matching Null.  The FROM the rows are counted on is checked
// as text against made-up schemas.

#include "listcmd/Conteggio.h"
#include "listcmd/SqlLista.h"
#include "support/MotoriProva.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace quarvel::listcmd;
using namespace prova;

namespace {

using Riga = SqlLista::Riga;

// The list's columns as the grid finds them: a plain column of the base
// table may be written.
QList<ColonnaLista> Colonne(const AnalisiSql& a) {
    QList<ColonnaLista> colonne;
    for (const VoceSelect& v : a.voci) {
        ColonnaLista c;
        c.nome = v.nome;
        c.espressione = c.espressioneMotore = v.espressione;
        const bool diBase =
            v.semplice && !a.raggruppata() &&
            (v.tabella.isEmpty() || v.tabella.compare(a.aliasBase, Qt::CaseInsensitive) == 0);
        if (diBase) {
            c.colonnaBase = v.colonna;
            c.aggiornabile = true;
        }
        colonne << c;
    }
    return colonne;
}

} // namespace

// The lists run on each engine; fromPerContare() reads text only and runs
// once.
class TstSqlLista : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase_data() { MotoriProva::Righe(); }
    void initTestCase();
    void cleanupTestCase() { m_pg.Elimina(); }
    void fromPerContare_data();
    void fromPerContare();
    void lista_data();
    void lista();
    void conteggioSenzaCaso_data();
    void conteggioSenzaCaso();
    void conteggioPerDifferenza_data();
    void conteggioPerDifferenza();
    void scritturaOttimistica();

private:
    QSqlDatabase apri(Motore motore);
    QVector<Riga> righe(const QSqlDatabase& db, const QString& testo,
                        const QVariantList& parametri = {});
    DatabasePgProva m_pg{QStringLiteral("quarvel_sqllista")};
    QTemporaryDir m_dir;
    int m_serie = 0;
};

void TstSqlLista::initTestCase() {
    QVERIFY(m_dir.isValid());
    if (DatabasePgProva::Disponibile()) {
        QString errore;
        QVERIFY2(m_pg.Crea(&errore), qPrintable(errore));
    }
}

QSqlDatabase TstSqlLista::apri(Motore motore) {
    const QString nome = QStringLiteral("db%1").arg(++m_serie);
    QSqlDatabase db =
        ConnessioneProva(motore, nome, m_dir.filePath(nome + QStringLiteral(".db")), m_pg);
    if (!db.open())
        qFatal("%s", qPrintable(db.lastError().text()));
    QSqlQuery q(db);
    const QStringList schema = {
        QStringLiteral("DROP TABLE IF EXISTS Righe"),
        QStringLiteral("DROP TABLE IF EXISTS Articoli"),
        QStringLiteral("CREATE TABLE Articoli (Articolo VARCHAR(20) PRIMARY KEY, "
                       "Descrizione VARCHAR(50), Gruppo VARCHAR(10))"),
        QStringLiteral("CREATE TABLE Righe (Cod VARCHAR(10) NOT NULL, Num INTEGER NOT NULL, "
                       "Articolo VARCHAR(20), Qta DOUBLE PRECISION, Nota VARCHAR(50), "
                       "PRIMARY KEY (Cod, Num))"),
    };
    for (const QString& s : schema)
        if (!q.exec(s))
            qFatal("%s", qPrintable(q.lastError().text()));
    // Articles a few of the rows do not find; equal quantities and Nulls, so
    // that only the key makes the order total.
    for (int i = 1; i <= 6; ++i)
        q.exec(QStringLiteral("INSERT INTO Articoli VALUES ('A%1', 'Articolo %2', 'G%3')")
                   .arg(i)
                   .arg(QChar(QLatin1Char('a' + (i * 5) % 6)))
                   .arg(i % 2));
    int n = 0;
    for (const char* cod : {"A", "B", "C", "D"})
        for (int num = 1; num <= 6; ++num, ++n) {
            q.prepare(QStringLiteral("INSERT INTO Righe VALUES (?, ?, ?, ?, ?)"));
            q.addBindValue(QString::fromLatin1(cod));
            q.addBindValue(num);
            q.addBindValue(QStringLiteral("A%1").arg(1 + n % 8)); // A7, A8 have no article
            q.addBindValue(n % 5 == 0 ? QVariant() : QVariant(double(n % 3)));
            q.addBindValue(n % 4 == 0 ? QVariant() : QVariant(QStringLiteral("nota %1").arg(n)));
            if (!q.exec())
                qFatal("%s", qPrintable(q.lastError().text()));
        }
    return db;
}

QVector<Riga> TstSqlLista::righe(const QSqlDatabase& db, const QString& testo,
                                 const QVariantList& parametri) {
    QSqlQuery q(db);
    q.prepare(testo);
    for (const QVariant& v : parametri)
        q.addBindValue(v);
    if (!q.exec()) {
        QTest::qFail(qPrintable(q.lastError().text() + QStringLiteral(": ") + testo), __FILE__,
                     __LINE__);
        return {};
    }
    QVector<Riga> lette;
    while (q.next()) {
        Riga r(q.record().count());
        for (int i = 0; i < r.size(); ++i)
            r[i] = q.value(i);
        lette << r;
    }
    return lette;
}

void TstSqlLista::fromPerContare_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("atteso");
    const QString base = QStringLiteral("MagInventari");
    const QString join = QStringLiteral(
        "(MagInventari LEFT JOIN Articoli ON MagInventari.Articolo = Articoli.Articolo) "
        "LEFT JOIN Magazzini ON Magazzini.Magazzino = MagInventari.Magazzino");
    const QString sel = QStringLiteral("SELECT MagInventari.Articolo FROM ");
    QTest::newRow("joins by the whole key") << sel + join + " WHERE CodInv = 'X'" << base;
    QTest::newRow("condition with a literal naming another table")
        << sel + join + " WHERE CodInv = 'Articoli.Descrizione' AND Giacenza > 0" << base;
    QTest::newRow("a function of a base column")
        << sel + join + " WHERE UPPER(MagInventari.CodInv) = 'X'" << base;
    QTest::newRow("condition on a joined table")
        << sel + join + " WHERE Articoli.Descrizione LIKE 'B%'" << join;
    QTest::newRow("unqualified column of a joined table")
        << sel + join + " WHERE Descrizione IS NULL" << join;
    const QString parziale = QStringLiteral(
        "MagInventari LEFT JOIN ArtLifo ON ArtLifo.Articolo = MagInventari.Articolo");
    QTest::newRow("join by part of a key") << sel + parziale << parziale;
    const QString interna = QStringLiteral(
        "MagInventari INNER JOIN Articoli ON MagInventari.Articolo = Articoli.Articolo");
    QTest::newRow("inner join") << sel + interna << interna;
    const QString senzaChiave = QStringLiteral(
        "MagInventari LEFT JOIN Appunti ON Appunti.Articolo = MagInventari.Articolo");
    QTest::newRow("joined table without a key") << sel + senzaChiave << senzaChiave;
    const QString legataMale = QStringLiteral(
        "MagInventari LEFT JOIN Articoli ON MagInventari.Articolo = MagInventari.Magazzino");
    QTest::newRow("ON not naming the joined table") << sel + legataMale << legataMale;
    QTest::newRow("grouped") << "SELECT MagInventari.Articolo, COUNT(*) FROM " + join +
                                    " GROUP BY MagInventari.Articolo"
                             << join;
    QTest::newRow("no join") << sel + base + " WHERE Articoli = 1" << base;
}

void TstSqlLista::fromPerContare() {
    PROVA_SOLO_PRIMO_MOTORE();
    QFETCH(QString, sql);
    QFETCH(QString, atteso);
    SqlLista lista(Analizza(sql));
    QVERIFY(lista.analisi().valida);
    SchemaLista schema;
    schema.chiavePrimaria = [](const QString& tabella) -> QStringList {
        if (tabella == QLatin1String("Articoli"))
            return {QStringLiteral("Articolo")};
        if (tabella == QLatin1String("Magazzini"))
            return {QStringLiteral("Magazzino")};
        if (tabella == QLatin1String("ArtLifo"))
            return {QStringLiteral("Articolo"), QStringLiteral("Anno")};
        return {};
    };
    schema.colonneBase = QStringList{"CodInv", "Articolo", "Magazzino", "Giacenza"};
    QCOMPARE(lista.fromPerContare(schema), atteso);
}

void TstSqlLista::lista_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("chiavi");
    QTest::addColumn<int>("colonnaCerca");
    QTest::addColumn<bool>("giunzioneDopo"); // the windows read the base table first
    struct Caso {
        const char* nome;
        const char* sql;
        QStringList chiavi;
        int cerca;
        bool dopo = false;
    };
    const QList<Caso> casi = {
        {"base table, key, no order",
         "SELECT Articolo, Descrizione FROM Articoli",
         {"Articolo"},
         1},
        {"two-column key, order by a column with Nulls and ties",
         "SELECT Cod, Num, Qta, Nota FROM Righe ORDER BY Qta DESC",
         {"Cod", "Num"},
         3},
        {"left join, condition, order by the joined table",
         "SELECT Righe.Cod, Righe.Num, Articoli.Descrizione AS Des FROM Righe LEFT JOIN "
         "Articoli ON Righe.Articolo = Articoli.Articolo WHERE Righe.Cod <> 'C' ORDER BY "
         "Articoli.Descrizione",
         {"Cod", "Num"},
         2},
        {"alias, key not shown",
         "SELECT r.Articolo, r.Nota FROM Righe r WHERE r.Num > 1 ORDER BY r.Articolo",
         {"Cod", "Num"},
         1},
        {"grouped, no key", "SELECT Articolo, COUNT(*) AS N FROM Righe GROUP BY Articolo", {}, 0},
        {"left join by the key, condition, order by a base column with Nulls and ties",
         "SELECT Righe.Cod, Righe.Num, Articoli.Descrizione AS Des, Righe.Qta FROM (Righe LEFT "
         "JOIN Articoli ON Righe.Articolo = Articoli.Articolo) WHERE Righe.Cod <> 'C' ORDER BY "
         "Righe.Qta DESC",
         {"Cod", "Num"},
         2,
         true},
        {"aliases, key not shown, order by an unqualified base column",
         "SELECT r.Articolo, a.Descrizione, r.Nota FROM Righe AS r LEFT JOIN Articoli a ON "
         "a.Articolo = r.Articolo ORDER BY Nota",
         {"Cod", "Num"},
         2,
         true},
    };
    for (const Caso& c : casi)
        QTest::newRow(c.nome) << QString::fromLatin1(c.sql) << c.chiavi << c.cerca << c.dopo;
}

void TstSqlLista::lista() {
    QFETCH_GLOBAL(Motore, motore);
    QFETCH(QString, sql);
    QFETCH(QStringList, chiavi);
    QFETCH(int, colonnaCerca);
    QFETCH(bool, giunzioneDopo);
    SALTA_SENZA_SERVER(motore);
    const QSqlDatabase db = apri(motore);
    SqlLista lista(Analizza(sql));
    QVERIFY(lista.analisi().valida);
    lista.impostaChiavi(Colonne(lista.analisi()), chiavi);
    SchemaLista schema;
    schema.chiavePrimaria = [](const QString& t) -> QStringList {
        return t.compare("Articoli", Qt::CaseInsensitive) == 0 ? QStringList{"Articolo"}
                                                               : QStringList{"Cod", "Num"};
    };
    schema.colonneBase = QStringList{"Cod", "Num", "Articolo", "Qta", "Nota"};
    lista.impostaSchema(schema);
    QCOMPARE(lista.giunzioneDopo(), giunzioneDopo);
    // the whole list in its order
    const QVector<Riga> tutte = righe(db, lista.select() + " ORDER BY " + lista.ordine());
    const qint64 n = tutte.size();
    QVERIFY(n > 5);

    // windows of 4 from the top and from the end: each row once, in order
    for (const bool dallaFine : {false, true}) {
        QVector<Riga> lette;
        for (qint64 o = 0; o < n; o += 4) {
            QVector<Riga> f = righe(db, lista.finestra(o, 4, dallaFine, {}));
            if (dallaFine)
                lette = QVector<Riga>(f.rbegin(), f.rend()) + lette;
            else
                lette += f;
        }
        QCOMPARE(lette, tutte);
    }

    // the count, on the FROM chosen for counting
    const QString da = lista.fromPerContare(schema);
    QCOMPARE(righe(db, lista.conteggio(da, {})).value(0).value(0).toLongLong(), n);

    if (lista.analisi().raggruppata())
        return; // (the grid searches no grouped list)
    // the search: the first row after a place
    const QString espressione = lista.analisi().voci[colonnaCerca].espressione;
    QString cercato;
    for (qint64 k = n / 2; cercato.isEmpty(); k = (k + 1) % n)
        cercato = tutte[k][colonnaCerca].toString().right(2).toLower();
    for (const qint64 limite : {qint64(0), n / 2, n - 1}) {
        qint64 atteso = -1;
        for (qint64 k = limite; k < n && atteso < 0; ++k)
            if (tutte[k][colonnaCerca].toString().toLower().contains(cercato))
                atteso = k + 1;
        const Istruzione s = lista.cerca(espressione, cercato, true, limite, {});
        QCOMPARE(righe(db, s.testo, s.parametri).value(0).value(0, -1).toLongLong(), atteso);
    }
    // ... and up to it, for the search that wraps to the top
    const Istruzione s = lista.cerca(espressione, cercato, false, n, {});
    qint64 primo = -1;
    for (qint64 k = 0; k < n && primo < 0; ++k)
        if (tutte[k][colonnaCerca].toString().toLower().contains(cercato))
            primo = k + 1;
    QCOMPARE(righe(db, s.testo, s.parametri).value(0).value(0, -1).toLongLong(), primo);

    // the place of each key
    for (qint64 k = 0; k < n; ++k) {
        const Istruzione s = lista.posizione(lista.chiaveDi(tutte[k]), {});
        QCOMPARE(righe(db, s.testo, s.parametri).value(0).value(0).toLongLong(), k + 1);
    }
    // rows written here left out of the windows and of the count
    const QList<QVariantList> scritte = {lista.chiaveDi(tutte[1]), lista.chiaveDi(tutte[n - 2])};
    const QString esclusi = lista.esclusi(scritte, [](const QVariant& v) {
        return v.typeId() == QMetaType::QString ? "'" + v.toString() + "'" : v.toString();
    });
    QVERIFY(!esclusi.isEmpty());
    QVector<Riga> attese = tutte;
    attese.remove(n - 2);
    attese.remove(1);
    QCOMPARE(righe(db, lista.finestra(0, n, false, esclusi)), attese);
    QCOMPARE(righe(db, lista.conteggio(da, esclusi)).value(0).value(0).toLongLong(), n - 2);
    // a key not known (a Null in it) leaves nothing out
    QVariantList ignota = scritte[0];
    ignota[0] = QVariant();
    QVERIFY(lista.esclusi({ignota}, [](const QVariant& v) { return v.toString(); }).isEmpty());
}

// A count on a column compared without regard to case (citext on the
// server, NOCASE on SQLite) tries the text as written first where that
// keeps the rows the same: it counts what the list's own condition selects,
// codes of any case included, and leaves alone a comparison that is part of
// a larger expression.
void TstSqlLista::conteggioSenzaCaso_data() {
    QTest::addColumn<QString>("condizione");
    QTest::addColumn<bool>("riscritta"); // the text as written tried first
    QTest::newRow("column = text") << "Cod = 'ab'" << true;
    QTest::newRow("by the alias, with another term") << "t.Cod = 'ab' AND t.Num > 1" << true;
    QTest::newRow("by the table's name") << "Codici.Cod = 'AB'" << true;
    QTest::newRow("NOT, OR in parentheses") << "NOT (Cod = 'ab' OR Cod = 'Cd')" << true;
    QTest::newRow("NOT before the term") << "NOT Cod = 'ab' AND Num < 6" << true;
    QTest::newRow("a quote in the text") << "Cod = 'it''s' OR Cod = 'ab'" << true;
    QTest::newRow("operand of a concatenation") << "Nota || Cod = 'xab'" << false;
    QTest::newRow("text concatenated") << "Cod = 'a' || 'b'" << false;
    QTest::newRow("BETWEEN's AND") << "Num BETWEEN 1 AND 6 AND Cod = 'ab'" << false;
    QTest::newRow("column of another kind") << "Nota = 'Cod = ''ab'''" << false;
    QTest::newRow("another table's column") << "Altra.Cod = 'ab'" << false;
}

void TstSqlLista::conteggioSenzaCaso() {
    QFETCH_GLOBAL(Motore, motore);
    QFETCH(QString, condizione);
    QFETCH(bool, riscritta);
    if (motore == Motore::Sqlite)
        QSKIP("SQLite compares NOCASE columns without folding their case: nothing to rewrite");
    SALTA_SENZA_SERVER(motore);
    const QSqlDatabase db = apri(motore);
    QSqlQuery q(db);
    for (const char* s : {"DROP TABLE IF EXISTS Codici",
                          "CREATE TABLE Codici (Cod citext NOT NULL, Num INTEGER NOT NULL, "
                          "Nota VARCHAR(20), PRIMARY KEY (Cod, Num))",
                          "INSERT INTO Codici VALUES ('ab', 1, 'x'), ('AB', 2, 'x'), "
                          "('Ab', 3, 'y'), ('cd', 4, NULL), ('CD', 5, 'Cod = ''ab'''), "
                          "('it''s', 6, 'z'), ('IT''S', 7, 'x'), ('ab ', 8, 'x')"})
        QVERIFY2(q.exec(QString::fromLatin1(s)), qPrintable(q.lastError().text()));
    const QString from = condizione.contains("Altra.")
                             ? QStringLiteral("Codici t LEFT JOIN Codici Altra ON Altra.Cod = "
                                              "t.Cod AND Altra.Num = t.Num")
                         : condizione.contains("Codici.") ? QStringLiteral("Codici")
                                                          : QStringLiteral("Codici t");
    const QString colonne = from.contains(" t") ? "t.Cod, t.Num" : "Cod, Num";
    SqlLista lista(Analizza("SELECT " + colonne + " FROM " + from + " WHERE " + condizione));
    QVERIFY(lista.analisi().valida);
    lista.impostaChiavi(Colonne(lista.analisi()), {"Cod", "Num"});
    const QVector<Riga> attese = righe(db, lista.select());
    const QString conteggio = lista.conteggio(from, {}, {"cod"});
    QCOMPARE(conteggio != lista.conteggio(from, {}), riscritta);
    QCOMPARE(righe(db, conteggio).value(0).value(0).toLongLong(), qint64(attese.size()));
    // with rows left out
    const QString esclusi = "t.Num <> 2";
    if (from.endsWith(" t"))
        QCOMPARE(righe(db, lista.conteggio(from, esclusi, {"Cod"})).value(0).value(0).toLongLong(),
                 qint64(righe(db, lista.select(esclusi)).size()));
}

// A list of most of a table's rows is counted as all the rows less those
// outside its condition: the same total as the condition's own count, for
// texts of any case, Nulls, an empty text, a quote, a list of no row and a
// list of every row; rows outside beyond the limit count the condition
// itself; any other condition is not taken as a difference.
void TstSqlLista::conteggioPerDifferenza_data() {
    QTest::addColumn<QString>("condizione");
    QTest::addColumn<bool>("differenza"); // the statements are made
    QTest::addColumn<int>("limite");
    QTest::newRow("column = text") << "Cod = 'ab'" << true << 1000;
    QTest::newRow("by the alias") << "t.Cod = 'AB'" << true << 1000;
    QTest::newRow("the last text") << "Cod = 'zz'" << true << 1000;
    QTest::newRow("the empty text") << "Cod = ''" << true << 1000;
    QTest::newRow("a quote in the text") << "Cod = 'it''s'" << true << 1000;
    QTest::newRow("no row") << "Cod = 'nessuno'" << true << 1000;
    QTest::newRow("rows outside past the limit") << "Cod = 'ab'" << true << 2;
    QTest::newRow("another term") << "Cod = 'ab' AND Num > 1" << false << 1000;
    QTest::newRow("not the key's first column") << "Nota = 'x'" << false << 1000;
    QTest::newRow("another comparison") << "Cod <> 'ab'" << false << 1000;
    QTest::newRow("text first") << "'ab' = Cod" << false << 1000;
    QTest::newRow("a joined table's column") << "Altra.Cod = 'ab'" << false << 1000;
}

void TstSqlLista::conteggioPerDifferenza() {
    QFETCH_GLOBAL(Motore, motore);
    QFETCH(QString, condizione);
    QFETCH(bool, differenza);
    QFETCH(int, limite);
    SALTA_SENZA_SERVER(motore);
    const QSqlDatabase db = apri(motore);
    QSqlQuery q(db);
    const QString testo =
        motore == Motore::Sqlite ? QStringLiteral("TEXT COLLATE NOCASE") : QStringLiteral("citext");
    for (const QString& s :
         {QStringLiteral("DROP TABLE IF EXISTS Codici"),
          "CREATE TABLE Codici (Cod " + testo +
              ", Num INTEGER NOT NULL PRIMARY KEY, Nota VARCHAR(20))",
          QStringLiteral("CREATE INDEX Codici_Cod ON Codici (Cod)"),
          QStringLiteral("INSERT INTO Codici VALUES ('ab', 1, 'x'), ('AB', 2, 'x'), ('Ab', 3, "
                         "'y'), (NULL, 4, 'x'), ('a', 5, NULL), ('b', 6, 'x'), ('ab ', 7, 'x'), "
                         "('zz', 8, 'x'), ('ABC', 9, 'x'), ('', 10, 'x'), ('it''s', 11, 'x'), "
                         "('IT''S', 12, 'x'), (NULL, 13, NULL)")})
        QVERIFY2(q.exec(s), qPrintable(q.lastError().text()));
    const bool giunta = condizione.contains("Altra.");
    const QString from = giunta ? QStringLiteral("Codici t LEFT JOIN Codici Altra ON Altra.Num = "
                                                 "t.Num")
                                : QStringLiteral("Codici t");
    SqlLista lista(Analizza("SELECT t.Cod, t.Num FROM " + from + " WHERE " + condizione));
    QVERIFY(lista.analisi().valida);
    lista.impostaChiavi(Colonne(lista.analisi()), {"Num"});
    SchemaLista schema;
    schema.chiavePrimaria = [](const QString&) { return QStringList{"Num"}; };
    schema.colonneBase = QStringList{"Cod", "Num", "Nota"};
    const QString da = lista.fromPerContare(schema);
    const qint64 attese = righe(db, lista.select()).size();
    // (Cod is the first column of the index the rows outside are read on)
    const QStringList s = lista.conteggioPerDifferenza(da, {}, "cod", limite);
    QCOMPARE(s.size(), differenza ? 2 : 0);
    QVERIFY(lista.conteggioPerDifferenza(da, "t.Num <> 2", "Cod", limite).isEmpty());
    QVERIFY(lista.conteggioPerDifferenza(da, {}, "Num", limite).isEmpty());
    Differenza d;
    if (differenza) {
        const qint64 fuori = righe(db, s[0]).value(0).value(0).toLongLong();
        if (fuori < limite)
            QCOMPARE(righe(db, s[1]).value(0).value(0).toLongLong() - fuori, attese);
        d = {s[0], s[1], limite};
    }
    // the count in the background: a difference on an SQLite file
    CanaleConteggi canale;
    Conteggio c(canale, db, lista.conteggio(da, {}), {}, {}, d);
    c.attendi();
    QVERIFY2(c.riuscito(), qPrintable(c.errore()));
    QCOMPARE(c.totale(), attese);
}

void TstSqlLista::scritturaOttimistica() {
    QFETCH_GLOBAL(Motore, motore);
    SALTA_SENZA_SERVER(motore);
    const QSqlDatabase db = apri(motore);
    SqlLista lista(Analizza("SELECT Cod, Num, Qta, Nota FROM Righe ORDER BY Cod, Num"));
    lista.impostaChiavi(Colonne(lista.analisi()), {"Cod", "Num"});
    auto esegui = [&](const Istruzione& s) -> int {
        QSqlQuery q(db);
        q.prepare(s.testo);
        for (const QVariant& v : s.parametri)
            q.addBindValue(v);
        if (!q.exec())
            return -1;
        return q.numRowsAffected();
    };
    const QVector<Riga> tutte = righe(db, lista.select() + " ORDER BY " + lista.ordine());
    // A-1 has Qta and Nota Null, A-2 a value in both
    const Riga nulla = tutte[0];
    QVERIFY(nulla[2].isNull() && nulla[3].isNull());
    const Riga piena = tutte[1];
    QVERIFY(!piena[2].isNull() && !piena[3].isNull());

    // a row read with Nulls is found again as read
    Riga valori = nulla;
    valori[3] = QStringLiteral("scritta");
    QCOMPARE(esegui(lista.aggiornamento(nulla, valori, {false, false, false, true})), 1);
    // ... and not once another wrote it: the condition names the value read
    QCOMPARE(esegui(lista.aggiornamento(nulla, valori, {false, false, false, true})), 0);
    // a value emptied is written as Null, the row found by its values
    Riga vuota = piena;
    vuota[3] = QVariant();
    QCOMPARE(esegui(lista.aggiornamento(piena, vuota, {false, false, false, true})), 1);
    QVERIFY(righe(db, "SELECT Nota FROM Righe WHERE Cod = 'A' AND Num = 2")[0][0].isNull());
    // only columns that cannot be written changed: nothing to run
    QVERIFY(lista.aggiornamento(piena, piena, {false, false, false, false}).testo.isEmpty());

    // a delete of a row changed since it was read finds no row; as read, one
    QCOMPARE(esegui(lista.cancellazione(piena)), 0);
    QCOMPARE(esegui(lista.cancellazione(vuota)), 1);
    QCOMPARE(righe(db, "SELECT COUNT(*) FROM Righe WHERE Cod = 'A' AND Num = 2")[0][0].toInt(), 0);

    // a new row: the columns with no value get their defaults
    Riga nuova(4);
    nuova[0] = QStringLiteral("Z");
    nuova[1] = 1;
    nuova[3] = QStringLiteral("nuova");
    QCOMPARE(esegui(lista.inserimento(nuova)), 1);
    const Istruzione s = lista.rileggi({QStringLiteral("Z"), 1});
    const QVector<Riga> letta = righe(db, s.testo, s.parametri);
    QCOMPARE(letta.size(), 1);
    QVERIFY(letta[0][2].isNull());
    QCOMPARE(letta[0][3].toString(), QString("nuova"));
}

QTEST_GUILESS_MAIN(TstSqlLista)
#include "tst_sqllista.moc"
