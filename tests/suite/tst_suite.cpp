// The shared mechanisms: the path layer, the message service and its faces,
// the standard error sentence, the key codes the key handlers see.

#include "suite/Errore.h"
#include "suite/Messaggi.h"
#include "suite/Percorsi.h"
#include "suite/Tasti.h"

#include <QTest>

using namespace quarvel;

class TstSuite : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void percorsi_data();
    void percorsi();
    void unisciPercorso_data();
    void unisciPercorso();
    void fileInstallazione();
    void scriptatiRegistraERisponde();
    void scriptatiSenzaRisposta();
    void scriptatiRipristinaIlServizio();
    void testoErrore_data();
    void testoErrore();
    void msgErrfrmUnSoloOk();
    void msgErroreEsclamativo();
    void codiciTasto_data();
    void codiciTasto();
};

void TstSuite::percorsi_data() {
    QTest::addColumn<QString>("dentro");
    QTest::addColumn<QString>("fuori");
    QTest::addColumn<QByteArray>("ambiente"); // "NAME=value" or empty

    QTest::newRow("vuoto") << ""
                           << "" << QByteArray();
    QTest::newRow("posix invariato") << "/srv/quarvel/ditta.db"
                                     << "/srv/quarvel/ditta.db" << QByteArray();
    QTest::newRow("relativo") << "dati\\ditta.db"
                              << "dati/ditta.db" << QByteArray();
    QTest::newRow("C radice") << "C:\\BelcorInst.ini"
                              << "/BelcorInst.ini" << QByteArray();
    QTest::newRow("d minuscola") << "d:\\dati\\x.db"
                                 << "/mnt/d/dati/x.db" << QByteArray();
    QTest::newRow("lettera senza barra") << "D:dati"
                                         << "/mnt/d/dati" << QByteArray();
    QTest::newRow("lettera mappata") << "E:\\a\\\\b.ini"
                                     << "/srv/e/a/b.ini" << QByteArray("QUARVEL_DRIVE_E=/srv/e");
    QTest::newRow("radice con barra") << "E:\\a"
                                      << "/srv/e/a" << QByteArray("QUARVEL_DRIVE_E=/srv/e/");
    QTest::newRow("unc") << "\\\\server\\share\\x.db"
                         << "/mnt/server/share/x.db" << QByteArray();
    QTest::newRow("unc mappato") << "\\\\srv\\s"
                                 << "/net/srv/s" << QByteArray("QUARVEL_UNC_ROOT=/net");
    QTest::newRow("solo lettera") << "F:"
                                  << "/mnt/f/" << QByteArray();
}

void TstSuite::percorsi() {
    QFETCH(QString, dentro);
    QFETCH(QString, fuori);
    QFETCH(QByteArray, ambiente);
    QByteArray nome;
    if (!ambiente.isEmpty()) {
        nome = ambiente.left(ambiente.indexOf('='));
        qputenv(nome.constData(), ambiente.mid(ambiente.indexOf('=') + 1));
    }
    QCOMPARE(PercorsoLocale(dentro), fuori);
    if (!nome.isEmpty())
        qunsetenv(nome.constData());
}

void TstSuite::unisciPercorso_data() {
    QTest::addColumn<QString>("cartella");
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("semplice") << "/a"
                              << "b.ini"
                              << "/a/b.ini";
    QTest::newRow("barre doppie") << "/a/"
                                  << "/b.ini"
                                  << "/a/b.ini";
    QTest::newRow("backslash") << "/a\\"
                               << "\\b.ini"
                               << "/a/b.ini";
    QTest::newRow("radice") << "/"
                            << "b.ini"
                            << "/b.ini";
    QTest::newRow("senza cartella") << ""
                                    << "b.ini"
                                    << "b.ini";
    QTest::newRow("senza nome") << "/a"
                                << ""
                                << "/a";
}

void TstSuite::unisciPercorso() {
    QFETCH(QString, cartella);
    QFETCH(QString, nome);
    QFETCH(QString, atteso);
    QCOMPARE(UnisciPercorso(cartella, nome), atteso);
}

void TstSuite::fileInstallazione() {
    qunsetenv("QUARVEL_INSTALL_INI");
    QCOMPARE(FileInstallazione(), QStringLiteral("/etc/belcor/BelcorInst.ini"));
    qputenv("QUARVEL_INSTALL_INI", "/tmp/x/Inst.ini");
    QCOMPARE(FileInstallazione(), QStringLiteral("/tmp/x/Inst.ini"));
    qunsetenv("QUARVEL_INSTALL_INI");
}

void TstSuite::scriptatiRegistraERisponde() {
    MessaggiScriptati m;
    m.rispondi(2);
    m.rispondi(vbNo);
    m.rispondi(QStringLiteral("3"));
    QCOMPARE(msgCom(QStringLiteral("Salvare?"), QStringLiteral("&Sì"), QStringLiteral("&No")), 2);
    QCOMPARE(MsgBox(QStringLiteral("Continuare?"), vbYesNo | vbQuestion, QStringLiteral("T")),
             int(vbNo));
    QCOMPARE(InputBox(QStringLiteral("Numero"), QStringLiteral("Scelta"), QStringLiteral("0")),
             QStringLiteral("3"));
    QCOMPARE(m.nonRisposte(), 0);
    QVERIFY(!m.rispostePendenti());
    QCOMPARE(m.mostrati().size(), size_t(3));
    QCOMPARE(m.mostrati()[0].pulsanti, (QStringList{"&Sì", "&No"}));
    QCOMPARE(m.mostrati()[1].stile, int(vbYesNo | vbQuestion));
    QCOMPARE(m.mostrati()[1].titolo, QStringLiteral("T"));
    QCOMPARE(m.mostrati()[2].predefinito, QStringLiteral("0"));
    QCOMPARE(m.testi(), (QStringList{"Salvare?", "Continuare?", "Numero"}));
}

void TstSuite::scriptatiSenzaRisposta() {
    MessaggiScriptati m;
    // An answer of the wrong kind stays queued for the call it belongs to.
    m.rispondi(QStringLiteral("testo"));
    QCOMPARE(msgCom(QStringLiteral("a"), QStringLiteral("&Ok")), 0);
    QCOMPARE(MsgBox(QStringLiteral("b"), vbOKCancel), int(vbCancel));
    QCOMPARE(MsgBox(QStringLiteral("c"), vbOKOnly), int(vbOK));
    QCOMPARE(InputBox(QStringLiteral("d")), QStringLiteral("testo"));
    QCOMPARE(InputBox(QStringLiteral("e")), QString());
    QCOMPARE(m.nonRisposte(), 4);
}

void TstSuite::scriptatiRipristinaIlServizio() {
    ServizioMessaggi* prima = &Messaggi();
    {
        MessaggiScriptati esterno;
        QCOMPARE(&Messaggi(), static_cast<ServizioMessaggi*>(&esterno));
        {
            MessaggiScriptati interno;
            QCOMPARE(&Messaggi(), static_cast<ServizioMessaggi*>(&interno));
        }
        QCOMPARE(&Messaggi(), static_cast<ServizioMessaggi*>(&esterno));
    }
    QCOMPARE(&Messaggi(), prima);
}

void TstSuite::testoErrore_data() {
    QTest::addColumn<bool>("conTesto");
    QTest::addColumn<bool>("conNumero");
    QTest::addColumn<QString>("sorgente");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("errore corrente con sorgente")
        << false << false << "DAO.Recordset"
        << "Prima Errore(3021): Nessun record corrente. - DAO.Recordset Dopo";
    QTest::newRow("errore corrente senza sorgente")
        << false << false << ""
        << "Prima Errore(3021): Nessun record corrente. Dopo";
    QTest::newRow("testo e numero dati") << true << true << "DAO.Recordset"
                                         << "Prima Errore(99): testo dato Dopo";
    QTest::newRow("solo numero dato") << false << true << ""
                                      << "Prima Errore(99): Nessun record corrente. Dopo";
}

void TstSuite::testoErrore() {
    QFETCH(bool, conTesto);
    QFETCH(bool, conNumero);
    QFETCH(QString, sorgente);
    QFETCH(QString, atteso);
    ImpostaErrore(
        Errore(NumErr::NessunRecordCorrente, QStringLiteral("Nessun record corrente."), sorgente));
    const auto testo =
        conTesto ? std::optional<QString>(QStringLiteral("testo dato")) : std::nullopt;
    const auto numero = conNumero ? std::optional<QString>(QStringLiteral("99")) : std::nullopt;
    QCOMPARE(TestoErrore(testo, numero, QStringLiteral("Prima "), QStringLiteral(" Dopo")), atteso);
    CancellaErrore();
}

void TstSuite::msgErrfrmUnSoloOk() {
    MessaggiScriptati m;
    m.rispondi(1);
    ImpostaErrore(NumErr::ChiaveDuplicata, QStringLiteral("Chiave duplicata"), QString());
    QCOMPARE(MsgErrfrm(std::nullopt, std::nullopt, QString(), QString(), QStringLiteral("Titolo")),
             1);
    QCOMPARE(m.mostrati().size(), size_t(1));
    QCOMPARE(m.mostrati()[0].tipo, MessaggiScriptati::Tipo::MsgCom);
    QCOMPARE(m.mostrati()[0].testo, QStringLiteral("Errore(3022): Chiave duplicata"));
    QCOMPARE(m.mostrati()[0].pulsanti, QStringList{QStringLiteral("&Ok")});
    QCOMPARE(m.mostrati()[0].titolo, QStringLiteral("Titolo"));
    CancellaErrore();
}

void TstSuite::msgErroreEsclamativo() {
    MessaggiScriptati m;
    QCOMPARE(MsgErrore(QStringLiteral("x"), QStringLiteral("5")), int(vbOK));
    QCOMPARE(m.mostrati()[0].tipo, MessaggiScriptati::Tipo::MsgBox);
    QCOMPARE(m.mostrati()[0].stile, int(vbExclamation));
    QCOMPARE(m.mostrati()[0].testo, QStringLiteral("Errore(5): x"));
}

// Where the handlers tell keys apart: the keypad from the main keyboard,
// Shift+Tab (Qt's own key) from Tab, modifier keys and masks.
void TstSuite::codiciTasto_data() {
    QTest::addColumn<int>("tasto");
    QTest::addColumn<int>("modificatori");
    QTest::addColumn<int>("codice");
    QTest::addColumn<int>("shift");
    const int kp = Qt::KeypadModifier;
    QTest::newRow("A") << int(Qt::Key_A) << 0 << 65 << 0;
    QTest::newRow("Ctrl+Alt+S") << int(Qt::Key_S) << int(Qt::ControlModifier | Qt::AltModifier)
                                << 83 << 6;
    QTest::newRow("7") << int(Qt::Key_7) << 0 << 55 << 0;
    QTest::newRow("7 tastierino") << int(Qt::Key_7) << kp << 103 << 0;
    QTest::newRow(", tastierino") << int(Qt::Key_Comma) << kp << 110 << 0;
    QTest::newRow(". tastierino") << int(Qt::Key_Period) << kp << 110 << 0;
    QTest::newRow(".") << int(Qt::Key_Period) << 0 << 190 << 0;
    QTest::newRow("- tastierino") << int(Qt::Key_Minus) << kp << 109 << 0;
    QTest::newRow("-") << int(Qt::Key_Minus) << 0 << 189 << 0;
    QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << 9 << 1;
    QTest::newRow("Invio tastierino") << int(Qt::Key_Enter) << kp << 13 << 0;
    QTest::newRow("F1") << int(Qt::Key_F1) << 0 << 112 << 0;
    QTest::newRow("F24") << int(Qt::Key_F24) << 0 << 135 << 0;
    QTest::newRow("Shift") << int(Qt::Key_Shift) << int(Qt::ShiftModifier) << 16 << 1;
    QTest::newRow("lettera accentata") << int(Qt::Key_Egrave) << 0 << 0 << 0;
}

void TstSuite::codiciTasto() {
    QFETCH(int, tasto);
    QFETCH(int, modificatori);
    QFETCH(int, codice);
    QFETCH(int, shift);
    const auto m = Qt::KeyboardModifiers::fromInt(modificatori);
    QCOMPARE(CodiceTasto(tasto, m), codice);
    QCOMPARE(MascheraShift(m), shift);
}

QTEST_GUILESS_MAIN(TstSuite)
#include "tst_suite.moc"
