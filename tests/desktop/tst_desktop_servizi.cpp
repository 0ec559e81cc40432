// The system services: notice sound and the synthesized WAV, taskbar and
// usable height, terminal session, help key, focus stepping, selection,
// hourglass, modal re-show and the window helpers.

#include "desktop/Schermo.h"
#include "desktop/ServiziSistema.h"
#include "suite/Sessione.h"
#include "utility/Utilita.h"

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QtEndian>

using namespace quarvel;

namespace {

struct Suono {
    QString tipo;
    QString file;
    qint32 frequenza = 0;
    qint32 durata = 0;
    QByteArray wav;
};

class RiproduttoreProva final : public RiproduttoreSuoni {
public:
    QList<Suono> suoni;
    void beep() override { suoni << Suono{QStringLiteral("beep")}; }
    void file(const QString& p) override { suoni << Suono{QStringLiteral("file"), p}; }
    void tono(qint32 f, qint32 d) override { suoni << Suono{QStringLiteral("tono"), {}, f, d}; }
    void memoria(const QByteArray& w) override {
        suoni << Suono{QStringLiteral("memoria"), {}, 0, 0, w};
    }
};

QByteArray Intestazione(quint32 n) {
    QByteArray h;
    auto l = [&h](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        h.append(b, 4);
    };
    auto c = [&h](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        h.append(b, 2);
    };
    h.append("RIFF");
    l(n + 36);
    h.append("WAVEfmt ");
    l(16);
    c(1);
    c(1);
    l(11025);
    l(11025);
    c(1);
    c(8);
    h.append("data");
    l(n);
    return h;
}

// A window of controls in tab order: txt(0), a label, a picture, a disabled
// txt(1), a check box, a hidden txt(2), a button without tab stop, txt(3).
class Finestra : public QWidget {
    Q_OBJECT
public:
    QLineEdit* t0;
    QLabel* etichetta;
    QLabel* immagine;
    QLineEdit* t1;
    QCheckBox* casella;
    QLineEdit* t2;
    QPushButton* senzaTab;
    QLineEdit* t3;
    QList<QList<int>> keyUp;

    Finestra() {
        setObjectName(QStringLiteral("frmProva"));
        auto* v = new QVBoxLayout(this);
        auto aggiungi = [&](QWidget* w, const QString& nome) {
            w->setObjectName(nome);
            v->addWidget(w);
        };
        aggiungi(t0 = new QLineEdit, QStringLiteral("txt(0)"));
        aggiungi(etichetta = new QLabel(QStringLiteral("Magazzino")), QStringLiteral("lblMag"));
        aggiungi(immagine = new QLabel, QStringLiteral("PicArticolo"));
        QPixmap pm(8, 8);
        pm.fill(Qt::blue);
        immagine->setPixmap(pm);
        immagine->setFocusPolicy(Qt::StrongFocus);
        aggiungi(t1 = new QLineEdit, QStringLiteral("txt(1)"));
        t1->setEnabled(false);
        aggiungi(casella = new QCheckBox(QStringLiteral("Tutti")), QStringLiteral("CheTutti"));
        aggiungi(t2 = new QLineEdit, QStringLiteral("txt(2)"));
        t2->hide();
        aggiungi(senzaTab = new QPushButton(QStringLiteral("..")), QStringLiteral("ComCerca"));
        senzaTab->setFocusPolicy(Qt::ClickFocus);
        aggiungi(t3 = new QLineEdit, QStringLiteral("txt(3)"));
    }
    Q_INVOKABLE void txt_KeyUp(int Index, int KeyCode, int Shift) {
        keyUp << QList<int>{
            Index, KeyCode, Shift,
            focusWidget() == findChild<QWidget*>(QStringLiteral("txt(%1)").arg(Index)) ? 1 : 0};
    }
};

} // namespace

class TestServizi : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        InstallaUtilita();
        ImpostaRiproduttore(&m_suoni);
    }
    void init() {
        AzzeraSessione();
        m_suoni.suoni.clear();
    }
    void cleanupTestCase() {
        ImpostaRiproduttore(nullptr);
        ImpostaApritoreAiuto({});
        ImpostaSchermoSimulato(std::nullopt);
    }

    void creaWavSilenzio();
    void creaWavOnda();
    void suona_data();
    void suona();
    void suonoSenzaUscita();

    void barra_data();
    void barra();

    void sessione_data();
    void sessione();

    void aiutoFile_data();
    void aiutoFile();
    void aiutoContesto_data();
    void aiutoContesto();

    void spostaFuoco_data();
    void spostaFuoco();
    void spostaFuocoNessuno();
    void selezionaTesto();
    void clessidra();
    void modaleNascosta();
    void apriAiutoCampo();
    void formAperta();
    void parteTesto_data();
    void parteTesto();

private:
    RiproduttoreProva m_suoni;
};

// ---- Sound ----------------------------------------------------------------------

void TestServizi::creaWavSilenzio() {
    const QByteArray wav = CreaWav(0, 200);
    QCOMPARE(wav.size(), 2249);
    QCOMPARE(wav.left(44), Intestazione(2205));
    QCOMPARE(wav.mid(44), QByteArray(2205, char(128)));
    // Durations round to the nearest sample: 1 ms is 11.025 samples.
    QCOMPARE(CreaWav(0, 1).size(), 44 + 11);
    QCOMPARE(CreaWav(0, 0), Intestazione(0));
}

void TestServizi::creaWavOnda() {
    // A quarter of the sampling rate: the samples run 128, crest, 128, trough.
    const QByteArray wav = CreaWav(2756.25f, 10);
    QCOMPARE(wav.size(), 44 + 110);
    const auto* s = reinterpret_cast<const uchar*>(wav.constData()) + 44;
    QCOMPARE(int(s[0]), 128);
    QCOMPARE(int(s[1]), 255); // the crest (sine 1) does not overflow the byte
    QVERIFY(int(s[2]) == 128 || int(s[2]) == 127);
    QCOMPARE(int(s[3]), 0);
    // A negative frequency is the same tone with the phase reversed.
    const QByteArray rovescio = CreaWav(-2756.25f, 10);
    const auto* r = reinterpret_cast<const uchar*>(rovescio.constData()) + 44;
    QCOMPARE(int(r[1]), 0);
    QVERIFY(int(r[3]) >= 255);
    // 440 Hz, sample by sample as the formula gives it.
    const QByteArray la = CreaWav(440, 5);
    for (int i = 0; i < la.size() - 44; ++i) {
        const int atteso =
            std::min(255, int(std::floor((std::sin(2 * M_PI * 440.0 * i / 11025) + 1) * 128)));
        QCOMPARE(int(uchar(la[44 + i])), atteso);
    }
}

void TestServizi::suona_data() {
    QTest::addColumn<QString>("beepCome");
    QTest::addColumn<QString>("tipo");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("frequenza");
    QTest::addColumn<int>("durata");
    QTest::addColumn<QByteArray>("wav");
    QTest::newRow("empty: the system beep") << ""
                                            << "beep"
                                            << "" << 0 << 0 << QByteArray();
    QTest::newRow("blanks: the system beep") << "   "
                                             << "beep"
                                             << "" << 0 << 0 << QByteArray();
    QTest::newRow("880: 20 ms tone") << "880"
                                     << "tono"
                                     << "" << 880 << 20 << QByteArray();
    QTest::newRow("880;150") << "880;150"
                             << "tono"
                             << "" << 880 << 150 << QByteArray();
    QTest::newRow("decimal comma") << "440,4;30"
                                   << "tono"
                                   << "" << 440 << 30 << QByteArray();
    QTest::newRow("0;200: silence from memory") << "0;200"
                                                << "memoria"
                                                << "" << 0 << 0 << CreaWav(0, 200);
    QTest::newRow("-440;50: reversed wave from memory") << "-440;50"
                                                        << "memoria"
                                                        << "" << 0 << 0 << CreaWav(-440, 50);
    QTest::newRow("a sound file") << "/usr/share/sounds/avviso.wav"
                                  << "file"
                                  << "/usr/share/sounds/avviso.wav" << 0 << 0 << QByteArray();
}

void TestServizi::suona() {
    QFETCH(QString, beepCome);
    Sessione().BeepCome = beepCome;
    Suona();
    QCOMPARE(m_suoni.suoni.size(), 1);
    const Suono& s = m_suoni.suoni.front();
    QTEST(s.tipo, "tipo");
    QTEST(s.file, "file");
    QTEST(int(s.frequenza), "frequenza");
    QTEST(int(s.durata), "durata");
    QTEST(s.wav, "wav");
}

void TestServizi::suonoSenzaUscita() {
    // The sound system itself, on a machine that may have no audio output: a
    // missing file and a WAV from memory return without a message or a hang.
    ImpostaRiproduttore(nullptr);
    Riproduttore().file(QStringLiteral("/percorso/che/non/esiste.wav"));
    Riproduttore().memoria(CreaWav(0, 30));
    Riproduttore().memoria(QByteArray("non un WAV"));
    Sessione().BeepCome = QStringLiteral("C:\\suoni\\mancante.wav");
    Suona();
    ImpostaRiproduttore(&m_suoni);
    QVERIFY(m_suoni.suoni.isEmpty());
}

// ---- Taskbar and usable height ------------------------------------------------------

void TestServizi::barra_data() {
    QTest::addColumn<QRect>("area");
    QTest::addColumn<int>("lato");
    QTest::addColumn<int>("alto");
    QTest::addColumn<int>("altezzaUtile");
    QTest::newRow("bottom panel") << QRect(0, 0, 800, 570) << 3 << 570 << 8550;
    QTest::newRow("top panel") << QRect(0, 28, 800, 572) << 1 << 0 << 9000;
    QTest::newRow("left dock") << QRect(48, 0, 752, 600) << 0 << 0 << 9000;
    QTest::newRow("right dock") << QRect(0, 0, 752, 600) << 2 << 0 << 9000;
    QTest::newRow("top and bottom: the bottom counts")
        << QRect(0, 28, 800, 540) << 3 << 568 << 8520;
    QTest::newRow("no panel") << QRect(0, 0, 800, 600) << -1 << 0 << 9000;
}

void TestServizi::barra() {
    QFETCH(QRect, area);
    MetricheSchermo m;
    m.geometria = QRect(0, 0, 800, 600);
    m.areaUtile = area;
    m.twipsPerPixel = 15;
    ImpostaSchermoSimulato(m);
    qint16 lato = 99;
    bool sopra = false;
    qint32 alto = 0;
    float s = 0, d = 0, b = 0;
    QCOMPARE(StatoTaskbar(lato, sopra, alto, s, d, b), false);
    QTEST(int(lato), "lato");
    if (lato >= 0) {
        QTEST(int(alto), "alto");
        QVERIFY(sopra);
    }
    if (lato == 3) {
        QCOMPARE(b, 600.0f);
        QCOMPARE(d - s, 800.0f);
    }
    QTEST(int(AltezzaUtile()), "altezzaUtile");
    ImpostaSchermoSimulato(std::nullopt);
}

// ---- Terminal session ---------------------------------------------------------------

void TestServizi::sessione_data() {
    QTest::addColumn<QStringList>("ambiente");
    QTest::addColumn<QByteArray>("fileSessione"); // empty: no such file
    QTest::addColumn<int>("numero");
    QTest::addColumn<QString>("indirizzo");
    QTest::newRow("none") << QStringList{} << QByteArray() << 0 << "";
    QTest::newRow("kernel outside any session")
        << QStringList{} << QByteArray("4294967295") << 0 << "";
    QTest::newRow("ssh with login session")
        << QStringList{"SSH_CLIENT=10.1.2.3 51234 22", "XDG_SESSION_ID=7"} << QByteArray("9") << 7
        << "10.1.2.3";
    QTest::newRow("ssh connection only, kernel session")
        << QStringList{"SSH_CONNECTION=192.168.0.20 40000 192.168.0.1 22"} << QByteArray("12\n")
        << 12 << "192.168.0.20";
    QTest::newRow("named session id: the kernel's")
        << QStringList{"XDG_SESSION_ID=c2"} << QByteArray("3") << 3 << "";
    QTest::newRow("ipv6 client") << QStringList{"SSH_CLIENT=fe80::1 5000 22"} << QByteArray() << 0
                                 << "fe80::1";
}

void TestServizi::sessione() {
    QFETCH(QStringList, ambiente);
    QFETCH(QByteArray, fileSessione);
    QProcessEnvironment env;
    for (const auto& v : ambiente)
        env.insert(v.section(QLatin1Char('='), 0, 0), v.section(QLatin1Char('='), 1));
    QTemporaryDir dir;
    QString percorso = dir.filePath(QStringLiteral("sessionid"));
    if (!fileSessione.isEmpty()) {
        QFile f(percorso);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(fileSessione);
    }
    QString indirizzo = QStringLiteral("da cancellare");
    QTEST(int(SessioneClient(indirizzo, env, percorso)), "numero");
    QTEST(indirizzo, "indirizzo");
}

// ---- Help key ---------------------------------------------------------------------

void TestServizi::aiutoFile_data() {
    QTest::addColumn<QString>("fileApp");  // relative to a temporary folder
    QTest::addColumn<QStringList>("file"); // files present there
    QTest::addColumn<QString>("aperto");   // empty: the key goes on
    QTest::newRow("other ending, .chm beside it")
        << "quarvel.hlp" << QStringList{"quarvel.hlp", "quarvel.chm"} << "quarvel.chm";
    QTest::newRow("other ending, no .chm") << "quarvel.hlp" << QStringList{"quarvel.hlp"} << "";
    QTest::newRow(".CHM in capitals kept")
        << "Quarvel.CHM" << QStringList{"Quarvel.CHM"} << "Quarvel.CHM";
    QTest::newRow("no help file") << "" << QStringList{} << "";
}

void TestServizi::aiutoFile() {
    QFETCH(QString, fileApp);
    QFETCH(QStringList, file);
    QFETCH(QString, aperto);
    QTemporaryDir dir;
    for (const auto& n : file) {
        QFile f(dir.filePath(n));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    ImpostaFileAiuto(fileApp.isEmpty() ? QString() : dir.filePath(fileApp));
    QList<QUrl> aperti;
    ImpostaApritoreAiuto([&](const QUrl& u) { aperti << u; });
    QWidget w;
    w.setProperty("HelpContextID", 400);

    int tasto = vbKeyF1, shift = 0;
    const bool usato = TastoAiuto(tasto, shift, &w, -1);
    if (aperto.isEmpty()) {
        QVERIFY(!usato);
        QCOMPARE(tasto, vbKeyF1);
        QVERIFY(aperti.isEmpty());
        return;
    }
    QVERIFY(usato);
    QCOMPARE(tasto, 0);
    QCOMPARE(aperti.size(), 1);
    QCOMPARE(aperti[0].toLocalFile(), dir.filePath(aperto));
    QCOMPARE(aperti[0].fragment(), QStringLiteral("400"));

    // Ctrl+F1 the contents, Alt+F1 the index; other keys untouched.
    aperti.clear();
    tasto = vbKeyF1;
    shift = vbCtrlMask;
    QVERIFY(TastoAiuto(tasto, shift, &w, -1));
    QCOMPARE(tasto, 0);
    tasto = vbKeyF1;
    shift = vbAltMask;
    QVERIFY(TastoAiuto(tasto, shift, &w, -1));
    QCOMPARE(tasto, 0);
    tasto = 113;
    shift = 0;
    QVERIFY(!TastoAiuto(tasto, shift, &w, -1));
    QCOMPARE(tasto, 113);
    QCOMPARE(aperti.size(), 2);
    QVERIFY(!aperti[0].hasFragment());
    QCOMPARE(aperti[1].fragment(), QStringLiteral("index"));
    QCOMPARE(aperti[1].toLocalFile(), dir.filePath(aperto));
}

void TestServizi::aiutoContesto_data() {
    QTest::addColumn<int>("campo");    // the text box's own context
    QTest::addColumn<int>("cornice");  // the frame around it
    QTest::addColumn<int>("pannello"); // the panel around the frame
    QTest::addColumn<int>("dato");     // the caller's number
    QTest::addColumn<int>("argomento");
    QTest::newRow("the frame's") << 0 << 21605 << 0 << -1 << 21605;
    QTest::newRow("the control's own") << 300 << 21605 << 0 << -1 << 300;
    QTest::newRow("the nearest container") << 0 << 0 << 77 << -1 << 77;
    QTest::newRow("the window's") << 0 << 0 << 0 << -1 << 12;
    QTest::newRow("the caller's") << 300 << 21605 << 0 << 55 << 55;
    QTest::newRow("caller's 0: the containers") << 300 << 21605 << 0 << 0 << 21605;
}

void TestServizi::aiutoContesto() {
    QFETCH(int, campo);
    QFETCH(int, cornice);
    QFETCH(int, pannello);
    QFETCH(int, dato);
    QTemporaryDir dir;
    QFile(dir.filePath(QStringLiteral("aiuto.chm"))).open(QIODevice::WriteOnly);
    ImpostaFileAiuto(dir.filePath(QStringLiteral("aiuto.chm")));
    QList<QUrl> aperti;
    ImpostaApritoreAiuto([&](const QUrl& u) { aperti << u; });

    QWidget w;
    w.setObjectName(QStringLiteral("frmGestInv"));
    w.setProperty("HelpContextID", 12);
    auto* p = new QWidget(&w);
    p->setObjectName(QStringLiteral("PicPannello"));
    p->setProperty("HelpContextID", pannello);
    auto* f = new QGroupBox(QStringLiteral("Articolo"), p);
    f->setObjectName(QStringLiteral("FraArticolo"));
    f->setProperty("HelpContextID", cornice);
    auto* t = new QLineEdit(f);
    t->setObjectName(QStringLiteral("txt(0)"));
    if (campo)
        t->setProperty("HelpContextID", campo);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    t->setFocus();
    QCOMPARE(w.focusWidget(), t);

    // Through a real key event, as the windows' key handlers pass it on.
    QKeyEvent e(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QVERIFY(TastoAiuto(&e, &w, dato));
    QVERIFY(e.isAccepted());
    QCOMPARE(aperti.size(), 1);
    QTEST(aperti[0].fragment().toInt(), "argomento");
}

// ---- Focus, selection, pointer -----------------------------------------------------

void TestServizi::spostaFuoco_data() {
    QTest::addColumn<QString>("da");
    QTest::addColumn<int>("passo");
    QTest::addColumn<int>("indietro"); // -1: not given
    QTest::addColumn<QString>("a");
    QTest::newRow("forward skips label, picture, disabled") << "txt(0)" << 1 << -1 << "CheTutti";
    QTest::newRow("forward skips hidden and no tab stop") << "CheTutti" << 1 << -1 << "txt(3)";
    QTest::newRow("forward from the last wraps to the first") << "txt(3)" << 1 << -1 << "txt(0)";
    QTest::newRow("backward from the first wraps to the last") << "txt(0)" << -1 << -1 << "txt(3)";
    QTest::newRow("backward flag 1") << "txt(3)" << 1 << 1 << "CheTutti";
    QTest::newRow("backward flag 0 goes forward") << "CheTutti" << -1 << 0 << "txt(3)";
    QTest::newRow("two steps") << "txt(0)" << 2 << -1 << "CheTutti";
    QTest::newRow("past the last by two") << "txt(3)" << 2 << -1 << "CheTutti";
    QTest::newRow("a step longer than the round") << "txt(0)" << 9 << -1 << "CheTutti";
}

void TestServizi::spostaFuoco() {
    QFETCH(QString, da);
    QFETCH(int, passo);
    QFETCH(int, indietro);
    QFETCH(QString, a);
    Finestra w;
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.findChild<QWidget*>(da)->setFocus();
    QCOMPARE(QApplication::focusWidget()->objectName(), da);
    const bool mosso = indietro < 0 ? SpostaFuoco(static_cast<qint16>(passo))
                                    : SpostaFuoco(static_cast<qint16>(passo), indietro);
    QVERIFY(mosso);
    QCOMPARE(QApplication::focusWidget()->objectName(), a);
}

void TestServizi::spostaFuocoNessuno() {
    Finestra w;
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.t0->setEnabled(false);
    w.casella->setEnabled(false);
    w.t3->setFocus();
    // A full round finds nothing else that takes the focus: it stays.
    QVERIFY(!SpostaFuoco(1));
    QVERIFY(!SpostaFuoco(1, 1));
    QCOMPARE(QApplication::focusWidget(), w.t3);
    // A window without controls has no active control.
    QWidget vuota;
    QVERIFY(!SpostaFuoco(1, std::nullopt, &vuota));
}

void TestServizi::selezionaTesto() {
    Finestra w;
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.t3->setText(QStringLiteral("ART001"));
    w.t3->setFocus();
    w.t3->setCursorPosition(3);
    SelezionaTesto();
    QCOMPARE(w.t3->selectedText(), QStringLiteral("ART001"));
}

void TestServizi::clessidra() {
    QVERIFY(!QGuiApplication::overrideCursor());
    Clessidra(true);
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Clessidra(true); // already on: nothing saved, nothing stacked
    Clessidra(false);
    QVERIFY(!QGuiApplication::overrideCursor());

    QGuiApplication::setOverrideCursor(Qt::CrossCursor);
    Clessidra(true);
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Clessidra(false);
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
    ImpostaPuntatoreSchermo(std::nullopt);
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestServizi::modaleNascosta() {
    QDialog d;
    d.setObjectName(QStringLiteral("frmRichMag"));
    int mostrate = 0;
    QList<int> statiNascosta;
    QList<bool> visibile;
    // First show: hidden for a lookup; MostraModale shows it again; second
    // show: closed by the operator.
    std::function<void()> passo = [&] {
        ++mostrate;
        if (mostrate == 1) {
            statiNascosta << d.property("oiNoHelp").toInt();
            NascondiModali();
            statiNascosta << d.property("oiNoHelp").toInt();
            visibile << d.isVisible();
            QTimer::singleShot(0, passo);
        } else if (mostrate == 2) {
            visibile << d.isVisible();
            statiNascosta << d.property("oiNoHelp").toInt();
            d.accept();
        }
    };
    QTimer::singleShot(0, passo);
    MostraModale(&d);
    QCOMPARE(statiNascosta, (QList<int>{1, 2, 1}));
    QCOMPARE(visibile, (QList<bool>{false, true}));
    QCOMPARE(d.property("oiNoHelp").toInt(), 0);
    QVERIFY(!d.isVisible());
}

void TestServizi::apriAiutoCampo() {
    Finestra w;
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.t0->setFocus();
    ApriAiutoCampo(&w, 3, 113, false);
    QCOMPARE(w.keyUp, (QList<QList<int>>{{3, 113, 0, 1}}));
}

void TestServizi::formAperta() {
    QWidget w;
    w.setObjectName(QStringLiteral("frmGestInv"));
    QVERIFY(FormAperta(QStringLiteral("FRMGESTINV")));
    QVERIFY(FormAperta(QStringLiteral("frmgestinv")));
    QVERIFY(!FormAperta(QStringLiteral("frmLiFo")));
    QVERIFY(!FormAperta(QString()));
}

void TestServizi::parteTesto_data() {
    QTest::addColumn<QString>("testo");
    QTest::addColumn<QString>("separatore");
    QTest::addColumn<int>("k");
    QTest::addColumn<QString>("parte");
    QTest::newRow("the last piece") << "a;b;c"
                                    << ";" << 2 << "c";
    QTest::newRow("past the end") << "a;b;c"
                                  << ";" << 3 << "";
    QTest::newRow("the first") << "a;b;c"
                               << ";" << 0 << "a";
    QTest::newRow("empty piece") << "a;;c"
                                 << ";" << 1 << "";
    QTest::newRow("longer separator") << "uno||due||tre"
                                      << "||" << 1 << "due";
    QTest::newRow("no separator in the text") << "abc"
                                              << ";" << 0 << "abc";
    QTest::newRow("negative number") << "a;b"
                                     << ";" << -1 << "";
    QTest::newRow("empty separator") << "a;b"
                                     << "" << 0 << "a;b";
}

void TestServizi::parteTesto() {
    QFETCH(QString, testo);
    QFETCH(QString, separatore);
    QFETCH(int, k);
    QTEST(ParteTesto(testo, separatore, k), "parte");
}

QTEST_MAIN(TestServizi)
#include "tst_desktop_servizi.moc"
