// The keyboard of the forms with real key events on a small form: Enter as a
// step, the keypad comma, find and replace, the Ctrl snippets of the menu and
// F1.

#include "Ambiente.h"
#include "desktop/ServiziSistema.h"
#include "listform/Tastiera.h"
#include "suite/Messaggi.h"

#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <memory>

using namespace quarvel;
using namespace prova;

class TstTastiera : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void invio();
    void invioSuPulsante_data();
    void invioSuPulsante();
    void tastierino_data();
    void tastierino();
    void cercaSostituisci_data();
    void cercaSostituisci();
    void confrontoEsatto();
    void frammenti_data();
    void frammenti();
    void aiuto();
    void filtro();

private:
    QLineEdit* riga(int i) const {
        return m_form->findChild<QLineEdit*>(QStringLiteral("txt(%1)").arg(i));
    }
    QPlainTextEdit* multi() const { return m_form->findChild<QPlainTextEdit*>("txt(1)"); }
    void fuocoSu(QWidget* w) {
        w->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), w);
    }

    std::unique_ptr<QWidget> m_form;
    std::unique_ptr<MessaggiScriptati> m_msg;
    MenuFinto m_menu;
    QTemporaryDir m_dir;
};

void TstTastiera::initTestCase() {
    InstallaUtilita();
    QVERIFY(m_dir.isValid());
}

void TstTastiera::init() {
    AzzeraTastiera();
    m_menu = MenuFinto();
    Sessione().MenuClient = &m_menu;
    Sessione().TastierinoVirgola.clear();
    m_msg = std::make_unique<MessaggiScriptati>();
    m_form = std::make_unique<QWidget>();
    m_form->setObjectName("frmProva");
    auto* l = new QVBoxLayout(m_form.get());
    auto* t0 = new QLineEdit(m_form.get());
    t0->setObjectName("txt(0)");
    auto* t1 = new QPlainTextEdit(m_form.get());
    t1->setObjectName("txt(1)");
    auto* t2 = new QLineEdit(m_form.get());
    t2->setObjectName("txt(2)");
    auto* g = new QTableWidget(3, 2, m_form.get());
    g->setObjectName("griglia");
    for (QWidget* w : std::initializer_list<QWidget*>{t0, t1, t2, g})
        l->addWidget(w);
    new AnteprimaTasti(m_form.get(), false, true);
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    fuocoSu(t0);
}

void TstTastiera::cleanup() {
    m_form.reset();
    m_msg.reset();
    Sessione().MenuClient = nullptr;
    Sessione().TastierinoVirgola.clear();
}

void TstTastiera::invio() {
    Premi(Qt::Key_Return);
    QCOMPARE(Fuoco(), multi()); // one-line box: the next control
    Scrivi("ab");
    Premi(Qt::Key_Return); // multi-line: a new line
    QCOMPARE(Fuoco(), multi());
    QCOMPARE(multi()->toPlainText(), QString("ab\n"));
    multi()->selectAll();
    Premi(Qt::Key_Return); // the whole text selected: the next control
    QCOMPARE(Fuoco(), riga(2));
    QCOMPARE(multi()->toPlainText(), QString("ab\n"));
    Premi(Qt::Key_Return, Qt::ShiftModifier); // backward
    QCOMPARE(Fuoco(), multi());
    auto* g = m_form->findChild<QTableWidget*>("griglia");
    fuocoSu(g);
    g->setCurrentCell(0, 0);
    Premi(Qt::Key_Return); // left to the grid
    QCOMPARE(Fuoco(), g);
    fuocoSu(riga(2));
    Premi(Qt::Key_Return);
    QCOMPARE(Fuoco(), g);
}

void TstTastiera::invioSuPulsante_data() {
    QTest::addColumn<bool>("shift");
    QTest::newRow("Invio") << false;
    QTest::newRow("Maiuscolo+Invio") << true;
}

// Enter on a button presses it (once the key has gone), as Space does; the
// focus does not move on.
void TstTastiera::invioSuPulsante() {
    QFETCH(bool, shift);
    auto* ok = new QPushButton(QStringLiteral("Ok"), m_form.get());
    ok->setAutoDefault(false);
    m_form->layout()->addWidget(ok);
    ok->show();
    int premuto = 0;
    connect(ok, &QPushButton::clicked, this, [&premuto] { ++premuto; });
    fuocoSu(ok);
    Premi(Qt::Key_Return, shift ? Qt::ShiftModifier : Qt::NoModifier);
    QTRY_COMPARE(premuto, 1);
    QCOMPARE(Fuoco(), ok);
}

void TstTastiera::tastierino_data() {
    QTest::addColumn<QString>("impostazione");
    QTest::addColumn<bool>("tastierino");
    QTest::addColumn<QString>("atteso");
    QTest::newRow("tastierino, virgola attiva") << "S" << true << "1,5";
    QTest::newRow("tastierino, virgola attiva minuscola") << "s" << true << "1,5";
    QTest::newRow("tastiera principale") << "S" << false << "1.5";
    QTest::newRow("virgola non attiva") << "N" << true << "1.5";
}

void TstTastiera::tastierino() {
    QFETCH(QString, impostazione);
    QFETCH(bool, tastierino);
    QFETCH(QString, atteso);
    Sessione().TastierinoVirgola = impostazione;
    const Qt::KeyboardModifiers m = tastierino ? Qt::KeypadModifier : Qt::NoModifier;
    QTest::keyClick(Fuoco(), Qt::Key_1, m);
    QTest::keyClick(Fuoco(), Qt::Key_Period, m);
    QTest::keyClick(Fuoco(), Qt::Key_5, m);
    QCOMPARE(riga(0)->text(), atteso);
}

void TstTastiera::cercaSostituisci_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<int>("selInizio");
    QTest::addColumn<int>("selLung");
    QTest::addColumn<QString>("cercaPrima"); // the last search text
    QTest::addColumn<int>("tasto");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<QStringList>("risposte");
    QTest::addColumn<QString>("testoAtteso");
    QTest::addColumn<int>("inizioAtteso");
    QTest::addColumn<int>("lungAtteso");
    QTest::addColumn<QStringList>("messaggi");
    QTest::addColumn<QString>("cercaDopo");

    const QString t = "uno due Uno";
    const QString cerca = testi_tastiera::StringaDaCercare();
    const QString sost = testi_tastiera::SostituireCon();
    const QString non = testi_tastiera::TestoNonTrovato();
    QTest::newRow("F: la prima") << t << 5 << 0 << "" << int(Qt::Key_F) << false
                                 << QStringList{"uno"} << t << 0 << 3 << QStringList{cerca}
                                 << "uno";
    QTest::newRow("F con Shift: l'ultima")
        << t << 0 << 0 << "" << int(Qt::Key_F) << true << QStringList{"uno"} << t << 8 << 3
        << QStringList{cerca} << "uno";
    QTest::newRow("F senza risposta")
        << t << 2 << 0 << "due" << int(Qt::Key_F) << false << QStringList{} << t << 2 << 0
        << QStringList{cerca} << "due";
    QTest::newRow("Pag Giu: la successiva")
        << t << 0 << 3 << "uno" << int(Qt::Key_PageDown) << false << QStringList{} << t << 8 << 3
        << QStringList{} << "uno";
    QTest::newRow("Pag Su: la precedente")
        << t << 8 << 3 << "uno" << int(Qt::Key_PageUp) << false << QStringList{} << t << 0 << 3
        << QStringList{} << "uno";
    QTest::newRow("Pag Giu prima di cercare")
        << t << 1 << 0 << "" << int(Qt::Key_PageDown) << false << QStringList{} << t << 1 << 0
        << QStringList{} << "";
    QTest::newRow("S: la prima sostituita")
        << t << 4 << 0 << "" << int(Qt::Key_S) << false << QStringList{"uno", "tre"}
        << "tre due Uno" << 0 << 3 << QStringList{cerca, sost} << "uno";
    QTest::newRow("S sulla selezione: sostituita, poi la successiva")
        << t << 0 << 3 << "" << int(Qt::Key_S) << false << QStringList{"uno", "tre"}
        << "tre due Uno" << 8 << 3 << QStringList{cerca, sost} << "uno";
    QTest::newRow("S senza sostituto")
        << t << 0 << 0 << "" << int(Qt::Key_S) << false << QStringList{"uno"} << t << 0 << 0
        << QStringList{cerca, sost} << "uno";
    QTest::newRow("Shift Pag Giu: sostituisce la trovata")
        << t << 1 << 0 << "uno" << int(Qt::Key_PageDown) << true << QStringList{} << "uno due 4"
        << 8 << 1 << QStringList{} << "uno";
    QTest::newRow("non trovato") << t << 4 << 3 << "" << int(Qt::Key_F) << false
                                 << QStringList{"sei"} << t << 4 << 3 << QStringList{cerca, non}
                                 << "sei";
}

void TstTastiera::cercaSostituisci() {
    QFETCH(QString, testo);
    QFETCH(int, selInizio);
    QFETCH(int, selLung);
    QFETCH(QString, cercaPrima);
    QFETCH(int, tasto);
    QFETCH(bool, shift);
    QFETCH(QStringList, risposte);
    QFETCH(QString, testoAtteso);
    QFETCH(int, inizioAtteso);
    QFETCH(int, lungAtteso);
    QFETCH(QStringList, messaggi);
    QFETCH(QString, cercaDopo);
    QLineEdit* e = riga(0);
    e->setText(testo);
    e->setSelection(selInizio, selLung);
    if (selLung == 0)
        e->setCursorPosition(selInizio);
    Tastiera().mgRicerca.sCerca = cercaPrima;
    Tastiera().mgRicerca.sSostituisci = QStringLiteral("4");
    for (const QString& r : risposte)
        m_msg->rispondi(r);
    Qt::KeyboardModifiers m = Qt::ControlModifier | Qt::AltModifier;
    if (shift)
        m |= Qt::ShiftModifier;
    Premi(Qt::Key(tasto), m);
    QCOMPARE(e->text(), testoAtteso);
    const int inizio = e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
    QCOMPARE(inizio, inizioAtteso);
    QCOMPARE(int(e->selectedText().size()), lungAtteso);
    QCOMPARE(m_msg->testi(), messaggi);
    QCOMPARE(Tastiera().mgRicerca.sCerca, cercaDopo);
    if (!messaggi.isEmpty() && messaggi.last() == testi_tastiera::TestoNonTrovato())
        QCOMPARE(m_msg->mostrati().back().pulsanti.size(), 1);
    QCOMPARE(Tastiera().mgRicerca.vConfronto.toInt(), 1); // ignore case when never set
}

void TstTastiera::confrontoEsatto() {
    riga(0)->setText("Uno due");
    Premi(Qt::Key_Backslash, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    QCOMPARE(Tastiera().mgRicerca.vConfronto.toInt(), 0);
    m_msg->rispondi(QStringLiteral("uno"));
    Premi(Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(m_msg->testi().last(), testi_tastiera::TestoNonTrovato());
    Premi(Qt::Key_Backslash, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(Tastiera().mgRicerca.vConfronto.toInt(), 1);
    m_msg->rispondi(QStringLiteral("uno"));
    Premi(Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(riga(0)->selectedText(), QString("Uno"));
}

void TstTastiera::frammenti_data() {
    QTest::addColumn<QString>("controllo");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<QString>("risposta");
    QTest::addColumn<QString>("atteso");
    QTest::addColumn<int>("numero");
    QTest::addColumn<QString>("selezione");
    // the one-line box starts "abc def" with the cursor after "abc"
    QTest::newRow("D sostituisce il testo") << "txt(0)" << false << "D  ciao  "
                                            << "ciao" << 75 << "";
    QTest::newRow("N con Ctrl+Shift") << "txt(0)" << true << "nsaluti"
                                      << "saluti" << -75 << "";
    QTest::newRow("multi-linea: la selezione") << "txt(1)" << false << "Dxyz"
                                               << "abcxyzf" << 75 << "";
    QTest::newRow("1: il tasto è usato") << "txt(0)" << false << "1"
                                         << "abc def" << 65 << "";
    // any other text: Ctrl+A reaches the box and selects it all
    QTest::newRow("altro testo: il tasto prosegue") << "txt(0)" << false << "X"
                                                    << "abc def" << 65 << "abc def";
}

void TstTastiera::frammenti() {
    QFETCH(QString, controllo);
    QFETCH(bool, shift);
    QFETCH(QString, risposta);
    QFETCH(QString, atteso);
    QFETCH(int, numero);
    QFETCH(QString, selezione);
    m_menu.tastiCtrl.insert(numero, risposta);
    if (controllo == QLatin1String("txt(1)")) {
        multi()->setPlainText("abc def");
        QTextCursor c = multi()->textCursor();
        c.setPosition(3);
        c.setPosition(6, QTextCursor::KeepAnchor);
        multi()->setTextCursor(c);
        fuocoSu(multi());
    } else {
        riga(0)->setText("abc def");
        riga(0)->setCursorPosition(3);
    }
    Qt::KeyboardModifiers m = Qt::ControlModifier;
    if (shift)
        m |= Qt::ShiftModifier;
    Premi(std::abs(numero) == 65 ? Qt::Key_A : Qt::Key_K, m);
    QCOMPARE(m_menu.chiamate, QStringList({QStringLiteral("TastiCtrl %1").arg(numero)}));
    const QString testo =
        controllo == QLatin1String("txt(1)") ? multi()->toPlainText() : riga(0)->text();
    QCOMPARE(testo, atteso);
    if (controllo == QLatin1String("txt(0)"))
        QCOMPARE(riga(0)->selectedText(), selezione);
}

void TstTastiera::aiuto() {
    const QString hlp = m_dir.filePath("quarvel.hlp");
    QFile chm(m_dir.filePath("quarvel.chm"));
    QVERIFY(chm.open(QIODevice::WriteOnly));
    chm.close();
    ImpostaFileAiuto(hlp);
    QList<QUrl> aperti;
    ImpostaApritoreAiuto([&](const QUrl& u) { aperti << u; });
    m_form->setProperty("HelpContextID", 22102);
    riga(0)->setText("x");
    Premi(Qt::Key_F1);
    ImpostaApritoreAiuto({});
    ImpostaFileAiuto({});
    QCOMPARE(aperti.size(), 1);
    QCOMPARE(aperti.front().fragment(), QString("22102"));
    QCOMPARE(riga(0)->text(), QString("x"));
    QCOMPARE(Tastiera().giUltimoTasto, qint16(0)); // help saw it first
}

void TstTastiera::filtro() {
    QCOMPARE(FiltroTasti(27), 0);
    Tastiera().gbInvioPassa = 0;
    QCOMPARE(FiltroTasti(13), 0);
    Tastiera().gbInvioPassa = -1;
    QCOMPARE(FiltroTasti(13), 13);
    QCOMPARE(FiltroTasti('a'), int('a'));
    // Esc typed into a multi-line box is dropped
    fuocoSu(multi());
    Premi(Qt::Key_Escape);
    QCOMPARE(multi()->toPlainText(), QString());
}

QTEST_MAIN(TstTastiera)
#include "tst_tastiera.moc"
