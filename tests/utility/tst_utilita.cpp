// The utility object without windows: numbers in the operator's format,
// masks, rounding, SQL literals, switches, paths and parameter-file reads.

#include "data/ComponenteDatiSql.h"
#include "data/Traduttore.h"
#include "suite/ComponenteDati.h"
#include "suite/Errore.h"
#include "utility/Conversioni.h"
#include "utility/Utilita.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <limits>

using namespace quarvel;

namespace {

// Runs f and gives the number of the Errore it raised, 0 when none.
template <typename F> int NumeroErrore(F&& f) {
    try {
        f();
    } catch (const Errore& e) {
        return e.numero();
    }
    return 0;
}

void Scrivi(const QString& file, const QByteArray& testo) {
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(testo);
}

// Sets an environment variable for one test row and puts it back after.
class Ambiente {
public:
    explicit Ambiente(const QByteArray& assegnazione) {
        if (assegnazione.isEmpty())
            return;
        m_nome = assegnazione.left(assegnazione.indexOf('='));
        m_prima = qgetenv(m_nome.constData());
        m_c_era = qEnvironmentVariableIsSet(m_nome.constData());
        qputenv(m_nome.constData(), assegnazione.mid(assegnazione.indexOf('=') + 1));
    }
    ~Ambiente() {
        if (m_nome.isEmpty())
            return;
        if (m_c_era)
            qputenv(m_nome.constData(), m_prima);
        else
            qunsetenv(m_nome.constData());
    }

private:
    QByteArray m_nome, m_prima;
    bool m_c_era = false;
};

} // namespace

class TstUtilita : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();

    void testoInNumero_data();
    void testoInNumero();
    void altriLocali_data();
    void altriLocali();
    void interi_data();
    void interi();
    void singoloEPositivo();

    void valoreSql_data();
    void valoreSql();
    void valoreSqlInSqlite();

    void formatoNumero_data();
    void formatoNumero();
    void applicaFormato_data();
    void applicaFormato();
    void applicaFormatoInglese();

    void valoreOpzione_data();
    void valoreOpzione();

    void arrotonda_data();
    void arrotonda();
    void arrotondaErrori();
    void numeroInTesto_data();
    void numeroInTesto();

    void sostituisciTesto_data();
    void sostituisciTesto();
    void cercaIndietro_data();
    void cercaIndietro();
    void massimoMinimo();
    void eVuoto_data();
    void eVuoto();

    void componiPercorso_data();
    void componiPercorso();
    void fileEsisteECartellaSistema();

    void leggiIni_data();
    void leggiIni();

    void riparaDatabasePassaIlPercorsoLocale();
    void dimensioneCampoSuUnaTabellaVera();

private:
    QTemporaryDir m_dir;
};

void TstUtilita::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    InstallaUtilita();
    QVERIFY(m_dir.isValid());
}

// ---------------------------------------------------------------------------
// Numbers

void TstUtilita::testoInNumero_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<bool>("formatoUtente");
    QTest::addColumn<double>("atteso");

    QTest::newRow("italiano con gruppi") << "1.234,56" << true << 1234.56;
    QTest::newRow("virgola decimale") << "1936,27" << true << 1936.27;
    QTest::newRow("punto decimale piano") << "1936.27" << true << 1936.27;
    QTest::newRow("migliaia: gruppo") << "1.234" << true << 1234.0;
    QTest::newRow("milioni") << "1.234.567" << true << 1234567.0;
    QTest::newRow("1.5 non è un gruppo") << "1.5" << true << 1.5;
    QTest::newRow("0.500 non è un gruppo") << "0.500" << true << 0.5;
    QTest::newRow("quattro decimali") << "1.2345" << true << 1.2345;
    QTest::newRow("segno e spazi") << "  -12,5 \t" << true << -12.5;
    QTest::newRow("più") << "+7" << true << 7.0;
    QTest::newRow("solo decimali") << ",5" << true << 0.5;
    QTest::newRow("punto iniziale") << ".25" << true << 0.25;
    QTest::newRow("virgola finale") << "12," << true << 12.0;
    QTest::newRow("esponente") << "1e3" << true << 1000.0;
    QTest::newRow("esponente negativo") << "-1.5E-2" << true << -0.015;
    QTest::newRow("vuoto") << "" << true << 0.0;
    QTest::newRow("blank") << "   " << true << 0.0;
    QTest::newRow("lettere") << "abc" << true << 0.0;
    QTest::newRow("cifre e lettere") << "12abc" << true << 0.0;
    QTest::newRow("unità") << "12 kg" << true << 0.0;
    QTest::newRow("spazio interno") << "1 234" << true << 0.0;
    QTest::newRow("doppio segno") << "--1" << true << 0.0;
    QTest::newRow("solo segno") << "-" << true << 0.0;
    QTest::newRow("due virgole") << "1,2,3" << true << 0.0;
    QTest::newRow("gruppo di due") << "1.23.456" << true << 0.0;
    QTest::newRow("formato inglese") << "1,234.5" << true << 0.0;
    QTest::newRow("fuori scala") << "1e999" << true << 0.0;
    QTest::newRow("nan") << "nan" << true << 0.0;
    QTest::newRow("inf") << "inf" << true << 0.0;
    QTest::newRow("cifre arabe") << QString::fromUtf8("١٢") << true << 0.0;
    QTest::newRow("piano: punto decimale") << "1.234" << false << 1.234;
    QTest::newRow("piano: virgola rifiutata") << "1,5" << false << 0.0;
}

void TstUtilita::testoInNumero() {
    QFETCH(QString, testo);
    QFETCH(bool, formatoUtente);
    QFETCH(double, atteso);
    const double letto = Utilita().TestoInNumero(testo, formatoUtente);
    QVERIFY2(letto == atteso, qPrintable(QString::number(letto, 'g', 17)));
}

void TstUtilita::altriLocali_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("testo");
    QTest::addColumn<bool>("numero");
    QTest::addColumn<double>("atteso");

    QTest::newRow("inglese con gruppi") << "en_US"
                                        << "1,234.56" << true << 1234.56;
    QTest::newRow("inglese: 1.234 è decimale") << "en_US"
                                               << "1.234" << true << 1.234;
    QTest::newRow("inglese: 1,234 è un gruppo") << "en_US"
                                                << "1,234" << true << 1234.0;
    QTest::newRow("inglese: virgola decimale no") << "en_US"
                                                  << "1936,27" << false << 0.0;
    QTest::newRow("tedesco") << "de_DE"
                             << "1.234,5" << true << 1234.5;
    QTest::newRow("svizzero") << "de_CH" << QString::fromUtf8("1’234.5") << true << 1234.5;
}

void TstUtilita::altriLocali() {
    QFETCH(QString, locale);
    QFETCH(QString, testo);
    QFETCH(bool, numero);
    QFETCH(double, atteso);
    const auto n = utilita::LeggiNumero(testo, QLocale(locale));
    QCOMPARE(n.has_value(), numero);
    if (numero)
        QVERIFY2(*n == atteso, qPrintable(QString::number(*n, 'g', 17)));
}

void TstUtilita::interi_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<bool>("rigido");
    QTest::addColumn<int>("intero");   // TestoInIntero
    QTest::addColumn<qint64>("lungo"); // TestoInLungo

    QTest::newRow("semplice") << "12" << false << 12 << qint64(12);
    QTest::newRow("mezzo in su") << "2,5" << false << 3 << qint64(3);
    QTest::newRow("mezzo negativo") << "-2,5" << false << -3 << qint64(-3);
    QTest::newRow("sotto il mezzo") << "2,49" << false << 2 << qint64(2);
    QTest::newRow("massimo a 16 bit") << "32767" << false << 32767 << qint64(32767);
    QTest::newRow("oltre 16 bit") << "32768" << false << 0 << qint64(32768);
    QTest::newRow("arrotondato oltre") << "32767,5" << false << 0 << qint64(32768);
    QTest::newRow("minimo a 16 bit") << "-32768" << false << -32768 << qint64(-32768);
    QTest::newRow("sotto il minimo") << "-32769" << false << 0 << qint64(-32769);
    QTest::newRow("migliaia") << "1.234" << false << 1234 << qint64(1234);
    QTest::newRow("massimo a 32 bit") << "2147483647" << false << 0 << qint64(2147483647);
    QTest::newRow("oltre 32 bit") << "2.147.483.648" << false << 0 << qint64(0);
    QTest::newRow("minimo a 32 bit")
        << "-2147483648" << false << 0 << qint64(std::numeric_limits<qint32>::min());
    QTest::newRow("non numero") << "abc" << false << 0 << qint64(0);
    QTest::newRow("vuoto") << "" << false << 0 << qint64(0);
    QTest::newRow("rigido: decimali") << "2,5" << true << 0 << qint64(3);
    QTest::newRow("rigido: intero") << "3" << true << 3 << qint64(3);
    QTest::newRow("rigido: ,0") << "3,0" << true << 3 << qint64(3);
}

void TstUtilita::interi() {
    QFETCH(QString, testo);
    QFETCH(bool, rigido);
    QFETCH(int, intero);
    QFETCH(qint64, lungo);
    QCOMPARE(int(Utilita().TestoInIntero(testo, true, rigido)), intero);
    QCOMPARE(qint64(Utilita().TestoInLungo(testo, true)), lungo);
}

void TstUtilita::singoloEPositivo() {
    QCOMPARE(Utilita().TestoInSingolo(QStringLiteral("0,1"), true), 0.1f);
    QCOMPARE(Utilita().TestoInSingolo(QStringLiteral("1e39"), true), 0.0f); // beyond a single
    QCOMPARE(Utilita().TestoInSingolo(QStringLiteral("x"), true), 0.0f);
    QVERIFY(Utilita().NumeroPositivo(QStringLiteral("0,01"), true));
    QVERIFY(!Utilita().NumeroPositivo(QStringLiteral("0"), true));
    QVERIFY(!Utilita().NumeroPositivo(QStringLiteral("-1"), true));
    QVERIFY(!Utilita().NumeroPositivo(QStringLiteral("abc"), true));
}

// ---------------------------------------------------------------------------
// SQL literals

void TstUtilita::valoreSql_data() {
    QTest::addColumn<QVariant>("valore");
    QTest::addColumn<int>("tipo");
    QTest::addColumn<QString>("atteso");
    QTest::addColumn<int>("errore");

    QTest::newRow("codice") << QVariant("ART01") << 8 << "'ART01'" << 0;
    QTest::newRow("apostrofo") << QVariant("L'albero") << 8 << "'L''albero'" << 0;
    QTest::newRow("iniezione") << QVariant("'; DROP TABLE Articoli; --") << 8
                               << "'''; DROP TABLE Articoli; --'" << 0;
    QTest::newRow("commento a blocco") << QVariant("a/*b*/c") << 8 << "'a/*b*/c'" << 0;
    QTest::newRow("barra rovescia") << QVariant("C:\\dati\\") << 8 << "'C:\\dati\\'" << 0;
    QTest::newRow("solo apostrofi") << QVariant("''") << 8 << "''''''" << 0;
    QTest::newRow("testo vuoto") << QVariant("") << 8 << "''" << 0;
    QTest::newRow("NUL rifiutato")
        << QVariant(QString(QStringLiteral("AB") + QChar(0) + "C")) << 8 << "" << 5;
    QTest::newRow("null") << QVariant() << 8 << "NULL" << 0;
    QTest::newRow("null dal database")
        << QVariant(QMetaType::fromType<QString>()) << 8 << "NULL" << 0;
    QTest::newRow("numero come testo") << QVariant(12.5) << 8 << "'12.5'" << 0;
    QTest::newRow("intero come testo") << QVariant(12) << 8 << "'12'" << 0;
    QTest::newRow("doppio") << QVariant(1234.5) << 5 << "1234.5" << 0;
    QTest::newRow("doppio da testo italiano") << QVariant("1.234,5") << 5 << "1234.5" << 0;
    QTest::newRow("doppio negativo") << QVariant(-0.1) << 5 << "-0.1" << 0;
    QTest::newRow("doppio grande senza esponente")
        << QVariant(1e20) << 5 << "100000000000000000000" << 0;
    QTest::newRow("singolo") << QVariant(0.1f) << 4 << "0.1" << 0;
    QTest::newRow("valuta") << QVariant(19.99) << 6 << "19.99" << 0;
    QTest::newRow("doppio non numero") << QVariant("1; DELETE FROM t") << 5 << "" << 13;
    QTest::newRow("doppio vuoto") << QVariant("  ") << 5 << "NULL" << 0;
    QTest::newRow("lungo arrotondato") << QVariant(2.5) << 3 << "3" << 0;
    QTest::newRow("lungo negativo") << QVariant(-2.5) << 3 << "-3" << 0;
    QTest::newRow("intero fuori scala") << QVariant(40000) << 2 << "" << 6;
    QTest::newRow("lungo non numero") << QVariant("abc") << 3 << "" << 13;
    QTest::newRow("data") << QVariant(QDate(2024, 3, 1)) << 7 << "'2024-03-01'" << 0;
    QTest::newRow("data e ora") << QVariant(QDateTime(QDate(2024, 3, 1), QTime(13, 45, 10))) << 7
                                << "'2024-03-01 13:45:10'" << 0;
    QTest::newRow("mezzanotte") << QVariant(QDateTime(QDate(2024, 3, 1), QTime(0, 0))) << 7
                                << "'2024-03-01'" << 0;
    QTest::newRow("data dell'operatore") << QVariant("01/03/2024") << 7 << "'2024-03-01'" << 0;
    QTest::newRow("data iso") << QVariant("2024-03-01") << 7 << "'2024-03-01'" << 0;
    QTest::newRow("data impossibile") << QVariant("31/02/2024") << 7 << "" << 13;
    QTest::newRow("data con iniezione") << QVariant("2024-03-01' OR '1'='1") << 7 << "" << 13;
    QTest::newRow("vero") << QVariant(true) << 11 << "-1" << 0;
    QTest::newRow("falso") << QVariant(false) << 11 << "0" << 0;
    QTest::newRow("S") << QVariant("S") << 11 << "-1" << 0;
    QTest::newRow("N") << QVariant("n") << 11 << "0" << 0;
    QTest::newRow("uno") << QVariant(1) << 11 << "-1" << 0;
    QTest::newRow("booleano non valido") << QVariant("forse") << 11 << "" << 13;
    QTest::newRow("tipo sconosciuto come testo") << QVariant("a'b") << 99 << "'a''b'" << 0;
}

void TstUtilita::valoreSql() {
    QFETCH(QVariant, valore);
    QFETCH(int, tipo);
    QFETCH(QString, atteso);
    QFETCH(int, errore);
    QString letto;
    QCOMPARE(NumeroErrore([&] { letto = Utilita().ValoreSql(valore, tipo); }), errore);
    if (errore == 0)
        QCOMPARE(letto, atteso);
}

// The literal goes through SQLite (as written and after the data component's
// translation of the Access dialect) and the same code comes back.
void TstUtilita::valoreSqlInSqlite() {
    const QStringList codici{
        QStringLiteral("O'Brien"),
        QStringLiteral("'; DROP TABLE t; --"),
        QStringLiteral("a--b"),
        QStringLiteral("/* aperto"),
        QStringLiteral("chiuso */"),
        QStringLiteral("C:\\dati\\"),
        QStringLiteral("punto;e virgola"),
        QStringLiteral("''"),
        QStringLiteral("'"),
        QStringLiteral("\"doppie\""),
        QStringLiteral("#1/1/2024#"),
        QStringLiteral("[Articoli]"),
        QStringLiteral("a & b"),
        QStringLiteral("? :nome @p $1"),
        QStringLiteral("tab\tnuova\nriga"),
        QString::fromUtf8("~ç~ § è €"),
        QString::fromUtf8("😀"),
        QStringLiteral("True"),
        QStringLiteral(" spazi "),
    };
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("valoresql"));
        db.setDatabaseName(QStringLiteral(":memory:"));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE t (codice TEXT PRIMARY KEY, n INTEGER)")));
        int i = 0;
        for (const QString& c : codici) {
            const QString lit = Utilita().ValoreSql(c, Tipo::Testo);
            const QString ins = QStringLiteral("INSERT INTO t (codice, n) VALUES (") + lit +
                                QStringLiteral(", ") + QString::number(++i) + QLatin1Char(')');
            QVERIFY2(q.exec(ins), qPrintable(ins + QStringLiteral(": ") + q.lastError().text()));
            for (const QString& sel :
                 {QStringLiteral("SELECT codice, n FROM t WHERE codice = ") + lit,
                  dati::Traduci(QStringLiteral("SELECT codice, n FROM t WHERE codice = ") + lit,
                                dati::Dialetto::SQLite)}) {
                QVERIFY2(q.exec(sel),
                         qPrintable(sel + QStringLiteral(": ") + q.lastError().text()));
                QVERIFY2(q.next(), qPrintable(sel));
                QCOMPARE(q.value(0).toString(), c);
                QCOMPARE(q.value(1).toInt(), i);
                QVERIFY(!q.next());
            }
        }
        QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM t")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), codici.size());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("valoresql"));
}

// ---------------------------------------------------------------------------
// Masks

void TstUtilita::formatoNumero_data() {
    QTest::addColumn<int>("decimali");
    QTest::addColumn<QString>("riempitivo");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("maschera");

    QTest::newRow("due decimali") << 2 << "0"
                                  << "#,##0"
                                  << "#,##0.00";
    QTest::newRow("nessun decimale") << 0 << "0"
                                     << "#,##0"
                                     << "#,##0";
    QTest::newRow("decimali negativi") << -1 << "0"
                                       << "#,##0"
                                       << "#,##0";
    QTest::newRow("decimali facoltativi") << 3 << "#"
                                          << "#,##0"
                                          << "#,##0.###";
    QTest::newRow("riempitivo vuoto") << 2 << ""
                                      << "#,##0"
                                      << "#,##0.00";
    QTest::newRow("segnaposto") << 2 << "0"
                                << "#,##0^ pz"
                                << "#,##0.00 pz";
    QTest::newRow("segnaposto senza decimali") << 0 << "0"
                                               << "#,##0^ pz"
                                               << "#,##0 pz";
    QTest::newRow("base lire") << 0 << "0"
                               << "#,###"
                               << "#,###";
}

void TstUtilita::formatoNumero() {
    QFETCH(int, decimali);
    QFETCH(QString, riempitivo);
    QFETCH(QString, base);
    QFETCH(QString, maschera);
    QCOMPARE(Utilita().FormatoNumero(QStringLiteral("0"), decimali, riempitivo, true, base,
                                     QString(), QStringLiteral("^")),
             maschera);
}

void TstUtilita::applicaFormato_data() {
    QTest::addColumn<QVariant>("valore");
    QTest::addColumn<QString>("maschera");
    QTest::addColumn<QString>("atteso");

    QTest::newRow("migliaia e decimali") << QVariant(1234.5) << "#,##0.00"
                                         << "1.234,50";
    QTest::newRow("zero con #,###") << QVariant(0.0) << "#,###"
                                    << "";
    QTest::newRow("zero con #,##0") << QVariant(0.0) << "#,##0"
                                    << "0";
    QTest::newRow("milioni") << QVariant(1234567) << "#,##0"
                             << "1.234.567";
    QTest::newRow("negativo") << QVariant(-1234.5) << "#,##0.00"
                              << "-1.234,50";
    QTest::newRow("2.675") << QVariant(2.675) << "0.00"
                           << "2,68";
    QTest::newRow("1.005") << QVariant(1.005) << "0.00"
                           << "1,01";
    QTest::newRow("riporto") << QVariant(999.995) << "#,##0.00"
                             << "1.000,00";
    QTest::newRow("negativo a zero") << QVariant(-0.001) << "0.00"
                                     << "0,00";
    QTest::newRow("solo decimali") << QVariant(0.5) << "#.##"
                                   << ",5";
    QTest::newRow("senza decimali niente virgola") << QVariant(5) << "#.##"
                                                   << "5";
    QTest::newRow("decimali facoltativi") << QVariant(1.5) << "#,##0.###"
                                          << "1,5";
    QTest::newRow("zeri iniziali") << QVariant(12) << "000"
                                   << "012";
    QTest::newRow("percento") << QVariant(0.256) << "0.0%"
                              << "25,6%";
    QTest::newRow("scala migliaia") << QVariant(1234567) << "#,##0,"
                                    << "1.235";
    QTest::newRow("sezione negativa") << QVariant(-5) << "0;(0)"
                                      << "(5)";
    QTest::newRow("sezione positiva") << QVariant(5) << "0;(0)"
                                      << "5";
    QTest::newRow("sezione zero") << QVariant(0) << "0;(0);\"zero\""
                                  << "zero";
    QTest::newRow("sezione null") << QVariant() << "0;0;0;\"n/d\""
                                  << "n/d";
    QTest::newRow("null senza sezione") << QVariant() << "#,##0"
                                        << "";
    QTest::newRow("testo non numero") << QVariant("abc") << "#,##0"
                                      << "abc";
    QTest::newRow("testo dell'operatore") << QVariant("1.234,5") << "#,##0.00"
                                          << "1.234,50";
    QTest::newRow("maschera vuota") << QVariant(1234.5) << ""
                                    << "1234,5";
    QTest::newRow("enorme") << QVariant(1e20) << "#,##0"
                            << "100.000.000.000.000.000.000";
    QTest::newRow("letterali") << QVariant(5) << "\"€ \"#,##0.00" << QString::fromUtf8("€ 5,00");
    QTest::newRow("suffisso") << QVariant(5) << "0 \\p\\z"
                              << "5 pz";
    QTest::newRow("da FormatoNumero")
        << QVariant(1234.5678)
        << Utilita().FormatoNumero(0, 3, QStringLiteral("0"), true, QStringLiteral("#,##0"),
                                   QString(), QStringLiteral("^"))
        << "1.234,568";
}

void TstUtilita::applicaFormato() {
    QFETCH(QVariant, valore);
    QFETCH(QString, maschera);
    QFETCH(QString, atteso);
    QCOMPARE(Utilita().ApplicaFormato(valore, maschera), atteso);
}

void TstUtilita::applicaFormatoInglese() {
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    QCOMPARE(utilita::ApplicaMaschera(1234.5, QStringLiteral("#,##0.00"), en),
             QStringLiteral("1,234.50"));
    // FormatoNumero with soloMaschera False gives the value shown.
    QCOMPARE(Utilita().FormatoNumero(QStringLiteral("1234,5"), 2, QStringLiteral("0"), false,
                                     QStringLiteral("#,##0"), QString(), QStringLiteral("^")),
             QStringLiteral("1.234,50"));
}

// ---------------------------------------------------------------------------
// Switches

void TstUtilita::valoreOpzione_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("lettere");
    QTest::addColumn<QString>("atteso");

    const QString riga =
        QStringLiteral("/MMENU-1 /Pquarvel GESTINV /FfrmGestInv /I/etc/belcor/belcor.ini");
    QTest::newRow("M") << riga << "M"
                       << "MENU-1";
    QTest::newRow("P fino al prossimo switch") << riga << "P"
                                               << "quarvel GESTINV";
    QTest::newRow("f minuscola") << riga << "f"
                                 << "frmGestInv";
    QTest::newRow("I con barre") << riga << "I"
                                 << "/etc/belcor/belcor.ini";
    QTest::newRow("mancante") << riga << "H"
                              << "";
    QTest::newRow("RO nudo") << "/FfrmLiFo /H/usr/share/help/q.chm /RO"
                             << "RO"
                             << "/RO";
    QTest::newRow("ro come scritto") << "/FfrmLiFo /ro"
                                     << "RO"
                                     << "/ro";
    QTest::newRow("RO nudo con seguito") << "/RO /FfrmLiFo"
                                         << "RO"
                                         << "/RO";
    QTest::newRow("RO assente") << "/FfrmLiFo"
                                << "RO"
                                << "";
    QTest::newRow("RO con valore") << "/ROx"
                                   << "RO"
                                   << "x";
    QTest::newRow("H di osParam") << "/FfrmLiFo /H/usr/share/help/q.chm /RO"
                                  << "H"
                                  << "/usr/share/help/q.chm";
    QTest::newRow("spazi intorno") << "/F frmLiFo  /H  aiuto.chm  "
                                   << "H"
                                   << "aiuto.chm";
    QTest::newRow("percorso windows") << "/H C:\\Programmi\\aiuto.chm /RO"
                                      << "H"
                                      << "C:\\Programmi\\aiuto.chm";
    QTest::newRow("virgolette con spazi") << "/I\"/path with blanks/belcor.ini\" /FfrmX"
                                          << "I"
                                          << "/path with blanks/belcor.ini";
    QTest::newRow("virgolette proteggono /P") << "/I\"/a /Pfalso\" /Pvero"
                                              << "P"
                                              << "vero";
    QTest::newRow("virgolette aperte") << "/I\"/a /Fb"
                                       << "I"
                                       << "/a /Fb";
    QTest::newRow("barra dentro un valore") << "/I/srv/dati/Pippo.ini"
                                            << "P"
                                            << "";
    QTest::newRow("barra attaccata") << "/Pabc/Fdef"
                                     << "F"
                                     << "";
    QTest::newRow("barra attaccata nel valore") << "/Pabc/Fdef"
                                                << "P"
                                                << "abc/Fdef";
    QTest::newRow("barra e cifra non è switch") << "/P12 /3 x"
                                                << "P"
                                                << "12 /3 x";
    QTest::newRow("tabulazione") << "/Ma\t/Pb"
                                 << "M"
                                 << "a";
    QTest::newRow("switch nudo a una lettera") << "/F /H x"
                                               << "F"
                                               << "";
    QTest::newRow("primo che corrisponde") << "/Funo /Fdue"
                                           << "F"
                                           << "uno";
    QTest::newRow("testo vuoto") << ""
                                 << "F"
                                 << "";
    QTest::newRow("lettere vuote") << "/Ffrm"
                                   << ""
                                   << "";
}

void TstUtilita::valoreOpzione() {
    QFETCH(QString, testo);
    QFETCH(QString, lettere);
    QFETCH(QString, atteso);
    QCOMPARE(Utilita().ValoreOpzione(testo, lettere), atteso);
}

// ---------------------------------------------------------------------------
// Rounding

void TstUtilita::arrotonda_data() {
    QTest::addColumn<double>("valore");
    QTest::addColumn<QString>("modo");
    QTest::addColumn<double>("unita");
    QTest::addColumn<int>("potenza");
    QTest::addColumn<QString>("atteso"); // NumeroInTesto of the result

    QTest::newRow("2.675") << 2.675 << "A" << 1.0 << -2 << "2.68";
    QTest::newRow("-2.675") << -2.675 << "A" << 1.0 << -2 << "-2.68";
    QTest::newRow("1.005") << 1.005 << "A" << 1.0 << -2 << "1.01";
    QTest::newRow("1.004999") << 1.004999 << "A" << 1.0 << -2 << "1";
    QTest::newRow("0.125") << 0.125 << "A" << 1.0 << -2 << "0.13";
    QTest::newRow("1.3333") << 1.3333 << "a" << 1.0 << -2 << "1.33";
    QTest::newRow("riporto") << 9.995 << "A" << 1.0 << -2 << "10";
    QTest::newRow("mezzo intero") << 2.5 << "A" << 1.0 << 0 << "3";
    QTest::newRow("mezzo negativo") << -2.5 << "A" << 1.0 << 0 << "-3";
    QTest::newRow("centinaia giù") << 1234.5 << "A" << 1.0 << 2 << "1200";
    QTest::newRow("centinaia su") << 1250.0 << "A" << 1.0 << 2 << "1300";
    QTest::newRow("piccolo a zero") << 0.004 << "A" << 1.0 << -2 << "0";
    QTest::newRow("piccolo in su") << 0.005 << "A" << 1.0 << -2 << "0.01";
    QTest::newRow("minuscolo") << 1.5e-300 << "A" << 1.0 << -2 << "0";
    QTest::newRow("E in su") << 2.671 << "E" << 1.0 << -2 << "2.68";
    QTest::newRow("E negativo") << -2.671 << "E" << 1.0 << -2 << "-2.68";
    QTest::newRow("E esatto") << 2.67 << "E" << 1.0 << -2 << "2.67";
    QTest::newRow("E piccolo") << 0.0001 << "E" << 1.0 << -2 << "0.01";
    QTest::newRow("D in giù") << 2.679 << "D" << 1.0 << -2 << "2.67";
    QTest::newRow("D negativo") << -2.679 << "D" << 1.0 << -2 << "-2.67";
    QTest::newRow("zero") << 0.0 << "A" << 1.0 << -2 << "0";
    QTest::newRow("unità 5 centesimi") << 2.675 << "A" << 5.0 << -2 << "2.7";
    QTest::newRow("unità 5 centesimi giù") << 2.62 << "A" << 5.0 << -2 << "2.6";
    QTest::newRow("unità 25") << 1.13 << "A" << 25.0 << -2 << "1.25";
    QTest::newRow("fattore schermo") << 1.2799999713897705 << "A" << 1.0 << -2 << "1.28";
}

void TstUtilita::arrotonda() {
    QFETCH(double, valore);
    QFETCH(QString, modo);
    QFETCH(double, unita);
    QFETCH(int, potenza);
    QFETCH(QString, atteso);
    const double r = Utilita().Arrotonda(valore, 8, modo, 2, unita, 2, potenza);
    QCOMPARE(Utilita().NumeroInTesto(r), atteso);
    // The result is the double nearest to the decimal text, not a neighbour.
    QCOMPARE(r, atteso.toDouble());
}

void TstUtilita::arrotondaErrori() {
    QCOMPARE(NumeroErrore([] { Utilita().Arrotonda(1.5, 8, QStringLiteral("X"), 2, 1, 2, -2); }),
             5);
    QCOMPARE(NumeroErrore([] { Utilita().Arrotonda(1.5, 8, QStringLiteral("A"), 2, 0, 2, -2); }),
             5);
    QVERIFY(std::isnan(Utilita().Arrotonda(std::nan(""), 8, QStringLiteral("A"), 2, 1, 2, -2)));
}

void TstUtilita::numeroInTesto_data() {
    QTest::addColumn<double>("numero");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("numero d'errore") << 3022.0 << "3022";
    QTest::newRow("negativo") << -2.5 << "-2.5";
    QTest::newRow("0.1") << 0.1 << "0.1";
    QTest::newRow("grande") << 1e20 << "100000000000000000000";
    QTest::newRow("decimali") << 1234567.891 << "1234567.891";
    QTest::newRow("meno zero") << -0.0 << "0";
    QTest::newRow("piccolo") << 1e-7 << "0.0000001";
}

void TstUtilita::numeroInTesto() {
    QFETCH(double, numero);
    QFETCH(QString, atteso);
    QCOMPARE(Utilita().NumeroInTesto(numero), atteso);
}

// ---------------------------------------------------------------------------
// Texts and lists

void TstUtilita::sostituisciTesto_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("cosa");
    QTest::addColumn<QString>("con");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("segnaposto") << "Gentile [Nome], [Nome]"
                                << "[Nome]"
                                << "Rossi"
                                << "Gentile Rossi, Rossi";
    QTest::newRow("nessuna riscansione") << "aaa"
                                         << "a"
                                         << "aa"
                                         << "aaaaaa";
    QTest::newRow("maiuscole distinte") << "AbA"
                                        << "a"
                                        << "x"
                                        << "AbA";
    QTest::newRow("cosa vuota") << "abc"
                                << ""
                                << "x"
                                << "abc";
    QTest::newRow("con vuoto") << "a-b-c"
                               << "-"
                               << ""
                               << "abc";
}

void TstUtilita::sostituisciTesto() {
    QFETCH(QString, testo);
    QFETCH(QString, cosa);
    QFETCH(QString, con);
    QFETCH(QString, atteso);
    QCOMPARE(Utilita().SostituisciTesto(testo, cosa, con), atteso);
}

void TstUtilita::cercaIndietro_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("cosa");
    QTest::addColumn<int>("posizione");
    QTest::newRow("ultimo punto") << "a.b.c"
                                  << "." << 4;
    QTest::newRow("parola ripetuta") << "abcabc"
                                     << "abc" << 4;
    QTest::newRow("all'inizio") << "abc"
                                << "a" << 1;
    QTest::newRow("assente") << "abc"
                             << "x" << 0;
    QTest::newRow("testo vuoto") << ""
                                 << "a" << 0;
    QTest::newRow("cosa vuota") << "abc"
                                << "" << 0;
    QTest::newRow("maiuscole distinte") << "aAa"
                                        << "A" << 2;
}

void TstUtilita::cercaIndietro() {
    QFETCH(QString, testo);
    QFETCH(QString, cosa);
    QFETCH(int, posizione);
    QCOMPARE(Utilita().CercaIndietro(testo, cosa), posizione);
}

void TstUtilita::massimoMinimo() {
    QCOMPARE(Utilita().Massimo({3, -1, 7.5}), 7.5);
    QCOMPARE(Utilita().Minimo({3, -1, 7.5}), -1.0);
    QCOMPARE(Utilita().Massimo({-4}), -4.0);
    QCOMPARE(Utilita().Massimo({std::nan(""), 2, 1}), 2.0);
    QCOMPARE(Utilita().Minimo({2, std::nan(""), 1}), 1.0);
    QCOMPARE(NumeroErrore([] { Utilita().Massimo({}); }), 5);
}

void TstUtilita::eVuoto_data() {
    QTest::addColumn<QVariant>("valore");
    QTest::addColumn<bool>("rigido");
    QTest::addColumn<bool>("vuoto");
    QTest::newRow("null") << QVariant() << false << true;
    QTest::newRow("null dal database") << QVariant(QMetaType::fromType<QString>()) << false << true;
    QTest::newRow("testo vuoto") << QVariant("") << false << true;
    QTest::newRow("solo blank") << QVariant(" \t ") << false << true;
    QTest::newRow("testo") << QVariant(" x ") << false << false;
    QTest::newRow("zero") << QVariant(0) << false << false;
    QTest::newRow("data") << QVariant(QDate(2024, 1, 1)) << false << false;
    QTest::newRow("rigido: blank non è vuoto") << QVariant("  ") << true << false;
    QTest::newRow("rigido: vuoto") << QVariant("") << true << true;
}

void TstUtilita::eVuoto() {
    QFETCH(QVariant, valore);
    QFETCH(bool, rigido);
    QFETCH(bool, vuoto);
    QCOMPARE(Utilita().EVuoto(valore, Tipo::Testo, 1, rigido), vuoto);
}

// ---------------------------------------------------------------------------
// Paths

void TstUtilita::componiPercorso_data() {
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("unita");
    QTest::addColumn<QString>("cartella");
    QTest::addColumn<QString>("atteso");

    QTest::newRow("unità e cartella") << "ditta.db"
                                      << "D:"
                                      << "\\dati\\"
                                      << "/srv/d/dati/ditta.db";
    QTest::newRow("lettera sola") << "ditta.db"
                                  << "d"
                                  << "dati"
                                  << "/srv/d/dati/ditta.db";
    QTest::newRow("unità con barra") << "ditta.db"
                                     << "D:\\"
                                     << "dati"
                                     << "/srv/d/dati/ditta.db";
    QTest::newRow("nome vuoto: cartella") << ""
                                          << "D:"
                                          << "\\immagini"
                                          << "/srv/d/immagini";
    QTest::newRow("senza unità") << "ditta.db"
                                 << ""
                                 << "\\dati"
                                 << "/dati/ditta.db";
    QTest::newRow("solo nome") << "ditta.db"
                               << ""
                               << ""
                               << "ditta.db";
    QTest::newRow("nome assoluto") << "C:\\dati\\ditta.db"
                                   << "D:"
                                   << "x"
                                   << "/dati/ditta.db";
    QTest::newRow("nome posix") << "/srv/x.db"
                                << "D:"
                                << "dati"
                                << "/srv/x.db";
    QTest::newRow("cartella con unità") << "ditta.db"
                                        << "D:"
                                        << "E:\\dati"
                                        << "/mnt/e/dati/ditta.db";
    QTest::newRow("unità di rete") << "ditta.db"
                                   << "\\\\server\\share"
                                   << "dati"
                                   << "/mnt/server/share/dati/ditta.db";
    QTest::newRow("unità posix") << "ditta.db"
                                 << "/srv/dati"
                                 << "anno2024"
                                 << "/srv/dati/anno2024/ditta.db";
}

void TstUtilita::componiPercorso() {
    QFETCH(QString, nome);
    QFETCH(QString, unita);
    QFETCH(QString, cartella);
    QFETCH(QString, atteso);
    Ambiente d("QUARVEL_DRIVE_D=/srv/d");
    Ambiente e("QUARVEL_DRIVE_E=");
    QCOMPARE(Utilita().ComponiPercorso(nome, unita, cartella, 1), atteso);
}

void TstUtilita::fileEsisteECartellaSistema() {
    const QString file = m_dir.filePath(QStringLiteral("sub/f.ini"));
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("sub")));
    Scrivi(file, "[a]\n");
    Ambiente q("QUARVEL_DRIVE_Q=" + m_dir.path().toUtf8());
    QVERIFY(Utilita().FileEsiste(file));
    QVERIFY(Utilita().FileEsiste(QStringLiteral("Q:\\sub\\f.ini")));
    QVERIFY(!Utilita().FileEsiste(QStringLiteral("Q:\\sub"))); // a folder is no file
    QVERIFY(!Utilita().FileEsiste(QStringLiteral("Q:\\sub\\manca.ini")));
    QVERIFY(!Utilita().FileEsiste(QString()));

    {
        Ambiente s("QUARVEL_SYSTEM_DIR=/srv/sistema");
        QCOMPARE(Utilita().CartellaSistema(), QStringLiteral("/srv/sistema"));
    }
    Ambiente s("QUARVEL_SYSTEM_DIR=");
    QCOMPARE(Utilita().CartellaSistema(), QStringLiteral("/etc/belcor"));
}

// ---------------------------------------------------------------------------
// Parameter files

void TstUtilita::leggiIni_data() {
    QTest::addColumn<QString>("principale"); // file names in the test folder; "" = none
    QTest::addColumn<QString>("secondo");
    QTest::addColumn<QString>("sezione");
    QTest::addColumn<QString>("chiave");
    QTest::addColumn<int>("statoDoppio");
    QTest::addColumn<int>("statoPrincipale"); // LeggiIniFile on the main file
    QTest::addColumn<QString>("valore");

    QTest::newRow("nel principale") << "main.ini"
                                    << "second.ini"
                                    << "Base"
                                    << "DriveDB" << 1 << 1 << "D:";
    QTest::newRow("principale vince") << "main.ini"
                                      << "second.ini"
                                      << "Base"
                                      << "Comune" << 1 << 1 << "principale";
    QTest::newRow("solo nel secondo") << "main.ini"
                                      << "second.ini"
                                      << "Base"
                                      << "DirDB" << 2 << 0 << "\\dati";
    QTest::newRow("valore vuoto trovato") << "main.ini"
                                          << "second.ini"
                                          << "Base"
                                          << "Vuota" << 1 << 1 << "";
    QTest::newRow("maiuscole") << "main.ini"
                               << "second.ini"
                               << "BASE"
                               << "drivedb" << 1 << 1 << "D:";
    QTest::newRow("in nessuno") << "main.ini"
                                << "second.ini"
                                << "Base"
                                << "Manca" << 0 << 0 << "predefinito";
    QTest::newRow("secondo mancante") << "main.ini"
                                      << "nessuno.ini"
                                      << "Base"
                                      << "DirDB" << 0 << 0 << "predefinito";
    QTest::newRow("principale mancante") << "nessuno.ini"
                                         << "second.ini"
                                         << "Base"
                                         << "DirDB" << 2 << 0 << "\\dati";
    QTest::newRow("secondo non dato") << "main.ini"
                                      << ""
                                      << "Base"
                                      << "DirDB" << 0 << 0 << "predefinito";
    QTest::newRow("percorso windows") << "Q:\\main.ini"
                                      << "Q:\\second.ini"
                                      << "Base"
                                      << "DirDB" << 2 << 0 << "\\dati";
}

void TstUtilita::leggiIni() {
    QFETCH(QString, principale);
    QFETCH(QString, secondo);
    QFETCH(QString, sezione);
    QFETCH(QString, chiave);
    QFETCH(int, statoDoppio);
    QFETCH(int, statoPrincipale);
    QFETCH(QString, valore);

    Scrivi(m_dir.filePath(QStringLiteral("main.ini")),
           "[Base]\r\nDriveDB = D:\r\nComune=principale\r\nVuota=\r\n");
    Scrivi(m_dir.filePath(QStringLiteral("second.ini")), "[Base]\nDirDB=\\dati\nComune=secondo\n");
    Ambiente q("QUARVEL_DRIVE_Q=" + m_dir.path().toUtf8());
    auto percorso = [this](const QString& f) {
        return f.isEmpty() || f.contains(QLatin1Char(':')) ? f : m_dir.filePath(f);
    };
    QString letto = QStringLiteral("sporco");
    QCOMPARE(Utilita().LeggiIniDoppio(sezione, chiave, QStringLiteral("predefinito"), letto,
                                      percorso(principale), percorso(secondo)),
             statoDoppio);
    QCOMPARE(letto, valore);
    letto = QStringLiteral("sporco");
    QCOMPARE(Utilita().LeggiIniFile(sezione, chiave, QStringLiteral("predefinito"), letto,
                                    percorso(principale)),
             statoPrincipale);
    if (statoPrincipale == 0)
        QCOMPARE(letto, QStringLiteral("predefinito"));
    else
        QCOMPARE(letto, valore);
}

// ---------------------------------------------------------------------------
// Database operations

namespace {
QString riparato;
int RiparaProva(const QString& p) {
    riparato = p;
    return 0;
}
} // namespace

void TstUtilita::riparaDatabasePassaIlPercorsoLocale() {
    ImplementazioneDati impl;
    impl.riparaFile = &RiparaProva;
    RegistraImplementazioneDati(impl);
    Ambiente q("QUARVEL_DRIVE_Q=/srv/q");
    QCOMPARE(Utilita().RiparaDatabase(QStringLiteral("Q:\\dati\\ditta.db")), 0);
    QCOMPARE(riparato, QStringLiteral("/srv/q/dati/ditta.db"));
    RegistraImplementazioneDati(ImplementazioneDati{});
}

void TstUtilita::dimensioneCampoSuUnaTabellaVera() {
    const QString file = m_dir.filePath(QStringLiteral("campi.db"));
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("campi"));
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE Articoli (Articolo TEXT, Giacenza REAL)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO Articoli VALUES ('ART01', 2.5)")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("campi"));

    dati::Registra();
    auto componente = CreaComponenteDati();
    QString risposta;
    componente->Apri(file, 0, false, false, QString(), risposta);
    auto rs = componente->ApriRecordset(QStringLiteral("SELECT * FROM Articoli"), risposta);
    QCOMPARE(Utilita().DimensioneCampo(*rs, QStringLiteral("Articolo")), 5);
    QCOMPARE(Utilita().DimensioneCampo(*rs, QStringLiteral("Giacenza")), 8);
    rs->Close();
    rs.reset();
    componente->Chiudi(risposta);
}

QTEST_MAIN(TstUtilita)
#include "tst_utilita.moc"
