// The message and command dialog: its layout worked out in twips, the widget
// that shows it, its keys and answers, and the program's message service.

#include "desktop/DialogoMessaggi.h"
#include "desktop/DisposizioneMsgCom.h"
#include "desktop/FrmMsgCom.h"
#include "desktop/Schermo.h"
#include "desktop/ServiziSistema.h"
#include "suite/Errore.h"
#include "suite/Messaggi.h"
#include "suite/Sessione.h"

#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <functional>

using namespace quarvel;

namespace {

// A screen of 800 x 600 pixels at 15 twips per pixel (12000 x 9000 twips),
// with a bottom panel whose top edge is at pixel 570 when asked.
MetricheSchermo Schermo800(bool pannelloInBasso) {
    MetricheSchermo m;
    m.geometria = QRect(0, 0, 800, 600);
    m.areaUtile = pannelloInBasso ? QRect(0, 0, 800, 570) : m.geometria;
    m.twipsPerPixel = 15.0;
    return m;
}

int Px(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

RichiestaMsgCom Richiesta(const QString& testo, int pulsanti) {
    RichiestaMsgCom r;
    r.psLabel = testo;
    r.psCom1 = QStringLiteral("&Sì");
    if (pulsanti >= 2)
        r.pvCom2 = QStringLiteral("&No");
    if (pulsanti >= 3)
        r.pvCom3 = QStringLiteral("&Annulla");
    return r;
}

// Runs the request through the message service; azione sees the open dialog
// and must answer it.  An action that leaves it open fails the check and the
// dialog is closed.
struct Esito {
    int risposta = -1;
    bool apertoDopoAzione = false;
};
Esito ConDialogo(const RichiestaMsgCom& r, const std::function<void(FrmMsgCom*)>& azione) {
    Esito e;
    QTimer::singleShot(0, [&] {
        FrmMsgCom* f = FrmMsgCom::Aperto();
        if (!f)
            return;
        azione(f);
        QCoreApplication::processEvents();
        if (FrmMsgCom::Aperto()) {
            e.apertoDopoAzione = true;
            FrmMsgCom::Aperto()->reject();
        }
    });
    e.risposta = msgCom(r);
    return e;
}

QWidget* Fuoco(FrmMsgCom* f) {
    return f->focusWidget() ? f->focusWidget() : f;
}

} // namespace

class TestMsgCom : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        InstallaDialogoMessaggi();
        Sessione().FattoreMsgCom = 1;
    }
    void init() { ImpostaSchermoSimulato(Schermo800(false)); }
    void cleanupTestCase() {
        ImpostaServizioMessaggi(nullptr);
        ImpostaSchermoSimulato(std::nullopt);
    }

    void disposizione_data();
    void disposizione();

    void tasti_data();
    void tasti();
    void tastiNonVoluti_data();
    void tastiNonVoluti();

    void pulsantiLarghi();
    void testoLargo();
    void modoTesto_data();
    void modoTesto();
    void secondaRichiesta();
    void chiusoSenzaPulsante();
    void titolo();
    void msgErrfrm();
    void tastoAiuto();

    void msgBox_data();
    void msgBox();
    void inputBox();
};

// ---- The layout without a window -------------------------------------------------

void TestMsgCom::disposizione_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<int>("pulsanti");
    QTest::addColumn<bool>("sempreTesto");
    QTest::addColumn<int>("larghezza");
    QTest::addColumn<int>("altezza");
    QTest::addColumn<bool>("aCapo");
    QTest::addColumn<bool>("modoTesto");
    QTest::addColumn<QList<int>>("sinistre");
    QTest::addColumn<int>("altoPulsanti");
    QTest::addColumn<QRect>("area"); // label or text box

    // Characters 100 twips wide, lines 240 high; screen 12000 x 9000 with a
    // bottom panel from 8550; borders 120 and 570; label and text box at 240;
    // buttons 1335 x 405.
    QTest::newRow("three buttons set the width")
        << "abc" << 3 << false << 5205 + 120 << 570 + 240 + 240 + 290 + 405 + 150 << false << false
        << QList<int>{200, 1935, 3670} << 240 + 240 + 290 << QRect(2452, 240, 300, 240);
    QTest::newRow("text sets the width")
        << QString(80, QLatin1Char('x')) << 1 << false << 8000 + 600 + 120 << 1895 << false << false
        << QList<int>{3632} << 770 << QRect(300, 240, 8000, 240);
    QTest::newRow("two lines, two buttons")
        << QStringLiteral("%1\r\n%2")
               .arg(QString(50, QLatin1Char('x')), QString(20, QLatin1Char('y')))
        << 2 << false << 5720 << 1895 + 240 << false << false << QList<int>{732, 3532} << 1010
        << QRect(300, 240, 5000, 480);
    QTest::newRow("text wider than 80% wraps")
        << QString(200, QLatin1Char('x')) << 1 << false << 9600 << 1895 + 480 << true << false
        << QList<int>{4072} << 1250 << QRect(300, 240, 8880, 720);
    QTest::newRow("text taller than the screen")
        << QStringList(40, QStringLiteral("0123456789")).join(QStringLiteral("\r\n")) << 2 << false
        << 3470 + 120 << 8550 << false << true << QList<int>{200, 1935} << 7285
        << QRect(0, 240, 3470, 6755);
    QTest::newRow("always the text box")
        << "abc" << 1 << true << 1735 + 120 << 8550 << false << true << QList<int>{200} << 7285
        << QRect(0, 240, 1735, 6755);
}

void TestMsgCom::disposizione() {
    QFETCH(QString, testo);
    QFETCH(int, pulsanti);
    QFETCH(bool, sempreTesto);

    MetricheMsgCom m;
    m.larghezzaSchermo = 12000;
    m.altezzaSchermo = 9000;
    m.altezzaUtile = 8550;
    m.bordoOrizzontale = 120;
    m.bordoVerticale = 570;
    m.altoEtichetta = 240;
    m.altoTesto = 240;
    m.larghezzaPulsante = 1335;
    m.altezzaPulsante = 405;

    const QStringList righe =
        QString(testo).replace(QLatin1String("\r\n"), QLatin1String("\n")).split(QLatin1Char('\n'));
    MisuraTesto misura;
    misura.larghezza = [&] {
        qsizetype l = 0;
        for (const auto& r : righe)
            l = std::max(l, r.size());
        return static_cast<int>(l * 100);
    };
    misura.altezza = [&](int larghezza) {
        int n = 0;
        for (const auto& r : righe)
            n += larghezza < 0
                     ? 1
                     : std::max(1, static_cast<int>(std::ceil(r.size() * 100.0 / larghezza)));
        return n * 240;
    };

    RichiestaMsgCom r = Richiesta(testo, pulsanti);
    r.pbSempreTxt = sempreTesto;
    const DisposizioneMsgCom d = CalcolaDisposizioneMsgCom(r, m, misura);

    QTEST(d.larghezzaFinestra, "larghezza");
    QTEST(d.altezzaFinestra, "altezza");
    QTEST(d.aCapo, "aCapo");
    QTEST(d.modoTesto, "modoTesto");
    QList<int> sinistre(d.sinistraPulsanti.begin(), d.sinistraPulsanti.end());
    QTEST(sinistre, "sinistre");
    QTEST(d.altoPulsanti, "altoPulsanti");
    QTEST(d.modoTesto ? d.testo : d.etichetta, "area");
    QCOMPARE(d.larghezzaInterna, d.larghezzaFinestra - 120);
    QCOMPARE(d.altezzaInterna, d.altezzaFinestra - 570);
    if (d.modoTesto)
        QCOMPARE(d.altoPulsanti + d.altezzaPulsante + 290, d.altezzaInterna);
}

// ---- The dialog ------------------------------------------------------------------

void TestMsgCom::tasti_data() {
    QTest::addColumn<int>("pulsanti");
    QTest::addColumn<int>("comDefault");
    QTest::addColumn<int>("tasto");
    QTest::addColumn<int>("fuoco");    // 0-based index of the focused button
    QTest::addColumn<int>("risposta"); // 0: the key answers nothing
    QTest::addColumn<int>("comInvio"); // the buttons a three-button question
    QTest::addColumn<int>("comEsc");   // names for Enter and Esc (0: none)

    QTest::newRow("one button, Enter") << 1 << 1 << int(Qt::Key_Return) << 0 << 1 << 0 << 0;
    QTest::newRow("one button, keypad Enter") << 1 << 1 << int(Qt::Key_Enter) << 0 << 1 << 0 << 0;
    QTest::newRow("one button, Esc") << 1 << 1 << int(Qt::Key_Escape) << 0 << 0 << 0 << 0;
    QTest::newRow("two buttons, Enter") << 2 << 1 << int(Qt::Key_Return) << 0 << 1 << 0 << 0;
    QTest::newRow("two buttons, Esc") << 2 << 1 << int(Qt::Key_Escape) << 0 << 2 << 0 << 0;
    QTest::newRow("three buttons, Enter") << 3 << 1 << int(Qt::Key_Return) << 0 << 0 << 0 << 0;
    QTest::newRow("three buttons, Esc") << 3 << 1 << int(Qt::Key_Escape) << 0 << 0 << 0 << 0;
    QTest::newRow("three buttons, Space") << 3 << 1 << int(Qt::Key_Space) << 0 << 1 << 0 << 0;
    QTest::newRow("focus on the second of two, Enter")
        << 2 << 2 << int(Qt::Key_Return) << 1 << 2 << 0 << 0;
    QTest::newRow("focus on the third, Space") << 3 << 3 << int(Qt::Key_Space) << 2 << 3 << 0 << 0;
    QTest::newRow("default out of range") << 2 << 5 << int(Qt::Key_Return) << 0 << 1 << 0 << 0;
    // The pending-changes question: Enter saves, Esc cancels.
    QTest::newRow("three buttons named, Enter")
        << 3 << 1 << int(Qt::Key_Return) << 0 << 1 << 1 << 3;
    QTest::newRow("three buttons named, Esc") << 3 << 1 << int(Qt::Key_Escape) << 0 << 3 << 1 << 3;
    QTest::newRow("three buttons, Esc named only")
        << 3 << 1 << int(Qt::Key_Return) << 0 << 0 << 0 << 3;
}

void TestMsgCom::tasti() {
    QFETCH(int, pulsanti);
    QFETCH(int, comDefault);
    QFETCH(int, tasto);
    QFETCH(int, fuoco);
    QFETCH(int, risposta);
    QFETCH(int, comInvio);
    QFETCH(int, comEsc);

    RichiestaMsgCom r = Richiesta(QStringLiteral("Confermi la cancellazione?"), pulsanti);
    r.piComDefault = comDefault;
    r.piComInvio = comInvio;
    r.piComEsc = comEsc;
    QWidget* conFuoco = nullptr;
    QWidget* atteso = nullptr;
    bool aperto = false;
    const Esito e = ConDialogo(r, [&](FrmMsgCom* f) {
        atteso = f->ComEsegui(fuoco);
        conFuoco = f->focusWidget();
        QTest::qWait(FrmMsgCom::GuardiaMs + 50); // a key pressed once the message is read
        QTest::keyClick(Fuoco(f), static_cast<Qt::Key>(tasto));
        QCoreApplication::processEvents();
        aperto = FrmMsgCom::Aperto() != nullptr;
        if (aperto)
            f->ComEsegui(pulsanti - 1)->click();
    });
    QVERIFY(atteso);
    QCOMPARE(conFuoco, atteso);
    QVERIFY(!e.apertoDopoAzione);
    if (risposta == 0) {
        QVERIFY2(aperto, "the key must not answer");
        QCOMPARE(e.risposta, pulsanti);
    } else {
        QVERIFY2(!aperto, "the key must answer");
        QCOMPARE(e.risposta, risposta);
    }
    QVERIFY(!FrmMsgCom::Aperto());
}

void TestMsgCom::tastiNonVoluti_data() {
    QTest::addColumn<int>("attesa");      // ms from the opening to the key
    QTest::addColumn<QString>("lettura"); // a scanner's code and Return first
    QTest::addColumn<int>("tasto");
    QTest::addColumn<bool>("ripetuto"); // the key held down
    QTest::addColumn<bool>("risponde");

    const int dopo = FrmMsgCom::GuardiaMs + 100;
    QTest::newRow("Invio appena aperto") << 0 << "" << int(Qt::Key_Return) << false << false;
    QTest::newRow("Invio del tastierino appena aperto")
        << 0 << "" << int(Qt::Key_Enter) << false << false;
    QTest::newRow("Spazio appena aperto") << 0 << "" << int(Qt::Key_Space) << false << false;
    QTest::newRow("Invio tenuto premuto") << dopo << "" << int(Qt::Key_Return) << true << false;
    QTest::newRow("Invio subito dopo una lettura")
        << dopo << "8001002" << int(Qt::Key_Return) << false << false;
    QTest::newRow("Invio dopo un momento") << dopo << "" << int(Qt::Key_Return) << false << true;
}

// A Return that comes with the message (a scanner's, or a key held down)
// does not answer it: the operator answers once it has been read.  A code
// typed into the message is listed in it.
void TestMsgCom::tastiNonVoluti() {
    QFETCH(int, attesa);
    QFETCH(QString, lettura);
    QFETCH(int, tasto);
    QFETCH(bool, ripetuto);
    QFETCH(bool, risponde);
    bool aperto = false;
    QString testo;
    const Esito e =
        ConDialogo(Richiesta(QStringLiteral("Codice Articolo non valido"), 1), [&](FrmMsgCom* f) {
            if (!lettura.isEmpty()) {
                QTest::qWait(attesa);
                QTest::keyClicks(Fuoco(f), lettura);
                QTest::keyClick(Fuoco(f), Qt::Key_Return);
                QTest::qWait(200);
            } else {
                QTest::qWait(attesa);
            }
            const QString t = tasto == Qt::Key_Space ? " " : "\r";
            QKeyEvent giu(QEvent::KeyPress, tasto, Qt::NoModifier, t, ripetuto);
            QKeyEvent su(QEvent::KeyRelease, tasto, Qt::NoModifier, t, ripetuto);
            QApplication::sendEvent(Fuoco(f), &giu);
            QApplication::sendEvent(Fuoco(f), &su);
            QCoreApplication::processEvents();
            aperto = FrmMsgCom::Aperto() != nullptr;
            testo = f->LabMessaggio()->text();
            if (aperto)
                f->ComEsegui(0)->click();
        });
    QVERIFY(!e.apertoDopoAzione);
    QCOMPARE(aperto, !risponde);
    QCOMPARE(e.risposta, 1);
    QVERIFY(testo.startsWith(QStringLiteral("Codice Articolo non valido")));
    QCOMPARE(testo.contains(QStringLiteral("8001002")), !lettura.isEmpty());
}

void TestMsgCom::pulsantiLarghi() {
    RichiestaMsgCom r = Richiesta(QStringLiteral("Salvare?"), 3);
    r.pvWidthCom = 2400;
    DisposizioneMsgCom d;
    QRect interno;
    QList<QRect> pulsanti;
    QStringList didascalie;
    const Esito e = ConDialogo(r, [&](FrmMsgCom* f) {
        d = f->disposizione();
        interno = f->rect();
        for (int i = 0; i < 3; ++i) {
            pulsanti << f->ComEsegui(i)->geometry();
            didascalie << f->ComEsegui(i)->text();
        }
        f->ComEsegui(1)->click();
    });
    QCOMPARE(e.risposta, 2);
    QVERIFY(d.pulsantiDecidono);
    // The row: three buttons of 2400 each with 400 around each.
    QCOMPARE(d.larghezzaInterna, 3 * (2400 + 400));
    QCOMPARE(d.larghezzaFinestra - d.larghezzaInterna, 120);
    QCOMPARE(d.sinistraPulsanti, (std::vector<int>{200, 3000, 5800}));
    QCOMPARE(didascalie, (QStringList{"&Sì", "&No", "&Annulla"}));
    QCOMPARE(interno.width(), Px(8400));
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(pulsanti[i].x(), Px(d.sinistraPulsanti[static_cast<size_t>(i)]));
        QCOMPARE(pulsanti[i].width(), Px(2400));
        QCOMPARE(pulsanti[i].y(), pulsanti[0].y());
    }
}

void TestMsgCom::testoLargo() {
    QStringList parole;
    for (int i = 0; i < 120; ++i)
        parole << QStringLiteral("parola%1").arg(i);
    const QString testo = parole.join(QLatin1Char(' '));
    DisposizioneMsgCom d;
    bool aCapo = false;
    QRect etichetta;
    int altezzaNecessaria = 0;
    QRect pulsante;
    int rigaUnica = 0;
    const Esito e = ConDialogo(Richiesta(testo, 1), [&](FrmMsgCom* f) {
        d = f->disposizione();
        aCapo = f->LabMessaggio()->wordWrap();
        etichetta = f->LabMessaggio()->geometry();
        altezzaNecessaria = f->LabMessaggio()->heightForWidth(etichetta.width());
        pulsante = f->ComEsegui(0)->geometry();
        rigaUnica = f->LabMessaggio()->fontMetrics().height();
        f->ComEsegui(0)->click();
    });
    QCOMPARE(e.risposta, 1);
    QVERIFY(d.aCapo);
    QVERIFY(aCapo);
    QVERIFY(!d.modoTesto);
    QCOMPARE(d.larghezzaFinestra, 9600); // 80% of 12000
    // Wrapped with the side room of 600 kept.
    QCOMPARE(d.etichetta.width(), d.larghezzaInterna - 600);
    QCOMPARE(d.etichetta.x(), 300);
    // Wrapped over several lines, all of them inside the label, and the
    // buttons below the last one.
    QVERIFY(etichetta.height() >= 3 * rigaUnica);
    QVERIFY(etichetta.height() >= altezzaNecessaria);
    QVERIFY(etichetta.right() < Px(d.larghezzaInterna) + 1);
    QVERIFY(pulsante.top() >= etichetta.bottom());
}

void TestMsgCom::modoTesto_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<bool>("sempreTesto");
    QTest::addColumn<bool>("pannello");
    QTest::newRow("taller than the screen, bottom panel")
        << QStringList(120, QStringLiteral("Riga dell'elenco")).join(QStringLiteral("\r\n"))
        << false << true;
    QTest::newRow("taller than the screen, no panel")
        << QStringList(120, QStringLiteral("Riga dell'elenco")).join(QStringLiteral("\r\n"))
        << false << false;
    QTest::newRow("asked for") << QStringLiteral("Breve avviso") << true << true;
}

void TestMsgCom::modoTesto() {
    QFETCH(QString, testo);
    QFETCH(bool, sempreTesto);
    QFETCH(bool, pannello);
    ImpostaSchermoSimulato(Schermo800(pannello));

    RichiestaMsgCom r = Richiesta(testo, 2);
    r.pbSempreTxt = sempreTesto;
    DisposizioneMsgCom d;
    bool etichettaVisibile = true, testoVisibile = false, solaLettura = false;
    QString contenuto;
    QRect interno, riquadro, pulsante;
    const Esito e = ConDialogo(r, [&](FrmMsgCom* f) {
        d = f->disposizione();
        etichettaVisibile = f->LabMessaggio()->isVisible();
        testoVisibile = f->txtMessaggio()->isVisible();
        solaLettura = f->txtMessaggio()->isReadOnly();
        contenuto = f->txtMessaggio()->toPlainText();
        interno = f->rect();
        riquadro = f->txtMessaggio()->geometry();
        pulsante = f->ComEsegui(1)->geometry();
        QTest::keyClick(Fuoco(f), Qt::Key_Escape);
    });
    QCOMPARE(e.risposta, 2);
    QVERIFY(d.modoTesto);
    QVERIFY(!etichettaVisibile);
    QVERIFY(testoVisibile);
    QVERIFY(solaLettura);
    QCOMPARE(contenuto, QString(testo).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    QCOMPARE(d.altezzaFinestra, pannello ? 570 * 15 : 9000);
    QCOMPARE(d.altoPulsanti + d.altezzaPulsante + 290, d.altezzaInterna);
    QCOMPARE(d.testo.bottom() + 1 + 290, d.altoPulsanti);
    QCOMPARE(interno.height(), Px(d.altezzaInterna));
    QCOMPARE(riquadro.width(), interno.width());
    QCOMPARE(pulsante.y(), Px(d.altoPulsanti));
    QVERIFY(riquadro.bottom() < pulsante.top());
}

void TestMsgCom::secondaRichiesta() {
    int seconda = -1;
    QStringList testi;
    const Esito e = ConDialogo(Richiesta(QStringLiteral("Prima"), 2), [&](FrmMsgCom* f) {
        seconda = msgCom(Richiesta(QStringLiteral("Seconda"), 1));
        testi << f->LabMessaggio()->text();
        f->ComEsegui(0)->click();
    });
    QCOMPARE(seconda, 0);
    QCOMPARE(e.risposta, 1);
    QCOMPARE(testi, QStringList{QStringLiteral("Prima")});
    // Once closed, the next request opens the dialog again.
    const Esito dopo = ConDialogo(Richiesta(QStringLiteral("Dopo"), 1),
                                  [](FrmMsgCom* f) { f->ComEsegui(0)->click(); });
    QCOMPARE(dopo.risposta, 1);
}

void TestMsgCom::chiusoSenzaPulsante() {
    const Esito e =
        ConDialogo(Richiesta(QStringLiteral("Chiudi"), 2), [](FrmMsgCom* f) { f->close(); });
    QCOMPARE(e.risposta, 0);
}

void TestMsgCom::titolo() {
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Quarvel"));
    QString senza, con;
    ConDialogo(Richiesta(QStringLiteral("a"), 1), [&](FrmMsgCom* f) {
        senza = f->windowTitle();
        f->ComEsegui(0)->click();
    });
    RichiestaMsgCom r = Richiesta(QStringLiteral("b"), 1);
    r.pvTitolo = QStringLiteral("Inventari");
    ConDialogo(r, [&](FrmMsgCom* f) {
        con = f->windowTitle();
        f->ComEsegui(0)->click();
    });
    QCOMPARE(senza, QStringLiteral("Quarvel"));
    QCOMPARE(con, QStringLiteral("Inventari"));
}

void TestMsgCom::msgErrfrm() {
    ImpostaErrore(3021, QStringLiteral("Nessun record corrente."), QStringLiteral("DAO.Recordset"));
    QString testo;
    QStringList pulsanti;
    int risposta = -1;
    QTimer::singleShot(0, [&] {
        FrmMsgCom* f = FrmMsgCom::Aperto();
        if (!f)
            return;
        testo = f->LabMessaggio()->text();
        for (int i = 0; i < 3; ++i)
            if (f->ComEsegui(i) && f->ComEsegui(i)->isVisible())
                pulsanti << f->ComEsegui(i)->text();
        QTest::qWait(FrmMsgCom::GuardiaMs + 50);
        QTest::keyClick(Fuoco(f), Qt::Key_Return);
    });
    risposta = MsgErrfrm();
    CancellaErrore();
    QCOMPARE(testo, QStringLiteral("Errore(3021): Nessun record corrente. - DAO.Recordset"));
    QCOMPARE(pulsanti, QStringList{QStringLiteral("&Ok")});
    QCOMPARE(risposta, 1);
}

void TestMsgCom::tastoAiuto() {
    QTemporaryDir dir;
    QFile(dir.filePath(QStringLiteral("quarvel.chm"))).open(QIODevice::WriteOnly);
    ImpostaFileAiuto(dir.filePath(QStringLiteral("quarvel.hlp")));
    QList<QUrl> aperti;
    ImpostaApritoreAiuto([&](const QUrl& u) { aperti << u; });
    bool aperto = false;
    const Esito e = ConDialogo(Richiesta(QStringLiteral("Aiuto?"), 2), [&](FrmMsgCom* f) {
        f->setProperty("HelpContextID", 9100);
        QTest::keyClick(Fuoco(f), Qt::Key_F1);
        QCoreApplication::processEvents();
        aperto = FrmMsgCom::Aperto() != nullptr;
        f->ComEsegui(1)->click();
    });
    ImpostaApritoreAiuto({});
    ImpostaFileAiuto(QString());
    QVERIFY(aperto); // F1 opens the help, it does not answer
    QCOMPARE(e.risposta, 2);
    QCOMPARE(aperti.size(), 1);
    QCOMPARE(aperti[0].toLocalFile(), dir.filePath(QStringLiteral("quarvel.chm")));
    QCOMPARE(aperti[0].fragment(), QStringLiteral("9100"));
}

// ---- The system message box and the input box --------------------------------------

void TestMsgCom::msgBox_data() {
    QTest::addColumn<int>("stile");
    QTest::addColumn<QStringList>("didascalie");
    QTest::addColumn<int>("premuto"); // index of the button pressed, -1 Esc
    QTest::addColumn<int>("risposta");
    QTest::newRow("OK") << int(vbOKOnly | vbExclamation) << QStringList{"OK"} << 0 << int(vbOK);
    QTest::newRow("OK, Esc") << int(vbOKOnly) << QStringList{"OK"} << -1 << int(vbOK);
    QTest::newRow("yes/no, no") << int(vbYesNo | vbQuestion) << QStringList{"Sì", "No"} << 1
                                << int(vbNo);
    QTest::newRow("yes/no/cancel, Esc")
        << int(vbYesNoCancel) << QStringList{"Sì", "No", "Annulla"} << -1 << int(vbCancel);
    QTest::newRow("retry/cancel, retry")
        << int(vbRetryCancel) << QStringList{"Riprova", "Annulla"} << 0 << int(vbRetry);
}

void TestMsgCom::msgBox() {
    QFETCH(int, stile);
    QFETCH(QStringList, didascalie);
    QFETCH(int, premuto);
    QStringList viste;
    QString testo;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        testo = box->text();
        const auto pulsanti = box->buttons();
        QList<QAbstractButton*> ordinati(pulsanti.begin(), pulsanti.end());
        for (auto* p : ordinati)
            viste << p->text();
        if (premuto < 0) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            for (auto* p : ordinati)
                if (p->text() == didascalie.value(premuto))
                    p->click();
        }
    });
    const int risposta = MsgBox(QStringLiteral("Avviso\r\nseconda riga"), stile);
    std::sort(viste.begin(), viste.end());
    std::sort(didascalie.begin(), didascalie.end());
    QCOMPARE(viste, didascalie);
    QCOMPARE(testo, QStringLiteral("Avviso\nseconda riga"));
    QTEST(risposta, "risposta");
}

void TestMsgCom::inputBox() {
    QString prompt, predefinito;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!d)
            return;
        prompt = d->labelText();
        predefinito = d->textValue();
        d->setTextValue(QStringLiteral("MAG2"));
        d->accept();
    });
    QCOMPARE(InputBox(QStringLiteral("Magazzino?"), QString(), QStringLiteral("MAG1")),
             QStringLiteral("MAG2"));
    QCOMPARE(prompt, QStringLiteral("Magazzino?"));
    QCOMPARE(predefinito, QStringLiteral("MAG1"));

    QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<QInputDialog*>(QApplication::activeModalWidget()))
            d->reject();
    });
    QCOMPARE(InputBox(QStringLiteral("Magazzino?"), QString(), QStringLiteral("MAG1")), QString());
}

QTEST_MAIN(TestMsgCom)
#include "tst_desktop_msgcom.moc"
