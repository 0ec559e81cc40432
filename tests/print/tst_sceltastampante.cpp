// The choice of the printer on the private CUPS scheduler of the test
// services (skipped without it): the default printer read, set, missing and
// restored, the printer-switched flag, the printers with their ports, and
// the warnings with their exact texts.  Each run keeps the user's settings
// (lpoptions) in a folder of its own, so a parallel test sees none of them.

#include "comune/Profilo.h"
#include "print/OpzioniStampa.h"
#include "printing/SceltaStampante.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"
#include "utility/Utilita.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace quarvel;

namespace {
const QString Pdf = QStringLiteral("QuarvelPDF");
const QString Grezza = QStringLiteral("QuarvelRaw");
const QString CrLf = QStringLiteral("\r\n");
} // namespace

class TstSceltaStampante : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void predefinita();
    void predefinitaMancante();
    void elenco();
    void dividiDriverPorta_data();
    void dividiDriverPorta();
    void impostaStampanteOpz();
    void impostaStampanteOpzMancante_data();
    void impostaStampanteOpzMancante();
    void impostaStampanteNome();
    void avvisoPredefinitaNonDisponibile();

private:
    void scriviDefault(const QString& nome);
    QTemporaryDir m_dir;
};

void TstSceltaStampante::initTestCase() {
    if (qEnvironmentVariableIsEmpty("CUPS_SERVER"))
        QSKIP("scheduler CUPS di prova non avviato (scripts/services/cups.sh start; env)");
    QVERIFY(m_dir.isValid());
    QDir(m_dir.path()).mkpath(QStringLiteral("client"));
    QDir(m_dir.path()).mkpath(QStringLiteral("home/.cups"));
    qputenv("CUPS_SERVERROOT", QFile::encodeName(m_dir.filePath(QStringLiteral("client"))));
    qputenv("HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("home"))));
    InstallaUtilita();
    stampa::InstallaStampa();
}

void TstSceltaStampante::init() {
    // the server's default, no user choice, a run that switched nothing
    QFile::remove(m_dir.filePath(QStringLiteral("client/lpoptions")));
    QFile::remove(m_dir.filePath(QStringLiteral("home/.cups/lpoptions")));
    ImpostaStampanteCambiata(0);
}

// A default the user names, installed or not.
void TstSceltaStampante::scriviDefault(const QString& nome) {
    for (const char* f : {"client/lpoptions", "home/.cups/lpoptions"}) {
        QFile file(m_dir.filePath(QString::fromLatin1(f)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Default " + nome.toUtf8() + "\n");
    }
}

void TstSceltaStampante::predefinita() {
    QString nome, mancante, porta;
    QVERIFY(LeggiStampanteDefault(nome, mancante, porta));
    QCOMPARE(nome, Pdf);
    QVERIFY(mancante.isEmpty());
    QVERIFY2(porta.startsWith(QLatin1String("quarvel-file:")), qPrintable(porta));
    QCOMPARE(StampanteCorrente(), Pdf);

    QVERIFY(ImpostaStampanteDefault(QStringLiteral("quarvelraw")));
    QVERIFY(LeggiStampanteDefault(nome, mancante, porta));
    QCOMPARE(nome, Grezza);
    QCOMPARE(StampanteCorrente(), Grezza); // the default, while nothing was switched
    QVERIFY(!ImpostaStampanteDefault(QStringLiteral("Fantasma")));
    QVERIFY(!ImpostaStampanteDefault(QString()));
    QVERIFY(LeggiStampanteDefault(nome, mancante, porta));
    QCOMPARE(nome, Grezza);
}

void TstSceltaStampante::predefinitaMancante() {
    // a default printer that is not among the printers: an empty name, the
    // name in the missing output
    scriviDefault(QStringLiteral("Fantasma"));
    QString nome = QStringLiteral("x"), mancante, porta;
    QVERIFY(!LeggiStampanteDefault(nome, mancante, porta));
    QVERIFY(nome.isEmpty());
    QCOMPARE(mancante, QString("Fantasma"));
    QVERIFY(porta.isEmpty());
    // restoring it after a switch leaves the current printer as it was
    ImpostaStampanteCambiata(1);
    ImpostaStampanteCorrente(Grezza);
    RipristinaStampanteDefault(nome, mancante, porta);
    QCOMPARE(mancante, QString("Fantasma"));
    QCOMPARE(StampanteCorrente(), Grezza);
}

void TstSceltaStampante::elenco() {
    QStringList nomi, porte;
    ElencoPorteStampanti(nomi, porte);
    QCOMPARE(nomi.size(), porte.size());
    QVERIFY(nomi.contains(Pdf) && nomi.contains(Grezza));
    QCOMPARE(porte[nomi.indexOf(Grezza)], Stampanti().Porta(Grezza));
    QString driver;
    QCOMPARE(LeggiPortaStampante(QStringLiteral("QUARVELPDF"), driver), porte[nomi.indexOf(Pdf)]);
    QCOMPARE(driver, Pdf);
    QVERIFY(LeggiPortaStampante(QStringLiteral("Fantasma"), driver).isEmpty());
    QVERIFY(driver.isEmpty());
}

void TstSceltaStampante::dividiDriverPorta_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("primo");
    QTest::addColumn<QString>("secondo");
    QTest::newRow("tre parti") << "HP,winspool,LPT1:"
                               << "HP"
                               << "winspool";
    QTest::newRow("nessuna seconda virgola") << "HP,winspool"
                                             << "HP"
                                             << "";
    QTest::newRow("nessuna virgola") << "HP"
                                     << ""
                                     << "";
    QTest::newRow("vuote") << ",,,"
                           << ""
                           << "";
}

void TstSceltaStampante::dividiDriverPorta() {
    QFETCH(QString, testo);
    QFETCH(QString, primo);
    QFETCH(QString, secondo);
    QString a = QStringLiteral("x"), b = QStringLiteral("y");
    DividiDriverPorta(testo, a, b);
    QCOMPARE(a, primo);
    QCOMPARE(b, secondo);
}

void TstSceltaStampante::impostaStampanteOpz() {
    MessaggiScriptati msg;
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    QVERIFY(ImpostaStampanteOpz(o, true)); // no printer named: the default
    QCOMPARE(StampanteCambiata(), qint16(0));
    o.osNomeStampante = QStringLiteral("quarvelraw");
    QVERIFY(ImpostaStampanteOpz(o, true));
    QCOMPARE(StampanteCorrente(), Grezza);
    QCOMPARE(StampanteCambiata(), qint16(1));
    QString nome, mancante, porta;
    RipristinaStampanteDefault(nome, mancante, porta);
    QCOMPARE(nome, Pdf);
    QCOMPARE(StampanteCorrente(), Pdf);
    QCOMPARE(StampanteCambiata(), qint16(1)); // never reset
    QVERIFY(msg.testi().isEmpty());
}

void TstSceltaStampante::impostaStampanteOpzMancante_data() {
    QTest::addColumn<qint16>("cambiata");
    QTest::addColumn<bool>("avvisa");
    QTest::newRow("prima di ogni cambio, con avviso") << qint16(0) << true;
    QTest::newRow("dopo un cambio, con avviso") << qint16(1) << true;
    QTest::newRow("senza avviso") << qint16(0) << false;
}

void TstSceltaStampante::impostaStampanteOpzMancante() {
    QFETCH(qint16, cambiata);
    QFETCH(bool, avvisa);
    MessaggiScriptati msg;
    ImpostaStampanteCambiata(cambiata);
    stampa::OpzioniStampa o(QStringLiteral("Prova"));
    o.osNomeStampante = QStringLiteral("Fantasma");
    o.setValore(QStringLiteral("StampanteDefOri"), QStringLiteral("prima"));
    QVERIFY(!ImpostaStampanteOpz(o, avvisa));
    QCOMPARE(StampanteCorrente(), Pdf);
    // tried as the default only before a switch, and then given up
    QCOMPARE(o.Valore(QStringLiteral("StampanteDefOri")).toString(),
             cambiata == 1 ? QString("prima") : QString());
    if (avvisa)
        QCOMPARE(msg.testi(), QStringList{"Impossibile impostare la stampante predefinita" + CrLf +
                                          "La stampa verrà fatta su QuarvelPDF" + CrLf +
                                          "per stampare su Fantasma uscire dal programma e "
                                          "rientrare"});
    else
        QVERIFY(msg.testi().isEmpty());
    QString nome, mancante, porta;
    QVERIFY(LeggiStampanteDefault(nome, mancante, porta));
    QCOMPARE(nome, Pdf); // the user's default unchanged
}

void TstSceltaStampante::impostaStampanteNome() {
    MessaggiScriptati msg;
    QVERIFY(ImpostaStampanteNome(QString(), true, QString()));
    QVERIFY(ImpostaStampanteNome(Grezza, true, QString()));
    QCOMPARE(StampanteCorrente(), Pdf); // found, not made current
    QVERIFY(!ImpostaStampanteNome(QStringLiteral("Fantasma"), true, QStringLiteral("Ufficio")));
    QVERIFY(!ImpostaStampanteNome(QStringLiteral("Fantasma"), true, QString()));
    QCOMPARE(msg.testi(),
             (QStringList{"Impossibile impostare la stampante predefinita" + CrLf +
                              "La stampa verrà fatta su Ufficio" + CrLf +
                              "per stampare su Fantasma uscire dal programma e rientrare",
                          "Impossibile impostare la stampante predefinita" + CrLf +
                              "La stampa verrà fatta su QuarvelPDF" + CrLf +
                              "per stampare su Fantasma uscire dal programma e rientrare"}));
    QCOMPARE(msg.mostrati().front().pulsanti, QStringList{"&Ok"});
}

void TstSceltaStampante::avvisoPredefinitaNonDisponibile() {
    MessaggiScriptati msg;
    const QString ini = m_dir.filePath(QStringLiteral("belcor.ini"));
    {
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Stampa Prova]\nNomeStampante=Fantasma\nNomePorta=lpt1\n");
    }
    Sessione().FileIniPrincipale = ini;
    AvvisoStampanteDefNonDisp(QStringLiteral("NomeStampante"), QStringLiteral("Fantasma"),
                              QStringLiteral("Stampa Prova"));
    QCOMPARE(msg.testi(),
             QStringList{"Nella lista delle stampanti non è disponibile la stampante predefinita "
                         "Fantasma" +
                         CrLf +
                         "Uscire dal programma e rientrare per avere impostato la stampante "
                         "predefinita"});
    QCOMPARE(
        profilo::LeggiValore(ini, QStringLiteral("Stampa Prova"), QStringLiteral("NomeStampante")),
        std::optional<QString>(QString()));
    QCOMPARE(profilo::LeggiValore(ini, QStringLiteral("Stampa Prova"), QStringLiteral("NomePorta")),
             std::optional<QString>(QStringLiteral("lpt1")));
}

QTEST_MAIN(TstSceltaStampante)
#include "tst_sceltastampante.moc"
