// Lire and euro with the company's rate, operator and decimals.

#include "lifo/Cambio.h"
#include "suite/Sessione.h"
#include "utility/Utilita.h"

#include <QLocale>
#include <QTest>
#include <cmath>

using namespace quarvel;

class TstCambio : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        InstallaUtilita();
    }
    void init() {
        AzzeraSessione();
        ContestoSessione& s = Sessione();
        s.CambioLiraEuro = QStringLiteral("1936,27");
        s.OperCambio = QStringLiteral("/");
        s.DecimaliEuro = 2;
        s.DecimaliLira = 0;
    }
    void cleanupTestCase() { AzzeraSessione(); }

    void conversione_data();
    void conversione();
    void decimaliDati();
};

void TstCambio::conversione_data() {
    QTest::addColumn<QString>("cambio");
    QTest::addColumn<QString>("operatore");
    QTest::addColumn<bool>("versoEuro");
    QTest::addColumn<QVariant>("importo");
    QTest::addColumn<int>("arrotonda");
    QTest::addColumn<double>("atteso");

    const double quoziente = 1000000.0 / 1936.27;
    QTest::newRow("lire in euro, non arrotondato")
        << "1936,27"
        << "/" << true << QVariant(1000000.0) << 0 << quoziente;
    QTest::newRow("lire in euro, 2 decimali") << "1936,27"
                                              << "/" << true << QVariant(1000000.0) << -1 << 516.46;
    QTest::newRow("lire scritte dall'operatore")
        << "1936,27"
        << "/" << true << QVariant(QStringLiteral("1.000.000")) << -1 << 516.46;
    QTest::newRow("euro in lire") << "1936,27"
                                  << "/" << false << QVariant(100.0) << -1 << 193627.0;
    QTest::newRow("euro in lire arrotondate all'unità")
        << "1936,27"
        << "/" << false << QVariant(QStringLiteral("12,34")) << -1 << 23894.0;
    QTest::newRow("operatore *, lire in euro") << "1936,27"
                                               << "*" << true << QVariant(2.0) << -1 << 3872.54;
    QTest::newRow("operatore *, euro in lire") << "1936,27"
                                               << "*" << false << QVariant(193627.0) << -1 << 100.0;
    QTest::newRow("cambio vuoto, lire in euro: invariato")
        << ""
        << "/" << true << QVariant(1500.0) << -1 << 1500.0;
    QTest::newRow("cambio vuoto, euro in lire: zero")
        << ""
        << "/" << false << QVariant(1500.0) << -1 << 0.0;
    QTest::newRow("cambio vuoto con *, euro in lire: invariato")
        << ""
        << "*" << false << QVariant(7.5) << 0 << 7.5;
    QTest::newRow("operatore mai impostato vale /") << "1936,27"
                                                    << "" << true << QVariant(1936.27) << -1 << 1.0;
}

void TstCambio::conversione() {
    QFETCH(QString, cambio);
    QFETCH(QString, operatore);
    QFETCH(bool, versoEuro);
    QFETCH(QVariant, importo);
    QFETCH(int, arrotonda);
    QFETCH(double, atteso);
    Sessione().CambioLiraEuro = cambio;
    Sessione().OperCambio = operatore;
    const QVariant prima = importo;
    const double r =
        versoEuro ? LireInEuro(importo, qint16(arrotonda)) : EuroInLire(importo, qint16(arrotonda));
    QCOMPARE(r, atteso);
    QCOMPARE(importo, prima);
}

void TstCambio::decimaliDati() {
    // Decimals given explicitly win over the company's.
    const qint16 tre = 3, zero = 0;
    QCOMPARE(LireInEuro(1000000.0, -1, &tre), 516.457);
    QCOMPARE(LireInEuro(1000000.0, -1, &zero), 516.0);
    QCOMPARE(EuroInLire(1.0, -1, &tre), 1936.27);
    Sessione().DecimaliEuro = 4;
    QCOMPARE(LireInEuro(1000000.0, -1), 516.4569);
}

QTEST_GUILESS_MAIN(TstCambio)
#include "tst_cambio.moc"
