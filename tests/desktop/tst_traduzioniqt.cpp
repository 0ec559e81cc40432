// Qt's own windows speak the program's language: the standard buttons of a
// dialog and of a message box, once Qt's Italian catalogue is loaded as the
// programs load it at start.

#include "comune/TraduzioniQt.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

using namespace quarvel;

class TstTraduzioniQt : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void pulsantiStandard_data();
    void pulsantiStandard();

private:
    bool m_caricate = false;
    QString m_errore;
};

void TstTraduzioniQt::initTestCase() {
    m_caricate = CaricaTraduzioniQt(qApp, &m_errore);
    if (!m_caricate)
        QVERIFY2(m_errore.contains(QLatin1String(PacchettoTraduzioniQt)), qPrintable(m_errore));
    // A missing catalogue is the installation's fault: it is named, not skipped.
    QVERIFY2(m_caricate, qPrintable(m_errore));
}

void TstTraduzioniQt::pulsantiStandard_data() {
    QTest::addColumn<int>("pulsante");
    QTest::addColumn<QString>("testo");
    QTest::newRow("Cancel") << int(QDialogButtonBox::Cancel) << "Annulla";
    QTest::newRow("Close") << int(QDialogButtonBox::Close) << "&Chiudi";
    QTest::newRow("Yes") << int(QDialogButtonBox::Yes) << "&Sì";
    QTest::newRow("Open") << int(QDialogButtonBox::Open) << "&Apri";
    QTest::newRow("Save") << int(QDialogButtonBox::Save) << "&Salva";
}

void TstTraduzioniQt::pulsantiStandard() {
    QFETCH(int, pulsante);
    QFETCH(QString, testo);
    const auto p = QDialogButtonBox::StandardButton(pulsante);
    // the platform decides whether the buttons show their Alt letter
    auto senzaTasto = [](QString t) { return t.remove(QLatin1Char('&')); };
    QDialogButtonBox scatola(p);
    QCOMPARE(senzaTasto(scatola.button(p)->text()), senzaTasto(testo));
    QMessageBox messaggio(QMessageBox::NoIcon, QStringLiteral("Prova"), QStringLiteral("Prova"),
                          QMessageBox::StandardButtons(pulsante));
    QCOMPARE(senzaTasto(messaggio.button(QMessageBox::StandardButton(pulsante))->text()),
             senzaTasto(testo));
}

QTEST_MAIN(TstTraduzioniQt)
#include "tst_traduzioniqt.moc"
